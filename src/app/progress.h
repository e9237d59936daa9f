// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the status line says while a reading runs: the register waited for, how long the wait
// has taken and the most it can take.
#include "frontend/readingsetup.h"

#include <QString>

#include <cstdint>

namespace meter {

// progresstext in the window's language: "正在读取 5400(4表头)：等待表头（12 / 60 秒）"; without a
// limit only the seconds waited, without a register only the machine type and the seconds.
QString waittext(const QString& typetext, const QString& waiting, std::int64_t waitedms,
                 std::int64_t limitms);

} // namespace meter
