// SPDX-License-Identifier: GPL-3.0-or-later
// A whole 5400 reading on virtual time against a hostile line. Input: one byte choosing the
// type, then blocks, each a length byte and that many bytes; block k arrives before poll k,
// whatever the reader asks. Nothing may crash or read out of bounds; every byte the line gave
// is echoed as it came; the record is 56 digits; a reading either ends with the record it read,
// or without one and a reason.
#include "acquire/driver.h"
#include "vendorapi/vendorlibrary.h"
#include "core/hexecho.h"
#include "invariants.h"
#include "serial/scripteddevice.h"

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
    std::string delivered;
    std::size_t at = 1;
    for (std::int64_t poll = 0; at < size; ++poll) {
        std::size_t n = data[at++];
        if (n > size - at) n = size - at;
        const ByteView block(data + at, n);
        at += n;
        device.deliver(block, poll * 1000 + 500);
        delivered += hexecho(block);
    }
    NoVendor vendor;
    Driver d({device, pacer, vendor});
    if (d.initport(1, code) != 1) std::abort();
    const std::string record = d.Getregisters();
    if (record.size() != recordlength || !digitsonly(record)) std::abort();
    // What was echoed is what came, up to the end of the reading.
    if (delivered.compare(0, d.link().txtrece().size(), d.link().txtrece()) != 0) std::abort();
    if (record == allzerorecord && d.outcome().reason.empty()) std::abort();
    if (record != allzerorecord && !d.outcome().normal()) std::abort();
    return 0;
}
