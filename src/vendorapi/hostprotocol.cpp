// SPDX-License-Identifier: GPL-3.0-or-later
#include "vendorapi/hostprotocol.h"

#include "core/hexecho.h"

#include <charconv>

namespace meter::vendorhost {

namespace {

std::string tohex(std::string_view bytes) {
    std::string out;
    out.reserve(2 * bytes.size());
    for (const char c : bytes)
        out += hexpair(static_cast<std::uint8_t>(c));
    return out;
}

int nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> fromhex(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]);
        const int lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi << 4 | lo);
    }
    return out;
}

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
        return "text " + tohex(answer.text) + '\n';
    case Answer::Kind::error:
        break;
    }
    return "error " + tohex(answer.text) + '\n';
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
        return Answer{Answer::Kind::number, *number, {}};
    }
    const auto kind = word == "text"    ? Answer::Kind::text
                      : word == "error" ? Answer::Kind::error
                                        : std::optional<Answer::Kind>();
    if (!kind) return std::nullopt;
    auto text = fromhex(*rest);
    if (!text) return std::nullopt;
    return Answer{*kind, 0, std::move(*text)};
}

bool answers(const Answer& answer, Call call) {
    switch (answer.kind) {
    case Answer::Kind::error:
        return answer.text.size() <= maxmessage;
    case Answer::Kind::number:
        return call == Call::ComOpen || call == Call::ComClose;
    case Answer::Kind::text:
        if (call == Call::ReadRegister) return answer.text.size() <= maxrecord;
        return call == Call::ComLastError && answer.text.size() <= maxmessage;
    }
    return false;
}

} // namespace meter::vendorhost
