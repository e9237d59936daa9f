#include "protocols/pitney/pitney.h"

namespace meter {

Bytes pitneyackblock() {
    Bytes block(pitneyackbytes, 0x00);
    block[0] = pitneyack;
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
    r[0] = pitneystx;
    r[1] = toggle;
    if (auto command = pitneycommand(name)) {
        r[2] = *command;
        const auto check = fletcherbytes(ByteView(r).subspan(1, 2));
        r[3] = check[0];
        r[4] = check[1];
    }
    r[5] = pitneyetx;
    return r;
}

} // namespace meter
