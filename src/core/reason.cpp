// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/reason.h"

#include <array>

namespace meter {

namespace {

// A name as the reading sequences and the replies use it, and its English.
struct Name {
    std::string_view zh;
    std::string_view en;
};
constexpr std::array<Name, 8> registers{{
    {"总邮资", "total postage"},
    {"已用邮资", "used postage"},
    {"未用邮资", "unused postage"},
    {"总件数", "total pieces"},
    {"表头", "meter head"},
    {"确认", "acknowledgement"},
    {"寄存器", "registers"},
    {"copote", "copote"},
}};
constexpr std::array<Name, 2> replies{{
    {"确认应答", "acknowledgement"},
    {"寄存器应答", "register reply"},
}};

std::string_view lookup(std::string_view text, const auto& names, Language language) {
    for (const Name& n : names)
        if (n.en == text || n.zh == text) return language == Language::zh ? n.zh : n.en;
    return text;
}

const ReasonEntry* entryof(ReasonCode code) {
    const auto& table = reasontable();
    const auto index = static_cast<std::size_t>(code);
    return index >= 1 && index <= table.size() ? &table[index - 1] : nullptr;
}

// The kinds of the slots of an English text, in order.
std::string slotkinds(std::string_view english) {
    std::string kinds;
    for (std::size_t at = 0; (at = english.find('{', at)) != std::string_view::npos; at += 3)
        kinds += english[at + 1];
    return kinds;
}

// How a slot is filled: for the technician in a language, or as the files keep it.
enum class Form { zh, en, kept };

Language languageof(Form form) {
    return form == Form::zh ? Language::zh : Language::en;
}

std::string render(char kind, const ReasonPart& part, Form form);

std::string fill(const ReasonEntry& e, const std::vector<ReasonPart>& parts, Form form) {
    const std::string kinds = slotkinds(e.english);
    // A slot without its part stays empty.
    const auto part = [&](std::size_t index) {
        return index < parts.size() ? render(kinds[index], parts[index], form) : std::string();
    };
    std::string out;
    if (form != Form::zh) {
        std::string_view text = e.english;
        std::size_t next = 0;
        for (std::size_t slot; (slot = text.find('{')) != std::string_view::npos;) {
            out.append(text.substr(0, slot));
            out += part(next++);
            text.remove_prefix(slot + 3);
        }
        return out.append(text);
    }
    const std::string_view text = e.chinese;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            out += part(static_cast<std::size_t>(text[i + 1] - '1'));
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string render(char kind, const ReasonPart& part, Form form) {
    if (part.nested) {
        const ReasonEntry* e = entryof(part.nested->code());
        return e ? fill(*e, part.nested->parts(), form) : std::string();
    }
    const Language language = languageof(form);
    switch (kind) {
    case 'g':
        return form == Form::kept ? part.text : registertext(part.text, language);
    case 'w':
        return std::string(lookup(part.text, replies, language));
    case 'l': {
        if (language == Language::en) return part.text;
        std::string joined;
        std::string_view rest = part.text;
        constexpr std::string_view separator = " or ";
        for (std::size_t at; (at = rest.find(separator)) != std::string_view::npos;
             rest.remove_prefix(at + separator.size()))
            joined.append(rest.substr(0, at)).append("、");
        return joined.append(rest);
    }
    default:
        return part.text;
    }
}

} // namespace

bool ReasonPart::operator==(const ReasonPart& other) const {
    if (text != other.text || bool(nested) != bool(other.nested)) return false;
    return !nested || *nested == *other.nested;
}

bool Reason::operator==(const Reason& other) const {
    return code_ == other.code_ && parts_ == other.parts_;
}

const std::vector<ReasonEntry>& reasontable() {
    static const std::vector<ReasonEntry> table{
#define METER_REASON_ENTRY(name, english, chinese) {ReasonCode::name, #name, english, chinese},
        METER_REASONS(METER_REASON_ENTRY)
#undef METER_REASON_ENTRY
    };
    return table;
}

std::string_view Reason::name() const {
    const ReasonEntry* e = entryof(code_);
    return e ? e->name : std::string_view();
}

std::string Reason::text(Language language) const {
    const ReasonEntry* e = entryof(code_);
    return e ? fill(*e, parts_, language == Language::zh ? Form::zh : Form::en) : std::string();
}

std::string Reason::english() const {
    const ReasonEntry* e = entryof(code_);
    return e ? fill(*e, parts_, Form::kept) : std::string();
}

std::string registertext(std::string_view name, Language language) {
    return std::string(lookup(name, registers, language));
}

} // namespace meter
