// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A simulated postage meter: takes the bytes a reader writes, recognises the request frames of
// the machine type it plays (or of any type, in auto mode), and answers from its register
// values, with faults injected on request. Pure: the bytes it sends come back as emissions,
// each with its delay, for a pseudo-terminal server or an in-memory device to deliver.
#include "core/bytes.h"
#include "core/machinetypes.h"
#include "sim/responder.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace meter::sim {

// Register values in the record's own digits.
struct Registers {
    std::string total = "000002111050";  // 12 digits
    std::string used = "000001234500";   // 12 digits
    std::string unused = "000000876550"; // 12 digits
    std::string pieces = "0000004321";   // 10 digits
    std::string head = "0000123456";     // 10 digits

    // The 56-digit record a reader should show for these values.
    std::string record() const { return total + used + unused + pieces + head; }
};

// Each fault is off at its default.
struct Faults {
    bool silent = false; // requests are taken but never answered
    int delayms = 20;    // from a complete request to the first byte of the reply
    int chunk = 0;       // a reply goes out in chunks of this many bytes (0: whole)
    int gapms = 0;       // pause between two chunks
    int noise = 0;       // this many noise bytes (0x55) before every reply
    bool twice = false;  // every reply is sent twice
    int corrupt = -1;    // all bits of the reply byte at this position flipped (-1: none)
    int dropafter = 0;   // the line is dropped once this many requests came in (0: never)
    // A meter in use: from its second reading on, each reading finds this much more used
    // postage and as much less unused (0: the registers stay). A reading begins anew when a
    // request that was answered already comes again.
    int inuse = 0;
};

// The registers after `amount` more postage was used: used grows, unused shrinks by as much
// (no further than to zero), the total stays.
Registers afteruse(Registers registers, long long amount);

// One protocol family's meter side.
class Family {
  public:
    virtual ~Family() = default;
    // The family name the machine-type rows give for the types this family plays.
    virtual const char* name() const = 0;

    struct Take {
        enum class Kind {
            needmore, // the input begins like one of this family's frames; wait for more
            notmine,  // the input does not begin with this family's frame
            request,  // a well-formed request: `consumed` bytes, answered by `reply`
            rejected, // a frame of this family that is not right: `consumed` bytes, no answer
        };
        Kind kind = Kind::notmine;
        std::size_t consumed = 0;
        Bytes reply;      // may be empty: the request needs no answer (an acknowledgement)
        std::string note; // for the log: what the request was or why it was rejected

        static Take more() { return {Kind::needmore, 0, {}, {}}; }
        static Take none() { return {Kind::notmine, 0, {}, {}}; }
        static Take request(std::size_t consumed, Bytes reply, std::string note) {
            return {Kind::request, consumed, std::move(reply), std::move(note)};
        }
        static Take reject(std::size_t consumed, std::string note) {
            return {Kind::rejected, consumed, {}, std::move(note)};
        }
    };
    // Looks at the front of the bytes received and not yet taken. `code` is the machine type
    // played, or 0 in auto mode.
    virtual Take take(ByteView input, const Registers& registers, std::int16_t code) = 0;

    // Why these register values cannot be shown by the machine type(s) played (a value wider
    // than the meter's register); empty when they can. Such a meter leaves its register
    // requests unanswered rather than send a value cut short.
    virtual std::string cannotshow(const Registers&, std::int16_t /*code*/) const { return {}; }
};

class Meter : public Responder {
  public:
    // `code` 0: auto, recognise the family from the requests.
    Meter(Registers registers, Faults faults, std::int16_t code = 0);
    // The same, choosing among `families` instead of every family's meter side, by the family
    // name of the row of `code` in `types`.
    Meter(Registers registers, Faults faults, std::int16_t code,
          std::vector<std::unique_ptr<Family>> families,
          const MachineTypes& types = machinetypes());
    ~Meter() override;

    // Bytes from the reader, arriving at `nowms` (any clock, as long as it only moves on);
    // returns what the meter sends in response, in order. Like a real meter, it starts a reply
    // only once the previous one has gone out.
    std::vector<Emission> receive(ByteView bytes, std::int64_t nowms = 0) override;

    // One line per event: "rx ...", "tx ...", "request ...", "rejected ...", "drop".
    // "tx" lines come from whoever puts the emissions on the line, through sent().
    void onlog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

    // Logs bytes as they go out on the line.
    void sent(ByteView bytes) const override;

    const Registers& registers() const { return registers_; }
    // The registers the meter shows from its second reading on, one set per reading; the last
    // stays. Until then, or when empty, the registers (and the in-use fault) apply.
    void laterreadings(std::vector<Registers> later) { later_ = std::move(later); }
    // Every reason a family played cannot show the registers, one per line; empty when all can.
    std::string cannotshow() const;
    int requests() const { return requests_; }
    // The requests taken, by their notes, in order.
    const std::vector<std::string>& taken() const { return taken_; }
    const std::vector<std::string>& rejected() const { return rejected_; }

  private:
    std::vector<Emission> answer(Bytes reply, std::int64_t nowms);
    // Notes a request about to be answered; one asked already in this reading begins the next,
    // with the registers changed: true then.
    bool nextreading(const std::string& note);
    void log(const std::string& line) const;

    Registers registers_;
    Faults faults_;
    std::int16_t code_;
    std::vector<std::unique_ptr<Family>> families_;
    Bytes pending_;
    int requests_ = 0;
    bool dropped_ = false;
    // When the last reply scheduled has gone out, on the clock of receive()'s `nowms`.
    std::int64_t busyuntil_ = 0;
    std::vector<std::string> taken_;
    std::vector<std::string> rejected_;
    std::vector<std::string> thisreading_; // the requests answered in the reading under way
    int readings_ = 1;
    std::vector<Registers> later_;
    std::function<void(const std::string&)> log_;
};

// Every family's meter side.
std::vector<std::unique_ptr<Family>> allfamilies();

// Parses a machine type for the simulator: "auto", a list text or a code. Returns -1 for a text
// that names none.
std::int16_t parsetype(const std::string& text);

// The digits of a register value that matter: without its leading zeros.
std::string significant(const std::string& value);

// A register value given as a decimal number, written with `width` digits; empty when it is not
// a number of at most that many digits.
std::string registervalue(const std::string& value, std::size_t width);

} // namespace meter::sim
