// SPDX-License-Identifier: GPL-3.0-or-later
// Reasons read back from the journal's English text and code, to be shown in either language.
#include "core/keptreason.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

// A part for a slot of each kind, with the texts that make matching hard: a path holding the
// words and brackets the forms use, a nested reason.
ReasonPart partfor(char kind) {
    switch (kind) {
    case 'n':
        return {"4800", nullptr};
    case 'g':
        return {"表头", nullptr};
    case 'w':
        return {"register reply", nullptr};
    case 'l':
        return {"/opt/a (x) or /opt/b", nullptr};
    case 'r':
        return {{}, std::make_shared<const Reason>(ReasonCode::system_message, "Is a directory")};
    default:
        return {"/home/技术员/读数 (1) or 2", nullptr};
    }
}

// Every code, its slots filled, comes back whole from what the journal keeps of it.
TEST(KeptReason, EveryCode_ReadBackAsWritten) {
    for (const ReasonEntry& e : reasontable()) {
        std::vector<ReasonPart> parts;
        for (std::size_t at = 0; (at = e.english.find('{', at)) != std::string_view::npos; at += 3)
            parts.push_back(partfor(e.english[at + 1]));
        const Reason written = Reason::fromparts(e.code, parts);
        const std::optional<Reason> read = keptreason(e.name, written.english());
        ASSERT_TRUE(read) << e.name;
        EXPECT_EQ(read->text(Language::zh), written.text(Language::zh)) << e.name;
        EXPECT_EQ(read->text(Language::en), written.text(Language::en)) << e.name;
    }
}

TEST(KeptReason, NestedAndUnfitting) {
    const Reason silent(ReasonCode::nothing_received, Reason(ReasonCode::no_reply, "表头", 60));
    const Reason opened(ReasonCode::device_not_opened, 2, "/dev/ttyS1",
                        Reason(ReasonCode::system_message_code, "Input/output error", 5));
    const struct {
        const char* code;
        std::string english;
        const char* chinese; // empty: nothing fits
    } cases[] = {
        {"nothing_received", silent.english(),
         "轮询 60 次后仍没有表头的应答；没有收到任何字节：请检查机器类型、电缆和端口"},
        // The journal keys a silent meter by the cause inside the hint.
        {"no_reply", silent.english(),
         "轮询 60 次后仍没有表头的应答；没有收到任何字节：请检查机器类型、电缆和端口"},
        {"", silent.english(),
         "轮询 60 次后仍没有表头的应答；没有收到任何字节：请检查机器类型、电缆和端口"},
        {"device_not_opened", opened.english(),
         "无法打开端口 2（/dev/ttyS1）：Input/output error（错误 5）"},
        // A journal older than its codes, or edited by hand.
        {"no_reply", "no reply to 表头 after many polls", ""},
        {"no_reply", "the meter's registers are all zero", ""},
        {"device_busy", silent.english(), ""},
        {"no_such_code", "the meter's registers are all zero", ""},
        {"registers_all_zero", "the meter's registers are all zero ", ""},
    };
    for (const auto& c : cases) {
        const std::optional<Reason> read = keptreason(c.code, c.english);
        EXPECT_EQ(read ? read->text(Language::zh) : std::string(), c.chinese) << c.english;
    }
}

} // namespace
} // namespace meter
