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
#include "sim/servererror.h"

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
  --in-use N         a meter in use: each reading after the first finds N more used postage
                     and N less unused (a reading begins when a request comes again)
  --verbose          log what is received and sent on stderr, with timestamps
  --replay FILE      play the meter recorded in a capture (meterread --capture): each chunk
                     it sent goes out again at its time after the write it followed; where
                     the reader's bytes differ from the recorded ones it says so on stderr and
                     answers as recorded. --device, --settings (default: the capture's
                     line settings) and --verbose apply; the register values and faults do not
  --lang zh|en       language of the messages (default: the system's locale)
  --help, --version
)USAGE";

// The same in Chinese, for a Chinese --lang or locale.
const char* const usagezh = R"USAGE(用法：metersim [选项]
在一个新的伪终端（第一行打印它的路径）或一个串口设备上扮演一台邮资表，直到被中断。

  --type 文本        扮演的机器类型：auto（默认；从请求中认出）、列表中的文本
                     （"pitneybows 950"、"5400(4表头)"……）或它的代码（21、12……）
  --device 路径      在这个串口设备上（例如经过零调制解调器电缆）扮演，而不是伪终端；
                     设备挂断后等它回来
  --settings 文本    --device 的线路参数：波特率,校验,数据位,停止位，例如 4800,n,8,1
                     （默认：--type 的参数）；波特率 1200 到 115200，校验 n、e 或 o，
                     数据位 5 到 8，停止位 1 或 2
  --total N          总邮资，以记录的单位计（最多 12 位；neopost 保留 10 位）
  --used N           已用邮资（最多 12 位；neopost 和 5400 保留 10 位）
  --unused N         未用邮资（最多 12 位；neopost 和 5400 保留 10 位）
  --pieces N         总件数（最多 10 位；5400 保留 8 位）
  --head N           表头号（最多 10 位；5400 保留 6 位）
  --silent           接收请求，但从不应答
  --delay 毫秒       每次应答前的延迟（默认 20）
  --split N          把应答分成每块 N 字节发送（1 或更多）……
  --gap 毫秒         ……块与块之间停顿这么久（默认 0；只能与 --split 同用）
  --noise N          每次应答前先发送 N 个干扰字节
  --twice            每次应答都发送两遍
  --corrupt 位置     把每次应答的第“位置”个字节（从 0 数起）的所有位取反
  --drop-after K     收到 K 个请求后断开线路，说明并结束
  --in-use N         正在使用的邮资表：第一次之后的每次读取，已用邮资多 N，未用邮资少 N
                     （同一个请求再次到来时，即开始新的一次读取）
  --verbose          在 stderr 上记录收发的内容，带时间
  --replay 文件      扮演抓包（meterread --capture）中录下的邮资表：它发出的每一块都在
                     它所跟随的那次写入之后按录下的时间再发出；读取程序发送的字节与录下的
                     不同时，在 stderr 上说明，并照录下的应答。--device、--settings（默认：
                     抓包的线路参数）和 --verbose 适用；寄存器值和故障选项不适用
  --lang zh|en       消息的语言（默认按系统的区域设置：英语时为英语，否则为中文）
  --help, --version
)USAGE";

// The language of the messages: the system's until --lang is read.
Language language = systemlanguage();

// A message in the language of the messages.
std::string say(std::string_view zh, std::string_view en) {
    return std::string(language == Language::zh ? zh : en);
}

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
        refuse(option + say(" 只能是 0 到 1000000 之间的数", " takes a number from 0 to 1000000"));
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
    const std::string form =
        say("--settings 的形式是 波特率,校验,数据位,停止位，例如 9600,n,8,1，而不是 \"",
            "--settings takes BAUD,PARITY,DATABITS,STOPBITS such as 9600,n,8,1, not \"") +
        text + "\"";
    if (parts.size() != 4) refuse(form);
    auto whole = [&](const std::string& part) {
        if (part.empty() || part.size() > 6 ||
            part.find_first_not_of("0123456789") != std::string::npos)
            refuse(form);
        return std::stoi(part);
    };
    LineSettings s;
    s.baud = whole(parts[0]);
    static const int bauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    if (std::find(std::begin(bauds), std::end(bauds), s.baud) == std::end(bauds))
        refuse(say("--settings：波特率 ", "--settings: baud ") + parts[0] +
               say(" 不是 1200、2400、4800、9600、19200、38400、57600、115200 之一",
                   " is not one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200"));
    if (parts[1].size() != 1 || std::string_view("neoNEO").find(parts[1][0]) == std::string::npos)
        refuse(
            say("--settings：校验 \"", "--settings: parity \"") + parts[1] +
            say("\" 不是 n（无）、e（偶）或 o（奇）", "\" is not n (none), e (even) or o (odd)"));
    s.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(parts[1][0])));
    s.databits = whole(parts[2]);
    if (s.databits < 5 || s.databits > 8)
        refuse(say("--settings：数据位 ", "--settings: data bits ") + parts[2] +
               say(" 不是 5、6、7 或 8", " are not 5, 6, 7 or 8"));
    s.stopbits = whole(parts[3]);
    if (s.stopbits != 1 && s.stopbits != 2)
        refuse(say("--settings：停止位 ", "--settings: stop bits ") + parts[3] +
               say(" 不是 1 或 2", " are not 1 or 2"));
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
    std::string delay, split, gap, noise, corrupt, dropafter, inuse;
    std::string replay, lang;
    bool silent = false, twice = false, verbose = false;
    std::set<std::string, std::less<>> given;
    bool has(std::string_view option) const { return given.count(option) != 0; }
};

// The value of the last --lang, found before the command line is parsed; empty for none.
std::string langoption(int argc, char** argv) {
    std::string value;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--lang" && i + 1 < argc)
            value = argv[++i];
        else if (argument.starts_with("--lang="))
            value = argument.substr(7);
    }
    return value;
}

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
        {"--in-use", &o.inuse},
        {"--replay", &o.replay},     {"--lang", &o.lang},
    };
    for (const auto& [name, value] : options)
        app.add_option(name, *value)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    // The language first, so that a command line that cannot be taken is refused in it.
    const std::optional<Language> chosen = chooselanguage(langoption(argc, argv));
    if (chosen) language = *chosen;
    if (const Reason why = parsecommandline(app, argc, argv)) refuse(why.text(language));
    if (help) {
        std::fputs(language == Language::zh ? usagezh : usage, stdout);
        std::exit(0);
    }
    if (version) {
        std::printf("metersim %s\n", METERREADER_VERSION);
        std::exit(0);
    }
    for (const auto& [name, value] : options)
        if (app.count(name) != 0) o.given.insert(name);
    // The language asked for is not known: say so in both.
    if (!chosen) {
        const Reason why(ReasonCode::lang_refused);
        refuse(language == Language::en ? why.english()
                                        : why.text(language) + " (" + why.english() + ")");
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
            refuse(name + say(" 只能是最多 ", " takes a whole number of at most ") +
                   std::to_string(width) + say(" 位的整数", " digits"));
    }
    if (!o.has("--total")) {
        const unsigned long long sum = std::stoull(registers.used) + std::stoull(registers.unused);
        registers.total = sim::registervalue(std::to_string(sum), 12);
        if (registers.total.empty())
            refuse(say("--used 与 --unused 之和超过 12 位；请给出 --total",
                       "--used plus --unused exceed 12 digits; give --total"));
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
        {"--in-use", &o.inuse, &faults.inuse},
    };
    for (const auto& [name, text, field] : numbers)
        if (o.has(name)) *field = number(name, *text);
    // Chunks of no bytes would never send a reply; a pause is only between chunks.
    if (o.has("--split") && faults.chunk == 0)
        refuse(say("--split 只能是 1 到 1000000 之间的数",
                   "--split takes a number from 1 to 1000000"));
    if (o.has("--gap") && !o.has("--split"))
        refuse(say("--gap 只能与 --split 同用", "--gap applies to --split only"));
    return faults;
}

// The line settings of --device: those given, else the type's.
LineSettings linesettingsof(const Options& o, std::int16_t code) {
    if (!o.has("--settings")) return settingsof(code);
    if (o.device.empty())
        refuse(say("--settings 只能与 --device 同用", "--settings applies to --device only"));
    return parsesettings(o.settings);
}

// A status line of the server in the language of the messages.
std::string statusline(const std::string& line) {
    if (language == Language::en) return line;
    const std::pair<std::string_view, std::string_view> endings[] = {
        {" was hung up; waiting for it to come back", " 已挂断；等它回来"},
        {" is back", " 已回来"},
    };
    for (const auto& [english, chinese] : endings)
        if (line.ends_with(english))
            return line.substr(0, line.size() - english.size()) + std::string(chinese);
    constexpr std::string_view pty = "the pseudo-terminal ", failed = " failed";
    if (line.starts_with(pty) && line.ends_with(failed))
        return "伪终端 " + line.substr(pty.size(), line.size() - pty.size() - failed.size()) +
               " 出了故障";
    return line;
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
        server.onstatus([](const std::string& line) {
            std::fprintf(stderr, "metersim: %s\n", statusline(line).c_str());
        });
        std::printf("%s\n", server.path().c_str());
        std::fflush(stdout);
        std::signal(SIGINT, oninterrupt);
        std::signal(SIGTERM, oninterrupt);
        server.start();
        while (!interrupted && !server.dropped() && !server.lost())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.stop();
        if (server.dropped()) {
            if (const auto* played = dynamic_cast<const sim::Meter*>(&meter)) {
                const int n = played->requests();
                const std::string count = std::to_string(n);
                std::fprintf(stderr, "metersim: %s\n",
                             (say("收到 ", "dropped the line after ") + count +
                              say(" 个请求后断开了线路（--drop-after）",
                                  n == 1 ? " request (--drop-after)" : " requests (--drop-after)"))
                                 .c_str());
            } else {
                std::fprintf(stderr, "metersim: %s\n",
                             say("在抓包中线路断开之处断开了线路",
                                 "dropped the line where the capture lost it")
                                 .c_str());
            }
        }
        if (server.lost()) return 1;
    } catch (const sim::ServerError& e) {
        std::fprintf(stderr, "metersim: %s\n", e.reason().text(language).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "metersim: %s\n", e.what());
        return 1;
    }
    return 0;
}

// The line as the capture recorded it: the reader's writes, its looks at the line, what its
// reads returned, and where a read or write failed because the line went dead.
// A verified reading's two exchanges follow one another, as they did on the line.
std::vector<sim::Recorded> recordedline(const Capture& capture) {
    std::vector<sim::Recorded> line;
    std::vector<CaptureEvent> events = capture.events;
    events.insert(events.end(), capture.second.begin(), capture.second.end());
    for (const CaptureEvent& e : events) {
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
          "--gap", "--noise", "--corrupt", "--drop-after", "--in-use"})
        if (o.has(option))
            refuse(option + say(" 不适用于 --replay", " does not apply to --replay"));
    if (o.silent || o.twice)
        refuse((o.silent ? "--silent" : "--twice") +
               say(" 不适用于 --replay", " does not apply to --replay"));
    const CaptureRead read = readcapture(o.replay);
    // A fault inside the file names the file; one that opening it found names it already.
    if (!read.capture)
        refuse(read.why.name() == "capture_not_opened"
                   ? read.why.text(language)
                   : o.replay + say("：", ": ") + read.why.text(language));
    const Capture& capture = *read.capture;
    if (!capture.header.line) {
        // The vendor library's calls, not the line, are in the capture: a copote meter
        // showing the record the library returned stands in; without one it does not answer.
        // A verified reading that failed because its two records differ showed the first.
        const std::string& record = capture.outcome.record;
        const bool shown = (capture.outcome.status == "read" ||
                            (capture.again && capture.outcome.reasoncode == "readings_differ")) &&
                           record.size() == 56 &&
                           record.find_first_not_of("0123456789") == std::string::npos;
        sim::Registers registers;
        if (shown)
            registers = {record.substr(0, 12), record.substr(12, 12), record.substr(24, 12),
                         record.substr(36, 10), record.substr(46, 10)};
        sim::Faults faults;
        faults.silent = !shown;
        // A verified reading's second record, as the library returned it, for the meter's
        // second reading.
        std::vector<sim::Registers> later;
        if (capture.again)
            for (const CaptureEvent& e : capture.second)
                if (e.call == "ReadRegister" && !e.why && e.text.size() == 56 &&
                    e.text.find_first_not_of("0123456789") == std::string::npos) {
                    const std::string& r = e.text;
                    later.push_back({r.substr(0, 12), r.substr(12, 12), r.substr(24, 12),
                                     r.substr(36, 10), r.substr(46, 10)});
                }
        sim::Meter meter(registers, faults, capture.header.code);
        meter.laterreadings(std::move(later));
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
    if (code < 0) refuse(say("未知的机器类型 \"", "unknown machine type \"") + o.type + "\"");
    const sim::Registers registers = registersof(o);
    const sim::Faults faults = faultsof(o);
    const LineSettings settings = linesettingsof(o, code);

    sim::Meter meter(registers, faults, code);
    // A meter that cannot show its values would have to cut them short; it refuses instead.
    if (const std::string why = meter.cannotshow(); !why.empty()) {
        if (code != 0) refuse(why);
        std::fprintf(stderr, "metersim: %s%s\n", why.c_str(),
                     say("；这样的寄存器请求不会得到应答", "; such register requests go unanswered")
                         .c_str());
    }
    if (o.verbose) logtraffic(meter);
    return serve(meter, o, settings);
}
