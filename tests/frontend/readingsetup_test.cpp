// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingsetup.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

TEST(ReadingSetup, PortTypeAndDeviceTexts_RefusedOrShownAsTheFrontEndsSayIt) {
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
