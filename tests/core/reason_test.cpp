// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/reason.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace meter {
namespace {

// Words a Chinese text keeps as they are: the names of bytes, signals, functions and commands,
// the form of a port override (N=PATH, /dev/ttyUSB0) and the options of the command line.
const std::set<std::string> technical{
    "ETX",     "STX", "CRC",     "DTR",  "Windows", "ComOpen", "ReadRegister", "ComClose", "sudo",
    "usermod", "aG",  "dialout", "USER", "N",       "PATH",    "dev",          "ttyUSB",
    "help",    "lang", "zh",     "en",      "again", "COM",     "device"};

TEST(Reason, EveryCode_HasBothTextsWithTheSameSlots) {
    const std::regex slot("\\{([a-z])\\}"), word("[A-Za-z]+");
    std::set<std::string_view> names;
    for (const ReasonEntry& e : reasontable()) {
        SCOPED_TRACE(std::string(e.name));
        EXPECT_TRUE(names.insert(e.name).second) << "a name is used twice";
        const std::string english(e.english), chinese(e.chinese);
        std::size_t slots = 0;
        for (auto it = std::sregex_iterator(english.begin(), english.end(), slot);
             it != std::sregex_iterator(); ++it) {
            EXPECT_NE(std::string("nsrwgl").find((*it)[1].str()), std::string::npos);
            ++slots;
        }
        // Every part appears in the Chinese text, and no other.
        for (std::size_t k = 1; k <= 9; ++k) {
            const char part[] = {'%', static_cast<char>('0' + k), '\0'};
            EXPECT_EQ(chinese.find(part) != std::string::npos, k <= slots) << part;
        }
        // No CJK in the English text (all of it is ASCII), no English words in the Chinese one.
        for (const unsigned char c : english)
            EXPECT_LT(c, 0x80);
        for (auto it = std::sregex_iterator(chinese.begin(), chinese.end(), word);
             it != std::sregex_iterator(); ++it)
            EXPECT_TRUE(technical.count(it->str())) << it->str();
        EXPECT_NE(chinese, english);
    }
    EXPECT_EQ(reasontable().size(), names.size());
}

TEST(Reason, Text_FillsEveryKindOfSlotInBothLanguages) {
    const Reason lost(ReasonCode::line_lost, "/dev/ttyUSB0",
                      Reason(ReasonCode::system_message, "Input/output error"));
    struct Case {
        Reason reason;
        const char* en;
        const char* zh;
    } cases[] = {
        {Reason(ReasonCode::no_reply, "表头", 60), "no reply to meter head after 60 polls",
         "轮询 60 次后仍没有表头的应答"},
        {Reason(ReasonCode::reply_too_late, "总邮资", 90, "已用邮资"),
         "the reply to total postage came only at poll 90, too late to ask for used postage",
         "总邮资的应答到第 90 次轮询才来，来不及再请求已用邮资"},
        {Reason(ReasonCode::reply_timeout, 4000, 5, "acknowledgement", 0, 24),
         "time-out after 4000 ms (5 polls) waiting for the acknowledgement: 0 of 24 bytes",
         "等待确认应答超时：4000 毫秒（5 次轮询）后只收到 0 / 24 字节"},
        {Reason(ReasonCode::port_not_opened, 2, lost),
         "port 2 could not be opened: the line to /dev/ttyUSB0 was lost (Input/output error)",
         "无法打开端口 2：通往 /dev/ttyUSB0 的线路断开（Input/output error）"},
        {Reason(ReasonCode::vendor_not_found, "libcpedfm.so", "/a/x.so or /b/x.so"),
         "the vendor library libcpedfm.so was not found at /a/x.so or /b/x.so",
         "找不到厂商库 libcpedfm.so（找过：/a/x.so、/b/x.so）"},
        // A typed text is kept exactly, register words and all.
        {Reason(ReasonCode::type_not_in_list, "5400(6表头)"),
         "machine type \"5400(6表头)\" is not in the list", "机器类型 \"5400(6表头)\" 不在列表中"},
        {Reason(), "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.reason.text(Language::en), c.en);
        EXPECT_EQ(c.reason.text(Language::zh), c.zh);
    }
    // The files keep the meter's own register names, as they always have.
    EXPECT_EQ(cases[0].reason.english(), "no reply to 表头 after 60 polls");
    EXPECT_EQ(cases[3].reason.english(), cases[3].en);
    EXPECT_EQ(cases[0].reason.name(), "no_reply");
    EXPECT_EQ(Reason(ReasonCode::no_reply, "表头", 60), cases[0].reason);
    EXPECT_FALSE(Reason(ReasonCode::no_reply, "表头", 61) == cases[0].reason);
}

} // namespace
} // namespace meter
