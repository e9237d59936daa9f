#include "app/progress.h"

#include <QCoreApplication>

#include <algorithm>

namespace meter {

std::int64_t waitlimitms(std::int16_t code) {
    switch (code) {
    case 12:
    case 13:
        return 60 * 1000; // 60 polls of 1 s
    case 21:
        return 90 * 100; // "pitneybows 950": 90 polls of 0.1 s
    case 22:
        return 50 * 100; // "pitneybows spark": 50 polls of 0.1 s
    case 11:
    case 31:
        return 4000; // the framed commands' time bound
    default:
        return 0;
    }
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
