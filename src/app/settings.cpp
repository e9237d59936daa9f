// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace meter {

namespace {

const char* const journalon = "journal/on";
const char* const journalpath = "journal/file";
const char* const devicegroup = "devices";
const char* const verifykey = "reading/verify";

QString key(const char* name) {
    return QString::fromLatin1(name);
}

QString portkey(int port) {
    return QStringLiteral("port%1").arg(port);
}

} // namespace

AppSettings::AppSettings()
    : QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("meterreader"),
                QStringLiteral("meterreader")) {}

// Kept from the first reading: a technician expects yesterday's readings to be there.
JournalSettings::JournalSettings() : on_(AppSettings().value(key(journalon), true).toBool()) {}

QString JournalSettings::file() const {
    // With the system's own separators: the path is shown, and named in reasons.
    if (fixed_) return QDir::toNativeSeparators(fixedfile_);
    return QDir::toNativeSeparators(AppSettings().value(key(journalpath), defaultfile()).toString());
}

void JournalSettings::fix(const QString& path) {
    fixed_ = true;
    fixedfile_ = QFileInfo(path).absoluteFilePath();
    on_ = true;
}

void JournalSettings::turn(bool on) {
    on_ = on;
    if (!fixed_) AppSettings().setValue(key(journalon), on);
}

void JournalSettings::choose(const QString& path) {
    if (fixed_)
        fixedfile_ = QFileInfo(path).absoluteFilePath();
    else
        AppSettings().setValue(key(journalpath), path);
    turn(true);
}

QString JournalSettings::defaultfile() {
    return QDir::toNativeSeparators(
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
            .filePath(QStringLiteral("journal.csv")));
}

bool verifiedreadings() {
    return AppSettings().value(key(verifykey), false).toBool();
}

void rememberverifiedreadings(bool on) {
    AppSettings().setValue(key(verifykey), on);
}

std::map<int, QString> saveddevices() {
    AppSettings settings;
    settings.beginGroup(key(devicegroup));
    std::map<int, QString> out;
    for (int port = 1; port <= 8; ++port)
        if (const QString path = settings.value(portkey(port)).toString(); !path.isEmpty())
            out[port] = path;
    return out;
}

void savedevice(int port, const QString& path) {
    AppSettings settings;
    settings.beginGroup(key(devicegroup));
    if (path.isEmpty())
        settings.remove(portkey(port));
    else
        settings.setValue(portkey(port), path);
}

DeviceChoices::DeviceChoices(PortMap fixed) : fixed_(std::move(fixed)) {
    for (const auto& [port, path] : saveddevices())
        if (!fixed_.overridden(port)) ports_.set(port, path.toStdString());
    for (int port = 1; port <= 8; ++port)
        if (fixed_.overridden(port)) ports_.set(port, fixed_.devicefor(port));
}

void DeviceChoices::pick(int port, const QString& path, bool remember) {
    // The port's own device is no override, however it was picked.
    const QString chosen =
        path == QString::fromStdString(PortMap::defaultdevice(port)) ? QString() : path;
    PortMap next;
    for (int p = 1; p <= 8; ++p)
        if (p != port && ports_.overridden(p)) next.set(p, ports_.devicefor(p));
    if (!chosen.isEmpty()) next.set(port, chosen.toStdString());
    ports_ = next;
    if (remember) savedevice(port, chosen);
}

} // namespace meter
