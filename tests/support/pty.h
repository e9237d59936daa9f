// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pseudo-terminals made by the tests themselves: the slave side is the "serial port" the reader
// opens, the master side is the meter's end of the cable. Programs the tests start inherit
// neither end.
#include "core/bytes.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace meter::testing {

class Pty {
  public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }
    int master() const { return master_; }
    int slave() const { return slave_; }

    void write(ByteView bytes);
    // Whatever the reader has written so far, waiting up to `timeout` for at least `atleast`
    // bytes.
    Bytes read(std::size_t atleast = 1,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // Pulls the plug: the reader's end sees the line vanish.
    void closemaster();

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// A meter on the master side of a pseudo-terminal, run on its own thread: every byte received
// goes to `answer`, which may reply by returning bytes to write.
class PtyResponder {
  public:
    using Answer = std::function<Bytes(const Bytes& receivedsofar)>;
    PtyResponder(Pty& pty, Answer answer);
    ~PtyResponder();
    Bytes received() const;

  private:
    Pty& pty_;
    Answer answer_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    Bytes received_;
    std::thread thread_;
};

} // namespace meter::testing
