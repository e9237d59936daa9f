// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingsetup.h"

#include "acquire/hostedvendorlibrary.h"
#include "frontend/installpaths.h"

#include <cstdlib>
#include <stdexcept>

namespace meter {

std::chrono::milliseconds vendorcallbound(const char* value) {
    constexpr auto longest = std::chrono::milliseconds(10 * 60 * 1000);
    const auto normal = HostedVendorLibrary::defaultbound;
    if (!value || !*value) return normal;
    std::int64_t ms = 0;
    for (const char* c = value; *c; ++c) {
        if (*c < '0' || *c > '9') return normal;
        ms = ms * 10 + (*c - '0');
        if (ms > longest.count()) return normal;
    }
    return std::chrono::milliseconds(ms) > normal ? std::chrono::milliseconds(ms) : normal;
}

std::unique_ptr<VendorLibrary> vendorlibrary() {
    return std::make_unique<HostedVendorLibrary>(privatefilecandidates(vendorhostname()),
                                                 privatefilecandidates(vendorlibraryname()),
                                                 vendorcallbound(std::getenv(testvendorboundvariable)));
}

Reason applydevices(PortMap& map, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        try {
            map.adddevice(entry);
        } catch (const PortMapError& e) {
            return Reason(ReasonCode::ports_variable, "--device", e.reason());
        }
    }
    return {};
}

void exportports(const PortMap& map) {
    const std::string text = map.overridestext();
#ifdef _WIN32
    _putenv_s(portsvariable, text.c_str());
#else
    setenv(portsvariable, text.c_str(), 1);
#endif
}

std::string progresstext(const std::string& typetext, const std::string& waiting,
                         std::int64_t elapsedms, Language language) {
    const std::string seconds = std::to_string(elapsedms / 1000);
    if (language == Language::en) {
        std::string text = "reading " + typetext;
        if (!waiting.empty()) text += ": waiting for " + registertext(waiting, language);
        return text + " (" + seconds + " s)";
    }
    std::string text = "正在读取 " + typetext;
    if (!waiting.empty()) text += "：等待 " + waiting;
    return text + "（" + seconds + " 秒）";
}

} // namespace meter
