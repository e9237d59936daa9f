// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One reading as both front ends run it: the port and machine type chosen are checked once,
// with the same refusals for the window and the command line; the driver runs the reading; the
// front end gets the whole result back in one piece, to show and to keep.
#include "acquire/driver.h"
#include "core/reason.h"
#include "frontend/readingreport.h"
#include "frontend/recordview.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace meter {

// A port text as a port number. An empty text, one that is no whole number and one that names
// a port above 8 are refused; numbers below 1 pass (no device stands behind them, and the
// reading says so) down to -32768.
struct PortText {
    std::int16_t port = 0;
    Reason refused; // none when the text names a port
};
PortText portfromtext(const std::string& text);

// The machine type a text names: a list text, its English name ("5400 (5 heads)"), or a code
// written as a number (trimmed); 0 for none.
std::int16_t typefromtext(const std::string& text);

// A reading that has ended: what the files keep, and how it ended in full.
struct FinishedReading {
    ReadingReport report; // time (the reading's start), port, device, type, record, traffic
    Outcome outcome;      // the end and its reason, for the front end's language
    RecordFields fields;  // the five values cut from the record
    std::int64_t elapsedms = 0;
};

class ReadingSession {
  public:
    // Checks the port text and the machine type (its code, and the text shown for it) and keeps
    // them for the reading. Returns why they were refused; none when they were taken.
    Reason check(const std::string& porttext, std::int16_t code, const std::string& typetext);
    // Stores the checked pair in the driver (initport). Returns why it refused; none when taken.
    Reason take(Driver& driver) const;
    // check, then take.
    Reason choose(Driver& driver, const std::string& porttext, std::int16_t code,
                  const std::string& typetext);

    // The reading taken begins now, on `device` (as the device describes the port).
    void begin(std::string device);
    // The reading begun ended with `record` and `outcome`; the traffic is the driver's link's.
    FinishedReading finish(const Driver& driver, std::string record, Outcome outcome) const;
    // begin, Getregisters and finish, on this thread.
    FinishedReading run(Driver& driver, std::string device);

    std::int16_t port() const { return port_; }
    std::int16_t code() const { return code_; }
    const std::string& typetext() const { return typetext_; }

  private:
    std::int16_t port_ = 0;
    std::int16_t code_ = 0;
    std::string typetext_;
    std::string device_;
    std::time_t started_ = 0;
    std::chrono::steady_clock::time_point start_;
};

} // namespace meter
