// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The language the front ends speak, and the reasons of a reading in it. The layers below the
// front ends give every reason in English (with the registers named by their Chinese label
// words); this turns a reason into Chinese, or its register names into English, so that one
// reading reads in one language. Needs no Qt: meterread uses it as it is.
#include "core/reason.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// A reason of a failed or empty reading in `language`. Parts that vary (numbers, device paths,
// bytes, messages of the system) are kept as they are; a reason not known here comes back
// unchanged, so nothing of it is ever lost.
std::string reasontext(std::string_view englishreason, Language language);

// The five result labels' prefixes, as printed before each value.
enum class ResultField { total, used, unused, pieces, head };
std::string resultlabel(ResultField field, Language language);

} // namespace meter
