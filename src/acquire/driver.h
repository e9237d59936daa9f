// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The acquisition driver: checks the port and machine type chosen (initport) and runs one
// complete reading (Getregisters), handing over to the reading sequence of the machine type's
// protocol family, or reading the "copote" machine through its vendor library.
#include "acquire/listener.h"
#include "acquire/pacer.h"
#include "acquire/state.h"
#include "core/machinetypes.h"
#include "core/reason.h"
#include "serial/link.h"
#include "vendorapi/vendorlibrary.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>

namespace meter {

class Driver;

// A family's whole exchange with the meter: true for the normal end, false for the failure end.
using ReadingSequence = std::function<bool(Driver&, std::int16_t code)>;
// The 11-byte request buffer that asks for register `name`.
using RequestBuilder = std::function<RequestBuffer(Driver&, std::string_view name)>;
// Advances a sequence value and stores the result in the state field it belongs to.
using SequenceStep = std::function<std::uint8_t(Driver&, std::uint8_t& value)>;

// What a protocol family does for each of its machine types: the reading sequence, and the
// family's branch of the two steps the families share (sendrequest and nextsequence). The row
// of the type, with its plain data, is in core/machinetypes.h.
struct FamilyEntry {
    ReadingSequence read;
    RequestBuilder request; // none: the type sends the all-zero request buffer
    SequenceStep next;      // none: nextsequence gives 0 and changes nothing

    FamilyEntry() = default;
    FamilyEntry(ReadingSequence sequence, RequestBuilder requests, SequenceStep step)
        : read(std::move(sequence)), request(std::move(requests)), next(std::move(step)) {}
    // A family with a reading sequence only.
    template <class F>
    requires std::is_constructible_v<ReadingSequence, F> FamilyEntry(F sequence)
        : read(std::move(sequence)) {}
};

// familytable: what each family does, by machine type code. A type without line settings (the
// "copote") has no entry: the driver reads it itself, through the vendor library.
using FamilyTable = std::map<std::int16_t, FamilyEntry>;

// The entry of each protocol family, by the family name the rows give.
using FamilyEntries = std::map<std::string, FamilyEntry, std::less<>>;

// The entries of every protocol family (acquire/families/).
FamilyEntries standardentries();

// familytable as the rows make it: every row with line settings gets its family's entry; a row
// whose family has none is left out (its reading ends without a record).
FamilyTable makefamilytable(const MachineTypes& types, const FamilyEntries& entries);

// The familytable of the standard rows and families.
FamilyTable standardfamilies();

// How the last reading ended, and why, for the front ends. A cancelled reading ends like a
// failed one (the record as it stands, the port closed) but is told apart from a fault.
struct Outcome {
    enum class End { normal, failure, cancelled };
    End end = End::normal;
    // None when the reading ended normally with a record other than the all-zero record.
    Reason reason;
    bool normal() const { return end == End::normal; }
    bool cancelled() const { return end == End::cancelled; }
};

class Driver {
  public:
    struct Services {
        SerialDevice& device;
        Pacer& pacer;
        VendorLibrary& vendor;
        ReadingListener* listener = nullptr;
    };

    explicit Driver(Services services, FamilyTable families = standardfamilies(),
                    MachineTypes types = machinetypes());

    // 1 when the pair is accepted and stored, 0 when it is refused (port above 8, a machine
    // type not in the table, or a reading running).
    std::int16_t initport(std::int16_t inputport, std::int16_t inputtype);
    // One complete reading with the pair stored last; returns the register record. Never
    // raises: how it ended is in outcome().
    std::string Getregisters();
    const Outcome& outcome() const { return outcome_; }
    bool reading() const { return reading_; }

    // What the reading sequences work with.
    AcquisitionState& state() { return state_; }
    const AcquisitionState& state() const { return state_; }
    SerialLink& link() { return link_; }
    const SerialLink& link() const { return link_; }
    Pacer& pacer() { return services_.pacer; }

    // The row of machine type `code`; raises MeterError for a code not in the table.
    const MachineType& machinetype(std::int16_t code) const;
    const MachineTypes& types() const { return types_; }
    // The family entry of `code`; nullptr for none.
    const FamilyEntry* family(std::int16_t code) const;

    // Opens the port of the reading with the line settings of `code` (a code not in the table
    // leaves them as they are); false (with the reason kept for the failure end) when it
    // cannot.
    bool openport(std::int16_t code);

    // The poll counter of a waiting step: every tenth poll raises retrycount by one.
    std::int16_t pollcount = 0;
    std::int16_t retrycount = 0;
    void countpoll();
    void resetpoll() { pollcount = retrycount = 0; }

    // Tells the front end which register the reading now waits for.
    void waitingfor(std::string_view what);
    // Why the reading gave up; shown when its normal end carries no record.
    void gaveup(Reason reason) { gaveup_ = std::move(reason); }
    void gaveup(std::string message) { gaveup(Reason(ReasonCode::system_message, message)); }
    // Why the sequence takes the failure end; returns false for `return d.fail(...)`.
    bool fail(Reason reason);
    bool fail(std::string message) { return fail(Reason(ReasonCode::system_message, message)); }

  private:
    bool vendorpath();

    Services services_;
    FamilyTable families_;
    MachineTypes types_;
    SerialLink link_;
    AcquisitionState state_;
    Outcome outcome_;
    Reason gaveup_;
    Reason failure_;
    std::atomic<bool> reading_{false};
};

} // namespace meter
