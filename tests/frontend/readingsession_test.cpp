// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingsession.h"

#include "core/machinetypes.h"
#include "serial/scripteddevice.h"
#include "support/fakevendor.h"
#include "support/virtualstation.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

// Both front ends refuse what this table refuses, in these words.
TEST(ReadingSession, PortAndTypeChecks_RefuseAsBothFrontEndsSayIt) {
    const struct {
        const char* porttext;
        std::int16_t code;
        const char* typetext;
        std::int16_t port; // taken
        std::string refusal;
    } cases[] = {
        {"1", 21, "pitneybows 950", 1, ""},
        {" +3 ", 51, "copote", 3, ""},
        {"-3", 11, "neopost", -3, ""}, // no device stands behind it: the reading says so
        {"0", 11, "neopost", 0, ""},
        {"-32768", 11, "neopost", -32768, ""},
        {"", 21, "pitneybows 950", 0, "the port text is empty; give a port from 1 to 8"},
        {" \t", 21, "x", 0, "the port text is empty; give a port from 1 to 8"},
        {"abc", 21, "x", 0, "port \"abc\" is not a port number; give a port from 1 to 8"},
        {"x1", 21, "x", 0, "port \"x1\" is not a port number; give a port from 1 to 8"},
        {"+", 21, "x", 0, "port \"+\" is not a port number; give a port from 1 to 8"},
        {"9", 21, "pitneybows 950", 0, "port 9 is above 8"},
        {"0009", 21, "pitneybows 950", 0, "port 0009 is above 8"},
        {"+9", 21, "pitneybows 950", 0, "port +9 is above 8"},
        {"32767", 21, "21", 0, "port 32767 is above 8"},
        {"99999", 21, "21", 0, "port 99999 is above 8"},
        {"-40000", 21, "21", 0, "port -40000 is not a port from 1 to 8"},
        {"8", 0, "Neopost", 0, "machine type \"Neopost\" is not in the list"},
        {"8", 14, "14", 0, "machine type \"14\" is not in the list"},
        // The port is checked first.
        {"9", 0, "Neopost", 0, "port 9 is above 8"},
    };
    for (const auto& c : cases) {
        ReadingSession session;
        const Reason why = session.check(c.porttext, c.code, c.typetext);
        EXPECT_EQ(why.english(), c.refusal) << c.porttext << " " << c.typetext;
        if (!why) {
            EXPECT_EQ(session.port(), c.port) << c.porttext;
        }
    }
    // The command line names a type by its list text, its English name or its code.
    const std::pair<const char*, std::int16_t> types[] = {
        {"pitneybows 950", 21}, {"5400(5表头)", 13}, {" 21 ", 21},   {"14", 14},
        {"-2", -2},             {"Neopost", 0},      {"70000", 0},   {"", 0},
        {"2 1", 0},             {"5400 (5 heads)", 13}, {"high-speed machine", 31},
        {"5400 (4 heads)", 12}, {"5400 (4 heads) ", 0},
    };
    for (const auto& [text, code] : types)
        EXPECT_EQ(typefromtext(text), code) << text;
    // In Chinese too, with the text as typed.
    EXPECT_EQ(portfromtext("abc").refused.text(Language::zh),
              "端口 \"abc\" 不是端口号；请给出 1 到 8 之间的端口");
}

// The report of a reading: the choice, the device, the record and its fields, the end and its
// reason, the traffic and the time the reading began.
TEST(ReadingSession, Run_HandsBackTheWholeReading) {
    VirtualPacer pacer;
    ScriptedDevice device{[&pacer] { return pacer.nowms(); }};
    testing::FakeVendor vendor;
    vendor.record = "000000012345000000002000000000010345000000012300987654321";
    vendor.record.resize(56);
    Driver driver({device, pacer, vendor});

    ReadingSession session;
    // The report names the type by its list text, whatever language the window showed it in.
    ASSERT_FALSE(session.choose(driver, "3", 13, "5400 (5 heads)"));
    EXPECT_EQ(session.typetext(), "5400 (5 heads)");
    EXPECT_EQ(session.finish(driver, "", {}).report.typetext, "5400(5表头)");
    ASSERT_FALSE(session.choose(driver, "3", 51, "copote"));
    const std::time_t before = std::time(nullptr);
    const FinishedReading r = session.run(driver, "the vendor library");
    EXPECT_EQ(r.report.port, 3);
    EXPECT_EQ(r.report.code, 51);
    EXPECT_EQ(r.report.typetext, "copote");
    EXPECT_EQ(r.report.device, "the vendor library");
    EXPECT_EQ(r.report.record, vendor.record);
    EXPECT_EQ(r.fields.total, vendor.record.substr(0, 12));
    EXPECT_EQ(r.fields.head, vendor.record.substr(46));
    EXPECT_TRUE(r.report.normal);
    EXPECT_EQ(r.report.status(), "read");
    EXPECT_TRUE(r.outcome.normal());
    EXPECT_LE(r.report.time, localtimestamp(std::time(nullptr)));
    EXPECT_GE(r.report.time, localtimestamp(before));

    // A failed reading keeps its reason, in English for the files and as a value for the
    // front end's language.
    vendor.open = 0;
    ASSERT_FALSE(session.choose(driver, "2", 51, "copote"));
    const FinishedReading failed = session.run(driver, "");
    EXPECT_FALSE(failed.report.normal);
    EXPECT_EQ(failed.report.status(), "failed");
    EXPECT_EQ(failed.report.reason, failed.outcome.reason.english());
    EXPECT_FALSE(failed.outcome.reason.text(Language::zh).empty());
    EXPECT_NE(failed.outcome.reason.text(Language::zh), failed.report.reason);
}

// initport refuses what a reading running holds on to: the session says so.
TEST(ReadingSession, Take_RefusedByTheDriver_SaysWhichPort) {
    VirtualPacer pacer;
    ScriptedDevice device{[&pacer] { return pacer.nowms(); }};
    testing::FakeVendor vendor;
    Driver driver({device, pacer, vendor}, FamilyTable{}, MachineTypes{});
    ReadingSession session;
    ASSERT_FALSE(session.check("4", 21, "pitneybows 950"));
    EXPECT_EQ(session.take(driver).english(), "port 4 or machine type refused");
}

} // namespace
} // namespace meter

namespace meter {
namespace {

std::size_t count(const std::string& text, std::string_view part) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++n;
    return n;
}

// A verified reading on virtual time, for every type: a meter that stays as it is reads
// verified; one in use between the two readings fails, naming the used postage with both
// values. The record is the first reading's, the traffic that of both with one separator.
TEST(ReadingSession, Verified_StillMeterAgrees_MeterInUseFailsNamingTheRegister) {
    const sim::Registers still;
    const sim::Registers inuse = sim::afteruse(still, 100);
    for (const MachineType& type : machinetypes()) {
        for (const bool changing : {false, true}) {
            SCOPED_TRACE(std::string(type.text) + (changing ? " in use" : " still"));
            testing::VirtualStation st;
            if (type.code == 51) {
                st.vendor.record = still.record();
                if (changing) st.vendor.later = {inuse.record()};
            } else {
                sim::Faults faults;
                faults.inuse = changing ? 100 : 0;
                st.play(type.code, faults, still);
            }
            ReadingSession session;
            ASSERT_FALSE(session.choose(st.driver, "1", type.code, type.text));
            int between = 0;
            const FinishedReading r = session.run(st.driver, "dev", true, [&] { ++between; });
            EXPECT_EQ(between, 1);
            EXPECT_EQ(r.report.verified, std::optional<bool>(!changing));
            EXPECT_EQ(r.report.status(), changing ? "failed" : "read");
            EXPECT_EQ(r.report.record, still.record());
            EXPECT_EQ(r.report.reasoncode, changing ? "readings_differ" : "");
            if (changing) {
                EXPECT_EQ(r.outcome.reason.text(Language::zh),
                          "两次读取的已用邮资不一致：000001234500 / 000001234600");
            }
            if (type.code != 51) {
                EXPECT_EQ(count(r.report.sent, passseparator), 1u);
                EXPECT_EQ(count(r.report.received, passseparator), 1u);
                // The second reading asked for the same as the first.
                const std::size_t cut = r.report.sent.find(passseparator);
                EXPECT_EQ(r.report.sent.substr(0, cut),
                          r.report.sent.substr(cut + passseparator.size()));
            }
        }
    }
}

// A second reading runs only after a first that read register values; cancelling during either
// reading cancels the whole.
TEST(ReadingSession, Verified_SecondOnlyAfterAGoodFirst_CancelDuringEitherCancelsTheWhole) {
    enum class Case { silent, cancelfirst, cancelsecond };
    for (const Case c : {Case::silent, Case::cancelfirst, Case::cancelsecond}) {
        SCOPED_TRACE(static_cast<int>(c));
        testing::VirtualStation st;
        sim::Faults faults;
        faults.silent = c == Case::silent;
        st.play(21, faults);
        ReadingSession session;
        ASSERT_FALSE(session.choose(st.driver, "1", 21, "pitneybows 950"));
        if (c == Case::cancelfirst) st.pacer.cancelat(250);
        int between = 0;
        const FinishedReading r = session.run(st.driver, "dev", true, [&] {
            ++between;
            st.pacer.cancelat(st.pacer.nowms() + 250);
        });
        EXPECT_EQ(between, c == Case::cancelsecond ? 1 : 0);
        EXPECT_EQ(r.outcome.cancelled(), c != Case::silent);
        EXPECT_EQ(r.report.reasoncode, c == Case::silent ? "no_reply" : "cancelled");
        EXPECT_EQ(r.report.verified, std::optional<bool>(false));
        EXPECT_FALSE(st.device.isopen());
    }
}

ReadingPass pass(std::string record, Outcome outcome = {}) {
    return {std::move(record), std::move(outcome), " 1 2,", " 3 4,"};
}

// How the passes of a reading make its end: no second after a first that read nothing usable
// or was not asked for; the second decides, and names what differs.
TEST(ReadingSession, Verified_EndsAsItsPassesSay) {
    const std::string good = sim::Registers().record();
    const std::string zero(56, '0');
    const Reason noreply(ReasonCode::no_reply, "used postage", 60);
    const struct {
        const char* what;
        ReadingPasses passes;
        std::optional<bool> verified;
        const char* status;
        const char* reasoncode;
        const char* sent;
    } cases[] = {
        {"not asked", {false, pass(good), std::nullopt}, std::nullopt, "read", "", " 1 2,"},
        {"first failed", {true, pass(zero, {Outcome::End::failure, noreply}), std::nullopt},
         false, "failed", "no_reply", " 1 2,"},
        {"first read nothing",
         {true, pass(zero, {Outcome::End::normal, Reason(ReasonCode::registers_all_zero)}),
          std::nullopt},
         false, "nodata", "registers_all_zero", " 1 2,"},
        {"both agree", {true, pass(good), pass(good)}, true, "read", "", " 1 2, || 1 2,"},
        {"second failed", {true, pass(good), pass(zero, {Outcome::End::failure, noreply})},
         false, "failed", "no_reply", " 1 2, || 1 2,"},
        {"second cancelled",
         {true, pass(good), pass(zero, {Outcome::End::cancelled, Reason(ReasonCode::cancelled)})},
         false, "failed", "cancelled", " 1 2, || 1 2,"},
        {"second read nothing",
         {true, pass(good),
          pass(zero, {Outcome::End::normal, Reason(ReasonCode::registers_all_zero)})},
         false, "failed", "readings_differ", " 1 2, || 1 2,"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const FinishedReading r = ReadingSession().finish(c.passes);
        EXPECT_EQ(r.report.verified, c.verified);
        EXPECT_EQ(r.report.status(), c.status);
        EXPECT_EQ(r.report.reasoncode, c.reasoncode);
        EXPECT_EQ(r.report.sent, c.sent);
        EXPECT_EQ(r.report.record, c.passes.first.record);
        EXPECT_EQ(r.outcome.cancelled(), std::string(c.what) == "second cancelled");
    }
    // The technician learns that it was the second reading that failed.
    const FinishedReading second = ReadingSession().finish(cases[4].passes);
    EXPECT_EQ(second.outcome.reason.text(Language::zh), "第二次读取：" + noreply.text(Language::zh));
}

// The first register that differs, with both values; records of other lengths as a whole.
TEST(ReadingSession, RecordDifference_NamesTheFirstRegisterThatDiffers) {
    const std::string a = sim::Registers().record();
    const auto with = [&a](std::size_t at, char c) {
        std::string b = a;
        b[at] = c;
        return b;
    };
    const struct {
        std::string b;
        std::string english; // empty: none
    } cases[] = {
        {a, ""},
        {with(11, '9'), "the two readings' total postage differ: 000002111050 / 000002111059"},
        {with(12, '1'), "the two readings' used postage differ: 000001234500 / 100001234500"},
        {with(24, '1'), "the two readings' unused postage differ: 000000876550 / 100000876550"},
        {with(45, '2'), "the two readings' total pieces differ: 0000004321 / 0000004322"},
        {with(55, '7'), "the two readings' meter head differ: 0000123456 / 0000123457"},
        {with(13, '1').substr(0, 40),
         "the two readings' registers differ: " + a + " / " + with(13, '1').substr(0, 40)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.english);
        EXPECT_EQ(recorddifference(a, c.b).english(), c.english);
    }
}

} // namespace
} // namespace meter
