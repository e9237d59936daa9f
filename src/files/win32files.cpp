// SPDX-License-Identifier: GPL-3.0-or-later
// The file operations on Windows: paths reach the system as UTF-16.
#include "files/files.h"

#include "core/win32text.h"

#include <algorithm>
#include <atomic>
#include <string>

#include <windows.h>

namespace meter::files {

namespace {

DWORD attributes(const std::string& path) {
    return GetFileAttributesW(widen(path).c_str());
}

bool exists(const std::string& path) {
    return attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool isfolder(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Windows' error `error` in the same words as elsewhere where it names a cause a technician can
// mend; the path is the file that could not be opened. Windows says "path not found" both for a
// folder that is not there and for a file standing where a folder should be, and "access
// denied" for a folder opened as a file: the path itself tells them apart.
Reason cause(DWORD error, const std::string& path) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
        // The nearest part of the path that is there.
        for (std::string up = folderof(path); !up.empty() && up != folderof(up); up = folderof(up))
            if (exists(up))
                return isfolder(up) ? Reason(ReasonCode::file_folder_missing)
                                    : Reason(ReasonCode::file_path_not_folder);
        return Reason(ReasonCode::file_folder_missing);
    case ERROR_ACCESS_DENIED:
        return isfolder(path) ? Reason(ReasonCode::file_is_folder)
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

// Writes all of `text` to `h`; ERROR_SUCCESS or the error.
DWORD writeall(HANDLE h, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, text.data() + done, chunk, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return ERROR_SUCCESS;
}

// What a handle open on `path` is: a file on a disk, or something else (a device, a pipe).
Kind kindofhandle(HANDLE h) {
    return GetFileType(h) == FILE_TYPE_DISK ? Kind::regular : Kind::other;
}

} // namespace

std::string folderof(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return {};
    // The root of a drive or of the path keeps its separator ("C:\", "\").
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

Kind kindof(const std::string& path) {
    const DWORD a = attributes(path);
    if (a == INVALID_FILE_ATTRIBUTES) return Kind::missing;
    if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) return Kind::folder;
    // A device (COM1, NUL, a pipe) answers to attributes too: only a handle tells.
    HANDLE h = CreateFileW(widen(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Kind::other;
    const Kind kind = kindofhandle(h);
    CloseHandle(h);
    return kind;
}

Reason readstart(const std::string& path, std::size_t limit, std::string& out) {
    switch (kindof(path)) {
    case Kind::folder:
        return Reason(ReasonCode::file_is_folder);
    case Kind::other:
        return Reason(ReasonCode::file_not_regular);
    default:
        break;
    }
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return cause(GetLastError(), path);
    // Read in pieces: the limit may be far above what the file holds.
    out.clear();
    std::string piece(64 * 1024, '\0');
    Reason why;
    while (out.size() < limit) {
        DWORD n = 0;
        const auto want = static_cast<DWORD>(std::min(piece.size(), limit - out.size()));
        if (!ReadFile(h, piece.data(), want, &n, nullptr)) {
            why = cause(GetLastError(), path);
            break;
        }
        if (n == 0) break;
        out.append(piece.data(), n);
    }
    CloseHandle(h);
    return why;
}

Reason replace(const std::string& path, std::string_view text) {
    switch (kindof(path)) {
    case Kind::folder:
        return Reason(ReasonCode::file_is_folder);
    case Kind::other:
        return Reason(ReasonCode::file_not_regular);
    case Kind::regular:
        if ((attributes(path) & FILE_ATTRIBUTE_READONLY) != 0)
            return Reason(ReasonCode::file_marked_read_only);
        break;
    case Kind::missing:
        break;
    }
    static std::atomic<unsigned> serial{0};
    const std::string temp = path + "." + std::to_string(GetCurrentProcessId()) + "." +
                             std::to_string(serial++) + ".part";
    const std::wstring wtemp = widen(temp);
    HANDLE h = CreateFileW(wtemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return cause(GetLastError(), path);
    DWORD error = writeall(h, text);
    if (error == ERROR_SUCCESS && !FlushFileBuffers(h)) error = GetLastError();
    CloseHandle(h);
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(wtemp.c_str(), widen(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(wtemp.c_str());
        return cause(error, path);
    }
    return {};
}

Reason makefolder(const std::string& path) {
    if (!CreateDirectoryW(widen(path).c_str(), nullptr)) {
        const DWORD error = GetLastError();
        if (!(error == ERROR_ALREADY_EXISTS && isfolder(path))) return cause(error, path);
    }
    return {};
}

AppendResult append(const std::string& path, std::size_t look,
                    const std::function<std::optional<std::string>(std::string_view)>& decide) {
    AppendResult result;
    // FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the end, whoever else
    // appends.
    HANDLE h = CreateFileW(widen(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        result.cause = cause(GetLastError(), path);
        return result;
    }
    if (kindofhandle(h) != Kind::regular) {
        CloseHandle(h);
        result.cause = Reason(ReasonCode::file_not_regular);
        return result;
    }
    result.opened = true;
    OVERLAPPED whole{};
    const bool locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
    std::string first(look, '\0');
    OVERLAPPED fromstart{};
    DWORD got = 0;
    if (!ReadFile(h, first.data(), static_cast<DWORD>(first.size()), &got, &fromstart) &&
        GetLastError() != ERROR_HANDLE_EOF) {
        result.cause = cause(GetLastError(), path);
    } else if (const auto text = decide(std::string_view(first).substr(0, got)); !text) {
        result.declined = true;
    } else if (const DWORD error = writeall(h, *text); error != ERROR_SUCCESS) {
        result.cause = cause(error, path);
    }
    if (locked) UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(h);
    return result;
}

} // namespace meter::files
