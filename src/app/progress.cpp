// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/progress.h"

#include "core/machinetypes.h"

#include <QCoreApplication>

#include <algorithm>

namespace meter {

std::int64_t waitlimitms(std::int16_t code) {
    const MachineType* type = findtype(code);
    return type ? type->waitlimitms() : 0;
}

QString waittext(const QString& typetext, const QString& waiting, std::int64_t waitedms,
                 std::int64_t limitms) {
    // The texts are the window's, translated in its context.
    QString text = QCoreApplication::translate("meter::Form1", "正在读取 %1").arg(typetext);
    const QString seconds = QCoreApplication::translate("meter::Form1", "（%1 秒）");
    if (waiting.isEmpty()) return text + seconds.arg(waitedms / 1000);
    text += QCoreApplication::translate("meter::Form1", "：等待 %1").arg(waiting);
    if (limitms <= 0) return text + seconds.arg(waitedms / 1000);
    // The poll that reaches the limit still takes its interval: never show more than the most.
    return text + QCoreApplication::translate("meter::Form1", "（%1 / %2 秒）")
                      .arg(std::min(waitedms, limitms) / 1000)
                      .arg(limitms / 1000);
}

} // namespace meter
