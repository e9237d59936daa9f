// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/progress.h"

#include "app/language.h"

namespace meter {

QString waittext(const QString& typetext, const QString& waiting, std::int64_t waitedms,
                 std::int64_t limitms) {
    return QString::fromStdString(progresstext(typetext.toStdString(), waiting.toStdString(),
                                               waitedms, windowlanguage(), limitms));
}

} // namespace meter
