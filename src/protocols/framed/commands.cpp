// The three command frames of the framed family and their checksum characters.
#include "protocols/framed/framed.h"

namespace meter {

namespace {

// Every frame: the constant bytes with placeholders for the sequence character and the two
// checksum characters, which are filled in last.
Bytes neopostcommand5() {
    Bytes f{framedsoh, '0', '0', '0', '1', '5', '>', '0', '5', 0, framedstx};
    f.insert(f.end(), 80, '0');
    f.insert(f.end(), {'2', '0', framedetx, 0, 0, 0x0D, 0x0A});
    return f;
}

Bytes neopostcommand2() {
    return {framedsoh, '0',       '0', '0',       '1', '0', '=',  '0', '2',
            0,         framedstx, ' ', framedetx, 0,   0,   0x0D, 0x0A};
}

Bytes highspeedcommand() {
    Bytes f{framedsoh, '1', '4', '0', '3', 0, framedstx, '1', framedetx};
    f.insert(f.end(), 8, '0');
    f.insert(f.end(), {0, 0, framedeot});
    return f;
}

} // namespace

bool hascommand(std::int16_t type, std::int16_t command) {
    return commandlayout(type, command).has_value();
}

std::optional<CommandLayout> commandlayout(std::int16_t type, std::int16_t command) {
    if (type == 11 && command == 5) return CommandLayout{98, 9, 94};
    if (type == 11 && command == 2) return CommandLayout{17, 9, 13};
    if (type == 31) return CommandLayout{20, 5, 17};
    return std::nullopt;
}

std::array<std::uint8_t, 2> checkchars(ByteView summed) {
    unsigned sum = 0;
    for (std::uint8_t b : summed)
        sum += b;
    const unsigned b = sum % 256;
    return {static_cast<std::uint8_t>(0x30 + b / 16), static_cast<std::uint8_t>(0x30 + b % 16)};
}

Bytes buildcommand(std::int16_t type, std::int16_t command, std::uint8_t seqchar) {
    const auto layout = commandlayout(type, command);
    if (!layout) return {};
    Bytes frame = type == 31     ? highspeedcommand()
                  : command == 5 ? neopostcommand5()
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

} // namespace meter
