// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// End-to-end helpers: the metersim program on a pseudo-terminal, and runs of meterread.
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace meter::testing {

// metersim started with `args`; the pseudo-terminal it serves is path(). Stopped on
// destruction.
class MeterSim {
  public:
    explicit MeterSim(const QStringList& args = {});
    ~MeterSim();
    const QString& path() const { return path_; }
    // What metersim logged (with --verbose), once it has been stopped.
    QString log();

  private:
    QProcess process_;
    QString path_;
};

struct ReadRun {
    int exitcode = -1;
    QString out;
    QString err;
    QJsonObject json; // stdout parsed, when it is a JSON object
    double seconds = 0;
};

ReadRun meterread(const QStringList& args);

// The arguments of a JSON reading of `type` on `port`, with the port put on `sim`'s device.
QStringList jsonreading(const MeterSim& sim, const QString& type,
                        const QString& port = QStringLiteral("2"));

} // namespace meter::testing
