// The meter side of the 5400 family: one register per request, its value in packed BCD, least
// significant byte first. The two machine types send identical requests and differ in the scale
// of the postage values: a "5400(5表头)" meter keeps postage in tens, so the record's used
// postage 000001234500 is 0000123450 on the meter, which the reader writes back ten times
// larger.
#include "protocols/5400/request5400.h"
#include "sim/families/families.h"

#include "core/digits.h"
#include "core/hexecho.h"

#include <algorithm>
#include <array>

namespace meter::sim {

namespace {

constexpr std::array<std::uint8_t, 6> prefix{0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D};

// The register a request code asks for, as the meter holds it: its digits, most significant
// first, an even number of them.
std::string held(std::uint8_t code, const Registers& r, std::int16_t type) {
    switch (code) {
    case 0x0C:
        return lastdigits(r.head, 6);
    case 0x05:
    case 0x06: {
        const std::string record = lastdigits(code == 0x05 ? r.used : r.unused, 12);
        // Code 13 keeps tens: the record's digits between its leading and its trailing zero.
        return type == 13 ? record.substr(1, 10) : record.substr(2, 10);
    }
    case 0x08:
        return lastdigits(r.pieces, 8);
    default:
        return {};
    }
}

const char* registername(std::uint8_t code) {
    switch (code) {
    case 0x0C:
        return "表头";
    case 0x05:
        return "已用邮资";
    case 0x06:
        return "未用邮资";
    case 0x08:
        return "总件数";
    default:
        return nullptr;
    }
}

// 63 63 FE, the meter's address, the register code, 81, the count of value bytes, the value in
// packed BCD least significant byte first, and a CRC-16 over everything after the first byte.
Bytes reply(std::uint8_t code, const std::string& digits) {
    Bytes r{0x63, 0x63, 0xFE, 0x01, 0x06, code, 0x81, static_cast<std::uint8_t>(digits.size() / 2)};
    const Bytes value = packbcd(digits);
    r.insert(r.end(), value.rbegin(), value.rend());
    r.push_back(0);
    const std::uint16_t crc = crc16(r, r.size() - 2);
    r.back() = crchigh(crc);
    r.push_back(crclow(crc));
    return r;
}

class Meter5400 : public Family {
  public:
    const char* name() const override { return "5400"; }
    bool plays(std::int16_t code) const override { return code == 12 || code == 13; }

    Take take(ByteView input, const Registers& registers, std::int16_t code) override {
        const std::size_t seen = std::min(input.size(), prefix.size());
        if (!std::equal(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(seen),
                        prefix.begin()))
            return Take::none();
        if (input.size() < request5400size) return Take::more();

        const ByteView request = input.first(request5400size);
        const std::uint8_t reg = request[6];
        const char* regname = registername(reg);
        if (!regname) return Take::reject(request5400size, "unknown register " + hex2(reg));
        const std::uint16_t crc = crc16(request, 6);
        if (request[7] != crchigh(crc) || request[8] != crclow(crc))
            return Take::reject(request5400size, "CRC " + hex2(request[7]) + " " +
                                                     hex2(request[8]) + ", expected " +
                                                     hex2(crchigh(crc)) + " " + hex2(crclow(crc)));
        if (request[9] != 0 || request[10] != 0)
            return Take::reject(request5400size, "request does not end in 00 00");
        // In auto mode the machine type is not known; the postage goes out in units.
        const std::string digits = held(reg, registers, code == 13 ? 13 : 12);
        return Take::request(request5400size, reply(reg, digits), regname);
    }
};

} // namespace

std::unique_ptr<Family> family5400() {
    return std::make_unique<Meter5400>();
}

} // namespace meter::sim
