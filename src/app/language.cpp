// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace meter {

namespace {

Language current = Language::zh;
std::unique_ptr<QTranslator> own;
std::unique_ptr<QTranslator> qts;

std::unique_ptr<QTranslator> installed(const QString& name, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(name, folder)) return nullptr;
    QCoreApplication::installTranslator(translator.get());
    return translator;
}

} // namespace

void uselanguage(Language language) {
    for (auto* t : {&own, &qts}) {
        if (*t) QCoreApplication::removeTranslator(t->get());
        t->reset();
    }
    current = language;
    const QString qtfolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (language == Language::en) {
        own = installed(QStringLiteral("meterreader_en"), QStringLiteral(":/i18n"));
        qts = installed(QStringLiteral("qtbase_en"), qtfolder);
    } else {
        qts = installed(QStringLiteral("qtbase_zh_CN"), qtfolder);
    }
}

Language windowlanguage() {
    return current;
}

QString registerfor(const QString& name) {
    return QString::fromStdString(registertext(name.toStdString(), current));
}

} // namespace meter
