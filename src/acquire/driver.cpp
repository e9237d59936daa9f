// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/driver.h"

#include "core/metererror.h"

namespace meter {

Driver::Driver(Services services, FamilyTable families, MachineTypes types)
    : services_(services), families_(std::move(families)), types_(std::move(types)),
      link_(services.device, services.listener) {}

std::int16_t Driver::initport(std::int16_t inputport, std::int16_t inputtype) {
    if (reading_) return 0;
    if (inputport > 8) return 0;
    if (!findtype(inputtype, types_)) return 0;
    state_.iport = inputport;
    state_.itype = inputtype;
    state_.step = 0;
    state_.seqchar = 48;
    state_.waitcount = replytimebound;
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
        } else if (const FamilyEntry* entry = family(state_.itype); entry && entry->read) {
            normal = entry->read(*this, state_.itype);
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
    waitingfor("copote");
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

const MachineType& Driver::machinetype(std::int16_t code) const {
    if (const MachineType* row = findtype(code, types_)) return *row;
    throw MeterError(Reason(ReasonCode::type_not_in_table, code));
}

const FamilyEntry* Driver::family(std::int16_t code) const {
    const auto it = families_.find(code);
    return it == families_.end() ? nullptr : &it->second;
}

bool Driver::openport(std::int16_t code) {
    const MachineType* row = findtype(code, types_);
    if (link_.openport(row ? row->line : std::nullopt, state_.iport)) return true;
    return fail(link_.openfailure());
}

void Driver::countpoll() {
    ++pollcount;
    if (pollcount == 10) {
        ++retrycount;
        pollcount = 0;
    }
}

void Driver::waitingfor(std::string_view what) {
    if (services_.listener) services_.listener->waiting(what);
}

bool Driver::fail(Reason reason) {
    failure_ = std::move(reason);
    return false;
}

} // namespace meter
