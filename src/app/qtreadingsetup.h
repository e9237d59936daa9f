// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The shared texts around a reading, in the window's QString form.
#include "frontend/readingsetup.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace meter {

inline QString applydevices(PortMap& map, const QStringList& entries) {
    std::vector<std::string> values;
    for (const QString& entry : entries)
        values.push_back(entry.toStdString());
    return QString::fromStdString(applydevices(map, values));
}

inline QString refusal(std::int16_t port, std::int16_t code, const QString& typetext) {
    return QString::fromStdString(refusal(port, code, typetext.toStdString()));
}

} // namespace meter
