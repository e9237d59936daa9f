// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ptyserver.h"

#include "sim/servererror.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace meter::sim {

namespace {

using Clock = std::chrono::steady_clock;

// The line settings as termios knows them; false for a speed or size termios has no constant for.
bool termiosfor(const LineSettings& settings, speed_t& speed, tcflag_t& size) {
    static const std::pair<int, speed_t> speeds[] = {
        {1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
        {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
    };
    static const std::pair<int, tcflag_t> sizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
    bool found = false;
    for (const auto& [baud, constant] : speeds)
        if (baud == settings.baud) speed = constant, found = true;
    if (!found) return false;
    for (const auto& [bits, constant] : sizes)
        if (bits == settings.databits) return size = constant, true;
    return false;
}

Reason systemsays(int err) {
    return Reason(ReasonCode::system_message, strerror(err));
}

// Why a device could not be opened, in our words where the cause is a common one.
Reason openfailure(int err) {
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return Reason(ReasonCode::file_missing);
    case ENOTDIR:
        return Reason(ReasonCode::file_path_not_folder);
    case EISDIR:
        return Reason(ReasonCode::file_is_folder);
    case EACCES:
    case EPERM:
        return Reason(ReasonCode::file_permission_denied);
    default:
        return Reason(ReasonCode::system_message_code, strerror(err), err);
    }
}

// Raw bytes, and the line settings where given. Returns what went wrong with `device`; empty
// when all is set.
Reason makeraw(int fd, const std::string& device, const LineSettings* settings) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return errno == ENOTTY
                   ? Reason(ReasonCode::sim_not_serial, device)
                   : Reason(ReasonCode::sim_settings_unreadable, device, systemsays(errno));
    cfmakeraw(&t);
    if (settings) {
        speed_t speed = B9600;
        tcflag_t size = CS8;
        if (!termiosfor(*settings, speed, size) ||
            (settings->stopbits != 1 && settings->stopbits != 2) ||
            (settings->parity != 'n' && settings->parity != 'e' && settings->parity != 'o'))
            return Reason(ReasonCode::sim_settings_unsupported, device, settings->text());
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD);
        t.c_cflag |= size;
        if (settings->stopbits == 2) t.c_cflag |= CSTOPB;
        if (settings->parity == 'e') t.c_cflag |= PARENB;
        if (settings->parity == 'o') t.c_cflag |= PARENB | PARODD;
        t.c_cflag |= CLOCAL | CREAD;
    }
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        return Reason(ReasonCode::sim_settings_refused, device, settings ? settings->text() : "raw",
                      systemsays(errno));
    // tcsetattr succeeds when any part of the change was taken; check that all of it was.
    const tcflag_t shape = CSIZE | CSTOPB | PARENB | PARODD;
    termios back{};
    if (settings && (tcgetattr(fd, &back) != 0 || cfgetospeed(&back) != cfgetospeed(&t) ||
                     (back.c_cflag & shape) != (t.c_cflag & shape)))
        return Reason(ReasonCode::sim_settings_ignored, device, settings->text());
    return {};
}

bool writeall(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

PtyServer::PtyServer(Responder& meter) : meter_(meter) {
    char name[256] = {};
    if (openpty(&fd_, &keep_, name, nullptr, nullptr) != 0)
        throw ServerError(Reason(ReasonCode::no_pseudo_terminal));
    path_ = name;
    // A slave left in cooked mode would echo the meter's own replies back to it.
    makeraw(keep_, path_, nullptr);
}

PtyServer::PtyServer(Responder& meter, const std::string& device, const LineSettings& settings)
    : meter_(meter), path_(device), device_(device), settings_(settings) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0)
        throw ServerError(Reason(ReasonCode::sim_device_not_opened, device, openfailure(errno)));
    if (Reason why = makeraw(fd_, device, &settings_); !why.empty()) {
        closeall();
        throw ServerError(std::move(why));
    }
}

PtyServer::~PtyServer() {
    stop();
    closeall();
}

void PtyServer::closeall() {
    if (fd_ >= 0) ::close(fd_);
    if (keep_ >= 0) ::close(keep_);
    fd_ = keep_ = -1;
}

void PtyServer::status(const std::string& line) const {
    if (status_) status_(line);
}

bool PtyServer::reconnect() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (device_.empty()) {
        // Our own pseudo-terminal cannot come back.
        status("the pseudo-terminal " + path_ + " failed");
        lost_ = true;
        return false;
    }
    status(device_ + " was hung up; waiting for it to come back");
    while (!stop_) {
        for (int i = 0; i < 5 && !stop_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (stop_) break;
        const int fd = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) continue;
        // A device that opens but is still hung up is not back yet.
        pollfd p{fd, POLLIN, 0};
        if (makeraw(fd, device_, &settings_).empty() && ::poll(&p, 1, 0) >= 0 &&
            !(p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            fd_ = fd;
            status(device_ + " is back");
            return true;
        }
        ::close(fd);
    }
    return false;
}

void PtyServer::run() {
    // Emissions by when they are due, in milliseconds on the clock the meter schedules them on;
    // equal times keep their order.
    std::multimap<std::int64_t, Emission> due;
    const auto started = Clock::now();
    const auto nowms = [started] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started)
            .count();
    };
    while (!stop_) {
        while (!due.empty() && due.begin()->first <= nowms()) {
            Emission e = std::move(due.begin()->second);
            due.erase(due.begin());
            if (e.drop) {
                // Pulls the plug: the reader's next read or write fails.
                dropped_ = true;
                closeall();
                return;
            }
            meter_.sent(e.bytes);
            writeall(fd_, e.bytes);
        }
        int timeout = 50;
        if (!due.empty())
            timeout =
                static_cast<int>(std::clamp<std::int64_t>(due.begin()->first - nowms(), 0, 50));
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeout);
        if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        if (ready > 0 && (p.revents & POLLIN)) {
            std::uint8_t buf[1024];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0) {
                const std::int64_t at = nowms();
                for (Emission& e : meter_.receive(ByteView(buf, static_cast<std::size_t>(n)), at))
                    due.emplace(at + e.afterms, std::move(e));
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        }
        // Hung up, an error, or the end of the input: the line is gone. What was still to be
        // sent went with it.
        due.clear();
        if (!reconnect()) return;
    }
}

void PtyServer::start() {
    thread_ = std::thread([this] { run(); });
}

void PtyServer::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

} // namespace meter::sim
