// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The shared setup of a reading, in the window's QString form.
#include "app/language.h"
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
    return QString::fromStdString(applydevices(map, values).text(windowlanguage()));
}

} // namespace meter
