// SPDX-License-Identifier: GPL-3.0-or-later
// The 5400 receive-and-decode path on arbitrary blocks read at arbitrary steps. Input: one byte
// for the machine type (even 12, odd 13), then blocks, each as a step byte, a length byte and
// that many bytes. Every block is one poll of receive5400 on virtual time. A reading may end
// only with MeterError; rxtext must only ever hold digits and grow by whole fields.
#include "acquire/driver.h"
#include "acquire/families/read5400.h"
#include "core/hexecho.h"
#include "core/metererror.h"
#include "invariants.h"
#include "serial/scripteddevice.h"
#include "vendorapi/vendorlibrary.h"

#include <cstdlib>
#include <string>

using namespace meter::fuzzing;

namespace {

struct NoVendor : meter::VendorLibrary {
    std::int32_t ComOpen(std::int32_t) override { return 0; }
    std::string ReadRegister(std::int32_t) override { return {}; }
    std::int32_t ComClose(std::int32_t) override { return 0; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace meter;
    if (size == 0) return 0;
    const std::int16_t code = (data[0] & 1) ? 13 : 12;

    VirtualPacer pacer;
    ScriptedDevice device{[&pacer] { return pacer.nowms(); }};
    NoVendor vendor;
    Driver d({device, pacer, vendor});
    if (d.initport(1, code) != 1 || !d.openport(code)) std::abort();

    Scanner5400 scanner; // the one receive5400 uses
    Scanner5400 shadow;  // the same blocks, to look at the replies themselves
    std::string echoed;
    std::size_t at = 1;
    try {
        while (at + 2 <= size) {
            const auto step = static_cast<std::int16_t>(static_cast<std::int8_t>(data[at]));
            std::size_t n = data[at + 1];
            at += 2;
            if (n > size - at) n = size - at;
            const ByteView block(data + at, n);
            at += n;

            device.deliver(block, pacer.nowms() + 1);
            d.state().step = step;
            const std::string before = d.state().rxtext;
            const auto reply = shadow.feed(block, step);
            if (reply) {
                const Bytes& r = reply->bytes;
                if (r.size() < replyneeds5400(reply->step) ||
                    (r.size() > replybuffer5400) == reply->fault.empty() || r[0] != 0x63 ||
                    r[1] != 0x63 || r[2] != 0xFE || r[6] != 0x81)
                    std::abort();
            }
            receive5400(d, scanner);
            echoed += hexecho(block);
            if (d.link().txtrece() != echoed) std::abort();

            const std::string& after = d.state().rxtext;
            if (!digitsonly(after)) std::abort();
            if (!reply) {
                if (after != before) std::abort();
            } else if (reply->step == 1) {
                if (after.size() != 10 || after.compare(0, 4, "0000") != 0) std::abort();
            } else if (after.size() != before.size() + fieldgrowth5400(reply->step) ||
                       after.compare(0, before.size(), before) != 0) {
                std::abort();
            }
        }
    } catch (const MeterError&) {
        // A clean fault: the reading would end at its failure end.
    }
    return 0;
}
