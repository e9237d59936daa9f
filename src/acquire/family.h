// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A protocol family as the reading sees it: one object per reading of one machine type, holding
// all the reading state of its family (its thresholds, toggles, sequence characters, reply
// flags and the cutter or scanner of its replies). It never touches the line: it tells the poll
// loop (acquire/pollloop.h) what to do next and answers what each poll brought. The loop paces,
// reads, echoes, counts polls, watches the time bound and cancels, the same for every family.
// Each family of acquire/families/ lists its sequence as a table of actions (SequenceReading).
#include "core/bytes.h"
#include "core/machinetypes.h"
#include "core/reason.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
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

// How far a wait has gone when its limit is reached, and what its limit was.
struct WaitCount {
    int polls = 0;     // polls of this wait
    int elapsedms = 0; // their poll periods added up
    int pollimit = 0;  // the polls after which it gives up; 0 for a wait bounded by time
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

// One action of a family's reading sequence. A family lists its sequence as a table of these;
// `item` is the family's own number of a request and of what answers it.
struct Action {
    enum class Do : std::uint8_t {
        poll,   // look at the line once, without counting the poll
        send,   // send request `item`
        resend, // send request `item` once more, unless what it asks for has come already
        await,  // wait for what answers request `item`
        judge,  // the reply just awaited decides whether the reading goes on (no item)
        end,    // the reading is over: the family finishes it
    };
    Do what = Do::end;
    std::uint8_t item = 0;
};

// A family read by a table of actions: walks the table, and keeps what every such family keeps
// (the row's request echo, the record it fills, where it is in the table, what it waits for).
// The family says how a request is sent, when an item has come, and how the reading ends.
class SequenceReading : public FamilyReading {
  public:
    SequenceReading(const MachineType& row, std::span<const Action> sequence)
        : echolength_(row.echolength), sequence_(sequence) {}

    void begin(std::string& record) final;
    Step next() final;
    bool arrived() const final { return has(awaited_); }

  protected:
    // A new reading begins: the family resets its own state.
    virtual void restart() {}
    // The step that sends request `item`.
    virtual Step request(std::size_t item) = 0;
    // Whether what answers request `item` has come.
    virtual bool has(std::size_t item) const = 0;
    // Why the reply to request `item` stops the reading (a failure end); none to go on.
    virtual Reason judge(std::size_t item) {
        (void)item;
        return {};
    }
    // The end step once the table is through.
    virtual Step finish() { return Step::done(); }

    // A request echoed by the row's echo length.
    Step send(Bytes bytes, std::string_view waiting) const {
        return Step::send(std::move(bytes), echolength_, waiting);
    }
    std::string& record() { return *record_; }
    // The item the running (or last) wait is for.
    std::size_t awaited() const { return awaited_; }

  private:
    std::size_t echolength_;
    std::span<const Action> sequence_;
    std::string* record_ = nullptr;
    std::size_t next_ = 0;
    std::size_t awaited_ = 0;
};

// Makes the reading object of the family for one machine type's row.
using FamilyMaker = std::function<std::unique_ptr<FamilyReading>(const MachineType& row)>;

// The reading of `row` by a family whose reading is made with what the family's protocol made
// of the row's model word; none for a word the family does not know.
template <class Reading, class Model>
std::unique_ptr<FamilyReading> makereading(const MachineType& row, std::optional<Model> model) {
    if (!model) return nullptr;
    return std::make_unique<Reading>(row, *model);
}

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

// Registers a family under its family name, from the family's own file: `Reading` reads a row,
// made with the row and what `modelof` (the family's reading of a model word) makes of the
// row's model word.
#define METER_READING_FAMILY(symbol, familyname, Reading, modelof)                                 \
    ::meter::FamilyMakers::value_type registeredfamily_##symbol() {                                \
        return {familyname, [](const ::meter::MachineType& row) {                                  \
                    return ::meter::makereading<Reading>(row, modelof(row.model));                 \
                }};                                                                                \
    }

} // namespace meter
