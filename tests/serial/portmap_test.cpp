#include "serial/portmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace meter {
namespace {

TEST(PortMap, DefaultsFollowThePlatformAndPortsBelowOneHaveNoDevice) {
    PortMap map;
    EXPECT_EQ(map.devicefor(1), "/dev/ttyS0");
    EXPECT_EQ(map.devicefor(8), "/dev/ttyS7");
    EXPECT_EQ(map.devicefor(0), "");
    EXPECT_EQ(map.devicefor(-3), "");
}

TEST(PortMap, OverridesPutADeviceBehindAPortNumber) {
    PortMap map;
    map.adddevice("2=/dev/ttyUSB0");
    map.addoverrides("5=/dev/pts/7;;8=/tmp/x=y");
    EXPECT_EQ(map.devicefor(2), "/dev/ttyUSB0");
    EXPECT_EQ(map.devicefor(5), "/dev/pts/7");
    EXPECT_EQ(map.devicefor(8), "/tmp/x=y");
    EXPECT_EQ(map.devicefor(3), "/dev/ttyS2");
    EXPECT_EQ(map.overridestext(), "2=/dev/ttyUSB0;5=/dev/pts/7;8=/tmp/x=y");

    PortMap back;
    back.addoverrides(map.overridestext());
    EXPECT_EQ(back.overridestext(), map.overridestext());
}

TEST(PortMap, MalformedEntriesAreRefusedWithAMessage) {
    for (const char* bad :
         {"", "/dev/ttyUSB0", "=/dev/x", "x=/dev/x", "9=/dev/x", "0=/dev/x", "1=", "1 =/dev/x"}) {
        PortMap map;
        EXPECT_THROW(map.adddevice(bad), std::invalid_argument) << bad;
    }
}

TEST(PortMap, TheEnvironmentVariableIsRead) {
    setenv(portsvariable, "1=/dev/pts/3;4=/dev/ttyACM0", 1);
    const PortMap map = PortMap::fromenvironment();
    EXPECT_EQ(map.devicefor(1), "/dev/pts/3");
    EXPECT_EQ(map.devicefor(4), "/dev/ttyACM0");
    setenv(portsvariable, "12=/dev/x", 1);
    EXPECT_THROW(PortMap::fromenvironment(), std::invalid_argument);
    unsetenv(portsvariable);
}

} // namespace
} // namespace meter
