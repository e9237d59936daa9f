// The QSerialPort adapter against real pseudo-terminals made by the test.
#include "acquire/driver.h"
#include "core/metererror.h"
#include "serial/link.h"
#include "serial/qt/qtserialdevice.h"
#include "support/pty.h"

#include <gtest/gtest.h>

#include <termios.h>
#include <thread>

namespace meter {
namespace {

using testing::Pty;

PortMap mapto(const Pty& pty, int port = 1) {
    PortMap map;
    map.set(port, pty.path());
    return map;
}

Bytes readsome(SerialDevice& device) {
    for (int i = 0; i < 200; ++i) {
        Bytes got = device.readall();
        if (!got.empty()) return got;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {};
}

TEST(QtSerialDevice, OpenportSetsTheLineOfEachMachineTypeOnTheDevice) {
    struct Case {
        std::int16_t code;
        speed_t speed;
        bool twostop;
    } cases[] = {
        {12, B4800, false}, {13, B4800, false}, {21, B9600, true},
        {11, B9600, false}, {22, B9600, false}, {31, B9600, false},
    };
    Pty pty;
    QtSerialDevice device(mapto(pty));
    SerialLink link(device);
    for (const auto& c : cases) {
        ASSERT_TRUE(link.openport(c.code, 1)) << link.openfailure();
        termios t{};
        ASSERT_EQ(tcgetattr(pty.slave(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed) << c.code;
        EXPECT_EQ(cfgetispeed(&t), c.speed) << c.code;
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << c.code;
        EXPECT_FALSE(t.c_cflag & PARENB) << c.code;
        EXPECT_EQ(static_cast<bool>(t.c_cflag & CSTOPB), c.twostop) << c.code;
        EXPECT_FALSE(t.c_lflag & (ICANON | ECHO)) << "raw binary: " << c.code;
    }
    // Opening again while open closes and reopens.
    EXPECT_TRUE(link.openport(21, 1));
    EXPECT_TRUE(device.isopen());
    link.closeport();
    EXPECT_FALSE(device.isopen());
}

TEST(QtSerialDevice, PortsThatCannotBeOpenedGiveFalseAndAReason) {
    PortMap map;
    map.set(2, "/dev/meterreader-no-such-device");
    QtSerialDevice device(map);
    SerialLink link(device);
    EXPECT_FALSE(link.openport(12, 2));
    EXPECT_NE(link.openfailure().find("does not exist"), std::string::npos) << link.openfailure();
    EXPECT_FALSE(link.openport(12, 0));
    EXPECT_NE(link.openfailure().find("no device"), std::string::npos) << link.openfailure();
    EXPECT_FALSE(device.isopen());
}

TEST(QtSerialDevice, ADeviceAlreadyInUseIsRefused) {
    Pty pty;
    QtSerialDevice first(mapto(pty)), second(mapto(pty));
    first.open(1);
    try {
        second.open(1);
        FAIL() << "second open succeeded";
    } catch (const MeterError& e) {
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
}

TEST(QtSerialDevice, BytesCrossTheLineBothWays) {
    Pty pty;
    QtSerialDevice device(mapto(pty));
    device.open(1);
    EXPECT_TRUE(device.readall().empty());
    const Bytes request{0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x0C, 0xB2, 0x18, 0x00, 0x00};
    device.write(request);
    EXPECT_EQ(pty.read(request.size()), request);
    const Bytes reply{0x63, 0x63, 0xFE, 0x00, 0x02, 0x10, 0x81};
    pty.write(reply);
    EXPECT_EQ(readsome(device), reply);
}

TEST(QtSerialDevice, AnUnpluggedLineIsReportedAsLost) {
    Pty pty;
    QtSerialDevice device(mapto(pty));
    device.open(1);
    pty.closemaster();
    EXPECT_THROW(device.readall(), MeterError);
    EXPECT_THROW(device.write(Bytes{1}), MeterError);
}

TEST(QtSerialDevice, AReadingWhoseLineVanishesEndsAtTheFailureEnd) {
    Pty pty;
    QtSerialDevice device(mapto(pty));
    RealPacer pacer;
    struct NoLibrary : VendorLibrary {
        std::int32_t ComOpen(std::int32_t) override { return 0; }
        std::string ReadRegister(std::int32_t) override { return {}; }
        std::int32_t ComClose(std::int32_t) override { return 0; }
    } nolibrary;
    FamilyTable table{{12, [&](Driver& d, std::int16_t code) {
                           if (!d.openport(code)) return false;
                           d.state().regrecord = "123";
                           for (int poll = 0; poll < 50; ++poll) {
                               d.pacer().sleep(10);
                               d.link().echoreceived(d.link().input());
                               if (poll == 3) pty.closemaster();
                           }
                           return true;
                       }}};
    Driver driver({device, pacer, nolibrary}, table);
    ASSERT_EQ(driver.initport(1, 12), 1);
    EXPECT_EQ(driver.Getregisters(), "123");
    EXPECT_FALSE(driver.outcome().normal());
    EXPECT_NE(driver.outcome().reason.find("lost"), std::string::npos) << driver.outcome().reason;
    EXPECT_FALSE(device.isopen());
}

} // namespace
} // namespace meter
