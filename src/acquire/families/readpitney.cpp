// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/families/readpitney.h"

#include "acquire/requests.h"
#include "core/metererror.h"

#include <string>

namespace meter {

namespace {

struct Reading {
    Driver& d;
    std::int16_t code;
    // Completed groups of ten polls after which a wait gives up (the row's).
    std::int16_t retrylimit;
    PitneyCutter cutter;

    void poll() { receivepitney(d, cutter); }

    void request(std::string_view name) {
        sendrequest(d, code, name);
        d.waitingfor(name);
    }

    // Polls until register `marker` (1 to 5, asked for by `name`) has been decoded. The
    // total-postage wait asks once more when the single poll after the request found nothing.
    // False when the limit of polls is reached first: a reply accepted by the very poll that
    // reaches it comes too late to ask for the `next` register (the last one has none).
    bool await(std::size_t marker, std::string_view name, std::string_view next, bool repeat) {
        AcquisitionState& s = d.state();
        d.resetpoll();
        for (;;) {
            if (s.replyflags[marker] != 0) return true;
            if (repeat && s.step == 1) {
                request(name);
                s.step = 2;
            }
            poll();
            d.countpoll();
            if (d.retrycount < retrylimit) continue;
            const std::string polls = std::to_string(retrylimit * 10);
            if (s.replyflags[marker] == 0)
                d.gaveup("no reply to " + std::string(name) + " after " + polls + " polls");
            else if (!next.empty())
                d.gaveup("the reply to " + std::string(name) + " came only at poll " + polls +
                         ", too late to ask for " + std::string(next));
            return false;
        }
    }
};

} // namespace

FamilyEntry entrypitney() {
    return {readpitney, requestpitney, nextpitney};
}

RequestBuffer requestpitney(Driver& d, std::string_view name) {
    const std::uint8_t toggle = nextsequence(d, d.state().pitneytoggle);
    return pitneyrequest(toggle, name);
}

std::uint8_t nextpitney(Driver& d, std::uint8_t& value) {
    const std::uint8_t next = pitneynexttoggle(value);
    value = next;
    d.state().pitneytoggle = next;
    return next;
}

void receivepitney(Driver& d, PitneyCutter& cutter) {
    SerialLink& link = d.link();
    d.pacer().sleep(d.machinetype(d.state().itype).pollms);
    const Bytes taken = link.input();
    // The spark wants its acknowledgement on every poll, whether or not it has sent anything.
    if (d.state().itype == 22) link.write(pitneyackblock());
    link.echoreceived(taken);
    if (!link.txtrece().empty()) link.echoreceivedcomma();
    const PitneyCut cut = cutter.cut(taken);
    if (!cut.fault.empty()) throw MeterError(cut.fault);
    d.pacer().processevents();
    AcquisitionState& s = d.state();
    for (const PitneyFrame& frame : cut.frames) {
        const Decoded got = parsepitney(frame, {s.rxtext, s.regrecord, s.replyflags});
        if (!got.ok()) throw MeterError(got.reason);
    }
}

bool readpitney(Driver& d, std::int16_t code) {
    if (!d.openport(code)) return false;
    AcquisitionState& s = d.state();
    s.rxtext.clear();
    s.pitneytoggle = 0;
    s.replyflags = {};
    s.step = 0;

    // Frames left open at one poll continue at the next, within this reading only.
    Reading r{d, code, d.machinetype(code).retrylimit, {}};
    d.resetpoll();
    r.poll();

    d.resetpoll();
    r.request(pitneyregisters[0].name);
    s.step = 1;
    r.poll();

    for (std::size_t k = 1; k <= pitneyregisters.size(); ++k) {
        const bool last = k == pitneyregisters.size();
        const std::string_view next = last ? std::string_view() : pitneyregisters[k].name;
        if (!r.await(k, pitneyregisters[k - 1].name, next, k == 1)) return true;
        if (last) break;
        r.request(next);
        r.poll();
    }
    return true;
}

} // namespace meter
