#pragma once
// The programs' command lines, parsed with CLI11; what cannot be taken is told in one line.
#include <CLI/CLI.hpp>

#include <string>

namespace meter {

// Parses the command line into `app`. Returns why it cannot be taken (an option without its
// value, an option not known, ...), pointing to --help; empty when it was taken.
inline std::string parsecommandline(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ArgumentMismatch& e) {
        const std::string what = e.what();
        return what.substr(0, what.find(':')) + " needs a value (see --help)";
    } catch (const CLI::ParseError& e) {
        return std::string(e.what()) + " (see --help)";
    }
    if (!app.remaining().empty())
        return "unknown option " + app.remaining().front() + " (see --help)";
    return {};
}

} // namespace meter
