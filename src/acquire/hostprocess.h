// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The running helper program cpedfm-host and the channel to it, over the operating system's own
// calls: posix_spawn and a socket pair on POSIX systems (posixhostprocess.cpp), CreateProcessW,
// two pipes and a job object on Windows (win32hostprocess.cpp). What is said over the channel
// and how long it is waited for is the client's (hostedvendorlibrary.cpp).
#include "core/reason.h"

#include <chrono>
#include <memory>
#include <string>

namespace meter {

class HostProcess {
  public:
    // How long the program gets to end by itself once its input is closed.
    static constexpr std::chrono::milliseconds grace{500};
    // How long a program whose output has closed gets to be seen ending; it has normally ended
    // already. Short, so that a reading still ends well within a second.
    static constexpr std::chrono::milliseconds ending{250};

    enum class Received { some, none, ended };

    // Ends the program: closes its input, gives it `grace`, then kills it; always reaps it.
    virtual ~HostProcess() = default;

    virtual bool alive() = 0;
    // All of `text`; false when the program no longer takes it.
    virtual bool send(const std::string& text) = 0;
    // Waits up to `wait` for bytes from the program and appends them to `buffer`.
    virtual Received receive(std::string& buffer, std::chrono::milliseconds wait) = 0;
    // Kills the program now and reaps it.
    virtual void kill() = 0;
    // The reason that the call named `call` got no answer, once the program's output has
    // closed: how the program ended ("... crashed in ReadRegister (signal 11, Segmentation
    // fault)", "(exit status 3)"). One that is still running is killed.
    virtual Reason howended(const std::string& call) = 0;
};

// Starts `host` by its full path with `library` as its one argument. Throws MeterError when the
// program cannot be started.
std::unique_ptr<HostProcess> starthostprocess(const std::string& host, const std::string& library);

} // namespace meter
