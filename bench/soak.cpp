// SPDX-License-Identifier: GPL-3.0-or-later
// Readings with random faults on virtual time, one station all along: every reading must keep
// its promises, and the memory of the process must stay flat between the 1,000th reading and
// the last.
//   soak [READINGS [SEED]]     (default 10000 readings, seed 20260607)
// Prints the resident memory at reading 1,000 and at the end, the readings per second, and
// exits 1 when a reading broke a promise or the memory grew by more than 1 MiB.
#include "support/soak.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

long residentkb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

int main(int argc, char** argv) {
    const int readings = argc > 1 ? std::atoi(argv[1]) : 10000;
    const auto seed = static_cast<std::uint32_t>(argc > 2 ? std::atol(argv[2]) : 20260607);
    meter::testing::soak::Run run(seed);
    const auto start = std::chrono::steady_clock::now();
    long at1000 = 0;
    int broken = 0;
    for (int i = 1; i <= readings; ++i) {
        const auto r = run.next();
        if (!r.kept()) {
            ++broken;
            std::printf("reading %d: %s\n", i, r.describe().c_str());
        }
        if (i == 1000) at1000 = residentkb();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long atend = residentkb();
    std::printf("readings %d (seed %u): %d read, %d failed, %d broke a promise\n", readings, seed,
                run.readnormally(), run.failed(), broken);
    std::printf("%.0f readings/s; resident at 1,000: %ld kB, at the end: %ld kB (%+ld kB)\n",
                readings / seconds, at1000, atend, atend - at1000);
    const bool flat = readings < 1000 || atend - at1000 <= 1024;
    if (!flat) std::printf("memory grew\n");
    return broken == 0 && flat ? 0 : 1;
}
