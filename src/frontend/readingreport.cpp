// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingreport.h"

#include "core/utf8text.h"
#include "frontend/recordview.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

#ifdef _WIN32
#include "core/win32text.h"

#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace meter {

namespace {

constexpr std::string_view byteordermark = "\xEF\xBB\xBF";

// A record or a reason may carry any byte the meter or the vendor library produced.
std::string utf8(std::string_view in) {
    return wellformedutf8(in);
}

// A quoted CSV field. A text a spreadsheet would take for a formula (a record or a reason
// beginning with "=", say) gets a leading apostrophe, so that opening the file runs nothing.
std::string field(std::string_view text, bool guard = true) {
    std::string s = utf8(text);
    if (guard && !s.empty() && std::strchr("=+-@\t\r", s.front()) != nullptr) s.insert(0, 1, '\'');
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

const char* const columns[] = {"time",   "port",   "device", "type",     "code",       "total",
                               "used",   "unused", "pieces", "head",     "record",     "end",
                               "status", "reason", "sent",   "received", "reason_code"};
// The columns of a journal begun before reason_code.
constexpr std::size_t oldcolumns = std::size(columns) - 1;

// The fields as a row, the last one left out for a journal of the old columns.
std::string joinrow(const std::array<std::string, std::size(columns)>& fields,
                    bool withcode = true) {
    std::string row;
    for (std::size_t i = 0; i < (withcode ? fields.size() : oldcolumns); ++i) {
        if (!row.empty()) row += ',';
        row += fields[i];
    }
    return row + "\r\n";
}

std::string header(bool withcode) {
    std::array<std::string, std::size(columns)> names;
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = field(columns[i], false);
    return joinrow(names, withcode);
}

std::string row(const ReadingReport& r, bool withcode) {
    const RecordFields f = cutrecord(r.record);
    return joinrow({field(r.time), field(std::to_string(r.port), false), field(r.devicetext()),
                    field(r.typetext), field(std::to_string(r.code), false), field(f.total),
                    field(f.used), field(f.unused), field(f.pieces), field(f.head), field(r.record),
                    field(r.normal ? "normal" : "failure"), field(r.status()), field(r.reason),
                    field(r.sent), field(r.received), field(r.reasoncode, false)},
                   withcode);
}

std::filesystem::path pathof(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// What a journal's first bytes say it is.
enum class Journal { empty, ours, old, notours };

// The longest beginning judge() needs to see.
std::size_t judgedlength() {
    return byteordermark.size() + std::max(header(true).size(), header(false).size());
}

// A journal is ours when it begins, after its byte order mark, with our header or with that of
// the columns before reason_code; anything else was written by someone else.
Journal judge(std::string_view start) {
    if (start.empty()) return Journal::empty;
    if (start.substr(0, byteordermark.size()) == byteordermark)
        start.remove_prefix(byteordermark.size());
    const auto beginswith = [start](const std::string& head) {
        return start.substr(0, head.size()) == head;
    };
    if (beginswith(header(true))) return Journal::ours;
    if (beginswith(header(false))) return Journal::old;
    return Journal::notours;
}

#ifdef _WIN32
// Windows' error `error` in the same words as elsewhere where it names a cause a technician can
// mend; the path is the file that could not be opened. Windows says "path not found" both for a
// folder that is not there and for a file standing where a folder should be, and "access
// denied" for a folder opened as a file: the path itself tells them apart.
Reason fileerror(DWORD error, const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = pathof(path);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
        // The nearest part of the path that is there.
        for (std::filesystem::path up = p.parent_path(); !up.empty() && up != up.parent_path();
             up = up.parent_path())
            if (std::filesystem::exists(up, ec))
                return std::filesystem::is_directory(up, ec)
                           ? Reason(ReasonCode::file_folder_missing)
                           : Reason(ReasonCode::file_path_not_folder);
        return Reason(ReasonCode::file_folder_missing);
    case ERROR_ACCESS_DENIED:
        return std::filesystem::is_directory(p, ec) ? Reason(ReasonCode::file_is_folder)
                                                    : Reason(ReasonCode::file_permission_denied);
    case ERROR_WRITE_PROTECT:
        return Reason(ReasonCode::file_read_only);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return Reason(ReasonCode::file_disk_full);
    default:
        return win32error(error);
    }
}
#else
// The system's error `error` in our words where it names a cause a technician can mend; the
// path is the file that could not be opened.
Reason fileerror(int error, const std::string& path) {
    switch (error) {
    case ENOENT: {
        // With its folder there, the folder takes no new files (/proc, say).
        std::error_code ec;
        return std::filesystem::is_directory(pathof(path).parent_path().empty()
                                                 ? std::filesystem::path(".")
                                                 : pathof(path).parent_path(),
                                             ec)
                   ? Reason(ReasonCode::file_cannot_create)
                   : Reason(ReasonCode::file_folder_missing);
    }
    case ENOTDIR:
        return Reason(ReasonCode::file_path_not_folder);
    case EISDIR:
        return Reason(ReasonCode::file_is_folder);
    case EACCES:
    case EPERM:
        return Reason(ReasonCode::file_permission_denied);
    case EROFS:
        return Reason(ReasonCode::file_read_only);
    case ENOSPC:
    case EDQUOT:
        return Reason(ReasonCode::file_disk_full);
    default:
        return Reason(ReasonCode::system_message_code, std::strerror(error), error);
    }
}
#endif

} // namespace

std::string ReadingReport::status() const {
    if (!normal) return "failed";
    return reason.empty() ? "read" : "nodata";
}

std::string localtimestamp(std::time_t when) {
    std::tm local{};
    std::tm utc{};
#ifdef _WIN32
    localtime_s(&local, &when);
    gmtime_s(&utc, &when);
#else
    localtime_r(&when, &local);
    gmtime_r(&when, &utc);
#endif
    std::array<char, 40> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S", &local);
    // The offset from the two broken-down times rather than strftime's %z, which some C
    // runtimes (Windows' msvcrt) give as the zone's name. They are at most a day apart.
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
    const long seconds = days * 86400L + (local.tm_hour - utc.tm_hour) * 3600L +
                         (local.tm_min - utc.tm_min) * 60L + (local.tm_sec - utc.tm_sec);
    const long minutes = (seconds < 0 ? -seconds : seconds) / 60;
    std::array<char, 8> offset{};
    std::snprintf(offset.data(), offset.size(), "%c%02ld:%02ld", seconds < 0 ? '-' : '+',
                  minutes / 60 % 100, minutes % 60);
    return std::string(text.data()) + offset.data();
}

std::string csvheader() {
    return header(true);
}

std::string csvrow(const ReadingReport& r) {
    return row(r, true);
}

std::string csvfile(const ReadingReport& r) {
    return std::string(byteordermark) + csvheader() + csvrow(r);
}

std::string jsontext(const ReadingReport& r) {
    const RecordFields f = cutrecord(r.record);
    const nlohmann::ordered_json j = {
        {"time", utf8(r.time)},
        {"port", r.port},
        {"device", utf8(r.devicetext())},
        {"type", utf8(r.typetext)},
        {"code", r.code},
        {"total", utf8(f.total)},
        {"used", utf8(f.used)},
        {"unused", utf8(f.unused)},
        {"pieces", utf8(f.pieces)},
        {"head", utf8(f.head)},
        {"record", utf8(r.record)},
        {"end", r.normal ? "normal" : "failure"},
        {"status", r.status()},
        {"reason", utf8(r.reason)},
        {"reason_code", utf8(r.reasoncode)},
        {"sent", utf8(r.sent)},
        {"received", utf8(r.received)},
    };
    return j.dump(2) + "\n";
}

Reason writefile(const std::string& path, const std::string& text) {
    std::ofstream out(pathof(path), std::ios::binary | std::ios::trunc);
    if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (out) out.close();
    if (!out) return Reason(ReasonCode::file_not_written, path);
    return {};
}

Reason appendjournal(const std::string& path, const ReadingReport& r) {
    const std::string head = std::string(byteordermark) + csvheader();
    // What is there is judged under the lock, so that of programs appending at once only the
    // first writes the header; a journal begun with the old columns keeps them.
    const auto text = [&](std::string_view start) -> std::optional<std::string> {
        switch (judge(start)) {
        case Journal::empty:
            return head + row(r, true);
        case Journal::ours:
            return row(r, true);
        case Journal::old:
            return row(r, false);
        case Journal::notours:
            break;
        }
        return std::nullopt;
    };
    std::string start(judgedlength(), '\0');
#ifdef _WIN32
    // FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the end, whoever else
    // appends.
    HANDLE h = CreateFileW(widen(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Reason(ReasonCode::journal_not_opened_detail, path, fileerror(GetLastError(), path));
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return Reason(ReasonCode::journal_not_opened_detail, path,
                      Reason(ReasonCode::file_not_regular));
    }
    OVERLAPPED whole{};
    const bool locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
    Reason error;
    OVERLAPPED fromstart{};
    DWORD got = 0;
    if (!ReadFile(h, start.data(), static_cast<DWORD>(start.size()), &got, &fromstart) &&
        GetLastError() != ERROR_HANDLE_EOF) {
        error = Reason(ReasonCode::journal_not_opened_detail, path, win32error(GetLastError()));
    } else if (const auto out = text(std::string_view(start).substr(0, got)); !out) {
        error = Reason(ReasonCode::journal_not_ours, path);
    } else {
        DWORD written = 0;
        if (!WriteFile(h, out->data(), static_cast<DWORD>(out->size()), &written, nullptr) ||
            written != out->size())
            error = Reason(ReasonCode::journal_not_written_detail, path,
                           fileerror(GetLastError(), path));
    }
    if (locked) UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(h);
    return error;
#else
    // Not blocking on open: a device or a pipe named by mistake is refused, never waited for.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) return Reason(ReasonCode::journal_not_opened_detail, path, fileerror(errno, path));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Reason(ReasonCode::journal_not_opened_detail, path,
                      Reason(ReasonCode::file_not_regular));
    }
    // The lock only decides who writes the header of a new file; the row itself is one write
    // to a file opened for appending, whole even where the lock is not honoured.
    const bool locked = ::flock(fd, LOCK_EX) == 0;
    const auto failed = [&path] {
        return Reason(ReasonCode::journal_not_written_detail, path, fileerror(errno, path));
    };
    Reason error;
    // A file's size says nothing of some files (those of /proc show 0): its first bytes do.
    std::size_t got = 0;
    while (got < start.size()) {
        const ssize_t n =
            ::pread(fd, start.data() + got, start.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = failed();
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    const std::optional<std::string> out = text(std::string_view(start).substr(0, got));
    if (error.empty() && !out) error = Reason(ReasonCode::journal_not_ours, path);
    std::size_t done = 0;
    while (error.empty() && done < out->size()) {
        const ssize_t n = ::write(fd, out->data() + done, out->size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = failed();
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (locked) ::flock(fd, LOCK_UN);
    if (::close(fd) != 0 && error.empty()) error = failed();
    return error;
#endif
}

} // namespace meter
