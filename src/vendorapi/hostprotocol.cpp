// SPDX-License-Identifier: GPL-3.0-or-later
#include "vendorapi/hostprotocol.h"

#include "core/hexecho.h"

#include <charconv>

namespace meter::vendorhost {

namespace {

// A decimal 32-bit integer, optionally with a minus sign, nothing else.
std::optional<std::int32_t> tonumber(std::string_view text) {
    if (text.empty() || text.size() > 11) return std::nullopt;
    const std::string_view digits = text.front() == '-' ? text.substr(1) : text;
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return std::nullopt;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "word rest" split at the first space; the rest is nullopt when there is no space.
std::pair<std::string_view, std::optional<std::string_view>> split(std::string_view line) {
    const auto space = line.find(' ');
    if (space == std::string_view::npos) return {line, std::nullopt};
    return {line.substr(0, space), line.substr(space + 1)};
}

// The kinds of the slots of a code's English text, in order ("sr" for "{s} ... ({r})").
std::string slotkinds(ReasonCode code) {
    std::string kinds;
    for (const ReasonEntry& e : reasontable()) {
        if (e.code != code) continue;
        for (std::size_t at = 0; (at = e.english.find('{', at)) != std::string_view::npos; at += 3)
            kinds += e.english[at + 1];
    }
    return kinds;
}

std::optional<ReasonCode> codenamed(std::string_view name) {
    for (const ReasonEntry& e : reasontable())
        if (e.name == name) return e.code;
    return std::nullopt;
}

void encodereason(const Reason& reason, std::string& out) {
    out += reason.name();
    for (const ReasonPart& part : reason.parts()) {
        if (part.nested) {
            out += " ( ";
            encodereason(*part.nested, out);
            out += " )";
            continue;
        }
        const std::string_view text = std::string_view(part.text).substr(0, maxmessage);
        out += ' ';
        out += text.empty() ? std::string("-") : hexpairs(text);
    }
}

// The reason that `line` begins with; the words after it (from the ")" that closes a reason
// within a reason) are left in `line`.
std::optional<Reason> parsereason(std::string_view& line, int depth) {
    if (depth > maxdepth) return std::nullopt;
    auto [name, rest] = split(line);
    const auto code = codenamed(name);
    if (!code || *code == ReasonCode::none) return std::nullopt;
    const std::string kinds = slotkinds(*code);
    std::vector<ReasonPart> parts;
    for (const char kind : kinds) {
        if (!rest) return std::nullopt;
        auto [word, after] = split(*rest);
        if (kind == 'r') {
            if (word != "(" || !after) return std::nullopt;
            std::string_view inner = *after;
            auto nested = parsereason(inner, depth + 1);
            if (!nested) return std::nullopt;
            auto [close, tail] = split(inner);
            if (close != ")") return std::nullopt;
            parts.push_back({{}, std::make_shared<const Reason>(std::move(*nested))});
            rest = tail;
            continue;
        }
        std::optional<std::string> text = word == "-"    ? std::string()
                                          : word.empty() ? std::nullopt
                                                         : fromhexpairs(word);
        if (!text || text->size() > maxmessage) return std::nullopt;
        parts.push_back({std::move(*text), nullptr});
        rest = after;
    }
    // The whole line is this reason; a reason within a reason is followed by its ")".
    if (depth == 0 ? rest.has_value() : !rest) return std::nullopt;
    line = rest ? *rest : std::string_view();
    return Reason::fromparts(*code, std::move(parts));
}

} // namespace

const char* nameof(Call call) {
    switch (call) {
    case Call::ComOpen:
        return "ComOpen";
    case Call::ReadRegister:
        return "ReadRegister";
    case Call::ComClose:
        return "ComClose";
    case Call::ComLastError:
        return "ComLastError";
    }
    return "?";
}

std::string encode(const Request& request) {
    std::string line = nameof(request.call);
    if (request.call != Call::ComLastError) line += ' ' + std::to_string(request.port);
    return line + '\n';
}

std::string encode(const Answer& answer) {
    switch (answer.kind) {
    case Answer::Kind::number:
        return "int " + std::to_string(answer.number) + '\n';
    case Answer::Kind::text:
        return "text " + hexpairs(answer.text) + '\n';
    case Answer::Kind::error:
        break;
    }
    std::string line = "error ";
    encodereason(answer.reason, line);
    return line + '\n';
}

std::optional<Request> parserequest(std::string_view line) {
    if (line.size() > maxrequest) return std::nullopt;
    const auto [word, rest] = split(line);
    for (const Call call :
         {Call::ComOpen, Call::ReadRegister, Call::ComClose, Call::ComLastError}) {
        if (word != nameof(call)) continue;
        if (call == Call::ComLastError) {
            if (rest) return std::nullopt;
            return Request{call, 0};
        }
        if (!rest) return std::nullopt;
        const auto port = tonumber(*rest);
        if (!port) return std::nullopt;
        return Request{call, *port};
    }
    return std::nullopt;
}

std::optional<Answer> parseanswer(std::string_view line) {
    if (line.size() > maxanswer) return std::nullopt;
    const auto [word, rest] = split(line);
    if (!rest) return std::nullopt;
    if (word == "int") {
        const auto number = tonumber(*rest);
        if (!number) return std::nullopt;
        return Answer{Answer::Kind::number, *number, {}, {}};
    }
    if (word == "text") {
        auto text = fromhexpairs(*rest);
        if (!text) return std::nullopt;
        return Answer{Answer::Kind::text, 0, std::move(*text), {}};
    }
    if (word != "error") return std::nullopt;
    std::string_view words = *rest;
    auto reason = parsereason(words, 0);
    if (!reason) return std::nullopt;
    return Answer{Answer::Kind::error, 0, {}, std::move(*reason)};
}

bool answers(const Answer& answer, Call call) {
    switch (answer.kind) {
    case Answer::Kind::error:
        return !answer.reason.empty();
    case Answer::Kind::number:
        return call == Call::ComOpen || call == Call::ComClose;
    case Answer::Kind::text:
        if (call == Call::ReadRegister) return answer.text.size() <= maxrecord;
        return call == Call::ComLastError && answer.text.size() <= maxmessage;
    }
    return false;
}

} // namespace meter::vendorhost
