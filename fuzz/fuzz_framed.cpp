// SPDX-License-Identifier: GPL-3.0-or-later
// A whole framed reading on virtual time against a hostile line, and the data block decoders on
// the same bytes. Input: a byte choosing the machine type, a byte choosing how the bytes are
// spread over the polls, then the bytes. Nothing may crash or read out of bounds; the record is
// 56 digits, all zero when the reading failed; no wait outlasts its time bound.
#include "acquire/driver.h"
#include "invariants.h"
#include "protocols/framed/framed.h"
#include "serial/scripteddevice.h"

#include <algorithm>
#include <cstdlib>

using namespace meter::fuzzing;

namespace {

struct NoVendor : meter::VendorLibrary {
    std::int32_t ComOpen(std::int32_t) override { return 0; }
    std::string ReadRegister(std::int32_t) override { return {}; }
    std::int32_t ComClose(std::int32_t) override { return 0; }
};

void checkdecoding(const meter::Decoding& d) {
    if (d.ok() && (d.record.size() != meter::recordlength || !digitsonly(d.record))) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const meter::ByteView line(data + 2, size - 2);
    const std::int16_t type = data[0] % 2 ? 31 : 11;
    const std::size_t parts = 1 + data[1] % 6;

    meter::VirtualPacer pacer;
    meter::ScriptedDevice device([&pacer] { return pacer.nowms(); });
    NoVendor vendor;
    meter::Driver d({device, pacer, vendor});
    if (d.initport(1, type) != 1) std::abort();
    const std::size_t step = line.size() / parts + 1;
    for (std::size_t i = 0, at = 0; i < line.size(); i += step, at += 800)
        device.deliver(line.subspan(i, std::min(step, line.size() - i)),
                       static_cast<std::int64_t>(at + data[1] % 7 * 100));

    const std::string record = d.Getregisters();
    if (record.size() != meter::recordlength || !digitsonly(record)) std::abort();
    if (!d.outcome().normal() && record != meter::allzerorecord) std::abort();
    // Two waits at most, each within its four seconds.
    if (pacer.nowms() > 8000) std::abort();

    const meter::Extraction x = meter::extractblock(line, data[1] % 2 ? 84 : 58);
    if (x.block.size() != (data[1] % 2 ? 84u : 58u)) std::abort();
    checkdecoding(meter::parseneopost(x.block));
    checkdecoding(meter::parsehighspeed(x.block));
    checkdecoding(meter::parseneopost(line));
    checkdecoding(meter::parsehighspeed(line));
    return 0;
}
