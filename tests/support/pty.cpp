// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace meter::testing {

Pty::Pty() {
    // Both ends close on exec: a program the test starts must not hold the meter's end of the
    // cable itself, or it would never see the cable pulled.
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256] = {};
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        closemaster();
        throw std::runtime_error("cannot make a pseudo-terminal");
    }
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        closemaster();
        throw std::runtime_error("cannot open " + std::string(name));
    }
    // Raw from the start: a cooked slave would echo the meter's replies back to it.
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    path_ = name;
}

Pty::~Pty() {
    closemaster();
    if (slave_ >= 0) ::close(slave_);
}

void Pty::write(ByteView bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) throw std::runtime_error("write to pty master failed");
        done += static_cast<std::size_t>(n);
    }
}

Bytes Pty::read(std::size_t atleast, std::chrono::milliseconds timeout) {
    Bytes out;
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (out.size() < atleast && std::chrono::steady_clock::now() < until) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
            std::uint8_t buf[512];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) out.insert(out.end(), buf, buf + n);
        }
    }
    return out;
}

void Pty::closemaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

PtyResponder::PtyResponder(Pty& pty, Answer answer)
    : pty_(pty), answer_(std::move(answer)), thread_([this] {
          while (!stop_) {
              pollfd p{pty_.master(), POLLIN, 0};
              if (poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN)) continue;
              std::uint8_t buf[512];
              const ssize_t n = ::read(pty_.master(), buf, sizeof buf);
              if (n <= 0) continue;
              Bytes sofar;
              {
                  std::lock_guard lock(mutex_);
                  received_.insert(received_.end(), buf, buf + n);
                  sofar = received_;
              }
              const Bytes reply = answer_(sofar);
              if (!reply.empty()) pty_.write(reply);
          }
      }) {}

PtyResponder::~PtyResponder() {
    stop_ = true;
    thread_.join();
}

Bytes PtyResponder::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

} // namespace meter::testing
