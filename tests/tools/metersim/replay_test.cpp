// SPDX-License-Identifier: GPL-3.0-or-later
// metersim --replay over pseudo-terminals, in real time: a reading of every machine type,
// captured, replayed as the meter and read again, gives the same reading; a capture the reader
// does not follow is answered as recorded and the difference is said.
#include "capture/capture.h"
#include "core/hexecho.h"
#include "files/files.h"
#include "support/e2e.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace meter::testing {
namespace {

// For each chunk the meter sent, how many polls the reading had made when it came.
std::vector<std::int64_t> pollsbeforeeachchunk(const QString& path) {
    const CaptureRead read = readcapture(path.toStdString());
    std::vector<std::int64_t> polls;
    if (!read.capture) return polls;
    std::int64_t count = 0;
    for (const CaptureEvent& e : read.capture->events) {
        if (e.kind == CaptureEvent::Kind::poll) count = e.count;
        if (e.kind == CaptureEvent::Kind::rx) polls.push_back(count);
    }
    return polls;
}

TEST(MeterSimReplay, EveryTypeCapturedAndReplayed_ReadsTheSame) {
    const struct Case {
        const char* type;
        QStringList simargs;
        bool samepolls; // each chunk arrives between the same two polls again
    } cases[] = {
        {"pitneybows 950", {}, false},
        {"pitneybows spark", {}, false},
        {"高速机", {}, false},
        {"neopost", {}, false},
        {"5400(4表头)", {}, false},
        // Replies split across polls, each chunk half-way between two of them.
        {"5400(5表头)",
         {QStringLiteral("--delay"), QStringLiteral("500"), QStringLiteral("--split"),
          QStringLiteral("5"), QStringLiteral("--gap"), QStringLiteral("1000")},
         true},
        {"copote", {}, false},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case& c : cases) {
        const QString type = QString::fromUtf8(c.type);
        const QString first = dir.filePath(QStringLiteral("first.jsonl"));
        const QString again = dir.filePath(QStringLiteral("again.jsonl"));
        ReadRun recorded;
        {
            QStringList args = c.simargs;
            args << QStringLiteral("--type") << type;
            MeterSim sim(args);
            recorded = meterread(jsonreading(sim, type) << QStringLiteral("--capture") << first);
        }
        ASSERT_EQ(recorded.exitcode, 0) << c.type << recorded.err.toStdString();
        MeterSim replayed({QStringLiteral("--replay"), first});
        const ReadRun r =
            meterread(jsonreading(replayed, type) << QStringLiteral("--capture") << again);
        EXPECT_EQ(r.exitcode, 0) << c.type << r.err.toStdString();
        for (const char* field : {"record", "end", "status", "sent", "received"}) {
            const QString key = QString::fromUtf8(field);
            EXPECT_EQ(r.json[key].toString(), recorded.json[key].toString())
                << c.type << " " << field;
        }
        const QString said = replayed.log();
        EXPECT_FALSE(said.contains(QStringLiteral("write"))) << c.type << said.toStdString();
        if (c.samepolls) {
            const auto polls = pollsbeforeeachchunk(first);
            EXPECT_GT(std::set<std::int64_t>(polls.begin(), polls.end()).size(), 5u)
                << "the replies straddle the polls";
            EXPECT_EQ(pollsbeforeeachchunk(again), polls) << c.type;
        }
        const ReadRun offline =
            meterread({QStringLiteral("--replay"), first, QStringLiteral("--check")});
        EXPECT_EQ(offline.exitcode, 0)
            << c.type << offline.out.toStdString() << offline.err.toStdString();
    }
}

TEST(MeterSimReplay, ReaderSendsOtherBytes_SaysWhereAndAnswersAsRecorded) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("neopost.jsonl"));
    ReadRun recorded;
    {
        MeterSim sim({QStringLiteral("--type"), QStringLiteral("neopost")});
        recorded = meterread(jsonreading(sim, QStringLiteral("neopost"))
                             << QStringLiteral("--capture") << file);
        ASSERT_EQ(recorded.exitcode, 0) << recorded.err.toStdString();
    }
    // The capture says the second byte of the second write was another.
    CaptureRead read = readcapture(file.toStdString());
    ASSERT_TRUE(read.capture);
    int writes = 0;
    std::uint8_t was = 0;
    for (CaptureEvent& e : read.capture->events)
        if (e.kind == CaptureEvent::Kind::tx && ++writes == 2) {
            ASSERT_GE(e.bytes.size(), 2u);
            was = e.bytes[1];
            e.bytes[1] ^= 0xFF;
        }
    ASSERT_TRUE(files::replace(file.toStdString(), capturetext(*read.capture)).empty());
    const std::string sent = hexpair(was),
                      recordedbyte = hexpair(static_cast<std::uint8_t>(was ^ 0xFF));
    const struct {
        const char* lang;
        std::string says;
    } cases[] = {
        {"en", "metersim: write 2, byte 2: the reader sent " + sent + " where the capture has " +
                   recordedbyte + "\n"},
        {"zh", "metersim: 第 2 次写入的第 2 个字节：读取程序发送了 " + sent + "，抓包中是 " +
                   recordedbyte + "\n"},
    };
    for (const auto& c : cases) {
        MeterSim replayed({QStringLiteral("--replay"), file, QStringLiteral("--lang"),
                           QString::fromUtf8(c.lang)});
        const ReadRun r = meterread(jsonreading(replayed, QStringLiteral("neopost")));
        EXPECT_EQ(r.exitcode, 0) << "answered as recorded all the same" << r.err.toStdString();
        EXPECT_EQ(r.json[QStringLiteral("record")], recorded.json[QStringLiteral("record")]);
        EXPECT_EQ(replayed.log().toStdString(), c.says);
    }
}

} // namespace
} // namespace meter::testing
