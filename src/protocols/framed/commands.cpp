// SPDX-License-Identifier: GPL-3.0-or-later
// The three command frames of the framed family and their checksum characters.
#include "core/hexecho.h"
#include "protocols/framed/framed.h"

#include <algorithm>

namespace meter {

namespace {

// Every frame: the constant bytes with placeholders for the sequence character and the two
// checksum characters, which are filled in last.
Bytes neopostcommand5() {
    Bytes f{ascii::soh, '0', '0', '0', '1', '5', '>', '0', '5', 0, ascii::stx};
    f.insert(f.end(), 80, '0');
    f.insert(f.end(), {'2', '0', ascii::etx, 0, 0, 0x0D, 0x0A});
    return f;
}

Bytes neopostcommand2() {
    return {ascii::soh, '0',        '0', '0',        '1', '0', '=',  '0', '2',
            0,          ascii::stx, ' ', ascii::etx, 0,   0,   0x0D, 0x0A};
}

Bytes highspeedcommand() {
    Bytes f{ascii::soh, '1', '4', '0', '3', 0, ascii::stx, '1', ascii::etx};
    f.insert(f.end(), 8, '0');
    f.insert(f.end(), {0, 0, ascii::eot});
    return f;
}

} // namespace

bool hascommand(FramedModel model, std::int16_t command) {
    return commandlayout(model, command).has_value();
}

std::optional<CommandLayout> commandlayout(FramedModel model, std::int16_t command) {
    // Length, sequence character and first checksum character of each frame: the neopost's
    // command 5 carries its 80 data characters, command 2 a single space; the high-speed
    // machine's frame holds its station, the command flag and eight zeros.
    constexpr CommandLayout neopostopenframe{98, 9, 94};
    constexpr CommandLayout neopostregistersframe{17, 9, 13};
    constexpr CommandLayout highspeedframe{20, 5, 17};
    if (model == FramedModel::highspeed) return highspeedframe;
    if (command == neopostopen) return neopostopenframe;
    if (command == neopostregisters) return neopostregistersframe;
    return std::nullopt;
}

std::array<std::uint8_t, 2> checkchars(ByteView summed) {
    unsigned sum = 0;
    for (std::uint8_t b : summed)
        sum += b;
    const unsigned b = sum % 256;
    return {static_cast<std::uint8_t>(0x30 + b / 16), static_cast<std::uint8_t>(0x30 + b % 16)};
}

Bytes buildcommand(FramedModel model, std::int16_t command, std::uint8_t seqchar) {
    const auto layout = commandlayout(model, command);
    if (!layout) return {};
    Bytes frame = model == FramedModel::highspeed ? highspeedcommand()
                  : command == neopostopen        ? neopostcommand5()
                                                  : neopostcommand2();
    frame[layout->seqindex] = seqchar;
    const auto check = checkchars(ByteView(frame).first(layout->checkindex));
    frame[layout->checkindex] = check[0];
    frame[layout->checkindex + 1] = check[1];
    return frame;
}

std::uint8_t nextseqchar(std::uint8_t value) {
    // Counted in a wider type, so that 0xFF steps past '9' like any other byte above it.
    const unsigned next = value + 1u;
    return next > 0x39 ? std::uint8_t{0x30} : static_cast<std::uint8_t>(next);
}

namespace {

struct Command {
    FramedModel model;
    std::int16_t command;
    const char* note;
};
constexpr Command commands[] = {
    {FramedModel::neopost, neopostopen, "neopost command 5"},
    {FramedModel::neopost, neopostregisters, "neopost command 2 (registers)"},
    {FramedModel::highspeed, highspeedregisters, "高速机 command (registers)"},
};

// The frame header that names the family: SOH and the four station characters.
constexpr std::size_t headerlength = 5;

FramedTaken complete(const Command& c, const CommandLayout& layout, ByteView frame) {
    using Kind = FramedTaken::Kind;
    const std::uint8_t seq = frame[layout.seqindex];
    FramedTaken t{Kind::rejected, layout.length, c.model, c.command, seq, c.note, {}};
    if (seq < '0' || seq > '9') {
        t.reason = std::string(c.note) + ": sequence character " + hexpair(seq) + " is not a digit";
        return t;
    }
    const auto check = checkchars(frame.first(layout.checkindex));
    if (frame[layout.checkindex] != check[0] || frame[layout.checkindex + 1] != check[1]) {
        t.reason = std::string(c.note) + ": checksum characters" +
                   hexecho(frame.subspan(layout.checkindex, 2)) + ", not" +
                   hexecho(ByteView(check));
        return t;
    }
    t.kind = Kind::request;
    t.note += std::string(", sequence ") + static_cast<char>(seq);
    return t;
}

} // namespace

FramedTaken takecommand(ByteView input, std::optional<FramedModel> model) {
    using Kind = FramedTaken::Kind;
    bool waiting = false;
    std::size_t furthest = 0; // the longest prefix any frame agrees with
    for (const Command& c : commands) {
        if (model && *model != c.model) continue;
        const auto layout = *commandlayout(c.model, c.command);
        const Bytes frame = buildcommand(c.model, c.command, '0');
        const std::size_t n = std::min(input.size(), layout.length);
        std::optional<std::size_t> differs;
        for (std::size_t i = 0; i < n && !differs; ++i) {
            const bool variable =
                i == layout.seqindex || i == layout.checkindex || i == layout.checkindex + 1;
            if (!variable && input[i] != frame[i]) differs = i;
        }
        if (differs) {
            furthest = std::max(furthest, *differs);
            continue;
        }
        if (n < layout.length) {
            waiting = true;
            continue;
        }
        return complete(c, layout, input.first(layout.length));
    }
    FramedTaken t;
    if (waiting) {
        t.kind = Kind::needmore;
    } else if (furthest >= headerlength) {
        t.kind = Kind::rejected;
        t.consumed = furthest;
        t.reason = "unknown command frame" + hexecho(input.first(furthest + 1));
    }
    return t;
}

} // namespace meter
