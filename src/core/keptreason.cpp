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

std::optional<Reason> anyreason(std::string_view text, int depth);

// Fills the slots from `index` on with the text from `at`, trying each place where the literal
// text after the slot is found; true with `parts` complete when the whole text is taken.
bool fillfrom(const Form& f, std::size_t index, std::string_view text, std::size_t at,
              std::vector<ReasonPart>& parts, int depth) {
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
        ReasonPart part;
        if (f.kinds[index] == 'r') {
            std::optional<Reason> nested = anyreason(value, depth + 1);
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
        if (fillfrom(f, index + 1, text, end + next.size(), parts, depth)) return true;
        parts.pop_back();
    }
    return false;
}

std::optional<Reason> asentry(const ReasonEntry& e, std::string_view text, int depth) {
    if (depth > deepest) return std::nullopt;
    const Form f = formof(e.english);
    if (!text.starts_with(f.literals[0])) return std::nullopt;
    std::vector<ReasonPart> parts;
    if (!fillfrom(f, 0, text, f.literals[0].size(), parts, depth)) return std::nullopt;
    Reason reason = Reason::fromparts(e.code, std::move(parts));
    // Only a reading that gives the same text back counts.
    if (reason.english() != text) return std::nullopt;
    return reason;
}

// The first form that fits; the one that is a slot alone last, as it fits anything.
std::optional<Reason> anyreason(std::string_view text, int depth) {
    std::vector<const ReasonEntry*> catchall;
    for (const ReasonEntry& e : reasontable()) {
        if (e.english == "{s}") {
            catchall.push_back(&e);
            continue;
        }
        if (std::optional<Reason> r = asentry(e, text, depth)) return r;
    }
    for (const ReasonEntry* e : catchall)
        if (std::optional<Reason> r = asentry(*e, text, depth)) return r;
    return std::nullopt;
}

} // namespace

std::optional<Reason> keptreason(std::string_view code, std::string_view english) {
    if (code.empty()) return anyreason(english, 0);
    for (const ReasonEntry& e : reasontable())
        if (e.name == code) return asentry(e, english, 0);
    return std::nullopt;
}

} // namespace meter
