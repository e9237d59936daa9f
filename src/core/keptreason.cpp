// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/keptreason.h"

#include <vector>

namespace meter {

namespace {

// Reasons within reasons go no deeper than this in any of ours.
constexpr int deepest = 4;

// The English form cut at its slots: literal texts around them, and each slot's kind.
struct Form {
    std::vector<std::string_view> literals; // one more than the slots
    std::string kinds;
};

Form formof(std::string_view english) {
    Form f;
    for (std::size_t slot; (slot = english.find('{')) != std::string_view::npos;) {
        f.literals.push_back(english.substr(0, slot));
        f.kinds += english[slot + 1];
        english.remove_prefix(slot + 3);
    }
    f.literals.push_back(english);
    return f;
}

// The forms of the table's entries, in its order, cut once.
const std::vector<Form>& forms() {
    static const std::vector<Form> all = [] {
        std::vector<Form> out;
        for (const ReasonEntry& e : reasontable())
            out.push_back(formof(e.english));
        return out;
    }();
    return all;
}

std::optional<Reason> anyreason(std::string_view text, int depth, bool paired);

// Whether every bracket of `text` is closed, and none closed that was not opened.
bool pairs(std::string_view text) {
    int open = 0;
    for (const char c : text) {
        if (c == '(') ++open;
        if (c == ')' && --open < 0) return false;
    }
    return open == 0;
}

// Fills the slots from `index` on with the text from `at`, trying each place where the literal
// text after the slot is found; true with `parts` complete when the whole text is taken.
bool fillfrom(const Form& f, std::size_t index, std::string_view text, std::size_t at,
              std::vector<ReasonPart>& parts, int depth, bool paired) {
    if (index == f.kinds.size()) return at == text.size();
    const std::string_view next = f.literals[index + 1];
    std::vector<std::size_t> ends;
    if (index + 1 == f.kinds.size()) {
        // The last slot runs to where the last literal text ends the text.
        if (text.size() >= at + next.size() && text.ends_with(next))
            ends.push_back(text.size() - next.size());
    } else {
        for (std::size_t end = text.find(next, at); end != std::string_view::npos;
             end = text.find(next, end + 1))
            ends.push_back(end);
    }
    for (const std::size_t end : ends) {
        const std::string_view value = text.substr(at, end - at);
        // Where asked, a part's brackets pair up: a path such as "读数 (1)" keeps its own.
        if (paired && !pairs(value)) continue;
        ReasonPart part;
        if (f.kinds[index] == 'r') {
            std::optional<Reason> nested = anyreason(value, depth + 1, paired);
            if (!nested) continue;
            part.nested = std::make_shared<const Reason>(std::move(*nested));
        } else {
            const std::string_view digits = value.starts_with('-') ? value.substr(1) : value;
            if (f.kinds[index] == 'n' &&
                (digits.empty() ||
                 digits.find_first_not_of("0123456789") != std::string_view::npos))
                continue;
            part.text = value;
        }
        parts.push_back(std::move(part));
        if (fillfrom(f, index + 1, text, end + next.size(), parts, depth, paired)) return true;
        parts.pop_back();
    }
    return false;
}

std::optional<Reason> asentry(std::size_t index, std::string_view text, int depth, bool paired) {
    if (depth > deepest) return std::nullopt;
    const ReasonEntry& e = reasontable()[index];
    const Form& f = forms()[index];
    if (!text.starts_with(f.literals[0])) return std::nullopt;
    std::vector<ReasonPart> parts;
    if (!fillfrom(f, 0, text, f.literals[0].size(), parts, depth, paired)) return std::nullopt;
    Reason reason = Reason::fromparts(e.code, std::move(parts));
    // Only a reading that gives the same text back counts.
    if (reason.english() != text) return std::nullopt;
    return reason;
}

// How much of a reason's text its forms fixed: the literal texts of its form and of the
// reasons within it.
std::size_t fixed(const Reason& reason) {
    const auto index = static_cast<std::size_t>(reason.code());
    if (index == 0 || index > forms().size()) return 0;
    std::size_t size = 0;
    for (const std::string_view literal : forms()[index - 1].literals)
        size += literal.size();
    for (const ReasonPart& part : reason.parts())
        if (part.nested) size += fixed(*part.nested);
    return size;
}

// Of the forms that fit, the one that fixes most of the text: "{s}: {r}" fits nearly any
// text, a reason's own words only its own.
std::optional<Reason> anyreason(std::string_view text, int depth, bool paired) {
    std::optional<Reason> best;
    std::size_t most = 0;
    for (std::size_t i = 0; i < reasontable().size(); ++i) {
        std::optional<Reason> r = asentry(i, text, depth, paired);
        if (!r) continue;
        const std::size_t size = fixed(*r);
        if (!best || size > most) {
            best = std::move(r);
            most = size;
        }
    }
    return best;
}

// Whether `reason` or a reason within it has the code named `code`.
bool holds(const Reason& reason, std::string_view code) {
    if (reason.name() == code) return true;
    for (const ReasonPart& part : reason.parts())
        if (part.nested && holds(*part.nested, code)) return true;
    return false;
}

} // namespace

std::optional<Reason> keptreason(std::string_view code, std::string_view english) {
    // Parts whose brackets pair up first; any parts where none such fit.
    for (const bool paired : {true, false}) {
        if (code.empty()) {
            if (std::optional<Reason> r = anyreason(english, 0, paired)) return r;
            continue;
        }
        const auto& table = reasontable();
        for (std::size_t i = 0; i < table.size(); ++i)
            if (table[i].name == code)
                if (std::optional<Reason> r = asentry(i, english, 0, paired)) return r;
        // The code may name the reason inside the text's own (the cause of a silent meter,
        // with the hint added around it).
        std::optional<Reason> r = anyreason(english, 0, paired);
        if (r && holds(*r, code)) return r;
    }
    return std::nullopt;
}

} // namespace meter
