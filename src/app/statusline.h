// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's status bar: a line of text with an icon when it warns or reports a failure, the
// progress of a reading, and the device behind the port chosen.
#include <QString>

#include <cstdint>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace meter {

class StatusText;

enum class Look { plain, warning, failure };

class StatusLine {
  public:
    // Fills `bar`, which owns what it shows; the device's text takes `devicewidth` at most.
    StatusLine(QStatusBar* bar, int devicewidth);

    // The line repeats typed texts and the reasons of failed readings (which may come from the
    // vendor library): plain text, selectable so the operator can copy a reason, in red with an
    // icon unless `look` is plain.
    void say(const QString& text, Look look = Look::plain);
    // The line in full (it is shown elided where it does not fit).
    QString full() const;
    // `waitedms` of at most `limitms`; a limit of 0 shows a busy bar.
    void showprogress(std::int64_t waitedms, std::int64_t limitms);
    void hideprogress();
    void showdevice(const QString& text);
    // A mode the readings are in (empty: none), shown for as long as it holds.
    void showmode(const QString& text);
    QString mode() const;
    QProgressBar* progressbar() const { return progressbar_; }

  private:
    QStatusBar* bar_;
    QLabel* icon_;
    StatusText* text_;
    QProgressBar* progressbar_;
    StatusText* device_;
    QLabel* mode_;
};

} // namespace meter
