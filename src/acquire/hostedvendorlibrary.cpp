// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/hostedvendorlibrary.h"

#include "core/cancellation.h"
#include "core/metererror.h"
#include "core/utf8path.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include "core/win32text.h"

#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace meter {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vendorhost::Answer;
using vendorhost::Call;
using vendorhost::Request;

namespace {
// How often a wait looks at the cancellation flag; a cancelled reading ends within this.
constexpr auto slice = 20ms;
// How long the program gets to end by itself once its input is closed.
constexpr auto grace = 500ms;
// How long a program whose output has closed gets to be seen ending; it has normally ended
// already. Short, so that a reading still ends well within a second.
constexpr auto ending = 250ms;

// The absolute path of the first candidate that is a file; otherwise a MeterError saying that
// `what` was not found and where it was looked for.
std::string firstfile(const std::vector<std::string>& candidates, const std::string& what) {
    namespace fs = std::filesystem;
    std::string looked;
    for (const std::string& candidate : candidates) {
        std::error_code ec;
        const fs::path path = utf8path(candidate);
        if (fs::is_regular_file(path, ec)) {
            // Always a full path: a bare file name would send the system searching.
            const fs::path found = fs::absolute(path, ec);
            if (!ec) return utf8of(found);
        }
        looked += (looked.empty() ? "" : " or ") + candidate;
    }
    throw MeterError(
        what + " was not found" +
        (looked.empty() ? std::string(" (the program's own folder is unknown)") : " at " + looked));
}

std::vector<std::string> onlyfile(const std::string& path) {
    return path.empty() ? std::vector<std::string>{} : std::vector<std::string>{path};
}
} // namespace

std::string vendorlibraryname() {
#ifdef _WIN32
    return "cpedfm.dll";
#else
    return "libcpedfm.so";
#endif
}

std::string vendorhostname() {
#ifdef _WIN32
    return "cpedfm-host.exe";
#else
    return "cpedfm-host";
#endif
}

// The running helper program and the channel to it.
class HostedVendorLibrary::Process {
  public:
    enum class Wait { line, ended, timeout, cancelled, malformed };

    // Throws MeterError when the program cannot be started.
    Process(const std::string& host, const std::string& library);
    // Ends the program: closes its input, gives it a moment, then kills it; always reaps it.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool alive();
    bool send(const std::string& text);
    // One answer line (without its "\n"), waiting until `deadline` at most. An answer followed
    // by more bytes, or longer than any answer, is malformed.
    Wait readline(std::string& line, Clock::time_point deadline, const Cancellation* flag) {
        std::string buffer;
        for (;;) {
            if (const auto nl = buffer.find('\n'); nl != std::string::npos) {
                if (nl + 1 != buffer.size()) return Wait::malformed;
                line = buffer.substr(0, nl);
                return Wait::line;
            }
            if (buffer.size() > vendorhost::maxanswer) return Wait::malformed;
            if (flag && flag->cancelled()) return Wait::cancelled;
            const auto now = Clock::now();
            if (now >= deadline) return Wait::timeout;
            const auto wait = std::min<Clock::duration>(slice, deadline - now);
            switch (receive(buffer, std::chrono::duration_cast<std::chrono::milliseconds>(wait))) {
            case Received::ended:
                return Wait::ended;
            case Received::some:
            case Received::none:
                break;
            }
        }
    }
    // Kills the program now and reaps it.
    void kill();
    // How the program ended, once its output has closed: "signal 11, Segmentation fault",
    // "exit status 3". One that is still running is killed.
    std::string howended();

  private:
    enum class Received { some, none, ended };
    // Waits up to `wait` for bytes from the program and appends them.
    Received receive(std::string& buffer, std::chrono::milliseconds wait);

#ifdef _WIN32
    HANDLE process_ = nullptr;
    HANDLE job_ = nullptr;
    HANDLE tohost_ = nullptr;
    HANDLE fromhost_ = nullptr;
#else
    pid_t pid_ = -1;
    int fd_ = -1; // one socket both ways: no SIGPIPE when the program has gone
    int status_ = 0;
    bool reaped_ = false;
    bool reap(bool wait);
#endif
};

#ifdef _WIN32

HostedVendorLibrary::Process::Process(const std::string& host, const std::string& library) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childin = nullptr, childout = nullptr;
    if (!CreatePipe(&childin, &tohost_, &inherit, 0))
        throw MeterError("no pipe for the vendor library's helper program (" +
                         win32error(GetLastError()).english() + ")");
    if (!CreatePipe(&fromhost_, &childout, &inherit, 0)) {
        const DWORD error = GetLastError();
        CloseHandle(childin);
        CloseHandle(tohost_);
        throw MeterError("no pipe for the vendor library's helper program (" +
                         win32error(error).english() + ")");
    }
    SetHandleInformation(tohost_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromhost_, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childin;
    si.hStdOutput = childout;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring hostw = widen(host);
    std::wstring commandline = L"\"" + hostw + L"\" \"" + widen(library) + L"\"";
    PROCESS_INFORMATION pi{};
    // By full path: lpApplicationName is never searched for.
    const BOOL started =
        CreateProcessW(hostw.c_str(), commandline.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &si, &pi);
    const DWORD error = GetLastError();
    CloseHandle(childin);
    CloseHandle(childout);
    if (!started) {
        CloseHandle(tohost_);
        CloseHandle(fromhost_);
        throw MeterError("the vendor library's helper program " + host + " could not be started (" +
                         win32error(error).english() + ")");
    }
    // The program ends with the reader, whatever way the reader ends.
    job_ = CreateJobObjectW(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        AssignProcessToJobObject(job_, pi.hProcess);
    }
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
}

HostedVendorLibrary::Process::~Process() {
    CloseHandle(tohost_);
    if (WaitForSingleObject(process_, DWORD(grace.count())) != WAIT_OBJECT_0) kill();
    CloseHandle(fromhost_);
    CloseHandle(process_);
    if (job_) CloseHandle(job_);
}

bool HostedVendorLibrary::Process::alive() {
    return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool HostedVendorLibrary::Process::send(const std::string& text) {
    DWORD put = 0;
    return WriteFile(tohost_, text.data(), DWORD(text.size()), &put, nullptr) && put == text.size();
}

HostedVendorLibrary::Process::Received
HostedVendorLibrary::Process::receive(std::string& buffer, std::chrono::milliseconds wait) {
    DWORD available = 0;
    if (!PeekNamedPipe(fromhost_, nullptr, 0, nullptr, &available, nullptr)) return Received::ended;
    if (available == 0) {
        Sleep(DWORD(wait.count()));
        return Received::none;
    }
    char chunk[4096];
    DWORD got = 0;
    if (!ReadFile(fromhost_, chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr))
        return Received::ended;
    buffer.append(chunk, got);
    return Received::some;
}

void HostedVendorLibrary::Process::kill() {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
}

std::string HostedVendorLibrary::Process::howended() {
    if (WaitForSingleObject(process_, DWORD(ending.count())) != WAIT_OBJECT_0) {
        kill();
        return "closed its output without ending";
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    char text[32];
    std::snprintf(text, sizeof text, code > 0xFFFF ? "exit status 0x%08lX" : "exit status %lu",
                  static_cast<unsigned long>(code));
    return text;
}

#else

HostedVendorLibrary::Process::Process(const std::string& host, const std::string& library) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        throw MeterError(std::string("no channel to the vendor library's helper program (") +
                         std::strerror(errno) + ")");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
    // Nothing else of the reader (a serial port, the window's own pipes) reaches the program.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int sig : {SIGINT, SIGTERM, SIGPIPE, SIGHUP})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    // A group of its own: Ctrl-C in the terminal reaches the reader, which ends the program.
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                        POSIX_SPAWN_SETPGROUP);
    std::string hostarg = host, libraryarg = library;
    char* argv[] = {hostarg.data(), libraryarg.data(), nullptr};
    const int error = posix_spawn(&pid_, host.c_str(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(fds[1]);
    if (error != 0) {
        close(fds[0]);
        throw MeterError("the vendor library's helper program " + host + " could not be started (" +
                         std::strerror(error) + ")");
    }
    fd_ = fds[0];
}

HostedVendorLibrary::Process::~Process() {
    shutdown(fd_, SHUT_WR);
    const auto until = Clock::now() + grace;
    while (!reap(false) && Clock::now() < until)
        std::this_thread::sleep_for(5ms);
    if (!reaped_) kill();
    close(fd_);
}

bool HostedVendorLibrary::Process::reap(bool wait) {
    if (reaped_) return true;
    int status = 0;
    pid_t got;
    do
        got = waitpid(pid_, &status, wait ? 0 : WNOHANG);
    while (got < 0 && errno == EINTR);
    if (got == pid_ || (got < 0 && errno == ECHILD)) {
        reaped_ = true;
        status_ = got == pid_ ? status : 0;
    }
    return reaped_;
}

bool HostedVendorLibrary::Process::alive() {
    return !reap(false);
}

bool HostedVendorLibrary::Process::send(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

HostedVendorLibrary::Process::Received
HostedVendorLibrary::Process::receive(std::string& buffer, std::chrono::milliseconds wait) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(wait.count()));
    if (ready < 0) return errno == EINTR ? Received::none : Received::ended;
    if (ready == 0) return Received::none;
    char chunk[4096];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n < 0) return errno == EINTR || errno == EAGAIN ? Received::none : Received::ended;
    if (n == 0) return Received::ended;
    buffer.append(chunk, static_cast<std::size_t>(n));
    return Received::some;
}

void HostedVendorLibrary::Process::kill() {
    if (reaped_) return;
    ::kill(pid_, SIGKILL);
    reap(true);
}

std::string HostedVendorLibrary::Process::howended() {
    const auto until = Clock::now() + ending;
    while (!reap(false) && Clock::now() < until)
        std::this_thread::sleep_for(5ms);
    if (!reaped_) {
        kill();
        return "closed its output without ending";
    }
    if (WIFSIGNALED(status_)) {
        const int sig = WTERMSIG(status_);
        const char* name = strsignal(sig);
        return "signal " + std::to_string(sig) + (name ? std::string(", ") + name : "");
    }
    return "exit status " + std::to_string(WEXITSTATUS(status_));
}

#endif

HostedVendorLibrary::HostedVendorLibrary(std::vector<std::string> hostcandidates,
                                         std::vector<std::string> librarycandidates,
                                         std::chrono::milliseconds callbound)
    : hostcandidates_(std::move(hostcandidates)), librarycandidates_(std::move(librarycandidates)),
      callbound_(callbound) {}

HostedVendorLibrary::HostedVendorLibrary(const std::string& hostpath,
                                         const std::string& librarypath,
                                         std::chrono::milliseconds callbound)
    : HostedVendorLibrary(onlyfile(hostpath), onlyfile(librarypath), callbound) {}

HostedVendorLibrary::~HostedVendorLibrary() = default;

bool HostedVendorLibrary::cancelled() const {
    return cancellation_ && cancellation_->cancelled();
}

Answer HostedVendorLibrary::call(Call what, std::int32_t port) {
    const std::string name = vendorhost::nameof(what);
    if (cancelled()) throw ReadingCancelled();
    // A program that went away between readings is simply started again.
    if (process_ && what == Call::ComOpen && !process_->alive()) process_.reset();
    if (!process_) {
        const std::string host =
            firstfile(hostcandidates_, "the vendor library's helper program " + vendorhostname());
        const std::string library =
            firstfile(librarycandidates_, "the vendor library " + vendorlibraryname());
        process_ = std::make_unique<Process>(host, library);
    }
    // From here on, a call that does not end with a proper answer ends the program.
    auto end = [this](const std::string& reason) {
        process_.reset();
        return MeterError(reason);
    };
    auto crashed = [&] {
        const std::string how = process_->howended();
        return end("the vendor library crashed in " + name + " (" + how + ")");
    };
    if (!process_->send(vendorhost::encode(Request{what, port}))) throw crashed();

    std::string line;
    switch (process_->readline(line, Clock::now() + callbound_, cancellation_)) {
    case Process::Wait::line:
        break;
    case Process::Wait::ended:
        throw crashed();
    case Process::Wait::timeout:
        process_->kill();
        throw end("the vendor library stopped responding (no answer to " + name + " within " +
                  std::to_string(callbound_.count()) + " ms)");
    case Process::Wait::cancelled:
        process_->kill();
        process_.reset();
        throw ReadingCancelled();
    case Process::Wait::malformed:
        process_->kill();
        throw end("the vendor library's helper program gave a malformed answer to " + name);
    }
    const auto answer = vendorhost::parseanswer(line);
    if (!answer || !vendorhost::answers(*answer, what)) {
        process_->kill();
        throw end("the vendor library's helper program gave a malformed answer to " + name);
    }
    if (answer->kind == Answer::Kind::error) throw MeterError(answer->text);
    return *answer;
}

std::int32_t HostedVendorLibrary::ComOpen(std::int32_t port) {
    return call(Call::ComOpen, port).number;
}

std::string HostedVendorLibrary::ReadRegister(std::int32_t port) {
    return call(Call::ReadRegister, port).text;
}

std::int32_t HostedVendorLibrary::ComClose(std::int32_t port) {
    return call(Call::ComClose, port).number;
}

std::string HostedVendorLibrary::lasterror() {
    // Only ever a detail of a reason already given: never a failure of its own.
    if (!process_) return {};
    try {
        return call(Call::ComLastError, 0).text;
    } catch (const ReadingCancelled&) {
        throw;
    } catch (const MeterError&) {
        return {};
    }
}

} // namespace meter
