// SPDX-License-Identifier: GPL-3.0-or-later
// meterreader: the window. Reads a postage meter's registers over a serial cable.
#include "app/form1.h"
#include "app/language.h"
#include "cli/commandline.h"
#include "frontend/readingsetup.h"
#include "serial/nativedevice.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// Whether a window can open. On Linux and the BSDs Qt needs an X11 or Wayland display (or a
// platform named in QT_QPA_PLATFORM) and aborts without one.
bool hasdisplay() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    const auto isset = [](const char* variable) {
        const char* value = std::getenv(variable);
        return value && *value;
    };
    return isset("DISPLAY") || isset("WAYLAND_DISPLAY") || isset("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

const char* const usage =
    R"USAGE(usage: meterreader [--demo] [--device N=PATH]... [--journal FILE] [--lang zh|en]
                   [--help] [--version]
Reads the accounting registers of a postage meter over a serial cable, in a window.

  --demo           read the built-in simulated meter, which stands behind every port but
                   those --device names
  --device N=PATH  put device PATH behind port N (repeatable), e.g. 1=/dev/ttyUSB0 or 9=COM9;
                   METERREADER_PORTS="N=PATH;..." does the same from the environment
  --journal FILE   keep this run's journal in FILE (a CSV row for every reading) instead of
                   the one the window keeps by default
  --lang zh|en     the window's language (default: the system's locale, Chinese unless it is
                   English)
  --help, --version

Exit status: 0 the window was closed; 1 it could not open (no display); 2 refused input.
)USAGE";

// The same in Chinese, for a Chinese --lang or locale.
const char* const usagezh =
    R"USAGE(用法：meterreader [--demo] [--device N=路径]... [--journal 文件] [--lang zh|en]
                   [--help] [--version]
在窗口里通过串口电缆读取邮资表的计费寄存器。

  --demo           读取内置的模拟邮资表，它连在每个端口后面（--device 指定的端口除外）
  --device N=路径  把设备“路径”放在端口 N 后面（可重复），例如 1=/dev/ttyUSB0 或 9=COM9；
                   环境变量 METERREADER_PORTS="N=路径;..." 的作用相同
  --journal 文件   这次运行的日志记在“文件”里（每次读取一行 CSV），而不是窗口默认的日志
  --lang zh|en     窗口的语言（默认按系统的区域设置：英语时为英语，否则为中文）
  --help, --version

退出状态：0 窗口已关闭；1 窗口无法打开（没有显示器）；2 输入被拒绝。
)USAGE";

// Says `text` where the user sees it: on stdout or stderr, and on Windows, where a program of
// the desktop has no console to say it on, in a message box as well.
int say(const QString& text, int status, bool error = true) {
    std::fprintf(error ? stderr : stdout, "%s\n", text.toUtf8().constData());
    std::fflush(error ? stderr : stdout);
#ifdef Q_OS_WIN
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        if (error)
            QMessageBox::critical(nullptr, QStringLiteral("meterreader"), text);
        else
            QMessageBox::information(nullptr, QStringLiteral("meterreader"), text);
    }
#endif
    return status;
}

int refuse(const meter::Reason& why, meter::Language language, int status = 2) {
    return say(QStringLiteral("meterreader: ") + QString::fromStdString(why.text(language)),
               status);
}

struct Options {
    bool demo = false;
    std::vector<std::string> devices;
    std::string journal;
    std::string lang;
};

} // namespace

int main(int argc, char** argv) {
    // Without a display only --help, --version and refusals can be answered; those need no
    // window.
    const bool display = hasdisplay();
    std::unique_ptr<QCoreApplication> app;
    if (display)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("meterreader"));
    QCoreApplication::setApplicationVersion(QStringLiteral(METERREADER_VERSION));

    // The arguments as Qt has them: UTF-8 from the UTF-16 command line on Windows, those of Qt's
    // own (-platform, -style) taken out.
    std::vector<std::string> arguments;
    for (const QString& a : QCoreApplication::arguments()) arguments.push_back(a.toStdString());

    Options o;
    bool help = false, version = false;
    CLI::App cli;
    cli.set_help_flag();
    cli.allow_extras();
    cli.add_flag("--help,-h", help);
    cli.add_flag("--version,-v", version);
    cli.add_flag("--demo", o.demo);
    cli.add_option("--device", o.devices);
    cli.add_option("--journal", o.journal)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    cli.add_option("--lang", o.lang)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    // The language first, so that a command line that cannot be taken is refused in it.
    const std::optional<meter::Language> chosen = meter::chooselanguage(meter::langoption(arguments));
    const meter::Language language = chosen ? *chosen : meter::systemlanguage();
    if (const meter::Reason why = meter::parsecommandline(cli, arguments))
        return refuse(why, language);
    if (!chosen) {
        // The language asked for is not known: say so in both.
        const meter::Reason why(meter::ReasonCode::lang_refused);
        return say(QStringLiteral("meterreader: ") +
                       QString::fromStdString(language == meter::Language::en
                                                  ? why.english()
                                                  : why.text(language) + " (" + why.english() +
                                                        ")"),
                   2);
    }
    if (help) return say(QString::fromUtf8(language == meter::Language::zh ? usagezh : usage), 0,
                         false);
    if (version) return say(QStringLiteral("meterreader " METERREADER_VERSION), 0, false);
    const meter::RunStart run = meter::startrun(o.demo, o.devices);
    if (run.refused) return refuse(run.refused, language);
    if (!display) {
        return say(language == meter::Language::zh
                       ? QStringLiteral("meterreader：没有可以打开窗口的显示器（DISPLAY 和 "
                                        "WAYLAND_DISPLAY 都没有设置）。请在桌面上启动它，或者用命令行"
                                        "程序 meterread 读取（试试：meterread --demo）。")
                       : QStringLiteral("meterreader: there is no display to open the window on "
                                        "(DISPLAY and WAYLAND_DISPLAY are not set). Start it on "
                                        "the desktop, or read from the command line with "
                                        "meterread (try: meterread --demo)."),
                   1);
    }
    // Matches the desktop entry, so that desktops show the window with its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.meterreader.MeterReader"));
    meter::uselanguage(language);

    // Not the input's fault: the window cannot read.
    if (run.demofailed) return refuse(run.demofailed, language, 1);

    meter::Form1 window(meter::makeserialdevice(run.ports), meter::vendorlibrary(),
                        run.demo != nullptr);
    // The device chosen in the window for a port is remembered; --device, METERREADER_PORTS and
    // the demo still win for the ports they name.
    window.usedevices([](const meter::PortMap& map) { return meter::makeserialdevice(map); },
                      run.ports);
    if (run.demo) window.usedemo(run.demo->path());
    if (!o.journal.empty()) window.usejournal(QString::fromStdString(o.journal));
    window.show();
    return app->exec();
}
