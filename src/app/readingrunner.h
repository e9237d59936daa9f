// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs readings on a thread of their own, so that the window stays live through the fixed
// sleeps of a reading (up to a minute for a silent 5400 meter). The serial port is opened, used
// and closed on that thread; the echo, the progress and the result reach the window as queued
// signals.
#include "acquire/driver.h"
#include "acquire/pacer.h"
#include "capture/recorder.h"
#include "frontend/readingsession.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

namespace meter {

// The reason a reading carries when the operator cancelled it.
inline const Reason operatorcancelled{ReasonCode::cancelled_by_operator};

class ReadingRunner : public QObject, public ReadingListener {
    Q_OBJECT
  public:
    ReadingRunner(std::unique_ptr<SerialDevice> device, std::unique_ptr<VendorLibrary> vendor,
                  FamilyTable families = standardfamilies());
    ~ReadingRunner() override;

    // Used by the window between readings only (initport); the running reading has it alone.
    Driver& driver() { return *driver_; }

    // Starts Getregisters on the reading thread, starting the thread when it is not running;
    // `verify`: a verified reading (the same reading twice, the traffic of the second after
    // the separator).
    void start(bool verify = false);
    // Ends a running reading at its next poll and ends the thread; for closing the window. A
    // later start() starts a new thread.
    void shutdown();
    // Ends a running reading at its failure end, with the reason operatorcancelled; the next
    // start() is not affected.
    void cancel();

    std::string describe(int port) const { return device_->describe(port); }
    // The exchange of the last reading, kept as it ran. Between readings only.
    const CaptureRecorder& recorder() const { return *recorder_; }
    // Puts another device (another set of ports) in place. Between readings only.
    void replacedevice(std::unique_ptr<SerialDevice> device);

  signals:
    void echosent(const QString& text);
    void echoreceived(const QString& text);
    void waitingon(const QString& what);
    // The reading has ended, a cancel by the operator included: its pass, or both of a
    // verified reading.
    void finished(const meter::ReadingPasses& passes);

  private:
    void run();
    void sent(std::string_view text) override;
    void received(std::string_view text) override;
    void waiting(std::string_view what) override;

    std::unique_ptr<SerialDevice> device_;
    std::unique_ptr<VendorLibrary> vendor_;
    FamilyTable families_;
    RealPacer pacer_;
    std::unique_ptr<CaptureRecorder> recorder_;
    std::unique_ptr<Driver> driver_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> verify_{false};
    QThread thread_;
    QObject* worker_ = nullptr; // lives on thread_ while it runs; runs the readings
};

} // namespace meter

Q_DECLARE_METATYPE(meter::Outcome)
Q_DECLARE_METATYPE(meter::ReadingPasses)
