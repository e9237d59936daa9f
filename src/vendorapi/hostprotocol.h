// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line protocol between the reader and cpedfm-host (docs/vendor-host.md). One request line,
// one answer line, in ASCII, each ended by "\n":
//   ComOpen <port>        -> int <result>
//   ReadRegister <port>   -> text <hex>
//   ComClose <port>       -> int <result>
//   ComLastError          -> text <hex>
// and to any of them "error <reason>" when the call could not be made (the library cannot be
// loaded, lacks the function, or gave a record too long to carry). Texts travel as two capital
// hexadecimal digits per byte, so that every byte crosses unchanged. A reason travels as the
// name of its code followed by its parts, each a text in hexadecimal ("-" for an empty one) or
// a reason of its own between "(" and ")", all separated by one blank:
//   error vendor_not_loaded_detail 2F6C69622F78 ( system_message 6E6F2073756368 )
// so that the reader has the very reason the helper gave, in any language.
#include "core/reason.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meter::vendorhost {

// Bounds on what crosses: a record far beyond any meter's, a message (each text of a reason) of
// a few lines, reasons within a reason a few deep.
inline constexpr std::size_t maxrecord = 65536;
inline constexpr std::size_t maxmessage = 4096;
inline constexpr int maxdepth = 4;
// The longest answer line, without its "\n".
inline constexpr std::size_t maxanswer = 5 + 2 * maxrecord;
// The longest request line, without its "\n".
inline constexpr std::size_t maxrequest = 64;

enum class Call { ComOpen, ReadRegister, ComClose, ComLastError };

struct Request {
    Call call = Call::ComOpen;
    std::int32_t port = 0; // not used by ComLastError
    bool operator==(const Request&) const = default;
};

struct Answer {
    enum class Kind { number, text, error };
    Kind kind = Kind::number;
    std::int32_t number = 0;
    std::string text; // text
    Reason reason;    // error
    bool operator==(const Answer&) const = default;
};

const char* nameof(Call call);

// Both with the final "\n". An error's texts are cut to maxmessage bytes each.
std::string encode(const Request& request);
std::string encode(const Answer& answer);

// A line without its "\n"; nullopt when it is not exactly one of the forms above. A reason must
// name a known code and give exactly the parts its text has slots for, a reason where the slot
// takes one.
std::optional<Request> parserequest(std::string_view line);
std::optional<Answer> parseanswer(std::string_view line);

// True when `answer` is a proper answer to `call`: a number for ComOpen and ComClose, a text
// for the others (at most maxrecord or maxmessage bytes), or an error with a reason.
bool answers(const Answer& answer, Call call);

} // namespace meter::vendorhost
