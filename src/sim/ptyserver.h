#pragma once
// Serves a simulated meter on a pseudo-terminal it creates (the reader opens the slave side) or
// on a serial device (a null-modem cable to the reader's port). POSIX only.
#include "serial/device.h"
#include "sim/meter.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace meter::sim {

class PtyServer {
  public:
    // A new pseudo-terminal.
    explicit PtyServer(Meter& meter);
    // A serial device with the given line settings. Throws std::runtime_error when it cannot be
    // opened.
    PtyServer(Meter& meter, const std::string& device, const LineSettings& settings);
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

  private:
    void closeall();

    Meter& meter_;
    int fd_ = -1;   // the meter's end
    int keep_ = -1; // a slave descriptor held open, so the pty outlives the reader's closing it
    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> dropped_{false};
    std::thread thread_;
};

} // namespace meter::sim
