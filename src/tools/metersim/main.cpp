// SPDX-License-Identifier: GPL-3.0-or-later
// metersim: a postage meter on the far end of a serial line, for demos, end-to-end tests and
// for checking a cable or adapter without a meter.
#include "capture/capture.h"
#include "cli/commandline.h"
#include "core/machinetypes.h"
#include "frontend/language.h"
#include "sim/meter.h"
#include "sim/ptyserver.h"
#include "sim/replay.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace meter;

const char* const usage = R"USAGE(usage: metersim [options]
Plays a postage meter on a new pseudo-terminal (its path is printed on the first line) or on a
serial device, until interrupted.

  --type TEXT        machine type to play: auto (default; recognised from the requests), a list
                     text ("pitneybows 950", "5400(4表头)", ...) or its code (21, 12, ...)
  --device PATH      serve this serial device (e.g. over a null-modem cable) instead of a pty;
                     after a hang-up it waits for the device to come back
  --settings TEXT    line settings on --device, BAUD,PARITY,DATABITS,STOPBITS, e.g. 4800,n,8,1
                     (default: those of --type); baud 1200 to 115200, parity n, e or o, data
                     bits 5 to 8, stop bits 1 or 2
  --total N          total postage in the record's units (12 digits at most; the neopost
                     keeps 10)
  --used N           used postage (12 digits at most; the neopost and the 5400 keep 10)
  --unused N         unused postage (12 digits at most; the neopost and the 5400 keep 10)
  --pieces N         total piece count (10 digits at most; the 5400 keeps 8)
  --head N           meter head number (10 digits at most; the 5400 keeps 6)
  --silent           take requests but never answer
  --delay MS         delay before each reply (default 20)
  --split N          send replies in chunks of N bytes (1 or more) ...
  --gap MS           ... with this pause between chunks (default 0; only with --split)
  --noise N          send N noise bytes before each reply
  --twice            send every reply twice
  --corrupt POS      flip all bits of byte POS (from 0) of each reply
  --drop-after K     drop the line once K requests came in, say so and end
  --verbose          log what is received and sent on stderr, with timestamps
  --replay FILE      play the meter recorded in a capture (meterread --capture): each chunk
                     it sent goes out again at its time after the write it followed; where
                     the reader's bytes differ from the recorded ones it says so on stderr and
                     answers as recorded. --device, --settings (default: the capture's
                     line settings) and --verbose apply; the register values and faults do not
  --lang zh|en       language of the messages (default: the system's locale)
  --help, --version
)USAGE";

// The language of the messages a replay gives: the system's, or --lang.
Language language = systemlanguage();

volatile std::sig_atomic_t interrupted = 0;
extern "C" void oninterrupt(int) {
    interrupted = 1;
}

[[noreturn]] void refuse(const std::string& message) {
    std::fprintf(stderr, "metersim: %s\n", message.c_str());
    std::exit(2);
}

int number(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < 0 || v > 1000000)
        refuse(option + " takes a number from 0 to 1000000");
    return static_cast<int>(v);
}

// "BAUD,PARITY,DATABITS,STOPBITS" with values a serial port can be set to.
LineSettings parsesettings(const std::string& text) {
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == ',')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    const std::string form = "--settings takes BAUD,PARITY,DATABITS,STOPBITS such as 9600,n,8,1";
    if (parts.size() != 4) refuse(form + ", not \"" + text + "\"");
    auto whole = [&](const std::string& part) {
        if (part.empty() || part.size() > 6 ||
            part.find_first_not_of("0123456789") != std::string::npos)
            refuse(form + ", not \"" + text + "\"");
        return std::stoi(part);
    };
    LineSettings s;
    s.baud = whole(parts[0]);
    static const int bauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    if (std::find(std::begin(bauds), std::end(bauds), s.baud) == std::end(bauds))
        refuse("--settings: baud " + parts[0] +
               " is not one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200");
    if (parts[1].size() != 1 || std::string_view("neoNEO").find(parts[1][0]) == std::string::npos)
        refuse("--settings: parity \"" + parts[1] + "\" is not n (none), e (even) or o (odd)");
    s.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(parts[1][0])));
    s.databits = whole(parts[2]);
    if (s.databits < 5 || s.databits > 8)
        refuse("--settings: data bits " + parts[2] + " are not 5, 6, 7 or 8");
    s.stopbits = whole(parts[3]);
    if (s.stopbits != 1 && s.stopbits != 2)
        refuse("--settings: stop bits " + parts[3] + " are not 1 or 2");
    return s;
}

// The line settings of the type played; 9600,n,8,1 in auto mode and for a type that is not
// read over a serial line.
LineSettings settingsof(std::int16_t code) {
    const MachineType* type = findtype(code);
    return type && type->line ? *type->line : LineSettings{};
}

// The command line as given: each option's text, and which options were given at all.
struct Options {
    std::string type = "auto", device, settings;
    std::string total, used, unused, pieces, head;
    std::string delay, split, gap, noise, corrupt, dropafter;
    std::string replay, lang;
    bool silent = false, twice = false, verbose = false;
    std::set<std::string, std::less<>> given;
    bool has(std::string_view option) const { return given.count(option) != 0; }
};

// Parses the command line; --help and --version are answered here and end the program.
Options parse(int argc, char** argv) {
    Options o;
    bool help = false, version = false;
    CLI::App app;
    app.set_help_flag();
    app.allow_extras();
    app.add_flag("--help", help);
    app.add_flag("--version", version);
    app.add_flag("--silent", o.silent);
    app.add_flag("--twice", o.twice);
    app.add_flag("--verbose", o.verbose);
    const std::pair<const char*, std::string*> options[] = {
        {"--type", &o.type},         {"--device", &o.device},
        {"--settings", &o.settings}, {"--total", &o.total},
        {"--used", &o.used},         {"--unused", &o.unused},
        {"--pieces", &o.pieces},     {"--head", &o.head},
        {"--delay", &o.delay},       {"--split", &o.split},
        {"--gap", &o.gap},           {"--noise", &o.noise},
        {"--corrupt", &o.corrupt},   {"--drop-after", &o.dropafter},
        {"--replay", &o.replay},     {"--lang", &o.lang},
    };
    for (const auto& [name, value] : options)
        app.add_option(name, *value)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    if (const Reason why = parsecommandline(app, argc, argv)) refuse(why.english());
    if (help) {
        std::fputs(usage, stdout);
        std::exit(0);
    }
    if (version) {
        std::printf("metersim %s\n", METERREADER_VERSION);
        std::exit(0);
    }
    for (const auto& [name, value] : options)
        if (app.count(name) != 0) o.given.insert(name);
    if (o.has("--lang")) {
        const std::optional<Language> chosen = chooselanguage(o.lang);
        if (!chosen) refuse(Reason(ReasonCode::lang_refused).english());
        language = *chosen;
    }
    return o;
}

// The register values the meter shows; the total, when not given, is used plus unused.
sim::Registers registersof(const Options& o) {
    sim::Registers registers;
    const std::tuple<const char*, const std::string*, std::string*, std::size_t> values[] = {
        {"--total", &o.total, &registers.total, 12},
        {"--used", &o.used, &registers.used, 12},
        {"--unused", &o.unused, &registers.unused, 12},
        {"--pieces", &o.pieces, &registers.pieces, 10},
        {"--head", &o.head, &registers.head, 10},
    };
    for (const auto& [name, text, field, width] : values) {
        if (!o.has(name)) continue;
        *field = sim::registervalue(*text, width);
        if (field->empty())
            refuse(std::string(name) + " takes a whole number of at most " + std::to_string(width) +
                   " digits");
    }
    if (!o.has("--total")) {
        const unsigned long long sum = std::stoull(registers.used) + std::stoull(registers.unused);
        registers.total = sim::registervalue(std::to_string(sum), 12);
        if (registers.total.empty()) refuse("--used plus --unused exceed 12 digits; give --total");
    }
    return registers;
}

sim::Faults faultsof(const Options& o) {
    sim::Faults faults;
    faults.silent = o.silent;
    faults.twice = o.twice;
    const std::tuple<const char*, const std::string*, int*> numbers[] = {
        {"--delay", &o.delay, &faults.delayms},
        {"--split", &o.split, &faults.chunk},
        {"--gap", &o.gap, &faults.gapms},
        {"--noise", &o.noise, &faults.noise},
        {"--corrupt", &o.corrupt, &faults.corrupt},
        {"--drop-after", &o.dropafter, &faults.dropafter},
    };
    for (const auto& [name, text, field] : numbers)
        if (o.has(name)) *field = number(name, *text);
    // Chunks of no bytes would never send a reply; a pause is only between chunks.
    if (o.has("--split") && faults.chunk == 0) refuse("--split takes a number from 1 to 1000000");
    if (o.has("--gap") && !o.has("--split")) refuse("--gap applies to --split only");
    return faults;
}

// The line settings of --device: those given, else the type's.
LineSettings linesettingsof(const Options& o, std::int16_t code) {
    if (!o.has("--settings")) return settingsof(code);
    if (o.device.empty()) refuse("--settings applies to --device only");
    return parsesettings(o.settings);
}

// With --verbose, every request and reply goes to stderr, timed from the start.
template <class Played> void logtraffic(Played& meter) {
    const auto start = std::chrono::steady_clock::now();
    meter.onlog([start](const std::string& line) {
        const double t =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "%9.3f %s\n", t, line.c_str());
    });
}

// Serves the meter until interrupted, or until the line is dropped or lost; the exit status.
int serve(sim::Responder& meter, const Options& o, const LineSettings& settings) {
    try {
        sim::PtyServer server =
            o.device.empty() ? sim::PtyServer(meter) : sim::PtyServer(meter, o.device, settings);
        server.onstatus(
            [](const std::string& line) { std::fprintf(stderr, "metersim: %s\n", line.c_str()); });
        std::printf("%s\n", server.path().c_str());
        std::fflush(stdout);
        std::signal(SIGINT, oninterrupt);
        std::signal(SIGTERM, oninterrupt);
        server.start();
        while (!interrupted && !server.dropped() && !server.lost())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.stop();
        if (server.dropped()) {
            if (const auto* played = dynamic_cast<const sim::Meter*>(&meter))
                std::fprintf(stderr,
                             "metersim: dropped the line after %d request%s (--drop-after)\n",
                             played->requests(), played->requests() == 1 ? "" : "s");
            else
                std::fprintf(stderr, "metersim: dropped the line where the capture lost it\n");
        }
        if (server.lost()) return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "metersim: %s\n", e.what());
        return 1;
    }
    return 0;
}

// The line as the capture recorded it: the reader's writes, its looks at the line, what its
// reads returned, and where a read or write failed because the line went dead.
std::vector<sim::Recorded> recordedline(const Capture& capture) {
    std::vector<sim::Recorded> line;
    for (const CaptureEvent& e : capture.events) {
        using Kind = CaptureEvent::Kind;
        if (e.kind == Kind::tx) line.push_back({sim::Recorded::Kind::write, e.ms, e.bytes});
        if (e.kind == Kind::rx) line.push_back({sim::Recorded::Kind::read, e.ms, e.bytes});
        if (e.kind == Kind::poll) line.push_back({sim::Recorded::Kind::poll, e.ms, {}});
        // Every way the line can be lost, whichever call found it.
        if (e.kind == Kind::error && e.why.name().starts_with("line_lost"))
            line.push_back({sim::Recorded::Kind::lost, e.ms, {}});
    }
    return line;
}

// metersim --replay: the recorded meter on the pseudo-terminal or device.
int replay(const Options& o) {
    for (const char* option :
         {"--type", "--total", "--used", "--unused", "--pieces", "--head", "--delay", "--split",
          "--gap", "--noise", "--corrupt", "--drop-after"})
        if (o.has(option)) refuse(std::string(option) + " does not apply to --replay");
    if (o.silent || o.twice)
        refuse(std::string(o.silent ? "--silent" : "--twice") + " does not apply to --replay");
    const CaptureRead read = readcapture(o.replay);
    if (!read.capture) refuse(read.why.text(language));
    const Capture& capture = *read.capture;
    if (!capture.header.line) {
        // The vendor library's calls, not the line, are in the capture: a copote meter
        // showing the record the library returned stands in; without one it does not answer.
        const std::string& record = capture.outcome.record;
        const bool shown = capture.outcome.status == "read" && record.size() == 56 &&
                           record.find_first_not_of("0123456789") == std::string::npos;
        sim::Registers registers;
        if (shown)
            registers = {record.substr(0, 12), record.substr(12, 12), record.substr(24, 12),
                         record.substr(36, 10), record.substr(46, 10)};
        sim::Faults faults;
        faults.silent = !shown;
        sim::Meter meter(registers, faults, capture.header.code);
        const Reason what(shown ? ReasonCode::replay_vendor_record
                                : ReasonCode::replay_vendor_silent);
        std::fprintf(stderr, "metersim: %s\n", what.text(language).c_str());
        if (o.verbose) logtraffic(meter);
        return serve(meter, o, o.has("--settings") ? linesettingsof(o, 0) : settingsof(0));
    }
    sim::Replay meter(recordedline(capture));
    meter.ondifference([](const Reason& why) {
        std::fprintf(stderr, "metersim: %s\n", why.text(language).c_str());
    });
    if (o.verbose) logtraffic(meter);
    return serve(meter, o, o.has("--settings") ? linesettingsof(o, 0) : *capture.header.line);
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    if (o.has("--replay")) return replay(o);
    const std::int16_t code = sim::parsetype(o.type);
    if (code < 0) refuse("unknown machine type \"" + o.type + "\"");
    const sim::Registers registers = registersof(o);
    const sim::Faults faults = faultsof(o);
    const LineSettings settings = linesettingsof(o, code);

    sim::Meter meter(registers, faults, code);
    // A meter that cannot show its values would have to cut them short; it refuses instead.
    if (const std::string why = meter.cannotshow(); !why.empty()) {
        if (code != 0) refuse(why);
        std::fprintf(stderr, "metersim: %s; such register requests go unanswered\n", why.c_str());
    }
    if (o.verbose) logtraffic(meter);
    return serve(meter, o, settings);
}
