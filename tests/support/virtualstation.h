// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A reading on virtual time: the driver with every family, an in-memory device, and a simulated
// meter on its far end. A 61-second silent-meter reading runs in milliseconds.
#include "acquire/driver.h"
#include "serial/scripteddevice.h"
#include "sim/meter.h"
#include "sim/scripted.h"
#include "support/fakevendor.h"

#include <functional>
#include <memory>
#include <vector>

namespace meter::testing {

struct VirtualStation {
    using MeterSides = std::function<std::vector<std::unique_ptr<sim::Family>>()>;

    VirtualPacer pacer;
    ScriptedDevice device{[this] { return pacer.nowms(); }};
    FakeVendor vendor;
    Driver driver;
    // The meter sides a simulated meter chooses from.
    MeterSides sides = sim::allfamilies;
    std::unique_ptr<sim::Meter> meter;

    VirtualStation() : driver({device, pacer, vendor}) {}
    // A station whose driver and meter know other machine types and families than the standard
    // ones; the driver's familytable is made from the rows, as the standard one is.
    VirtualStation(MachineTypes types, const FamilyMakers& makers, MeterSides meters)
        : driver({device, pacer, vendor}, makefamilytable(types, makers), types),
          sides(std::move(meters)) {}

    // Puts a simulated meter with these values and faults on the line (`code` 0: auto).
    sim::Meter& play(std::int16_t code, sim::Faults faults = {}, sim::Registers registers = {}) {
        meter = std::make_unique<sim::Meter>(std::move(registers), faults, code, sides(),
                                             driver.types());
        sim::attach(device, *meter);
        return *meter;
    }
    // initport and Getregisters; the record, or "refused" when initport refused.
    std::string read(std::int16_t code, std::int16_t port = 1) {
        if (driver.initport(port, code) != 1) return "refused";
        return driver.Getregisters();
    }
    const std::string& sent() const { return driver.link().txtsend(); }
    const std::string& received() const { return driver.link().txtrece(); }
};

} // namespace meter::testing
