// SPDX-License-Identifier: GPL-3.0-or-later
// The line protocol to the helper program: what crosses comes back the same (a reason as the
// same code with the same parts), and anything else from the helper is refused rather than half
// understood.
#include "vendorapi/hostprotocol.h"

#include <gtest/gtest.h>

namespace meter::vendorhost {
namespace {

// An error whose reason holds `depth` reasons, one within the other.
std::string nesting(int depth) {
    std::string line = "error ";
    for (int i = 0; i < depth; ++i)
        line += "vendor_voided_detail ( ";
    line += "vendor_voided";
    for (int i = 0; i < depth; ++i)
        line += " )";
    return line;
}

TEST(HostProtocol, EncodedRequestsAndAnswers_ParseBackUnchanged) {
    for (const Request r : {Request{Call::ComOpen, 3}, Request{Call::ReadRegister, -32768},
                            Request{Call::ComClose, 2147483647}, Request{Call::ComLastError, 0}}) {
        const std::string line = encode(r);
        ASSERT_EQ(line.back(), '\n');
        EXPECT_EQ(parserequest(std::string_view(line).substr(0, line.size() - 1)), r) << line;
    }
    std::string every;
    for (int b = 0; b < 256; ++b)
        every += static_cast<char>(b);
    const Reason nested(ReasonCode::vendor_not_loaded_detail, "/opt/读数/libcpedfm.so",
                        Reason(ReasonCode::system_message, every));
    const Reason twice(
        ReasonCode::helper_not_started, "",
        Reason(ReasonCode::vendor_voided_detail, Reason(ReasonCode::system_message, "(no)\n")));
    for (const Answer& a :
         {Answer{Answer::Kind::number, -2147483647 - 1, {}, {}},
          Answer{Answer::Kind::text, 0, every, {}}, Answer{Answer::Kind::text, 0, {}, {}},
          Answer{Answer::Kind::error, 0, {}, Reason(ReasonCode::vendor_voided)},
          Answer{Answer::Kind::error,
                 0,
                 {},
                 Reason(ReasonCode::vendor_wrong_bits, "C:\\x.dll", 32, 193, 32, "x.dll")},
          Answer{Answer::Kind::error, 0, {}, nested}, Answer{Answer::Kind::error, 0, {}, twice}}) {
        const std::string line = encode(a);
        ASSERT_EQ(line.find('\n'), line.size() - 1);
        const auto back = parseanswer(std::string_view(line).substr(0, line.size() - 1));
        ASSERT_TRUE(back) << line;
        EXPECT_EQ(*back, a) << line;
        EXPECT_EQ(back->reason.english(), a.reason.english());
    }
    EXPECT_EQ(
        encode(Answer{Answer::Kind::error, 0, {}, twice}),
        "error helper_not_started - ( vendor_voided_detail ( system_message 286E6F290A ) )\n");
    EXPECT_TRUE(parseanswer(nesting(maxdepth)));
    // A text of a reason longer than any message is cut on the way.
    const std::string cutline = encode(Answer{
        Answer::Kind::error, 0, {}, Reason(ReasonCode::system_message, std::string(9000, 'x'))});
    const auto cut = parseanswer(std::string_view(cutline).substr(0, cutline.size() - 1));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->reason.english(), std::string(maxmessage, 'x'));
}

TEST(HostProtocol, MalformedLine_Refused) {
    const std::string overlong = "text " + std::string(2 * maxrecord + 2, '0');
    for (const std::string& line :
         {std::string(), std::string("int"), std::string("int "), std::string("int 1x"),
          std::string("int 2147483648"), std::string("int +1"), std::string("int -"),
          std::string("int 1 2"), std::string("text 0"), std::string("text 0G"),
          std::string("text ab"), std::string("TEXT 00"), std::string("error"), overlong,
          // A reason: an unknown code, too few or too many parts, a text where a reason belongs
          // or the other way round, unclosed or overdeep nesting, a text no hexadecimal.
          std::string("error "), std::string("error none"), std::string("error no_such_code"),
          std::string("error vendor_voided 41"), std::string("error vendor_voided "),
          std::string("error vendor_not_loaded 41 42"), std::string("error vendor_not_loaded"),
          std::string("error vendor_not_loaded_detail 41 42"),
          std::string("error vendor_not_loaded 41 ( vendor_voided )"),
          std::string("error vendor_not_loaded_detail 41 ( vendor_voided"),
          std::string("error vendor_not_loaded_detail 41 ( vendor_voided ) )"),
          std::string("error vendor_not_loaded_detail 41 ( vendor_voided 41 )"),
          std::string("error vendor_not_loaded 4"), std::string("error vendor_not_loaded ab"),
          std::string("error vendor_not_loaded  41"), std::string("error vendor_not_loaded 41 "),
          std::string("error system_message " + std::string(2 * maxmessage + 2, '4')),
          nesting(maxdepth + 1)}) {
        EXPECT_FALSE(parseanswer(line)) << line.substr(0, 20);
    }
    for (const std::string& line :
         {std::string("ComOpen"), std::string("ComOpen "), std::string("ComOpen 1 2"),
          std::string("comopen 1"), std::string("ComLastError 1"), std::string("ReadRegister x"),
          std::string("ComClose 99999999999")}) {
        EXPECT_FALSE(parserequest(line)) << line;
    }
}

TEST(HostProtocol, AnswerOfWrongKindOrSize_DoesNotAnswerItsCall) {
    const Answer number{Answer::Kind::number, 1, {}, {}};
    const Answer record{Answer::Kind::text, 0, std::string(maxrecord, '1'), {}};
    const Answer message{Answer::Kind::text, 0, std::string(maxmessage + 1, 'x'), {}};
    EXPECT_TRUE(answers(number, Call::ComOpen));
    EXPECT_FALSE(answers(number, Call::ReadRegister));
    EXPECT_FALSE(answers(record, Call::ComClose));
    EXPECT_TRUE(answers(record, Call::ReadRegister));
    EXPECT_FALSE(answers(Answer{Answer::Kind::text, 0, record.text + '1', {}}, Call::ReadRegister));
    EXPECT_FALSE(answers(message, Call::ComLastError));
    EXPECT_TRUE(answers(Answer{Answer::Kind::error, 0, {}, Reason(ReasonCode::vendor_voided)},
                        Call::ComClose));
    EXPECT_FALSE(answers(Answer{Answer::Kind::error, 0, {}, {}}, Call::ComClose));
}

} // namespace
} // namespace meter::vendorhost
