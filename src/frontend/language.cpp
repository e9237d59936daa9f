// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/language.h"

#include "frontend/recordview.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace meter {

namespace {

const char* fromenvironment(EnvironmentLookup lookup, const char* name) {
    const char* value = lookup ? lookup(name) : std::getenv(name);
    return value && *value ? value : nullptr;
}

// "en_GB.UTF-8" -> "en"; "C.UTF-8" -> "C".
std::string_view languageof(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_.@:"));
}

} // namespace

Language systemlanguage(EnvironmentLookup lookup) {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if ((locale = fromenvironment(lookup, name))) break;
    if (!locale) {
#ifdef _WIN32
        if (!lookup)
            return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH ? Language::en
                                                                             : Language::zh;
#endif
        return Language::zh;
    }
    std::string_view chosen = languageof(locale);
    // As gettext does: LANGUAGE is a list of preferences that counts only for a real locale.
    if (chosen == "C" || chosen == "POSIX") return Language::zh;
    if (const char* list = fromenvironment(lookup, "LANGUAGE")) chosen = languageof(list);
    return chosen == "en" ? Language::en : Language::zh;
}

std::optional<Language> chooselanguage(std::string_view option, EnvironmentLookup lookup) {
    if (option.empty()) return systemlanguage(lookup);
    if (option == "zh") return Language::zh;
    if (option == "en") return Language::en;
    return std::nullopt;
}

std::string resultlabel(ResultField field, Language language) {
    const bool zh = language == Language::zh;
    switch (field) {
    case ResultField::total:
        return zh ? prefix::total : "Total postage: ";
    case ResultField::used:
        return zh ? prefix::used : "Used postage: ";
    case ResultField::unused:
        return zh ? prefix::unused : "Unused postage: ";
    case ResultField::pieces:
        return zh ? prefix::pieces : "Total pieces: ";
    case ResultField::head:
        return zh ? prefix::head : "Meter head: ";
    }
    return {};
}

std::string verifiedline(Language language) {
    return language == Language::zh ? "已核对：两次读取一致" : "Verified: both readings agree";
}

namespace {

// The types whose English name differs from the list text (the English window's list; its
// translation says the same).
struct TypeName {
    std::string_view list;
    std::string_view english;
};
constexpr TypeName englishnames[] = {
    {"高速机", "high-speed machine"},
    {"5400(4表头)", "5400 (4 heads)"},
    {"5400(5表头)", "5400 (5 heads)"},
};

} // namespace

std::string typeshown(std::string_view listtext, Language language) {
    if (language == Language::en)
        for (const TypeName& t : englishnames)
            if (t.list == listtext) return std::string(t.english);
    return std::string(listtext);
}

std::string listtextof(std::string_view name) {
    for (const TypeName& t : englishnames)
        if (t.english == name) return std::string(t.list);
    return std::string(name);
}

std::string langoption(const std::vector<std::string>& arguments) {
    std::string value;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--lang" && i + 1 < arguments.size())
            value = arguments[++i];
        else if (arguments[i].rfind("--lang=", 0) == 0)
            value = arguments[i].substr(7);
    }
    return value;
}

} // namespace meter
