// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/console.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace meter::console {

std::vector<std::string> arguments(int argc, char** argv) {
    return {argv, argv + argc};
}

namespace {
int descriptor(Stream stream) {
    return stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO;
}
std::FILE* file(Stream stream) {
    return stream == Stream::out ? stdout : stderr;
}
} // namespace

bool isterminal(Stream stream) {
    return isatty(descriptor(stream)) == 1;
}

bool eraseslines(Stream stream) {
    return isterminal(stream);
}

void write(Stream stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), file(stream));
}

void onterminate(std::function<void(int status)> request) {
    // Blocked in every thread (they inherit the mask) and taken by one that waits for them, so
    // that what the request does runs outside a signal handler.
    static sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([request = std::move(request)] {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) return;
        request(128 + sig);
    }).detach();
}

} // namespace meter::console
