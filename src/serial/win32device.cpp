// The serial device over the Win32 communications functions: a handle opened without overlapped
// I/O, read time-outs that make ReadFile return at once with what has arrived, and a short write
// time-out so that a write waiting for the line can look at the cancellation between slices.
#include "core/cancellation.h"
#include "core/metererror.h"
#include "serial/nativedevice.h"

#include <chrono>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace meter {

namespace {

std::string messagefor(DWORD code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!out.empty() &&
           (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

BYTE parityof(char p) {
    switch (p) {
    case 'e':
        return EVENPARITY;
    case 'o':
        return ODDPARITY;
    default:
        return NOPARITY;
    }
}

class Win32SerialDevice : public NativeSerialDevice {
  public:
    explicit Win32SerialDevice(PortMap map) : NativeSerialDevice(std::move(map)) {}
    ~Win32SerialDevice() override { close(); }
    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    bool isopen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    void close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    std::size_t byteswaiting() override {
        requireopen("read");
        return queued();
    }

    Bytes readall() override {
        requireopen("read");
        Bytes out;
        for (std::size_t waiting = queued(); waiting > 0; waiting = queued()) {
            const std::size_t start = out.size();
            out.resize(start + waiting);
            DWORD n = 0;
            if (!ReadFile(handle_, out.data() + start, static_cast<DWORD>(waiting), &n, nullptr))
                lost("");
            out.resize(start + n);
            if (n == 0) break;
        }
        return out;
    }

  private:
    void acquire(const Line& line) override {
        const auto& [path, named] = line;

        const std::string name = win32devicename(path);
        HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = GetLastError();
            switch (e) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_BAD_UNIT:
            case ERROR_DEV_NOT_EXIST:
                throw MeterError(named + " does not exist");
            case ERROR_ACCESS_DENIED: // a COM port another program holds
            case ERROR_SHARING_VIOLATION:
            case ERROR_BUSY:
                throw MeterError(named + " is in use by another program");
            default:
                throw MeterError(named + " could not be opened (" + messagefor(e) + ")");
            }
        }
        handle_ = h;
    }

    std::size_t writesome(ByteView bytes) override {
        DWORD n = 0;
        if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
            GetLastError() != ERROR_TIMEOUT && GetLastError() != ERROR_SEM_TIMEOUT)
            lost("while writing");
        // The write time-out of one slice may run out with bytes left: the line is slow or stuck.
        return n;
    }

    void setup(const std::string& named) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb))
            throw MeterError(named + " is not a serial device (" + messagefor(GetLastError()) +
                             ")");
        dcb.BaudRate = static_cast<DWORD>(settings_.baud);
        dcb.ByteSize = static_cast<BYTE>(settings_.databits);
        dcb.Parity = parityof(settings_.parity);
        dcb.StopBits = settings_.stopbits == 2 ? TWOSTOPBITS : ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = dcb.Parity != NOPARITY;
        // No handshaking of any kind; DTR on while the port is open.
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        // Bytes unchanged, and line errors must not stop the port until they are cleared.
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        if (!SetCommState(handle_, &dcb))
            throw MeterError(named + " could not be set up (the line settings " + settings_.text() +
                             " were refused: " + messagefor(GetLastError()) + ")");

        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD; // with both totals 0: return what has arrived
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = writeslicems;
        if (!SetCommTimeouts(handle_, &timeouts))
            throw MeterError(named + " could not be set up (" + messagefor(GetLastError()) + ")");

        // DTR is asserted by the state above already; a driver without modem lines (a virtual
        // port) refuses this, which does no harm.
        EscapeCommFunction(handle_, SETDTR);

        // A fresh port has an empty receive buffer: whatever arrived while nobody read the
        // device (a late reply to an earlier reading) is not this reading's.
        PurgeComm(handle_, PURGE_RXCLEAR | PURGE_RXABORT);
        DWORD errors = 0;
        ClearCommError(handle_, &errors, nullptr);
    }

    // Bytes received and not yet read; also clears line errors (framing, overrun, parity),
    // which are no reason to stop. A failure means the device is gone.
    std::size_t queued() {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(handle_, &errors, &stat)) lost("");
        return stat.cbInQue;
    }

    std::string lostdetail() const override { return messagefor(GetLastError()); }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace

std::unique_ptr<SerialDevice> makeserialdevice(PortMap map) {
    return std::make_unique<Win32SerialDevice>(std::move(map));
}

} // namespace meter
