// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in for the "copote" vendor library. It opens the serial device behind the port
// number (the same port map as the reader, so METERREADER_PORTS reaches it), asks the meter for
// its register record with the exchange of exchange.h and hands the 56 digits back. Its own
// words on what went wrong are the English of our reasons, as a library gives its text.
#include "vendor/cpedfm.h"

#include "core/reason.h"
#include "serial/nativedevice.h"
#include "serial/portmap.h"
#include "vendor/exchange.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

using namespace meter;

// A reply takes 60 bytes, about 63 ms at 9600 baud; a meter gets this long to start answering.
constexpr int replytimeoutms = 1500;
constexpr int attempts = 2;
constexpr int pollms = 20;

struct Session {
    std::mutex mutex;
    std::unique_ptr<SerialDevice> device;
    int port = 0;
    bool recordread = false;
    std::string lasterror;
};

Session& session() {
    static Session s;
    return s;
}

// The record as the caller expects to receive and release it.
cpedfm_text copyout(const std::string& text) {
#ifdef _WIN32
    return SysAllocStringByteLen(text.data(), static_cast<UINT>(text.size()));
#else
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out) std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
#endif
}

std::string readrecord(SerialDevice& device, std::string& error) {
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        device.readall(); // whatever an earlier exchange left behind
        device.write(copote::request());
        Bytes received;
        for (int waited = 0; waited < replytimeoutms; waited += pollms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pollms));
            const Bytes chunk = device.readall();
            received.insert(received.end(), chunk.begin(), chunk.end());
            if (auto found = copote::findreply(received)) return found->record;
        }
        error =
            Reason(received.empty() ? ReasonCode::meter_no_answer : ReasonCode::meter_bad_record)
                .english();
    }
    return {};
}

} // namespace

extern "C" {

CPEDFM_EXPORT int32_t CPEDFM_CALL ComOpen(int32_t port) {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    s.lasterror.clear();
    s.recordread = false;
    try {
        auto device = makeserialdevice(PortMap::fromenvironment());
        device->setsettings(LineSettings{9600, 'n', 8, 1});
        device->open(port);
        s.device = std::move(device);
        s.port = port;
        return 1;
    } catch (const std::exception& e) {
        s.device.reset();
        s.lasterror = e.what();
        return 0;
    }
}

CPEDFM_EXPORT cpedfm_text CPEDFM_CALL ReadRegister(int32_t port) {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    s.recordread = false;
    if (!s.device || s.port != port) {
        s.lasterror = Reason(ReasonCode::vendor_port_not_open, port).english();
        return copyout({});
    }
    try {
        std::string record = readrecord(*s.device, s.lasterror);
        s.recordread = !record.empty();
        if (s.recordread) s.lasterror.clear();
        return copyout(record);
    } catch (const std::exception& e) {
        s.lasterror = e.what();
        return copyout({});
    }
}

CPEDFM_EXPORT int32_t CPEDFM_CALL ComClose(int32_t port) {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    if (s.device && s.port == port) {
        s.device->close();
        s.device.reset();
    }
    const bool stands = s.recordread;
    s.recordread = false;
    return stands ? 1 : 0;
}

CPEDFM_EXPORT const char* CPEDFM_CALL ComLastError(void) {
    // Read right after the call it describes, on the same thread.
    return session().lasterror.c_str();
}

} // extern "C"
