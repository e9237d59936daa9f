// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/readingrunner.h"

#include <QMetaObject>

namespace meter {

ReadingRunner::ReadingRunner(std::unique_ptr<SerialDevice> device,
                             std::unique_ptr<VendorLibrary> vendor, FamilyTable families)
    : device_(std::move(device)), vendor_(std::move(vendor)), families_(std::move(families)) {
    // The outcome crosses from the reading's thread to the window's.
    qRegisterMetaType<Outcome>();
    qRegisterMetaType<ReadingPasses>();
    vendor_->setcancellation(&pacer_.cancellation());
    replacedevice(std::move(device_));
    thread_.setObjectName(QStringLiteral("reading"));
}

ReadingRunner::~ReadingRunner() {
    shutdown();
}

void ReadingRunner::replacedevice(std::unique_ptr<SerialDevice> device) {
    // The driver and its serial link hold on to the device: they start afresh with it.
    driver_.reset();
    recorder_.reset();
    device_ = std::move(device);
    device_->setcancellation(&pacer_.cancellation());
    // Every reading's exchange is kept as it passes, for 文件 → 保存抓包….
    recorder_ = std::make_unique<CaptureRecorder>(*device_, *vendor_, pacer_, this);
    driver_ = std::make_unique<Driver>(
        Driver::Services{recorder_->device(), pacer_, recorder_->vendor(), recorder_->listener()},
        families_);
}

void ReadingRunner::cancel() {
    cancelled_ = true;
    pacer_.cancel();
}

void ReadingRunner::start(bool verify) {
    cancelled_ = false;
    verify_ = verify;
    pacer_.reset();
    if (!thread_.isRunning()) {
        // The first reading, or the first since shutdown() (the window was closed and shown
        // again): the thread ended and took its worker with it, so both start afresh.
        worker_ = new QObject;
        worker_->moveToThread(&thread_);
        connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
        thread_.start();
    }
    QMetaObject::invokeMethod(
        worker_, [this] { run(); }, Qt::QueuedConnection);
}

void ReadingRunner::shutdown() {
    if (!thread_.isRunning()) return;
    pacer_.cancel();
    thread_.quit();
    thread_.wait();
    worker_ = nullptr; // deleted as the thread finished
}

void ReadingRunner::run() {
    recorder_->begin();
    ReadingPasses passes = readingpasses(*driver_, verify_, [this] {
        recorder_->again();
        // Between two exchanges on the line; the vendor library's readings show none.
        if (driver_->link().txtsend().empty() && driver_->link().txtrece().empty()) return;
        const QString separator = QString::fromLatin1(passseparator.data(),
                                                      static_cast<qsizetype>(passseparator.size()));
        emit echosent(separator);
        emit echoreceived(separator);
    });
    // Whatever the cancelled wait reported, the reading ended because the operator asked.
    Outcome& outcome = passes.second ? passes.second->outcome : passes.first.outcome;
    if (cancelled_ && !outcome.normal()) {
        outcome.end = Outcome::End::cancelled;
        outcome.reason = operatorcancelled;
    }
    emit finished(passes);
}

void ReadingRunner::sent(std::string_view text) {
    emit echosent(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void ReadingRunner::received(std::string_view text) {
    emit echoreceived(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void ReadingRunner::waiting(std::string_view what) {
    emit waitingon(QString::fromUtf8(what.data(), static_cast<qsizetype>(what.size())));
}

} // namespace meter
