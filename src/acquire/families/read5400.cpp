// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/families/read5400.h"

#include "acquire/requests.h"
#include "core/digits.h"
#include "core/metererror.h"
#include "protocols/5400/request5400.h"

#include <array>
#include <charconv>

namespace meter {

namespace {

// The requests after the head number: register, the rxtext length that lets it go out (the
// previous register decoded), and the register being waited for until then.
struct Stage {
    std::int16_t step;
    std::size_t threshold;
    const char* awaited;
    const char* request; // nullptr: the last stage, which assembles the record
};
constexpr std::array<Stage, 4> stages{{
    {2, 10, "表头", "已用邮资"},
    {3, 22, "已用邮资", "未用邮资"},
    {4, 34, "未用邮资", "总件数"},
    {5, 44, "总件数", nullptr},
}};

// Polls until rxtext holds `threshold` characters; false when the meter gave no such reply
// before retrycount reached `retrylimit`.
bool waitfor(Driver& d, Scanner5400& scanner, std::size_t threshold, std::int16_t retrylimit) {
    while (d.state().rxtext.size() < threshold) {
        receive5400(d, scanner);
        d.countpoll();
        if (d.retrycount == retrylimit) return false;
    }
    return true;
}

std::uint64_t number(const std::string& digits) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size())
        throw MeterError("\"" + digits + "\" is not a postage value");
    return value;
}

// The record from the digits of the four replies: total (used + unused), used, unused, the last
// ten digits (piece count) and the first ten (head number).
std::string assemble(const std::string& rxtext) {
    const std::string used = rxtext.substr(10, 12);
    const std::string unused = rxtext.substr(22, 12);
    const std::string total = zeropad(std::to_string(number(used) + number(unused)), 12);
    return total + used + unused + rxtext.substr(rxtext.size() - 10) + rxtext.substr(0, 10);
}

} // namespace

RequestBuffer request5400(Driver& d, std::string_view name) {
    const Request5400 r = build5400(name);
    d.state().crclo = r.crclo;
    d.state().crchi = r.crchi;
    return r.bytes;
}

void receive5400(Driver& d, Scanner5400& scanner) {
    d.pacer().sleep(d.machinetype(d.state().itype).pollms);
    const Bytes block = d.link().input();
    d.link().echoreceived(block);
    const std::optional<Reply5400> reply = scanner.feed(block, d.state().step);
    if (reply && !reply->fault.empty()) throw MeterError(reply->fault);
    d.pacer().processevents();
    if (!reply) return;
    const Decoded got = parse5400(reply->bytes, reply->step, d.state().itype, d.state().rxtext);
    if (!got.ok()) throw MeterError(got.reason);
}

bool read5400(Driver& d, std::int16_t code) {
    AcquisitionState& s = d.state();
    Scanner5400 scanner;

    d.resetpoll();
    if (!d.openport(code)) return false;
    const std::int16_t retrylimit = d.machinetype(code).retrylimit;
    s.rxtext.clear();
    s.step = 0;
    receive5400(d, scanner);

    d.resetpoll();
    sendrequest(d, code, "表头");
    s.step = 1;
    d.waitingfor("表头");
    receive5400(d, scanner);

    for (const Stage& stage : stages) {
        d.resetpoll();
        if (!waitfor(d, scanner, stage.threshold, retrylimit)) {
            d.gaveup(std::string("no reply to ") + stage.awaited + " after " +
                     std::to_string(retrylimit * 10) + " polls");
            return true;
        }
        if (!stage.request) break;
        sendrequest(d, code, stage.request);
        s.step = stage.step;
        d.waitingfor(stage.request);
        receive5400(d, scanner);
    }
    s.regrecord = assemble(s.rxtext);
    return true;
}

FamilyEntry entry5400() {
    return {read5400, request5400, {}};
}

} // namespace meter
