// SPDX-License-Identifier: GPL-3.0-or-later
// The line protocol to the helper program: what crosses comes back the same, and anything else
// from the helper is refused rather than half understood.
#include "vendorapi/hostprotocol.h"

#include <gtest/gtest.h>

namespace meter::vendorhost {
namespace {

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
    for (const Answer& a : {Answer{Answer::Kind::number, -2147483647 - 1, {}},
                            Answer{Answer::Kind::text, 0, every}, Answer{Answer::Kind::text, 0, {}},
                            Answer{Answer::Kind::error, 0, "could not be loaded\n"}}) {
        const std::string line = encode(a);
        ASSERT_EQ(line.find('\n'), line.size() - 1);
        EXPECT_EQ(parseanswer(std::string_view(line).substr(0, line.size() - 1)), a) << line;
    }
}

TEST(HostProtocol, MalformedLine_Refused) {
    const std::string overlong = "text " + std::string(2 * maxrecord + 2, '0');
    for (const std::string& line :
         {std::string(), std::string("int"), std::string("int "), std::string("int 1x"),
          std::string("int 2147483648"), std::string("int +1"), std::string("int -"),
          std::string("int 1 2"), std::string("text 0"), std::string("text 0G"),
          std::string("text ab"), std::string("TEXT 00"), std::string("error"), overlong}) {
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
    const Answer number{Answer::Kind::number, 1, {}};
    const Answer record{Answer::Kind::text, 0, std::string(maxrecord, '1')};
    const Answer message{Answer::Kind::text, 0, std::string(maxmessage + 1, 'x')};
    EXPECT_TRUE(answers(number, Call::ComOpen));
    EXPECT_FALSE(answers(number, Call::ReadRegister));
    EXPECT_FALSE(answers(record, Call::ComClose));
    EXPECT_TRUE(answers(record, Call::ReadRegister));
    EXPECT_FALSE(answers(Answer{Answer::Kind::text, 0, record.text + '1'}, Call::ReadRegister));
    EXPECT_FALSE(answers(message, Call::ComLastError));
    EXPECT_TRUE(answers(Answer{Answer::Kind::error, 0, "no"}, Call::ComClose));
}

} // namespace
} // namespace meter::vendorhost
