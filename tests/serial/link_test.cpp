// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/metererror.h"
#include "serial/link.h"
#include "serial/scripteddevice.h"
#include "support/machinerow.h"
#include "support/virtualstation.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

using testing::echoof;
using testing::lineof;

struct SerialLink : ::testing::Test {
    std::int64_t now = 0;
    ScriptedDevice device{[this] { return now; }};
    meter::SerialLink link{device};
};

TEST_F(SerialLink, Sendbytes_WritesOnceAndEchoesWithClosingComma) {
    ASSERT_TRUE(link.openport(lineof(11), 1));
    link.sendbytes(Bytes{2, 10, 255});
    link.sendbytes(Bytes{0});
    EXPECT_EQ(link.txtsend(), " 2 A FF, 0,");
    ASSERT_EQ(device.writes().size(), 2u);
    EXPECT_EQ(device.writes()[0], (Bytes{2, 10, 255}));
}

TEST_F(SerialLink, SendbytesOnClosedPort_EchoesButSendsNothing) {
    EXPECT_NO_THROW(link.sendbytes(Bytes{254, 1, 6}));
    EXPECT_EQ(link.txtsend(), " FE 1 6,");
    EXPECT_TRUE(device.writes().empty());
}

TEST_F(SerialLink, RequestTail_WritesElevenBytesEchoesTenOrSix) {
    ASSERT_TRUE(link.openport(lineof(12), 1));
    std::array<std::uint8_t, 11> b{0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D,
                                   0x0C, 0xB2, 0x18, 0x00, 0x00};
    struct Case {
        std::int16_t code;
        const char* echo;
    } cases[] = {
        {12, " FE 1 6 7 4 D C B2 18 0,"},
        {13, " FE 1 6 7 4 D C B2 18 0,"},
        {21, " FE 1 6 7 4 D,"},
        {22, " FE 1 6 7 4 D,"},
    };
    for (const auto& c : cases) {
        link.begin();
        link.send(b, echoof(c.code));
        EXPECT_EQ(link.txtsend(), c.echo) << c.code;
        EXPECT_EQ(device.writes().back().size(), 11u);
    }
}

TEST_F(SerialLink, RequestTailOnClosedPort_Raises) {
    EXPECT_THROW(link.send(Bytes(11, 0), echoof(12)), MeterError);
}

TEST_F(SerialLink, Openport_AppliesTheMachineTypesLineSettings) {
    struct Case {
        std::int16_t code;
        const char* settings;
    } cases[] = {
        {11, "9600,n,8,1"}, {22, "9600,n,8,1"}, {31, "9600,n,8,1"},
        {12, "4800,n,8,1"}, {13, "4800,n,8,1"}, {21, "9600,n,8,2"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(link.openport(lineof(c.code), 3));
        EXPECT_EQ(device.opens().back().settings.text(), c.settings) << c.code;
        EXPECT_EQ(device.opens().back().port, 3);
        EXPECT_TRUE(device.dtr());
    }
    // A code without settings keeps those of the last open.
    ASSERT_TRUE(link.openport(lineof(51), 3));
    EXPECT_EQ(device.opens().back().settings.text(), "9600,n,8,2");
}

TEST_F(SerialLink, OpenportOnOpenPort_ClosesAndReopens) {
    ASSERT_TRUE(link.openport(lineof(12), 1));
    ASSERT_TRUE(link.openport(lineof(12), 1));
    EXPECT_EQ(device.closes(), 1);
    EXPECT_EQ(device.opens().size(), 2u);
    EXPECT_TRUE(device.isopen());
}

TEST_F(SerialLink, OpenportFails_FalseAndReasonWithoutRaising) {
    EXPECT_FALSE(link.openport(lineof(12), 0));
    EXPECT_NE(link.openfailure().english().find("port 0"), std::string::npos);
    device.refuseopen("port 2 is in use by another program");
    EXPECT_FALSE(link.openport(lineof(12), 2));
    EXPECT_EQ(link.openfailure().english(), "port 2 is in use by another program");
    EXPECT_FALSE(device.isopen());
    link.closeport(); // on a closed port: nothing
    EXPECT_EQ(device.closes(), 0);
}

TEST_F(SerialLink, ReceivedEcho_RunsTogetherUntilCommaCloses) {
    ASSERT_TRUE(link.openport(lineof(12), 1));
    device.deliver(Bytes{5, 129});
    link.echoreceived(device.readall());
    link.echoreceived(device.readall()); // nothing waiting: nothing echoed, no error
    device.deliver(Bytes{0x63});
    link.echoreceived(device.readall());
    EXPECT_EQ(link.txtrece(), " 5 81 63");
    link.echoreceivedcomma();
    EXPECT_EQ(link.txtrece(), " 5 81 63,");
}

TEST_F(SerialLink, DeliveredBytes_ReadableOnlyOnceArrived) {
    ASSERT_TRUE(link.openport(lineof(21), 1));
    device.deliver(Bytes{1, 2}, 100);
    device.deliver(Bytes{3}, 50);
    EXPECT_EQ(device.byteswaiting(), 0u);
    now = 60;
    EXPECT_EQ(device.readall(), Bytes{3});
    now = 100;
    EXPECT_EQ(device.byteswaiting(), 2u);
    EXPECT_EQ(device.readall(), (Bytes{1, 2}));
}

TEST_F(SerialLink, LostLine_RaisesOnReadAndWrite) {
    ASSERT_TRUE(link.openport(lineof(21), 1));
    device.droplineat(10);
    now = 10;
    EXPECT_THROW(device.readall(), MeterError);
    EXPECT_THROW(link.send(Bytes(11, 0), echoof(21)), MeterError);
}

// A meter answers the first reading too late; its reply arrives after that reading gave up. The
// next reading, against a meter with other values, reads those values and not the stale reply.
TEST(StaleReply, LateReply_NotTakenByTheNextReading) {
    for (const std::int16_t code : {11, 12, 21, 22, 31}) {
        testing::VirtualStation st;
        st.play(code, {.delayms = 120000});
        EXPECT_EQ(st.read(code), std::string(56, '0')) << code;
        st.pacer.advance(240000);
        sim::Registers other{"000000000300", "000000000100", "000000000200", "0000000007",
                             "0000000099"};
        st.play(code, {}, other);
        EXPECT_EQ(st.read(code), other.record()) << code;
        EXPECT_TRUE(st.driver.outcome().normal())
            << code << ": " << st.driver.outcome().reason.english();
    }
}

} // namespace
} // namespace meter
