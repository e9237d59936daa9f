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

class ReadingPitney : public FamilyReading {
  public:
    explicit ReadingPitney(const MachineType& row)
        : echolength_(row.echolength), retrylimit_(row.retrylimit),
          acknowledges_(row.variant == Variant::everypollack) {}

    void begin(std::string& record) override {
        regrecord_ = &record;
        rxtext.clear();
        pitneytoggle = 0;
        replyflags = {};
        step = 0;
        next_ = 0;
        cutter_ = {};
        frames_.clear();
    }

    // What the meter may have sent before the first request; the total postage asked for and
    // looked for once; then for each register: its wait and the next register's request and
    // look.
    Step next() override {
        std::size_t at = next_++;
        if (at == 0) return Step::poll();
        if (at == 1) {
            step = 1;
            return sendrequest(0);
        }
        if (at == 2) return Step::poll();
        if (at == 3) {
            // The total postage is asked for again when it did not come at the first look.
            if (replyflags[1] == 0 && step == 1) {
                step = 2;
                return sendrequest(0);
            }
            at = next_++;
        }
        // From here on, three actions per register k: wait, ask for the next, look once.
        const std::size_t round = at - 4;
        const std::size_t k = round / 3 + 1; // the register of this round, 1 to 5
        switch (round % 3) {
        case 0:
            awaited_ = k;
            return Step::await();
        case 1:
            return k < pitneyregisters.size() ? sendrequest(k) : Step::done();
        default:
            return Step::poll();
        }
    }

    Taken take(ByteView bytes) override {
        PitneyCut cut = cutter_.cut(bytes);
        frames_ = std::move(cut.frames);
        return {bytes.size(), std::move(cut.fault)};
    }

    Reason decode() override {
        for (const PitneyFrame& frame : frames_) {
            const Decoded got = parsepitney(frame, {rxtext, *regrecord_, replyflags});
            if (!got.ok()) return got.reason;
        }
        frames_.clear();
        return {};
    }

    bool arrived() const override { return replyflags[awaited_] != 0; }

    // A reply accepted by the very poll that reaches the limit comes too late to ask for the
    // next register (the last one has none).
    Step expired(const WaitCount&) override {
        const std::string_view name = pitneyregisters[awaited_ - 1].name;
        const int polls = retrylimit_ * 10;
        if (replyflags[awaited_] == 0) return Step::done(Reason(ReasonCode::no_reply, name, polls));
        if (awaited_ < pitneyregisters.size())
            return Step::done(
                Reason(ReasonCode::reply_too_late, name, polls, pitneyregisters[awaited_].name));
        return Step::done();
    }

    Bytes pollanswer() const override { return acknowledges_ ? pitneyackblock() : Bytes{}; }
    EchoGroups echogroups() const override { return EchoGroups::eachpoll; }

    std::string rxtext;            // the digits of the last reply decoded
    std::uint8_t pitneytoggle = 0; // alternates between the two toggle values, request by request
    // One marker per register reply received, numbered 1 to 5 (element 0 is unused).
    std::array<std::uint8_t, 6> replyflags{};
    std::int16_t step = 0;

  private:
    Step sendrequest(std::size_t index) {
        const PitneyRegister& r = pitneyregisters[index];
        pitneytoggle = nextsequence(pitneytoggle);
        const PitneyRequest request = pitneyrequest(pitneytoggle, r.name);
        return Step::send(Bytes(request.begin(), request.end()), echolength_, r.name);
    }
    static std::uint8_t nextsequence(std::uint8_t toggle) { return pitneynexttoggle(toggle); }

    std::size_t echolength_;
    std::int16_t retrylimit_;
    bool acknowledges_;
    std::string* regrecord_ = nullptr;
    PitneyCutter cutter_;
    std::vector<PitneyFrame> frames_;
    std::size_t next_ = 0;
    std::size_t awaited_ = 1;
};

} // namespace

METER_READING_FAMILY(readpitney, "pitney",
                     [](const MachineType& row) { return std::make_unique<ReadingPitney>(row); })

} // namespace meter
