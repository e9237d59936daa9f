#include "serial/qt/qtserialdevice.h"

#include "core/metererror.h"

#include <QSerialPort>

#ifdef __linux__
#include <cerrno>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace meter {

namespace {

// How long a write may take to be handed to the operating system before the line counts as
// lost. Frames are at most a few hundred bytes, so this is generous even at 4800 baud.
constexpr int writetimeoutms = 2000;

bool ispseudoterminal(const std::string& path) {
#ifdef __linux__
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143; // Unix98 pseudo-terminal slaves
#else
    (void)path;
    return false;
#endif
}

bool permissiondenied(const std::string& path) {
#ifdef __linux__
    return access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    (void)path;
    return false;
#endif
}

QSerialPort::Parity parityof(char p) {
    switch (p) {
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    default:
        return QSerialPort::NoParity;
    }
}

} // namespace

QtSerialDevice::QtSerialDevice(PortMap map) : map_(std::move(map)) {}

QtSerialDevice::~QtSerialDevice() = default;

bool QtSerialDevice::isopen() const {
    return port_ && port_->isOpen();
}

void QtSerialDevice::open(int port) {
    close();
    const std::string path = map_.devicefor(port);
    const std::string which = "port " + std::to_string(port);
    if (path.empty()) throw MeterError(which + " has no device (ports are numbered from 1)");
    const std::string named = which + " (" + path + ")";

    auto sp = std::make_unique<QSerialPort>();
    sp->setPortName(QString::fromStdString(path));
    sp->setBaudRate(settings_.baud);
    sp->setDataBits(static_cast<QSerialPort::DataBits>(settings_.databits));
    sp->setParity(parityof(settings_.parity));
    sp->setStopBits(settings_.stopbits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    if (!sp->open(QIODevice::ReadWrite)) {
        const std::string detail = sp->errorString().toStdString();
        switch (sp->error()) {
        case QSerialPort::DeviceNotFoundError:
            throw MeterError(named + " does not exist (" + detail + ")");
        case QSerialPort::PermissionError:
            if (permissiondenied(path))
                throw MeterError(named + ": permission denied; add the user to the dialout "
                                         "group (sudo usermod -aG dialout $USER) and log in again");
            throw MeterError(named + " is in use by another program (" + detail + ")");
        default:
            throw MeterError(named + " could not be opened (" + detail + ")");
        }
    }
    if (!sp->setDataTerminalReady(true)) {
        // A pseudo-terminal has no modem lines: DTR is meaningless there, not a fault.
        if (!ispseudoterminal(path)) {
            const std::string detail = sp->errorString().toStdString();
            sp->close();
            throw MeterError(named + ": DTR could not be asserted (" + detail + ")");
        }
        sp->clearError();
    }
    port_ = std::move(sp);
    path_ = path;
}

void QtSerialDevice::close() {
    if (port_) {
        if (port_->isOpen()) port_->close();
        port_.reset();
    }
}

void QtSerialDevice::write(ByteView bytes) {
    if (!isopen()) throw MeterError("cannot write: the port is not open");
    port_->clearError();
    const auto size = static_cast<qint64>(bytes.size());
    const qint64 queued = port_->write(reinterpret_cast<const char*>(bytes.data()), size);
    bool ok = queued == size;
    while (ok && port_->bytesToWrite() > 0)
        ok = port_->waitForBytesWritten(writetimeoutms);
    if (!ok)
        throw MeterError("the line to " + path_ + " was lost while writing (" +
                         port_->errorString().toStdString() + ")");
}

void QtSerialDevice::pump() {
    if (!isopen()) throw MeterError("cannot read: the port is not open");
    port_->clearError();
    port_->waitForReadyRead(0);
    const auto error = port_->error();
    if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
        throw MeterError("the line to " + path_ + " was lost (" +
                         port_->errorString().toStdString() + ")");
    port_->clearError();
}

std::size_t QtSerialDevice::byteswaiting() {
    pump();
    return static_cast<std::size_t>(port_->bytesAvailable());
}

Bytes QtSerialDevice::readall() {
    pump();
    const QByteArray data = port_->readAll();
    return Bytes(data.begin(), data.end());
}

} // namespace meter
