// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help menu: what the program is and where it keeps its files, and its user's guide.
#include "core/reason.h"

#include <QCoreApplication>
#include <QString>

class QWidget;

namespace meter {

struct Help {
    Q_DECLARE_TR_FUNCTIONS(meter::Help)

  public:
    // The version, the licence, and the settings file and journal named.
    static QString abouttext(const QString& settingsfile, const QString& journalfile);
    // The user's guide in `language`, built into the program: its Markdown and, beside it, its
    // pictures.
    static QString guidefile(Language language);
};

// A message box with abouttext, its paths selectable.
void showabout(QWidget* parent, const QString& settingsfile, const QString& journalfile);
// The user's guide in the window's language, in a window of its own; Esc closes it.
void showmanual(QWidget* parent);

} // namespace meter
