// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// 5400 replies: finding them in the bytes read from the line, joining a reply that arrives over
// several reads, and decoding its packed-BCD register value into the digit text of the reading.
//
// A reply begins 63 63 FE x x x 81; its register value follows from position 8 on, least
// significant byte first. Nothing in a reply says which register it carries: the step of the
// reading (the number of the request last sent) decides, and with it how many value bytes are
// decoded.
#include "core/bytes.h"
#include "core/digits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meter {

// The reply buffer holds a reply from its first header byte on: positions 0 to 100.
inline constexpr std::size_t replybuffer5400 = 101;

// How many reply positions (from the first header byte) the decoding at `step` reads: 11 for
// the head number, 13 for the postage registers, 12 for the piece count, and the 7 header bytes
// for any other step.
std::size_t replyneeds5400(std::int16_t step);

// How a meter's ten postage digits stand in the record's twelve: as units ("00" and the ten
// digits), or as tens ("0", the ten digits and "0": the meter keeps tens, the record units).
enum class PostageScale : std::uint8_t { units, tens };

// The scale a machine type's model word gives: none ("") for units, "tens" for tens; nullopt
// for a word of no 5400 meter.
constexpr std::optional<PostageScale> postagescale(std::string_view model) {
    if (model.empty()) return PostageScale::units;
    if (model == "tens") return PostageScale::tens;
    return std::nullopt;
}

// Decodes a reply for `step` into `rxtext`: step 1 replaces it with the head number (four zeros
// and six digits), steps 2 and 3 append a postage field by `scale`, step 4 appends
// the piece count ("00" and eight digits); any other step leaves it alone. Gives the digits
// written, or the reason for a byte that is not packed BCD or a reply too short for the step;
// `rxtext` is then unchanged.
Decoded parse5400(ByteView reply, std::int16_t step, PostageScale scale, std::string& rxtext);

// The meter side. The digits the meter keeps for register `code` (see registercode) of a record
// field (head number and piece count ten digits, postage twelve): the head number's last six,
// the piece count's last eight, and ten postage digits, which for a meter keeping tens are the
// field's digits between its leading and its trailing zero. Empty for a code of no register.
std::string meterdigits5400(std::uint8_t code, std::string_view field, PostageScale scale);

// The reply carrying `digits` (an even count) for register `code`: 63 63 FE, the meter's address
// 01 06, the register code, 81, the count of value bytes, the value in packed BCD least
// significant byte first, and the CRC-16 over everything after the first byte, high byte first.
Bytes buildreply5400(std::uint8_t code, std::string_view digits);

struct Reply5400 {
    Bytes bytes;         // from the first header byte to the end of the read that completed it
    std::int16_t step{}; // the step in force when the header arrived
    Reason fault;        // the reply ran on too long to be decoded, and why
};

// Finds replies in the blocks read from the line, one block per poll. State that lives across
// polls lives here, for one reading:
//  - a header cut off at the end of a block (63, 63 63, or 63 63 FE and up to three more bytes)
//    is kept and tested once the next block is there;
//  - a reply whose header has been seen is kept until every position its step decodes has
//    arrived, however the line split it.
// Only the first header counts: a block that completes a reply yields it with the rest of the
// block behind it, undecoded, as a block holding a whole reply does. One reply may run on for at
// most 100 bytes after its header byte.
class Scanner5400 {
  public:
    // Takes the next block; returns the reply it completes, if any, with a fault when it runs on
    // for more than 100 bytes after its header byte.
    std::optional<Reply5400> feed(ByteView block, std::int16_t step);

    // A reply or a header candidate waits for more bytes.
    bool holding() const { return !held_.empty(); }
    bool inreply() const { return inreply_; }

  private:
    std::optional<Reply5400> complete(std::int16_t step);

    Bytes held_;
    bool inreply_ = false;
    std::int16_t replystep_ = 0;
};

} // namespace meter
