// SPDX-License-Identifier: GPL-3.0-or-later
// The COM ports of a Windows machine: the registry's SERIALCOMM map lists every port a driver
// has made (USB adapters included, while they are plugged in); SetupAPI gives the names the
// Device Manager shows for them, where the system has them.
#include "serial/portlist.h"

#include "core/win32text.h"

#include <algorithm>
#include <cwctype>
#include <map>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// clang-format off
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

namespace meter {

namespace {

// A registry string as read: REG_SZ data need not end in a NUL, and may hold several.
std::wstring regtext(const std::wstring& data) {
    return data.substr(0, data.find(L'\0'));
}

std::wstring upper(std::wstring s) {
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towupper(c));
    return s;
}

// "COM12" -> 12; 0 for a name that is no COM port.
unsigned long comnumber(const std::wstring& name) {
    const std::wstring u = upper(name);
    if (u.size() < 4 || u.compare(0, 3, L"COM") != 0) return 0;
    unsigned long n = 0;
    for (std::size_t i = 3; i < u.size(); ++i) {
        if (!std::iswdigit(u[i]) || n > 100000) return 0;
        n = n * 10 + static_cast<unsigned long>(u[i] - L'0');
    }
    return n;
}

// The ports the registry lists, by their number.
std::map<unsigned long, std::wstring> registeredports() {
    std::map<unsigned long, std::wstring> out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD namelength = 256;
        wchar_t data[256] = {};
        DWORD datasize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG r = RegEnumValueW(key, i, name, &namelength, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data), &datasize);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        const std::wstring port = regtext(std::wstring(data, datasize / sizeof(wchar_t)));
        if (const unsigned long n = comnumber(port)) out[n] = upper(port);
    }
    RegCloseKey(key);
    return out;
}

// What the Device Manager calls each port ("USB Serial Port (COM3)"), by its port name.
std::map<std::wstring, std::wstring> friendlynames() {
    std::map<std::wstring, std::wstring> out;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return out;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t port[64] = {};
        DWORD size = sizeof port - sizeof(wchar_t);
        DWORD type = 0;
        const bool named =
            RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port),
                             &size) == ERROR_SUCCESS &&
            type == REG_SZ;
        RegCloseKey(key);
        if (!named) continue;
        wchar_t friendly[256] = {};
        if (SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(friendly),
                                              sizeof friendly - sizeof(wchar_t), nullptr))
            out[upper(regtext(std::wstring(port, size / sizeof(wchar_t))))] = friendly;
    }
    SetupDiDestroyDeviceInfoList(set);
    return out;
}

} // namespace

std::vector<PresentPort> presentports() {
    const auto names = friendlynames();
    std::vector<PresentPort> out;
    for (const auto& [number, port] : registeredports()) {
        const auto it = names.find(port);
        out.push_back({narrow(port), it == names.end() ? std::string() : narrow(it->second)});
    }
    return out;
}

std::vector<PresentPort> presentports(const std::string&) {
    return presentports();
}

bool portmissing(const std::string& path) {
    std::string name = path;
    if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
    std::wstring wide(name.begin(), name.end());
    if (comnumber(wide) == 0) return false;
    for (const PresentPort& p : presentports())
        if (upper(std::wstring(p.path.begin(), p.path.end())) == upper(wide)) return false;
    return true;
}

} // namespace meter
