// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The programs' command lines, parsed with CLI11; what cannot be taken is told in one line.
#include "core/reason.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace meter {

// Parses the command line (UTF-8, the program's name first) into `app`. Returns why it cannot be
// taken (an option without its value, an option not known, ...), pointing to --help; none when
// it was taken.
inline Reason parsecommandline(CLI::App& app, const std::vector<std::string>& arguments) {
    // CLI11 takes the arguments last first, without the program's name.
    std::vector<std::string> reversed;
    if (!arguments.empty()) reversed.assign(arguments.rbegin(), arguments.rend() - 1);
    try {
        app.parse(reversed);
    } catch (const CLI::ArgumentMismatch& e) {
        const std::string what = e.what();
        return Reason(ReasonCode::option_needs_value, what.substr(0, what.find(':')));
    } catch (const CLI::ParseError& e) {
        return Reason(ReasonCode::option_not_taken, std::string(e.what()));
    }
    if (!app.remaining().empty())
        return Reason(ReasonCode::option_unknown, app.remaining().front());
    return {};
}

inline Reason parsecommandline(CLI::App& app, int argc, char** argv) {
    return parsecommandline(app, std::vector<std::string>(argv, argv + argc));
}

} // namespace meter
