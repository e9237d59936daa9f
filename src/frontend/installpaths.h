// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the reader's private files are: the vendor library and the helper programs it starts.
// They are always loaded by full path, never through a search path, so that a library planted
// in the working directory is never picked up.
#include <string>
#include <string_view>
#include <vector>

namespace meter {

// Paths are UTF-8.

// The absolute folder of the running executable; empty where the system does not tell.
std::string executabledir();

// The places a private file may be, in the order they are tried: next to the executable (the
// build tree, a portable folder), then ../lib/meterreader beside it (installed under a prefix
// such as /usr). On Windows only the executable's own folder, where the installer and the
// portable folder both put them.
std::vector<std::string> privatefilecandidates(std::string_view name);

// The first of those places where the file exists; empty when there is none.
std::string findprivatefile(std::string_view name);

// The places a document shipped with the programs (README.md) may be, in the order they are
// tried: next to the executable (the build tree, a portable folder, a Windows installation),
// then ../share/doc/meterreader beside it (installed under a prefix such as /usr).
std::vector<std::string> documentcandidates(std::string_view name);

} // namespace meter
