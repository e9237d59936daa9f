// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help menu: what the program is and where it keeps its files, and its user's guide.
#include <QCoreApplication>
#include <QString>
#include <QStringList>

class QWidget;

namespace meter {

struct Help {
    Q_DECLARE_TR_FUNCTIONS(meter::Help)

  public:
    // The version, the licence, and the settings file and journal named.
    static QString abouttext(const QString& settingsfile, const QString& journalfile);
    // Where the user's guide (README.md) may be, in the order tried, and the first that is
    // there (empty when none is).
    static QStringList manualcandidates();
    static QString manualfile();
    // The guide's text to show: the file's Markdown, or where it was looked for.
    static QString manualtext(const QString& file, const QStringList& tried);
};

// A message box with abouttext, its paths selectable.
void showabout(QWidget* parent, const QString& settingsfile, const QString& journalfile);
// The user's guide in a window of its own.
void showmanual(QWidget* parent);

} // namespace meter
