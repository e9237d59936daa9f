// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingsetup.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

TEST(ReadingSetup, ProgressAndDeviceTexts_AsTheFrontEndsSayThem) {
    EXPECT_EQ(progresstext("高速机", "", 1999), "正在读取 高速机（1 秒）");
    EXPECT_EQ(progresstext("neopost", "总邮资", 12000), "正在读取 neopost：等待总邮资（12 秒）");
    EXPECT_EQ(progresstext("neopost", "总邮资", 12000, Language::en),
              "Reading neopost: waiting for total postage (12 s)");
    // With a limit, the most the wait can take; the last poll's interval never shows above it.
    EXPECT_EQ(progresstext("5400(4表头)", "表头", 61000, Language::zh, 60000),
              "正在读取 5400(4表头)：等待表头（60 / 60 秒）");
    EXPECT_EQ(progresstext("copote", "", 3500, Language::en, 60000), "Reading copote (3 s)");
    EXPECT_EQ(progresstext("copote", "copote", 3500, Language::zh), "正在读取 copote：等待 copote（3 秒）");

    PortMap ports;
    EXPECT_TRUE(applydevices(ports, {"2=/dev/ttyUSB0", "3=/tmp/x"}).empty());
    EXPECT_EQ(ports.devicefor(2), "/dev/ttyUSB0");
    EXPECT_EQ(applydevices(ports, {"9=/dev/ttyS0"}).english().rfind("--device: ", 0), 0u);
}

TEST(ReadingSetup, TestVendorBound_OnlyLengthensUpToTenMinutes) {
    using std::chrono::milliseconds;
    const struct {
        const char* value;
        milliseconds bound;
    } cases[] = {
        {nullptr, milliseconds(30000)},        {"", milliseconds(30000)},
        {"120000", milliseconds(120000)},      {"600000", milliseconds(600000)},
        {"600001", milliseconds(30000)},       {"99999999999999999999", milliseconds(30000)},
        {"1000", milliseconds(30000)},         {"-120000", milliseconds(30000)},
        {"120000ms", milliseconds(30000)},     {" 120000", milliseconds(30000)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vendorcallbound(c.value), c.bound) << (c.value ? c.value : "(unset)");
    }
}

} // namespace
} // namespace meter
