#include "acquire/vendor.h"

namespace meter {

std::string vendorlibraryname() {
#ifdef _WIN32
    return "cpedfm.dll";
#else
    return "libcpedfm.so";
#endif
}

} // namespace meter
