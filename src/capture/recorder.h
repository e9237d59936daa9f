// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps the exchange of a reading as it happens, at the seams the driver already has: a serial
// device, a vendor library and a listener that pass everything through unchanged (the same
// bytes, the same calls, the same time) and note each write, each read that returned bytes,
// each poll boundary, each vendor call and each device call that failed, with its time from
// the reading's pacer.
#include "acquire/listener.h"
#include "acquire/pacer.h"
#include "capture/capture.h"
#include "serial/device.h"
#include "vendorapi/vendorlibrary.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace meter {

class CaptureRecorder {
  public:
    // `listener` (may be null) hears everything the reading tells the recorder's listener.
    CaptureRecorder(SerialDevice& device, VendorLibrary& vendor, const Pacer& pacer,
                    ReadingListener* listener = nullptr);
    CaptureRecorder(const CaptureRecorder&) = delete;
    CaptureRecorder& operator=(const CaptureRecorder&) = delete;

    // What the driver is given in place of the device, the library and the listener.
    SerialDevice& device() { return device_; }
    VendorLibrary& vendor() { return vendor_; }
    ReadingListener* listener() { return &listener_; }

    // A reading begins now: what was kept of the last one goes.
    void begin();
    // The second reading of a verified one begins now: what follows is its exchange.
    void again();
    // The events kept since begin(), and the milliseconds since then.
    const std::vector<CaptureEvent>& events() const { return events_; }
    std::int64_t elapsedms() const;
    // The capture of the reading: `header` and `outcome` as the front end knows them, the events
    // kept (split at again(), when it was called); the outcome's time is now.
    Capture capture(CaptureHeader header, CaptureOutcome outcome) const;

  private:
    CaptureEvent& add(CaptureEvent::Kind kind);
    template <class F> auto passing(const char* call, F f);

    class Device : public SerialDevice {
      public:
        Device(CaptureRecorder& r, SerialDevice& inner) : r_(r), inner_(inner) {}
        bool isopen() const override { return inner_.isopen(); }
        void setsettings(const LineSettings& settings) override { inner_.setsettings(settings); }
        LineSettings settings() const override { return inner_.settings(); }
        void open(int port) override;
        void close() override { inner_.close(); }
        void write(ByteView bytes) override;
        void setcancellation(const Cancellation* cancellation) override {
            inner_.setcancellation(cancellation);
        }
        std::size_t byteswaiting() override;
        Bytes readall() override;
        std::string describe(int port) const override { return inner_.describe(port); }

      private:
        CaptureRecorder& r_;
        SerialDevice& inner_;
    };

    class Vendor : public VendorLibrary {
      public:
        Vendor(CaptureRecorder& r, VendorLibrary& inner) : r_(r), inner_(inner) {}
        std::int32_t ComOpen(std::int32_t port) override;
        std::string ReadRegister(std::int32_t port) override;
        std::int32_t ComClose(std::int32_t port) override;
        std::string lasterror() override;
        void setcancellation(const Cancellation* flag) override { inner_.setcancellation(flag); }

      private:
        template <class F> auto call(const char* name, std::int32_t port, F f);
        CaptureRecorder& r_;
        VendorLibrary& inner_;
    };

    const Pacer& pacer_;
    Device device_;
    Vendor vendor_;
    PollTap listener_;
    std::int64_t start_ = 0;
    std::vector<CaptureEvent> events_;
    std::optional<std::size_t> again_; // where the second reading's events begin
    std::int64_t againms_ = 0;
};

} // namespace meter
