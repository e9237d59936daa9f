// meterreader: the window. Reads a postage meter's registers over a serial cable.
#include "acquire/vendor.h"
#include "app/form1.h"
#include "app/qtstation.h"
#include "frontend/demo.h"
#include "serial/qt/qtserialdevice.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <stdexcept>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("meterreader"));
    QApplication::setApplicationVersion(QStringLiteral(METERREADER_VERSION));

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
    parser.process(app);

    meter::PortMap ports;
    std::unique_ptr<meter::Demo> demo;
    try {
        ports = meter::PortMap::fromenvironment();
        if (parser.isSet(QStringLiteral("demo"))) {
            demo = std::make_unique<meter::Demo>();
            demo->mapallports(ports);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "meterreader: %s\n", e.what());
        return 2;
    }
    if (const QString error = meter::applydevices(ports, parser.values(QStringLiteral("device")));
        !error.isEmpty()) {
        std::fprintf(stderr, "meterreader: %s\n", qPrintable(error));
        return 2;
    }
    meter::exportports(ports);

    meter::Form1 window(std::make_unique<meter::QtSerialDevice>(ports),
                        std::make_unique<meter::DynamicVendorLibrary>(meter::vendorlibrarypath()),
                        demo != nullptr);
    window.show();
    return app.exec();
}
