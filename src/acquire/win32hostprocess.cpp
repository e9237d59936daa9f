// SPDX-License-Identifier: GPL-3.0-or-later
// The helper program on Windows: started with CreateProcessW by its full path, its standard
// input and output two pipes of its own, in a job object that is killed with the reader.
#include "acquire/hostprocess.h"

#include "core/metererror.h"
#include "core/win32text.h"

#include <algorithm>
#include <cstdio>

#include <windows.h>

namespace meter {

namespace {

class Win32HostProcess : public HostProcess {
  public:
    Win32HostProcess(const std::string& host, const std::string& library);
    ~Win32HostProcess() override;
    Win32HostProcess(const Win32HostProcess&) = delete;
    Win32HostProcess& operator=(const Win32HostProcess&) = delete;

    bool alive() override { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    bool send(const std::string& text) override;
    Received receive(std::string& buffer, std::chrono::milliseconds wait) override;
    void kill() override;
    Reason howended(const std::string& call) override;

  private:
    HANDLE process_ = nullptr;
    HANDLE job_ = nullptr;
    HANDLE tohost_ = nullptr;
    HANDLE fromhost_ = nullptr;
};

Win32HostProcess::Win32HostProcess(const std::string& host, const std::string& library) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childin = nullptr, childout = nullptr;
    if (!CreatePipe(&childin, &tohost_, &inherit, 0))
        throw MeterError(Reason(ReasonCode::helper_no_pipe, win32error(GetLastError())));
    if (!CreatePipe(&fromhost_, &childout, &inherit, 0)) {
        const DWORD error = GetLastError();
        CloseHandle(childin);
        CloseHandle(tohost_);
        throw MeterError(Reason(ReasonCode::helper_no_pipe, win32error(error)));
    }
    SetHandleInformation(tohost_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromhost_, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childin;
    si.hStdOutput = childout;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring hostw = widen(host);
    std::wstring commandline = L"\"" + hostw + L"\" \"" + widen(library) + L"\"";
    PROCESS_INFORMATION pi{};
    // By full path: lpApplicationName is never searched for.
    const BOOL started =
        CreateProcessW(hostw.c_str(), commandline.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &si, &pi);
    const DWORD error = GetLastError();
    CloseHandle(childin);
    CloseHandle(childout);
    if (!started) {
        CloseHandle(tohost_);
        CloseHandle(fromhost_);
        throw MeterError(Reason(ReasonCode::helper_not_started, host, win32error(error)));
    }
    // The program ends with the reader, whatever way the reader ends.
    job_ = CreateJobObjectW(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        AssignProcessToJobObject(job_, pi.hProcess);
    }
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
}

Win32HostProcess::~Win32HostProcess() {
    CloseHandle(tohost_);
    if (WaitForSingleObject(process_, DWORD(grace.count())) != WAIT_OBJECT_0) kill();
    CloseHandle(fromhost_);
    CloseHandle(process_);
    if (job_) CloseHandle(job_);
}

bool Win32HostProcess::send(const std::string& text) {
    DWORD put = 0;
    return WriteFile(tohost_, text.data(), DWORD(text.size()), &put, nullptr) && put == text.size();
}

HostProcess::Received Win32HostProcess::receive(std::string& buffer,
                                                std::chrono::milliseconds wait) {
    DWORD available = 0;
    if (!PeekNamedPipe(fromhost_, nullptr, 0, nullptr, &available, nullptr)) return Received::ended;
    if (available == 0) {
        Sleep(DWORD(wait.count()));
        return Received::none;
    }
    char chunk[4096];
    DWORD got = 0;
    if (!ReadFile(fromhost_, chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr))
        return Received::ended;
    buffer.append(chunk, got);
    return Received::some;
}

void Win32HostProcess::kill() {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
}

Reason Win32HostProcess::howended(const std::string& call) {
    if (WaitForSingleObject(process_, DWORD(ending.count())) != WAIT_OBJECT_0) {
        kill();
        return Reason(ReasonCode::vendor_crashed_closed, call);
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    // An exception code (0xC0000005) in hexadecimal, a program's own status in decimal.
    char status[16];
    std::snprintf(status, sizeof status, code > 0xFFFF ? "0x%08lX" : "%lu",
                  static_cast<unsigned long>(code));
    return Reason(ReasonCode::vendor_crashed_exit, call, std::string(status));
}

} // namespace

std::unique_ptr<HostProcess> starthostprocess(const std::string& host, const std::string& library) {
    return std::make_unique<Win32HostProcess>(host, library);
}

} // namespace meter
