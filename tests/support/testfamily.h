// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A family made of callbacks, for a test that needs a reading of its own: the steps in order,
// what a poll makes of the bytes, and when a wait is over.
#include "acquire/family.h"

#include <functional>
#include <utility>
#include <vector>

namespace meter::testing {

struct TestFamily : FamilyReading {
    std::vector<Step> steps;                                    // then Step::done()
    std::function<Taken(ByteView, std::string& record)> ontake; // none: echo everything
    std::function<void(std::string& record)> onbegin;
    std::function<bool()> isarrived = [] { return false; };
    std::function<Step(const WaitCount&)> onexpired = [](const WaitCount&) { return Step::done(); };

    void begin(std::string& record) override {
        record_ = &record;
        next_ = 0;
        if (onbegin) onbegin(record);
    }
    Step next() override { return next_ < steps.size() ? steps[next_++] : Step::done(); }
    Taken take(ByteView bytes) override {
        return ontake ? ontake(bytes, *record_) : Taken{bytes.size(), {}};
    }
    bool arrived() const override { return isarrived(); }
    Step expired(const WaitCount& count) override { return onexpired(count); }

  private:
    std::string* record_ = nullptr;
    std::size_t next_ = 0;
};

// A maker of a fresh copy of `family` for every choice of the type.
inline FamilyMaker makerof(TestFamily family) {
    return [family](const MachineType&) { return std::make_unique<TestFamily>(family); };
}

} // namespace meter::testing
