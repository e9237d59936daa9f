// SPDX-License-Identifier: GPL-3.0-or-later
// meterread: reads a postage meter from the command line, with the same acquisition core as the
// window. Scripts rely on its output and exit status (see --help).
#include "acquire/driver.h"
#include "cli/commandline.h"
#include "console/console.h"
#include "core/machinetypes.h"
#include "core/utf8path.h"
#include "core/utf8text.h"
#include "frontend/keeping.h"
#include "frontend/language.h"
#include "frontend/readingcapture.h"
#include "frontend/readingreport.h"
#include "frontend/readingsession.h"
#include "frontend/readingsetup.h"
#include "frontend/recordview.h"
#include "serial/nativedevice.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using namespace meter;

const char* const usage =
    R"USAGE(usage: meterread [--port TEXT] [--type TEXT] [--device N=PATH]... [--json] [--demo]
                 [--verify] [--lang zh|en] [--journal FILE] [--capture FILE] [--help]
                 [--version]
       meterread --replay FILE [--check] [--json] [--lang zh|en]
Reads the registers of a postage meter on a serial port and prints them.

  --port TEXT      port number as in the window's port list, 1 to 8 (default 1)
  --type TEXT      machine type as in the window's list (default "pitneybows 950"), its
                   English name ("5400 (5 heads)"), or its
)USAGE";

const char* const usagetail =
    R"USAGE(  --device N=PATH  put device PATH behind port N (repeatable); METERREADER_PORTS="N=PATH;..."
                   does the same from the environment
  --json           print one JSON object instead of the five result lines; "status" is "read",
                   "nodata" (the reading ended normally without register values) or "failed"
  --demo           read the built-in simulated meter, which stands behind every port but
                   those --device names; the JSON says "demo": true, files say device "demo"
  --verify         read twice and accept the values only when both readings agree; a
                   difference fails the reading, naming the register and both values; the
                   JSON gains "verified", files a last column
  --lang zh|en     language of the messages and result lines (default: the system's locale,
                   Chinese unless it is English); the JSON keys and its "reason" (English) stay
  --journal FILE   append the reading, good or not, to FILE as one CSV row (UTF-8, header
                   written when the file is new), as the window's journal does; a file that
                   is not a journal of this program is never written to, nor a folder made
  --capture FILE   write the reading's exchange with the meter to FILE (a capture: every byte
                   sent and received with its time, the poll boundaries, the outcome), whatever
                   the end; see docs/capture-format.md. Send it in when a meter does not read.
                   Only a capture is replaced, never another file
  --replay FILE    read the capture FILE again, offline: the capture's machine type's reading
                   against the recorded meter, on virtual time, printed as a reading
  --check          with --replay: exit 0 when the end, the reason and the record are the
                   recorded ones, else 1 with the first difference on stderr
  --help, --version

Exit status: 0 a record was read; 1 the reading failed or gave no usable data, or the journal
or capture asked for was not written (reason on stderr); 2 refused input; 130 after Ctrl-C, 143
after a TERM signal (on Windows also after Ctrl+Break or when the console window is closed).
Either ends a running reading, which is reported as cancelled.
)USAGE";

// The same in Chinese, for a Chinese --lang or locale.
const char* const usagezh =
    R"USAGE(用法：meterread [--port 文本] [--type 文本] [--device N=路径]... [--json] [--demo]
                 [--verify] [--lang zh|en] [--journal 文件] [--capture 文件] [--help]
                 [--version]
       meterread --replay 文件 [--check] [--json] [--lang zh|en]
读取串口上邮资表的寄存器并打印出来。

  --port 文本      端口号，与窗口的端口列表相同，1 到 8（默认 1）
  --type 文本      机器类型，与窗口的列表相同（默认 "pitneybows 950"），或它的英文名
                   （"5400 (5 heads)"），或它的
)USAGE";

const char* const usagetailzh =
    R"USAGE(  --device N=路径  把设备“路径”放在端口 N 后面（可重复）；环境变量
                   METERREADER_PORTS="N=路径;..." 的作用相同
  --json           打印一个 JSON 对象，而不是五行结果；"status" 是 "read"、
                   "nodata"（读取正常结束但没有寄存器值）或 "failed"
  --demo           读取内置的模拟邮资表，它连在每个端口后面（--device 指定的端口除外）；
                   JSON 中有 "demo": true，文件中的设备写作 "demo"
  --verify         核对读取：读两次，两次一致才接受读数；不一致时读取失败，并给出不一致
                   的寄存器和两个数值；JSON 中多一个 "verified"，文件中多最后一列
  --lang zh|en     消息和结果行的语言（默认按系统的区域设置：英语时为英语，否则为中文）；
                   JSON 的键和其中的 "reason"（英文）不变
  --journal 文件   把这次读取（无论成败）作为一行 CSV 追加到“文件”（UTF-8，新文件先写
                   表头），与窗口的日志相同；不是本程序日志的文件不会被写入，也不建立文件夹
  --capture 文件   把这次读取与邮资表的往来写入“文件”（抓包：收发的每个字节及其时间、
                   每次轮询、结果），无论读取如何结束；见 docs/capture-format.md。
                   邮资表读不出时，请把它发给我们。只替换抓包，不替换其他文件
  --replay 文件    离线重读抓包“文件”：按抓包的机器类型对录下的邮资表读取，用虚拟时间，
                   像一次读取那样打印
  --check          与 --replay 同用：结束方式、原因和记录与录下的相同时退出 0，否则退出 1，
                   并在 stderr 给出第一处不同
  --help, --version

退出状态：0 读到了记录；1 读取失败或没有可用的数据，或者要求的日志或抓包没有写入（原因见 stderr）；
2 输入被拒绝；Ctrl-C 后为 130，TERM 信号后为 143（在 Windows 上按 Ctrl+Break 或关闭
控制台窗口后也是 143）。它们都会结束正在进行的读取，并报告读取已取消。
)USAGE";

using console::Stream;

void print(Stream stream, const std::string& text) {
    console::write(stream, text);
}

// The columns a text takes on a terminal: a Chinese character (three bytes in UTF-8) two.
std::size_t textwidth(std::string_view text) {
    std::size_t width = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            width += static_cast<unsigned char>(c) >= 0xE0 ? 2 : 1;
    return width;
}

// The machine types' list texts with their codes, wrapped under the --type option.
std::string typecodes(Language language) {
    const std::string indent(19, ' ');
    std::string out;
    std::string line = indent + (language == Language::zh ? "代码：" : "code:");
    std::size_t columns = textwidth(line);
    const auto& types = machinetypes();
    for (std::size_t i = 0; i < types.size(); ++i) {
        const std::string item = " \"" + std::string(types[i].text) + "\" " +
                                 std::to_string(types[i].code) + (i + 1 < types.size() ? "," : "");
        const std::size_t width = textwidth(item);
        if (columns + width > 95) {
            out += line + "\n";
            line = indent.substr(1);
            columns = line.size();
        }
        line += item;
        columns += width;
    }
    return out + line + "\n";
}

// The language of the messages: the system's until --lang is read.
Language language = systemlanguage();

// Refused input: the text on stderr, exit status 2.
[[noreturn]] void quit(const std::string& text) {
    print(Stream::err, "meterread: " + text + "\n");
    std::fflush(stderr);
    std::exit(2);
}

[[noreturn]] void refuse(const Reason& why) {
    quit(why.text(language));
}

bool stderristerminal() {
    return console::isterminal(Stream::err);
}

// Shows which request the reading waits for, on one self-overwriting line of the terminal. A
// console that does not erase lines on request gets the rest of the last line blanked.
class Progress : public ReadingListener {
  public:
    Progress(bool enabled, std::string typetext, const Pacer& pacer)
        : enabled_(enabled), erases_(enabled && console::eraseslines(Stream::err)),
          typetext_(std::move(typetext)), pacer_(pacer), start_(pacer.nowms()) {}
    void sent(std::string_view) override {}
    void received(std::string_view) override {}
    void waiting(std::string_view what) override {
        waiting_ = what;
        show();
    }
    void show() {
        if (!enabled_) return;
        const std::string line =
            progresstext(typetext_, waiting_, pacer_.nowms() - start_, language);
        const std::size_t width = textwidth(line);
        print(Stream::err, "\r" + erase() + line);
        std::fflush(stderr);
        shown_ = width;
    }
    void clear() {
        if (shown_ != 0) print(Stream::err, "\r" + erase());
    }

  private:
    std::string erase() const { return erases_ ? "\033[K" : std::string(shown_, ' ') + "\r"; }

    bool enabled_;
    bool erases_;
    std::string typetext_;
    std::string waiting_;
    const Pacer& pacer_;
    std::int64_t start_;
    std::size_t shown_ = 0; // the columns of the line shown
};

// The exit status the user's request to end asked for; 0 while none came.
std::atomic<int> cancelledwith{0};

// Ctrl-C or a TERM signal (on Windows also Ctrl+Break and closing the console) ends a running
// reading, and the port is closed as after any other reading.
void cancelonrequest(RealPacer& pacer) {
    console::onterminate([&pacer](int status) {
        cancelledwith = status;
        pacer.cancel();
    });
}

// For bench/: what the reading itself cost, without the program's start-up.
struct Usage {
    std::int64_t wallms = 0;
    std::int64_t cpums = 0;
    long maxrsskb = 0;
};

Usage measure() {
    Usage u;
    u.wallms = RealPacer().nowms();
#ifndef _WIN32
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    u.cpums = (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000LL +
              (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000;
    u.maxrsskb = r.ru_maxrss;
#endif
    return u;
}

struct Options {
    std::string port = "1";
    std::string type = "pitneybows 950";
    std::vector<std::string> devices;
    bool json = false;
    bool demo = false;
    bool verify = false;
    std::string lang;
    std::string journal;
    std::string capture;
    std::string replay;
    bool check = false;
};

Options parse(const std::vector<std::string>& arguments) {
    Options o;
    bool help = false, version = false;
    CLI::App app;
    app.set_help_flag();
    app.allow_extras();
    app.add_flag("--help", help);
    app.add_flag("--version", version);
    app.add_option("--port", o.port)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--type", o.type)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--device", o.devices);
    app.add_flag("--json", o.json);
    app.add_flag("--demo", o.demo);
    app.add_flag("--verify", o.verify);
    app.add_option("--lang", o.lang)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--journal", o.journal)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--capture", o.capture)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--replay", o.replay)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_flag("--check", o.check);
    // The language first, so that a command line that cannot be taken is refused in it.
    const std::optional<Language> chosen = chooselanguage(langoption(arguments));
    if (chosen) language = *chosen;
    if (const Reason why = parsecommandline(app, arguments)) refuse(why);
    // The language asked for is not known: say so in both.
    if (!chosen) {
        const Reason why(ReasonCode::lang_refused);
        quit(language == Language::en ? why.english()
                                      : why.text(language) + " (" + why.english() + ")");
    }
    if (help) {
        const bool zh = language == Language::zh;
        print(Stream::out,
              (zh ? usagezh : usage) + typecodes(language) + (zh ? usagetailzh : usagetail));
        std::fflush(stdout);
        std::exit(0);
    }
    if (version) {
        print(Stream::out, "meterread " METERREADER_VERSION "\n");
        std::fflush(stdout);
        std::exit(0);
    }
    if (!o.replay.empty() && !o.capture.empty())
        refuse(Reason(ReasonCode::options_together, "--capture", "--replay"));
    // A capture says itself whether its reading was verified.
    if (!o.replay.empty() && o.verify)
        refuse(Reason(ReasonCode::options_together, "--verify", "--replay"));
    if (o.check && o.replay.empty())
        refuse(Reason(ReasonCode::option_needs_option, "--check", "--replay"));
    return o;
}

// The reading as one JSON object on one line.
void printjson(const FinishedReading& r) {
    print(Stream::out, jsontext(r.report, -1));
}

// The reading as the five result lines.
void printlines(const RecordFields& f) {
    const auto line = [](ResultField field, const std::string& value) {
        print(Stream::out, resultlabel(field, language) + value + "\n");
    };
    line(ResultField::total, f.total);
    line(ResultField::used, f.used);
    line(ResultField::unused, f.unused);
    line(ResultField::pieces, f.pieces);
    line(ResultField::head, f.head);
}

// The line under the values of a reading both of whose readings agreed.
void printverified(const FinishedReading& r) {
    if (r.report.verified.value_or(false)) print(Stream::out, verifiedline(language) + "\n");
}

// Says why a file asked for was not written; false when it was not.
bool kept(const Reason& error) {
    if (error) print(Stream::err, "meterread: " + error.text(language) + "\n");
    return error.empty();
}

// The exit status of the reading, its reason on stderr when it read nothing usable.
int exitstatus(const FinishedReading& r) {
    const bool zh = language == Language::zh;
    const std::string reason = r.outcome.reason.text(language);
    if (!r.outcome.normal()) {
        print(Stream::err, std::string("meterread: ") +
                               (zh ? "读取失败：" : "the reading failed: ") + reason + "\n");
        // The shell's convention for a program ended by a signal: 128 plus its number.
        if (const int status = cancelledwith; status && r.outcome.cancelled()) return status;
        return 1;
    }
    if (r.report.status() == "nodata") {
        print(Stream::err, std::string("meterread: ") +
                               (zh ? "没有读到可用的数据：" : "no usable data: ") + reason + "\n");
        return 1;
    }
    return 0;
}

} // namespace

// --replay: the capture read again offline, printed as a reading; with --check, compared.
int replay(const Options& o) {
    const CaptureRead read = readcapture(utf8path(o.replay));
    // A capture that cannot be read names its file; one that is not right, its line.
    if (!read.capture)
        quit((read.why.code() == ReasonCode::capture_not_opened ? "" : o.replay + ": ") +
             read.why.text(language));
    const ReplayedReading replayed = replaycapture(*read.capture);
    if (o.json) {
        printjson(replayed.reading);
    } else {
        printlines(replayed.reading.fields);
        printverified(replayed.reading);
    }
    std::fflush(stdout);
    if (!o.check) return exitstatus(replayed.reading);
    const bool zh = language == Language::zh;
    if (replayed.writedifference)
        print(Stream::err, std::string("meterread: ") + (zh ? "注意：" : "note: ") +
                               replayed.writedifference.text(language) + "\n");
    if (replayed.difference) {
        print(Stream::err,
              std::string("meterread: ") +
                  (zh ? "重放与抓包不一致：" : "the replay differs from the capture: ") +
                  replayed.difference.text(language) + "\n");
        return 1;
    }
    print(Stream::err, zh ? "meterread: 重放与抓包一致（结束方式、原因和记录）\n"
                          : "meterread: the replay matches the capture (end, reason and record)\n");
    return 0;
}

int main(int argc, char** argv) {
    static RealPacer pacer;
    cancelonrequest(pacer);
    const Options o = parse(console::arguments(argc, argv));
    if (!o.replay.empty()) return replay(o);

    ReadingSession session;
    const std::int16_t code = typefromtext(o.type);
    const std::string typetext = code != 0 && !textfor(code).empty() ? textfor(code) : o.type;
    if (const Reason why = session.check(o.port, code, typetext))
        refuse(why.code() == ReasonCode::port_above_8 ? Reason(ReasonCode::port_above_8_reach, why)
                                                      : why);

    // The demo meter stands behind every port but those --device names, as in the window.
    const RunStart run = startrun(o.demo, o.devices);
    if (run.refused) refuse(run.refused);
    if (run.demofailed) {
        // Not the input's fault: the reading cannot take place.
        print(Stream::err, std::string("meterread: ") +
                               (language == Language::zh ? "演示用的模拟邮资表无法启动："
                                                         : "the demo meter cannot start: ") +
                               run.demofailed.text(language) + "\n");
        return 1;
    }

    const std::unique_ptr<SerialDevice> device = makeserialdevice(run.ports);
    device->setcancellation(&pacer.cancellation());
    const std::unique_ptr<VendorLibrary> vendor = vendorlibrary();
    vendor->setcancellation(&pacer.cancellation());
    Progress progress(stderristerminal(), typetext, pacer);
    pacer.onevents([&progress] { progress.show(); });
    // The exchange is kept for --capture; keeping it changes nothing in the reading.
    CaptureRecorder recorder(*device, *vendor, pacer, &progress);
    Driver driver({recorder.device(), pacer, recorder.vendor(), recorder.listener()});
    if (const Reason why = session.take(driver)) refuse(why);

    if (run.demo && stderristerminal())
        print(Stream::err, language == Language::zh
                               ? "演示：模拟的邮资表在 " + run.demo->path() + "，连在每个端口后面\n"
                               : "demo: the simulated meter on " + run.demo->path() +
                                     " stands behind every port\n");
    const Usage before = measure();
    recorder.begin();
    FinishedReading reading = session.run(driver, device->describe(session.port()), o.verify,
                                          [&recorder] { recorder.again(); });
    run.mark(reading.report);
    const Usage after = measure();
    progress.clear();
    if (std::getenv("METERREAD_BENCH"))
        std::fprintf(stderr, "bench: wall_ms=%lld cpu_ms=%lld maxrss_kb=%ld\n",
                     static_cast<long long>(after.wallms - before.wallms),
                     static_cast<long long>(after.cpums - before.cpums), after.maxrsskb);

    if (o.json) {
        printjson(reading);
    } else {
        printlines(reading.fields);
        printverified(reading);
    }
    std::fflush(stdout);
    const bool journalled = o.journal.empty() || kept(keepjournal(o.journal, reading.report));
    // No one was asked: only a capture is replaced.
    const bool captured =
        o.capture.empty() ||
        kept(keepcapture(o.capture, capturereading(reading, recorder), Replace::ownkind));
    const int status = exitstatus(reading);
    // A journal or capture asked for and not written is a failure even of a good reading.
    return status == 0 && !(journalled && captured) ? 1 : status;
}
