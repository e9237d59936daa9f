// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/keeping.h"

#include "files/files.h"
#include "frontend/journal.h"

#include <algorithm>
#include <cctype>

namespace meter {

namespace {

// Enough of a file's beginning to see its first line, a capture's header.
constexpr std::size_t headerlook = 64 * 1024;

bool endswithjson(const std::string& path) {
    constexpr std::string_view suffix = ".json";
    if (path.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), path.end() - suffix.size(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(b)) == a; });
}

Reason saved(const std::string& path, std::string_view text) {
    if (Reason why = files::replace(path, text))
        return Reason(ReasonCode::file_not_written_detail, path, std::move(why));
    return {};
}

} // namespace

Reason keepjournal(const std::string& path, const ReadingReport& report,
                   const std::string& ownplace) {
    if (!ownplace.empty() && path == ownplace)
        if (Reason why = files::makefolders(files::folderof(path)))
            return Reason(ReasonCode::journal_not_opened_detail, path, std::move(why));
    return appendjournal(path, report);
}

Reason keepcapture(const std::string& path, const Capture& capture, Replace replace) {
    if (replace == Replace::ownkind && files::kindof(path) == files::Kind::regular) {
        std::string start;
        if (Reason why = files::readstart(path, headerlook, start))
            return Reason(ReasonCode::capture_not_written, path, std::move(why));
        // An empty file holds nothing to lose.
        if (!start.empty() && !iscapture(start))
            return Reason(ReasonCode::capture_not_written, path,
                          Reason(ReasonCode::file_not_capture));
    }
    if (Reason why = files::replace(path, capturetext(capture)))
        return Reason(ReasonCode::capture_not_written, path, std::move(why));
    return {};
}

Reason savereading(const std::string& path, const ReadingReport& report) {
    return saved(path, endswithjson(path) ? jsontext(report) : csvfile(report));
}

Reason savereport(const std::string& path, std::string_view bytes) {
    return saved(path, bytes);
}

} // namespace meter
