// SPDX-License-Identifier: GPL-3.0-or-later
// What the window remembers, without a window: the journal and the device behind each port.
#include "app/settings.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace meter;

namespace {

// The settings go to a folder of the test's own, never into the user's.
class Settings : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
        AppSettings().clear();
    }
    QTemporaryDir dir_;
};

TEST_F(Settings, JournalIsRememberedExceptForTheOneOfTheRun) {
    const QString mine = QDir::toNativeSeparators(QDir::current().absoluteFilePath(QStringLiteral("mine.csv")));
    const QString run = QDir::toNativeSeparators(QDir::current().absoluteFilePath(QStringLiteral("run.csv")));
    const QString other = QDir::toNativeSeparators(QDir::current().absoluteFilePath(QStringLiteral("other.csv")));
    const QString standard = JournalSettings::defaultfile();
    struct Case {
        const char* what;
        std::function<void(JournalSettings&)> operate;
        bool on;
        QString file;
        bool onnextrun; // as the next run finds it
        QString filenextrun;
    };
    const Case cases[] = {
        {"nothing done", [](JournalSettings&) {}, true, standard, true, standard},
        {"turned off", [](JournalSettings& j) { j.turn(false); }, false, standard, false, standard},
        {"turned off and on", [](JournalSettings& j) { j.turn(false), j.turn(true); }, true,
         standard, true, standard},
        {"turned on and off", [](JournalSettings& j) { j.turn(true), j.turn(false); }, false,
         standard, false, standard},
        {"a file chosen", [&](JournalSettings& j) { j.choose(mine); }, true, mine, true, mine},
        {"a file chosen, then off", [&](JournalSettings& j) { j.choose(mine), j.turn(false); },
         false, mine, false, mine},
        // The run's journal (relative on the command line) wins, and leaves no trace.
        {"the run's", [](JournalSettings& j) { j.fix(QStringLiteral("run.csv")); }, true, run,
         true, standard},
        {"the run's, turned off",
         [](JournalSettings& j) { j.fix(QStringLiteral("run.csv")), j.turn(false); }, false, run,
         true, standard},
        {"the run's, another chosen",
         [&](JournalSettings& j) { j.fix(QStringLiteral("run.csv")), j.choose(other); }, true,
         other, true, standard},
    };
    for (const Case& c : cases) {
        AppSettings().clear();
        JournalSettings journal;
        c.operate(journal);
        EXPECT_EQ(journal.on(), c.on) << c.what;
        EXPECT_EQ(journal.file(), c.file) << c.what;
        const JournalSettings next;
        EXPECT_EQ(next.on(), c.onnextrun) << c.what;
        EXPECT_EQ(next.file(), c.filenextrun) << c.what;
    }
    EXPECT_TRUE(standard.endsWith(QDir::toNativeSeparators(QStringLiteral("/journal.csv"))));
}

PortMap ports(const std::map<int, std::string>& overrides) {
    PortMap map;
    for (const auto& [port, path] : overrides)
        map.set(port, path);
    return map;
}

std::map<int, std::string> overrides(const PortMap& map) {
    std::map<int, std::string> out;
    for (int port = 1; port <= 8; ++port)
        if (map.overridden(port)) out[port] = map.devicefor(port);
    return out;
}

TEST_F(Settings, PickedDevicesAreRememberedUnderThoseFixedForTheRun) {
    savedevice(2, QStringLiteral("/dev/ttyUSB2"));
    savedevice(3, QStringLiteral("/dev/ttyUSB3"));
    // The run's ports win for the ports they name.
    DeviceChoices devices(ports({{3, "/dev/pts/7"}, {5, "/dev/pts/8"}}));
    const std::map<int, std::string> merged{
        {2, "/dev/ttyUSB2"}, {3, "/dev/pts/7"}, {5, "/dev/pts/8"}};
    EXPECT_EQ(overrides(devices.ports()), merged);
    EXPECT_EQ(overrides(devices.fixed()),
              (std::map<int, std::string>{{3, "/dev/pts/7"}, {5, "/dev/pts/8"}}));

    struct Pick {
        int port;
        QString path;
        bool remember;
        std::map<int, std::string> now;
        std::map<int, QString> saved;
    };
    const QString standard4 = QString::fromStdString(PortMap::defaultdevice(4));
    const std::vector<Pick> picks = {
        {4, QStringLiteral("/dev/ttyACM0"), true,
         {{2, "/dev/ttyUSB2"}, {3, "/dev/pts/7"}, {4, "/dev/ttyACM0"}, {5, "/dev/pts/8"}},
         {{2, QStringLiteral("/dev/ttyUSB2")}, {3, QStringLiteral("/dev/ttyUSB3")},
          {4, QStringLiteral("/dev/ttyACM0")}}},
        // The port's own device, typed, removes the choice, as an empty path does.
        {4, standard4, true,
         {{2, "/dev/ttyUSB2"}, {3, "/dev/pts/7"}, {5, "/dev/pts/8"}},
         {{2, QStringLiteral("/dev/ttyUSB2")}, {3, QStringLiteral("/dev/ttyUSB3")}}},
        {2, QString(), true,
         {{3, "/dev/pts/7"}, {5, "/dev/pts/8"}},
         {{3, QStringLiteral("/dev/ttyUSB3")}}},
        // Not remembered (a demo's pick): for this run only.
        {6, QStringLiteral("/dev/ttyUSB6"), false,
         {{3, "/dev/pts/7"}, {5, "/dev/pts/8"}, {6, "/dev/ttyUSB6"}},
         {{3, QStringLiteral("/dev/ttyUSB3")}}},
        // A fixed port picked again: the pick holds for the run and is remembered.
        {5, QStringLiteral("/dev/ttyUSB5"), true,
         {{3, "/dev/pts/7"}, {5, "/dev/ttyUSB5"}, {6, "/dev/ttyUSB6"}},
         {{3, QStringLiteral("/dev/ttyUSB3")}, {5, QStringLiteral("/dev/ttyUSB5")}}},
    };
    for (const Pick& p : picks) {
        devices.pick(p.port, p.path, p.remember);
        EXPECT_EQ(overrides(devices.ports()), p.now) << p.port << " " << p.path.toStdString();
        EXPECT_EQ(saveddevices(), p.saved) << p.port << " " << p.path.toStdString();
    }
    // The next run: what was remembered, under its own fixed ports.
    EXPECT_EQ(overrides(DeviceChoices(ports({{3, "/dev/pts/1"}})).ports()),
              (std::map<int, std::string>{{3, "/dev/pts/1"}, {5, "/dev/ttyUSB5"}}));
}

} // namespace
