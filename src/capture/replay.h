// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The recorded side of a capture, played back for a reading on virtual time with no port: a
// serial device that makes each recorded read's bytes readable at the look at the line that
// read them, and fails where the recorded device failed; a vendor library whose results are
// the recorded ones; and a pacer whose sleeps take no time.
#include "acquire/listener.h"
#include "acquire/pacer.h"
#include "capture/capture.h"
#include "serial/device.h"
#include "vendorapi/vendorlibrary.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace meter {

class CaptureReplay {
  public:
    // `capture` must outlive the replay. `listener` (may be null) hears the replayed reading.
    explicit CaptureReplay(const Capture& capture, ReadingListener* listener = nullptr);
    // The second reading of a verified capture begins: its exchange is played from here on.
    void again();
    CaptureReplay(const CaptureReplay&) = delete;
    CaptureReplay& operator=(const CaptureReplay&) = delete;

    // What the driver is given.
    SerialDevice& device() { return device_; }
    VendorLibrary& vendor() { return vendor_; }
    Pacer& pacer() { return pacer_; }
    ReadingListener* listener() { return &listener_; }

    // The bytes the replayed reading wrote, one entry per write (of both readings).
    const std::vector<Bytes>& writes() const { return device_.writes; }
    // The first write that differs from the recorded one: which write (1, 2, ...) and at which
    // byte (1, 2, ...); none while every write so far is the recorded one.
    Reason firstwritedifference() const;

  private:
    struct Chunk {
        std::int64_t poll = 0; // the look at the line that read it when recorded
        Bytes bytes;
    };

    class Device : public SerialDevice {
      public:
        explicit Device(CaptureReplay& r) : r_(r) {}
        bool isopen() const override { return open_; }
        void setsettings(const LineSettings& s) override { settings_ = s; }
        LineSettings settings() const override { return settings_; }
        void open(int port) override;
        void close() override { open_ = false; }
        void write(ByteView bytes) override;
        std::size_t byteswaiting() override;
        Bytes readall() override;
        std::string describe(int port) const override;

        std::vector<Bytes> writes;

      private:
        CaptureReplay& r_;
        bool open_ = false;
        LineSettings settings_;
    };

    class Vendor : public VendorLibrary {
      public:
        explicit Vendor(CaptureReplay& r) : r_(r) {}
        std::int32_t ComOpen(std::int32_t port) override;
        std::string ReadRegister(std::int32_t port) override;
        std::int32_t ComClose(std::int32_t port) override;
        std::string lasterror() override;

      private:
        const CaptureEvent& next(const char* call);
        CaptureReplay& r_;
    };

    class Clock : public Pacer {
      public:
        explicit Clock(CaptureReplay& r) : r_(r) {}
        void sleep(int ms) override;
        void processevents() override {}
        std::int64_t nowms() const override { return now_; }

      private:
        CaptureReplay& r_;
        std::int64_t now_ = 0;
    };

    // Takes the recorded exchange of one reading; `last`: the reading's end is the capture's.
    void load(const std::vector<CaptureEvent>& events, bool last);
    // Throws the recorded failure of device call `call` when the replay has reached it.
    void failifrecorded(std::string_view call);
    // The chunks readable now, their bytes in order.
    std::size_t readable() const;

    const Capture& capture_;
    Device device_;
    Vendor vendor_;
    Clock pacer_;
    PollTap listener_;
    std::int64_t poll_ = 0; // the replayed reading's looks at the line so far
    std::deque<Chunk> chunks_;
    std::vector<std::pair<std::int64_t, const CaptureEvent*>> failures_; // poll, event
    std::deque<const CaptureEvent*> calls_;                              // vendor calls
    std::vector<Bytes> recordedwrites_;
    // A cancelled reading whose cancellation no failed call holds was cancelled while it
    // slept: after this many looks at the line (-1: not cancelled so).
    std::int64_t cancelafter_ = -1;
};

// The first difference between the recorded outcome and the replayed one, in end, reason code
// and record; none when they agree.
Reason outcomedifference(const CaptureOutcome& recorded, const CaptureOutcome& replayed);

} // namespace meter
