#include "core/machinetypes.h"

namespace meter {

const std::vector<MachineType>& machinetypes() {
    static const std::vector<MachineType> list{
        {"pitneybows 950", 21}, {"pitneybows spark", 22}, {"高速机", 31},      {"neopost", 11},
        {"copote", 51},         {"5400(4表头)", 12},      {"5400(5表头)", 13},
    };
    return list;
}

std::int16_t codefor(std::string_view text) {
    for (const auto& t : machinetypes())
        if (text == t.text) return t.code;
    return 0;
}

std::string textfor(std::int16_t code) {
    for (const auto& t : machinetypes())
        if (t.code == code) return t.text;
    return {};
}

} // namespace meter
