// SPDX-License-Identifier: GPL-3.0-or-later
// Pitney replies from a hostile line: arbitrary bytes arriving over several polls, cut into
// frames and decoded, both directly and through a whole reading on virtual time. Nothing may
// crash or read out of bounds, and whatever reaches the record must be digits.
#include "acquire/driver.h"
#include "invariants.h"
#include "protocols/pitney/pitney.h"
#include "serial/scripteddevice.h"

#include <algorithm>
#include <cstdlib>

using namespace meter::fuzzing;

namespace {

using namespace meter;

struct NoVendor : VendorLibrary {
    std::int32_t ComOpen(std::int32_t) override { return 0; }
    std::string ReadRegister(std::int32_t) override { return {}; }
    std::int32_t ComClose(std::int32_t) override { return 0; }
};

// The input as polls: each a length byte and that many bytes (shorter at the end).
std::vector<Bytes> polls(ByteView in) {
    std::vector<Bytes> out;
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t want = in[i++];
        const std::size_t n = std::min(want, in.size() - i);
        out.emplace_back(in.begin() + static_cast<std::ptrdiff_t>(i),
                         in.begin() + static_cast<std::ptrdiff_t>(i + n));
        i += n;
    }
    return out;
}

void cutanddecode(const std::vector<Bytes>& ps) {
    PitneyCutter cutter;
    std::string rxtext;
    std::string record(56, '0');
    std::array<std::uint8_t, 6> flags{};
    for (const Bytes& p : ps) {
        const PitneyCut cut = cutter.cut(p);
        if (cut.fault) return;
        if (cutter.count() > 100) std::abort();
        for (const PitneyFrame& f : cut.frames) {
            if (f[0] != ascii::stx) std::abort();
            if (!parsepitney(f, {rxtext, record, flags}).ok()) return;
            if (!digitsonly(rxtext) || !digitsonly(record)) std::abort();
            for (auto m : flags)
                if (m > 1) std::abort();
        }
    }
}

void wholereading(const std::vector<Bytes>& ps, std::int16_t code) {
    VirtualPacer pacer;
    ScriptedDevice device([&pacer] { return pacer.nowms(); });
    // One piece of the input in every poll, whatever the reader writes.
    for (std::size_t i = 0; i < ps.size(); ++i)
        device.deliver(ps[i], static_cast<std::int64_t>(i) * 100 + 50);
    NoVendor vendor;
    Driver driver({device, pacer, vendor});
    if (driver.initport(1, code) != 1) std::abort();
    const std::string record = driver.Getregisters();
    if (!digitsonly(record)) std::abort();
    if (driver.outcome().normal() && record.size() < 56) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::vector<Bytes> ps = polls(ByteView(data + 1, size - 1));
    cutanddecode(ps);
    wholereading(ps, (data[0] & 1) ? 22 : 21);
    return 0;
}
