// SPDX-License-Identifier: GPL-3.0-or-later
// metersim's own contract: what it refuses (also for a capture it cannot play), the line settings
// it puts on a device, and how it behaves when that device is hung up.
#include "support/e2e.h"
#include "support/pty.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <termios.h>
#include <thread>

namespace meter::testing {
namespace {

struct SimRun {
    int exitcode = -1;
    QString out;
    QString err;
};

// metersim with its messages in English, unless the arguments choose.
SimRun metersim(QStringList args) {
    if (!args.contains(QStringLiteral("--lang")))
        args = QStringList{QStringLiteral("--lang"), QStringLiteral("en")} + args;
    QProcess p;
    p.start(QStringLiteral(METERSIM_PATH), args);
    SimRun r;
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitcode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Clock ticks of CPU time process `pid` has used so far.
long cputicks(qint64 pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i)
        fields >> skip;
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return utime + stime;
}

TEST(MeterSimProgram, UnplayableOptions_RefusedWithExitTwo) {
    Pty pty;
    const QString dev = QString::fromStdString(pty.path());
    const QString settings = QStringLiteral("--settings");
    const QString replay = QStringLiteral("--replay");
    QTemporaryDir dir;
    const QString notcapture = dir.filePath(QStringLiteral("not.jsonl"));
    QFile f(notcapture);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("not a capture\n") > 0);
    f.close();
    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{QStringLiteral("--type"), QStringLiteral("11"), QStringLiteral("--used"),
          QStringLiteral("123456789012")},
         "the neopost keeps 10 digits of used postage; 123456789012 does not fit"},
        {{QStringLiteral("--type"), QStringLiteral("12"), QStringLiteral("--head"),
          QStringLiteral("6666666666")},
         "the 5400 keeps 6 digits of meter head number; 6666666666 does not fit"},
        {{QStringLiteral("--type"), QStringLiteral("5400(4表头)"), QStringLiteral("--pieces"),
          QStringLiteral("123456789")},
         "8 digits of total piece count"},
        {{QStringLiteral("--type"), QStringLiteral("12"), QStringLiteral("--used"),
          QStringLiteral("12345678901")},
         "10 digits of used postage"},
        {{QStringLiteral("--type"), QStringLiteral("13"), QStringLiteral("--unused"),
          QStringLiteral("123456789012")},
         "the 5400 keeps 10 digits of unused postage in tens; 123456789012 does not fit"},
        {{QStringLiteral("--split"), QStringLiteral("0")}, "--split takes a number from 1"},
        {{QStringLiteral("--gap"), QStringLiteral("30")}, "--gap applies to --split only"},
        {{QStringLiteral("--device"), dev, settings, QStringLiteral("2400,x,8,1")}, "parity"},
        {{QStringLiteral("--device"), dev, settings, QStringLiteral("9601,n,8,1")}, "baud 9601"},
        {{QStringLiteral("--device"), dev, settings, QStringLiteral("9600,n,9,1")}, "data bits"},
        {{QStringLiteral("--device"), dev, settings, QStringLiteral("9600,n,8,3")}, "stop bits"},
        {{QStringLiteral("--device"), dev, settings, QStringLiteral("9600,n,8,1x")}, "such as"},
        {{settings, QStringLiteral("9600,n,8,1")}, "--device only"},
        {{QStringLiteral("--delay")}, "--delay needs a value"},
        {{QStringLiteral("--colour")}, "unknown option --colour"},
        {{replay, notcapture, QStringLiteral("--type"), QStringLiteral("11")},
         "--type does not apply to --replay"},
        {{replay, notcapture, QStringLiteral("--silent")}, "--silent does not apply to --replay"},
        {{replay, notcapture, QStringLiteral("--lang"), QStringLiteral("en")}, "line 1"},
        {{replay, dir.filePath(QStringLiteral("none.jsonl")), QStringLiteral("--lang"),
          QStringLiteral("en")},
         "none.jsonl"},
    };
    for (const auto& c : cases) {
        const SimRun r = metersim(c.args);
        EXPECT_EQ(r.exitcode, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("metersim: ")));
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << "no device path for a meter that does not run";
    }
    const SimRun v = metersim({QStringLiteral("--version")});
    EXPECT_EQ(v.exitcode, 0);
    EXPECT_TRUE(v.out.startsWith(QStringLiteral("metersim 1."))) << v.out.toStdString();
}

TEST(MeterSimProgram, SettingsOption_PutOnDeviceOrReportedIfRefused) {
    const struct {
        const char* settings;
        speed_t speed;
        tcflag_t shape;
    } cases[] = {
        {"2400,n,8,1", B2400, CS8},
        {"4800,n,8,2", B4800, CS8 | CSTOPB},
        {"19200,n,8,1", B19200, CS8},
    };
    for (const auto& c : cases) {
        Pty pty;
        MeterSim sim({QStringLiteral("--device"), QString::fromStdString(pty.path()),
                      QStringLiteral("--settings"), QString::fromUtf8(c.settings)});
        termios t{};
        ASSERT_EQ(tcgetattr(pty.slave(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed) << c.settings;
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), c.shape) << c.settings;
    }
    // A pseudo-terminal has no parity: a device that does not take the settings is reported.
    Pty pty;
    const SimRun r = metersim({QStringLiteral("--device"), QString::fromStdString(pty.path()),
                               QStringLiteral("--settings"), QStringLiteral("9600,e,8,1")});
    EXPECT_EQ(r.exitcode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("line settings 9600,e,8,1"))) << r.err.toStdString();
}

// A device that cannot be opened is told in our words, in the chosen language; the system's
// own text is not the message.
TEST(MeterSimProgram, DeviceNotOpened_ToldInOurWords) {
    const struct {
        const char* device;
        const char* en;
        const char* zh;
    } cases[] = {
        {"/nonexistent/ttyS9", "it does not exist", "它不存在"},
        {"/tmp", "it is a folder, not a file", "它是文件夹，不是文件"},
        {"/etc/passwd/tty", "a part of the path is not a folder", "路径中有一部分不是文件夹"},
    };
    for (const auto& c : cases)
        for (const bool zh : {false, true}) {
            const SimRun r = metersim({QStringLiteral("--lang"),
                                       zh ? QStringLiteral("zh") : QStringLiteral("en"),
                                       QStringLiteral("--device"), QString::fromUtf8(c.device)});
            EXPECT_EQ(r.exitcode, 1) << c.device;
            const QString want = QString::fromUtf8(zh ? c.zh : c.en);
            EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.device) + (zh ? QStringLiteral("：")
                                                                          : QStringLiteral(": ")) +
                                       want))
                << r.err.toStdString();
        }
}

TEST(MeterSimProgram, DeviceHungUp_WaitsWithoutSpinning) {
    Pty pty;
    // Only the test holds the meter's end; a copy in the child would keep the line up.
    fcntl(pty.master(), F_SETFD, FD_CLOEXEC);
    QProcess p;
    p.start(QStringLiteral(METERSIM_PATH),
            {QStringLiteral("--device"), QString::fromStdString(pty.path()),
             QStringLiteral("--lang"), QStringLiteral("en")});
    ASSERT_TRUE(p.waitForReadyRead(5000));
    pty.closemaster();
    const long before = cputicks(p.processId());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long used = cputicks(p.processId()) - before;
    EXPECT_LT(used, 20) << "CPU ticks in one second of hang-up; spinning takes about 100";
    EXPECT_EQ(p.state(), QProcess::Running) << "it waits for the device to come back";
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(3000));
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray err = p.readAllStandardError();
    EXPECT_TRUE(err.contains("was hung up; waiting for it to come back")) << err.toStdString();
}

} // namespace
} // namespace meter::testing
