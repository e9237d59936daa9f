// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Serves a simulated or replayed meter on a pseudo-terminal it creates (the reader opens the slave
// side) or on a serial device (a null-modem cable to the reader's port). POSIX only.
#include "serial/device.h"
#include "sim/responder.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace meter::sim {

class PtyServer {
  public:
    // A new pseudo-terminal. Throws ServerError when none can be had.
    explicit PtyServer(Responder& meter);
    // A serial device with the given line settings. Throws ServerError when it cannot be opened
    // or set up.
    PtyServer(Responder& meter, const std::string& device, const LineSettings& settings);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // The device the reader is to open.
    const std::string& path() const { return path_; }

    // Serves until stop() or until the line is dropped by the meter's fault.
    void run();
    // Serves on a thread of its own.
    void start();
    void stop();
    bool dropped() const { return dropped_; }
    // The line failed for good (only our own pseudo-terminal; a device is waited for).
    bool lost() const { return lost_; }

    // One line on each change of the line: hung up, back again, failed.
    void onstatus(std::function<void(const std::string&)> status) { status_ = std::move(status); }

  private:
    void closeall();
    void status(const std::string& line) const;
    // After a hang-up: waits, without spinning, for the device to come back. False when it
    // cannot come back or the server was stopped.
    bool reconnect();

    Responder& meter_;
    int fd_ = -1;   // the meter's end
    int keep_ = -1; // a slave descriptor held open, so the pty outlives the reader's closing it
    std::string path_;
    std::string device_; // the device served, empty for our own pseudo-terminal
    LineSettings settings_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> dropped_{false};
    std::atomic<bool> lost_{false};
    std::function<void(const std::string&)> status_;
    std::thread thread_;
};

} // namespace meter::sim
