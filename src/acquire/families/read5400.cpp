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

// What rxtext holds once a register has been decoded: the head number's ten digits, then the
// used and the unused postage (twelve each), then the piece count (ten).
constexpr std::size_t headdecoded = 10;
constexpr std::size_t useddecoded = headdecoded + 12;
constexpr std::size_t unuseddecoded = useddecoded + 12;
constexpr std::size_t piecesdecoded = unuseddecoded + 10;

// The reading sequence, one action at a time. A request goes out once the register before it
// has been decoded (rxtext has reached the threshold of the wait before it), and the poll right
// after it is not counted.
enum class Do { poll, send, await, assemble };
struct Action {
    Do what;
    const char* name = nullptr; // send: the register asked for; await: the one waited for
    std::int16_t step = 0;      // send: the step it begins
    std::size_t threshold = 0;  // await: the rxtext length that ends the wait
};
constexpr Action sequence[] = {
    {Do::poll}, // what the meter may have sent before the first request
    {Do::send, "表头", 1},
    {Do::poll},
    {Do::await, "表头", 0, headdecoded},
    {Do::send, "已用邮资", 2},
    {Do::poll},
    {Do::await, "已用邮资", 0, useddecoded},
    {Do::send, "未用邮资", 3},
    {Do::poll},
    {Do::await, "未用邮资", 0, unuseddecoded},
    {Do::send, "总件数", 4},
    {Do::poll},
    {Do::await, "总件数", 0, piecesdecoded},
    {Do::assemble},
};

std::optional<std::uint64_t> number(const std::string& digits) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

class Reading5400 : public FamilyReading {
  public:
    explicit Reading5400(const MachineType& row)
        : echolength_(row.echolength), retrylimit_(row.retrylimit),
          scale_(row.variant == Variant::postagetens ? PostageScale::tens : PostageScale::units) {}

    void begin(std::string& record) override {
        regrecord_ = &record;
        rxtext.clear();
        step = 0;
        next_ = 0;
        awaiting_ = nullptr;
        scanner_ = {};
        reply_.reset();
    }

    Step next() override {
        const Action& action = sequence[next_++];
        switch (action.what) {
        case Do::poll:
            return Step::poll();
        case Do::send:
            return sendrequest(action.name, action.step);
        case Do::await:
            awaiting_ = &action;
            return Step::await();
        case Do::assemble:
            break;
        }
        return assemble();
    }

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

    bool arrived() const override { return rxtext.size() >= awaiting_->threshold; }

    Step expired(const WaitCount&) override {
        return Step::done(Reason(ReasonCode::no_reply, awaiting_->name, retrylimit_ * 10));
    }

    std::string rxtext;    // the decoded register digits
    std::int16_t step = 0; // the number of the request last sent

  private:
    Step sendrequest(std::string_view name, std::int16_t number) {
        const Request5400 r = build5400(name);
        step = number;
        return Step::send(Bytes(r.bytes.begin(), r.bytes.end()), echolength_, name);
    }

    // The record from the digits of the four replies: total (used + unused), used, unused, the
    // last ten digits (piece count) and the first ten (head number).
    Step assemble() {
        const std::string used = rxtext.substr(headdecoded, 12);
        const std::string unused = rxtext.substr(useddecoded, 12);
        const auto a = number(used), b = number(unused);
        if (!a) return Step::fail(Reason(ReasonCode::not_postage_value, used));
        if (!b) return Step::fail(Reason(ReasonCode::not_postage_value, unused));
        *regrecord_ = zeropad(std::to_string(*a + *b), 12) + used + unused +
                      rxtext.substr(rxtext.size() - 10) + rxtext.substr(0, 10);
        return Step::done();
    }

    std::size_t echolength_;
    std::int16_t retrylimit_;
    PostageScale scale_;
    std::string* regrecord_ = nullptr;
    Scanner5400 scanner_;
    std::optional<Reply5400> reply_;
    std::size_t next_ = 0;
    const Action* awaiting_ = nullptr;
};

} // namespace

METER_READING_FAMILY(read5400, "5400",
                     [](const MachineType& row) { return std::make_unique<Reading5400>(row); })

} // namespace meter
