#pragma once
// The vendor library through which the "copote" meter is read.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace meter {

class VendorLibrary {
  public:
    virtual ~VendorLibrary() = default;
    // Each call throws MeterError when the library cannot be found or loaded.
    virtual std::int32_t ComOpen(std::int32_t port) = 0;
    // The record text, one character per byte of the library's string (which is released).
    virtual std::string ReadRegister(std::int32_t port) = 0;
    virtual std::int32_t ComClose(std::int32_t port) = 0;
    // The library's own word on what went wrong last, when it gives one.
    virtual std::string lasterror() { return {}; }
};

// The shared library loaded at run time from a path, on its first use.
class DynamicVendorLibrary : public VendorLibrary {
  public:
    explicit DynamicVendorLibrary(std::string path);
    // From the first of these places where the file exists, looked up on first use; when it is
    // in none of them, the reason names them all.
    explicit DynamicVendorLibrary(std::vector<std::string> candidates);
    ~DynamicVendorLibrary() override;

    // The library's file name on this platform: libcpedfm.so, or cpedfm.dll on Windows.
    static std::string filename();
    // The file it was loaded (or last tried) from; empty before the first use.
    const std::string& path() const { return path_; }

    std::int32_t ComOpen(std::int32_t port) override;
    std::string ReadRegister(std::int32_t port) override;
    std::int32_t ComClose(std::int32_t port) override;
    std::string lasterror() override;

  private:
    struct Loaded;
    Loaded& load();

    std::vector<std::string> candidates_;
    std::string path_;
    std::unique_ptr<Loaded> loaded_;
};

} // namespace meter
