// SPDX-License-Identifier: GPL-3.0-or-later
// The list of present ports over a made-up sysfs and /dev: which terminals count as hardware,
// what the USB device's own words become, and the order the operator sees.
#include "serial/portlist.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace meter {
namespace {

namespace fs = std::filesystem;

struct Tree {
    fs::path root =
        fs::temp_directory_path() /
        ("portlist-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Tree() {
        fs::remove_all(root);
        fs::create_directories(root / "dev/serial/by-id");
        fs::create_directories(root / "sys/devices");
        fs::create_directories(root / "sys/bus/drivers");
    }
    ~Tree() { fs::remove_all(root); }

    static void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    }
    // A terminal whose sysfs node sits at sys/devices/<at>; `usb` names product, manufacturer
    // and serial of the USB device above it (empty: none); no `driver`: a virtual terminal.
    void terminal(const std::string& name, const std::string& at, const std::string& driver,
                  std::vector<std::string> usb = {}) {
        write(root / "dev" / name, "");
        const fs::path node = root / "sys/class/tty" / name;
        fs::create_directories(node);
        if (driver.empty()) return;
        const fs::path device = root / "sys/devices" / at / name;
        fs::create_directories(device);
        fs::create_directories(root / "sys/bus/drivers" / driver);
        fs::create_directory_symlink(root / "sys/bus/drivers" / driver, device / "driver");
        fs::create_directory_symlink(device, node / "device");
        const char* files[] = {"product", "manufacturer", "serial"};
        for (std::size_t i = 0; i < usb.size() && i < 3; ++i)
            write(root / "sys/devices" / at / files[i], usb[i]);
    }
    void byid(const std::string& link, const std::string& target) {
        fs::create_symlink("../../" + target, root / "dev/serial/by-id" / link);
    }
};

TEST(PortList, MadeUpMachine_HardwareOnlyStableNamesFirstNaturalOrder) {
    Tree t;
    t.terminal("ttyUSB10", "usb1/1-2", "ftdi_sio", {"FT232R USB UART", "FTDI", "A10K"});
    t.terminal("ttyUSB2", "usb1/1-1", "pl2303", {"USB-Serial Controller", "Prolific"});
    t.terminal("ttyACM0", "usb2/2-1", "cdc_acm", {"Meter", "Meter", "Meter"});
    t.terminal("ttyS0", "platform/serial8250", "serial8250"); // no UART answers in a file
    t.terminal("ttyAMA0", "platform/uart", "uart-pl011");
    t.terminal("tty1", "", "");      // a virtual console: no device behind it
    t.terminal("ttyGONE", "x", "x"); // listed in sysfs, but no /dev node
    fs::remove(t.root / "dev/ttyGONE");
    t.byid("usb-FTDI_FT232R-if00-port0", "ttyUSB10");

    const std::string dev = (t.root / "dev").string();
    const std::vector<PresentPort> want = {
        {dev + "/serial/by-id/usb-FTDI_FT232R-if00-port0",
         dev + "/ttyUSB10 — FT232R USB UART, FTDI, A10K"},
        {dev + "/ttyUSB2", "USB-Serial Controller, Prolific"},
        {dev + "/ttyUSB10", "FT232R USB UART, FTDI, A10K"},
        {dev + "/ttyACM0", "Meter"},
        {dev + "/ttyAMA0", ""},
    };
    const std::vector<PresentPort> got = presentports(t.root.string());
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].path, want[i].path) << i;
        EXPECT_EQ(got[i].description, want[i].description) << i;
    }
}

TEST(PortList, EmptyOrMissingTree_NoPortsNoThrow) {
    EXPECT_TRUE(presentports("/nonexistent-root-for-portlist").empty());
}

TEST(PortList, Missing_OnlyAbsentDeviceFiles) {
    EXPECT_TRUE(portmissing("/dev/ttyUSB-unplugged-here"));
    EXPECT_FALSE(portmissing("/dev/null"));
    EXPECT_FALSE(portmissing("memory:1")); // no device path: never missing
}

} // namespace
} // namespace meter
