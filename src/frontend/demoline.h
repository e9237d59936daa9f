// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line the demo meter is served on, made by the file of each system (posixdemo.cpp: a
// pseudo-terminal; win32demo.cpp: a named pipe).
#include "sim/meter.h"

#include <memory>
#include <string>
#include <utility>

namespace meter {

class DemoLine {
  public:
    virtual ~DemoLine() = default;
    // The device the reader opens.
    virtual std::string path() const = 0;
};

// A server of the sim library serving on a thread of its own from the start.
template <class Server> class ServedLine : public DemoLine {
  public:
    template <class... Arguments>
    explicit ServedLine(Arguments&&... arguments) : server_(std::forward<Arguments>(arguments)...) {
        server_.start();
    }
    std::string path() const override { return server_.path(); }

  private:
    Server server_;
};

// Serves `meter` on this system's kind of line. Throws sim::ServerError where it cannot.
std::unique_ptr<DemoLine> servedemo(sim::Meter& meter);

} // namespace meter
