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
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// One run of Getregisters as the driver ended it, with its traffic texts.
struct ReadingPass {
    std::string record;
    Outcome outcome;
    std::string sent;
    std::string received;
};
// The driver's last reading, which returned `record`.
ReadingPass lastpass(const Driver& driver, std::string record);

// A reading as asked: one pass, or a verified reading (read twice, good only when both
// records agree), whose second pass runs only after a first that read register values.
struct ReadingPasses {
    bool verify = false;
    ReadingPass first;
    std::optional<ReadingPass> second;
};

// Whether a first pass read register values, so that a verified reading reads again.
bool readsagain(const ReadingPass& first);

// Runs the reading stored in the driver; verified, again on the same port and type (initport
// afresh, as before any reading) when the first read register values. `between` (may be
// empty) runs just before the second pass.
ReadingPasses readingpasses(Driver& driver, bool verify,
                            const std::function<void()>& between = {});

// The first register in which two records differ, named with both its values; none when the
// records are the same. Records of other lengths differ as a whole.
Reason recorddifference(const std::string& first, const std::string& second);

// What stands between the traffic of the two passes in the texts sent and received: no byte
// of the hexadecimal echo can be taken for it.
inline constexpr std::string_view passseparator = " ||";

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
    // The reading begun ended with `passes`: one, or the two of a verified reading. The record
    // is the first pass's; a verified reading is good only when the second read the same, and
    // fails otherwise (the register that differs, or why the second failed).
    FinishedReading finish(const ReadingPasses& passes) const;
    // begin, Getregisters (twice when `verify`, with `between` before the second) and finish,
    // on this thread.
    FinishedReading run(Driver& driver, std::string device, bool verify = false,
                        const std::function<void()>& between = {});

    std::int16_t port() const { return port_; }
    std::int16_t code() const { return code_; }
    const std::string& typetext() const { return typetext_; }

  private:
    FinishedReading finishpass(const ReadingPass& pass, Outcome outcome) const;

    std::int16_t port_ = 0;
    std::int16_t code_ = 0;
    std::string typetext_;
    std::string device_;
    std::time_t started_ = 0;
    std::chrono::steady_clock::time_point start_;
};

} // namespace meter
