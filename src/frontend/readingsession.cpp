// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingsession.h"

#include "core/machinetypes.h"
#include "frontend/language.h"

#include <charconv>

namespace meter {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n\f\v");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n\f\v") - first + 1);
}

} // namespace

PortText portfromtext(const std::string& text) {
    const std::string t = trimmed(text);
    if (t.empty()) return {0, Reason(ReasonCode::port_text_empty)};
    const std::string digits = t[0] == '+' || t[0] == '-' ? t.substr(1) : t;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return {0, Reason(ReasonCode::port_not_number, text)};
    // The port as written (sign and leading zeros kept) names it in the refusal.
    if (t[0] != '-' && (digits.size() > 4 || std::stoi(digits) > 8))
        return {0, Reason(ReasonCode::port_above_8, t)};
    int value = 0;
    const auto [end, ec] = std::from_chars(t.data() + (t[0] == '+'), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || value < -32768)
        return {0, Reason(ReasonCode::port_out_of_range, t)};
    return {static_cast<std::int16_t>(value), {}};
}

std::int16_t typefromtext(const std::string& text) {
    if (const std::int16_t code = codefor(listtextof(text))) return code;
    const std::string t = trimmed(text);
    int value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || value < -32768 ||
        value > 32767)
        return 0;
    return static_cast<std::int16_t>(value);
}

Reason ReadingSession::check(const std::string& porttext, std::int16_t code,
                             const std::string& typetext) {
    const PortText p = portfromtext(porttext);
    if (p.refused) return p.refused;
    // The port was refused above 8 as its text was read; the type must be in the list.
    if (code == 0 || textfor(code).empty()) return Reason(ReasonCode::type_not_in_list, typetext);
    port_ = p.port;
    code_ = code;
    typetext_ = typetext;
    return {};
}

Reason ReadingSession::take(Driver& driver) const {
    if (driver.initport(port_, code_) != 1) return Reason(ReasonCode::pair_refused, port_);
    return {};
}

Reason ReadingSession::choose(Driver& driver, const std::string& porttext, std::int16_t code,
                              const std::string& typetext) {
    if (Reason why = check(porttext, code, typetext)) return why;
    return take(driver);
}

void ReadingSession::begin(std::string device) {
    device_ = std::move(device);
    started_ = std::time(nullptr);
    start_ = std::chrono::steady_clock::now();
}

FinishedReading ReadingSession::finish(const Driver& driver, std::string record,
                                       Outcome outcome) const {
    return finishpass(lastpass(driver, std::move(record)), std::move(outcome));
}

FinishedReading ReadingSession::finishpass(const ReadingPass& pass, Outcome outcome) const {
    FinishedReading r;
    const std::string& record = pass.record;
    r.elapsedms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start_)
                      .count();
    r.report.elapsedms = r.elapsedms;
    r.fields = cutrecord(record);
    ReadingReport& report = r.report;
    report.time = localtimestamp(started_);
    report.port = port_;
    report.device = device_;
    // The list text, whatever the language the type was named in.
    report.typetext = textfor(code_);
    report.code = code_;
    report.record = record;
    report.normal = outcome.normal();
    // Files keep the reason in English, whatever the front end's language.
    report.setreason(outcome.reason);
    report.sent = pass.sent;
    report.received = pass.received;
    r.outcome = std::move(outcome);
    return r;
}

FinishedReading ReadingSession::finish(const ReadingPasses& passes) const {
    const ReadingPass& first = passes.first;
    if (!passes.second) {
        FinishedReading r = finishpass(first, first.outcome);
        if (passes.verify) r.report.verified = false;
        return r;
    }
    const ReadingPass& second = *passes.second;
    Outcome outcome = first.outcome;
    if (second.outcome.cancelled()) {
        outcome = second.outcome;
    } else if (!second.outcome.normal()) {
        outcome = {Outcome::End::failure,
                   Reason(ReasonCode::second_reading_failed, second.outcome.reason)};
    } else if (Reason differs = recorddifference(first.record, second.record)) {
        outcome = {Outcome::End::failure, std::move(differs)};
    }
    // The separator stands between two exchanges on the line; the vendor library's readings
    // show none.
    ReadingPass both = first;
    const auto join = [](std::string& text, const std::string& then) {
        if (!text.empty() || !then.empty()) text += std::string(passseparator) + then;
    };
    join(both.sent, second.sent);
    join(both.received, second.received);
    const bool agreed = outcome.normal();
    FinishedReading r = finishpass(both, std::move(outcome));
    r.report.verified = agreed;
    return r;
}

FinishedReading ReadingSession::run(Driver& driver, std::string device, bool verify,
                                    const std::function<void()>& between) {
    begin(std::move(device));
    return finish(readingpasses(driver, verify, between));
}

ReadingPass lastpass(const Driver& driver, std::string record) {
    return {std::move(record), driver.outcome(), driver.link().txtsend(), driver.link().txtrece()};
}

bool readsagain(const ReadingPass& first) {
    return first.outcome.normal() && !first.outcome.reason;
}

ReadingPasses readingpasses(Driver& driver, bool verify, const std::function<void()>& between) {
    ReadingPasses passes;
    passes.verify = verify;
    passes.first = lastpass(driver, driver.Getregisters());
    if (!verify || !readsagain(passes.first)) return passes;
    // The same reading again, as the window starts every reading: the pair stored afresh.
    const AcquisitionState& s = driver.state();
    if (driver.initport(s.iport, s.itype) != 1) {
        passes.second = ReadingPass{{}, {Outcome::End::failure, Reason(ReasonCode::pair_refused,
                                                                        s.iport)}, {}, {}};
        return passes;
    }
    if (between) between();
    passes.second = lastpass(driver, driver.Getregisters());
    return passes;
}

Reason recorddifference(const std::string& first, const std::string& second) {
    if (first == second) return {};
    // The registers by their place in a record of 56 characters, as the window cuts them.
    struct Field {
        const char* name;
        std::size_t at, length;
    };
    static constexpr Field fields[] = {{"total postage", 0, 12},
                                       {"used postage", 12, 12},
                                       {"unused postage", 24, 12},
                                       {"total pieces", 36, 10},
                                       {"meter head", 46, 10}};
    if (first.size() == 56 && second.size() == 56)
        for (const Field& f : fields)
            if (first.compare(f.at, f.length, second, f.at, f.length) != 0)
                return Reason(ReasonCode::readings_differ, f.name, first.substr(f.at, f.length),
                              second.substr(f.at, f.length));
    return Reason(ReasonCode::readings_differ, "registers", first, second);
}

} // namespace meter
