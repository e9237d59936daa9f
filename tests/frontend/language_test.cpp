// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/language.h"

#include "core/win32errors.h"

#include "support/soak.h"
#include "support/virtualstation.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

namespace meter {
namespace {

std::map<std::string, std::string> environment;
const char* lookup(const char* name) {
    const auto it = environment.find(name);
    return it == environment.end() ? nullptr : it->second.c_str();
}

TEST(Language, LangOptionThenMessagesLocale_ChooseLanguage) {
    struct Case {
        const char* option;
        std::map<std::string, std::string> env;
        std::optional<Language> expected;
    } cases[] = {
        {"", {}, Language::zh},
        {"", {{"LANG", "en_US.UTF-8"}}, Language::en},
        {"", {{"LANG", "zh_CN.UTF-8"}}, Language::zh},
        {"", {{"LANG", "de_DE.UTF-8"}}, Language::zh},
        {"", {{"LANG", "C.UTF-8"}}, Language::zh},
        {"", {{"LANG", "POSIX"}, {"LANGUAGE", "en"}}, Language::zh},
        {"", {{"LANG", "zh_CN.UTF-8"}, {"LANGUAGE", "en_GB:zh"}}, Language::en},
        {"", {{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "zh_TW"}}, Language::zh},
        {"", {{"LC_ALL", "en_GB"}, {"LC_MESSAGES", "zh_TW"}}, Language::en},
        {"", {{"LC_ALL", ""}, {"LANG", "en"}}, Language::en},
        {"zh", {{"LANG", "en_US.UTF-8"}}, Language::zh},
        {"en", {}, Language::en},
        {"fr", {}, std::nullopt},
        {"EN", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        environment = c.env;
        EXPECT_EQ(chooselanguage(c.option, lookup), c.expected)
            << "--lang '" << c.option << "', " << c.env.size() << " variables";
    }
}

// English words left in a Chinese reason. Paths, file names, bytes, numbers and the names
// of line signals and library functions may stay.
std::string leftoverenglish(const std::string& text) {
    static const std::set<std::string> kept = {
        "ETX",     "STX",  "DTR",     "CRC", "ComOpen", "ReadRegister", "ComClose",
        "dialout", "sudo", "usermod", "aG",  "USER",    "copote",       "Windows"};
    static const std::regex token(R"([^\s（）()：:，、"]+)");
    std::string left;
    for (std::sregex_iterator it(text.begin(), text.end(), token), end; it != end; ++it) {
        const std::string t = it->str();
        static const std::regex hexbyte("[0-9A-F]{2}");
        if (t.find_first_of("/\\.#-0123456789") != std::string::npos ||
            std::regex_match(t, hexbyte))
            continue;
        static const std::regex word("[A-Za-z]{2,}");
        for (std::sregex_iterator w(t.begin(), t.end(), word); w != end; ++w)
            if (!kept.count(w->str())) left += w->str() + " ";
    }
    return left;
}

// Every reason the readings give, gathered from readings against faults on virtual time and
// from every way the vendor library's path ends, reads in Chinese with nothing of its English
// left, and in English without a Chinese character: the parts a reason carries (register names,
// reply names, nested reasons) are rendered too.
TEST(Language, AnyReadingReason_HasChineseWithNoEnglishLeft) {
    std::vector<Reason> reasons;
    for (unsigned long code = 0; code < 20000; ++code)
        if (win32errorcode(code) != ReasonCode::none)
            reasons.push_back(
                Reason(ReasonCode::device_not_opened, 1, "COM3", win32reason(code, {})));
    for (int way = 0; way < 4; ++way) {
        testing::VirtualStation st;
        if (way == 0) st.vendor.raises = "ComOpen";
        st.vendor.open = way == 1 ? 0 : 1;
        st.vendor.close = way == 2 ? 0 : 1;
        st.vendor.record = way == 3 ? "123" : std::string(56, '7');
        st.read(51);
        reasons.push_back(st.driver.outcome().reason);
    }
    testing::soak::Run run(20260607);
    std::set<std::string> codes;
    for (int i = 0; i < 3000; ++i) {
        const Reason r = run.next().outcome.reason;
        if (r.empty() || !codes.insert(r.english()).second) continue;
        reasons.push_back(r);
    }
    EXPECT_GE(codes.size(), 20u);

    for (const Reason& reason : reasons) {
        // A message of the system or of the vendor library stays as it is said.
        if (reason.code() == ReasonCode::system_message) continue;
        const std::string zh = reason.text(Language::zh);
        EXPECT_EQ(leftoverenglish(zh), "") << reason.english() << "\n  -> " << zh;
        EXPECT_FALSE(std::regex_search(reason.text(Language::en), std::regex("[\x80-\xff]")))
            << reason.english();
    }
}

} // namespace
} // namespace meter
