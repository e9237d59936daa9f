// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/hexecho.h"
#include "protocols/pitney/pitney.h"

#include <algorithm>

namespace meter {

Bytes pitneyackblock() {
    Bytes block(pitneyackbytes, 0x00);
    block[0] = ascii::ack;
    return block;
}

std::uint8_t pitneynexttoggle(std::uint8_t v) {
    return v == pitneytogglea ? pitneytoggleb : pitneytogglea;
}

std::optional<std::uint8_t> pitneycommand(std::string_view name) {
    for (const auto& r : pitneyregisters)
        if (r.name == name) return r.command;
    return std::nullopt;
}

std::array<std::uint8_t, 2> fletcherbytes(ByteView bytes) {
    unsigned s1 = 0;
    unsigned s2 = 0;
    for (std::uint8_t b : bytes) {
        s1 = (s1 + b) % 255;
        s2 = (s2 + s1) % 255;
    }
    const unsigned first = 255 - (s1 + s2) % 255;
    const unsigned second = 255 - (s1 + first) % 255;
    return {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second)};
}

PitneyRequest pitneyrequest(std::uint8_t toggle, std::string_view name) {
    PitneyRequest r{};
    r[0] = ascii::stx;
    r[1] = toggle;
    if (auto command = pitneycommand(name)) {
        r[2] = *command;
        const auto check = fletcherbytes(ByteView(r).subspan(1, 2));
        r[3] = check[0];
        r[4] = check[1];
    }
    r[5] = ascii::etx;
    return r;
}

PitneyTaken takepitneyrequest(ByteView input) {
    using Kind = PitneyTaken::Kind;
    if (input.empty() || input[0] != ascii::stx) return {};
    if (input.size() < pitneyframebytes) return {Kind::needmore, 0, 0, nullptr, {}};
    const std::uint8_t toggle = input[1];
    const std::uint8_t command = input[2];
    const auto asked =
        std::find_if(pitneyregisters.begin(), pitneyregisters.end(),
                     [command](const PitneyRegister& r) { return r.command == command; });
    const std::string frame = hexecho(input.first(pitneyframebytes));
    auto reject = [&](std::size_t consumed, std::string reason) {
        return PitneyTaken{Kind::rejected, consumed, toggle, nullptr, std::move(reason)};
    };
    if (toggle != pitneytogglea && toggle != pitneytoggleb)
        return reject(pitneyframebytes, "toggle " + hexpair(toggle) + " in" + frame);
    if (asked == pitneyregisters.end())
        return reject(pitneyframebytes, "unknown command in" + frame);
    const auto check = fletcherbytes(input.subspan(1, 2));
    if (input[3] != check[0] || input[4] != check[1] || input[5] != ascii::etx)
        return reject(pitneyframebytes, "check bytes or ETX wrong in" + frame);

    // The request buffer goes out whole: five zero bytes follow the frame.
    const std::size_t whole = std::tuple_size_v<PitneyRequest>;
    const std::size_t n = std::min(input.size(), whole);
    for (std::size_t i = pitneyframebytes; i < n; ++i)
        if (input[i] != 0x00) return reject(i, "request without its five zero bytes:" + frame);
    if (n < whole) return {Kind::needmore, 0, 0, nullptr, {}};
    return {Kind::request, whole, toggle, &*asked, {}};
}

PitneyTaken takepitneyack(ByteView input) {
    using Kind = PitneyTaken::Kind;
    if (input.empty() || input[0] != ascii::ack) return {};
    const std::size_t n = std::min(input.size(), pitneyackbytes);
    for (std::size_t i = 1; i < n; ++i)
        if (input[i] != 0x00)
            return {Kind::rejected, i, 0, nullptr,
                    "acknowledgement block cut short after " + std::to_string(i) + " bytes"};
    if (n < pitneyackbytes) return {Kind::needmore, 0, 0, nullptr, {}};
    return {Kind::request, pitneyackbytes, 0, nullptr, {}};
}

} // namespace meter
