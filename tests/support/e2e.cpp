// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/e2e.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <stdexcept>

namespace meter::testing {

MeterSim::MeterSim(const QStringList& args) {
    // Its messages in English, which the tests look for, unless the arguments choose.
    QStringList arguments = args;
    if (!arguments.contains(QStringLiteral("--lang")))
        arguments = QStringList{QStringLiteral("--lang"), QStringLiteral("en")} + arguments;
    process_.start(QStringLiteral(METERSIM_PATH), arguments);
    if (!process_.waitForStarted(5000) || !process_.waitForReadyRead(5000))
        throw std::runtime_error("metersim did not start");
    while (!process_.canReadLine() && process_.waitForReadyRead(2000)) {
    }
    path_ = QString::fromUtf8(process_.readLine()).trimmed();
    if (!path_.startsWith(QLatin1Char('/')))
        throw std::runtime_error("metersim gave no device path");
}

MeterSim::~MeterSim() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
        process_.waitForFinished(3000);
    }
}

QString MeterSim::log() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        process_.waitForFinished(3000);
    }
    return QString::fromUtf8(process_.readAllStandardError());
}

ReadRun meterread(const QStringList& args) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(METERREAD_PATH), args);
    ReadRun r;
    if (!p.waitForFinished(180000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.seconds = static_cast<double>(t.elapsed()) / 1000.0;
    r.exitcode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8());
    if (doc.isObject()) r.json = doc.object();
    return r;
}

QStringList jsonreading(const MeterSim& sim, const QString& type, const QString& port) {
    return {QStringLiteral("--json"),
            QStringLiteral("--port"),
            port,
            QStringLiteral("--type"),
            type,
            QStringLiteral("--device"),
            port + QLatin1Char('=') + sim.path()};
}

} // namespace meter::testing
