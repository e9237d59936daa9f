// SPDX-License-Identifier: GPL-3.0-or-later
// The serial device over termios: a non-blocking descriptor in raw mode, reads that take only
// what has arrived, writes that wait for the line in short slices.
#include "core/cancellation.h"
#include "core/metererror.h"
#include "serial/nativedevice.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/sysmacros.h>
#endif

namespace meter {

namespace {

bool speedfor(int baud, speed_t& speed) {
    switch (baud) {
    case 1200:
        speed = B1200;
        return true;
    case 2400:
        speed = B2400;
        return true;
    case 4800:
        speed = B4800;
        return true;
    case 9600:
        speed = B9600;
        return true;
    case 19200:
        speed = B19200;
        return true;
    case 38400:
        speed = B38400;
        return true;
    case 57600:
        speed = B57600;
        return true;
    case 115200:
        speed = B115200;
        return true;
    default:
        return false;
    }
}

tcflag_t sizefor(int databits) {
    switch (databits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

// Whether a refused DTR (error `err`) is harmless: a pseudo-terminal has no modem lines, so DTR
// is meaningless there, not a fault.
bool withoutmodemlines(int fd, int err) {
#ifdef __linux__
    (void)err;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143; // Unix98 pseudo-terminal slaves
#else
    (void)fd;
    return err == ENOTTY || err == EINVAL;
#endif
}

// The system's words for error `err`.
Reason systemsays(int err) {
    return Reason(ReasonCode::system_message, std::strerror(err));
}

class PosixSerialDevice : public NativeSerialDevice {
  public:
    explicit PosixSerialDevice(PortMap map) : NativeSerialDevice(std::move(map)) {}
    ~PosixSerialDevice() override { close(); }
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    bool isopen() const override { return fd_ >= 0; }

    void close() override {
        if (fd_ < 0) return;
        // Exclusive use ends with our use, even while others keep the device open.
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_); // also drops the advisory lock
        fd_ = -1;
    }

    std::size_t byteswaiting() override {
        requireopen(Use::read);
        int count = 0;
        if (::ioctl(fd_, FIONREAD, &count) != 0) lost();
        if (count <= 0) {
            checkhangup();
            return 0;
        }
        return static_cast<std::size_t>(count);
    }

    Bytes readall() override {
        requireopen(Use::read);
        Bytes out;
        for (;;) {
            std::uint8_t buf[4096];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0) {
                out.insert(out.end(), buf, buf + n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                if (!out.empty()) break; // what arrived is read; the loss shows on the next read
                lost();
            }
            break; // nothing more waiting, or end of file (a hang-up, checked below)
        }
        if (out.empty()) checkhangup();
        return out;
    }

  private:
    void acquire(const Line& line) override {
        const auto& [port, path] = line;
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const int e = errno;
            switch (e) {
            case ENOENT:
            case ENOTDIR:
            case ENODEV:
            case ENXIO:
                throw MeterError(Reason(ReasonCode::device_missing, port, path));
            case EISDIR:
                throw MeterError(Reason(ReasonCode::device_is_folder, port, path));
            case EACCES:
            case EPERM:
                throw MeterError(Reason(ReasonCode::device_permission, port, path));
            case EBUSY:
                throw MeterError(Reason(ReasonCode::device_busy, port, path));
            default:
                throw MeterError(Reason(ReasonCode::device_not_opened, port, path, systemsays(e)));
            }
        }
        fd_ = fd;
    }

    std::size_t writesome(ByteView bytes) override {
        for (;;) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n > 0) return static_cast<std::size_t>(n);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) lost(true);
            // The line's output buffer is full: wait a slice for room.
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, writeslicems) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
                lost(true);
            return 0;
        }
    }

    void setup(const Line& line) override {
        const auto& [port, path] = line;
        // One reader at a time: refuse a device another program (or another of our devices)
        // holds, and keep others out while we hold it.
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            throw MeterError(Reason(ReasonCode::device_busy, port, path));
        ::ioctl(fd_, TIOCEXCL);

        speed_t speed{};
        if (!speedfor(settings_.baud, speed))
            throw MeterError(Reason(ReasonCode::device_baud, port, path, settings_.baud));
        termios t{};
        if (::tcgetattr(fd_, &t) != 0)
            throw MeterError(Reason(ReasonCode::device_not_serial, port, path));
        ::cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        t.c_cflag |= CLOCAL | CREAD | sizefor(settings_.databits);
        if (settings_.parity == 'e' || settings_.parity == 'o') t.c_cflag |= PARENB;
        if (settings_.parity == 'o') t.c_cflag |= PARODD;
        if (settings_.stopbits == 2) t.c_cflag |= CSTOPB;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        if (::tcsetattr(fd_, TCSANOW, &t) != 0)
            throw MeterError(
                Reason(ReasonCode::device_settings_refused, port, path, settings_.text()));
        // tcsetattr succeeds when any part was applied: check that all of it was.
        termios back{};
        if (::tcgetattr(fd_, &back) != 0 || ::cfgetospeed(&back) != speed ||
            (back.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) !=
                (t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)))
            throw MeterError(
                Reason(ReasonCode::device_settings_ignored, port, path, settings_.text()));

        int dtr = TIOCM_DTR;
        if (::ioctl(fd_, TIOCMBIS, &dtr) != 0) {
            const int e = errno;
            if (!withoutmodemlines(fd_, e))
                throw MeterError(Reason(ReasonCode::device_no_dtr, port, path, systemsays(e)));
        }

        // A fresh port has an empty receive buffer: whatever arrived while nobody read the
        // device (a late reply to an earlier reading) is not this reading's.
        ::tcflush(fd_, TCIFLUSH);
    }

    // With nothing to read, a hung-up or failed device is a lost line.
    void checkhangup() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) lost();
    }

    Reason lostreason(const std::string& path, bool writing) const override {
        return Reason(writing ? ReasonCode::line_lost_writing_hangup : ReasonCode::line_lost_hangup,
                      path);
    }

    int fd_ = -1;
};

} // namespace

std::unique_ptr<SerialDevice> makeserialdevice(PortMap map) {
    return std::make_unique<PosixSerialDevice>(std::move(map));
}

} // namespace meter
