// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which operating-system device stands behind port number N (1 to 8). By default COMN on
// Windows and /dev/ttyS<N-1> on Linux; a USB adapter or a pseudo-terminal is put behind a port
// number by an override ("N=PATH"), from the command line or from METERREADER_PORTS.
#include "core/reason.h"

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

namespace meter {

inline constexpr const char* portsvariable = "METERREADER_PORTS";

// An override refused: why, as a reason; what() is its English text.
class PortMapError : public ErrorWithReason<std::invalid_argument> {
  public:
    using ErrorWithReason::ErrorWithReason;
};

class PortMap {
  public:
    // The device path for port `port`; empty for a port number below 1.
    std::string devicefor(int port) const;
    static std::string defaultdevice(int port);

    // Puts PATH behind port N. Throws PortMapError for N outside 1 to 8 or an empty path.
    void set(int port, std::string path);
    // One "N=PATH" entry (the --device option). Throws PortMapError with the reason.
    void adddevice(std::string_view entry);
    // "N=PATH;N=PATH" (the METERREADER_PORTS form); empty entries are skipped.
    void addoverrides(std::string_view text);
    // The overrides in the METERREADER_PORTS form, for handing on to the vendor library.
    std::string overridestext() const;
    bool overridden(int port) const { return overrides_.count(port) != 0; }

    // The defaults with METERREADER_PORTS applied. Throws PortMapError when the variable is
    // malformed.
    static PortMap fromenvironment();

  private:
    std::map<int, std::string> overrides_;
};

// The name the Win32 CreateFile opens for a device path: a bare "COMn" gets the "\\.\" prefix
// that COM numbers above 9 need (and lower ones accept); anything else stays as it is.
std::string win32devicename(std::string_view path);

} // namespace meter
