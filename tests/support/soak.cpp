// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/soak.h"

#include "support/simwire.h"

#include <algorithm>
#include <limits>

namespace meter::testing::soak {

namespace {

constexpr std::int16_t serialtypes[] = {11, 12, 13, 21, 22, 31};

// Readings alternate between two meters, so that bytes of the one before cannot pass for the
// meter read now; replies left over from an earlier reading carry a third set of values.
const sim::Registers first;
const sim::Registers second{"000000000300", "000000000100", "000000000200", "0000000007",
                            "0000000009"};
const sim::Registers earlier{"000000000066", "000000000033", "000000000033", "0000000044",
                             "0000000055"};

int pollms(std::int16_t code) {
    switch (code) {
    case 12:
    case 13:
        return 1000;
    case 21:
    case 22:
        return 100;
    default:
        return 800;
    }
}

} // namespace

std::int64_t longestms(std::int16_t code) {
    switch (code) {
    case 12:
    case 13:
        return (5 + 4 * 60) * 1000;
    case 21:
        return (6 + 5 * 90) * 100;
    case 22:
        return (6 + 5 * 50) * 100;
    case 11:
        return 2 * 5 * 800;
    case 31:
        return 5 * 800;
    default:
        return 0;
    }
}

Bytes lastreply(std::int16_t code, const sim::Registers& registers) {
    VirtualStation scratch;
    scratch.play(code);
    scratch.read(code);
    sim::Meter m(registers, {}, code);
    Bytes reply;
    for (const Bytes& w : scratch.device.writes())
        if (Bytes r = wire(m.receive(w)); !r.empty()) reply = std::move(r);
    return reply;
}

std::string Reading::describe() const {
    const sim::Faults& f = faults;
    return "type " + std::to_string(code) + (refused ? ", port refused" : "") +
           (f.silent ? ", silent" : "") + ", delay " + std::to_string(f.delayms) +
           (f.chunk ? ", chunks of " + std::to_string(f.chunk) + " every " +
                          std::to_string(f.gapms) + " ms"
                    : "") +
           (f.noise ? ", noise " + std::to_string(f.noise) : "") + (f.twice ? ", twice" : "") +
           (f.corrupt >= 0 ? ", corrupt " + std::to_string(f.corrupt) : "") +
           (f.dropafter ? ", drop after " + std::to_string(f.dropafter) : "") +
           (stale ? ", " + std::to_string(stale) + " stale bytes" : "") + ": " +
           (outcome.normal() ? "normal" : "failure") + " end, record " + record + ", reason \"" +
           outcome.reason.english() + "\", " + std::to_string(elapsedms) + " ms; broken: " + broken;
}

RenewedLine::RenewedLine(ScriptedDevice::Clock now)
    : now_(std::move(now)), line_(std::make_unique<ScriptedDevice>(now_)) {}

ScriptedDevice& RenewedLine::renew() {
    ScriptedDevice& old = *line_;
    Bytes waiting;
    if (!old.isopen()) {
        old.droplineat(std::numeric_limits<std::int64_t>::max());
        old.refuseopen("");
        old.open(1);
        waiting = old.readall();
        old.close();
    }
    line_ = std::make_unique<ScriptedDevice>(now_);
    if (!waiting.empty()) line_->deliver(waiting);
    return *line_;
}

Run::Run(std::uint32_t seed) : rng_(seed) {
    for (const std::int16_t code : serialtypes)
        stalereplies_[code] = lastreply(code, earlier);
}

sim::Faults Run::randomfaults(std::int16_t code) {
    const int poll = pollms(code);
    sim::Faults f;
    f.silent = chance(4);
    // Mostly within a poll or two, now and then long enough for the reader to give up.
    f.delayms = chance(5) ? upto(static_cast<int>(longestms(code) / 4)) : upto(2 * poll);
    if (chance(30)) {
        f.chunk = 1 + upto(19);
        f.gapms = upto(poll * 6 / 5);
    }
    if (chance(15)) f.noise = 1 + upto(4);
    f.twice = chance(10);
    f.corrupt = chance(10) ? upto(99) : -1;
    f.dropafter = chance(8) ? 1 + upto(5) : 0;
    return f;
}

Reading Run::next() {
    Reading r;
    r.code = serialtypes[upto(5)];
    r.faults = randomfaults(r.code);
    r.refused = chance(2);
    const sim::Registers& registers = readings_ % 2 ? second : first;

    // Start is pressed long after the last reading: whatever its meter still sent has arrived,
    // and the line is plugged in again.
    pacer_.advance(1000000);
    ScriptedDevice& line = device_.renew();
    if (r.refused) line.refuseopen("port 1 is in use by another program");
    if (chance(10)) {
        const Bytes& reply = stalereplies_[r.code];
        r.stale = 1 + static_cast<std::size_t>(upto(static_cast<int>(reply.size()) - 1));
        line.deliver(ByteView(reply).first(r.stale));
    }
    meter_ = std::make_unique<sim::Meter>(registers, r.faults, r.code);
    sim::attach(line, *meter_);

    const std::int64_t start = pacer_.nowms();
    if (driver_.initport(1, r.code) != 1) {
        r.broken = "the machine type was refused";
        return r;
    }
    r.record = driver_.Getregisters();
    r.outcome = driver_.outcome();
    r.elapsedms = pacer_.nowms() - start;

    if (line.isopen() || line.closes() != static_cast<int>(line.opens().size()))
        r.broken = "the port was left open";
    else
        r.broken = check(r, registers);

    ++readings_;
    if (!r.outcome.normal())
        ++failed_;
    else if (r.record != allzerorecord)
        ++readnormally_;
    return r;
}

std::string Run::check(const Reading& r, const sim::Registers& registers) const {
    if (r.elapsedms > longestms(r.code)) return "the reading outlasted its protocol's bound";
    if (r.refused && (r.outcome.normal() || r.record != allzerorecord))
        return "a port that would not open gave a reading";
    // Bytes that arrive intact, however late, split or noisy, give the meter's own values.
    const bool intact = r.faults.corrupt < 0 && !r.faults.twice;
    const std::string& truth = registers.record();
    if (!r.outcome.normal()) {
        if (r.outcome.reason.empty()) return "a failure without a reason";
        // A failed Pitney reading keeps the registers decoded before the fault.
        if (intact && r.record != allzerorecord && truth.rfind(r.record, 0) != 0)
            return "a failure with a record that is not the meter's";
        return {};
    }
    if (r.record.size() < recordlength) return "a short record at the normal end";
    if (r.record == allzerorecord)
        return r.outcome.reason.empty() ? "no data and no reason" : std::string();
    if (!r.outcome.reason.empty()) return "a record read with a reason of failure";
    if (intact && r.record != truth) return "a record that is not the meter's";
    return {};
}

} // namespace meter::testing::soak
