// The meter side of the framed family: the neopost (type 11), which acknowledges command 5 and
// answers command 2 with its registers, and the high-speed machine (type 31), which answers its
// one command with its registers. Command frames are taken only when every byte is right,
// sequence and checksum characters included; a wrong frame gets no answer.
#include "core/digits.h"
#include "core/hexecho.h"
#include "protocols/framed/framed.h"
#include "sim/families/families.h"

#include <algorithm>
#include <optional>

namespace meter::sim {

namespace {

struct Command {
    std::int16_t type;
    std::int16_t command;
    const char* note;
};
constexpr Command commands[] = {
    {11, 5, "neopost command 5"},
    {11, 2, "neopost command 2 (registers)"},
    {31, 0, "高速机 command (registers)"},
};

// The frame header that names the family: SOH and the four station characters.
constexpr std::size_t headerlength = 5;

void append(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

void appendcheck(Bytes& out) {
    const auto check = checkchars(out);
    out.insert(out.end(), check.begin(), check.end());
}

// A type-11 reply: SOH, station "0001", the length of the summed part in the two-character
// form of the checksum, the reply code, the sequence character of the command, the data block,
// and the checksum characters over everything before them.
Bytes neopostreply(const char* code, std::uint8_t seq, const std::string& data) {
    Bytes out{framedsoh, '0', '0', '0', '1'};
    const std::size_t summed = 11 + data.size() + 1;
    out.push_back(static_cast<std::uint8_t>(0x30 + summed / 16 % 16));
    out.push_back(static_cast<std::uint8_t>(0x30 + summed % 16));
    append(out, code);
    out.push_back(seq);
    out.push_back(framedstx);
    append(out, data);
    out.push_back(framedetx);
    appendcheck(out);
    return out;
}

// The data characters of a register reply, each field at its place and zeros elsewhere.
std::string datafor(const Registers& r, std::span<const FieldCut, 5> cuts, std::size_t size) {
    const std::string* values[5] = {&r.total, &r.used, &r.unused, &r.pieces, &r.head};
    // The neopost keeps ten-digit postage registers, so a larger value loses its two leading
    // digits.
    std::string data(size, '0');
    for (std::size_t i = 0; i < cuts.size(); ++i)
        data.replace(cuts[i].first - 1, cuts[i].length, lastdigits(*values[i], cuts[i].length));
    return data;
}

Bytes acknowledgement(std::uint8_t seq) {
    // Byte 15 (the fifth data character) is '1': command accepted.
    return neopostreply("06", seq, "0000100000");
}

Bytes neopostregisters(const Registers& r, std::uint8_t seq) {
    return neopostreply("05", seq, datafor(r, neopostcuts(), neopostblock - 2));
}

Bytes highspeedregisters(const Registers& r, std::uint8_t seq) {
    Bytes out{framedsoh, '1', '4', '1', '3', seq, framedstx};
    append(out, datafor(r, highspeedcuts(), highspeedblock - 2));
    out.push_back(framedetx);
    out.insert(out.end(), 8, '0');
    appendcheck(out);
    out.push_back(framedeot);
    return out;
}

class Framed : public Family {
  public:
    const char* name() const override { return "framed"; }
    bool plays(std::int16_t code) const override { return code == 11 || code == 31; }

    Take take(ByteView input, const Registers& registers, std::int16_t code) override {
        bool waiting = false;
        std::size_t furthest = 0; // the longest prefix any frame agrees with
        for (const Command& c : commands) {
            if (code != 0 && code != c.type) continue;
            const auto layout = *commandlayout(c.type, c.command);
            const Bytes model = buildcommand(c.type, c.command, '0');
            const std::size_t n = std::min(input.size(), layout.length);
            std::optional<std::size_t> differs;
            for (std::size_t i = 0; i < n && !differs; ++i) {
                const bool variable =
                    i == layout.seqindex || i == layout.checkindex || i == layout.checkindex + 1;
                if (!variable && input[i] != model[i]) differs = i;
            }
            if (differs) {
                furthest = std::max(furthest, *differs);
                continue;
            }
            if (n < layout.length) {
                waiting = true;
                continue;
            }
            return complete(c, layout, input.first(layout.length), registers);
        }
        if (waiting) return Take::more();
        if (furthest >= headerlength)
            return Take::reject(furthest,
                                "unknown command frame" + hexecho(input.first(furthest + 1)));
        return Take::none();
    }

  private:
    static Take complete(const Command& c, const CommandLayout& layout, ByteView frame,
                         const Registers& registers) {
        const std::uint8_t seq = frame[layout.seqindex];
        if (seq < '0' || seq > '9')
            return Take::reject(layout.length, std::string(c.note) + ": sequence character " +
                                                   hex2(seq) + " is not a digit");
        const auto check = checkchars(frame.first(layout.checkindex));
        if (frame[layout.checkindex] != check[0] || frame[layout.checkindex + 1] != check[1])
            return Take::reject(layout.length, std::string(c.note) + ": checksum characters" +
                                                   hexecho(frame.subspan(layout.checkindex, 2)) +
                                                   ", not" + hexecho(ByteView(check)));
        const std::string note = std::string(c.note) + ", sequence " + static_cast<char>(seq);
        if (c.type == 31)
            return Take::request(layout.length, highspeedregisters(registers, seq), note);
        if (c.command == 5) return Take::request(layout.length, acknowledgement(seq), note);
        return Take::request(layout.length, neopostregisters(registers, seq), note);
    }
};

} // namespace

std::unique_ptr<Family> familyframed() {
    return std::make_unique<Framed>();
}

} // namespace meter::sim
