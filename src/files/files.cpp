// SPDX-License-Identifier: GPL-3.0-or-later
// What the file operations of every system share.
#include "files/files.h"

namespace meter::files {

Reason makefolders(const std::string& path) {
    if (path.empty() || kindof(path) == Kind::folder) return {};
    const std::string up = folderof(path);
    if (!up.empty() && up != path)
        if (Reason why = makefolders(up)) return why;
    return makefolder(path);
}

} // namespace meter::files
