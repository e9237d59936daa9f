// SPDX-License-Identifier: GPL-3.0-or-later
// The device of this operating system against real pseudo-terminals made by the test.
#include "acquire/driver.h"
#include "core/cancellation.h"
#include "core/metererror.h"
#include "serial/link.h"
#include "serial/nativedevice.h"
#include "support/deviceopen.h"
#include "support/machinerow.h"
#include "support/pty.h"

#include "support/testfamily.h"

#include <gtest/gtest.h>

#include <fstream>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace meter {
namespace {

using testing::echoof;
using testing::lineof;
using testing::openfailure;

using testing::Pty;

std::unique_ptr<SerialDevice> deviceon(const Pty& pty, int port = 1) {
    PortMap map;
    map.set(port, pty.path());
    return makeserialdevice(map);
}

Bytes readsome(SerialDevice& device) {
    for (int i = 0; i < 200; ++i) {
        Bytes got = device.readall();
        if (!got.empty()) return got;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {};
}

TEST(NativeDevice, Openport_SetsEachTypesRawLineOnTheDevice) {
    struct Case {
        std::int16_t code;
        speed_t speed;
        bool twostop;
    } cases[] = {
        {12, B4800, false}, {13, B4800, false}, {21, B9600, true},
        {11, B9600, false}, {22, B9600, false}, {31, B9600, false},
    };
    Pty pty;
    auto device = deviceon(pty);
    SerialLink link(*device);
    for (const auto& c : cases) {
        ASSERT_TRUE(link.openport(lineof(c.code), 1)) << link.openfailure().english();
        termios t{};
        ASSERT_EQ(tcgetattr(pty.slave(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed) << c.code;
        EXPECT_EQ(cfgetispeed(&t), c.speed) << c.code;
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << c.code;
        EXPECT_FALSE(t.c_cflag & PARENB) << c.code;
        EXPECT_EQ(static_cast<bool>(t.c_cflag & CSTOPB), c.twostop) << c.code;
        EXPECT_FALSE(t.c_cflag & CRTSCTS) << "no handshaking: " << c.code;
        EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP)) << "raw binary: " << c.code;
        EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG)) << "raw binary: " << c.code;
        EXPECT_FALSE(t.c_oflag & OPOST) << "raw binary: " << c.code;
    }
    // Opening again while open closes and reopens.
    EXPECT_TRUE(link.openport(lineof(21), 1));
    EXPECT_TRUE(device->isopen());
    link.closeport();
    EXPECT_FALSE(device->isopen());
}

// Why `device` did not open `port`, in the technician's words.
Reason whynotopened(SerialDevice& device, int port) {
    try {
        device.open(port);
    } catch (const MeterError& e) {
        return e.reason();
    }
    return {};
}

std::string bothlanguages(const Reason& why) {
    return why.text(Language::en) + "\n" + why.text(Language::zh);
}

TEST(NativeDevice, UnopenablePort_RefusedInOurOwnWordsInBothLanguages) {
    Pty pty, held;
    const std::string folder = ::testing::TempDir();
    const std::string file = folder + "/meterreader-not-a-tty";
    { std::ofstream(file) << "x"; }
    PortMap map;
    map.set(1, pty.path());
    map.set(2, "/dev/meterreader-no-such-device");
    map.set(3, "/dev/null");
    map.set(4, held.path());
    map.set(5, "/meterreader-no-such-folder/ttyS0");
    map.set(6, folder);
    map.set(7, file);
    map.set(8, file + "/ttyS0");
    auto holder = deviceon(held, 4);
    holder->open(4);
    auto device = makeserialdevice(map);
    // Not a permission problem for root; for anyone else the device is simply made unreadable.
    struct Case {
        int port;
        const char* english;
        const char* chinese;
    } cases[] = {
        {0, "port 0 has no device", "端口 0 没有设备"},
        {2, "port 2 (/dev/meterreader-no-such-device) does not exist", "不存在"},
        {3, "is not a serial device", "不是串口设备"},
        {4, "is in use by another program", "正被另一个程序占用"},
        {5, "does not exist", "不存在"},
        {6, "is a folder, not a serial device", "是文件夹，不是串口设备"},
        {7, "is not a serial device", "不是串口设备"},
        {8, "does not exist", "不存在"},
    };
    for (const auto& c : cases) {
        const Reason why = whynotopened(*device, c.port);
        EXPECT_NE(why.text(Language::en).find(c.english), std::string::npos)
            << why.text(Language::en);
        EXPECT_NE(why.text(Language::zh).find(c.chinese), std::string::npos)
            << why.text(Language::zh);
        // Our words, not the system's message in whatever language it has.
        EXPECT_NE(why.code(), ReasonCode::device_not_opened) << why.text(Language::en);
        EXPECT_FALSE(device->isopen()) << c.port;
    }
    // The device held elsewhere opens as soon as it is given up.
    holder->close();
    EXPECT_EQ(openfailure(*device, 4), "opened");
}

TEST(NativeDevice, PermissionDenied_ReasonNamesTheDialoutGroup) {
    Pty pty;
    auto device = deviceon(pty);
    std::string reason;
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(pty.path().c_str(), 0), 0);
        reason = bothlanguages(whynotopened(*device, 1));
    } else {
        // Root opens anything: try as an unprivileged user in a child process.
        const passwd* nobody = getpwnam("nobody");
        if (!nobody) GTEST_SKIP() << "no unprivileged user to try as";
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(out[0]);
            if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(1);
            const std::string r = bothlanguages(whynotopened(*device, 1));
            if (::write(out[1], r.data(), r.size()) < 0) _exit(1);
            _exit(0);
        }
        ::close(out[1]);
        char buf[512];
        ssize_t n = 0;
        while ((n = ::read(out[0], buf, sizeof buf)) > 0)
            reason.append(buf, static_cast<std::size_t>(n));
        ::close(out[0]);
        waitpid(child, nullptr, 0);
    }
    EXPECT_NE(reason.find("permission denied"), std::string::npos) << reason;
    EXPECT_NE(reason.find("dialout"), std::string::npos) << reason;
    EXPECT_NE(reason.find("没有权限"), std::string::npos) << reason;
}

TEST(NativeDevice, EveryByteValue_CrossesBothWaysUnchanged) {
    Pty pty;
    auto device = deviceon(pty);
    device->open(1);
    EXPECT_TRUE(device->readall().empty());
    EXPECT_EQ(device->byteswaiting(), 0u);
    Bytes all; // every byte value, the flow-control and line-end ones included
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<std::uint8_t>(b));
    device->write(all);
    EXPECT_EQ(pty.read(all.size()), all);
    pty.write(all);
    for (int i = 0; i < 200 && device->byteswaiting() < all.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(device->byteswaiting(), all.size());
    EXPECT_EQ(device->readall(), all);
    EXPECT_EQ(device->byteswaiting(), 0u);
}

TEST(NativeDevice, BytesArrivedWhileClosed_NotReadAfterOpen) {
    Pty pty;
    auto device = deviceon(pty);
    device->open(1);
    device->close();
    pty.write(Bytes{0x63, 0x63, 0xFE}); // a late reply to the last reading
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    device->open(1);
    EXPECT_TRUE(device->readall().empty());
    pty.write(Bytes{0x02, 0x03});
    EXPECT_EQ(readsome(*device), (Bytes{0x02, 0x03}));
}

TEST(NativeDevice, UnpluggedLine_ReportedAsLost) {
    Pty pty;
    auto device = deviceon(pty);
    device->open(1);
    pty.closemaster();
    EXPECT_THROW(device->readall(), MeterError);
    EXPECT_THROW(device->byteswaiting(), MeterError);
    EXPECT_THROW(device->write(Bytes{1}), MeterError);
}

TEST(NativeDevice, StuckWrite_EndsOnCancelOrAtItsBound) {
    Pty pty;
    auto device = deviceon(pty);
    Cancellation cancellation;
    device->setcancellation(&cancellation);
    device->open(1);
    cancellation.cancel();
    // Nobody reads the far end: far more than the line buffers hold.
    const Bytes flood(1 << 20, 0x55);
    try {
        device->write(flood);
        FAIL() << "the write returned";
    } catch (const ReadingCancelled& e) {
        EXPECT_STREQ(e.what(), "the reading was cancelled");
    }
    // Without a cancellation the wait is bounded all the same.
    device->setcancellation(nullptr);
    EXPECT_THROW(device->write(flood), MeterError);
}

TEST(NativeDevice, LineVanishesMidReading_EndsAtTheFailureEnd) {
    Pty pty;
    auto device = deviceon(pty);
    RealPacer pacer;
    struct NoLibrary : VendorLibrary {
        std::int32_t ComOpen(std::int32_t) override { return 0; }
        std::string ReadRegister(std::int32_t) override { return {}; }
        std::int32_t ComClose(std::int32_t) override { return 0; }
    } nolibrary;
    testing::TestFamily lost;
    lost.steps = {Step::await()};
    lost.onbegin = [](std::string& record) { record = "123"; };
    lost.ontake = [&, polls = 0](ByteView bytes, std::string&) mutable {
        if (++polls == 4) pty.closemaster();
        return Taken{bytes.size(), {}};
    };
    MachineTypes types = machinetypes();
    for (MachineType& t : types)
        if (t.code == 12) t.pollms = 10;
    Driver driver({*device, pacer, nolibrary}, {{12, testing::makerof(lost)}}, types);
    ASSERT_EQ(driver.initport(1, 12), 1);
    EXPECT_EQ(driver.Getregisters(), "123");
    EXPECT_FALSE(driver.outcome().normal());
    EXPECT_NE(driver.outcome().reason.english().find("lost"), std::string::npos)
        << driver.outcome().reason.english();
    EXPECT_FALSE(device->isopen());
}

} // namespace
} // namespace meter
