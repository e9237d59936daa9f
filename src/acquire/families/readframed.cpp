// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/families/readframed.h"

#include "acquire/requests.h"
#include "core/hexecho.h"
#include "protocols/framed/framed.h"

#include <algorithm>
#include <array>
#include <string>

namespace meter {

namespace {

// The receive buffer of one reception: indices 0 to 200.
constexpr std::size_t receivebuffer = 201;

std::string num(std::size_t n) {
    return std::to_string(n);
}
std::string hexliteral(std::uint8_t b) {
    return "0x" + hexpair(b);
}

// What the front end shows while a reception waits, in the meter's own terms.
const char* awaited(const ReplyForm& form) {
    return form.blocksize == 0 ? "确认" : "寄存器";
}

bool blockfault(Driver& d, const ReplyForm& form, const Extraction& x) {
    const std::string block = "the data block of the " + std::string(form.what);
    switch (x.result) {
    case Extraction::Result::early:
        return d.fail(block + " is closed early: ETX at reply byte " + num(x.end) +
                      ", its end belongs at byte " + num(form.blockstart + form.blocksize - 1));
    case Extraction::Result::overrun:
        return d.fail(block + " starting at reply byte " + num(x.start) + " runs past its " +
                      num(form.blocksize) + " bytes without an ETX");
    default:
        return d.fail(block + " is not closed by an ETX");
    }
}

bool decodefault(Driver& d, const ReplyForm& form, const Extraction& x, const Decoding& dec) {
    if (dec.fault == Decoding::Fault::nondigit)
        return d.fail("malformed " + std::string(form.what) + ": " + hexliteral(dec.byte) +
                      " at reply byte " + num(x.start + dec.index) + " is not a decimal digit");
    return d.fail("the data block of the " + std::string(form.what) +
                  " is not framed by STX and ETX");
}

} // namespace

FamilyEntry entryframed() {
    return {readframed, {}, nextframed};
}

std::uint8_t nextframed(Driver& d, std::uint8_t& value) {
    value = nextseqchar(value);
    d.state().seqchar = value;
    return value;
}

Bytes buildcommand(Driver& d, std::int16_t command) {
    const std::int16_t type = d.state().itype;
    if (!hascommand(type, command)) return {};
    const std::uint8_t seq = nextsequence(d, d.state().seqchar);
    return buildcommand(type, command, seq);
}

bool receiveframe(Driver& d, std::int16_t replycode, std::int16_t timebound) {
    const ReplyForm* form = replyform(d.state().itype, replycode);
    if (!form)
        return d.fail("machine type " + std::to_string(d.state().itype) + " has no reply " +
                      std::to_string(replycode));
    d.waitingfor(awaited(*form));

    // The meter is looked at once every poll period; a reply is only seen at a poll.
    const int pollms = std::max(1, d.machinetype(d.state().itype).pollms);
    SerialLink& link = d.link();
    std::array<std::uint8_t, receivebuffer> buffer{};
    std::size_t received = 0;
    int elapsed = 0;
    int polls = 0;
    while (elapsed < timebound && received < form->length) {
        d.pacer().sleep(pollms);
        elapsed += pollms;
        ++polls;
        // The count comes first, but bytes may still arrive before the read: every byte the
        // read returns is kept, or it would be lost to this reply and to the next one.
        const std::size_t counted = link.inbuffercount();
        const Bytes got = link.input();
        const std::size_t stored = std::min(got.size(), buffer.size() - received);
        std::copy_n(got.begin(), stored, buffer.begin() + static_cast<std::ptrdiff_t>(received));
        link.echoreceived(ByteView(got).first(stored));
        received += stored;
        if (stored < got.size())
            return d.fail("the " + std::string(form->what) + " runs past " + num(receivebuffer) +
                          " bytes");
        if (got.size() < counted)
            return d.fail("the port counted " + num(counted) + " bytes waiting but gave only " +
                          num(got.size()));
        d.pacer().processevents();
    }
    link.echoreceivedcomma();

    if (received < form->length)
        return d.fail("time-out after " + std::to_string(elapsed) + " ms (" +
                      std::to_string(polls) + " polls) waiting for the " + form->what + ": " +
                      num(received) + " of " + num(form->length) + " bytes");

    const ByteView reply(buffer.data(), received);
    const Verdict v = judgereply(*form, reply);
    switch (v.kind) {
    case Verdict::Kind::accepted:
        return true;
    case Verdict::Kind::record:
        d.state().regrecord = v.record;
        return true;
    case Verdict::Kind::mismatch:
        return d.fail("the " + std::string(form->what) + " has " + hexliteral(v.found) +
                      " at byte " + num(v.mismatch.index) + " where " +
                      hexliteral(v.mismatch.value) + " belongs");
    case Verdict::Kind::refused:
        return d.fail("the meter did not accept the command: byte " + num(ackflagindex) +
                      " of the acknowledgement is " + hexliteral(v.found) + ", not " +
                      hexliteral(ackaccepted));
    case Verdict::Kind::block:
        return blockfault(d, *form, v.extraction);
    case Verdict::Kind::decoding:
        return decodefault(d, *form, v.extraction, v.decoding);
    }
    return d.fail("the " + std::string(form->what) + " was judged in no known way");
}

bool readneopost(Driver& d, std::int16_t code) {
    if (!d.openport(code)) return false;
    d.link().sendbytes(buildcommand(d, 5));
    if (!receiveframe(d, 6, d.state().waitcount)) return false;
    d.link().sendbytes(buildcommand(d, 2));
    return receiveframe(d, 5, d.state().waitcount);
}

bool readhighspeed(Driver& d, std::int16_t code) {
    if (!d.openport(code)) return false;
    // The high-speed machine has one command; its code does not change the frame.
    d.link().sendbytes(buildcommand(d, 0));
    return receiveframe(d, 4, d.state().waitcount);
}

bool readframed(Driver& d, std::int16_t code) {
    // The high-speed machine takes any command code in its one frame; the neopost only 5 and 2.
    return hascommand(code, 0) ? readhighspeed(d, code) : readneopost(d, code);
}

} // namespace meter
