// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The framed command family (the neopost and the high-speed machine, "高速机"): the fixed
// command frames with their sequence and checksum characters, the fixed-position checks of the
// replies, the data block and its decoding into the register record. Pure: bytes in, bytes and
// digits out.
#include "core/bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace meter {

// The two meters of the family. The neopost opens with command 5, which it acknowledges, and
// gives its registers for command 2; the high-speed machine has one frame, which gives its
// registers whatever command code it is built for.
enum class FramedModel : std::uint8_t { neopost, highspeed };

// The meter a machine type's model word names ("neopost", "highspeed"); nullopt for any other.
constexpr std::optional<FramedModel> framedmodel(std::string_view model) {
    if (model == "neopost") return FramedModel::neopost;
    if (model == "highspeed") return FramedModel::highspeed;
    return std::nullopt;
}

// ---- Command frames ------------------------------------------------------------------------

// The command codes: the neopost's opening command and its register command; the high-speed
// machine's one frame is built for code 0.
inline constexpr std::int16_t neopostopen = 5;
inline constexpr std::int16_t neopostregisters = 2;
inline constexpr std::int16_t highspeedregisters = 0;
// The reply codes awaited after them: the acknowledgement of command 5 and the register replies.
inline constexpr std::int16_t neopostacknowledgement = 6;
inline constexpr std::int16_t neopostregisterreply = 5;
inline constexpr std::int16_t highspeedregisterreply = 4;

// Whether a frame exists for this model and command code: the neopost with command 5 (the
// 98-byte frame) or 2 (17 bytes); the high-speed machine with any command (20 bytes).
bool hascommand(FramedModel model, std::int16_t command);

// The complete frame carrying `seqchar`; empty when hascommand() is false.
Bytes buildcommand(FramedModel model, std::int16_t command, std::uint8_t seqchar);

// The two checksum characters over `summed`: the byte sum modulo 256 as two nibbles, each
// written as 0x30 + nibble, so 10 to 15 become ':' to '?' and never letters.
std::array<std::uint8_t, 2> checkchars(ByteView summed);

// Where the sequence character and the first checksum character sit in a command frame of this
// type and command (only for frames that exist).
struct CommandLayout {
    std::size_t length;
    std::size_t seqindex;
    std::size_t checkindex; // the summed part is everything before it
};
std::optional<CommandLayout> commandlayout(FramedModel model, std::int16_t command);

// The sequence character after `value`: one up, and anything past '9' (0xFF too) back to '0'.
std::uint8_t nextseqchar(std::uint8_t value);

// The meter's view of the bytes received: whether they begin with a command frame of `model`
// (none: of either), and which. A frame is taken only when every byte is right, sequence and
// checksum characters included.
struct FramedTaken {
    enum class Kind {
        notmine,  // no frame begins here
        needmore, // a frame that is right so far
        request,  // a whole frame, right in every byte
        rejected, // not right: `consumed` bytes, for `reason`
    };
    Kind kind = Kind::notmine;
    std::size_t consumed = 0;
    FramedModel model = FramedModel::neopost;
    std::int16_t command = 0;
    std::uint8_t seqchar = 0;
    std::string note; // what the frame is, for the technician
    std::string reason;
};
FramedTaken takecommand(ByteView input, std::optional<FramedModel> model);

// ---- Replies -------------------------------------------------------------------------------

struct FixedByte {
    std::size_t index;
    std::uint8_t value;
};

// One awaited reply, by model and reply code.
struct ReplyForm {
    FramedModel model;
    std::int16_t code;
    const char* what; // for the technician: "acknowledgement", "register reply"
    std::size_t length;
    std::span<const FixedByte> fixed;
    std::size_t blocksize;  // 0: no data block is decoded (the acknowledgement)
    std::size_t blockstart; // reply index of the STX of a well-formed data block
};

// The three replies: the neopost's 24-byte acknowledgement (6) and 96-byte register reply (5),
// the high-speed machine's 75-byte register reply (4). nullptr for any other pair.
const ReplyForm* replyform(FramedModel model, std::int16_t code);

// The first fixed position that `reply` does not hold (nullopt: all hold). `reply` must be at
// least form.length bytes; a shorter one counts as not holding the positions beyond its end.
std::optional<FixedByte> firstmismatch(const ReplyForm& form, ByteView reply);

// The acknowledgement's verdict on the command: byte 15 is '1' when the meter accepts it.
inline constexpr std::size_t ackflagindex = 15;
inline constexpr std::uint8_t ackaccepted = 0x31;

// The data block cut out of a reply: from the first STX through the ETX that closes it.
struct Extraction {
    enum class Result {
        closed,   // the ETX sits at the block's last index: a block of exactly blocksize bytes
        early,    // an ETX closed the block before its last index
        overrun,  // the block would pass its last index before any ETX
        unclosed, // the input ended inside the block (or holds no STX)
    };
    Result result = Result::unclosed;
    Bytes block;         // blocksize bytes, zero beyond what was stored
    std::size_t start{}; // input index of the STX
    std::size_t end{};   // input index of the closing ETX (early, closed) or of the byte that
                         // would pass the block's end (overrun)
};
Extraction extractblock(ByteView input, std::size_t blocksize);

// A data block decoded into the 56-digit register record, or why it could not be.
struct Decoding {
    enum class Fault {
        none,
        unframed, // no STX at block index 0 or no ETX at the block's last index
        nondigit, // a byte outside '0'-'9' where a register digit belongs
    };
    Fault fault = Fault::none;
    std::string record;
    std::size_t index{}; // block index of the offending byte
    std::uint8_t byte{};
    bool ok() const { return fault == Fault::none; }
};

// The neopost: an 84-byte block, 82 data characters between STX and ETX. The meter keeps postage
// registers of ten digits; the record's twelve-digit postage fields get "00" in front.
Decoding parseneopost(ByteView block);
// The high-speed machine: a 58-byte block, 56 data characters between STX and ETX.
Decoding parsehighspeed(ByteView block);

// What a reply that arrived whole says, by its form.
struct Verdict {
    enum class Kind {
        accepted, // the acknowledgement accepts the command
        record,   // a register reply decoded into `record`
        mismatch, // a fixed position does not hold: `mismatch`, the byte found at `found`
        refused,  // the acknowledgement refuses the command: its flag byte is `found`
        block,    // the data block is not closed where it belongs: `extraction`
        decoding, // the data block does not decode: `extraction`, `decoding`
    };
    Kind kind = Kind::mismatch;
    std::string record;
    FixedByte mismatch{};
    std::uint8_t found{};
    Extraction extraction;
    Decoding decoding;
};
// `reply` holds at least form.length bytes.
Verdict judgereply(const ReplyForm& form, ByteView reply);

inline constexpr std::size_t neopostblock = 84;
inline constexpr std::size_t highspeedblock = 58;

// Where each record field lies among the data characters (1-based, as the meter numbers them),
// in the order of the record: total, used, unused, pieces, head. The postage fields of the neopost
// are ten characters long and take "00" in front.
struct FieldCut {
    std::size_t first;
    std::size_t length;
};
std::span<const FieldCut, 5> neopostcuts();
std::span<const FieldCut, 5> highspeedcuts();

// The meter side: the replies, each carrying the sequence character of its command. Register
// values come in record order (total, used, unused, pieces, head) and are cut to their field's
// width from the front: the neopost keeps ten-digit postage registers.
using RegisterValues = std::array<std::string_view, 5>;
// The acknowledgement that accepts command 5.
Bytes buildacknowledgement(std::uint8_t seqchar);
Bytes buildneopostreply(const RegisterValues& values, std::uint8_t seqchar);
Bytes buildhighspeedreply(const RegisterValues& values, std::uint8_t seqchar);

} // namespace meter
