// SPDX-License-Identifier: GPL-3.0-or-later
// The replies of the framed family: fixed-position checks, the data block and its decoding.
#include "core/digits.h"
#include "protocols/framed/framed.h"

#include <algorithm>

namespace meter {

namespace {

constexpr FixedByte ackfixed[] = {
    {0, ascii::soh}, {7, '0'}, {8, '6'}, {10, ascii::stx}, {21, ascii::etx}};
constexpr FixedByte neopostfixed[] = {
    {0, ascii::soh}, {7, '0'}, {8, '5'}, {10, ascii::stx}, {93, ascii::etx}};
constexpr FixedByte highspeedfixed[] = {
    {0, ascii::soh}, {3, '1'}, {4, '3'}, {6, ascii::stx}, {63, ascii::etx}};

const ReplyForm forms[] = {
    {FramedModel::neopost, neopostacknowledgement, "acknowledgement", 24, ackfixed, 0, 0},
    {FramedModel::neopost, neopostregisterreply, "register reply", 96, neopostfixed, neopostblock,
     10},
    {FramedModel::highspeed, highspeedregisterreply, "register reply", 75, highspeedfixed,
     highspeedblock, 6},
};

// Total, used, unused, pieces, head. The three postage registers of the neopost are ten digits.
constexpr FieldCut neopostfields[5] = {{21, 10}, {11, 10}, {1, 10}, {51, 10}, {71, 10}};
constexpr FieldCut highspeedfields[5] = {{1, 12}, {35, 12}, {13, 12}, {25, 10}, {47, 10}};

bool isdigit(std::uint8_t b) {
    return b >= '0' && b <= '9';
}

// The record cut from the data characters of a block. Only the characters that end up in the
// record must be digits: a stray byte elsewhere cannot move a field, because every field is cut
// at its own fixed place.
Decoding decode(ByteView block, std::size_t blocksize, std::span<const FieldCut, 5> cuts,
                std::size_t postagepad) {
    Decoding d;
    const std::size_t last = blocksize - 1;
    if (block.size() < blocksize || block[0] != ascii::stx || block[last] != ascii::etx) {
        d.fault = Decoding::Fault::unframed;
        return d;
    }
    // The offending byte nearest the start, so the reason points at the first fault on the line.
    std::optional<std::size_t> bad;
    for (const FieldCut& c : cuts)
        for (std::size_t i = c.first; i < c.first + c.length; ++i)
            if (!isdigit(block[i]) && (!bad || i < *bad)) bad = i;
    if (bad) {
        d.fault = Decoding::Fault::nondigit;
        d.index = *bad;
        d.byte = block[*bad];
        return d;
    }
    for (std::size_t field = 0; field < cuts.size(); ++field) {
        if (field < 3) d.record.append(postagepad, '0');
        const auto from = block.begin() + static_cast<std::ptrdiff_t>(cuts[field].first);
        d.record.append(from, from + static_cast<std::ptrdiff_t>(cuts[field].length));
    }
    return d;
}

} // namespace

const ReplyForm* replyform(FramedModel model, std::int16_t code) {
    for (const ReplyForm& f : forms)
        if (f.model == model && f.code == code) return &f;
    return nullptr;
}

std::optional<FixedByte> firstmismatch(const ReplyForm& form, ByteView reply) {
    for (const FixedByte& f : form.fixed)
        if (f.index >= reply.size() || reply[f.index] != f.value) return f;
    return std::nullopt;
}

Extraction extractblock(ByteView input, std::size_t blocksize) {
    Extraction x;
    x.block.assign(blocksize, 0);
    if (blocksize == 0) return x;
    const std::size_t last = blocksize - 1;
    const auto stx = std::find(input.begin(), input.end(), ascii::stx);
    if (stx == input.end()) return x;
    x.start = static_cast<std::size_t>(stx - input.begin());
    x.block[0] = ascii::stx;
    std::size_t index = 0;
    for (std::size_t i = x.start + 1; i < input.size(); ++i) {
        if (index == last) {
            x.result = Extraction::Result::overrun;
            x.end = i;
            return x;
        }
        x.block[++index] = input[i];
        if (input[i] == ascii::etx) {
            x.result = index == last ? Extraction::Result::closed : Extraction::Result::early;
            x.end = i;
            return x;
        }
    }
    return x;
}

Decoding parseneopost(ByteView block) {
    return decode(block, neopostblock, neopostfields, 2);
}

Decoding parsehighspeed(ByteView block) {
    return decode(block, highspeedblock, highspeedfields, 0);
}

std::span<const FieldCut, 5> neopostcuts() {
    return neopostfields;
}
std::span<const FieldCut, 5> highspeedcuts() {
    return highspeedfields;
}

Verdict judgereply(const ReplyForm& form, ByteView reply) {
    Verdict v;
    if (const auto bad = firstmismatch(form, reply)) {
        v.kind = Verdict::Kind::mismatch;
        v.mismatch = *bad;
        v.found = bad->index < reply.size() ? reply[bad->index] : std::uint8_t{0};
        return v;
    }
    if (form.blocksize == 0) {
        v.found = ackflagindex < reply.size() ? reply[ackflagindex] : std::uint8_t{0};
        v.kind = v.found == ackaccepted ? Verdict::Kind::accepted : Verdict::Kind::refused;
        return v;
    }
    v.extraction = extractblock(reply, form.blocksize);
    if (v.extraction.result != Extraction::Result::closed) {
        v.kind = Verdict::Kind::block;
        return v;
    }
    v.decoding = form.model == FramedModel::neopost ? parseneopost(v.extraction.block)
                                                    : parsehighspeed(v.extraction.block);
    if (!v.decoding.ok()) {
        v.kind = Verdict::Kind::decoding;
        return v;
    }
    v.kind = Verdict::Kind::record;
    v.record = v.decoding.record;
    return v;
}

namespace {

void append(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

void appendcheck(Bytes& out) {
    const auto check = checkchars(out);
    out.insert(out.end(), check.begin(), check.end());
}

// A neopost reply: SOH, station "0001", the length of the summed part in the two-character
// form of the checksum, the reply code, the sequence character of the command, the data block,
// and the checksum characters over everything before them.
Bytes neopostreply(const char* code, std::uint8_t seq, std::string_view data) {
    const std::size_t summed = 11 + data.size() + 1;
    // Laid out as text first, in one piece: GCC 12 at -O2 sees false overflows in a vector
    // grown a byte at a time.
    std::string text{static_cast<char>(ascii::soh),
                     '0',
                     '0',
                     '0',
                     '1',
                     static_cast<char>(0x30 + summed / 16 % 16),
                     static_cast<char>(0x30 + summed % 16)};
    text += code;
    text += static_cast<char>(seq);
    text += static_cast<char>(ascii::stx);
    text += data;
    text += static_cast<char>(ascii::etx);
    Bytes out(text.begin(), text.end());
    appendcheck(out);
    return out;
}

// The data characters of a register reply, each field at its place and zeros elsewhere.
std::string datafor(const RegisterValues& values, std::span<const FieldCut, 5> cuts,
                    std::size_t size) {
    std::string data(size, '0');
    for (std::size_t i = 0; i < cuts.size(); ++i)
        data.replace(cuts[i].first - 1, cuts[i].length, lastdigits(values[i], cuts[i].length));
    return data;
}

} // namespace

Bytes buildacknowledgement(std::uint8_t seqchar) {
    // Byte 15 (the fifth data character) is '1': command accepted.
    return neopostreply("06", seqchar, "0000100000");
}

Bytes buildneopostreply(const RegisterValues& values, std::uint8_t seqchar) {
    return neopostreply("05", seqchar, datafor(values, neopostfields, neopostblock - 2));
}

Bytes buildhighspeedreply(const RegisterValues& values, std::uint8_t seqchar) {
    Bytes out{ascii::soh, '1', '4', '1', '3', seqchar, ascii::stx};
    append(out, datafor(values, highspeedfields, highspeedblock - 2));
    out.push_back(ascii::etx);
    out.insert(out.end(), 8, '0');
    appendcheck(out);
    out.push_back(ascii::eot);
    return out;
}

} // namespace meter
