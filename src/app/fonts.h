// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's and the report's fonts, named rather than left to the system: a system may map
// its default families to a serif or a math font, where the hex of the traffic has to line up
// and Latin text has to look like text.
#include <QFont>

namespace meter {

// A fixed-pitch font for the hex of the traffic: every byte takes the same width.
QFont fixedfont();
// A plain sans-serif font for text, Latin and Chinese alike.
QFont textfont();

} // namespace meter
