// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/pollloop.h"

#include <algorithm>

namespace meter {

PollLoop::PollLoop(SerialLink& link, Pacer& pacer, ReadingListener* listener,
                   const MachineType& row)
    : waitcount(row.timeboundms), link_(link), pacer_(pacer), listener_(listener), row_(row),
      pollms_(std::max(1, row.pollms)) {}

void PollLoop::countpoll() {
    ++pollcount;
    if (pollcount == 10) {
        ++retrycount;
        pollcount = 0;
    }
}

Step PollLoop::readingsequence(FamilyReading& family) {
    for (Step step = family.next();; step = family.next()) {
        switch (step.kind) {
        case Step::Kind::send:
            link_.send(step.bytes, step.echo);
            if (listener_ && !step.waiting.empty()) listener_->waiting(step.waiting);
            break;
        case Step::Kind::poll:
            if (Reason fault = poll(family)) return Step::fail(std::move(fault));
            break;
        case Step::Kind::await:
            if (std::optional<Step> ended = await(family)) return std::move(*ended);
            break;
        case Step::Kind::end:
            return step;
        }
    }
}

Reason PollLoop::poll(FamilyReading& family) {
    pacer_.sleep(pollms_);
    ++polls_;
    if (listener_) listener_->polled(polls_);
    SerialDevice& device = link_.device();
    // The count comes first, but bytes may still arrive before the read: every byte the read
    // returns is kept.
    const std::size_t counted = family.countsbytes() ? device.byteswaiting() : 0;
    const Bytes got = device.readall();
    link_.countreceived(got.size());
    if (const Bytes answer = family.pollanswer(); !answer.empty()) link_.write(answer);
    Taken taken = family.take(got);
    link_.echoreceived(ByteView(got).first(std::min(taken.echoed, got.size())));
    if (family.echogroups() == EchoGroups::eachpoll && !link_.txtrece().empty())
        link_.echoreceivedcomma();
    if (taken.fault) return std::move(taken.fault);
    if (got.size() < counted) return Reason(ReasonCode::port_count_short, counted, got.size());
    pacer_.processevents();
    return family.decode();
}

std::optional<Step> PollLoop::await(FamilyReading& family) {
    pollcount = retrycount = 0;
    const bool bytime = row_.retrylimit <= 0;
    WaitCount count;
    count.pollimit = bytime ? 0 : row_.retrylimit * 10;
    for (;;) {
        if (family.arrived()) break;
        if (bytime && count.elapsedms >= waitcount) break;
        if (Reason fault = poll(family)) return Step::fail(std::move(fault));
        ++count.polls;
        count.elapsedms += pollms_;
        if (bytime) continue;
        countpoll();
        // The poll that reaches the limit ends the wait, whatever it brought.
        if (retrycount == row_.retrylimit) return family.expired(count);
    }
    if (family.echogroups() == EchoGroups::eachwait) link_.echoreceivedcomma();
    if (!family.arrived()) return family.expired(count);
    return std::nullopt;
}

} // namespace meter
