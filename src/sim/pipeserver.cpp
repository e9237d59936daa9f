// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/pipeserver.h"

#include "core/win32text.h"
#include "sim/servererror.h"

#include <algorithm>
#include <map>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace meter::sim {

namespace {
// Room in each direction of the pipe: far more than any request or reply.
constexpr DWORD buffersize = 64 * 1024;

HANDLE handle(void* h) {
    return static_cast<HANDLE>(h);
}
} // namespace

PipeServer::PipeServer(Meter& meter, const std::string& name)
    : meter_(meter), path_("\\\\.\\pipe\\" + name) {
    // The first instance of its name, or none: a pipe another program made first is not ours
    // to serve on.
    HANDLE pipe = CreateNamedPipeW(
        widen(path_).c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, buffersize,
        buffersize, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        throw ServerError(Reason(ReasonCode::pipe_not_created, path_, win32error(GetLastError())));
    pipe_ = pipe;
    stopevent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    readevent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeevent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stopevent_ || !readevent_ || !writeevent_) {
        const DWORD error = GetLastError();
        for (void* h : {pipe_, stopevent_, readevent_, writeevent_})
            if (h) CloseHandle(handle(h));
        throw ServerError(Reason(ReasonCode::pipe_not_created, path_, win32error(error)));
    }
}

PipeServer::~PipeServer() {
    stop();
    for (void* h : {pipe_, stopevent_, readevent_, writeevent_})
        CloseHandle(handle(h));
}

std::int64_t PipeServer::nowms() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 started_)
        .count();
}

void PipeServer::start() {
    thread_ = std::thread([this] { run(); });
}

void PipeServer::stop() {
    SetEvent(handle(stopevent_));
    if (thread_.joinable()) thread_.join();
}

void PipeServer::run() {
    const HANDLE pipe = handle(pipe_);
    for (;;) {
        OVERLAPPED connect{};
        connect.hEvent = handle(readevent_);
        ResetEvent(connect.hEvent);
        bool connected = ConnectNamedPipe(pipe, &connect) != 0;
        const DWORD error = connected ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
            connected = true;
        } else if (error == ERROR_IO_PENDING) {
            const HANDLE events[] = {connect.hEvent, handle(stopevent_)};
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIo(pipe);
                DWORD ignored = 0;
                GetOverlappedResult(pipe, &connect, &ignored, TRUE);
                return;
            }
            DWORD ignored = 0;
            connected = GetOverlappedResult(pipe, &connect, &ignored, FALSE) != 0;
        } else if (!connected) {
            // A reader that came and went at once, or a pipe in trouble: start over, calmly.
            DisconnectNamedPipe(pipe);
            if (WaitForSingleObject(handle(stopevent_), 50) == WAIT_OBJECT_0) return;
            continue;
        }
        if (connected) serve();
        DisconnectNamedPipe(pipe);
        if (WaitForSingleObject(handle(stopevent_), 0) == WAIT_OBJECT_0) return;
    }
}

bool PipeServer::send(const Bytes& bytes) {
    const HANDLE pipe = handle(pipe_);
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED write{};
        write.hEvent = handle(writeevent_);
        ResetEvent(write.hEvent);
        DWORD n = 0;
        if (!WriteFile(pipe, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), nullptr,
                       &write) &&
            GetLastError() != ERROR_IO_PENDING)
            return false;
        if (!GetOverlappedResult(pipe, &write, &n, TRUE) || n == 0) return false;
        done += n;
    }
    return true;
}

void PipeServer::serve() {
    const HANDLE pipe = handle(pipe_);
    // Emissions by when they are due; equal times keep their order.
    std::multimap<std::int64_t, Emission> due;
    std::uint8_t buffer[1024];
    OVERLAPPED read{};
    read.hEvent = handle(readevent_);
    bool reading = false;
    const auto finish = [&] {
        if (!reading) return;
        CancelIo(pipe);
        DWORD ignored = 0;
        GetOverlappedResult(pipe, &read, &ignored, TRUE);
    };
    for (;;) {
        while (!due.empty() && due.begin()->first <= nowms()) {
            Emission e = std::move(due.begin()->second);
            due.erase(due.begin());
            if (e.drop) return finish(); // pulls the plug: the reader's next call fails
            meter_.sent(e.bytes);
            if (!send(e.bytes)) return finish();
        }
        if (!reading) {
            ResetEvent(read.hEvent);
            if (!ReadFile(pipe, buffer, sizeof buffer, nullptr, &read) &&
                GetLastError() != ERROR_IO_PENDING)
                return; // the reader has closed its end
            reading = true;
        }
        DWORD timeout = 50;
        if (!due.empty())
            timeout =
                static_cast<DWORD>(std::clamp<std::int64_t>(due.begin()->first - nowms(), 0, 50));
        const HANDLE events[] = {read.hEvent, handle(stopevent_)};
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, timeout);
        if (woken == WAIT_OBJECT_0 + 1) return finish();
        if (woken != WAIT_OBJECT_0) continue;
        reading = false;
        DWORD n = 0;
        if (!GetOverlappedResult(pipe, &read, &n, FALSE)) return; // closed by the reader
        const std::int64_t at = nowms();
        for (Emission& e : meter_.receive(ByteView(buffer, n), at))
            due.emplace(at + e.afterms, std::move(e));
    }
}

} // namespace meter::sim
