#include "cli/linedevice.h"

#include "serial/qt/qtserialdevice.h"

#include <QCoreApplication>

namespace meter {

std::unique_ptr<SerialDevice> makelinedevice(const PortMap& ports) {
    // QSerialPort wants an application object; it runs no event loop.
    static int argc = 1;
    static char name[] = "meterread";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return std::make_unique<QtSerialDevice>(ports);
}

} // namespace meter
