// SPDX-License-Identifier: GPL-3.0-or-later
// The framed family's reception on arbitrary bytes from the line, arriving in arbitrary parts:
// storing, echo, fixed-position checks, data-block extraction and decoding must never read out
// of bounds, and a register reply taken as good must give 56 digits. The decoders also get the
// raw bytes as a data block of any length.
#include "invariants.h"
#include "acquire/families/readframed.h"
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

    // Which reply is awaited, and how the bytes are spread over the polls.
    const std::pair<std::int16_t, std::int16_t> replies[] = {{11, 6}, {11, 5}, {31, 4}};
    const auto [type, code] = replies[data[0] % 3];
    const std::size_t parts = 1 + data[1] % 6;

    meter::VirtualPacer pacer;
    meter::ScriptedDevice device([&pacer] { return pacer.nowms(); });
    NoVendor vendor;
    meter::Driver d({device, pacer, vendor});
    d.initport(1, type);
    if (!d.openport(type)) std::abort();
    const std::size_t step = line.size() / parts + 1;
    for (std::size_t i = 0, at = 0; i < line.size(); i += step, at += 800)
        device.deliver(line.subspan(i, std::min(step, line.size() - i)),
                       static_cast<std::int64_t>(at + data[1] % 7 * 100));

    d.state().regrecord = meter::allzerorecord;
    const bool ok = meter::receiveframe(d, code, d.state().waitcount);
    const std::string& record = d.state().regrecord;
    if (record.size() != meter::recordlength || !digitsonly(record)) std::abort();
    if (!ok && record != meter::allzerorecord) std::abort();
    if (pacer.nowms() > 4000) std::abort();

    const meter::Extraction x = meter::extractblock(line, data[1] % 2 ? 84 : 58);
    if (x.block.size() != (data[1] % 2 ? 84u : 58u)) std::abort();
    checkdecoding(meter::parseneopost(x.block));
    checkdecoding(meter::parsehighspeed(x.block));
    checkdecoding(meter::parseneopost(line));
    checkdecoding(meter::parsehighspeed(line));
    return 0;
}
