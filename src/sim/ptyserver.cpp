#include "sim/ptyserver.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace meter::sim {

namespace {

using Clock = std::chrono::steady_clock;

void makeraw(int fd, const LineSettings* settings) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    if (settings) {
        const speed_t speed = settings->baud == 4800    ? B4800
                              : settings->baud == 19200 ? B19200
                                                        : B9600;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | PARODD);
        if (settings->stopbits == 2) t.c_cflag |= CSTOPB;
        if (settings->parity == 'e') t.c_cflag |= PARENB;
        if (settings->parity == 'o') t.c_cflag |= PARENB | PARODD;
        t.c_cflag |= CLOCAL | CREAD;
    }
    tcsetattr(fd, TCSANOW, &t);
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

PtyServer::PtyServer(Meter& meter) : meter_(meter) {
    char name[256] = {};
    if (openpty(&fd_, &keep_, name, nullptr, nullptr) != 0)
        throw std::runtime_error("cannot create a pseudo-terminal");
    // A slave left in cooked mode would echo the meter's own replies back to it.
    makeraw(keep_, nullptr);
    path_ = name;
}

PtyServer::PtyServer(Meter& meter, const std::string& device, const LineSettings& settings)
    : meter_(meter), path_(device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) throw std::runtime_error("cannot open " + device);
    makeraw(fd_, &settings);
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

void PtyServer::run() {
    // Emissions due, by the time they are due; equal times keep their order.
    std::multimap<Clock::time_point, Emission> due;
    const auto started = Clock::now();
    while (!stop_) {
        const auto now = Clock::now();
        while (!due.empty() && due.begin()->first <= now) {
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
        if (!due.empty()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                due.begin()->first - Clock::now());
            timeout = static_cast<int>(std::clamp<long long>(wait.count(), 0, 50));
        }
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeout);
        if (ready <= 0 || !(p.revents & POLLIN)) continue;
        std::uint8_t buf[1024];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) continue;
        const auto at = Clock::now();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - started).count();
        for (Emission& e : meter_.receive(ByteView(buf, static_cast<std::size_t>(n)), ms))
            due.emplace(at + std::chrono::milliseconds(e.afterms), std::move(e));
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
