// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/console.h"
#include "core/win32text.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include <windows.h>

#include <shellapi.h>

namespace meter::console {

std::string utf8(std::wstring_view text) {
    return narrow(text);
}

std::wstring utf16(std::string_view text) {
    return widen(text);
}

std::vector<std::string> splitcommandline(const std::wstring& commandline) {
    std::vector<std::string> out;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(commandline.c_str(), &count);
    if (!args) return out;
    for (int i = 0; i < count; ++i)
        out.push_back(utf8(args[i]));
    LocalFree(args);
    return out;
}

std::vector<std::string> arguments(int argc, char** argv) {
    std::vector<std::string> args = splitcommandline(GetCommandLineW());
    if (args.empty()) args.assign(argv, argv + argc);
    return args;
}

namespace {

HANDLE handle(Stream stream) {
    return GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

std::FILE* file(Stream stream) {
    return stream == Stream::out ? stdout : stderr;
}

} // namespace

bool isterminal(Stream stream) {
    DWORD mode = 0;
    return GetConsoleMode(handle(stream), &mode) != 0;
}

// Consoles before Windows 10 show the sequence as text, and so does Wine's, even once it has
// taken ENABLE_VIRTUAL_TERMINAL_PROCESSING: the line is blanked with spaces instead.
bool eraseslines(Stream) {
    return false;
}

void write(Stream stream, std::string_view text) {
    const HANDLE h = handle(stream);
    DWORD mode = 0;
    if (!GetConsoleMode(h, &mode)) {
        // A pipe or a file: UTF-8 bytes, through the C runtime as everything else written there.
        std::fwrite(text.data(), 1, text.size(), file(stream));
        return;
    }
    std::fflush(file(stream));
    const std::wstring wide = utf16(text);
    std::size_t done = 0;
    while (done < wide.size()) {
        // Large writes to a console are refused on older systems; a piece at a time.
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
        DWORD put = 0;
        if (!WriteConsoleW(h, wide.data() + done, piece, &put, nullptr) || put == 0) return;
        done += put;
    }
}

namespace {

std::function<void(int)>* requested = nullptr;
std::once_flag once;

BOOL WINAPI onevent(DWORD event) {
    int status = 0;
    switch (event) {
    case CTRL_C_EVENT:
        status = interruptstatus;
        break;
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        status = terminatestatus;
        break;
    default:
        return FALSE;
    }
    std::call_once(once, [status] { (*requested)(status); });
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // Windows ends the process as soon as this returns: wait here, so that the reading ends,
    // the port is closed and main returns, which ends the process with its own status.
    Sleep(INFINITE);
    return TRUE;
}

} // namespace

void onterminate(std::function<void(int status)> request) {
    requested = new std::function<void(int)>(std::move(request));
    SetConsoleCtrlHandler(onevent, TRUE);
}

} // namespace meter::console
