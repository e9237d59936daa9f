// metersim: a postage meter on the far end of a serial line, for demos, end-to-end tests and
// for checking a cable or adapter without a meter.
#include "core/hexecho.h"
#include "frontend/machinetypes.h"
#include "sim/meter.h"
#include "sim/ptyserver.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace meter;

const char* const usage = R"USAGE(usage: metersim [options]
Plays a postage meter on a new pseudo-terminal (its path is printed on the first line) or on a
serial device, until interrupted.

  --type TEXT        machine type to play: auto (default; recognised from the requests), a list
                     text ("pitneybows 950", "5400(4表头)", ...) or its code (21, 12, ...)
  --device PATH      serve this serial device (e.g. over a null-modem cable) instead of a pty
  --settings TEXT    line settings on --device, e.g. 4800,n,8,1 (default: those of --type)
  --total N          total postage in the record's units (12 digits at most)
  --used N           used postage (12 digits at most)
  --unused N         unused postage (12 digits at most)
  --pieces N         total piece count (10 digits at most)
  --head N           meter head number (10 digits at most)
  --silent           take requests but never answer
  --delay MS         delay before each reply (default 20)
  --split N          send replies in chunks of N bytes ...
  --gap MS           ... with this pause between chunks (default 0)
  --noise N          send N noise bytes before each reply
  --twice            send every reply twice
  --corrupt POS      flip all bits of byte POS (from 0) of each reply
  --drop-after K     drop the line once K requests came in
  --verbose          log what is received and sent on stderr, with timestamps
  --help             this text
)USAGE";

volatile std::sig_atomic_t interrupted = 0;
extern "C" void oninterrupt(int) {
    interrupted = 1;
}

[[noreturn]] void refuse(const std::string& message) {
    std::fprintf(stderr, "metersim: %s\n", message.c_str());
    std::exit(2);
}

int number(const char* option, const char* text) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > 1000000) refuse(std::string(option) + " takes a number");
    return static_cast<int>(v);
}

LineSettings parsesettings(const std::string& text) {
    LineSettings s;
    char parity = 'n';
    if (std::sscanf(text.c_str(), "%d,%c,%d,%d", &s.baud, &parity, &s.databits, &s.stopbits) != 4)
        refuse("--settings takes a text such as 9600,n,8,1");
    s.parity = parity;
    return s;
}

LineSettings settingsof(std::int16_t code) {
    if (code == 12 || code == 13) return {4800, 'n', 8, 1};
    if (code == 21) return {9600, 'n', 8, 2};
    return {9600, 'n', 8, 1};
}

} // namespace

int main(int argc, char** argv) {
    sim::Registers registers;
    sim::Faults faults;
    std::int16_t code = 0;
    std::string device, settings;
    bool verbose = false, totalgiven = false;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) refuse(a + " needs a value");
            return argv[++i];
        };
        auto reg = [&](std::string& field, std::size_t width) {
            const char* v = value();
            field = sim::digits(v, width);
            if (field.empty())
                refuse(a + " takes a whole number of at most " + std::to_string(width) + " digits");
        };
        if (a == "--help") {
            std::fputs(usage, stdout);
            return 0;
        } else if (a == "--type") {
            const std::string t = value();
            code = sim::parsetype(t);
            if (code < 0) refuse("unknown machine type \"" + t + "\"");
        } else if (a == "--device") {
            device = value();
        } else if (a == "--settings") {
            settings = value();
        } else if (a == "--total") {
            reg(registers.total, 12);
            totalgiven = true;
        } else if (a == "--used") {
            reg(registers.used, 12);
        } else if (a == "--unused") {
            reg(registers.unused, 12);
        } else if (a == "--pieces") {
            reg(registers.pieces, 10);
        } else if (a == "--head") {
            reg(registers.head, 10);
        } else if (a == "--silent") {
            faults.silent = true;
        } else if (a == "--delay") {
            faults.delayms = number("--delay", value());
        } else if (a == "--split") {
            faults.chunk = number("--split", value());
        } else if (a == "--gap") {
            faults.gapms = number("--gap", value());
        } else if (a == "--noise") {
            faults.noise = number("--noise", value());
        } else if (a == "--twice") {
            faults.twice = true;
        } else if (a == "--corrupt") {
            faults.corrupt = number("--corrupt", value());
        } else if (a == "--drop-after") {
            faults.dropafter = number("--drop-after", value());
        } else if (a == "--verbose") {
            verbose = true;
        } else {
            refuse("unknown option " + a + " (see --help)");
        }
    }
    if (!totalgiven) {
        // The meter's total is what it has used plus what it has left.
        const unsigned long long sum = std::stoull(registers.used) + std::stoull(registers.unused);
        registers.total = sim::digits(std::to_string(sum), 12);
        if (registers.total.empty()) refuse("--used plus --unused exceed 12 digits; give --total");
    }

    sim::Meter meter(registers, faults, code);
    const auto start = std::chrono::steady_clock::now();
    if (verbose) {
        meter.onlog([start](const std::string& line) {
            const double t =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::fprintf(stderr, "%9.3f %s\n", t, line.c_str());
        });
    }

    try {
        sim::PtyServer server =
            device.empty()
                ? sim::PtyServer(meter)
                : sim::PtyServer(meter, device,
                                 settings.empty() ? settingsof(code) : parsesettings(settings));
        std::printf("%s\n", server.path().c_str());
        std::fflush(stdout);
        std::signal(SIGINT, oninterrupt);
        std::signal(SIGTERM, oninterrupt);
        server.start();
        while (!interrupted && !server.dropped())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.stop();
        if (server.dropped() && verbose) std::fprintf(stderr, "metersim: line dropped\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "metersim: %s\n", e.what());
        return 1;
    }
    return 0;
}
