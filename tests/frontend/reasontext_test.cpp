// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/reasontext.h"

#include "core/win32errors.h"

#include "support/soak.h"
#include "support/virtualstation.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

namespace meter {
namespace {

TEST(ReasonText, KnownReasons_TranslatedUnknownPassThrough) {
    struct Case {
        const char* reason;
        const char* zh;
        const char* en; // empty: unchanged
    } cases[] = {
        {"no reply to 表头 after 60 polls", "轮询 60 次后仍没有表头的应答",
         "no reply to meter head after 60 polls"},
        {"the reply to 总邮资 came only at poll 90, too late to ask for 已用邮资",
         "总邮资的应答到第 90 次轮询才来，来不及再请求已用邮资",
         "the reply to total postage came only at poll 90, too late to ask for used postage"},
        {"time-out after 4000 ms (5 polls) waiting for the acknowledgement: 0 of 24 bytes",
         "等待确认应答超时：4000 毫秒（5 次轮询）后只收到 0 / 24 字节", ""},
        {"the register reply has 0x55 at byte 0 where 0x02 belongs",
         "寄存器应答第 0 字节是 0x55，应为 0x02", ""},
        // A reason inside a reason translates too; a system message stays as it is.
        {"port 2 could not be opened: port 2 (/dev/ttyUSB0) could not be opened (Input/output "
         "error)",
         "无法打开端口 2：无法打开端口 2（/dev/ttyUSB0）：Input/output error", ""},
        {"the vendor library could not open port 3 (the meter did not answer)",
         "厂商库无法打开端口 3（邮资表没有应答）", ""},
        {"the vendor library libcpedfm.so was not found at /a/libcpedfm.so or /b/libcpedfm.so",
         "找不到厂商库 libcpedfm.so（找过：/a/libcpedfm.so、/b/libcpedfm.so）", ""},
        // A typed text is repeated exactly, register words and all.
        {"machine type \"5400(6表头)\" is not in the list", "机器类型 \"5400(6表头)\" 不在列表中",
         ""},
        {"\"12x4\" is not a postage value", "\"12x4\" 不是邮资数值", ""},
        // A number slot takes digits only; what fits no pattern passes through whole.
        {"port x is above 8", "port x is above 8", ""},
        {"the meter caught fire", "the meter caught fire", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reasontext(c.reason, Language::zh), c.zh) << c.reason;
        EXPECT_EQ(reasontext(c.reason, Language::en), *c.en ? c.en : c.reason) << c.reason;
    }
    EXPECT_EQ(resultlabel(ResultField::head, Language::zh), "表头：");
    EXPECT_EQ(resultlabel(ResultField::pieces, Language::en), "Total pieces: ");
    EXPECT_EQ(registertext("寄存器", Language::en), "registers");
    EXPECT_EQ(registertext("copote", Language::zh), "copote");
}

std::map<std::string, std::string> environment;
const char* lookup(const char* name) {
    const auto it = environment.find(name);
    return it == environment.end() ? nullptr : it->second.c_str();
}

TEST(ReasonText, LangOptionThenMessagesLocale_ChooseLanguage) {
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
// from the parts that only a real device or library meets, reads in Chinese with nothing of
// its English left: a new reason without its Chinese fails here.
TEST(ReasonText, AnyReadingReason_HasChineseWithNoEnglishLeft) {
    std::set<std::string> reasons = {
        "cancelled by the operator",
        "the reading was cancelled",
        "the vendor library's helper program cpedfm-host was not found at /opt/mr/bin/cpedfm-host "
        "or /opt/mr/lib/meterreader/cpedfm-host",
        "the vendor library libcpedfm.so was not found (the program's own folder is unknown)",
        // What the system says inside a reason stays as it says it; these carry numbers only.
        "the vendor library's helper program /usr/lib/meterreader/cpedfm-host could not be "
        "started (13)",
        "no pipe for the vendor library's helper program (error 8)",
        "no channel to the vendor library's helper program (24)",
        "the vendor library crashed in ReadRegister (signal 11)",
        "the vendor library crashed in ComClose (exit status 3)",
        "the vendor library crashed in ComOpen (closed its output without ending)",
        "the vendor library stopped responding (no answer to ComClose within 30000 ms)",
        "the vendor library's helper program gave a malformed answer to ReadRegister",
        "the vendor library /usr/lib/meterreader/libcpedfm.so could not be loaded (193)",
        "the vendor library /usr/lib/meterreader/libcpedfm.so lacks ComOpen, ReadRegister or "
        "ComClose",
        "the reading failed",
        "machine type 99 has no reading sequence",
        "internal error: the meter did not answer",
        "port 9 is above 8",
        "machine type \"x\" is not in the list",
        "port 1 is not open",
        "the vendor library could not open port 1",
        "the vendor library voided the reading",
        "the vendor library libcpedfm.so was not found (the program's own folder is unknown)",
        "the vendor library libcpedfm.so was not found at /a/libcpedfm.so or /b/libcpedfm.so",
        "the vendor library C:\\m\\cpedfm.dll could not be loaded (error 126)",
        "the vendor library /a/libcpedfm.so could not be loaded (/a/libcpedfm.so: #5)",
        "the vendor library /a/libcpedfm.so lacks ComOpen, ReadRegister or ComClose",
        "the meter's answer was not a valid register record",
        "port 0 has no device",
        "port 3 has no device (ports are numbered from 1)",
        "port 1 (/dev/ttyUSB0) does not exist",
        "port 1 (/dev/ttyUSB0): permission denied; add the user to the dialout group (sudo "
        "usermod -aG dialout $USER) and log in again",
        "port 1 (/dev/ttyUSB0) is in use by another program",
        "port 1 (/dev/ttyUSB0) could not be opened (#5)",
        "port 1 (/dev/ttyUSB0) could not be set up (baud rate 1234 is not supported)",
        "port 1 (COM3) could not be set up (the line settings 9600,n,8,1 were refused: #5)",
        "port 1 (/dev/ttyUSB0) could not be set up (the line settings 9600,n,8,1 were refused)",
        "port 1 (/dev/ttyUSB0) could not be set up (the line settings 9600,e,7,1 did not take)",
        "port 1 (COM3) could not be set up (#5)",
        "port 1 (/dev/ttyS0) is not a serial device",
        "port 1 (COM3) is not a serial device (#5)",
        "port 1 (/dev/ttyUSB0): DTR could not be asserted (#5)",
        "cannot write: the port is not open",
        "cannot read: the port is not open",
        "the line to /dev/ttyUSB0 did not take the bytes within 2 s",
        "the line to /dev/ttyUSB0 was lost while writing (the device hung up or was removed)",
        "the line to COM3 was lost while writing (#5)",
        "the line to COM3 was lost (#5)",
        "CRC over 9 bytes of a 9-byte buffer",
        "a reply of 3 bytes is too short",
        "escaped reply byte 05 is below 80",
        "a reply ran on for 101 bytes after its header (at most 100 fit)",
        "a reply frame runs past 100 bytes without its end byte 03",
        "the reply to 总邮资 came only at poll 90, too late to ask for 已用邮资",
        "the data block of the register reply is closed early: ETX at reply byte 40, its end "
        "belongs at byte 50",
        "the data block of the register reply starting at reply byte 5 runs past its 10 bytes "
        "without an ETX",
        "the data block of the register reply is not closed by an ETX",
        "the data block of the register reply is not framed by STX and ETX",
        "machine type 11 has no reply 7",
        "the register reply runs past 201 bytes",
        "the port counted 9 bytes waiting but gave only 4",
        "the meter did not accept the command: byte 3 of the acknowledgement is 0x15, not 0x06",
        "the acknowledgement was judged in no known way",
        // What only Windows says: our words for its error codes (below), the system's own
        // message with its code, a library of the wrong width, the demo meter's pipe.
        "port 1 (COM3) is in use by another program, or access to it is denied",
        "port 1 (COM3) could not be opened (#1 (error 1234))",
        "port 1 (COM3) could not be opened (an unknown error (error 99999))",
        "the vendor library C:\\m\\cpedfm.dll is not a 32-bit Windows library (error 193): the "
        "helper program can load only a 32-bit cpedfm.dll",
        "the vendor library's helper program C:\\m\\cpedfm-host.exe could not be started (the "
        "file does not exist (error 2))",
        "no pipe for the vendor library's helper program (not enough memory (error 8))",
        "cannot open the journal C:\\m\\j.csv: the folder does not exist (error 3)",
        "cannot write the journal /a/j.csv: #28",
        "cannot create a pseudo-terminal",
        "cannot create the pipe \\\\.\\pipe\\meterreader-demo-7 (access is denied (error 5))",
        "the line to \\\\.\\pipe\\meterreader-demo-7 was lost (the other end has closed (error "
        "109))",
    };
    for (unsigned long code = 0; code < 20000; ++code)
        if (win32errorcode(code) != ReasonCode::none)
            reasons.insert("port 1 (COM3) could not be opened (" + win32reason(code, {}).english() +
                           ")");

    // The vendor library's path, every way it can end.
    for (int way = 0; way < 4; ++way) {
        testing::VirtualStation st;
        if (way == 0) st.vendor.raises = "ComOpen";
        st.vendor.open = way == 1 ? 0 : 1;
        st.vendor.close = way == 2 ? 0 : 1;
        st.vendor.record = way == 3 ? "123" : std::string(56, '7');
        st.read(51);
        reasons.insert(st.driver.outcome().reason.english());
    }
    // Serial readings against random faults of the line.
    testing::soak::Run run(20260607);
    for (int i = 0; i < 3000; ++i)
        reasons.insert(run.next().outcome.reason.english());
    reasons.erase("");
    EXPECT_GE(reasons.size(), 90u);

    for (const std::string& reason : reasons) {
        const std::string zh = reasontext(reason, Language::zh);
        EXPECT_EQ(leftoverenglish(zh), "") << reason << "\n  -> " << zh;
        EXPECT_EQ(std::regex_search(reasontext(reason, Language::en), std::regex("[\x80-\xff]")),
                  false)
            << reason;
    }
}

} // namespace
} // namespace meter
