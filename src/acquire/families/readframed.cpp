// SPDX-License-Identifier: GPL-3.0-or-later
// The framed command family: the neopost (command 5, acknowledged, then command 2 for the
// registers) and the high-speed machine (one command, one register reply). Each reply is
// awaited within the row's time bound and judged once it is whole; no retries. The sequence
// character goes on from reading to reading until the port and type are chosen again.
#include "acquire/family.h"
#include "core/hexecho.h"
#include "protocols/framed/framed.h"

#include <algorithm>
#include <array>

namespace meter {

namespace {

// The receive buffer of one reception: indices 0 to 200.
constexpr std::size_t receivebuffer = 201;
// The first sequence character a reading sends is the one after this: '1'.
constexpr std::uint8_t firstseqchar = '0';

std::string hexliteral(std::uint8_t b) {
    return "0x" + hexpair(b);
}

// What the front end shows while a reception waits, in the meter's own terms.
const char* awaited(const ReplyForm& form) {
    return form.blocksize == 0 ? "确认" : "寄存器";
}

// Why a whole reply is not the one awaited; none when it is.
Reason judge(const ReplyForm& form, ByteView reply, std::string& record) {
    const Verdict v = judgereply(form, reply);
    const Extraction& x = v.extraction;
    switch (v.kind) {
    case Verdict::Kind::accepted:
        return {};
    case Verdict::Kind::record:
        record = v.record;
        return {};
    case Verdict::Kind::mismatch:
        return Reason(ReasonCode::fixed_byte_mismatch, form.what, hexliteral(v.found),
                      v.mismatch.index, hexliteral(v.mismatch.value));
    case Verdict::Kind::refused:
        return Reason(ReasonCode::command_refused, ackflagindex, hexliteral(v.found),
                      hexliteral(ackaccepted));
    case Verdict::Kind::block:
        if (x.result == Extraction::Result::early)
            return Reason(ReasonCode::block_closed_early, form.what, x.end,
                          form.blockstart + form.blocksize - 1);
        if (x.result == Extraction::Result::overrun)
            return Reason(ReasonCode::block_overrun, form.what, x.start, form.blocksize);
        return Reason(ReasonCode::block_unclosed, form.what);
    case Verdict::Kind::decoding:
        if (v.decoding.fault == Decoding::Fault::nondigit)
            return Reason(ReasonCode::block_nondigit, form.what, hexliteral(v.decoding.byte),
                          x.start + v.decoding.index);
        return Reason(ReasonCode::block_unframed, form.what);
    }
    return Reason(ReasonCode::reply_unjudged, form.what);
}

class ReadingFramed : public FamilyReading {
  public:
    explicit ReadingFramed(const MachineType& row)
        : model_(row.variant == Variant::onecommand ? FramedModel::highspeed
                                                    : FramedModel::neopost) {}

    void begin(std::string& record) override {
        regrecord_ = &record;
        next_ = 0;
        form_ = nullptr;
    }

    Step next() override {
        // The neopost: command 5 and its acknowledgement, command 2 and the registers; the
        // high-speed machine: its one command and the registers.
        struct Exchange {
            std::int16_t command;
            std::int16_t reply;
        };
        static constexpr std::array<Exchange, 2> neopost{
            {{neopostopen, neopostacknowledgement}, {neopostregisters, neopostregisterreply}}};
        static constexpr std::array<Exchange, 1> highspeed{
            {{highspeedregisters, highspeedregisterreply}}};
        const std::span<const Exchange> exchanges = model_ == FramedModel::highspeed
                                                        ? std::span<const Exchange>(highspeed)
                                                        : std::span<const Exchange>(neopost);

        const std::size_t at = next_++;
        if (at % 2 == 1) {
            form_ = replyform(model_, exchanges[at / 2].reply);
            received_ = 0;
            return Step::await();
        }
        if (form_) {
            // The reply before has come whole: it decides whether the reading goes on.
            if (Reason why = judge(*form_, ByteView(buffer_.data(), received_), *regrecord_))
                return Step::fail(std::move(why));
        }
        if (at / 2 == exchanges.size()) return Step::done();
        const Exchange& e = exchanges[at / 2];
        const ReplyForm& form = *replyform(model_, e.reply);
        Bytes frame = buildcommand(e.command);
        const std::size_t length = frame.size();
        return Step::send(std::move(frame), length, awaited(form));
    }

    Taken take(ByteView bytes) override {
        const std::size_t stored = std::min(bytes.size(), buffer_.size() - received_);
        std::copy_n(bytes.begin(), stored,
                    buffer_.begin() + static_cast<std::ptrdiff_t>(received_));
        received_ += stored;
        if (stored < bytes.size())
            return {stored, Reason(ReasonCode::reply_overflow, form_->what, receivebuffer)};
        return {stored, {}};
    }

    bool arrived() const override { return received_ >= form_->length; }

    Step expired(const WaitCount& count) override {
        return Step::fail(Reason(ReasonCode::reply_timeout, count.elapsedms, count.polls,
                                 form_->what, received_, form_->length));
    }

    EchoGroups echogroups() const override { return EchoGroups::eachwait; }
    bool countsbytes() const override { return true; }

    // The sequence character of the last command sent ('0' to '9').
    std::uint8_t seqchar = firstseqchar;

  private:
    // The command frame carrying the next sequence character.
    Bytes buildcommand(std::int16_t command) {
        seqchar = nextsequence(seqchar);
        return meter::buildcommand(model_, command, seqchar);
    }
    static std::uint8_t nextsequence(std::uint8_t value) { return nextseqchar(value); }

    FramedModel model_;
    std::string* regrecord_ = nullptr;
    std::array<std::uint8_t, receivebuffer> buffer_{};
    std::size_t received_ = 0;
    const ReplyForm* form_ = nullptr;
    std::size_t next_ = 0;
};

} // namespace

METER_READING_FAMILY(readframed, "framed",
                     [](const MachineType& row) { return std::make_unique<ReadingFramed>(row); })

} // namespace meter
