// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include <memory>

namespace meter {

namespace {

Language current = Language::zh;
std::unique_ptr<QTranslator> own;
std::unique_ptr<QTranslator> qts;

std::unique_ptr<QTranslator> installed(const QString& name, const QStringList& folders) {
    auto translator = std::make_unique<QTranslator>();
    for (const QString& folder : folders) {
        if (!translator->load(name, folder)) continue;
        QCoreApplication::installTranslator(translator.get());
        return translator;
    }
    return nullptr;
}

// Where Qt's own translations are: on Windows in the folder "translations" beside the program,
// where its deployment puts them, then wherever this Qt keeps them (Debian:
// /usr/share/qt6/translations, from qt6-translations-l10n).
QStringList qtfolders() {
    QStringList folders;
#ifdef Q_OS_WIN
    folders << QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
#endif
    folders << QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    return folders;
}

} // namespace

void uselanguage(Language language) {
    for (auto* t : {&own, &qts}) {
        if (*t) QCoreApplication::removeTranslator(t->get());
        t->reset();
    }
    current = language;
    const QStringList qtfolder = qtfolders();
    if (language == Language::en) {
        own = installed(QStringLiteral("meterreader_en"), {QStringLiteral(":/i18n")});
        qts = installed(QStringLiteral("qtbase_en"), qtfolder);
    } else {
        qts = installed(QStringLiteral("qtbase_zh_CN"), qtfolder);
    }
}

QString qttranslation() {
    return qts ? qts->filePath() : QString();
}

Language windowlanguage() {
    return current;
}

QString registerfor(const QString& name) {
    return QString::fromStdString(registertext(name.toStdString(), current));
}

} // namespace meter
