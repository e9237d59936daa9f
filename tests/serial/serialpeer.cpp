// SPDX-License-Identifier: GPL-3.0-or-later
// serialpeer LINK... -- COMMAND [ARGS...]
//
// The far end of serial lines for a program that cannot make pseudo-terminals itself (a Windows
// program under Wine): one pseudo-terminal per LINK, LINK made a symbolic link to its slave
// (a Wine dosdevices entry such as .../dosdevices/com1), then COMMAND is run with
// METERREADER_SERIALPEER=1 in its environment. While it runs, every byte arriving on a line is
// sent back unchanged, except "?", which is answered with the line's current settings as
// "9600,n,8,1\n", and "!", after which the line is not read for 3 s (a line that does not take
// the bytes written to it), and what it was sent meanwhile is thrown away. Exits with COMMAND's
// status; removes the links.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pty.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Line {
    std::string link;
    int master = -1;
    int slave = -1;
    Clock::time_point deafuntil{};
    bool deaf = false;
};

int baudof(speed_t s) {
    switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

std::string settingsof(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return "unknown\n";
    const char parity = !(t.c_cflag & PARENB) ? 'n' : (t.c_cflag & PARODD) ? 'o' : 'e';
    const tcflag_t size = t.c_cflag & CSIZE;
    const int bits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    return std::to_string(baudof(cfgetospeed(&t))) + ',' + parity + ',' + std::to_string(bits) +
           ',' + ((t.c_cflag & CSTOPB) ? '2' : '1') + '\n';
}

void writeall(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Answers what arrived on one line.
void serve(Line& line) {
    char buf[512];
    const ssize_t n = ::read(line.master, buf, sizeof buf);
    if (n <= 0) return;
    std::string echo;
    for (ssize_t i = 0; i < n; ++i) {
        if (buf[i] == '!') {
            line.deaf = true;
            line.deafuntil = Clock::now() + std::chrono::seconds(3);
            break;
        }
        if (buf[i] == '?') {
            writeall(line.master, echo.data(), echo.size());
            echo.clear();
            const std::string s = settingsof(line.slave);
            writeall(line.master, s.data(), s.size());
        } else {
            echo += buf[i];
        }
    }
    writeall(line.master, echo.data(), echo.size());
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Line> lines;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        lines.push_back({argv[i]});
    if (i + 1 >= argc || lines.empty()) {
        std::fprintf(stderr, "usage: serialpeer LINK... -- COMMAND [ARGS...]\n");
        return 2;
    }
    char** command = argv + i + 1;

    for (Line& l : lines) {
        char name[256] = {};
        if (openpty(&l.master, &l.slave, name, nullptr, nullptr) != 0) {
            std::perror("serialpeer: openpty");
            return 1;
        }
        termios t{};
        tcgetattr(l.slave, &t);
        cfmakeraw(&t);
        tcsetattr(l.slave, TCSANOW, &t);
        ::unlink(l.link.c_str());
        if (::symlink(name, l.link.c_str()) != 0) {
            std::fprintf(stderr, "serialpeer: cannot link %s: %s\n", l.link.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    const pid_t child = fork();
    if (child < 0) {
        std::perror("serialpeer: fork");
        return 1;
    }
    if (child == 0) {
        for (const Line& l : lines) {
            ::close(l.master);
            ::close(l.slave);
        }
        setenv("METERREADER_SERIALPEER", "1", 1);
        execvp(command[0], command);
        std::perror("serialpeer: exec");
        _exit(127);
    }

    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        std::vector<pollfd> fds;
        for (Line& l : lines) {
            if (l.deaf && Clock::now() >= l.deafuntil) {
                // Deaf no more: what came meanwhile is dropped, not echoed.
                char drop[4096];
                pollfd p{l.master, POLLIN, 0};
                while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN) &&
                       ::read(l.master, drop, sizeof drop) > 0) {
                }
                l.deaf = false;
            }
            fds.push_back({l.master, static_cast<short>(l.deaf ? 0 : POLLIN), 0});
        }
        if (poll(fds.data(), fds.size(), 20) <= 0) continue;
        for (std::size_t k = 0; k < fds.size(); ++k)
            if (fds[k].revents & POLLIN) serve(lines[k]);
    }
    for (const Line& l : lines) {
        ::unlink(l.link.c_str());
        ::close(l.master);
        ::close(l.slave);
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
