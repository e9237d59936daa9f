#include "core/machinetypes.h"
#include "frontend/recordview.h"
#include "frontend/readingsetup.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

TEST(RecordView, RecordOfAnyLength_FieldsCutByPosition) {
    const std::string r56 = "000001234567000000987600000001234560000003020000"
                            "12345678";
    std::string r60;
    for (int i = 1; i <= 60; ++i)
        r60 += static_cast<char>('A' + (i - 1) % 26);
    struct Case {
        std::string record;
        RecordFields fields;
    } cases[] = {
        {r56, {"000001234567", "000000987600", "000001234560", "0000030200", "0012345678"}},
        {r60,
         {r60.substr(0, 12), r60.substr(12, 12), r60.substr(24, 12), r60.substr(36, 10),
          r60.substr(50, 10)}},
        {std::string(30, '7'),
         {std::string(12, '7'), std::string(12, '7'), "777777", "", std::string(10, '7')}},
        {"12345", {"12345", "", "", "", "12345"}},
        {"", {"", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        const RecordFields f = cutrecord(c.record);
        EXPECT_EQ(f.total, c.fields.total) << c.record;
        EXPECT_EQ(f.used, c.fields.used) << c.record;
        EXPECT_EQ(f.unused, c.fields.unused) << c.record;
        EXPECT_EQ(f.pieces, c.fields.pieces) << c.record;
        EXPECT_EQ(f.head, c.fields.head) << c.record;
    }
}

TEST(MachineTypes, ListTextsMapToCodesExactly) {
    const std::pair<const char*, std::int16_t> expected[] = {
        {"pitneybows 950", 21}, {"pitneybows spark", 22}, {"高速机", 31},      {"neopost", 11},
        {"copote", 51},         {"5400(4表头)", 12},      {"5400(5表头)", 13},
    };
    ASSERT_EQ(machinetypes().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_STREQ(machinetypes()[i].text, expected[i].first);
        EXPECT_EQ(codefor(expected[i].first), expected[i].second);
        EXPECT_EQ(textfor(expected[i].second), expected[i].first);
    }
    for (const char* other : {"Neopost", "neopost ", "", "5400", "COPOTE"})
        EXPECT_EQ(codefor(other), 0) << other;
}

TEST(Station, RefusalsAndProgressTexts) {
    const struct {
        std::int16_t port, code;
        const char* typetext;
        std::string refusal;
    } cases[] = {
        {1, 21, "pitneybows 950", ""},
        {-3, 11, "neopost", ""}, // no device stands behind it: the reading says so
        {9, 21, "pitneybows 950", "port 9 is above 8"},
        {32767, 21, "21", "port 32767 is above 8"},
        {8, 0, "Neopost", "machine type \"Neopost\" is not in the list"},
        {8, 14, "14", "machine type \"14\" is not in the list"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refusal(c.port, c.code, c.typetext), c.refusal) << c.port << " " << c.typetext;
    EXPECT_EQ(progresstext("高速机", "", 1999), "正在读取 高速机（1 秒）");
    EXPECT_EQ(progresstext("neopost", "总邮资", 12000), "正在读取 neopost：等待 总邮资（12 秒）");
    EXPECT_EQ(progresstext("neopost", "总邮资", 12000, Language::en),
              "reading neopost: waiting for total postage (12 s)");

    PortMap ports;
    EXPECT_EQ(applydevices(ports, {"2=/dev/ttyUSB0", "3=/tmp/x"}), "");
    EXPECT_EQ(ports.devicefor(2), "/dev/ttyUSB0");
    EXPECT_EQ(applydevices(ports, {"9=/dev/ttyS0"}).rfind("--device: ", 0), 0u);
}

} // namespace
} // namespace meter
