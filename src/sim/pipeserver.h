// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Serves a simulated meter on a named pipe of its own (\\.\pipe\NAME, byte mode, this machine
// only), the Windows counterpart of PtyServer: the reader opens the pipe as it opens a COM
// port, and so does the vendor library in its helper program. One reader at a time; the next
// one is taken when the last has closed. Windows only.
#include "sim/meter.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace meter::sim {

class PipeServer {
  public:
    // Creates the pipe \\.\pipe\<name>. Throws ServerError when it cannot, or when
    // another program has made a pipe of that name already.
    PipeServer(Meter& meter, const std::string& name);
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // The device the reader is to open.
    const std::string& path() const { return path_; }

    // Serves on a thread of its own until stop().
    void start();
    void stop();

  private:
    void run();
    // Serves the reader connected now until it closes its end, the meter drops the line or the
    // server is stopped.
    void serve();
    // Hands bytes to the reader; false when it has gone.
    bool send(const Bytes& bytes);
    // Milliseconds since the server started, the clock the meter schedules its replies on.
    std::int64_t nowms() const;

    Meter& meter_;
    std::string path_;
    void* pipe_ = nullptr;       // HANDLE
    void* stopevent_ = nullptr;  // HANDLE, set by stop()
    void* readevent_ = nullptr;  // HANDLE
    void* writeevent_ = nullptr; // HANDLE
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::thread thread_;
};

} // namespace meter::sim
