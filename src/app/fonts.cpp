// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace meter {

namespace {

// `base` with the first of `wanted` this system has, then the others it has as fallbacks for
// the characters the first lacks (Chinese in a Latin font).
QFont choose(QFont base, const QStringList& wanted) {
    QStringList present;
    const QStringList families = QFontDatabase::families();
    for (const QString& family : wanted)
        if (families.contains(family, Qt::CaseInsensitive)) present << family;
    if (!present.isEmpty()) base.setFamilies(present);
    return base;
}

} // namespace

QFont fixedfont() {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return choose(f, {QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono"),
                      QStringLiteral("Liberation Mono"), QStringLiteral("Noto Sans Mono"),
                      QStringLiteral("Courier New"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei")});
}

QFont textfont() {
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setStyleHint(QFont::SansSerif);
    return choose(f, {QStringLiteral("Segoe UI"), QStringLiteral("Tahoma"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Noto Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
}

} // namespace meter
