// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace meter {
namespace {

TEST(PortMap, NoOverride_PlatformDefaultNoDeviceBelowOne) {
    PortMap map;
#ifdef _WIN32
    EXPECT_EQ(map.devicefor(1), "COM1");
    EXPECT_EQ(map.devicefor(8), "COM8");
#else
    EXPECT_EQ(map.devicefor(1), "/dev/ttyS0");
    EXPECT_EQ(map.devicefor(8), "/dev/ttyS7");
#endif
    EXPECT_EQ(map.devicefor(0), "");
    EXPECT_EQ(map.devicefor(-3), "");
}

TEST(PortMap, Overrides_PutDeviceBehindPortAndRoundTrip) {
    PortMap map;
    map.adddevice("2=/dev/ttyUSB0");
    map.addoverrides("5=/dev/pts/7;;8=/tmp/x=y;3=\\\\.\\COM10");
    EXPECT_EQ(map.devicefor(2), "/dev/ttyUSB0");
    EXPECT_EQ(map.devicefor(5), "/dev/pts/7");
    EXPECT_EQ(map.devicefor(8), "/tmp/x=y");
    EXPECT_EQ(map.devicefor(3), "\\\\.\\COM10");
    EXPECT_EQ(map.devicefor(4), PortMap::defaultdevice(4));
    EXPECT_EQ(map.overridestext(), "2=/dev/ttyUSB0;3=\\\\.\\COM10;5=/dev/pts/7;8=/tmp/x=y");

    PortMap back;
    back.addoverrides(map.overridestext());
    EXPECT_EQ(back.overridestext(), map.overridestext());
}

TEST(PortMap, MalformedEntry_RefusedAsInvalidArgument) {
    for (const char* bad :
         {"", "/dev/ttyUSB0", "=/dev/x", "x=/dev/x", "9=/dev/x", "0=/dev/x", "1=", "1 =/dev/x"}) {
        PortMap map;
        EXPECT_THROW(map.adddevice(bad), std::invalid_argument) << bad;
    }
}

void setvariable(const char* value) {
#ifdef _WIN32
    _putenv_s(portsvariable, value ? value : "");
#else
    value ? setenv(portsvariable, value, 1) : unsetenv(portsvariable);
#endif
}

TEST(PortMap, EnvironmentVariable_ReadOrRefusedIfMalformed) {
    setvariable("1=/dev/pts/3;4=/dev/ttyACM0");
    const PortMap map = PortMap::fromenvironment();
    EXPECT_EQ(map.devicefor(1), "/dev/pts/3");
    EXPECT_EQ(map.devicefor(4), "/dev/ttyACM0");
    setvariable("12=/dev/x");
    EXPECT_THROW(PortMap::fromenvironment(), std::invalid_argument);
    setvariable(nullptr);
}

// COM numbers above 9 open only with the device namespace prefix; lower ones accept it.
TEST(PortMap, ComPortName_PrefixedWithDeviceNamespaceOthersKept) {
    struct Case {
        const char* path;
        const char* opened;
    } cases[] = {
        {"COM1", "\\\\.\\COM1"},
        {"COM10", "\\\\.\\COM10"},
        {"com255", "\\\\.\\com255"},
        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"COM", "COM"},
        {"COM1:", "COM1:"},
        {"COMX", "COMX"},
        {"/dev/ttyS0", "/dev/ttyS0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(win32devicename(c.path), c.opened) << c.path;
}

} // namespace
} // namespace meter
