// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in vendor library, loaded from its built file, against a meter played by the test
// on a pseudo-terminal.
#include "acquire/driver.h"
#include "serial/portmap.h"
#include "serial/scripteddevice.h"
#include "support/pty.h"
#include "vendor/exchange.h"
#include "vendorhost/dynamiclibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace meter {
namespace {

using testing::Pty;
using testing::PtyResponder;

const std::string record = "00000123456700000098760000000123456000000302000012345678";

// Answers each request it sees with `reply(n)` for the n-th request (1-based).
PtyResponder::Answer meter(std::function<Bytes(int)> reply) {
    auto seen = std::make_shared<int>(0);
    return [seen, reply](const Bytes& sofar) {
        const Bytes req = copote::request();
        int requests = 0;
        for (auto it = sofar.begin();
             (it = std::search(it, sofar.end(), req.begin(), req.end())) != sofar.end(); ++it)
            ++requests;
        if (requests == *seen) return Bytes{};
        *seen = requests;
        return reply(requests);
    };
}

struct CpedfmLibrary : ::testing::Test {
    Pty pty;
    DynamicVendorLibrary lib{CPEDFM_PATH};
    void SetUp() override { setenv(portsvariable, ("4=" + pty.path()).c_str(), 1); }
    void TearDown() override { unsetenv(portsvariable); }
};

TEST_F(CpedfmLibrary, ReplyAmidLineNoise_RecordRead) {
    PtyResponder responder(pty, meter([](int) {
                               Bytes out{0x00, 0x02, 0x7F}; // line noise, a stray STX among it
                               const Bytes r = copote::reply(record);
                               out.insert(out.end(), r.begin(), r.end());
                               return out;
                           }));
    ASSERT_NE(lib.ComOpen(4), 0) << lib.lasterror();
    EXPECT_EQ(lib.ReadRegister(4), record);
    EXPECT_NE(lib.ComClose(4), 0);
    EXPECT_EQ(responder.received(), copote::request());
}

TEST_F(CpedfmLibrary, CorruptReply_AskedForAgain) {
    PtyResponder responder(pty, meter([](int n) {
                               Bytes r = copote::reply(record);
                               if (n == 1) r[20] = '#';
                               return r;
                           }));
    ASSERT_NE(lib.ComOpen(4), 0);
    EXPECT_EQ(lib.ReadRegister(4), record);
    EXPECT_NE(lib.ComClose(4), 0);
}

TEST_F(CpedfmLibrary, SilentMeter_ReadingVoided) {
    ASSERT_NE(lib.ComOpen(4), 0);
    EXPECT_EQ(lib.ReadRegister(4), "");
    EXPECT_EQ(lib.ComClose(4), 0);
    EXPECT_NE(lib.lasterror().find("did not answer"), std::string::npos) << lib.lasterror();
}

TEST_F(CpedfmLibrary, PortWithoutDevice_NotOpened) {
    EXPECT_EQ(lib.ComOpen(5), 0) << "port 5 is /dev/ttyS4, absent here";
    EXPECT_FALSE(lib.lasterror().empty());
    EXPECT_EQ(lib.ComOpen(0), 0);
}

TEST_F(CpedfmLibrary, DriverOnCopote_ReadsThroughTheLibrary) {
    PtyResponder responder(pty, meter([](int) { return copote::reply(record); }));
    VirtualPacer pacer;
    ScriptedDevice unused{[] { return 0; }};
    Driver d({unused, pacer, lib}, {});
    ASSERT_EQ(d.initport(4, 51), 1);
    EXPECT_EQ(d.Getregisters(), record);
    EXPECT_TRUE(d.outcome().normal());
    EXPECT_EQ(d.outcome().reason.english(), "");
}

} // namespace
} // namespace meter
