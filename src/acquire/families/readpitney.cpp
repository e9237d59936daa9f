// SPDX-License-Identifier: GPL-3.0-or-later
// The Pitney family: the five registers, one request each, in record order, every reply frame
// decoded into its field of the record as it arrives. The total postage is asked for once more
// when the single poll after its request found nothing. A register that does not come within
// the row's poll limit ends the reading (normal end) with the record as far as it was read.
#include "acquire/family.h"
#include "protocols/pitney/pitney.h"

#include <array>
#include <vector>

namespace meter {

namespace {

// What the meter may have sent before the first request is looked at once; the total postage
// is asked for, looked for once, and asked for again when it has not come; then for each
// register its wait, and the next register's request with one uncounted look after it.
using enum Action::Do;
// clang-format off
constexpr Action sequence[] = {
    {poll},
    {send, 0}, {poll}, {resend, 0}, {await, 0},
    {send, 1}, {poll}, {await, 1},
    {send, 2}, {poll}, {await, 2},
    {send, 3}, {poll}, {await, 3},
    {send, 4}, {poll}, {await, 4},
    {end},
};
// clang-format on

class ReadingPitney : public SequenceReading {
  public:
    ReadingPitney(const MachineType& row, PitneyModel model)
        : SequenceReading(row, sequence), acknowledges_(model == PitneyModel::ackeverypoll) {}

    Taken take(ByteView bytes) override {
        PitneyCut cut = cutter_.cut(bytes);
        frames_ = std::move(cut.frames);
        return {bytes.size(), std::move(cut.fault)};
    }

    Reason decode() override {
        for (const PitneyFrame& frame : frames_) {
            const Decoded got = parsepitney(frame, {rxtext, record(), replyflags});
            if (!got.ok()) return got.reason;
        }
        frames_.clear();
        return {};
    }

    // A reply accepted by the very poll that reaches the limit comes too late to ask for the
    // next register (the last one has none).
    Step expired(const WaitCount& count) override {
        const std::size_t k = awaited();
        const std::string_view name = pitneyregisters[k].name;
        if (!has(k)) return Step::done(Reason(ReasonCode::no_reply, name, count.pollimit));
        if (k + 1 < pitneyregisters.size())
            return Step::done(Reason(ReasonCode::reply_too_late, name, count.pollimit,
                                     pitneyregisters[k + 1].name));
        return Step::done();
    }

    Bytes pollanswer() const override { return acknowledges_ ? pitneyackblock() : Bytes{}; }
    EchoGroups echogroups() const override { return EchoGroups::eachpoll; }

    std::string rxtext;            // the digits of the last reply decoded
    std::uint8_t pitneytoggle = 0; // alternates between the two toggle values, request by request
    // One marker per register reply received, numbered 1 to 5 (element 0 is unused).
    std::array<std::uint8_t, 6> replyflags{};

  private:
    void restart() override {
        rxtext.clear();
        pitneytoggle = 0;
        replyflags = {};
        cutter_ = {};
        frames_.clear();
    }

    Step request(std::size_t item) override {
        const PitneyRegister& r = pitneyregisters[item];
        pitneytoggle = pitneynexttoggle(pitneytoggle);
        const PitneyRequest request = pitneyrequest(pitneytoggle, r.name);
        return send(Bytes(request.begin(), request.end()), r.name);
    }

    // Register `item` (0 to 4) has its marker 1 to 5.
    bool has(std::size_t item) const override { return replyflags[item + 1] != 0; }

    bool acknowledges_;
    PitneyCutter cutter_;
    std::vector<PitneyFrame> frames_;
};

} // namespace

METER_READING_FAMILY(readpitney, "pitney", ReadingPitney, pitneymodel)

} // namespace meter
