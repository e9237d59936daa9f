// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one poll loop every serial family is read by. It does what the family asks, step by step:
// writes its requests, looks at the line once every poll period of the type's row, reads what
// came, writes the family's acknowledgement, echoes, lets the host run, counts the polls of a
// wait and ends the wait at the row's limit (ten-poll groups, or a time bound). Cancellation
// and a lost line unwind it as MeterError; everything else ends it as a value.
#include "acquire/family.h"
#include "acquire/listener.h"
#include "acquire/pacer.h"
#include "serial/link.h"

#include <cstdint>
#include <optional>

namespace meter {

class PollLoop {
  public:
    PollLoop(SerialLink& link, Pacer& pacer, ReadingListener* listener, const MachineType& row);

    // Runs `family` from its first step to its end step, which it returns.
    Step readingsequence(FamilyReading& family);

    // The poll counter of a waiting step: every tenth poll raises retrycount by one.
    std::int16_t pollcount = 0;
    std::int16_t retrycount = 0;
    void countpoll();
    // The time bound of a wait for a type that waits by time, in milliseconds.
    const int waitcount;

  private:
    // One look at the line; a fault ends the reading.
    Reason poll(FamilyReading& family);
    // Polls until the family has what it waits for (nullopt), or ends the reading at the
    // wait's limit or at a fault (the end step).
    std::optional<Step> await(FamilyReading& family);

    SerialLink& link_;
    Pacer& pacer_;
    ReadingListener* listener_;
    const MachineType& row_;
    const int pollms_;
    // The looks at the line so far, for the listener's poll boundaries.
    std::int64_t polls_ = 0;
};

} // namespace meter
