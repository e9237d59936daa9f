// SPDX-License-Identifier: GPL-3.0-or-later
// cpedfm-host: loads the vendor library from the full path it is given and makes its calls on
// the reader's behalf, one request line on standard input, one answer line on standard output
// (vendorapi/hostprotocol.h). A library that hangs or crashes takes only this process with it.
//
// Usage: cpedfm-host LIBRARY-PATH
#include "console/console.h"
#include "core/metererror.h"
#include "vendorapi/hostprotocol.h"
#include "vendorhost/dynamiclibrary.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#ifdef _WIN32
#include "core/win32text.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using namespace meter;
using namespace meter::vendorhost;

// The protocol's own channel. Standard output and input are pointed elsewhere once it is taken,
// so that a library printing to standard output (or reading its input) cannot disturb it.
class Channel {
  public:
    Channel() {
#ifdef _WIN32
        // Copies of our own: pointing the C runtime's descriptors elsewhere closes the
        // originals.
        const HANDLE self = GetCurrentProcess();
        if (!DuplicateHandle(self, GetStdHandle(STD_INPUT_HANDLE), self, &in_, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            in_ = INVALID_HANDLE_VALUE;
        if (!DuplicateHandle(self, GetStdHandle(STD_OUTPUT_HANDLE), self, &out_, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            out_ = INVALID_HANDLE_VALUE;
        const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, err);
        SetStdHandle(STD_INPUT_HANDLE, INVALID_HANDLE_VALUE);
        _dup2(_fileno(stderr), _fileno(stdout));
        const int null = _open("NUL", _O_RDONLY);
        if (null >= 0) {
            _dup2(null, _fileno(stdin));
            _close(null);
        }
#else
        in_ = fcntl(0, F_DUPFD_CLOEXEC, 3);
        out_ = fcntl(1, F_DUPFD_CLOEXEC, 3);
        const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (null >= 0) {
            dup2(null, 0);
            close(null);
        }
        dup2(2, 1);
#endif
    }

    bool good() const {
#ifdef _WIN32
        return in_ != INVALID_HANDLE_VALUE && in_ != nullptr && out_ != INVALID_HANDLE_VALUE &&
               out_ != nullptr;
#else
        return in_ >= 0 && out_ >= 0;
#endif
    }

    // The next request line without its "\n"; false at the end of input or when a line is
    // longer than any request.
    bool readline(std::string& line) {
        line.clear();
        for (;;) {
            if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
                line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return true;
            }
            if (buffer_.size() > maxrequest) return false;
            char chunk[256];
            const long n = readsome(chunk, sizeof chunk);
            if (n <= 0) return false;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    bool write(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            const long n = writesome(text.data() + done, text.size() - done);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

  private:
#ifdef _WIN32
    long readsome(char* to, std::size_t size) {
        DWORD got = 0;
        if (!ReadFile(in_, to, static_cast<DWORD>(size), &got, nullptr)) return -1;
        return static_cast<long>(got);
    }
    long writesome(const char* from, std::size_t size) {
        DWORD put = 0;
        if (!WriteFile(out_, from, static_cast<DWORD>(size), &put, nullptr)) return -1;
        return static_cast<long>(put);
    }
    HANDLE in_ = INVALID_HANDLE_VALUE;
    HANDLE out_ = INVALID_HANDLE_VALUE;
#else
    long readsome(char* to, std::size_t size) {
        for (;;) {
            const ssize_t n = ::read(in_, to, size);
            if (n >= 0 || errno != EINTR) return static_cast<long>(n);
        }
    }
    long writesome(const char* from, std::size_t size) {
        for (;;) {
            const ssize_t n = ::write(out_, from, size);
            if (n >= 0 || errno != EINTR) return static_cast<long>(n);
        }
    }
    int in_ = -1;
    int out_ = -1;
#endif
    std::string buffer_;
};

Answer error(Reason reason) {
    return Answer{Answer::Kind::error, 0, {}, std::move(reason)};
}

Answer perform(VendorLibrary& library, const Request& request) {
    try {
        switch (request.call) {
        case Call::ComOpen:
            return Answer{Answer::Kind::number, library.ComOpen(request.port), {}, {}};
        case Call::ReadRegister: {
            std::string record = library.ReadRegister(request.port);
            if (record.size() > maxrecord)
                return error(Reason(ReasonCode::vendor_record_too_long, record.size(), maxrecord));
            return Answer{Answer::Kind::text, 0, std::move(record), {}};
        }
        case Call::ComClose:
            return Answer{Answer::Kind::number, library.ComClose(request.port), {}, {}};
        case Call::ComLastError:
            break;
        }
        // ComLastError: the library's own words, if it has any.
        std::string text = library.lasterror();
        if (text.size() > maxmessage) text.resize(maxmessage);
        return Answer{Answer::Kind::text, 0, std::move(text), {}};
    } catch (const MeterError& e) {
        return error(e.reason());
    } catch (const std::exception& e) {
        return error(Reason(ReasonCode::system_message, e.what()));
    }
}

// The library's path, from the command line, in UTF-8.
bool librarypath(int argc, char** argv, std::string& path) {
    const std::vector<std::string> args = console::arguments(argc, argv);
    if (args.size() != 2) return false;
    path = args[1];
    return !path.empty();
}

} // namespace

int main(int argc, char** argv) {
    std::string path;
    if (!librarypath(argc, argv, path)) {
        std::fputs("usage: cpedfm-host LIBRARY-PATH\n"
                   "Loads the vendor library and answers the reader's calls on standard input "
                   "and output.\n",
                   stderr);
        return 2;
    }
    Channel channel;
    if (!channel.good()) {
        std::fputs("cpedfm-host: standard input and output are not usable\n", stderr);
        return 2;
    }
    DynamicVendorLibrary library(path);
    std::string line;
    while (channel.readline(line)) {
        const auto request = parserequest(line);
        const Answer answer = request ? perform(library, *request)
                                      : error(Reason(ReasonCode::host_not_a_request, line));
        if (!channel.write(encode(answer))) return 1;
    }
    return 0;
}
