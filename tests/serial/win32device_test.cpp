// SPDX-License-Identifier: GPL-3.0-or-later
// The Win32 device against real lines: run under serialpeer, which puts pseudo-terminals behind
// COM1 and COM12 and answers on them ("?" gives the line's settings, anything else comes back).
#include "core/cancellation.h"
#include "core/metererror.h"
#include "serial/link.h"
#include "serial/nativedevice.h"
#include "serial/portlist.h"
#include "support/deviceopen.h"
#include "support/machinerow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace meter {
namespace {

using testing::echoof;
using testing::lineof;
using testing::openfailure;

struct Win32Device : ::testing::Test {
    void SetUp() override {
        if (!std::getenv("METERREADER_SERIALPEER"))
            GTEST_SKIP() << "needs serialpeer behind COM1 and COM12";
    }
};

Bytes readatleast(SerialDevice& device, std::size_t count) {
    Bytes got;
    for (int i = 0; i < 400 && got.size() < count; ++i) {
        const Bytes more = device.readall();
        got.insert(got.end(), more.begin(), more.end());
        if (got.size() < count) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return got;
}

std::string lineof(SerialDevice& device) {
    device.write(Bytes{'?'});
    const Bytes reply = readatleast(device, 11);
    std::string text(reply.begin(), reply.end());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

TEST_F(Win32Device, EachMachineType_SettingsReachTheLine) {
    struct Case {
        std::int16_t code;
        const char* line;
    } cases[] = {
        {12, "4800,n,8,1"}, {13, "4800,n,8,1"}, {21, "9600,n,8,2"},
        {11, "9600,n,8,1"}, {22, "9600,n,8,1"}, {31, "9600,n,8,1"},
    };
    auto device = makeserialdevice(PortMap{});
    SerialLink link(*device);
    for (const auto& c : cases) {
        ASSERT_TRUE(link.openport(lineof(c.code), 1)) << link.openfailure().english();
        EXPECT_EQ(lineof(*device), c.line) << c.code;
    }
    link.closeport();
    EXPECT_FALSE(device->isopen());
}

TEST_F(Win32Device, EveryByteValue_CrossesBothWaysUnchanged) {
    auto device = makeserialdevice(PortMap{});
    device->open(1);
    Bytes all; // every byte value but the peer's "?" and "!", flow control and line ends included
    for (int b = 0; b < 256; ++b)
        if (b != '?' && b != '!') all.push_back(static_cast<std::uint8_t>(b));
    device->write(all);
    EXPECT_EQ(readatleast(*device, all.size()), all);
    EXPECT_EQ(device->byteswaiting(), 0u);
}

TEST_F(Win32Device, ComAboveNineOrDeviceNamespace_Opens) {
    PortMap map;
    map.adddevice("2=COM12");
    map.adddevice("3=\\\\.\\COM12");
    auto device = makeserialdevice(map);
    for (int port : {2, 3}) {
        device->setsettings({4800, 'n', 8, 1});
        ASSERT_EQ(openfailure(*device, port), "opened") << port;
        EXPECT_EQ(lineof(*device), "4800,n,8,1") << port;
        device->close();
    }
}

TEST_F(Win32Device, UnopenablePort_RefusedWithItsReason) {
    PortMap map;
    map.adddevice("5=COM57");
    map.adddevice("6=\\\\.\\COM99");
    map.adddevice("7=\\\\.\\com1");
    map.adddevice("8=\\\\.\\pipe\\meterreader-none");
    auto device = makeserialdevice(map);
    // COM1 held by another reader of ours, under either of its names.
    auto holder = makeserialdevice(map);
    holder->open(1);
    struct Case {
        int port;
        const char* reason;
    } cases[] = {
        {0, "port 0 has no device (ports are numbered from 1)"},
        {5, "port 5 (COM57) does not exist"},
        {6, "port 6 (\\\\.\\COM99) does not exist"},
        {1, "port 1 (COM1) is in use by another program"},
        {7, "port 7 (\\\\.\\com1) is in use by another program"},
        {8, "port 8 (\\\\.\\pipe\\meterreader-none) does not exist"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(openfailure(*device, c.port), c.reason);
        EXPECT_FALSE(device->isopen());
    }
    holder->close();
    EXPECT_EQ(openfailure(*device, 1), "opened");
}

TEST_F(Win32Device, BytesArrivedWhileClosed_NotReadAfterOpen) {
    auto device = makeserialdevice(PortMap{});
    device->open(1);
    device->write(Bytes{'?', 1, 2, 3}); // answered after the port is closed
    device->close();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    device->open(1);
    EXPECT_TRUE(device->readall().empty());
    device->write(Bytes{7});
    EXPECT_EQ(readatleast(*device, 1), Bytes{7});
}

// The ports the window offers are the ones the system lists: COM1 and COM12 among them (Wine
// adds a port of its own for each of this machine's serial devices), in number order; a port
// that is not there is reported missing however it is written.
TEST_F(Win32Device, PresentPorts_ListedInNumberOrderOthersMissing) {
    std::vector<int> numbers;
    for (const PresentPort& p : presentports()) {
        ASSERT_EQ(p.path.rfind("COM", 0), 0u) << p.path;
        numbers.push_back(std::stoi(p.path.substr(3)));
    }
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    for (const int here : {1, 12})
        EXPECT_NE(std::find(numbers.begin(), numbers.end(), here), numbers.end()) << here;
    for (const char* here : {"COM1", "com12", "\\\\.\\COM12"})
        EXPECT_FALSE(portmissing(here)) << here;
    for (const char* gone : {"COM57", "\\\\.\\COM99"})
        EXPECT_TRUE(portmissing(gone)) << gone;
    EXPECT_FALSE(portmissing("\\\\.\\pipe\\x"));
}

// A line that takes no bytes (the peer stops reading COM12): a cancelled reading's write ends
// at once, and without a cancellation the write gives up at its bound.
TEST_F(Win32Device, StuckWrite_EndsOnCancelOrAtItsBound) {
    using namespace std::chrono;
    PortMap map;
    map.adddevice("2=COM12");
    auto device = makeserialdevice(map);
    Cancellation cancellation;
    device->setcancellation(&cancellation);
    device->open(2);
    device->write(Bytes{'!'});
    std::this_thread::sleep_for(milliseconds(100));
    const Bytes flood(1 << 20, 0x55); // far more than the line buffers hold
    cancellation.cancel();
    auto start = steady_clock::now();
    EXPECT_THROW(device->write(flood), ReadingCancelled);
    EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
    device->setcancellation(nullptr);
    start = steady_clock::now();
    EXPECT_THROW(device->write(flood), MeterError);
    EXPECT_LT(steady_clock::now() - start, milliseconds(writetimeoutms + 1000));
    device->close();
}

} // namespace
} // namespace meter
