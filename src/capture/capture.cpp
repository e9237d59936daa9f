// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capture.h"

#include "core/machinetypes.h"
#include "core/utf8path.h"
#include "core/utf8text.h"
#include "files/files.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>
#include <cstring>
#include <limits>

namespace meter {

namespace {

using json = nlohmann::ordered_json;

constexpr std::array<std::string_view, 5> eventnames{"tx", "rx", "poll", "vendor", "error"};
constexpr std::array<std::string_view, 4> vendorcalls{"ComOpen", "ReadRegister", "ComClose",
                                                      "lasterror"};
constexpr std::array<std::string_view, 4> devicecalls{"open", "write", "byteswaiting", "readall"};
constexpr std::array<std::string_view, 3> ends{"normal", "failure", "cancelled"};
constexpr std::array<std::string_view, 3> statuses{"read", "nodata", "failed"};
// How deep the reasons of a failed call may nest.
constexpr int reasondepth = 8;

template <std::size_t N>
bool oneof(const std::array<std::string_view, N>& list, std::string_view s) {
    for (const std::string_view item : list)
        if (item == s) return true;
    return false;
}

// Bytes as a JSON text of one character per byte (U+0000 to U+00FF), and back: any byte a meter
// or the vendor library gave survives, and a record of digits reads as digits.
std::optional<std::string> fromlatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size() &&
                   (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            out += static_cast<char>(((b & 0x03) << 6) |
                                     (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            ++i;
        } else {
            return std::nullopt; // a character above U+00FF is no byte
        }
    }
    return out;
}

std::string hexof(ByteView bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

int hexdigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<Bytes> bytesofhex(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    Bytes out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = hexdigit(hex[i]), lo = hexdigit(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return out;
}

std::optional<ReasonCode> codenamed(std::string_view name) {
    for (const ReasonEntry& e : reasontable())
        if (e.name == name) return e.code;
    return std::nullopt;
}

// A reason as its code and parts, so that it can be rebuilt whole.
json reasonjson(const Reason& why) {
    json parts = json::array();
    for (const ReasonPart& part : why.parts())
        parts.push_back(part.nested ? reasonjson(*part.nested) : json(latin1toutf8(part.text)));
    return {{"code", std::string(why.name())}, {"parts", std::move(parts)}};
}

std::optional<Reason> reasonof(const json& j, int depth = 0) {
    if (depth > reasondepth || !j.is_object()) return std::nullopt;
    const auto code = j.find("code");
    const auto parts = j.find("parts");
    if (code == j.end() || !code->is_string() || parts == j.end() || !parts->is_array())
        return std::nullopt;
    const std::optional<ReasonCode> c = codenamed(code->get_ref<const std::string&>());
    if (!c) return std::nullopt;
    std::vector<ReasonPart> list;
    for (const json& part : *parts) {
        if (part.is_string()) {
            std::optional<std::string> text = fromlatin1(part.get_ref<const std::string&>());
            if (!text) return std::nullopt;
            list.push_back({std::move(*text), nullptr});
        } else {
            std::optional<Reason> nested = reasonof(part, depth + 1);
            if (!nested) return std::nullopt;
            list.push_back({{}, std::make_shared<const Reason>(std::move(*nested))});
        }
    }
    return Reason::fromparts(*c, std::move(list));
}

std::optional<LineSettings> settingsof(std::string_view text) {
    // baud,parity,data bits,stop bits: "9600,n,8,1"
    LineSettings s;
    const auto number = [&text](int& out) {
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
        if (ec != std::errc() || end == text.data()) return false;
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
        return true;
    };
    const auto comma = [&text] {
        if (text.empty() || text.front() != ',') return false;
        text.remove_prefix(1);
        return true;
    };
    if (!number(s.baud) || !comma() || text.empty()) return std::nullopt;
    s.parity = text.front();
    text.remove_prefix(1);
    if (s.parity != 'n' && s.parity != 'e' && s.parity != 'o') return std::nullopt;
    if (!comma() || !number(s.databits) || !comma() || !number(s.stopbits) || !text.empty())
        return std::nullopt;
    if (s.baud <= 0 || s.databits < 5 || s.databits > 8 || s.stopbits < 1 || s.stopbits > 2)
        return std::nullopt;
    return s;
}

std::string dump(const json& j) {
    // Texts given on the command line and reasons may hold any bytes; they never stop a capture.
    return j.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

// Reading one line's object, field by field; the first field missing or not valid is kept.
class Fields {
  public:
    Fields(const json& j, std::size_t line) : j_(j), line_(line) {}

    const Reason& why() const { return why_; }

    std::optional<std::int64_t> integer(const char* name, std::int64_t lo, std::int64_t hi) {
        const auto it = j_.find(name);
        if (it != j_.end()) {
            if (it->is_number_unsigned()) {
                const auto v = it->get<std::uint64_t>();
                if (v <= static_cast<std::uint64_t>(hi) && static_cast<std::int64_t>(v) >= lo)
                    return static_cast<std::int64_t>(v);
            } else if (it->is_number_integer()) {
                const auto v = it->get<std::int64_t>();
                if (v >= lo && v <= hi) return v;
            }
        }
        bad(name);
        return std::nullopt;
    }

    std::optional<std::string> text(const char* name) {
        const auto it = j_.find(name);
        if (it != j_.end() && it->is_string()) return it->get<std::string>();
        bad(name);
        return std::nullopt;
    }

    std::optional<std::string> bytes(const char* name) {
        std::optional<std::string> t = text(name);
        if (!t) return std::nullopt;
        std::optional<std::string> b = fromlatin1(*t);
        if (!b) bad(name);
        return b;
    }

    bool has(const char* name) const { return j_.contains(name); }
    std::optional<const json*> find(const char* name) const {
        const auto it = j_.find(name);
        if (it == j_.end()) return std::nullopt;
        return &*it;
    }

    std::optional<Reason> reason(const char* name) {
        const auto it = j_.find(name);
        std::optional<Reason> r = it != j_.end() ? reasonof(*it) : std::nullopt;
        if (!r) bad(name);
        return r;
    }

    void bad(const char* name) {
        if (why_.empty()) why_ = Reason(ReasonCode::capture_bad_field, line_, name);
    }
    void fail(Reason why) {
        if (why_.empty()) why_ = std::move(why);
    }

  private:
    const json& j_;
    std::size_t line_;
    Reason why_;
};

constexpr std::int64_t int32min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t int32max = std::numeric_limits<std::int32_t>::max();
// A reading lasts minutes at most; a day of milliseconds is ample and keeps sums far from overflow.
constexpr std::int64_t maxms = std::int64_t{1} << 40;

CaptureRead failed(Reason why) {
    return {std::nullopt, std::move(why)};
}

std::optional<CaptureHeader> headerof(const json& j, Fields& f) {
    CaptureHeader h;
    const std::optional<std::int64_t> version = f.integer("version", 1, int32max);
    if (!version) return std::nullopt;
    h.version = static_cast<int>(*version);
    if (h.version > captureversion) {
        f.fail(Reason(ReasonCode::capture_newer_version, 1, h.version, captureversion));
        return std::nullopt;
    }
    const auto program = f.text("program");
    const auto type = f.text("type");
    const auto code = f.integer("code", std::numeric_limits<std::int16_t>::min(),
                                std::numeric_limits<std::int16_t>::max());
    const auto port = f.integer("port", std::numeric_limits<std::int16_t>::min(), 8);
    const auto device = f.text("device");
    const auto start = f.text("start");
    const auto line = j.find("line");
    if (line == j.end() || !(line->is_null() || line->is_string())) f.bad("line");
    if (!f.why().empty()) return std::nullopt;
    if (line->is_string()) {
        h.line = settingsof(line->get_ref<const std::string&>());
        if (!h.line) {
            f.bad("line");
            return std::nullopt;
        }
    }
    h.program = *program;
    h.typetext = *type;
    h.code = static_cast<std::int16_t>(*code);
    h.port = static_cast<int>(*port);
    h.device = *device;
    h.start = *start;
    // Written since the demo was marked; a capture from before was read from a real meter or
    // does not say.
    if (const auto demo = j.find("demo"); demo != j.end()) {
        if (!demo->is_boolean()) {
            f.bad("demo");
            return std::nullopt;
        }
        h.demo = demo->get<bool>();
    }
    if (const auto verify = j.find("verify"); verify != j.end() && h.version >= 2) {
        if (!verify->is_boolean()) {
            f.bad("verify");
            return std::nullopt;
        }
        h.verify = verify->get<bool>();
    }
    if (!findtype(h.code)) {
        f.fail(Reason(ReasonCode::capture_unknown_type, 1, h.code));
        return std::nullopt;
    }
    return h;
}

std::optional<CaptureEvent> eventof(CaptureEvent::Kind kind, std::int64_t ms, Fields& f,
                                    std::size_t line) {
    using Kind = CaptureEvent::Kind;
    CaptureEvent e;
    e.kind = kind;
    e.ms = ms;
    switch (kind) {
    case Kind::tx:
    case Kind::rx: {
        const std::optional<std::string> hex = f.text("hex");
        if (!hex) return std::nullopt;
        std::optional<Bytes> bytes = bytesofhex(*hex);
        if (!bytes) {
            f.fail(Reason(ReasonCode::capture_bad_hex, line));
            return std::nullopt;
        }
        e.bytes = std::move(*bytes);
        break;
    }
    case Kind::poll: {
        const auto count = f.integer("count", 1, maxms);
        if (!count) return std::nullopt;
        e.count = *count;
        break;
    }
    case Kind::vendor: {
        const std::optional<std::string> call = f.text("call");
        if (!call) return std::nullopt;
        if (!oneof(vendorcalls, *call)) {
            f.bad("call");
            return std::nullopt;
        }
        e.call = *call;
        if (e.call != "lasterror") {
            const auto argument = f.integer("argument", int32min, int32max);
            if (!argument) return std::nullopt;
            e.argument = static_cast<std::int32_t>(*argument);
        }
        if (f.has("error")) {
            std::optional<Reason> why = f.reason("error");
            if (!why) return std::nullopt;
            e.why = std::move(*why);
        } else if (e.call == "ComOpen" || e.call == "ComClose") {
            const auto result = f.integer("result", int32min, int32max);
            if (!result) return std::nullopt;
            e.number = static_cast<std::int32_t>(*result);
        } else {
            std::optional<std::string> result = f.bytes("result");
            if (!result) return std::nullopt;
            e.text = std::move(*result);
        }
        break;
    }
    case Kind::error: {
        const std::optional<std::string> call = f.text("call");
        if (!call) return std::nullopt;
        if (!oneof(devicecalls, *call)) {
            f.bad("call");
            return std::nullopt;
        }
        e.call = *call;
        std::optional<Reason> why = f.reason("error");
        if (!why) return std::nullopt;
        e.why = std::move(*why);
        break;
    }
    }
    return e;
}

std::optional<CaptureOutcome> outcomeof(std::int64_t ms, Fields& f) {
    CaptureOutcome o;
    o.ms = ms;
    auto end = f.text("end");
    auto status = f.text("status");
    auto code = f.text("reason_code");
    auto reason = f.text("reason");
    auto record = f.bytes("record");
    auto sent = f.bytes("sent");
    auto received = f.bytes("received");
    if (!f.why().empty()) return std::nullopt;
    if (const auto verified = f.find("verified")) {
        if (!(*verified)->is_boolean()) {
            f.bad("verified");
            return std::nullopt;
        }
        o.verified = (*verified)->get<bool>();
    }
    if (!oneof(ends, *end)) f.bad("end");
    if (!oneof(statuses, *status)) f.bad("status");
    if (!f.why().empty()) return std::nullopt;
    o.end = std::move(*end);
    o.status = std::move(*status);
    o.reasoncode = std::move(*code);
    o.reason = std::move(*reason);
    o.record = std::move(*record);
    o.sent = std::move(*sent);
    o.received = std::move(*received);
    return o;
}

} // namespace

std::string_view eventname(CaptureEvent::Kind kind) {
    return eventnames[static_cast<std::size_t>(kind)];
}

std::optional<CaptureEvent::Kind> eventkind(std::string_view name) {
    for (std::size_t i = 0; i < eventnames.size(); ++i)
        if (eventnames[i] == name) return static_cast<CaptureEvent::Kind>(i);
    return std::nullopt;
}

std::string capturetext(const Capture& capture) {
    using Kind = CaptureEvent::Kind;
    const CaptureHeader& h = capture.header;
    json header = {
        {"format", captureformat},
        {"version", h.version},
        {"program", h.program},
        {"type", h.typetext},
        {"code", h.code},
        {"line", h.line ? json(h.line->text()) : json(nullptr)},
        {"port", h.port},
        {"device", h.device},
        {"demo", h.demo},
        {"start", h.start},
    };
    if (h.verify) header["verify"] = true;
    std::string out = dump(header);
    const auto eventline = [&out](const CaptureEvent& e) {
        json j = {{"ms", e.ms}, {"event", eventname(e.kind)}};
        switch (e.kind) {
        case Kind::tx:
        case Kind::rx:
            j["hex"] = hexof(e.bytes);
            break;
        case Kind::poll:
            j["count"] = e.count;
            break;
        case Kind::vendor:
            j["call"] = e.call;
            if (e.call != "lasterror") j["argument"] = e.argument;
            if (e.why)
                j["error"] = reasonjson(e.why);
            else if (e.call == "ComOpen" || e.call == "ComClose")
                j["result"] = e.number;
            else
                j["result"] = latin1toutf8(e.text);
            break;
        case Kind::error:
            j["call"] = e.call;
            j["error"] = reasonjson(e.why);
            break;
        }
        out += dump(j);
    };
    for (const CaptureEvent& e : capture.events) eventline(e);
    if (capture.again) {
        out += dump({{"ms", capture.againms}, {"event", "again"}});
        for (const CaptureEvent& e : capture.second) eventline(e);
    }
    const CaptureOutcome& o = capture.outcome;
    json outcome = {
        {"ms", o.ms},
        {"event", "outcome"},
        {"end", o.end},
        {"status", o.status},
        {"reason_code", o.reasoncode},
        {"reason", o.reason},
        {"record", latin1toutf8(o.record)},
        {"sent", latin1toutf8(o.sent)},
        {"received", latin1toutf8(o.received)},
    };
    if (o.verified) outcome["verified"] = *o.verified;
    return out + dump(outcome);
}

CaptureRead parsecapture(std::string_view text) {
    if (text.size() > capturemaxbytes)
        return failed(Reason(ReasonCode::capture_too_large, text.size()));
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

    Capture capture;
    bool outcome = false;
    std::int64_t lastms = 0;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t lf = text.find('\n');
        const bool ended = lf != std::string_view::npos;
        std::string_view line = text.substr(0, ended ? lf : text.size());
        text.remove_prefix(ended ? lf + 1 : text.size());
        if (line.ends_with('\r')) line.remove_suffix(1);

        if (outcome) return failed(Reason(ReasonCode::capture_after_outcome, number));
        const json j = json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object()) {
            if (number == 1) return failed(Reason(ReasonCode::capture_not_capture, 1));
            // A last line cut off in the middle: the file was not written to its end.
            if (!ended) return failed(Reason(ReasonCode::capture_truncated, number));
            return failed(Reason(ReasonCode::capture_bad_json, number));
        }
        Fields f(j, number);

        if (number == 1) {
            const auto format = j.find("format");
            if (format == j.end() || !format->is_string() || *format != captureformat)
                return failed(Reason(ReasonCode::capture_not_capture, 1));
            std::optional<CaptureHeader> header = headerof(j, f);
            if (!header) return failed(f.why());
            capture.header = std::move(*header);
            continue;
        }

        const std::optional<std::string> name = f.text("event");
        const std::optional<std::int64_t> ms = f.integer("ms", 0, maxms);
        if (!name || !ms) return failed(f.why());
        if (*ms < lastms)
            return failed(Reason(ReasonCode::capture_time_backwards, number, lastms, *ms));
        lastms = *ms;
        if (*name == "outcome") {
            std::optional<CaptureOutcome> o = outcomeof(*ms, f);
            if (!o) return failed(f.why());
            capture.outcome = std::move(*o);
            outcome = true;
            continue;
        }
        // The second reading of a verified one begins.
        if (*name == "again" && capture.header.verify) {
            if (capture.again) return failed(Reason(ReasonCode::capture_again_twice, number));
            capture.again = true;
            capture.againms = *ms;
            continue;
        }
        const std::optional<CaptureEvent::Kind> kind = eventkind(*name);
        if (!kind) return failed(Reason(ReasonCode::capture_unknown_event, number, *name));
        std::optional<CaptureEvent> e = eventof(*kind, *ms, f, number);
        if (!e) return failed(f.why());
        (capture.again ? capture.second : capture.events).push_back(std::move(*e));
    }
    if (number == 0) return failed(Reason(ReasonCode::capture_not_capture, 1));
    if (!outcome) return failed(Reason(ReasonCode::capture_truncated, number));
    return {std::move(capture), {}};
}

CaptureRead readcapture(const std::filesystem::path& path) {
    const std::string name = utf8of(path);
    // One byte more than the limit tells a file that is too large.
    std::string text;
    if (Reason why = files::readstart(name, capturemaxbytes + 1, text))
        return failed(Reason(ReasonCode::capture_not_opened, name, std::move(why)));
    if (text.size() > capturemaxbytes) {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        return failed(Reason(ReasonCode::capture_too_large, ec ? text.size() : size));
    }
    return parsecapture(text);
}

bool iscapture(std::string_view start) {
    const std::string_view line = start.substr(0, start.find('\n'));
    const json j = json::parse(line, nullptr, false);
    if (!j.is_object()) return false;
    const auto format = j.find("format");
    return format != j.end() && format->is_string() &&
           format->get_ref<const std::string&>() == captureformat;
}

} // namespace meter
