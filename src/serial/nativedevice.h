#pragma once
// The serial device of a real line, over the operating system's own calls: termios on POSIX
// systems (posixdevice.cpp), the Win32 communications functions on Windows (win32device.cpp).
// Opening applies the line settings, raw binary, no handshaking, DTR asserted, and empties the
// receive buffer; reads never block; a write waits for the line at most writetimeoutms and
// gives up at once when the reading is cancelled.
#include "serial/device.h"
#include "serial/portmap.h"

#include <memory>

namespace meter {

// How long a write may wait for the line to take its bytes before the line counts as lost.
// Frames are at most a few hundred bytes, so this is generous even at 4800 baud.
inline constexpr int writetimeoutms = 2000;
// A waiting write looks at the reading's cancellation this often.
inline constexpr int writeslicems = 20;

// The device of this operating system, with the ports of `map` behind the port numbers.
std::unique_ptr<SerialDevice> makeserialdevice(PortMap map);

} // namespace meter
