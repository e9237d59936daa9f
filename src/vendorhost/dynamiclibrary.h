// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The vendor library loaded into this process from a path, on its first use.
#include "vendorapi/vendorlibrary.h"

#include <memory>
#include <string>

namespace meter {

class DynamicVendorLibrary : public VendorLibrary {
  public:
    explicit DynamicVendorLibrary(std::string path);
    ~DynamicVendorLibrary() override;

    const std::string& path() const { return path_; }

    std::int32_t ComOpen(std::int32_t port) override;
    std::string ReadRegister(std::int32_t port) override;
    std::int32_t ComClose(std::int32_t port) override;
    std::string lasterror() override;

  private:
    struct Loaded;
    Loaded& load();

    std::string path_;
    std::unique_ptr<Loaded> loaded_;
};

} // namespace meter
