// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A protocol family as the reading sees it: one object per reading of one machine type, holding
// all the reading state of its family (its thresholds, toggles, sequence characters, reply
// flags and the cutter or scanner of its replies). It never touches the line: it tells the poll
// loop (acquire/pollloop.h) what to do next and answers what each poll brought. The loop paces,
// reads, echoes, counts polls, watches the time bound and cancels, the same for every family.
#include "core/bytes.h"
#include "core/machinetypes.h"
#include "core/reason.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace meter {

// What the reading does next.
struct Step {
    enum class Kind {
        send,  // write `bytes`, echo the first `echo` of them, then wait for `waiting`
        poll,  // look at the line once, without counting the poll
        await, // poll until the family has what it waits for, or the row's limit is reached
        end,   // the reading is over: normal (with `reason` when it gave up) or failure
    };
    Kind kind = Kind::end;
    Bytes bytes;
    std::size_t echo = 0;
    std::string_view waiting; // the register or reply now waited for, in the meter's terms
    bool normal = true;
    Reason reason;

    static Step send(Bytes bytes, std::size_t echo, std::string_view waiting = {}) {
        return {Kind::send, std::move(bytes), echo, waiting, true, {}};
    }
    static Step poll() { return {Kind::poll, {}, 0, {}, true, {}}; }
    static Step await() { return {Kind::await, {}, 0, {}, true, {}}; }
    static Step done(Reason gaveup = {}) { return {Kind::end, {}, 0, {}, true, std::move(gaveup)}; }
    static Step fail(Reason why) { return {Kind::end, {}, 0, {}, false, std::move(why)}; }
};

// What a family made of the bytes of one poll: how many of them the receive echo shows, and a
// fault that ends the reading at its failure end.
struct Taken {
    std::size_t echoed = 0;
    Reason fault;
};

// How far a wait has gone when its limit is reached.
struct WaitCount {
    int polls = 0;     // polls of this wait
    int elapsedms = 0; // their poll periods added up
};

// How the receive echo of a family is grouped.
enum class EchoGroups {
    none,     // never closed by ","
    eachpoll, // closed after every poll, once anything has been received
    eachwait, // closed when a wait ends
};

class FamilyReading {
  public:
    virtual ~FamilyReading() = default;

    // A new reading begins; `record` is the register record it fills (the all-zero record).
    virtual void begin(std::string& record) = 0;
    // The next step, once the previous one is done (for the first: once the port is open).
    virtual Step next() = 0;
    // The bytes one poll read (possibly none). The fault of a reply that cannot be read ends
    // the reading before the host runs again.
    virtual Taken take(ByteView bytes) = 0;
    // After the host ran: decodes what the poll completed; a fault ends the reading.
    virtual Reason decode() { return {}; }
    // Whether what the running wait waits for has come.
    virtual bool arrived() const = 0;
    // The running wait reached its limit: the end step of the reading.
    virtual Step expired(const WaitCount& count) = 0;

    // Written on every poll after the read, unechoed (a meter that wants an acknowledgement).
    virtual Bytes pollanswer() const { return {}; }
    virtual EchoGroups echogroups() const { return EchoGroups::none; }
    // Whether a poll also asks the port how many bytes wait, and holds it to that count.
    virtual bool countsbytes() const { return false; }
};

// Makes the reading object of the family for one machine type's row.
using FamilyMaker = std::function<std::unique_ptr<FamilyReading>(const MachineType& row)>;

// familytable: what reads each machine type, by code. A type without line settings (the
// "copote") has no entry: the driver reads it itself, through the vendor library.
using FamilyTable = std::map<std::int16_t, FamilyMaker>;

// The reading side of every family, by the family name the rows give.
using FamilyMakers = std::map<std::string, FamilyMaker, std::less<>>;

// Every family of acquire/families/, each registered by its own file.
const FamilyMakers& standardmakers();

// familytable as the rows make it: every row with line settings gets its family's maker; a row
// whose family has none is left out (its reading ends without a record).
FamilyTable makefamilytable(const MachineTypes& types, const FamilyMakers& makers);
FamilyTable standardfamilies();

// Registers a family's maker under its family name, from the family's own file.
#define METER_READING_FAMILY(symbol, familyname, maker)                                            \
    ::meter::FamilyMakers::value_type registeredfamily_##symbol() {                                \
        return {familyname, maker};                                                                \
    }

} // namespace meter
