// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's language. Chinese is the source of every text; English comes from the
// translation built into the program, Qt's own dialog texts from Qt's translations where the
// system has them.
#include "frontend/language.h"

#include <QString>

namespace meter {

// Installs the translators for `language`, replacing those of an earlier call. Windows made
// after it speak that language.
void uselanguage(Language language);
Language windowlanguage();
// The file of Qt's own translation in use (its dialogs' texts), empty when there is none.
QString qttranslation();

// A register waited for ("表头"), in the window's language.
QString registerfor(const QString& name);

} // namespace meter
