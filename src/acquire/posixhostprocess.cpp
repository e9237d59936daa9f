// SPDX-License-Identifier: GPL-3.0-or-later
// The helper program on POSIX systems: started with posix_spawn in a process group of its own,
// with one socket pair as its standard input and output and none of the reader's other file
// descriptors.
#include "acquire/hostprocess.h"

#include "core/metererror.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace meter {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class PosixHostProcess : public HostProcess {
  public:
    PosixHostProcess(const std::string& host, const std::string& library);
    ~PosixHostProcess() override;
    PosixHostProcess(const PosixHostProcess&) = delete;
    PosixHostProcess& operator=(const PosixHostProcess&) = delete;

    bool alive() override { return !reap(false); }
    bool send(const std::string& text) override;
    Received receive(std::string& buffer, std::chrono::milliseconds wait) override;
    void kill() override;
    Reason howended(const std::string& call) override;

  private:
    bool reap(bool wait);

    pid_t pid_ = -1;
    int fd_ = -1; // one socket both ways: no SIGPIPE when the program has gone
    int status_ = 0;
    bool reaped_ = false;
};

PosixHostProcess::PosixHostProcess(const std::string& host, const std::string& library) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        throw MeterError(Reason(ReasonCode::helper_no_channel, std::strerror(errno)));
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
        throw MeterError(Reason(ReasonCode::helper_not_started, host,
                                Reason(ReasonCode::system_message, std::strerror(error))));
    }
    fd_ = fds[0];
}

PosixHostProcess::~PosixHostProcess() {
    shutdown(fd_, SHUT_WR);
    const auto until = Clock::now() + grace;
    while (!reap(false) && Clock::now() < until)
        std::this_thread::sleep_for(5ms);
    if (!reaped_) kill();
    close(fd_);
}

bool PosixHostProcess::reap(bool wait) {
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

bool PosixHostProcess::send(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

HostProcess::Received PosixHostProcess::receive(std::string& buffer,
                                                std::chrono::milliseconds wait) {
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

void PosixHostProcess::kill() {
    if (reaped_) return;
    ::kill(pid_, SIGKILL);
    reap(true);
}

Reason PosixHostProcess::howended(const std::string& call) {
    const auto until = Clock::now() + ending;
    while (!reap(false) && Clock::now() < until)
        std::this_thread::sleep_for(5ms);
    if (!reaped_) {
        kill();
        return Reason(ReasonCode::vendor_crashed_closed, call);
    }
    if (WIFSIGNALED(status_)) {
        const int sig = WTERMSIG(status_);
        if (const char* name = strsignal(sig))
            return Reason(ReasonCode::vendor_crashed_signal_text, call, sig, name);
        return Reason(ReasonCode::vendor_crashed_signal, call, sig);
    }
    return Reason(ReasonCode::vendor_crashed_exit, call, WEXITSTATUS(status_));
}

} // namespace

std::unique_ptr<HostProcess> starthostprocess(const std::string& host, const std::string& library) {
    return std::make_unique<PosixHostProcess>(host, library);
}

} // namespace meter
