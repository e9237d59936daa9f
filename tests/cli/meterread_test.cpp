// SPDX-License-Identifier: GPL-3.0-or-later
// meterread against metersim over pseudo-terminals: the contract scripts rely on.
#include "support/e2e.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace meter::testing {
namespace {

const QString allzero(56, QLatin1Char('0'));

TEST(MeterRead, CopoteViaVendorLibrary_JsonCarriesEveryField) {
    MeterSim sim({QStringLiteral("--type"), QStringLiteral("copote"), QStringLiteral("--used"),
                  QStringLiteral("500"), QStringLiteral("--unused"), QStringLiteral("250")});
    const ReadRun r = meterread(jsonreading(sim, QStringLiteral("copote"), QStringLiteral("3")));
    ASSERT_EQ(r.exitcode, 0) << r.err.toStdString();
    EXPECT_EQ(r.json[QStringLiteral("record")].toString(),
              QStringLiteral("000000000750000000000500000000000250") +
                  QStringLiteral("00000043210000123456"));
    EXPECT_EQ(r.json[QStringLiteral("end")].toString(), QStringLiteral("normal"));
    EXPECT_EQ(r.json[QStringLiteral("reason")].toString(), QString());
    ASSERT_TRUE(r.json[QStringLiteral("reason_code")].isString());
    EXPECT_EQ(r.json[QStringLiteral("reason_code")].toString(), QString());
    EXPECT_EQ(r.json[QStringLiteral("port")].toInt(), 3);
    EXPECT_EQ(r.json[QStringLiteral("code")].toInt(), 51);
    EXPECT_EQ(r.json[QStringLiteral("type")].toString(), QStringLiteral("copote"));
    EXPECT_EQ(r.json[QStringLiteral("device")].toString(), sim.path());
    EXPECT_EQ(r.json[QStringLiteral("total")].toString(), QStringLiteral("000000000750"));
    EXPECT_EQ(r.json[QStringLiteral("head")].toString(), QStringLiteral("0000123456"));
    EXPECT_EQ(r.json[QStringLiteral("sent")].toString(), QString())
        << "the library's traffic is its own";
    EXPECT_EQ(r.json[QStringLiteral("received")].toString(), QString());
    EXPECT_EQ(r.json[QStringLiteral("status")].toString(), QStringLiteral("read"));
    // When the reading started, in local time with the offset from UTC.
    const QString time = r.json[QStringLiteral("time")].toString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$)"))
            .match(time)
            .hasMatch())
        << time.toStdString();
    const QDateTime started = QDateTime::fromString(time, Qt::ISODate);
    EXPECT_LT(std::abs(started.secsTo(QDateTime::currentDateTime())), 60) << time.toStdString();
    ASSERT_TRUE(r.json[QStringLiteral("elapsed_ms")].isDouble());
    EXPECT_GE(r.json[QStringLiteral("elapsed_ms")].toInt(), 0);
    EXPECT_LE(r.json[QStringLiteral("elapsed_ms")].toInt(), r.seconds * 1000);
}

TEST(MeterRead, LangOption_PrintsFiveLabelsInThatLanguage) {
    const struct {
        const char* lang;
        const char* out;
    } cases[] = {
        {"zh", "总邮资：000002111050\n已用邮资：000001234500\n未用邮资：000000876550\n"
               "总件数：0000004321\n表头：0000123456\n"},
        {"en", "Total postage: 000002111050\nUsed postage: 000001234500\n"
               "Unused postage: 000000876550\nTotal pieces: 0000004321\nMeter head: 0000123456\n"},
    };
    for (const auto& c : cases) {
        MeterSim sim;
        const ReadRun r =
            meterread({QStringLiteral("--type"), QStringLiteral("51"), QStringLiteral("--lang"),
                       QString::fromUtf8(c.lang), QStringLiteral("--device"),
                       QStringLiteral("1=") + sim.path()});
        ASSERT_EQ(r.exitcode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QString::fromUtf8(c.out)) << c.lang;
    }
}

TEST(MeterRead, LineFaults_NeverShowAsData) {
    const QString zero = QStringLiteral("0");
    struct Case {
        QStringList faults;
        int exitcode;
        const char* end;
        const char* status;
        const char* reason; // part of it
        const char* simsays = "";
        const char* type = "copote";
        QString record = allzero; // as read, kept at the failure end
    } cases[] = {
        {{QStringLiteral("--split"), QStringLiteral("7"), QStringLiteral("--gap"),
          QStringLiteral("30")},
         0,
         "normal",
         "read",
         ""},
        {{QStringLiteral("--noise"), QStringLiteral("5"), QStringLiteral("--twice")},
         0,
         "normal",
         "read",
         ""},
        {{QStringLiteral("--corrupt"), QStringLiteral("10")}, 1, "failure", "failed", "vendor"},
        {{QStringLiteral("--silent")}, 1, "failure", "failed", "vendor"},
        {{QStringLiteral("--drop-after"), QStringLiteral("1")},
         1,
         "failure",
         "failed",
         "was lost",
         "dropped the line after 1 request "},
        // Cut short after the used postage: the head is not the last ten characters read.
        {{QStringLiteral("--drop-after"), QStringLiteral("3")},
         1,
         "failure",
         "failed",
         "was lost",
         "dropped the line after 3 requests",
         "21",
         QStringLiteral("000002111050000001234500")},
        // Well-formed registers that are all zero: the normal end, but nothing to use.
        {{QStringLiteral("--used"), zero, QStringLiteral("--unused"), zero,
          QStringLiteral("--pieces"), zero, QStringLiteral("--head"), zero},
         1,
         "normal",
         "nodata",
         "the meter's registers are all zero"},
    };
    for (const auto& c : cases) {
        const QString type = QString::fromUtf8(c.type);
        MeterSim sim(QStringList{QStringLiteral("--type"), type} + c.faults);
        const ReadRun r = meterread(jsonreading(sim, type, QStringLiteral("3")));
        const std::string what = c.faults.join(' ').toStdString();
        EXPECT_EQ(r.exitcode, c.exitcode) << what << r.err.toStdString();
        EXPECT_EQ(r.json[QStringLiteral("end")].toString().toStdString(), c.end) << what;
        EXPECT_EQ(r.json[QStringLiteral("status")].toString().toStdString(), c.status) << what;
        const QString reason = r.json[QStringLiteral("reason")].toString();
        EXPECT_TRUE(reason.contains(QString::fromUtf8(c.reason))) << reason.toStdString();
        // A reason has its code, and none has none.
        EXPECT_EQ(r.json[QStringLiteral("reason_code")].toString().isEmpty(), reason.isEmpty())
            << what;
        if (c.exitcode != 0) {
            EXPECT_EQ(r.json[QStringLiteral("record")].toString(), c.record) << what;
            EXPECT_EQ(r.json[QStringLiteral("head")].toString(),
                      c.record.size() >= 56 ? c.record.right(10) : QString())
                << what;
            EXPECT_FALSE(reason.isEmpty());
            EXPECT_TRUE(r.err.contains(QStringLiteral("meterread:")));
        }
        EXPECT_TRUE(sim.log().contains(QString::fromUtf8(c.simsays))) << what;
    }
}

TEST(MeterRead, MissingDevice_FailsWithExitOne) {
    const ReadRun r =
        meterread({QStringLiteral("--json"), QStringLiteral("--type"), QStringLiteral("copote"),
                   QStringLiteral("--device"), QStringLiteral("1=/dev/meterreader-missing")});
    EXPECT_EQ(r.exitcode, 1);
    EXPECT_EQ(r.json[QStringLiteral("end")].toString(), QStringLiteral("failure"));
    EXPECT_EQ(r.json[QStringLiteral("record")].toString(), allzero);
    EXPECT_TRUE(
        r.json[QStringLiteral("reason")].toString().contains(QStringLiteral("does not exist")))
        << r.json[QStringLiteral("reason")].toString().toStdString();
}

TEST(MeterRead, RefusedInput_ExitsWithTwoSayingWhy) {
    const struct {
        QStringList args;
        const char* says; // part of the message
    } refused[] = {
        {{QStringLiteral("--type"), QStringLiteral("Neopost")}, "not in the list"},
        {{QStringLiteral("--type"), QStringLiteral("14")}, "not in the list"},
        {{QStringLiteral("--port"), QStringLiteral("9")}, "port 9 is above 8; a port above 8"},
        {{QStringLiteral("--port"), QStringLiteral("9")}, "--device 1=COM9"},
        {{QStringLiteral("--port"), QStringLiteral("99999")}, "port 99999 is above 8"},
        {{QStringLiteral("--port"), QStringLiteral("x1")}, "give a port from 1 to 8"},
        {{QStringLiteral("--port"), QString()}, "empty"},
        {{QStringLiteral("--device"), QStringLiteral("9=/dev/ttyS0")}, "--device"},
        {{QStringLiteral("--colour")}, "unknown option --colour"},
        {{QStringLiteral("--port")}, "--port needs a value"},
        {{QStringLiteral("--lang"), QStringLiteral("fr")}, "--lang takes zh or en"},
        {{QStringLiteral("--check")}, "--check needs --replay"},
        {{QStringLiteral("--replay"), QStringLiteral("a"), QStringLiteral("--capture"),
          QStringLiteral("b")},
         "--capture cannot be given with --replay"},
        {{QStringLiteral("--replay"), QStringLiteral("/nonexistent/capture.jsonl")},
         "cannot read the capture /nonexistent/capture.jsonl"},
        // A small file that is no capture (this source; a program may be over 16 MiB).
        {{QStringLiteral("--replay"), QStringLiteral(NOT_A_CAPTURE_PATH)},
         "line 1: this is not a capture of a reading"},
        // In Chinese, the language of a Chinese locale and of none.
        {{QStringLiteral("--lang"), QStringLiteral("zh"), QStringLiteral("--port"),
          QStringLiteral("9")},
         "端口 9 大于 8；端口 8 以上的设备"},
        {{QStringLiteral("--lang"), QStringLiteral("zh"), QStringLiteral("--type"),
          QStringLiteral("Neopost")},
         "机器类型 \"Neopost\" 不在列表中"},
        {{QStringLiteral("--lang"), QStringLiteral("zh"), QStringLiteral("--colour")},
         "未知的选项 --colour（见 --help）"},
    };
    for (const auto& c : refused) {
        // English unless the row asks for Chinese (the last --lang counts).
        const ReadRun r =
            meterread(QStringList{QStringLiteral("--lang"), QStringLiteral("en")} + c.args);
        EXPECT_EQ(r.exitcode, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("meterread: "))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << r.err.toStdString();
    }
}

TEST(MeterRead, Help_InTheLanguageAsked) {
    const struct {
        const char* lang;
        const char* begins;
        const char* says;
    } cases[] = {
        {"en", "usage: meterread", "or the journal\nor capture asked for was not written"},
        {"zh", "用法：meterread", "或者要求的日志或抓包没有写入"},
    };
    for (const auto& c : cases) {
        const ReadRun r = meterread(
            {QStringLiteral("--help"), QStringLiteral("--lang"), QString::fromUtf8(c.lang)});
        EXPECT_EQ(r.exitcode, 0) << c.lang;
        EXPECT_TRUE(r.out.startsWith(QString::fromUtf8(c.begins))) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.says))) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("\"5400(5表头)\" 13"))) << c.lang;
    }
}

// A journal or capture asked for and not written fails the run; the reading is still printed, and
// a file that is not a journal is left as it was.
TEST(MeterRead, JournalNotWritten_ExitsWithOneAfterTheReading) {
    QTemporaryDir dir;
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    const QString journal = dir.filePath(QStringLiteral("j.csv"));
    const QString readonly = dir.filePath(QStringLiteral("old.jsonl"));
    {
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("shopping list\n");
    }
    // A journal of one reading, and a capture marked read-only.
    ASSERT_EQ(meterread({QStringLiteral("--demo"), QStringLiteral("--journal"), journal,
                         QStringLiteral("--capture"), readonly})
                  .exitcode,
              0);
    QFile::setPermissions(readonly, QFileDevice::ReadOwner);
    const auto content = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray journalbefore = content(journal);
    const QByteArray readonlybefore = content(readonly);
    const struct {
        QString journal;
        const char* lang;
        const char* says;
        const char* option = "--journal";
        QStringList more = {};
    } cases[] = {
        {dir.filePath(QStringLiteral("missing/j.csv")), "en", ": the folder does not exist"},
        {dir.path(), "zh", "：它是文件夹，不是文件"},
        {notes, "zh", "不是本程序的日志"},
        {dir.filePath(QStringLiteral("missing/c.jsonl")), "zh", "无法写入抓包", "--capture"},
        // A capture never takes the place of anything but a capture.
        {notes, "zh", "它不是本程序的抓包", "--capture"},
        {QStringLiteral("/dev/null"), "en", "not an ordinary file", "--capture"},
        {dir.path(), "en", "it is a folder, not a file", "--capture"},
        {readonly, "en", "the file is marked read-only", "--capture"},
        {journal, "en", "it is not a capture of this program", "--capture",
         {QStringLiteral("--journal"), journal}},
    };
    for (const auto& c : cases) {
        const ReadRun r = meterread(QStringList{QStringLiteral("--demo"), QStringLiteral("--type"),
                                                QStringLiteral("51"), QStringLiteral("--lang"),
                                                QString::fromUtf8(c.lang),
                                                QString::fromUtf8(c.option), c.journal} +
                                    c.more);
        EXPECT_EQ(r.exitcode, 1) << c.journal.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("0000123456"))) << r.out.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("meterread: "))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << r.err.toStdString();
    }
    EXPECT_EQ(content(notes), QByteArray("shopping list\n"));
    EXPECT_EQ(content(readonly), readonlybefore);
    // The journal got one more row, and kept all it had.
    EXPECT_TRUE(content(journal).startsWith(journalbefore));
    EXPECT_EQ(content(journal).count("\r\n"), journalbefore.count("\r\n") + 1);
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/null")).isFile());
}

// In a demo, --device still puts its device behind the ports it names; only readings of the
// demo meter are marked as such.
TEST(MeterRead, DemoWithDevice_ReadsThatDeviceAndMarksOnlyDemoReadings) {
    MeterSim sim;
    const struct {
        const char* port;
        bool demo;
    } cases[] = {{"1", false}, {"2", true}};
    for (const auto& c : cases) {
        const ReadRun r =
            meterread({QStringLiteral("--demo"), QStringLiteral("--json"), QStringLiteral("--type"),
                       QStringLiteral("51"), QStringLiteral("--port"), QString::fromUtf8(c.port),
                       QStringLiteral("--device"), QStringLiteral("1=") + sim.path()});
        EXPECT_EQ(r.exitcode, 0) << c.port << r.err.toStdString();
        EXPECT_EQ(r.json[QStringLiteral("demo")].toBool(), c.demo) << c.port;
        EXPECT_EQ(r.json[QStringLiteral("device")].toString() == sim.path(), !c.demo) << c.port;
    }
}

// Files, the JSON and captures name a type by its list text, whatever the language it was
// named in; a demo reading says so in the JSON and the capture, with the device "demo".
TEST(MeterRead, TypeByListTextAndDemoMarked_InJsonAndCapture) {
    QTemporaryDir dir;
    const struct {
        const char* lang;
        const char* type;
        const char* listtext;
    } cases[] = {
        {"en", "5400 (5 heads)", "5400(5表头)"},
        {"en", "high-speed machine", "高速机"},
        {"zh", "5400(4表头)", "5400(4表头)"},
    };
    for (const auto& c : cases) {
        const QString capture = dir.filePath(QString::fromUtf8(c.type) + QStringLiteral(".jsonl"));
        const ReadRun r = meterread({QStringLiteral("--demo"), QStringLiteral("--json"),
                                     QStringLiteral("--lang"), QString::fromUtf8(c.lang),
                                     QStringLiteral("--type"), QString::fromUtf8(c.type),
                                     QStringLiteral("--capture"), capture});
        ASSERT_EQ(r.exitcode, 0) << c.type << r.err.toStdString();
        EXPECT_EQ(r.json[QStringLiteral("type")].toString(), QString::fromUtf8(c.listtext));
        EXPECT_EQ(r.json[QStringLiteral("device")].toString(), QStringLiteral("demo"));
        EXPECT_TRUE(r.json[QStringLiteral("demo")].toBool());
        QFile f(capture);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QJsonObject header = QJsonDocument::fromJson(f.readLine()).object();
        EXPECT_EQ(header[QStringLiteral("type")].toString(), QString::fromUtf8(c.listtext));
        EXPECT_EQ(header[QStringLiteral("device")].toString(), QStringLiteral("demo"));
        EXPECT_TRUE(header[QStringLiteral("demo")].toBool()) << c.type;
    }
}

TEST(MeterRead, Signal_EndsReadingWithTheShellsStatus) {
    const struct {
        int signal;
        int exitcode;
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const auto& c : cases) {
        MeterSim sim({QStringLiteral("--type"), QStringLiteral("22"), QStringLiteral("--silent")});
        QTemporaryDir dir;
        const QString capture = dir.filePath(QStringLiteral("cancelled.jsonl"));
        QProcess p;
        p.start(QStringLiteral(METERREAD_PATH),
                jsonreading(sim, QStringLiteral("22")) +
                    QStringList{QStringLiteral("--capture"), capture});
        ASSERT_TRUE(p.waitForStarted(5000));
        QThread::msleep(500);
        ::kill(static_cast<pid_t>(p.processId()), c.signal);
        ASSERT_TRUE(p.waitForFinished(3000)) << "a silent spark would take five seconds";
        EXPECT_EQ(p.exitCode(), c.exitcode) << c.signal;
        const QJsonObject j = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        EXPECT_EQ(j[QStringLiteral("status")].toString(), QStringLiteral("failed"));
        EXPECT_EQ(j[QStringLiteral("record")].toString(), allzero);
        // The cancelled reading is kept too, and reads again as cancelled.
        const ReadRun again = meterread({QStringLiteral("--replay"), capture,
                                         QStringLiteral("--check"), QStringLiteral("--json")});
        EXPECT_EQ(again.exitcode, 0) << again.err.toStdString();
        EXPECT_EQ(again.json[QStringLiteral("reason_code")].toString(),
                  QStringLiteral("cancelled"));
    }
}

TEST(MeterRead, DemoWithoutPseudoTerminal_FailsWithExitOne) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own";
#endif
    // One free descriptor below the limit: enough to load libraries one by one, too few for the
    // two ends of a pseudo-terminal. Descriptors inherited from whoever runs the test count.
    const QString script =
        QStringLiteral("f=3; while [ -e /proc/$$/fd/$f ]; do f=$((f+1)); done; "
                       "ulimit -n $((f+1)) && exec \"$0\" --demo --type 51 --lang en");
    QProcess p;
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), script, QStringLiteral(METERREAD_PATH)});
    ASSERT_TRUE(p.waitForFinished(10000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(
        err.startsWith(QStringLiteral("meterread: the demo meter cannot start: cannot create")))
        << err.toStdString();
}

// A meter in use between the two readings of a verified reading, for a type of each family and
// copote: the reading fails naming the used postage with both values, and its capture holds
// both exchanges, so that it reads the same again offline and from metersim playing it.
TEST(MeterRead, VerifyOnAMeterInUse_FailsNamingTheRegisterWithBothValues) {
    const char* const types[] = {"5400(4表头)", "pitneybows 950", "pitneybows spark",
                                 "neopost",     "高速机",         "copote"};
    const QString reason =
        QStringLiteral("the two readings' used postage differ: 000001234500 / 000001234600");
    QTemporaryDir dir;
    const auto capture = [&dir](std::size_t i) {
        return dir.filePath(QString::number(i) + QStringLiteral(".jsonl"));
    };
    // Each stage reads every type side by side: the meter in use, then metersim playing the
    // capture of that reading.
    for (const bool replayed : {false, true}) {
        std::vector<std::unique_ptr<MeterSim>> sims;
        std::vector<std::unique_ptr<QProcess>> runs;
        for (std::size_t i = 0; i < std::size(types); ++i) {
            const QString type = QString::fromUtf8(types[i]);
            sims.push_back(std::make_unique<MeterSim>(
                replayed ? QStringList{QStringLiteral("--replay"), capture(i)}
                         : QStringList{QStringLiteral("--type"), type, QStringLiteral("--in-use"),
                                       QStringLiteral("100")}));
            QStringList args = jsonreading(*sims.back(), type);
            args << QStringLiteral("--verify") << QStringLiteral("--lang") << QStringLiteral("zh");
            if (!replayed) args << QStringLiteral("--capture") << capture(i);
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->start(QStringLiteral(METERREAD_PATH), args);
        }
        for (std::size_t i = 0; i < std::size(types); ++i) {
            SCOPED_TRACE(std::string(types[i]) + (replayed ? " replayed" : ""));
            QProcess& p = *runs[i];
            ASSERT_TRUE(p.waitForFinished(60000));
            const QJsonObject j = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
            EXPECT_EQ(p.exitCode(), 1);
            EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError())
                            .contains(QStringLiteral(
                                "两次读取的已用邮资不一致：000001234500 / 000001234600")));
            EXPECT_EQ(j[QStringLiteral("verified")], QJsonValue(false));
            EXPECT_EQ(j[QStringLiteral("status")].toString(), QStringLiteral("failed"));
            EXPECT_EQ(j[QStringLiteral("reason_code")].toString(),
                      QStringLiteral("readings_differ"));
            EXPECT_EQ(j[QStringLiteral("reason")].toString(), reason);
            EXPECT_EQ(j[QStringLiteral("used")].toString(), QStringLiteral("000001234500"));
        }
    }
    // Offline, each capture agrees with what it recorded.
    for (std::size_t i = 0; i < std::size(types); ++i) {
        const ReadRun again = meterread({QStringLiteral("--replay"), capture(i),
                                         QStringLiteral("--check"), QStringLiteral("--json")});
        EXPECT_EQ(again.exitcode, 0) << types[i] << again.err.toStdString();
        EXPECT_EQ(again.json[QStringLiteral("reason")].toString(), reason) << types[i];
    }
}

TEST(MeterRead, Demo_ReadsEveryMachineTypeWithoutHardware) {
    // The demo meter answers 5400 requests in the 4-head scale (the requests of both 5400 types
    // are the same), so "5400(5表头)" shows its postage ten times larger.
    const QString values =
        QStringLiteral("00000211105000000123450000000087655000000043210000123456");
    const QString fivehead =
        QStringLiteral("00002111050000001234500000000876550000000043210000123456");
    const struct {
        const char* type;
        const char* port;
        QString record;
    } cases[] = {
        {"pitneybows 950", "1", values}, {"pitneybows spark", "2", values},
        {"高速机", "3", values},         {"neopost", "4", values},
        {"copote", "5", values},         {"5400(4表头)", "6", values},
        {"5400(5表头)", "8", fivehead},
    };
    // Each run has a demo meter of its own, so the readings run side by side, and all append
    // to one journal at once: every type read once, and verified (read twice, both agreeing).
    QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("journal.csv"));
    std::vector<std::unique_ptr<QProcess>> runs;
    const auto capturefile = [&dir, &cases](std::size_t run) {
        return dir.filePath(QString::fromUtf8(cases[run / 2].port) +
                            (run % 2 ? QStringLiteral("-verified") : QString()) +
                            QStringLiteral(".jsonl"));
    };
    for (std::size_t run = 0; run < 2 * std::size(cases); ++run) {
        const auto& c = cases[run / 2];
        QStringList args{QStringLiteral("--demo"),   QStringLiteral("--json"),
                         QStringLiteral("--type"),   QString::fromUtf8(c.type),
                         QStringLiteral("--port"),   QString::fromUtf8(c.port),
                         QStringLiteral("--journal"), journal,
                         QStringLiteral("--capture"), capturefile(run)};
        if (run % 2) args << QStringLiteral("--verify");
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->start(QStringLiteral(METERREAD_PATH), args);
    }
    for (std::size_t run = 0; run < runs.size(); ++run) {
        const auto& c = cases[run / 2];
        const bool verify = run % 2;
        SCOPED_TRACE(std::string(c.type) + (verify ? " verified" : ""));
        QProcess& p = *runs[run];
        ASSERT_TRUE(p.waitForFinished(60000));
        const QJsonObject j = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_EQ(j[QStringLiteral("type")].toString(), QString::fromUtf8(c.type));
        EXPECT_EQ(j[QStringLiteral("end")].toString(), QStringLiteral("normal"));
        EXPECT_EQ(j[QStringLiteral("record")].toString(), c.record);
        EXPECT_EQ(j[QStringLiteral("demo")], QJsonValue(true));
        // "verified" only when asked.
        EXPECT_EQ(j[QStringLiteral("verified")],
                  verify ? QJsonValue(true) : QJsonValue(QJsonValue::Undefined));
        EXPECT_EQ(j[QStringLiteral("sent")].toString().count(QStringLiteral(" ||")),
                  verify && std::string(c.type) != "copote" ? 1 : 0);
        // Its capture reads again offline as it was read, traffic and all.
        const ReadRun again = meterread({QStringLiteral("--replay"), capturefile(run),
                                         QStringLiteral("--check"), QStringLiteral("--json")});
        EXPECT_EQ(again.exitcode, 0) << again.err.toStdString();
        EXPECT_TRUE(again.err.contains(QStringLiteral("重放与抓包一致")))
            << again.err.toStdString();
        for (const char* key :
             {"record", "end", "sent", "received", "type", "device", "verified"})
            EXPECT_EQ(again.json[QString::fromUtf8(key)], j[QString::fromUtf8(key)]) << key;
    }
    // One header and one whole row a reading, whatever the order they came in; a verified
    // reading's says so in its last column.
    QFile file(journal);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + std::ssize(runs));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\"verified\""))) << lines[0].toStdString();
    for (const auto& c : cases) {
        for (const char* last : {",\"\"", ",\"true\""}) {
            const auto rows =
                std::count_if(lines.begin() + 1, lines.end(), [&](const QString& row) {
                    return row.contains(QStringLiteral("\",\"") + QString::fromUtf8(c.type) +
                                        QStringLiteral("\",\"")) &&
                           row.contains(c.record) && row.contains(QStringLiteral("\"read\"")) &&
                           row.contains(QStringLiteral(",\"demo\",")) &&
                           row.endsWith(QString::fromUtf8(last));
                });
            EXPECT_EQ(rows, 1) << c.type << last;
        }
    }
}

} // namespace
} // namespace meter::testing
