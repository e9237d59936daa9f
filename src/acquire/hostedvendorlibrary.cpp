// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/hostedvendorlibrary.h"

#include "acquire/hostprocess.h"
#include "core/cancellation.h"
#include "core/metererror.h"
#include "core/utf8path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace meter {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vendorhost::Answer;
using vendorhost::Call;
using vendorhost::Request;

namespace {
// How often a wait looks at the cancellation flag; a cancelled reading ends within this.
constexpr auto slice = 20ms;

// What is looked for, and the reasons for not finding it: where it was looked for, or that there
// was no place to look.
struct Wanted {
    std::string name;
    ReasonCode notfound;
    ReasonCode nowhere;
};

// The absolute path of the first candidate that is a file; otherwise a MeterError saying that
// it was not found and where it was looked for.
std::string firstfile(const std::vector<std::string>& candidates, const Wanted& wanted) {
    namespace fs = std::filesystem;
    std::string looked;
    for (const std::string& candidate : candidates) {
        std::error_code ec;
        const fs::path path = utf8path(candidate);
        if (fs::is_regular_file(path, ec)) {
            // Always a full path: a bare file name would send the system searching.
            const fs::path found = fs::absolute(path, ec);
            if (!ec) return utf8of(found);
        }
        looked += (looked.empty() ? "" : " or ") + candidate;
    }
    throw MeterError(looked.empty() ? Reason(wanted.nowhere, wanted.name)
                                    : Reason(wanted.notfound, wanted.name, looked));
}

std::vector<std::string> onlyfile(const std::string& path) {
    return path.empty() ? std::vector<std::string>{} : std::vector<std::string>{path};
}
} // namespace

std::string vendorlibraryname() {
#ifdef _WIN32
    return "cpedfm.dll";
#else
    return "libcpedfm.so";
#endif
}

std::string vendorhostname() {
#ifdef _WIN32
    return "cpedfm-host.exe";
#else
    return "cpedfm-host";
#endif
}

namespace {
enum class Wait { line, ended, timeout, cancelled, malformed };

// One answer line (without its "\n"), waiting until `deadline` at most. An answer followed by
// more bytes, or longer than any answer, is malformed.
Wait readline(HostProcess& process, std::string& line, Clock::time_point deadline,
              const Cancellation* flag) {
    std::string buffer;
    for (;;) {
        if (const auto nl = buffer.find('\n'); nl != std::string::npos) {
            if (nl + 1 != buffer.size()) return Wait::malformed;
            line = buffer.substr(0, nl);
            return Wait::line;
        }
        if (buffer.size() > vendorhost::maxanswer) return Wait::malformed;
        if (flag && flag->cancelled()) return Wait::cancelled;
        const auto now = Clock::now();
        if (now >= deadline) return Wait::timeout;
        const auto wait = std::min<Clock::duration>(slice, deadline - now);
        if (process.receive(buffer, std::chrono::duration_cast<std::chrono::milliseconds>(wait)) ==
            HostProcess::Received::ended)
            return Wait::ended;
    }
}
} // namespace

HostedVendorLibrary::HostedVendorLibrary(std::vector<std::string> hostcandidates,
                                         std::vector<std::string> librarycandidates,
                                         std::chrono::milliseconds callbound)
    : hostcandidates_(std::move(hostcandidates)), librarycandidates_(std::move(librarycandidates)),
      callbound_(callbound) {}

HostedVendorLibrary::HostedVendorLibrary(const std::string& hostpath,
                                         const std::string& librarypath,
                                         std::chrono::milliseconds callbound)
    : HostedVendorLibrary(onlyfile(hostpath), onlyfile(librarypath), callbound) {}

HostedVendorLibrary::~HostedVendorLibrary() = default;

bool HostedVendorLibrary::cancelled() const {
    return cancellation_ && cancellation_->cancelled();
}

Answer HostedVendorLibrary::call(Call what, std::int32_t port) {
    const std::string name = vendorhost::nameof(what);
    if (cancelled()) throw ReadingCancelled();
    // A program that went away between readings is simply started again.
    if (process_ && what == Call::ComOpen && !process_->alive()) process_.reset();
    if (!process_) {
        const std::string host =
            firstfile(hostcandidates_, {vendorhostname(), ReasonCode::helper_not_found,
                                        ReasonCode::helper_not_found_nodir});
        const std::string library =
            firstfile(librarycandidates_, {vendorlibraryname(), ReasonCode::vendor_not_found,
                                           ReasonCode::vendor_not_found_nodir});
        process_ = starthostprocess(host, library);
    }
    // From here on, a call that does not end with a proper answer ends the program.
    auto end = [this](Reason reason) {
        process_.reset();
        return MeterError(std::move(reason));
    };
    auto crashed = [&] { return end(process_->howended(name)); };
    if (!process_->send(vendorhost::encode(Request{what, port}))) throw crashed();

    std::string line;
    switch (readline(*process_, line, Clock::now() + callbound_, cancellation_)) {
    case Wait::line:
        break;
    case Wait::ended:
        throw crashed();
    case Wait::timeout:
        process_->kill();
        throw end(Reason(ReasonCode::vendor_hung, name, callbound_.count()));
    case Wait::cancelled:
        process_->kill();
        process_.reset();
        throw ReadingCancelled();
    case Wait::malformed:
        process_->kill();
        throw end(Reason(ReasonCode::helper_malformed, name));
    }
    const auto answer = vendorhost::parseanswer(line);
    if (!answer || !vendorhost::answers(*answer, what)) {
        process_->kill();
        throw end(Reason(ReasonCode::helper_malformed, name));
    }
    if (answer->kind == Answer::Kind::error) throw MeterError(answer->reason);
    return *answer;
}

std::int32_t HostedVendorLibrary::ComOpen(std::int32_t port) {
    return call(Call::ComOpen, port).number;
}

std::string HostedVendorLibrary::ReadRegister(std::int32_t port) {
    return call(Call::ReadRegister, port).text;
}

std::int32_t HostedVendorLibrary::ComClose(std::int32_t port) {
    return call(Call::ComClose, port).number;
}

std::string HostedVendorLibrary::lasterror() {
    // Only ever a detail of a reason already given: never a failure of its own.
    if (!process_) return {};
    try {
        return call(Call::ComLastError, 0).text;
    } catch (const ReadingCancelled&) {
        throw;
    } catch (const MeterError&) {
        return {};
    }
}

} // namespace meter
