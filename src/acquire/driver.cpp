// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/driver.h"

#include "acquire/pollloop.h"
#include "core/metererror.h"

namespace meter {

Driver::Driver(Services services, FamilyTable families, MachineTypes types)
    : services_(services), families_(std::move(families)), types_(std::move(types)),
      link_(services.device, services.listener) {}

std::int16_t Driver::initport(std::int16_t inputport, std::int16_t inputtype) {
    if (reading_) return 0;
    if (inputport > 8) return 0;
    const MachineType* row = findtype(inputtype, types_);
    if (!row) return 0;
    state_.iport = inputport;
    state_.itype = inputtype;
    const auto maker = families_.find(inputtype);
    family_ = maker != families_.end() && maker->second ? maker->second(*row) : nullptr;
    return 1;
}

std::string Driver::Getregisters() {
    if (reading_.exchange(true)) {
        // Only reachable by misuse: the front ends run one reading at a time.
        return allzerorecord;
    }
    outcome_ = {};
    gaveup_ = {};
    failure_ = {};
    link_.begin();
    state_.regrecord = allzerorecord;

    // A type without line settings is read through the vendor library, not the serial line.
    const MachineType* row = findtype(state_.itype, types_);
    const bool vendor = row && !row->line;
    bool normal = true;
    bool cancelled = false;
    try {
        if (vendor) {
            normal = vendorpath();
        } else if (family_) {
            normal = familypath(*row);
        } else {
            gaveup_ = Reason(ReasonCode::no_reading_sequence, state_.itype);
        }
    } catch (const ReadingCancelled& e) {
        normal = false;
        cancelled = true;
        failure_ = e.reason();
    } catch (const MeterError& e) {
        normal = false;
        failure_ = e.reason();
    } catch (const std::exception& e) {
        // Not raised on purpose anywhere; still a failed reading rather than a crash.
        normal = false;
        failure_ = Reason(ReasonCode::internal_error, e.what());
    } catch (...) {
        normal = false;
        failure_ = Reason(ReasonCode::internal_error_unknown);
    }

    if (normal) {
        outcome_.end = Outcome::End::normal;
        if (state_.regrecord.size() < recordlength) {
            if (gaveup_.empty())
                gaveup_ = Reason(ReasonCode::short_record, state_.regrecord.size());
            state_.regrecord = allzerorecord;
        }
        if (state_.regrecord == allzerorecord)
            outcome_.reason = gaveup_ ? gaveup_ : Reason(ReasonCode::registers_all_zero);
    } else {
        outcome_.end = cancelled ? Outcome::End::cancelled : Outcome::End::failure;
        outcome_.reason = failure_ ? failure_ : Reason(ReasonCode::reading_failed);
    }
    // A meter that gave not a single byte in the whole wait is most often another machine type,
    // an unplugged cable or another port: the reason says where to look.
    const ReasonCode code = outcome_.reason.code();
    if (!vendor && !cancelled && link_.received() == 0 &&
        (code == ReasonCode::no_reply || code == ReasonCode::reply_timeout))
        outcome_.reason = Reason(ReasonCode::nothing_received, outcome_.reason);

    std::string result = state_.regrecord;
    if (!vendor) {
        try {
            link_.closeport();
        } catch (const std::exception&) {
            // The record is already taken; a port that will not close changes nothing in it.
        }
    }
    reading_ = false;
    return result;
}

bool Driver::vendorpath() {
    VendorLibrary& lib = services_.vendor;
    const std::int32_t port = state_.iport;
    if (services_.listener) services_.listener->waiting("copote");
    if (lib.ComOpen(port) == 0) {
        const std::string detail = lib.lasterror();
        return fail(detail.empty() ? Reason(ReasonCode::vendor_open_failed, port)
                                   : Reason(ReasonCode::vendor_open_failed_detail, port,
                                            Reason(ReasonCode::system_message, detail)));
    }
    state_.regrecord = lib.ReadRegister(port);
    std::int32_t closed = 0;
    try {
        closed = lib.ComClose(port);
    } catch (...) {
        // The library never confirmed the record (it hung or crashed closing): it does not stand.
        state_.regrecord = allzerorecord;
        throw;
    }
    if (closed == 0) {
        state_.regrecord = allzerorecord;
        const std::string detail = lib.lasterror();
        return fail(detail.empty() ? Reason(ReasonCode::vendor_voided)
                                   : Reason(ReasonCode::vendor_voided_detail,
                                            Reason(ReasonCode::system_message, detail)));
    }
    return true;
}

bool Driver::familypath(const MachineType& row) {
    if (!link_.openport(row.line, state_.iport)) return fail(link_.openfailure());
    family_->begin(state_.regrecord);
    PollLoop loop(link_, services_.pacer, services_.listener, row);
    Step end = loop.readingsequence(*family_);
    if (!end.normal) return fail(std::move(end.reason));
    gaveup_ = std::move(end.reason);
    return true;
}

bool Driver::fail(Reason reason) {
    failure_ = std::move(reason);
    return false;
}

} // namespace meter
