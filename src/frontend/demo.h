#pragma once
// Demo mode: a simulated meter in this process, on a pseudo-terminal, behind every port number,
// so that every machine type can be read without hardware.
#include "serial/portmap.h"

#include <memory>
#include <string>

namespace meter {

class Demo {
  public:
    // Starts the simulated meter. Throws std::runtime_error where no pseudo-terminal can be
    // made (or on a platform without them).
    Demo();
    ~Demo();
    // The pseudo-terminal the meter listens on.
    std::string path() const;
    // Puts the meter behind ports 1 to 8.
    void mapallports(PortMap& map) const;

  private:
    struct Running;
    std::unique_ptr<Running> running_;
};

} // namespace meter
