// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/keepfile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace meter {

namespace {

// The suffix a filter names, without its dot: "json" for "JSON 文件 (*.json)".
QString suffixof(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([^ )]+)"));
    return pattern.match(filter).captured(1);
}

} // namespace

QString withsuffix(const QString& path, const QString& filter) {
    const QString suffix = suffixof(filter);
    if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QLatin1Char('.') + suffix;
}

QString keepfile(QWidget* parent, StatusLine& status, const KeepFile& keep,
                 const std::function<QString(const QString& path)>& write) {
    QFileDialog dialog(parent, keep.title, QDir::home().filePath(keep.name), keep.filters);
    dialog.setObjectName(QStringLiteral("keepfile"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the suffix of the chosen type to a name typed without one before it asks
    // whether to replace a file that is there: the question is about the file written.
    const auto usesuffix = [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(suffixof(filter));
    };
    usesuffix(keep.filters.section(QStringLiteral(";;"), 0, 0));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, usesuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    // The system's own separators: the path is shown, and named in reasons.
    QString path = QDir::toNativeSeparators(dialog.selectedFiles().front());
    // A dialog of the system that leaves the name as typed: the suffix only where that replaces
    // nothing the operator was not asked about.
    if (const QString suffixed = withsuffix(path, dialog.selectedNameFilter());
        !QFileInfo::exists(suffixed))
        path = suffixed;
    if (const QString error = write(path); !error.isEmpty()) {
        status.say(keep.failed.arg(error), Look::failure);
        return {};
    }
    status.say(keep.done.arg(path), keep.look);
    return path;
}

} // namespace meter
