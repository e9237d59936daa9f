// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial devices present on this machine, for the operator to choose from: on Linux from
// sysfs and /dev (posixportlist.cpp), on Windows from the registry's SERIALCOMM map with
// SetupAPI's friendly names (win32portlist.cpp).
#include <string>
#include <vector>

namespace meter {

struct PresentPort {
    std::string path;        // what to put behind a port number: "/dev/ttyUSB0", "COM3"
    std::string description; // what the system says about it (UTF-8); may be empty
};

// The devices present now, the stable names first: on Linux the links under
// /dev/serial/by-id, then ttyUSB* and ttyACM*, then the other terminals with hardware behind
// them (a ttyS* only when a UART answers there); on Windows the COM ports in number order.
std::vector<PresentPort> presentports();

// The same below `root` instead of "/" (Linux; tests build a tree of sysfs and /dev there).
std::vector<PresentPort> presentports(const std::string& root);

// True when `path` names a device that is not there now (a USB adapter unplugged, a COM port
// that is gone). Names that are no device path are never reported missing.
bool portmissing(const std::string& path);

} // namespace meter
