// SPDX-License-Identifier: GPL-3.0-or-later
// Readings of the copote machine through the helper program cpedfm-host, with a vendor library
// that misbehaves in one way per port: every misbehaviour ends at the failure end with its
// reason, the next reading works again, and no helper program is left behind.
#include "acquire/driver.h"
#include "acquire/hostedvendorlibrary.h"
#include "core/cancellation.h"
#include "serial/scripteddevice.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace meter {
namespace {

using namespace std::chrono_literals;

const std::string record = "00000211105000000123450000000087655000000043210000123456";

std::string allbytes() {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    return all;
}

// True when this process has no child at all, running or waiting to be reaped.
bool nochildren() {
    int status = 0;
    return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

struct Reading {
    std::string record;
    bool normal;
    bool cancelled;
    std::string reason;
    std::string code;
};

Reading read(VendorLibrary& lib, std::int16_t port) {
    VirtualPacer pacer;
    ScriptedDevice unused{[] { return 0; }};
    Driver d({unused, pacer, lib}, {});
    EXPECT_EQ(d.initport(port, 51), 1);
    Reading r{d.Getregisters(), false, false, {}, {}};
    r.normal = d.outcome().normal();
    r.cancelled = d.outcome().cancelled();
    r.reason = d.outcome().reason.english();
    r.code = d.outcome().reason.name();
    return r;
}

TEST(VendorHost, LibraryOrHelperMisbehaves_ReadingEndsWithReason) {
    enum class Cancel { no, before, during };
    struct Case {
        const char* what;
        std::int16_t port;
        // Where the helper program and the library are looked for, in order.
        std::vector<std::string> host = {CPEDFM_HOST_PATH};
        std::vector<std::string> library = {FAULTY_LIBRARY_PATH};
        Cancel cancel = Cancel::no;
        // Generous but for the hang, so that a loaded machine (sanitizers, parallel builds)
        // does not turn a slow start into a hang.
        std::chrono::milliseconds bound = 20s;
        std::string returned = allzerorecord;
        bool normal = false;
        std::string reason = "";
        // The reason's code: the helper's own reasons cross as codes, not as text.
        std::string code = "";
    } cases[] = {
        {.what = "read", .port = 1, .returned = record, .normal = true},
        {.what = "every byte crosses unchanged, whatever the library prints",
         .port = 7,
         .returned = allbytes(),
         .normal = true},
        {.what = "refused, with the library's reason",
         .port = 4,
         .reason = "port 4 is not there",
         .code = "vendor_open_failed_detail"},
        {.what = "hangs",
         .port = 2,
         .bound = 2s,
         .reason = "the vendor library stopped responding",
         .code = "vendor_hung"},
        {.what = "crashes",
         .port = 3,
         .reason = "the vendor library crashed in ReadRegister (signal 6",
         .code = "vendor_crashed_signal_text"},
        {.what = "ends its process",
         .port = 6,
         .reason = "the vendor library crashed in ComClose (exit status 0)",
         .code = "vendor_crashed_exit"},
        {.what = "record too long to carry",
         .port = 5,
         .reason = "more than 65536",
         .code = "vendor_record_too_long"},
        {.what = "cancelled while hanging",
         .port = 2,
         .cancel = Cancel::during,
         .reason = "the reading was cancelled"},
        {.what = "cancelled before",
         .port = 1,
         .cancel = Cancel::before,
         .reason = "the reading was cancelled"},
        {.what = "library missing",
         .port = 1,
         .library = {"/nonexistent/libcpedfm.so"},
         .reason = "libcpedfm.so was not found at /nonexistent/libcpedfm.so",
         .code = "vendor_not_found"},
        {.what = "library in neither place, both named",
         .port = 1,
         .library = {"/nonexistent/bin/libcpedfm.so", "/nonexistent/lib/meterreader/libcpedfm.so"},
         .reason = "at /nonexistent/bin/libcpedfm.so or /nonexistent/lib/meterreader/libcpedfm.so"},
        {.what = "library in the second place",
         .port = 1,
         .library = {"/nonexistent/libcpedfm.so", FAULTY_LIBRARY_PATH},
         .returned = record,
         .normal = true},
        {.what = "no place to look for the library",
         .port = 1,
         .library = {},
         .reason = "libcpedfm.so was not found (the program's own folder is unknown)",
         .code = "vendor_not_found_nodir"},
        // A file that is there but no library (this source, by its absolute path: a compiler cache
        // may hand the compiler a relative one): the loader's reason and its path.
        {.what = "library not loadable",
         .port = 1,
         .library = {"/nonexistent/libcpedfm.so", NOT_A_LIBRARY_PATH},
         .reason = std::string(NOT_A_LIBRARY_PATH) + " could not be loaded",
         .code = "vendor_not_loaded_detail"},
        {.what = "helper missing",
         .port = 1,
         .host = {"/nonexistent/bin/cpedfm-host", "/nonexistent/lib/meterreader/cpedfm-host"},
         .reason = "cpedfm-host was not found at /nonexistent/bin/cpedfm-host or "
                   "/nonexistent/lib/meterreader/cpedfm-host",
         .code = "helper_not_found"},
        {.what = "helper not startable",
         .port = 1,
         .host = {NOT_A_LIBRARY_PATH},
         .reason = std::string(NOT_A_LIBRARY_PATH) + " could not be started",
         .code = "helper_not_started"},
        {.what = "helper not found",
         .port = 1,
         .host = {},
         .reason = "cpedfm-host was not found",
         .code = "helper_not_found_nodir"},
        {.what = "a helper that answers nonsense",
         .port = 1,
         .host = {"/usr/bin/yes"},
         .reason = "gave a malformed answer to ComOpen",
         .code = "helper_malformed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            HostedVendorLibrary lib(c.host, c.library, c.bound);
            Cancellation flag;
            lib.setcancellation(&flag);
            if (c.cancel == Cancel::before) flag.cancel();
            std::thread canceller;
            if (c.cancel == Cancel::during)
                canceller = std::thread([&flag] {
                    std::this_thread::sleep_for(100ms);
                    flag.cancel();
                });
            const Reading r = read(lib, c.port);
            if (canceller.joinable()) canceller.join();
            EXPECT_EQ(r.record, c.returned);
            EXPECT_EQ(r.normal, c.normal);
            EXPECT_EQ(r.cancelled, c.cancel != Cancel::no) << c.what;
            if (!c.code.empty()) {
                EXPECT_EQ(r.code, c.code) << r.reason;
            }
            if (c.reason.empty()) {
                EXPECT_EQ(r.reason, "");
            } else {
                EXPECT_NE(r.reason.find(c.reason), std::string::npos) << r.reason;
            }
            flag.reset();
            if (c.host == std::vector<std::string>{CPEDFM_HOST_PATH} &&
                c.library == std::vector<std::string>{FAULTY_LIBRARY_PATH}) {
                EXPECT_EQ(read(lib, 1).record, record) << "the next reading works again";
            }
        }
        EXPECT_TRUE(nochildren());
    }
}

} // namespace
} // namespace meter
