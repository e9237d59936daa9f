// SPDX-License-Identifier: GPL-3.0-or-later
// What the reader reads of the simulated meter for every serial machine type under the faults
// of bench/snapshot.sh, on virtual time: one line per reading with its record, end, reason,
// sent and received text. Unlike snapshot.sh, which reads metersim in real time (where a split
// reply's chunks can fall either side of a poll), it prints the same lines on every run, so two
// commits can be compared exactly:  build/dev/bin/bench_snapshot > a.txt
#include "core/machinetypes.h"
#include "support/virtualstation.h"

#include <cstdio>
#include <string>
#include <type_traits>

namespace {

template <class R> std::string english(const R& reason) {
    if constexpr (std::is_convertible_v<R, std::string>)
        return reason;
    else
        return reason.english();
}

} // namespace

int main() {
    using namespace meter;
    struct Fault {
        const char* name;
        sim::Faults faults;
    } faults[] = {
        {"", {}},
        {"--split 3 --gap 150", {.chunk = 3, .gapms = 150}},
        {"--corrupt 5", {.corrupt = 5}},
        {"--noise 3", {.noise = 3}},
        {"--drop-after 1", {.dropafter = 1}},
    };
    for (const MachineType& type : machinetypes()) {
        if (!type.line) continue;
        for (const Fault& f : faults) {
            testing::VirtualStation st;
            st.play(type.code, f.faults);
            const std::string record = st.read(type.code);
            const Outcome& o = st.driver.outcome();
            std::printf("%s [%s] record=%s end=%d reason=%s sent=%s received=%s ms=%lld\n",
                        type.text, f.name, record.c_str(), static_cast<int>(o.end),
                        english(o.reason).c_str(), st.sent().c_str(), st.received().c_str(),
                        static_cast<long long>(st.pacer.nowms()));
        }
    }
    return 0;
}
