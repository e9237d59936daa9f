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
const char* awaitedname(const ReplyForm& form) {
    return form.blocksize == 0 ? "确认" : "寄存器";
}

// Why a whole reply is not the one awaited; none when it is.
Reason verdictreason(const ReplyForm& form, ByteView reply, std::string& record) {
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

// The commands a model sends, each with the reply it awaits: the neopost command 5 and its
// acknowledgement, then command 2 and the registers; the high-speed machine its one command and
// the registers. Each reply is judged once it is whole, before anything else is sent.
struct Exchange {
    std::int16_t command;
    std::int16_t reply;
};
constexpr Exchange neopostexchanges[] = {{neopostopen, neopostacknowledgement},
                                         {neopostregisters, neopostregisterreply}};
constexpr Exchange highspeedexchanges[] = {{highspeedregisters, highspeedregisterreply}};

using enum Action::Do;
// clang-format off
constexpr Action neopostsequence[] = {
    {send, 0}, {await, 0}, {judge},
    {send, 1}, {await, 1}, {judge},
    {end},
};
constexpr Action highspeedsequence[] = {
    {send, 0}, {await, 0}, {judge},
    {end},
};
// clang-format on

class ReadingFramed : public SequenceReading {
  public:
    ReadingFramed(const MachineType& row, FramedModel model)
        : SequenceReading(row, model == FramedModel::highspeed
                                   ? std::span<const Action>(highspeedsequence)
                                   : std::span<const Action>(neopostsequence)),
          model_(model), exchanges_(model == FramedModel::highspeed
                                        ? std::span<const Exchange>(highspeedexchanges)
                                        : std::span<const Exchange>(neopostexchanges)) {}

    Taken take(ByteView bytes) override {
        const std::size_t stored = std::min(bytes.size(), buffer_.size() - received_);
        std::copy_n(bytes.begin(), stored,
                    buffer_.begin() + static_cast<std::ptrdiff_t>(received_));
        received_ += stored;
        if (stored < bytes.size())
            return {stored, Reason(ReasonCode::reply_overflow, form_->what, receivebuffer)};
        return {stored, {}};
    }

    Step expired(const WaitCount& count) override {
        return Step::fail(Reason(ReasonCode::reply_timeout, count.elapsedms, count.polls,
                                 form_->what, received_, form_->length));
    }

    EchoGroups echogroups() const override { return EchoGroups::eachwait; }
    bool countsbytes() const override { return true; }

    // The sequence character of the last command sent ('0' to '9').
    std::uint8_t seqchar = firstseqchar;

  private:
    void restart() override { form_ = nullptr; }

    // The command frame carrying the next sequence character; its reply is awaited right after
    // it, into an empty receive buffer.
    Step request(std::size_t item) override {
        const Exchange& e = exchanges_[item];
        form_ = replyform(model_, e.reply);
        received_ = 0;
        seqchar = nextseqchar(seqchar);
        Bytes frame = buildcommand(model_, e.command, seqchar);
        const std::size_t length = frame.size();
        return Step::send(std::move(frame), length, awaitedname(*form_));
    }

    bool has(std::size_t) const override { return received_ >= form_->length; }

    Reason judge(std::size_t) override {
        return verdictreason(*form_, ByteView(buffer_.data(), received_), record());
    }

    FramedModel model_;
    std::span<const Exchange> exchanges_;
    std::array<std::uint8_t, receivebuffer> buffer_{};
    std::size_t received_ = 0;
    const ReplyForm* form_ = nullptr;
};

} // namespace

METER_READING_FAMILY(readframed, "framed", ReadingFramed, framedmodel)

} // namespace meter
