// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The state one reading of a meter works on. It lives as long as the driver (the window), and
// its values carry over from one reading to the next; each reading sequence resets what it
// needs.
#include <array>
#include <cstdint>
#include <string>

namespace meter {

// The register record: total postage (12), used postage (12), unused postage (12), total piece
// count (10), meter head number (10). Fifty-six "0" stand for nothing read.
inline constexpr std::size_t recordlength = 56;
inline const std::string allzerorecord(recordlength, '0');

struct AcquisitionState {
    std::int16_t iport = 0;        // serial port number, 1 to 8 as offered by the window
    std::int16_t itype = 0;        // machine type code, one of the table's (core/machinetypes.h)
    std::int16_t step = 0;         // number of the request last sent within a reading
    std::uint8_t seqchar = 0;      // sequence character of framed commands ("0" to "9")
    std::int16_t waitcount = 0;    // reply time bound of framed commands, milliseconds
    std::uint8_t pitneytoggle = 0; // alternating toggle of Pitney requests (0x21 / 0xA1)
    // One marker per Pitney register reply received, numbered 1 to 5 (element 0 is unused).
    std::array<std::uint8_t, 6> replyflags{};
    std::string rxtext;     // decoded register digits
    std::int16_t crclo = 0; // low byte of the last CRC-16
    std::int16_t crchi = 0; // high byte of the last CRC-16
    std::string regrecord;  // the register record of the current reading
};

} // namespace meter
