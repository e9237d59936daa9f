// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingreport.h"

#include "frontend/recordview.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
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
constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD

// The text with every byte that is not part of well-formed UTF-8 replaced by U+FFFD: a record
// or a reason may carry any byte the meter or the vendor library produced.
std::string utf8(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const auto b = static_cast<unsigned char>(in[i]);
        std::size_t length = 0;
        unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (b < 0x80)
            length = 1;
        else if (b >= 0xC2 && b <= 0xDF)
            length = 2;
        else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F; // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        }
        bool ok = length != 0 && i + length <= in.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto c = static_cast<unsigned char>(in[i + k]);
            ok = k == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
        }
        if (ok) {
            out.append(in.substr(i, length));
            i += length;
        } else {
            out.append(replacement);
            ++i;
        }
    }
    return out;
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
    return joinrow({field(r.time), field(std::to_string(r.port), false), field(r.device),
                    field(r.typetext), field(std::to_string(r.code), false), field(f.total),
                    field(f.used), field(f.unused), field(f.pieces), field(f.head), field(r.record),
                    field(r.normal ? "normal" : "failure"), field(r.status()), field(r.reason),
                    field(r.sent), field(r.received), field(r.reasoncode, false)},
                   withcode);
}

std::filesystem::path pathof(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// Whether the journal at `path` begins with the header of the columns before reason_code.
bool oldjournal(const std::string& path) {
    const std::string old = std::string(byteordermark) + header(false);
    std::ifstream in(pathof(path), std::ios::binary);
    std::string start(old.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    return in && start == old;
}

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
        {"device", utf8(r.device)},
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
    // Only a journal's first row writes its header: one begun with the old columns keeps them.
    const std::string line = row(r, !oldjournal(path));
    const std::string head = std::string(byteordermark) + csvheader();
#ifdef _WIN32
    // FILE_APPEND_DATA alone makes every write land at the end, whoever else appends.
    HANDLE h =
        CreateFileW(widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Reason(ReasonCode::journal_not_opened_detail, path, win32error(GetLastError()));
    OVERLAPPED whole{};
    const bool locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    const std::string text = size.QuadPart == 0 ? head + line : line;
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (locked) UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(h);
    if (!ok) return Reason(ReasonCode::journal_not_written_detail, path, win32error(error));
    return {};
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Reason(ReasonCode::journal_not_opened_detail, path,
                      Reason(ReasonCode::system_message, std::strerror(errno)));
    // The lock only decides who writes the header of a new file; the row itself is one write
    // to a file opened for appending, whole even where the lock is not honoured.
    const bool locked = ::flock(fd, LOCK_EX) == 0;
    struct stat st {};
    const bool empty = ::fstat(fd, &st) == 0 && st.st_size == 0;
    const std::string text = empty ? head + line : line;
    const auto failed = [&path] {
        return Reason(ReasonCode::journal_not_written_detail, path,
                      Reason(ReasonCode::system_message, std::strerror(errno)));
    };
    Reason error;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
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
