// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The acquisition driver: checks the port and machine type chosen (initport) and runs one
// complete reading (Getregisters): the machine type's family through the shared poll loop, or
// the "copote" machine through its vendor library.
#include "acquire/family.h"
#include "acquire/listener.h"
#include "acquire/pacer.h"
#include "acquire/state.h"
#include "core/machinetypes.h"
#include "core/reason.h"
#include "serial/link.h"
#include "vendorapi/vendorlibrary.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace meter {

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

    const AcquisitionState& state() const { return state_; }
    SerialLink& link() { return link_; }
    const SerialLink& link() const { return link_; }
    const MachineTypes& types() const { return types_; }

  private:
    // The reading of a serial family; false for its failure end.
    bool familypath(const MachineType& row);
    bool vendorpath();
    bool fail(Reason reason);

    Services services_;
    FamilyTable families_;
    MachineTypes types_;
    // The reading object of the type chosen last: made by initport, so that what a family keeps
    // from one reading to the next (the framed sequence character) starts afresh with it.
    std::unique_ptr<FamilyReading> family_;
    SerialLink link_;
    AcquisitionState state_;
    Outcome outcome_;
    Reason gaveup_;
    Reason failure_;
    std::atomic<bool> reading_{false};
};

} // namespace meter
