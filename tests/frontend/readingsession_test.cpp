// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingsession.h"

#include "serial/scripteddevice.h"
#include "support/fakevendor.h"

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
