// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeping a finished reading: the journal row, the capture, a saved CSV or JSON file and the
// report's PDF, for both front ends, under one set of rules. A file of the user's is never lost:
// nothing but a regular file is ever replaced (never a folder, a device or a pipe, nor a file
// marked read-only), every file is written whole (a new file beside it, then renamed), and a
// failure names its cause in the same words for every kind of file. Every function returns why
// it could not keep the reading; none when it did.
#include "capture/capture.h"
#include "core/reason.h"
#include "frontend/readingreport.h"

#include <string>
#include <string_view>

namespace meter {

// Who stands behind a request to write a file, and so what may be replaced at its path.
enum class Replace {
    // The operator was asked (the window's save dialogs ask before replacing a file): any
    // regular file.
    asked,
    // No one was asked (a path on the command line): only a file of the same kind this program
    // wrote, so that a mistyped path costs no one's file.
    ownkind,
};

// Appends the reading to the journal at `path` (see appendjournal). The folder is created only
// when `path` is `ownplace`, the program's own default journal; a folder the user named must
// be there already.
Reason keepjournal(const std::string& path, const ReadingReport& report,
                   const std::string& ownplace = {});

// Writes the capture to `path`.
Reason keepcapture(const std::string& path, const Capture& capture, Replace replace);

// Saves the reading at `path`: JSON for a name ending in ".json" (any case), else CSV. The
// operator has been asked.
Reason savereading(const std::string& path, const ReadingReport& report);

// Writes a report's bytes (a PDF) to `path`. The operator has been asked.
Reason savereport(const std::string& path, std::string_view bytes);

} // namespace meter
