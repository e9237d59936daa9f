// meterread: reads a postage meter from the command line, with the same acquisition core as the
// window. Scripts rely on its output and exit status (see --help).
#include "acquire/driver.h"
#include "acquire/vendor.h"
#include "frontend/demo.h"
#include "frontend/machinetypes.h"
#include "frontend/recordview.h"
#include "frontend/station.h"
#include "serial/nativedevice.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

using namespace meter;

const char* const usage =
    R"USAGE(usage: meterread [--port TEXT] [--type TEXT] [--device N=PATH]... [--json] [--demo]
                 [--help] [--version]
Reads the registers of a postage meter on a serial port and prints them.

  --port TEXT      port number as in the window's port list (default 1)
  --type TEXT      machine type as in the window's list (default "pitneybows 950"), or its
                   code: "pitneybows 950" 21, "pitneybows spark" 22, "高速机" 31, "neopost" 11,
                   "copote" 51, "5400(4表头)" 12, "5400(5表头)" 13
  --device N=PATH  put device PATH behind port N (repeatable); METERREADER_PORTS="N=PATH;..."
                   does the same from the environment
  --json           print one JSON object instead of the five result lines
  --demo           read the built-in simulated meter, which stands behind every port
  --help, --version

Exit status: 0 a record was read; 1 the reading failed or gave no usable data (reason on
stderr); 2 refused input.
)USAGE";

[[noreturn]] void refuse(const std::string& message) {
    std::fprintf(stderr, "meterread: %s\n", message.c_str());
    std::exit(2);
}

bool stderristerminal() {
#ifndef _WIN32
    return isatty(STDERR_FILENO) == 1;
#else
    return false;
#endif
}

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// Shows which request the reading waits for, on one self-overwriting line of the terminal.
class Progress : public ReadingListener {
  public:
    Progress(bool enabled, QString typetext, const Pacer& pacer)
        : enabled_(enabled), typetext_(std::move(typetext)), pacer_(pacer), start_(pacer.nowms()) {}
    void sent(std::string_view) override {}
    void received(std::string_view) override {}
    void waiting(std::string_view what) override {
        waiting_ = QString::fromUtf8(what.data(), static_cast<qsizetype>(what.size()));
        show();
    }
    void show() {
        if (!enabled_) return;
        const QString line = progresstext(typetext_, waiting_, pacer_.nowms() - start_);
        std::fprintf(stderr, "\r\033[K%s", line.toUtf8().constData());
        std::fflush(stderr);
        shown_ = true;
    }
    void clear() {
        if (shown_) std::fputs("\r\033[K", stderr);
    }

  private:
    bool enabled_;
    QString typetext_;
    QString waiting_;
    const Pacer& pacer_;
    std::int64_t start_;
    bool shown_ = false;
};

// Ctrl-C or a TERM signal ends a running reading at its next poll, and the port is closed as
// after any other reading.
void cancelonsignal(RealPacer& pacer) {
#ifndef _WIN32
    static sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([&pacer] {
        int sig = 0;
        sigwait(&set, &sig);
        pacer.cancel();
    }).detach();
#else
    (void)pacer;
#endif
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
    QString port = QStringLiteral("1");
    std::string type = "pitneybows 950";
    QStringList devices;
    bool json = false;
    bool demo = false;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::optional<std::string> inline_;
        if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            inline_ = a.substr(eq + 1);
            a = a.substr(0, eq);
        }
        auto value = [&]() -> std::string {
            if (inline_) return *inline_;
            if (i + 1 >= argc) refuse(a + " needs a value (see --help)");
            return argv[++i];
        };
        if (a == "--help") {
            std::fputs(usage, stdout);
            std::exit(0);
        } else if (a == "--version") {
            std::printf("meterread %s\n", METERREADER_VERSION);
            std::exit(0);
        } else if (a == "--port") {
            o.port = QString::fromLocal8Bit(value());
        } else if (a == "--type") {
            o.type = value();
        } else if (a == "--device") {
            o.devices << QString::fromLocal8Bit(value());
        } else if (a == "--json" && !inline_) {
            o.json = true;
        } else if (a == "--demo" && !inline_) {
            o.demo = true;
        } else {
            refuse("unknown option " + std::string(argv[i]) + " (see --help)");
        }
    }
    return o;
}

// A list text, or a machine type code written as a number.
std::int16_t typecode(const std::string& text) {
    if (const std::int16_t code = codefor(text)) return code;
    bool whole = false;
    const std::int16_t code = QString::fromStdString(text).trimmed().toShort(&whole);
    return whole ? code : 0;
}

} // namespace

int main(int argc, char** argv) {
    static RealPacer pacer;
    cancelonsignal(pacer);
    QCoreApplication app(argc, argv);
    const Options o = parse(argc, argv);

    if (o.port.isEmpty()) refuse("the port text is empty");
    bool whole = false;
    const std::int16_t port = o.port.trimmed().toShort(&whole);
    if (!whole)
        refuse("port \"" + o.port.toStdString() + "\" is not a whole number from -32768 to 32767");
    const std::int16_t code = typecode(o.type);
    const std::string typetext = code != 0 && !textfor(code).empty() ? textfor(code) : o.type;
    if (const QString why = refusal(port, code, QString::fromStdString(o.type)); !why.isEmpty())
        refuse(why.toStdString());

    PortMap ports;
    std::unique_ptr<Demo> demo;
    try {
        ports = PortMap::fromenvironment();
        if (o.demo) {
            demo = std::make_unique<Demo>();
            demo->mapallports(ports);
        }
    } catch (const std::exception& e) {
        refuse(e.what());
    }
    if (const QString error = applydevices(ports, o.devices); !error.isEmpty())
        refuse(error.toStdString());
    exportports(ports);

    const std::unique_ptr<SerialDevice> line = makeserialdevice(ports);
    SerialDevice& device = *line;
    device.setcancellation(&pacer.cancellation());
    const std::unique_ptr<VendorLibrary> vendor = vendorlibrary();
    vendor->setcancellation(&pacer.cancellation());
    Progress progress(stderristerminal(), QString::fromStdString(typetext), pacer);
    pacer.onevents([&progress] { progress.show(); });
    Driver driver({device, pacer, *vendor, &progress});
    if (driver.initport(port, code) != 1)
        refuse("port " + std::to_string(port) + " or machine type refused");

    if (demo && stderristerminal())
        std::fprintf(stderr, "demo: the simulated meter on %s stands behind every port\n",
                     demo->path().c_str());
    const Usage before = measure();
    const std::string record = driver.Getregisters();
    const Usage after = measure();
    progress.clear();
    if (std::getenv("METERREAD_BENCH"))
        std::fprintf(stderr, "bench: wall_ms=%lld cpu_ms=%lld maxrss_kb=%ld\n",
                     static_cast<long long>(after.wallms - before.wallms),
                     static_cast<long long>(after.cpums - before.cpums), after.maxrsskb);
    const Outcome& outcome = driver.outcome();
    const RecordFields f = cutrecord(record);

    if (o.json) {
        QJsonObject j;
        j[QStringLiteral("port")] = port;
        j[QStringLiteral("type")] = QString::fromStdString(typetext);
        j[QStringLiteral("code")] = code;
        j[QStringLiteral("device")] = QString::fromStdString(device.describe(port));
        j[QStringLiteral("record")] = latin1(record);
        j[QStringLiteral("total")] = latin1(f.total);
        j[QStringLiteral("used")] = latin1(f.used);
        j[QStringLiteral("unused")] = latin1(f.unused);
        j[QStringLiteral("pieces")] = latin1(f.pieces);
        j[QStringLiteral("head")] = latin1(f.head);
        j[QStringLiteral("end")] =
            outcome.normal() ? QStringLiteral("normal") : QStringLiteral("failure");
        j[QStringLiteral("reason")] = QString::fromStdString(outcome.reason);
        j[QStringLiteral("sent")] = latin1(driver.link().txtsend());
        j[QStringLiteral("received")] = latin1(driver.link().txtrece());
        std::printf("%s\n", QJsonDocument(j).toJson(QJsonDocument::Compact).constData());
    } else {
        std::printf("%s%s\n%s%s\n%s%s\n%s%s\n%s%s\n", prefix::total, f.total.c_str(), prefix::used,
                    f.used.c_str(), prefix::unused, f.unused.c_str(), prefix::pieces,
                    f.pieces.c_str(), prefix::head, f.head.c_str());
    }
    std::fflush(stdout);

    if (!outcome.normal()) {
        std::fprintf(stderr, "meterread: the reading failed: %s\n", outcome.reason.c_str());
        return 1;
    }
    if (record == allzerorecord) {
        std::fprintf(stderr, "meterread: no usable data: %s\n", outcome.reason.c_str());
        return 1;
    }
    return 0;
}
