// SPDX-License-Identifier: GPL-3.0-or-later
// The serial device over the Win32 communications functions: a handle opened without overlapped
// I/O, read time-outs that make ReadFile return at once with what has arrived, and a short write
// time-out so that a write waiting for the line can look at the cancellation between slices.
// A named pipe (\\.\pipe\...) stands in for a line, as the demo meter serves one: it has no
// line settings or time-outs, and tells the bytes waiting through PeekNamedPipe.
#include "core/cancellation.h"
#include "core/metererror.h"
#include "core/win32text.h"
#include "serial/nativedevice.h"

#include <cctype>
#include <chrono>
#include <cwctype>
#include <string_view>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace meter {

namespace {

// Whether the device is a named pipe rather than a serial port.
bool ispipe(std::string_view name) {
    constexpr std::string_view prefix = "\\\\.\\pipe\\";
    if (name.size() <= prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != prefix[i]) return false;
    return true;
}

// How long an open waits for a pipe whose one instance is still being let go by the reader
// before (the demo meter takes its next reader as soon as the last one has closed).
constexpr DWORD pipebusyms = 1000;

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
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        release();
    }

    std::size_t byteswaiting() override {
        requireopen(Use::read);
        return queued();
    }

    Bytes readall() override {
        requireopen(Use::read);
        Bytes out;
        for (std::size_t waiting = queued(); waiting > 0; waiting = queued()) {
            const std::size_t start = out.size();
            out.resize(start + waiting);
            DWORD n = 0;
            if (!ReadFile(handle_, out.data() + start, static_cast<DWORD>(waiting), &n, nullptr))
                lost();
            out.resize(start + n);
            if (n == 0) break;
        }
        return out;
    }

  private:
    void acquire(const Line& line) override {
        const auto& [port, path] = line;

        const std::wstring name = widen(win32devicename(path));
        pipe_ = ispipe(path);
        if (!claim(name)) throw MeterError(Reason(ReasonCode::device_busy, port, path));
        HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && pipe_ && GetLastError() == ERROR_PIPE_BUSY &&
            WaitNamedPipeW(name.c_str(), pipebusyms))
            h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = GetLastError();
            release();
            switch (e) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_BAD_UNIT:
            case ERROR_DEV_NOT_EXIST:
                throw MeterError(Reason(ReasonCode::device_missing, port, path));
            case ERROR_ACCESS_DENIED:
                // What Windows says of a COM port another program holds, and of one this user
                // may not open.
                throw MeterError(Reason(ReasonCode::device_busy_or_denied, port, path));
            case ERROR_SHARING_VIOLATION:
            case ERROR_BUSY:
            case ERROR_PIPE_BUSY:
                throw MeterError(Reason(ReasonCode::device_busy, port, path));
            default:
                throw MeterError(Reason(ReasonCode::device_not_opened, port, path, win32error(e)));
            }
        }
        handle_ = h;
    }

    std::size_t writesome(ByteView bytes) override {
        DWORD n = 0;
        if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
            GetLastError() != ERROR_TIMEOUT && GetLastError() != ERROR_SEM_TIMEOUT)
            lost(true);
        // The write time-out of one slice may run out with bytes left: the line is slow or stuck.
        return n;
    }

    void setup(const Line& line) override {
        const auto& [port, path] = line;
        if (pipe_) {
            // Nothing to set on a pipe; what waits in it is not this reading's.
            readall();
            return;
        }
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb))
            throw MeterError(Reason(ReasonCode::device_not_serial_detail, port, path,
                                    win32error(GetLastError())));
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
            throw MeterError(Reason(ReasonCode::device_settings_refused_detail, port, path,
                                    settings_.text(), win32error(GetLastError())));

        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD; // with both totals 0: return what has arrived
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = writeslicems;
        if (!SetCommTimeouts(handle_, &timeouts))
            throw MeterError(
                Reason(ReasonCode::device_not_set_up, port, path, win32error(GetLastError())));

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
        if (pipe_) {
            DWORD available = 0;
            if (!PeekNamedPipe(handle_, nullptr, 0, nullptr, &available, nullptr)) lost();
            return available;
        }
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(handle_, &errors, &stat)) lost();
        return stat.cbInQue;
    }

    Reason lostreason(const std::string& path, bool writing) const override {
        return Reason(writing ? ReasonCode::line_lost_writing : ReasonCode::line_lost, path,
                      win32error(GetLastError()));
    }

    // Windows keeps a COM port to one opener, but not every driver does (Wine's, a virtual
    // port's), nor does a pipe: a claim of our own on the device's name, held while it is open,
    // keeps a second reader of ours off the line, as the lock on POSIX does. False when
    // another holds it.
    bool claim(const std::wstring& device) {
        std::wstring name = L"Local\\meterreader-line-";
        for (const wchar_t c : device)
            name += c == L'\\' ? L'/' : static_cast<wchar_t>(std::towupper(c));
        HANDLE claim = CreateSemaphoreW(nullptr, 1, 1, name.c_str());
        if (!claim) return true; // no claim to be had: the system's own check is all there is
        if (WaitForSingleObject(claim, 0) != WAIT_OBJECT_0) {
            CloseHandle(claim);
            return false;
        }
        claim_ = claim;
        return true;
    }
    void release() {
        if (!claim_) return;
        ReleaseSemaphore(claim_, 1, nullptr);
        CloseHandle(claim_);
        claim_ = nullptr;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE claim_ = nullptr;
    bool pipe_ = false;
};

} // namespace

std::unique_ptr<SerialDevice> makeserialdevice(PortMap map) {
    return std::make_unique<Win32SerialDevice>(std::move(map));
}

} // namespace meter
