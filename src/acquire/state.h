// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the driver keeps of the reading chosen: the port, the type and the record. Everything a
// family reads with lives in the family's own reading object (acquire/family.h).
#include <cstdint>
#include <string>

namespace meter {

// The register record: total postage (12), used postage (12), unused postage (12), total piece
// count (10), meter head number (10). Fifty-six "0" stand for nothing read.
inline constexpr std::size_t recordlength = 56;
inline const std::string allzerorecord(recordlength, '0');

struct AcquisitionState {
    std::int16_t iport = 0; // serial port number, 1 to 8 as offered by the window
    std::int16_t itype = 0; // machine type code, one of the table's (core/machinetypes.h)
    std::string regrecord;  // the register record of the current reading
};

} // namespace meter
