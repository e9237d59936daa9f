// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingsetup.h"

#include "acquire/hostedvendorlibrary.h"
#include "core/machinetypes.h"
#include "frontend/installpaths.h"

#include <algorithm>
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

RunStart startrun(bool demo, const std::vector<std::string>& devices) {
    RunStart run;
    try {
        run.ports = PortMap::fromenvironment();
    } catch (const PortMapError& e) {
        run.refused = e.reason();
        return run;
    }
    // The values are checked before the demo starts, and put over it after: the demo meter
    // stands behind every port but those --device names.
    PortMap given;
    if ((run.refused = applydevices(given, devices))) return run;
    if (demo) {
        try {
            run.demo = std::make_unique<Demo>();
            run.demo->mapallports(run.ports);
        } catch (const sim::ServerError& e) {
            run.demofailed = e.reason();
        } catch (const std::exception& e) {
            run.demofailed = Reason(ReasonCode::system_message, e.what());
        }
        if (run.demofailed) {
            run.demo.reset();
            return run;
        }
    }
    applydevices(run.ports, devices);
    exportports(run.ports);
    return run;
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
                         std::int64_t waitedms, Language language, std::int64_t limitms) {
    const bool en = language == Language::en;
    std::string text = (en ? "Reading " : "正在读取 ") + typetext;
    if (!waiting.empty()) {
        // Chinese runs on into a Chinese name; a Latin one ("copote") keeps its space.
        const std::string name = registertext(waiting, language);
        const bool latin = static_cast<unsigned char>(name.front()) < 0x80;
        text += (en ? ": waiting for " : latin ? "：等待 " : "：等待") + name;
    }
    std::string seconds = std::to_string(waitedms / 1000);
    // The poll that reaches the limit still takes its interval: never show more than the most.
    if (!waiting.empty() && limitms > 0)
        seconds = std::to_string(std::min(waitedms, limitms) / 1000) + " / " +
                  std::to_string(limitms / 1000);
    return text + (en ? " (" + seconds + " s)" : "（" + seconds + " 秒）");
}

std::int64_t waitlimitms(std::int16_t code) {
    const MachineType* type = findtype(code);
    return type ? type->waitlimitms() : 0;
}

} // namespace meter
