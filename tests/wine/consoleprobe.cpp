// SPDX-License-Identifier: GPL-3.0-or-later
// consoleprobe: runs a program in a console of its own, as a technician's cmd.exe would, and
// tells what the console then shows. Used by tests/wine/console.sh.
//
// Usage: consoleprobe [--codepage N] [--after MS] [--until TEXT] [--send c|break|close]
//                     -- PROGRAM ARGS...
//
// After MS milliseconds (default 1000), or as soon as the screen shows TEXT, the screen is taken
// ("-- screen before the event"), then the event is sent: Ctrl+C to the console's processes,
// Ctrl+Break to the program's own process group, or the program's console window (one of its own
// then) is closed. Then the program's end is awaited (20 s at most) and reported: "exit N" ("none"
// when it did not end), "ended_ms N" (from the event), and the screen at the end ("-- screen at
// end", empty after a close). Everything is written to standard output in UTF-8.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

HANDLE report = INVALID_HANDLE_VALUE;

void say(const std::string& text) {
    DWORD put = 0;
    WriteFile(report, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
}

// The console's lines up to the cursor, trailing blanks cut.
std::string screen() {
    const HANDLE out =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    std::string text;
    if (out != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(out, &info)) {
        std::wstring line(static_cast<std::size_t>(info.dwSize.X), L' ');
        for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
            DWORD got = 0;
            ReadConsoleOutputCharacterW(out, line.data(), static_cast<DWORD>(line.size()),
                                        COORD{0, y}, &got);
            std::wstring l = line.substr(0, got);
            while (!l.empty() && (l.back() == L' ' || l.back() == L'\0'))
                l.pop_back();
            text += utf8(l) + "\n";
        }
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    return text;
}

BOOL WINAPI ignore(DWORD) {
    return TRUE;
}

} // namespace

int main() {
    report = GetStdHandle(STD_OUTPUT_HANDLE);
    std::wstring line = GetCommandLineW();
    const std::size_t split = line.find(L" -- ");
    if (split == std::wstring::npos) {
        say("usage: consoleprobe [--codepage N] [--after MS] [--until TEXT] [--send c|break|close] "
            "-- PROGRAM\n");
        return 2;
    }
    const std::wstring options = line.substr(0, split) + L" ";
    std::wstring child = line.substr(split + 4);
    const auto option = [&options](const wchar_t* name) -> std::wstring {
        const std::size_t at = options.find(name);
        if (at == std::wstring::npos) return {};
        const std::size_t from = at + std::wcslen(name) + 1;
        return options.substr(from, options.find(L' ', from) - from);
    };
    const std::wstring send = option(L"--send");
    const DWORD after =
        option(L"--after").empty() ? 1000 : std::wcstoul(option(L"--after").c_str(), nullptr, 10);

    FreeConsole();
    if (!AllocConsole()) {
        say("consoleprobe: no console (error " + std::to_string(GetLastError()) + ")\n");
        return 2;
    }
    if (const std::wstring cp = option(L"--codepage"); !cp.empty()) {
        SetConsoleOutputCP(std::wcstoul(cp.c_str(), nullptr, 10));
        SetConsoleCP(std::wcstoul(cp.c_str(), nullptr, 10));
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE conin =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    const HANDLE conout =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = conin;
    start.hStdOutput = conout;
    start.hStdError = conout;
    PROCESS_INFORMATION process{};
    const bool close = send == L"close";
    const DWORD flags =
        (send == L"break" ? CREATE_NEW_PROCESS_GROUP : 0) | (close ? CREATE_NEW_CONSOLE : 0);
    if (close) start.dwFlags = 0;
    if (!CreateProcessW(nullptr, child.data(), nullptr, nullptr, !close, flags, nullptr, nullptr,
                        &start, &process)) {
        say("consoleprobe: cannot start the program (error " + std::to_string(GetLastError()) +
            ")\n");
        return 2;
    }
    // The event is for the program; this process stays to report.
    SetConsoleCtrlHandler(ignore, TRUE);

    // With --until, the wait ends as soon as the screen shows that text.
    const std::string until = utf8(option(L"--until"));
    bool ended = false;
    for (DWORD waited = 0; !ended && waited < after; waited += 100) {
        ended = WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0;
        if (!until.empty() && screen().find(until) != std::string::npos) break;
    }
    HWND window = nullptr;
    if (close) {
        FreeConsole();
        AttachConsole(process.dwProcessId);
        window = GetConsoleWindow();
    }
    say("-- screen before the event\n" + screen());
    if (close) FreeConsole();
    const ULONGLONG sent = GetTickCount64();
    if (!ended) {
        if (send == L"c")
            GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        else if (send == L"break")
            GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, process.dwProcessId);
        else if (send == L"close")
            PostMessageW(window, WM_CLOSE, 0, 0);
    }
    ended = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
    const ULONGLONG took = GetTickCount64() - sent;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (!ended) TerminateProcess(process.hProcess, 1);
    say("exit " + (ended ? std::to_string(code) : std::string("none")) + "\nended_ms " +
        std::to_string(took) + "\n-- screen at end\n" + screen());
    return 0;
}
