// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a console program meets the system: its command line, its standard output and error,
// and the user's request to end it. Text is UTF-8 on our side of every one of them; on Windows
// the system's side is UTF-16 (posixconsole.cpp, win32console.cpp).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace meter::console {

// The program's arguments in UTF-8, the program's name first. On Windows they are taken from
// the UTF-16 command line, as argv there is in the ANSI code page and loses what it cannot
// hold; elsewhere they are argv as given.
std::vector<std::string> arguments(int argc, char** argv);

enum class Stream { out, err };

// Whether the stream is a terminal (a console on Windows) someone looks at.
bool isterminal(Stream stream);

// Whether the terminal behind the stream takes "\033[K" to erase the rest of a line. A Windows
// console is not counted on to.
bool eraseslines(Stream stream);

// Writes UTF-8 text: to a Windows console as UTF-16, so that it reads right under any code page;
// to a pipe, a file or a POSIX terminal as the bytes they are.
void write(Stream stream, std::string_view text);

// Exit statuses of a program ended by the user, as a shell reports them: 128 plus the signal's
// number.
inline constexpr int interruptstatus = 130; // Ctrl+C, SIGINT
inline constexpr int terminatestatus =
    143; // SIGTERM; on Windows Ctrl+Break and closing the console

// Calls `request` once, on a thread of its own, with the exit status the program should end with
// when the user asks it to end: Ctrl+C, SIGTERM, Ctrl+Break, the console window closed. The
// program is not ended by the request itself; once the console window is closed, Windows ends
// it a few seconds later, or when main returns. Call before any other thread starts.
void onterminate(std::function<void(int status)> request);

#ifdef _WIN32
// The arguments of a Windows command line (CommandLineToArgvW's rules), in UTF-8.
std::vector<std::string> splitcommandline(const std::wstring& commandline);
// UTF-16 to UTF-8 and back; what is not well-formed becomes U+FFFD.
std::string utf8(std::wstring_view text);
std::wstring utf16(std::string_view text);
#endif

} // namespace meter::console
