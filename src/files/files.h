// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file operations the program's own files need (the journal, captures, saved readings,
// reports), declared once; posixfiles.cpp and win32files.cpp carry them out. Paths are UTF-8 (on
// Windows they reach the system as UTF-16). A failure comes back as our own reason naming its
// cause (folder missing, permission, disk full...), the system's text only for a cause we have
// no words for.
#include "core/reason.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace meter::files {

// What stands at a path (links followed).
enum class Kind { missing, regular, folder, other };
Kind kindof(const std::string& path);

// Up to `limit` of the first bytes of the regular file at `path` into `out`. Returns the cause
// when it cannot be read (also when it is no regular file); none when it was.
Reason readstart(const std::string& path, std::size_t limit, std::string& out);

// Writes `text` as the whole file at `path`: into a new file beside it, which then takes the
// path's place, so that the path holds either the old file or all of the new one. What stands
// at the path is replaced only when it is a regular file that may be written (a file marked
// read-only stays); a folder, a device or a pipe never is. A link is followed: the file it
// names is replaced and the link stays. Returns the cause of a failure; none on success.
Reason replace(const std::string& path, std::string_view text);

// Creates the folder `path` with those above it that are missing. Returns the cause of a
// failure; none when the folder is there afterwards.
Reason makefolders(const std::string& path);
// Creates the one folder `path`, the folder above it being there; none when it is there
// afterwards.
Reason makefolder(const std::string& path);

// The folder part of `path` ("" for a bare file name).
std::string folderof(const std::string& path);

// Appends to the regular file at `path`, creating it when it is missing. Under an exclusive
// lock, `decide` gets the file's first bytes (at most `look` of them) and returns what to
// append, or nullopt to leave the file as it is. The text goes out in one write to a file
// opened for appending, so that appends of programs writing at once never interleave. Returns
// the cause of a failure; `opened` says whether it came before the file was open.
struct AppendResult {
    Reason cause;        // none on success
    bool opened = false; // the file was open (the cause is one of reading or writing)
    bool declined = false; // `decide` returned nullopt: nothing was written
};
AppendResult append(const std::string& path, std::size_t look,
                    const std::function<std::optional<std::string>(std::string_view)>& decide);

} // namespace meter::files
