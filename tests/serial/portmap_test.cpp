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

TEST(PortMap, MalformedEntry_RefusedWithItsReason) {
    const std::string form = "' is not of the form N=PATH (for example 1=/dev/ttyUSB0)";
    struct Case {
        const char* entry;
        std::string reason;
    } cases[] = {
        {"", "'" + form},
        {"/dev/ttyUSB0", "'/dev/ttyUSB0" + form},
        {"=/dev/x", "'=/dev/x" + form},
        {"x=/dev/x", "'x' in 'x=/dev/x' is not a port number"},
        {"1 =/dev/x", "'1 ' in '1 =/dev/x' is not a port number"},
        {"9=/dev/x", "port number 9 is outside 1 to 8"},
        {"0=/dev/x", "port number 0 is outside 1 to 8"},
        {"1=", "no device path given for port 1"},
    };
    for (const Case& c : cases) {
        PortMap map;
        try {
            map.adddevice(c.entry);
            ADD_FAILURE() << c.entry << " was taken";
        } catch (const PortMapError& e) {
            EXPECT_EQ(e.reason().english(), c.reason);
            EXPECT_EQ(e.what(), c.reason);
        }
        EXPECT_FALSE(map.overridden(1)) << c.entry;
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
    try {
        PortMap::fromenvironment();
        ADD_FAILURE() << "12=/dev/x was taken";
    } catch (const PortMapError& e) {
        EXPECT_EQ(e.reason().english(), "METERREADER_PORTS: port number 12 is outside 1 to 8");
    }
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
