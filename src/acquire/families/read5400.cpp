// SPDX-License-Identifier: GPL-3.0-or-later
// The 5400 family: head number, used postage, unused postage and piece count, one request at a
// time, each sent once the previous reply has been decoded; then the record, with total postage
// as used plus unused postage. A register that does not come within the row's poll limit ends
// the reading without a record (normal end).
#include "acquire/family.h"
#include "core/digits.h"
#include "protocols/5400/reply5400.h"
#include "protocols/5400/request5400.h"

#include <charconv>

namespace meter {

namespace {

// The four registers in the order asked for: the name each is asked by, and the length rxtext
// reaches once it has been decoded (the head number's ten digits, then the used and the unused
// postage, twelve each, then the piece count, ten).
struct Register {
    const char* name;
    std::size_t decoded;
};
constexpr Register registers[] = {
    {"表头", 10},
    {"已用邮资", 22},
    {"未用邮资", 34},
    {"总件数", 44},
};
constexpr std::size_t headdecoded = registers[0].decoded;
constexpr std::size_t useddecoded = registers[1].decoded;

// What the meter may have sent before the first request is looked at once; then each request
// goes out once the register before it has been decoded, with one uncounted look after it.
using enum Action::Do;
// clang-format off
constexpr Action sequence[] = {
    {poll},
    {send, 0}, {poll}, {await, 0},
    {send, 1}, {poll}, {await, 1},
    {send, 2}, {poll}, {await, 2},
    {send, 3}, {poll}, {await, 3},
    {end},
};
// clang-format on

std::optional<std::uint64_t> number(const std::string& digits) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

class Reading5400 : public SequenceReading {
  public:
    Reading5400(const MachineType& row, PostageScale scale)
        : SequenceReading(row, sequence), scale_(scale) {}

    Taken take(ByteView bytes) override {
        reply_ = scanner_.feed(bytes, step);
        if (reply_ && reply_->fault) return {bytes.size(), reply_->fault};
        return {bytes.size(), {}};
    }

    Reason decode() override {
        if (!reply_) return {};
        const Decoded got = parse5400(reply_->bytes, reply_->step, scale_, rxtext);
        reply_.reset();
        return got.reason;
    }

    Step expired(const WaitCount& count) override {
        return Step::done(Reason(ReasonCode::no_reply, registers[awaited()].name, count.pollimit));
    }

    std::string rxtext;    // the decoded register digits
    std::int16_t step = 0; // the number of the request last sent

  private:
    void restart() override {
        rxtext.clear();
        step = 0;
        scanner_ = {};
        reply_.reset();
    }

    Step request(std::size_t item) override {
        const Request5400 r = build5400(registers[item].name);
        step = static_cast<std::int16_t>(item + 1);
        return send(Bytes(r.bytes.begin(), r.bytes.end()), registers[item].name);
    }

    bool has(std::size_t item) const override { return rxtext.size() >= registers[item].decoded; }

    // The record from the digits of the four replies: total (used + unused), used, unused, the
    // last ten digits (piece count) and the first ten (head number).
    Step finish() override {
        const std::string used = rxtext.substr(headdecoded, 12);
        const std::string unused = rxtext.substr(useddecoded, 12);
        const auto a = number(used), b = number(unused);
        if (!a) return Step::fail(Reason(ReasonCode::not_postage_value, used));
        if (!b) return Step::fail(Reason(ReasonCode::not_postage_value, unused));
        record() = zeropad(std::to_string(*a + *b), 12) + used + unused +
                   rxtext.substr(rxtext.size() - 10) + rxtext.substr(0, 10);
        return Step::done();
    }

    PostageScale scale_;
    Scanner5400 scanner_;
    std::optional<Reply5400> reply_;
};

} // namespace

METER_READING_FAMILY(read5400, "5400", Reading5400, postagescale)

} // namespace meter
