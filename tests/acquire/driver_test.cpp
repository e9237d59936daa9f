// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/driver.h"
#include "acquire/pollloop.h"
#include "vendorapi/vendorlibrary.h"
#include "core/metererror.h"
#include "serial/scripteddevice.h"
#include "support/fakevendor.h"
#include "support/testfamily.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

using testing::FakeVendor;

struct AcquisitionDriver : ::testing::Test {
    VirtualPacer pacer;
    ScriptedDevice device{[this] { return pacer.nowms(); }};
    FakeVendor vendor;
    FamilyTable families;

    Driver make() { return Driver({device, pacer, vendor}, families); }

    // A family entry for code 12 that opens the port, stores `record` and ends as `then` say
    // at the time of the reading.
    enum class Then { normal, failure, raise, raiseother };
    std::string record;
    Then then = Then::normal;
    void family(std::string r, Then t) {
        record = std::move(r);
        then = t;
        families[12] = [this](const MachineType&) {
            auto f = std::make_unique<testing::TestFamily>();
            f->onbegin = [this](std::string& regrecord) {
                regrecord = record;
                if (then == Then::raise)
                    throw MeterError(Reason(ReasonCode::not_packed_decimal, "1A"));
                if (then == Then::raiseother) throw 42;
            };
            f->steps = {then == Then::normal ? Step::done() : Step::fail({})};
            return f;
        };
    }
};

TEST_F(AcquisitionDriver, InitportWithUnknownTypeOrPortAboveEight_Refused) {
    Driver d = make();
    struct Case {
        std::int16_t port, type, result;
    } cases[] = {
        {9, 11, 0}, {8, 11, 1}, {0, 22, 1}, {-5, 12, 1}, {1, 14, 0}, {1, 0, 0},
        {1, 52, 0}, {1, 13, 1}, {1, 21, 1}, {1, 31, 1},  {1, 51, 1}, {32767, 51, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(d.initport(c.port, c.type), c.result) << c.port << "," << c.type;
}

TEST_F(AcquisitionDriver, Initport_StoresPairAndRefusalChangesNothing) {
    Driver d = make();
    ASSERT_EQ(d.initport(3, 51), 1);
    EXPECT_EQ(d.state().iport, 3);
    EXPECT_EQ(d.state().itype, 51);
    EXPECT_EQ(d.initport(9, 11), 0);
    EXPECT_EQ(d.state().iport, 3);
    EXPECT_EQ(d.state().itype, 51);
}

// One driver through all the cases, in this order: nothing of how one reading ended may show
// in the next.
TEST_F(AcquisitionDriver, EveryKindOfEnd_OwnRecordAndReasonPortClosed) {
    struct Case {
        std::string record;
        Then then;
        std::string returned;
        bool normal;
        const char* reason; // found in the reason; nullptr: no reason
    } cases[] = {
        {std::string(56, '1'), Then::normal, std::string(56, '1'), true, nullptr},
        {std::string(30, '5'), Then::raise, std::string(30, '5'), false,
         "reply byte 1A is not packed decimal"},
        {std::string(30, '6'), Then::raiseother, std::string(30, '6'), false, "internal error"},
        {std::string(30, '4'), Then::failure, std::string(30, '4'), false, "the reading failed"},
        {std::string(60, '2'), Then::normal, std::string(60, '2'), true, nullptr},
        {std::string(30, '3'), Then::normal, allzerorecord, true, "has 30 characters"},
        {allzerorecord, Then::normal, allzerorecord, true, "the meter"},
        {std::string(56, '1'), Then::normal, std::string(56, '1'), true, nullptr},
    };
    family({}, Then::normal);
    Driver d = make();
    for (const auto& c : cases) {
        record = c.record;
        then = c.then;
        ASSERT_EQ(d.initport(2, 12), 1);
        EXPECT_EQ(d.Getregisters(), c.returned);
        EXPECT_EQ(d.outcome().normal(), c.normal) << c.returned;
        if (c.reason)
            EXPECT_NE(d.outcome().reason.english().find(c.reason), std::string::npos)
                << d.outcome().reason.english();
        else
            EXPECT_EQ(d.outcome().reason.english(), "") << c.returned;
        EXPECT_FALSE(device.isopen()) << "the driver closes the port on every end";
    }
}

TEST_F(AcquisitionDriver, UnopenablePort_FailsWithItsReason) {
    family(std::string(56, '1'), Then::normal);
    device.refuseopen("port 0 has no device");
    Driver d = make();
    ASSERT_EQ(d.initport(0, 12), 1);
    EXPECT_EQ(d.Getregisters(), allzerorecord);
    EXPECT_FALSE(d.outcome().normal());
    EXPECT_EQ(d.outcome().reason.english(), "port 0 has no device");
}

TEST_F(AcquisitionDriver, TypeWithoutReadingSequence_AllZeroRecordAtNormalEnd) {
    Driver d = make();
    for (std::int16_t code : {11, 12, 13, 21, 22, 31}) {
        ASSERT_EQ(d.initport(1, code), 1);
        EXPECT_EQ(d.Getregisters(), allzerorecord);
        EXPECT_TRUE(d.outcome().normal());
        EXPECT_NE(d.outcome().reason.english().find("no reading sequence"), std::string::npos);
    }
    EXPECT_TRUE(device.opens().empty());
}

TEST_F(AcquisitionDriver, TenPolls_CountAsOneRetry) {
    SerialLink link(device);
    PollLoop d(link, pacer, nullptr, *findtype(12));
    auto counters = [&d] {
        return std::to_string(d.pollcount) + "," + std::to_string(d.retrycount);
    };
    for (int poll = 1; poll <= 60; ++poll) {
        d.countpoll();
        if (poll == 9) {
            EXPECT_EQ(counters(), "9,0");
        }
        if (poll == 10) {
            EXPECT_EQ(counters(), "0,1");
        }
        if (poll == 59) {
            EXPECT_EQ(counters(), "9,5");
        }
    }
    EXPECT_EQ(d.pollcount, 0);
    EXPECT_EQ(d.retrycount, 6);
}

TEST_F(AcquisitionDriver, CopoteType_VendorLibraryReadsAndAnyRefusalVoidsRecord) {
    const std::string digits56 = "00000123456700000098760000000123456000000302000012345678";
    struct Case {
        const char* what;
        std::string raises;
        std::int32_t open;
        std::string record;
        std::int32_t close;
        std::string returned;
        bool normal;
        std::vector<std::string> calls;
    } cases[] = {
        {"read", "", 1, digits56, 1, digits56, true, {"ComOpen 3", "ReadRegister 3", "ComClose 3"}},
        {"ComOpen refuses", "", 0, digits56, 1, allzerorecord, false, {"ComOpen 3"}},
        {"ComClose voids",
         "",
         1,
         digits56,
         0,
         allzerorecord,
         false,
         {"ComOpen 3", "ReadRegister 3", "ComClose 3"}},
        {"short text",
         "",
         1,
         std::string(40, '9'),
         1,
         allzerorecord,
         true,
         {"ComOpen 3", "ReadRegister 3", "ComClose 3"}},
        {"long text",
         "",
         1,
         std::string(60, '8'),
         1,
         std::string(60, '8'),
         true,
         {"ComOpen 3", "ReadRegister 3", "ComClose 3"}},
        {"missing library", "ComOpen", 1, digits56, 1, allzerorecord, false, {}},
        {"record never confirmed",
         "ComClose",
         1,
         digits56,
         1,
         allzerorecord,
         false,
         {"ComOpen 3", "ReadRegister 3", "ComClose 3"}},
    };
    for (const auto& c : cases) {
        vendor = FakeVendor{};
        vendor.raises = c.raises;
        vendor.open = c.open;
        vendor.record = c.record;
        vendor.close = c.close;
        Driver d = make();
        ASSERT_EQ(d.initport(3, 51), 1);
        EXPECT_EQ(d.Getregisters(), c.returned) << c.what;
        EXPECT_EQ(d.outcome().normal(), c.normal) << c.what;
        EXPECT_EQ(vendor.calls, c.calls) << c.what;
        EXPECT_EQ(d.outcome().reason.empty(), c.returned != allzerorecord) << c.what;
    }
    EXPECT_TRUE(device.opens().empty()) << "the serial link is not used for copote";
    EXPECT_EQ(device.closes(), 0);
}

TEST_F(AcquisitionDriver, InitportDuringAReading_RefusedAndStateKept) {
    std::int16_t during = -1;
    Driver* driver = nullptr;
    testing::TestFamily asks;
    asks.onbegin = [&](std::string&) { during = driver->initport(5, 22); };
    families[21] = testing::makerof(asks);
    Driver d = make();
    driver = &d;
    ASSERT_EQ(d.initport(1, 21), 1);
    d.Getregisters();
    EXPECT_EQ(during, 0);
    EXPECT_EQ(d.state().iport, 1);
    EXPECT_EQ(d.state().itype, 21);
    EXPECT_EQ(d.initport(5, 22), 1) << "accepted again once the reading has ended";
}

TEST_F(AcquisitionDriver, CancelledReading_OwnOutcomeAndPortClosed) {
    testing::TestFamily silent;
    silent.steps = {Step::await()};
    families[13] = testing::makerof(silent);
    pacer.cancelat(5000);
    Driver d = make();
    ASSERT_EQ(d.initport(1, 13), 1);
    EXPECT_EQ(d.Getregisters(), allzerorecord);
    EXPECT_TRUE(d.outcome().cancelled()) << "told apart from a fault";
    EXPECT_EQ(d.outcome().reason.english(), "the reading was cancelled");
    EXPECT_FALSE(device.isopen());
    EXPECT_EQ(pacer.nowms(), 5000);
}

} // namespace
} // namespace meter
