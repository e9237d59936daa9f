// The meter side of the pitney family: a "pitneybows 950" or "pitneybows spark" answering one
// register request at a time, and taking the spark's acknowledgement blocks.
#include "core/digits.h"
#include "core/hexecho.h"
#include "protocols/pitney/pitney.h"
#include "sim/families/families.h"

#include <algorithm>

namespace meter::sim {

namespace {

// The register value a request asks for, and how the meter writes it: postage with two
// decimals, counts as whole numbers.
struct Value {
    const std::string* digits = nullptr;
    bool money = false;
};
Value valuefor(std::uint8_t command, const Registers& r) {
    switch (command) {
    case 0x54:
        return {&r.total, true};
    case 0x52:
        return {&r.used, true};
    case 0x53:
        return {&r.unused, true};
    case 0x55:
        return {&r.pieces, false};
    default:
        return {&r.head, false};
    }
}

// The bytes between STX and ETX never hold STX, ETX or the stuffing byte itself.
void stuff(Bytes& out, std::uint8_t b) {
    if (b == pitneystx || b == pitneyetx || b == pitneyescape) {
        out.push_back(pitneyescape);
        out.push_back(static_cast<std::uint8_t>(b + pitneyescapeoffset));
    } else {
        out.push_back(b);
    }
}

// A reply: STX, the request's toggle, the answer code, the format byte, the stuffed value, two
// Fletcher check bytes over everything after STX (stuffed as well), ETX.
Bytes reply(std::uint8_t toggle, std::uint8_t command, const Registers& registers) {
    const Value v = valuefor(command, registers);
    std::string digits = *v.digits;
    std::uint8_t format = 0xAF; // ten digits, whole units
    if (v.money) {
        // Ten digits with two decimals while the value allows, as the meters send it; twelve
        // for a value of a hundred million units or more.
        const bool wide = digits.size() > 10 && digits.find_first_not_of('0') < digits.size() - 10;
        format = wide ? 0xC2 : 0xA2;
    }
    const std::size_t width = static_cast<std::size_t>(format >> 4);
    digits = lastdigits(digits, width);

    Bytes body{toggle, static_cast<std::uint8_t>(command + pitneyanswer), format};
    const Bytes value = packbcd(digits);
    body.insert(body.end(), value.begin(), value.end());
    const auto check = fletcherbytes(body);
    body.insert(body.end(), check.begin(), check.end());

    Bytes out{pitneystx};
    for (std::uint8_t b : body)
        stuff(out, b);
    out.push_back(pitneyetx);
    return out;
}

class Pitney : public Family {
  public:
    const char* name() const override { return "pitney"; }
    bool plays(std::int16_t code) const override { return code == 21 || code == 22; }

    Take take(ByteView input, const Registers& registers, std::int16_t code) override {
        if (input.empty()) return Take::none();
        if (input[0] == pitneyack) return ack(input, code);
        if (input[0] != pitneystx) return Take::none();
        return request(input, registers);
    }

  private:
    // 0x06 and 100 zero bytes, possibly in pieces. A "pitneybows 950" never acknowledges.
    Take ack(ByteView input, std::int16_t code) {
        if (code == 21) return Take::reject(1, "acknowledgement block (a 950 takes none)");
        const std::size_t n = std::min(input.size(), pitneyackbytes);
        for (std::size_t i = 1; i < n; ++i)
            if (input[i] != 0x00)
                return Take::reject(i, "acknowledgement block cut short after " +
                                           std::to_string(i) + " bytes");
        if (n < pitneyackbytes) return Take::more();
        return Take::request(pitneyackbytes, {}, "acknowledgement");
    }

    Take request(ByteView input, const Registers& registers) {
        if (input.size() < pitneyframebytes) return Take::more();
        const std::uint8_t toggle = input[1];
        const std::uint8_t command = input[2];
        const auto expected =
            std::find_if(pitneyregisters.begin(), pitneyregisters.end(),
                         [command](const PitneyRegister& r) { return r.command == command; });
        const std::string frame = hexecho(input.first(pitneyframebytes));
        if (toggle != pitneytogglea && toggle != pitneytoggleb)
            return Take::reject(pitneyframebytes, "toggle " + hex2(toggle) + " in" + frame);
        if (expected == pitneyregisters.end())
            return Take::reject(pitneyframebytes, "unknown command in" + frame);
        const auto check = fletcherbytes(input.subspan(1, 2));
        if (input[3] != check[0] || input[4] != check[1] || input[5] != pitneyetx)
            return Take::reject(pitneyframebytes, "check bytes or ETX wrong in" + frame);

        // The request buffer goes out whole: five zero bytes follow the frame.
        const std::size_t whole = std::tuple_size_v<PitneyRequest>;
        const std::size_t n = std::min(input.size(), whole);
        for (std::size_t i = pitneyframebytes; i < n; ++i)
            if (input[i] != 0x00)
                return Take::reject(i, "request without its five zero bytes:" + frame);
        if (n < whole) return Take::more();

        // A reading begins with 0x21 and alternates; 0xA1 twice in a row is a reader's fault.
        const std::uint8_t previous = last_;
        last_ = toggle;
        if (toggle == pitneytoggleb && previous != pitneytogglea)
            return Take::reject(whole, "toggle A1 not after 21 in" + frame);
        return Take::request(whole, reply(toggle, command, registers),
                             std::string(expected->name) + " (toggle " + hex2(toggle) + ")");
    }

    std::uint8_t last_ = 0;
};

} // namespace

std::unique_ptr<Family> familypitney() {
    return std::make_unique<Pitney>();
}

} // namespace meter::sim
