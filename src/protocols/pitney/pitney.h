// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Pitney family's frames: register requests with their toggle and Fletcher check bytes, the
// cutting of reply frames out of the bytes received, and the decoding of byte-stuffed
// packed-decimal replies into the register record. Pure: bytes in, bytes and digits out.
#include "core/bytes.h"
#include "core/digits.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meter {

// Marks the byte after it as escaped: that byte stands for its value minus 0x80.
inline constexpr std::uint8_t pitneyescape = 0x10;
inline constexpr std::uint8_t pitneyescapeoffset = 0x80;
// The two toggle values; a reading's requests alternate between them, starting with the first.
inline constexpr std::uint8_t pitneytogglea = 0x21;
inline constexpr std::uint8_t pitneytoggleb = 0xA1;
// A reply's answer code is its request's command byte plus this.
inline constexpr std::uint8_t pitneyanswer = 0x30;

// The request buffer: the six-byte frame followed by five zero bytes, all written.
using PitneyRequest = std::array<std::uint8_t, 11>;
inline constexpr std::size_t pitneyframebytes = 6;

// One reply as handed to the decoder: its STX at position 0, then up to 100 bytes up to and
// including its ETX; positions the reply did not fill are 0x00.
using PitneyFrame = std::array<std::uint8_t, 101>;

// The acknowledgement block a "pitneybows spark" expects on every poll: 0x06 and 100 zero bytes.
inline constexpr std::size_t pitneyackbytes = 101;
Bytes pitneyackblock();

// The two meters of the family: one that takes no acknowledgement (the 950), and one that
// wants the acknowledgement block on every poll (the spark).
enum class PitneyModel : std::uint8_t { plain, ackeverypoll };

// The meter a machine type's model word names: none ("") for the plain one, "ackeverypoll";
// nullopt for any other word.
constexpr std::optional<PitneyModel> pitneymodel(std::string_view model) {
    if (model.empty()) return PitneyModel::plain;
    if (model == "ackeverypoll") return PitneyModel::ackeverypoll;
    return std::nullopt;
}

// --- requests

// The toggle that follows `v`: 0xA1 after 0x21, 0x21 after anything else (0 at the start).
std::uint8_t pitneynexttoggle(std::uint8_t v);

// The five registers in record order: the name a request is asked by, and its command byte.
struct PitneyRegister {
    std::string_view name;
    std::uint8_t command;
};
inline constexpr std::array<PitneyRegister, 5> pitneyregisters{{
    {"总邮资", 0x54},
    {"已用邮资", 0x52},
    {"未用邮资", 0x53},
    {"总件数", 0x55},
    {"表头", 0x5C},
}};

// The command byte asked for by `name` (compared exactly); nullopt for any other text.
std::optional<std::uint8_t> pitneycommand(std::string_view name);

// The two Fletcher check bytes (modulo-255 sums) that bring both sums over `bytes` followed by
// them to zero.
std::array<std::uint8_t, 2> fletcherbytes(ByteView bytes);

// The request for `name` with `toggle`. A name outside the table still gives a frame, with
// command and check bytes left 0x00.
PitneyRequest pitneyrequest(std::uint8_t toggle, std::string_view name);

// The meter's view of the bytes received: whether they begin with a request frame (or, for
// the spark, an acknowledgement block), and which.
struct PitneyTaken {
    enum class Kind {
        notmine,  // neither begins here
        needmore, // a beginning that is right so far
        request,  // a whole request buffer or acknowledgement block, right in every byte
        rejected, // not right: `consumed` bytes, for `reason`
    };
    Kind kind = Kind::notmine;
    std::size_t consumed = 0;
    std::uint8_t toggle = 0;
    const PitneyRegister* asked = nullptr; // the register a request asks for
    std::string reason;
};
// A request: the six-byte frame with a known toggle and command and right check bytes, then its
// five zero bytes.
PitneyTaken takepitneyrequest(ByteView input);
// An acknowledgement block: 0x06 and 100 zero bytes.
PitneyTaken takepitneyack(ByteView input);

// The reply to `command` with `toggle`, carrying a record field: STX, the toggle, the answer
// code, the format byte, the value in packed decimal, two Fletcher check bytes over everything
// after STX, ETX; the bytes between STX and ETX stuffed. Postage goes out as ten digits with two
// decimals (format A2), twelve (C2) for a value of a hundred million units or more; counts and
// the head number as ten whole digits (AF).
Bytes buildpitneyreply(std::uint8_t toggle, std::uint8_t command, std::string_view field);

// The same with the format byte given: `digits` go out as they are, in packed decimal (a zero in
// front of an odd count).
Bytes buildpitneyreply(std::uint8_t toggle, std::uint8_t command, std::uint8_t format,
                       std::string_view digits);

// --- reception

// Cuts reply frames out of the bytes received poll after poll. A frame begins at an STX and
// ends at the next ETX. Each poll's own frame, the one beginning at its first STX, is cut and
// handed over as a poll taken alone would: its ETX ends it, an STX inside it is stored, a poll
// that ends inside it hands it over once its value is complete, and running past 100 positions
// is a fault. What goes beyond that only ever adds readings, never faults:
//  - a frame whose value is still incomplete when its poll ends is carried over to the next poll
//    and handed over as soon as its value is complete, ETX or not; a carried frame ends at a new
//    STX, and one whose answer code is no reply is not carried;
//  - a poll's further frames are handed over too, but only when their value is complete and
//    decodes cleanly; carried frames likewise. Those that run past 100 positions are dropped.
struct PitneyCut {
    std::vector<PitneyFrame> frames;
    Reason fault; // why the poll's frames cannot be read (and there are none)
};
class PitneyCutter {
  public:
    // The frames completed by `bytes`, in arrival order. Bytes outside a frame are skipped.
    // A fault when the poll's own frame needs more than 100 positions after its STX; nothing of
    // this call's frames is returned then.
    PitneyCut cut(ByteView bytes);

    bool inside() const { return inside_; }
    // Position of the last byte stored in the open frame (0: only its STX).
    std::size_t count() const { return count_; }

  private:
    void open();
    // Ends the open frame; hands it over when `handover`.
    void close(std::vector<PitneyFrame>& done, bool handover);
    // Whether the open frame, ended by its ETX, is handed over.
    bool handedover() const;
    // Ends the open frame, handing it over or not, once what it decodes to is settled: it is no
    // register's reply, or its value is complete. Otherwise it stays open.
    void closeifsettled(std::vector<PitneyFrame>& done);

    PitneyFrame frame_{};
    bool inside_ = false;
    std::size_t count_ = 0;
    bool carried_ = false; // the open frame began in an earlier poll
    bool own_ = false;     // the open frame is its poll's own frame
};

// --- decoding

// What a reply's format byte says, read from its hexadecimal text: the digit count (the first
// character), the bytes the value takes before stuffing, and the decimals code (the last
// character: 'F' none, '1' one, '2' two).
struct PitneyFormat {
    int digits = 0;
    int rawlength = 0; // digits rounded up to even
    int length = 0;    // value bytes: rawlength / 2
    char decimals = '0';
};
PitneyFormat pitneyformat(std::uint8_t byte);

// The digits of `length` value bytes of `work`, packed decimal, high nibble first, each stuffing
// byte lengthening the stretch read by one. A byte with a nibble above 9 or an escaped byte
// below 0x80 is a fault; the digits are then those decoded before it. Bytes beyond the end of
// `work` read as 0x00.
Decoded decodedigits(ByteView work, int length);

// The value of a digit text written with at least ten digits (leading zeros beyond ten
// dropped, zeros added up to ten). An empty text stays empty: no digits are made up for a reply
// that carried none.
std::string tendigitfield(std::string_view digits);

// The twelve-character postage field of `digits` by decimals code; nullopt for a code other
// than 'F', '1' and '2'.
std::optional<std::string> moneyfield(std::string_view digits, char decimals);

// Whether `code` is the answer code of one of the five registers.
bool pitneyreply(std::uint8_t code);

// How much of a frame its decoding depends on: the last frame position it reads (the format
// byte at least) and whether it meets a byte it cannot decode. Positions beyond the end of
// `frame` read as 0x00. A frame whose bytes up to `last` have arrived decodes the same whatever
// follows.
struct PitneyValueSpan {
    std::size_t last = 3;
    bool faulty = false;
};
PitneyValueSpan pitneyvaluespan(ByteView frame);

// One frame decoded on its own, as parsepitney decodes it while its register is still open.
struct PitneyDecoded {
    int marker = 0;                   // the register's marker, 1 to 5; 0: the frame is ignored
    std::string digits;               // what rxtext holds afterwards
    std::optional<std::string> field; // the field for the register record; nullopt: none
    Reason fault;                     // why decoding stopped; none when it did not
    bool operator==(const PitneyDecoded&) const = default;
};
PitneyDecoded decodepitney(ByteView frame);

// The parts of the acquisition state a reply changes.
struct PitneyTarget {
    std::string& rxtext;
    std::string& regrecord;
    std::array<std::uint8_t, 6>& replyflags; // markers 1 to 5; element 0 unused
};

// Decodes one reply frame into its field of the register record and sets its marker; gives the
// digits rxtext holds afterwards, or the fault that stopped decoding (rxtext then holds the
// digits before it, and the record and marker are unchanged). A frame without STX, with an
// unknown answer code, or for a register already decoded in this reading changes nothing.
// Positions beyond the end of `frame` read as 0x00.
Decoded parsepitney(ByteView frame, PitneyTarget target);

} // namespace meter
