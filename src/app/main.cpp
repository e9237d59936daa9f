// SPDX-License-Identifier: GPL-3.0-or-later
// meterreader: the window. Reads a postage meter's registers over a serial cable.
#include "app/form1.h"
#include "app/language.h"
#include "frontend/readingsetup.h"
#include "serial/nativedevice.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <memory>
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

// Says why the window does not open: on stderr, and on Windows, where a program of the desktop
// has no console to say it on, in a message box as well.
int refuse(const QString& text, int status) {
    std::fprintf(stderr, "meterreader: %s\n", text.toUtf8().constData());
#ifdef Q_OS_WIN
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMessageBox::critical(nullptr, QStringLiteral("meterreader"), text);
#endif
    return status;
}

} // namespace

int main(int argc, char** argv) {
    // Without a display only --help and --version can be answered; those need no window.
    const bool display = hasdisplay();
    std::unique_ptr<QCoreApplication> app;
    if (display)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("meterreader"));
    QCoreApplication::setApplicationVersion(QStringLiteral(METERREADER_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads the accounting registers of a postage meter over a serial cable."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("demo"),
                      QStringLiteral("Read the built-in simulated meter, which stands behind every "
                                     "port.")});
    parser.addOption({QStringLiteral("device"),
                      QStringLiteral("Put device PATH behind port N (repeatable), e.g. "
                                     "1=/dev/ttyUSB0."),
                      QStringLiteral("N=PATH")});
    parser.addOption({QStringLiteral("journal"),
                      QStringLiteral("Append every finished reading to FILE as a CSV row."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("lang"),
                      QStringLiteral("The window's language: zh (Chinese) or en (English). By "
                                     "default the system's: English where its language is "
                                     "English, Chinese otherwise."),
                      QStringLiteral("zh|en")});
    parser.process(*app);
    const auto language = meter::chooselanguage(parser.value(QStringLiteral("lang")).toStdString());
    if (!language) {
        return refuse(QStringLiteral("--lang takes zh or en"), 2);
    }
    if (!display) {
        std::fprintf(stderr, "meterreader: there is no display to open the window on (DISPLAY and "
                             "WAYLAND_DISPLAY are not set). Start it on the desktop, or read from "
                             "the command line with meterread (try: meterread --demo).\n");
        return 1;
    }
    // Matches the desktop entry, so that desktops show the window with its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.meterreader.MeterReader"));
    meter::uselanguage(*language);

    std::vector<std::string> devices;
    for (const QString& entry : parser.values(QStringLiteral("device")))
        devices.push_back(entry.toStdString());
    const meter::RunStart run = meter::startrun(parser.isSet(QStringLiteral("demo")), devices);
    if (const meter::Reason why = run.refused ? run.refused : run.demofailed)
        return refuse(QString::fromStdString(why.text(meter::windowlanguage())), 2);

    meter::Form1 window(meter::makeserialdevice(run.ports), meter::vendorlibrary(),
                        run.demo != nullptr);
    // The device chosen in the window for a port is remembered; --device, METERREADER_PORTS and
    // the demo still win for the ports they name.
    window.usedevices([](const meter::PortMap& map) { return meter::makeserialdevice(map); },
                      run.ports);
    if (run.demo) window.usedemo(run.demo->path());
    if (parser.isSet(QStringLiteral("journal")))
        window.usejournal(parser.value(QStringLiteral("journal")));
    window.show();
    return app->exec();
}
