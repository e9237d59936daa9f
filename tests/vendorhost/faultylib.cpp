// SPDX-License-Identifier: GPL-3.0-or-later
// A vendor library that misbehaves on purpose, one way per port number, for the tests of the
// helper program that runs it:
//   1  reads a good record                     5  returns a record of 70000 bytes
//   2  hangs in ReadRegister                   6  ends the process in ComClose
//   3  crashes in ReadRegister                 7  prints to standard output, then reads every
//   4  refuses ComOpen, with a reason             byte value from 1 to 255
#include "vendor/cpedfm.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::string lasterror;

cpedfm_text copyout(const std::string& text) {
#ifdef _WIN32
    return SysAllocStringByteLen(text.data(), static_cast<UINT>(text.size()));
#else
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
#endif
}

} // namespace

extern "C" {

CPEDFM_EXPORT int32_t CPEDFM_CALL ComOpen(int32_t port) {
    lasterror = port == 4 ? "port 4 is not there" : "";
    return port == 4 ? 0 : 1;
}

CPEDFM_EXPORT cpedfm_text CPEDFM_CALL ReadRegister(int32_t port) {
    switch (port) {
    case 2:
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    case 3:
        std::abort();
    case 5:
        return copyout(std::string(70000, '5'));
    case 7: {
        std::printf("int 1\n");
        std::fflush(stdout);
        std::string all;
        for (int b = 1; b < 256; ++b)
            all += static_cast<char>(b);
        return copyout(all);
    }
    default:
        return copyout("00000211105000000123450000000087655000000043210000123456");
    }
}

CPEDFM_EXPORT int32_t CPEDFM_CALL ComClose(int32_t port) {
    if (port == 6) std::_Exit(0);
    return 1;
}

CPEDFM_EXPORT const char* CPEDFM_CALL ComLastError(void) {
    return lasterror.c_str();
}

} // extern "C"
