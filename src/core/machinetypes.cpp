// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/machinetypes.h"

namespace meter {

namespace {
constexpr LineSettings line9600n81{9600, 'n', 8, 1};
constexpr LineSettings line9600n82{9600, 'n', 8, 2};
constexpr LineSettings line4800n81{4800, 'n', 8, 1};
} // namespace

std::int64_t MachineType::waitlimitms() const {
    if (retrylimit > 0) return std::int64_t{retrylimit} * 10 * pollms;
    return timeboundms;
}

const MachineTypes& machinetypes() {
    // text, code, family, line, echo, poll ms, retry limit, time bound ms, model
    static const MachineTypes list{
        {"pitneybows 950", 21, "pitney", line9600n82, 6, 100, 9, 0, ""},
        {"pitneybows spark", 22, "pitney", line9600n81, 6, 100, 5, 0, "ackeverypoll"},
        {"高速机", 31, "framed", line9600n81, 6, 800, 0, replytimebound, "highspeed"},
        {"neopost", 11, "framed", line9600n81, 6, 800, 0, replytimebound, "neopost"},
        {"copote", 51, "copote", std::nullopt, 6, 0, 0, 0, ""},
        {"5400(4表头)", 12, "5400", line4800n81, 10, 1000, 6, 0, ""},
        {"5400(5表头)", 13, "5400", line4800n81, 10, 1000, 6, 0, "tens"},
    };
    return list;
}

const MachineType* findtype(std::int16_t code, const MachineTypes& types) {
    for (const auto& t : types)
        if (t.code == code) return &t;
    return nullptr;
}

std::int16_t codefor(std::string_view text) {
    for (const auto& t : machinetypes())
        if (text == t.text) return t.code;
    return 0;
}

std::string textfor(std::int16_t code) {
    const MachineType* t = findtype(code);
    return t ? t->text : std::string();
}

} // namespace meter
