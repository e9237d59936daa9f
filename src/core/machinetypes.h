#pragma once
// The machine type list as the operator sees it, and its codes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace meter {

struct MachineType {
    const char* text; // the list text, exactly as shown
    std::int16_t code;
};

// In list order; the first is the default.
const std::vector<MachineType>& machinetypes();

// Exact, case-sensitive match of the list text; 0 for a text that names no type.
std::int16_t codefor(std::string_view text);
// The list text of a code; empty for a code not in the list.
std::string textfor(std::int16_t code);

} // namespace meter
