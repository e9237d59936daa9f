// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bytes written as the traffic boxes and the meter's manuals show them ("01 30 3E"), and the
// replies of a framed meter with the simulator's default registers, laid out by hand.
#include "core/bytes.h"
#include "protocols/framed/framed.h"

#include <sstream>
#include <string>

namespace meter::testing {

inline Bytes hexbytes(const std::string& text) {
    std::istringstream in(text);
    Bytes out;
    unsigned value = 0;
    while (in >> std::hex >> value)
        out.push_back(static_cast<std::uint8_t>(value));
    return out;
}

inline Bytes withcheck(Bytes b, std::initializer_list<std::uint8_t> tail = {}) {
    const auto c = checkchars(b);
    b.insert(b.end(), c.begin(), c.end());
    b.insert(b.end(), tail);
    return b;
}

// The acknowledgement of command 5 with sequence character '1': byte 15 is '1'.
inline Bytes ackreply() {
    return hexbytes("01 30 30 30 31 31 36 30 36 31 02 30 30 30 30 31 30 30 30 30 30 03 3A 36");
}

// The type-11 register reply (sequence '2') around 82 data characters.
inline Bytes neopostreply(const std::string& data) {
    Bytes r = hexbytes("01 30 30 30 31 35 3E 30 35 32 02");
    r.insert(r.end(), data.begin(), data.end());
    r.push_back(0x03);
    return withcheck(r);
}

// The type-31 register reply (sequence '1') around 56 data characters.
inline Bytes highspeedreply(const std::string& data) {
    Bytes r = hexbytes("01 31 34 31 33 31 02");
    r.insert(r.end(), data.begin(), data.end());
    r.push_back(0x03);
    r.insert(r.end(), 8, '0');
    return withcheck(r, {0x04});
}

// The data characters for the default registers: total 2111050, used 1234500, unused 876550,
// 4321 pieces, head 123456.
inline const std::string defaultneopost = "0000876550"
                                          "0001234500"
                                          "0002111050" +
                                          std::string(20, '0') + "0000004321" +
                                          std::string(10, '0') + "0000123456" + "00";
inline const std::string defaulthighspeed = "000002111050"
                                            "000000876550"
                                            "0000004321"
                                            "000001234500"
                                            "0000123456";

} // namespace meter::testing
