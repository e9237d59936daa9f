// SPDX-License-Identifier: GPL-3.0-or-later
// meterread against metersim over pseudo-terminals for both 5400 machine types: the exact
// traffic, the record and the exit status. A prompt 5400 reading takes five one-second polls.
#include "support/e2e.h"

#include <QJsonObject>
#include <gtest/gtest.h>

namespace meter::testing {
namespace {

const QString sent = QStringLiteral(" FE 1 6 7 4 D C B2 18 0, FE 1 6 7 4 D 5 23 31 0,"
                                    " FE 1 6 7 4 D 6 13 52 0, FE 1 6 7 4 D 8 F2 9C 0,");

TEST(MeterRead5400, BothTypes_ReadWithExactTraffic) {
    struct Case {
        const char* type;
        QStringList simargs;
        QString record;
        QString received;
    } cases[] = {
        {"5400(4表头)",
         {QStringLiteral("--type"), QStringLiteral("12")},
         QStringLiteral("000002111050000001234500000000876550") +
             QStringLiteral("00000043210000123456"),
         QStringLiteral(
             " 63 63 FE 1 6 C 81 3 56 34 12 74 C2 63 63 FE 1 6 5 81 5 0 45 23 1 0 C4 A9"
             " 63 63 FE 1 6 6 81 5 50 65 87 0 0 7C CD 63 63 FE 1 6 8 81 4 21 43 0 0 71 D0")},
        // Split replies that straddle the polls are joined.
        {"13",
         {QStringLiteral("--type"), QStringLiteral("13"), QStringLiteral("--split"),
          QStringLiteral("5"), QStringLiteral("--gap"), QStringLiteral("900")},
         QStringLiteral("000002111050000001234500000000876550") +
             QStringLiteral("00000043210000123456"),
         QStringLiteral(
             " 63 63 FE 1 6 C 81 3 56 34 12 74 C2 63 63 FE 1 6 5 81 5 50 34 12 0 0 24 FE"
             " 63 63 FE 1 6 6 81 5 55 76 8 0 0 C8 8A 63 63 FE 1 6 8 81 4 21 43 0 0 71 D0")},
    };
    for (const auto& c : cases) {
        MeterSim sim(c.simargs);
        const ReadRun r = meterread(jsonreading(sim, QString::fromUtf8(c.type)));
        ASSERT_EQ(r.exitcode, 0) << c.type << r.err.toStdString();
        EXPECT_EQ(r.json[QStringLiteral("record")].toString(), c.record) << c.type;
        EXPECT_EQ(r.json[QStringLiteral("end")].toString(), QStringLiteral("normal"));
        EXPECT_EQ(r.json[QStringLiteral("reason")].toString(), QString());
        EXPECT_EQ(r.json[QStringLiteral("sent")].toString(), sent) << c.type;
        EXPECT_EQ(r.json[QStringLiteral("received")].toString(), c.received) << c.type;
        EXPECT_EQ(r.json[QStringLiteral("total")].toString(), QStringLiteral("000002111050"));
        EXPECT_GE(r.seconds, 4.9) << "five polls of a second";
    }
}

} // namespace
} // namespace meter::testing
