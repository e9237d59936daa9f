// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Demo mode: a simulated meter in this process behind every port number, so that every machine
// type can be read without hardware. It is served as a device the system opens like a serial
// port, so that the vendor library, which opens the port itself in its helper program, reaches
// it too: a pseudo-terminal (posixdemo.cpp) or a named pipe on Windows (win32demo.cpp).
#include "serial/portmap.h"
#include "sim/servererror.h"

#include <memory>
#include <string>

namespace meter {

class Demo {
  public:
    // Starts the simulated meter. Throws sim::ServerError with the reason where its device
    // cannot be made.
    Demo();
    ~Demo();
    // The device the meter listens on.
    std::string path() const;
    // Puts the meter behind ports 1 to 8.
    void mapallports(PortMap& map) const;

  private:
    struct Running;
    std::unique_ptr<Running> running_;
};

} // namespace meter
