// SPDX-License-Identifier: GPL-3.0-or-later
// meterread against metersim over pseudo-terminals for the neopost and the high-speed machine:
// exact traffic, record and exit status, in real time.
#include "core/hexecho.h"
#include "support/e2e.h"
#include "support/framedbytes.h"

#include <QJsonObject>
#include <gtest/gtest.h>

namespace meter::testing {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string echo(const Bytes& b) {
    return hexecho(b) + ",";
}

Bytes corrupted(Bytes b, std::size_t at) {
    b[at] ^= 0xFF;
    return b;
}

TEST(MeterReadFramed, BothTypes_ExactTrafficRecordAndExitStatus) {
    // total 750, used 500, unused 250, the default piece count and head.
    const std::string record = "000000000750"
                               "000000000500"
                               "000000000250"
                               "0000004321"
                               "0000123456";
    const std::string neodata = "0000000250"
                                "0000000500"
                                "0000000750" +
                                std::string(20, '0') + "0000004321" + std::string(10, '0') +
                                "0000123456" + "00";
    const std::string fastdata = "000000000750"
                                 "000000000250"
                                 "0000004321"
                                 "000000000500"
                                 "0000123456";
    const std::string neosent = echo(buildcommand(FramedModel::neopost, 5, '1')) +
                                echo(buildcommand(FramedModel::neopost, 2, '2'));
    const std::string fastsent = echo(buildcommand(FramedModel::highspeed, 0, '1'));
    struct Case {
        const char* type;
        QStringList faults;
        int exitcode;
        std::string record, sent, received;
        const char* reason;
    } cases[] = {
        {"neopost", {}, 0, record, neosent, echo(ackreply()) + echo(neopostreply(neodata)), ""},
        {"高速机", {}, 0, record, fastsent, echo(highspeedreply(fastdata)), ""},
        {"31",
         {QStringLiteral("--corrupt"), QStringLiteral("20")},
         1,
         std::string(56, '0'),
         fastsent,
         echo(corrupted(highspeedreply(fastdata), 20)),
         "0xCF at reply byte 20 is not a decimal digit"},
        {"11",
         {QStringLiteral("--silent")},
         1,
         std::string(56, '0'),
         echo(buildcommand(FramedModel::neopost, 5, '1')),
         ",",
         "time-out after 4000 ms (5 polls) waiting for the acknowledgement: 0 of 24 bytes"},
    };
    for (const auto& c : cases) {
        QStringList simargs{QStringLiteral("--used"),   QStringLiteral("500"),
                            QStringLiteral("--unused"), QStringLiteral("250"),
                            QStringLiteral("--total"),  QStringLiteral("750")};
        MeterSim sim(simargs + c.faults);
        const ReadRun r = meterread({QStringLiteral("--json"), QStringLiteral("--type"),
                                     QString::fromUtf8(c.type), QStringLiteral("--device"),
                                     QStringLiteral("1=") + sim.path()});
        EXPECT_EQ(r.exitcode, c.exitcode) << c.type << r.err.toStdString();
        EXPECT_EQ(r.json[QStringLiteral("record")].toString(), q(c.record)) << c.type;
        EXPECT_EQ(r.json[QStringLiteral("sent")].toString(), q(c.sent)) << c.type;
        EXPECT_EQ(r.json[QStringLiteral("received")].toString(), q(c.received)) << c.type;
        const QString reason = r.json[QStringLiteral("reason")].toString();
        EXPECT_TRUE(c.exitcode ? reason.contains(q(c.reason)) : reason.isEmpty())
            << reason.toStdString();
        EXPECT_EQ(r.json[QStringLiteral("end")].toString(),
                  c.exitcode ? QStringLiteral("failure") : QStringLiteral("normal"));
    }
}

} // namespace
} // namespace meter::testing
