#include "app/readingrunner.h"

#include <QMetaObject>

namespace meter {

ReadingRunner::ReadingRunner(std::unique_ptr<SerialDevice> device,
                             std::unique_ptr<VendorLibrary> vendor, FamilyTable families)
    : device_(std::move(device)), vendor_(std::move(vendor)),
      driver_(Driver::Services{*device_, pacer_, *vendor_, this}, std::move(families)),
      worker_(new QObject) {
    vendor_->setcancellation(&pacer_.cancellation());
    thread_.setObjectName(QStringLiteral("reading"));
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

ReadingRunner::~ReadingRunner() {
    shutdown();
}

void ReadingRunner::start() {
    pacer_.reset();
    QMetaObject::invokeMethod(
        worker_, [this] { run(); }, Qt::QueuedConnection);
}

void ReadingRunner::shutdown() {
    if (!thread_.isRunning()) return;
    pacer_.cancel();
    thread_.quit();
    thread_.wait();
}

void ReadingRunner::run() {
    const std::string record = driver_.Getregisters();
    const Outcome outcome = driver_.outcome();
    emit finished(QString::fromLatin1(record.data(), static_cast<qsizetype>(record.size())),
                  outcome.normal(), QString::fromStdString(outcome.reason));
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
