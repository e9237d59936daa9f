// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The language the front ends speak: chosen by --lang or the system's locale, and the labels of
// the five values in it. The reasons themselves carry their texts in both languages
// (core/reason.h). Needs no Qt: meterread uses it as it is.
#include "core/reason.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meter {

// Reads an environment variable; null or empty when it is not set.
using EnvironmentLookup = const char* (*)(const char* name);

// The language of the system's messages locale: English when the language of the first of
// LC_ALL, LC_MESSAGES and LANG that is set (or, unless that locale is C/POSIX, the first
// entry of LANGUAGE) is "en"; Chinese otherwise, also for C and POSIX and where none is set.
// On Windows with none of them set, the user's interface language decides.
Language systemlanguage(EnvironmentLookup lookup = nullptr);

// The language asked for by `--lang` ("zh" or "en"; empty: the system's). Nullopt for any
// other text.
std::optional<Language> chooselanguage(std::string_view option, EnvironmentLookup lookup = nullptr);

// The value of the last --lang among a program's arguments (the first is the program), found
// before the command line is parsed; empty for none.
std::string langoption(const std::vector<std::string>& arguments);

// The five result labels' prefixes, as printed before each value.
enum class ResultField { total, used, unused, pieces, head };
std::string resultlabel(ResultField field, Language language);

// The line under the values of a verified reading both of whose readings agreed.
std::string verifiedline(Language language);

// A machine type's name as a window in `language` shows it: the list text ("5400(5表头)"), or
// its English name ("5400 (5 heads)"). Files always keep the list text.
std::string typeshown(std::string_view listtext, Language language);
// The list text of a type's English name; the text itself when it is no English name.
std::string listtextof(std::string_view name);

} // namespace meter
