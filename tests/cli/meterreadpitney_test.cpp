// SPDX-License-Identifier: GPL-3.0-or-later
// meterread against metersim playing the two Pitney meters over pseudo-terminals, in real time.
#include "support/e2e.h"

#include <QJsonObject>
#include <gtest/gtest.h>

namespace meter::testing {
namespace {

QString text(const ReadRun& r, const char* key) {
    return r.json[QLatin1String(key)].toString();
}

TEST(MeterReadPitney, BothModels_ReadWithExactTraffic) {
    // Values whose packed bytes include STX, ETX and the stuffing byte itself.
    const QStringList values = {QStringLiteral("--used"),   QStringLiteral("1003"),
                                QStringLiteral("--unused"), QStringLiteral("20010"),
                                QStringLiteral("--pieces"), QStringLiteral("1002"),
                                QStringLiteral("--head"),   QStringLiteral("31")};
    const QString sent = QStringLiteral(
        " 2 21 54 F3 96 3, 2 A1 52 76 95 3, 2 21 53 F5 95 3, 2 A1 55 70 98 3, 2 21 5C E3 9E 3,");
    const QString received = QStringLiteral(
        " 2 21 84 A2 0 0 10 82 10 90 13 E0 B1 3, 2 A1 82 A2 0 0 0 10 90 10 83 94 91 3,"
        " 2 21 83 A2 0 0 10 82 0 10 90 1F 87 3, 2 A1 85 AF 0 0 0 10 90 10 82 23 F3 3,"
        " 2 21 8C AF 0 0 0 0 31 41 30 3,");
    // The spark's replies also in small chunks, which take more polls: one reply must never go
    // out in the middle of another.
    const struct {
        const char* type;
        QStringList faults;
    } cases[] = {
        {"pitneybows 950", {}},
        {"22", {}},
        {"22",
         {QStringLiteral("--split"), QStringLiteral("5"), QStringLiteral("--gap"),
          QStringLiteral("60")}},
    };
    for (const auto& c : cases) {
        const QString type = QString::fromUtf8(c.type);
        MeterSim sim(QStringList{QStringLiteral("--type"), type} + values + c.faults);
        const ReadRun r = meterread(jsonreading(sim, type));
        ASSERT_EQ(r.exitcode, 0) << c.type << r.err.toStdString();
        EXPECT_EQ(text(r, "record"), QStringLiteral("000000021013"
                                                    "000000001003"
                                                    "000000020010"
                                                    "0000001002"
                                                    "0000000031"));
        EXPECT_EQ(text(r, "end"), QStringLiteral("normal"));
        EXPECT_EQ(text(r, "reason"), QString());
        if (!c.faults.isEmpty()) continue;
        EXPECT_EQ(text(r, "sent"), sent) << c.type;
        EXPECT_EQ(text(r, "received"), received) << c.type;
        EXPECT_LT(r.seconds, 3.0) << "six polls of 100 ms";
    }
}

TEST(MeterReadPitney, SilentSpark_GivenUpAfterFiftyPollsExitOne) {
    MeterSim sim({QStringLiteral("--type"), QStringLiteral("22"), QStringLiteral("--silent")});
    const ReadRun r = meterread(jsonreading(sim, QStringLiteral("pitneybows spark")));
    EXPECT_EQ(r.exitcode, 1);
    EXPECT_EQ(text(r, "end"), QStringLiteral("normal"));
    EXPECT_EQ(text(r, "record"), QString(56, QLatin1Char('0')));
    EXPECT_EQ(text(r, "reason"),
              QStringLiteral("no reply to 总邮资 after 50 polls; not a single byte came back: "
                             "check the machine type, the cable and the port"));
    EXPECT_EQ(text(r, "reason_code"), QStringLiteral("no_reply")) << "the hint keeps the code";
    EXPECT_EQ(text(r, "sent"), QStringLiteral(" 2 21 54 F3 96 3, 2 A1 54 72 97 3,"));
    EXPECT_EQ(text(r, "received"), QString());
    EXPECT_GE(r.seconds, 5.0);
}

TEST(MeterReadPitney, Demo_ReadsBothModels) {
    for (const char* type : {"21", "pitneybows spark"}) {
        const ReadRun r = meterread(
            {QStringLiteral("--demo"), QStringLiteral("--type"), QString::fromUtf8(type)});
        EXPECT_EQ(r.exitcode, 0) << type << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("总邮资：000002111050\n已用邮资：000001234500\n"
                                        "未用邮资：000000876550\n总件数：0000004321\n"
                                        "表头：0000123456\n"));
    }
}

} // namespace
} // namespace meter::testing
