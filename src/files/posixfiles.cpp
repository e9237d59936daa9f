// SPDX-License-Identifier: GPL-3.0-or-later
// The file operations on POSIX systems.
#include "files/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace meter::files {

namespace {

// The folder part of `path`, "." for a bare file name.
std::string folder(const std::string& path) {
    const std::string f = folderof(path);
    return f.empty() ? std::string(".") : f;
}

bool isfolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The system's error `error` in our words where it names a cause a technician can mend; the
// path is the file that could not be opened or written.
Reason cause(int error, const std::string& path) {
    switch (error) {
    case ENOENT:
        // With its folder there, the folder takes no new files (/proc, say).
        return isfolder(folder(path)) ? Reason(ReasonCode::file_cannot_create)
                                      : Reason(ReasonCode::file_folder_missing);
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

// Writes all of `text` to `fd`; 0 or the error.
int writeall(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The file a link at `path` names, through any number of links; `path` itself when it is no
// link.
std::string target(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    return real ? std::string(real.get()) : path;
}

} // namespace

std::string folderof(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

Kind kindof(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Kind::missing;
    if (S_ISREG(st.st_mode)) return Kind::regular;
    if (S_ISDIR(st.st_mode)) return Kind::folder;
    return Kind::other;
}

Reason readstart(const std::string& path, std::size_t limit, std::string& out) {
    // Not blocking on open: a pipe named by mistake is never waited for.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return cause(errno, path);
    struct stat st {};
    Reason why;
    if (::fstat(fd, &st) != 0) {
        why = cause(errno, path);
    } else if (S_ISDIR(st.st_mode)) {
        why = Reason(ReasonCode::file_is_folder);
    } else if (!S_ISREG(st.st_mode)) {
        why = Reason(ReasonCode::file_not_regular);
    } else {
        // Read in pieces: the limit may be far above what the file holds.
        out.clear();
        std::string piece(64 * 1024, '\0');
        while (out.size() < limit) {
            const ssize_t n = ::read(fd, piece.data(), std::min(piece.size(), limit - out.size()));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) why = cause(errno, path);
            if (n <= 0) break;
            out.append(piece.data(), static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return why;
}

Reason replace(const std::string& given, std::string_view text) {
    const std::string path = target(given);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Reason(ReasonCode::file_is_folder);
        if (!S_ISREG(st.st_mode)) return Reason(ReasonCode::file_not_regular);
        // Renaming over a file needs only the folder's permission: the file's own is asked
        // here, so that a file the user protected stays (also for root, who may write anyway).
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return Reason(ReasonCode::file_marked_read_only);
        if (::access(path.c_str(), W_OK) != 0) return cause(errno, path);
    } else if (errno != ENOENT) {
        return cause(errno, path);
    }
    static std::atomic<unsigned> serial{0};
    const std::string temp = path + "." + std::to_string(::getpid()) + "." +
                             std::to_string(serial++) + ".part";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) return cause(errno, path);
    int error = writeall(fd, text);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return cause(error, path);
    }
    return {};
}

Reason makefolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0 && !(errno == EEXIST && isfolder(path)))
        return cause(errno, path);
    return {};
}

AppendResult append(const std::string& path, std::size_t look,
                    const std::function<std::optional<std::string>(std::string_view)>& decide) {
    AppendResult result;
    // Not blocking on open: a device or a pipe named by mistake is refused, never waited for.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) {
        result.cause = cause(errno, path);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.cause = Reason(ReasonCode::file_not_regular);
        return result;
    }
    result.opened = true;
    // The lock only decides who sees the file's beginning first (who writes a new file's
    // header); the text itself is one write to a file opened for appending, whole even where
    // the lock is not honoured.
    const bool locked = ::flock(fd, LOCK_EX) == 0;
    // A file's size says nothing of some files (those of /proc show 0): its first bytes do.
    std::string first(look, '\0');
    std::size_t got = 0;
    while (got < first.size()) {
        const ssize_t n =
            ::pread(fd, first.data() + got, first.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result.cause = cause(errno, path);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (!result.cause) {
        const std::optional<std::string> text = decide(std::string_view(first).substr(0, got));
        if (!text)
            result.declined = true;
        else if (const int error = writeall(fd, *text))
            result.cause = cause(error, path);
    }
    if (locked) ::flock(fd, LOCK_UN);
    if (::close(fd) != 0 && !result.cause) result.cause = cause(errno, path);
    return result;
}

} // namespace meter::files
