// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingreport.h"

#include "core/utf8text.h"
#include "frontend/recordview.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>

namespace meter {

std::string ReadingReport::status() const {
    if (!normal) return "failed";
    return reason.empty() ? "read" : "nodata";
}

std::string localtimestamp(std::time_t when) {
    std::tm local{};
    std::tm utc{};
#ifdef _WIN32
    localtime_s(&local, &when);
    gmtime_s(&utc, &when);
#else
    localtime_r(&when, &local);
    gmtime_r(&when, &utc);
#endif
    std::array<char, 40> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S", &local);
    // The offset from the two broken-down times rather than strftime's %z, which some C
    // runtimes (Windows' msvcrt) give as the zone's name. They are at most a day apart.
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
    const long seconds = days * 86400L + (local.tm_hour - utc.tm_hour) * 3600L +
                         (local.tm_min - utc.tm_min) * 60L + (local.tm_sec - utc.tm_sec);
    const long minutes = (seconds < 0 ? -seconds : seconds) / 60;
    std::array<char, 8> offset{};
    std::snprintf(offset.data(), offset.size(), "%c%02ld:%02ld", seconds < 0 ? '-' : '+',
                  minutes / 60 % 100, minutes % 60);
    return std::string(text.data()) + offset.data();
}

std::string linetext(std::string_view bytes) {
    return latin1toutf8(bytes);
}

std::string owntext(std::string_view text) {
    return wellformedutf8(text);
}

std::string jsontext(const ReadingReport& r, int indent) {
    const RecordFields f = cutrecord(r.record);
    // Members in the order of their names, as meterread has always printed them.
    nlohmann::json j = {
        {"code", r.code},
        {"demo", r.demo},
        {"device", owntext(r.devicetext())},
        {"elapsed_ms", r.elapsedms},
        {"end", r.normal ? "normal" : "failure"},
        {"head", linetext(f.head)},
        {"pieces", linetext(f.pieces)},
        {"port", r.port},
        {"reason", owntext(r.reason)},
        {"reason_code", owntext(r.reasoncode)},
        {"received", linetext(r.received)},
        {"record", linetext(r.record)},
        {"sent", linetext(r.sent)},
        {"status", r.status()},
        {"time", owntext(r.time)},
        {"total", linetext(f.total)},
        {"type", owntext(r.typetext)},
        {"unused", linetext(f.unused)},
        {"used", linetext(f.used)},
    };
    if (r.verified) j["verified"] = *r.verified;
    return j.dump(indent < 0 ? -1 : indent) + "\n";
}

} // namespace meter
