// SPDX-License-Identifier: GPL-3.0-or-later
#include "vendorhost/dynamiclibrary.h"

#include "core/metererror.h"
#include "vendor/cpedfm.h"

#include <cstdlib>

#ifdef _WIN32
#include "core/win32text.h"

#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace meter {

namespace {
using ComOpenFn = std::int32_t(CPEDFM_CALL*)(std::int32_t);
using ReadRegisterFn = cpedfm_text(CPEDFM_CALL*)(std::int32_t);
using ComCloseFn = std::int32_t(CPEDFM_CALL*)(std::int32_t);
using ComLastErrorFn = const char*(CPEDFM_CALL*)();
} // namespace

struct DynamicVendorLibrary::Loaded {
#ifdef _WIN32
    HMODULE handle = nullptr;
    ~Loaded() {
        if (handle) FreeLibrary(handle);
    }
    void* symbol(const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(handle, name));
    }
#else
    void* handle = nullptr;
    ~Loaded() {
        if (handle) dlclose(handle);
    }
    void* symbol(const char* name) {
        return dlsym(handle, name);
    }
#endif
    ComOpenFn comopen = nullptr;
    ReadRegisterFn readregister = nullptr;
    ComCloseFn comclose = nullptr;
    ComLastErrorFn comlasterror = nullptr;
};

DynamicVendorLibrary::DynamicVendorLibrary(std::string path) : path_(std::move(path)) {}

DynamicVendorLibrary::~DynamicVendorLibrary() = default;

DynamicVendorLibrary::Loaded& DynamicVendorLibrary::load() {
    if (loaded_) return *loaded_;
    auto lib = std::make_unique<Loaded>();
#ifdef _WIN32
    // By full path only: the search order of the system is never consulted for the library,
    // and what it needs is looked for in its own folder first.
    lib->handle = LoadLibraryExW(widen(path_).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!lib->handle) {
        const DWORD error = GetLastError();
        // The library and this program must be made for the same processor; a Visual Basic
        // vendor library is 32-bit, as this helper is built.
        if (error == ERROR_BAD_EXE_FORMAT) {
            constexpr int bits = sizeof(void*) == 4 ? 32 : 64;
            throw MeterError(Reason(ReasonCode::vendor_wrong_bits, path_, bits, error, bits,
                                    path_.substr(path_.find_last_of("\\/") + 1)));
        }
        throw MeterError(Reason(ReasonCode::vendor_not_loaded_detail, path_, win32error(error)));
    }
#else
    lib->handle = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib->handle) {
        const char* detail = dlerror();
        throw MeterError(detail ? Reason(ReasonCode::vendor_not_loaded_detail, path_,
                                         Reason(ReasonCode::system_message, detail))
                                : Reason(ReasonCode::vendor_not_loaded, path_));
    }
#endif
    lib->comopen = reinterpret_cast<ComOpenFn>(lib->symbol("ComOpen"));
    lib->readregister = reinterpret_cast<ReadRegisterFn>(lib->symbol("ReadRegister"));
    lib->comclose = reinterpret_cast<ComCloseFn>(lib->symbol("ComClose"));
    lib->comlasterror = reinterpret_cast<ComLastErrorFn>(lib->symbol("ComLastError"));
    if (!lib->comopen || !lib->readregister || !lib->comclose)
        throw MeterError(Reason(ReasonCode::vendor_lacks_functions, path_));
    loaded_ = std::move(lib);
    return *loaded_;
}

std::int32_t DynamicVendorLibrary::ComOpen(std::int32_t port) {
    return load().comopen(port);
}

std::string DynamicVendorLibrary::ReadRegister(std::int32_t port) {
    cpedfm_text text = load().readregister(port);
    if (!text) return {};
#ifdef _WIN32
    // Every byte of the string, whatever it holds.
    std::string record(reinterpret_cast<const char*>(text), SysStringByteLen(text));
    SysFreeString(text);
#else
    std::string record(text);
    std::free(text);
#endif
    return record;
}

std::int32_t DynamicVendorLibrary::ComClose(std::int32_t port) {
    return load().comclose(port);
}

std::string DynamicVendorLibrary::lasterror() {
    if (!loaded_ || !loaded_->comlasterror) return {};
    const char* text = loaded_->comlasterror();
    return text ? std::string(text) : std::string();
}

} // namespace meter
