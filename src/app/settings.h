// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window remembers across runs: whether it keeps a journal and where, and the device
// the operator put behind each port. Plain classes over the settings file; the window shows them.
#include "serial/portmap.h"

#include <QSettings>
#include <QString>

#include <map>

namespace meter {

// The window's settings file (an INI file in the user's configuration folder, on every system).
class AppSettings : public QSettings {
  public:
    AppSettings();
};

// Whether the window keeps a journal, and in which file. A journal named for the run (on the
// command line) holds for that run only: nothing about it is remembered.
class JournalSettings {
  public:
    // As remembered; on until the operator turns it off.
    JournalSettings();

    bool on() const { return on_; }
    // This run's journal, else the one remembered, else the default; with the system's own
    // separators, as every path the window shows.
    QString file() const;
    bool fixed() const { return fixed_; }
    // The journal of this run, turned on.
    void fix(const QString& path);
    // The operator turns the journal on or off.
    void turn(bool on);
    // The operator names the journal's file, which turns the journal on.
    void choose(const QString& path);

    // The default journal, in the user's data folder (native separators).
    static QString defaultfile();

  private:
    bool on_ = false;
    bool fixed_ = false;
    QString fixedfile_; // absolute
};

// Whether readings are verified (read twice, good only when both agree), as remembered.
bool verifiedreadings();
void rememberverifiedreadings(bool on);

// The devices the operator put behind port numbers, as remembered.
std::map<int, QString> saveddevices();
// Remembers `path` behind `port`; an empty path forgets the choice (the port's default).
void savedevice(int port, const QString& path);

// The device behind each port: the operator's choices as remembered, under the ports fixed for
// the run (the command line and METERREADER_PORTS), which win for the ports they name.
class DeviceChoices {
  public:
    explicit DeviceChoices(PortMap fixed = {});

    const PortMap& ports() const { return ports_; }
    const PortMap& fixed() const { return fixed_; }
    // Puts `path` behind `port` for this run, and remembers it when `remember`. An empty path,
    // or the port's own device however it is named, stands for the port's default.
    void pick(int port, const QString& path, bool remember);

  private:
    PortMap fixed_;
    PortMap ports_;
};

} // namespace meter
