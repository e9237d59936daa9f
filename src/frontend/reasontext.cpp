// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/reasontext.h"

#include "frontend/recordview.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace meter {

namespace {

// A register as the reading sequences name it, and its name in English.
struct Name {
    std::string_view zh;
    std::string_view en;
};
constexpr std::array<Name, 8> registers{{
    {"总邮资", "total postage"},
    {"已用邮资", "used postage"},
    {"未用邮资", "unused postage"},
    {"总件数", "total pieces"},
    {"表头", "meter head"},
    {"确认", "acknowledgement"},
    {"寄存器", "registers"},
    {"copote", "copote"},
}};

// What a framed reply is called in a reason.
constexpr std::array<Name, 2> replies{{
    {"确认应答", "acknowledgement"},
    {"寄存器应答", "register reply"},
}};

// A reason in English and in Chinese. In the English text a slot stands for a varying part:
//   {n} a whole number                {s} any text, kept as it is (a path, a system message)
//   {r} another reason, translated    {w} the name of a framed reply
//   {g} a register's name             {l} places joined by " or "
// The Chinese text takes the slots' parts as %1 to %9, in the English order.
struct Pattern {
    const char* en;
    const char* zh;
};

// The more specific of two patterns that could both match comes first.
constexpr Pattern patterns[] = {
    // The end of a reading.
    {"cancelled by the operator", "操作员已取消"},
    {"the reading was cancelled", "读取已取消"},
    {"the reading failed", "读取失败"},
    {"the meter gave no register values", "邮资表没有给出寄存器值"},
    {"machine type {n} has no reading sequence", "机器类型 %1 没有读取流程"},
    {"the record read has {n} characters instead of 56", "读到的记录有 %1 个字符，而不是 56 个"},
    {"internal error: {r}", "内部错误：%1"},
    // Refused before a reading.
    {"port {n} is above 8", "端口 %1 大于 8"},
    {"machine type \"{s}\" is not in the list", "机器类型 \"%1\" 不在列表中"},
    // The vendor library and its helper program.
    {"the vendor library's helper program {s} was not found (the program's own folder is "
     "unknown)",
     "找不到厂商库的辅助程序 %1（程序所在的文件夹未知）"},
    {"the vendor library's helper program {s} was not found at {l}",
     "找不到厂商库的辅助程序 %1（找过：%2）"},
    {"the vendor library's helper program {s} could not be started ({r})",
     "无法启动厂商库的辅助程序 %1（%2）"},
    {"the vendor library's helper program gave a malformed answer to {s}",
     "厂商库的辅助程序对 %1 的应答格式错误"},
    {"no pipe for the vendor library's helper program (error {n})",
     "无法为厂商库的辅助程序建立管道（错误 %1）"},
    {"no pipe for the vendor library's helper program ({r})",
     "无法为厂商库的辅助程序建立管道（%1）"},
    {"no channel to the vendor library's helper program ({s})",
     "无法与厂商库的辅助程序建立通道（%1）"},
    {"the vendor library crashed in {s} (signal {n}, {s})", "厂商库在 %1 中崩溃（信号 %2，%3）"},
    {"the vendor library crashed in {s} (signal {n})", "厂商库在 %1 中崩溃（信号 %2）"},
    {"the vendor library crashed in {s} (exit status {s})",
     "厂商库在 %1 中意外退出（退出状态 %2）"},
    {"the vendor library crashed in {s} (closed its output without ending)",
     "厂商库在 %1 中关闭了输出却没有结束"},
    {"the vendor library stopped responding (no answer to {s} within {n} ms)",
     "厂商库停止响应（%2 毫秒内没有对 %1 的应答）"},
    {"the vendor library could not open port {n} ({r})", "厂商库无法打开端口 %1（%2）"},
    {"the vendor library could not open port {n}", "厂商库无法打开端口 %1"},
    {"the vendor library voided the reading ({r})", "厂商库作废了这次读取（%1）"},
    {"the vendor library voided the reading", "厂商库作废了这次读取"},
    {"the vendor library {s} was not found (the program's own folder is unknown)",
     "找不到厂商库 %1（程序所在的文件夹未知）"},
    {"the vendor library {s} was not found at {l}", "找不到厂商库 %1（找过：%2）"},
    {"the vendor library {s} could not be loaded (error {n})", "无法加载厂商库 %1（错误 %2）"},
    {"the vendor library {s} could not be loaded ({r})", "无法加载厂商库 %1（%2）"},
    {"the vendor library {s} is not a {n}-bit Windows library (error {n}): the helper program "
     "can load only a {n}-bit {s}",
     "厂商库 %1 不是 %2 位的 Windows 库（错误 %3）：辅助程序只能加载 %4 位的 %5"},
    {"the vendor library {s} could not be loaded", "无法加载厂商库 %1"},
    {"the vendor library {s} lacks ComOpen, ReadRegister or ComClose",
     "厂商库 %1 缺少 ComOpen、ReadRegister 或 ComClose"},
    {"the meter did not answer", "邮资表没有应答"},
    {"the meter's answer was not a valid register record", "邮资表的应答不是有效的寄存器记录"},
    {"port {n} is not open", "端口 %1 没有打开"},
    // Opening and using the port.
    {"port {n} could not be opened: {r}", "无法打开端口 %1：%2"},
    {"port {n} has no device (ports are numbered from 1)", "端口 %1 没有设备（端口从 1 开始编号）"},
    {"port {n} has no device", "端口 %1 没有设备"},
    {"port {n} ({s}) does not exist", "端口 %1（%2）不存在"},
    {"port {n} ({s}): permission denied; add the user to the dialout group (sudo usermod -aG "
     "dialout $USER) and log in again",
     "端口 %1（%2）：没有权限；请把用户加入 dialout 组（sudo usermod -aG dialout $USER）"
     "后重新登录"},
    {"port {n} ({s}) is in use by another program, or access to it is denied",
     "端口 %1（%2）正被另一个程序占用，或者没有访问它的权限"},
    {"port {n} ({s}) is in use by another program", "端口 %1（%2）正被另一个程序占用"},
    {"port {n} is in use by another program", "端口 %1 正被另一个程序占用"},
    {"port {n} ({s}) could not be opened ({r})", "无法打开端口 %1（%2）：%3"},
    {"port {n} ({s}) could not be set up (baud rate {n} is not supported)",
     "无法设置端口 %1（%2）：不支持波特率 %3"},
    {"port {n} ({s}) could not be set up (the line settings {s} were refused: {r})",
     "无法设置端口 %1（%2）：线路参数 %3 被拒绝（%4）"},
    {"port {n} ({s}) could not be set up (the line settings {s} were refused)",
     "无法设置端口 %1（%2）：线路参数 %3 被拒绝"},
    {"port {n} ({s}) could not be set up (the line settings {s} did not take)",
     "无法设置端口 %1（%2）：线路参数 %3 没有生效"},
    {"port {n} ({s}) could not be set up ({r})", "无法设置端口 %1（%2）：%3"},
    {"port {n} ({s}) is not a serial device ({r})", "端口 %1（%2）不是串口设备（%3）"},
    {"port {n} ({s}) is not a serial device", "端口 %1（%2）不是串口设备"},
    {"port {n} ({s}): DTR could not be asserted ({s})", "端口 %1（%2）：无法置位 DTR（%3）"},
    {"cannot write: the port is not open", "无法写入：端口没有打开"},
    {"cannot read: the port is not open", "无法读取：端口没有打开"},
    {"the line to {s} did not take the bytes within {n} s", "通往 %1 的线路在 %2 秒内没有接收字节"},
    {"the line to {s} was lost while writing (the device hung up or was removed)",
     "写入时通往 %1 的线路断开（设备挂断或被拔出）"},
    {"the line to {s} was lost (the device hung up or was removed)",
     "通往 %1 的线路断开（设备挂断或被拔出）"},
    {"the line to {s} was lost while writing ({r})", "写入时通往 %1 的线路断开（%2）"},
    {"the line to {s} was lost ({r})", "通往 %1 的线路断开（%2）"},
    {"the line was lost (write failed)", "线路断开（写入失败）"},
    {"the line was lost (read failed)", "线路断开（读取失败）"},
    // The journal, and the demo meter's own device.
    {"cannot open the journal {s}: {r}", "无法打开日志 %1：%2"},
    {"cannot open the journal {s}", "无法打开日志 %1"},
    {"cannot write the journal {s}: {r}", "无法写入日志 %1：%2"},
    {"cannot write the journal {s}", "无法写入日志 %1"},
    {"cannot create a pseudo-terminal", "无法建立伪终端"},
    {"cannot create the pipe {s} ({r})", "无法建立管道 %1（%2）"},
    // Our words for the system's error codes (core/win32errors.cpp).
    {"the device does not support this function (error {n})", "设备不支持这项功能（错误 %1）"},
    {"the file does not exist (error {n})", "文件不存在（错误 %1）"},
    {"the folder does not exist (error {n})", "文件夹不存在（错误 %1）"},
    {"access is denied (error {n})", "拒绝访问（错误 %1）"},
    {"the handle is no longer valid (error {n})", "句柄已经失效（错误 %1）"},
    {"not enough memory (error {n})", "内存不足（错误 %1）"},
    {"the drive does not exist (error {n})", "驱动器不存在（错误 %1）"},
    {"the medium is write-protected (error {n})", "介质有写保护（错误 %1）"},
    {"the device cannot be found (error {n})", "找不到设备（错误 %1）"},
    {"the device is not ready (error {n})", "设备没有就绪（错误 %1）"},
    {"the device does not recognise the command (error {n})", "设备不认识这个命令（错误 %1）"},
    {"the device does not work (error {n})", "设备不工作（错误 %1）"},
    {"another program is using it (error {n})", "另一个程序正在使用它（错误 %1）"},
    {"another program has locked part of it (error {n})", "另一个程序锁定了它的一部分（错误 %1）"},
    {"the device does not exist (error {n})", "设备不存在（错误 %1）"},
    {"a parameter is not valid (error {n})", "参数无效（错误 %1）"},
    {"the other end has closed (error {n})", "另一端已经关闭（错误 %1）"},
    {"the disk is full (error {n})", "磁盘已满（错误 %1）"},
    {"the operation timed out (error {n})", "操作超时（错误 %1）"},
    {"the name is not valid (error {n})", "名称无效（错误 %1）"},
    {"a library it needs was not found (error {n})", "找不到它需要的库（错误 %1）"},
    {"it is busy (error {n})", "它正忙（错误 %1）"},
    {"it is not a program or library for this kind of Windows (error {n})",
     "它不是这种 Windows 的程序或库（错误 %1）"},
    {"the name is too long (error {n})", "名称太长（错误 %1）"},
    {"it is made for another kind of processor (error {n})", "它是为另一种处理器制作的（错误 %1）"},
    {"the device is not connected (error {n})", "设备没有连接（错误 %1）"},
    {"the device was removed (error {n})", "设备已被移除（错误 %1）"},
    {"an unknown error (error {n})", "未知错误（错误 %1）"},
    // Replies of the 5400 and Pitney meters.
    {"no reply to {g} after {n} polls", "轮询 %2 次后仍没有%1的应答"},
    {"the reply to {g} came only at poll {n}, too late to ask for {g}",
     "%1的应答到第 %2 次轮询才来，来不及再请求%3"},
    {"\"{s}\" is not a postage value", "\"%1\" 不是邮资数值"},
    {"CRC over {n} bytes of a {n}-byte buffer", "CRC 超出范围：%2 字节的缓冲区里算 %1 字节"},
    {"a reply of {n} bytes is too short", "%1 字节的应答太短"},
    {"escaped reply byte {s} is below 80", "转义后的应答字节 %1 小于 80"},
    {"reply byte {s} is not packed decimal", "应答字节 %1 不是压缩十进制数"},
    {"a reply ran on for {n} bytes after its header (at most 100 fit)",
     "应答在帧头之后延续了 %1 字节（最多容纳 100 字节）"},
    {"a reply frame runs past 100 bytes without its end byte 03",
     "应答帧超过 100 字节仍没有结束字节 03"},
    // Replies of the framed commands.
    {"the data block of the {w} is closed early: ETX at reply byte {n}, its end belongs at "
     "byte {n}",
     "%1的数据块提前结束：ETX 在应答第 %2 字节，应在第 %3 字节"},
    {"the data block of the {w} starting at reply byte {n} runs past its {n} bytes without an "
     "ETX",
     "%1的数据块从应答第 %2 字节开始，超过 %3 字节仍没有 ETX"},
    {"the data block of the {w} is not closed by an ETX", "%1的数据块没有以 ETX 结束"},
    {"the data block of the {w} is not framed by STX and ETX", "%1的数据块不在 STX 与 ETX 之间"},
    {"malformed {w}: {s} at reply byte {n} is not a decimal digit",
     "%1格式错误：应答第 %3 字节的 %2 不是十进制数字"},
    {"machine type {n} has no reply {n}", "机器类型 %1 没有应答 %2"},
    {"the {w} runs past {n} bytes", "%1超过 %2 字节"},
    {"the port counted {n} bytes waiting but gave only {n}",
     "端口报告有 %1 字节待读，却只给出 %2 字节"},
    {"time-out after {n} ms ({n} polls) waiting for the {w}: {n} of {n} bytes",
     "等待%3超时：%1 毫秒（%2 次轮询）后只收到 %4 / %5 字节"},
    {"the {w} has {s} at byte {n} where {s} belongs", "%1第 %3 字节是 %2，应为 %4"},
    {"the meter did not accept the command: byte {n} of the acknowledgement is {s}, not {s}",
     "邮资表没有接受命令：确认应答第 %1 字节是 %2，不是 %3"},
    {"the {w} was judged in no known way", "无法判断%1"},
    // The system's own message, already in the user's language, with its code.
    {"{s} (error {n})", "%1（错误 %2）"},
};

std::string_view chinesefor(std::string_view english, const auto& table) {
    for (const Name& n : table)
        if (n.en == english || n.zh == english) return n.zh;
    return {};
}

struct Capture {
    char kind;
    std::string_view text;
};

// Whether `text` fits the slot `kind` on its own (the literal parts are matched around it).
bool fits(char kind, std::string_view text) {
    if (text.empty()) return false;
    switch (kind) {
    case 'n':
        for (const char c : text)
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        return true;
    case 'w':
        return !chinesefor(text, replies).empty();
    case 'g':
        return !chinesefor(text, registers).empty();
    default:
        return true;
    }
}

// Matches `text` against the rest of an English pattern, slots taking as little as they can.
bool match(std::string_view pattern, std::string_view text, std::vector<Capture>& captures) {
    const std::size_t slot = pattern.find('{');
    if (slot == std::string_view::npos) return pattern == text;
    if (text.substr(0, slot) != pattern.substr(0, slot)) return false;
    const char kind = pattern[slot + 1];
    const std::string_view after = pattern.substr(slot + 3);
    const std::string_view rest = text.substr(slot);
    for (std::size_t length = 1; length <= rest.size(); ++length) {
        const std::string_view part = rest.substr(0, length);
        if (kind == 'n' && !fits('n', part)) break; // a number ends at its first non-digit
        if (!fits(kind, part)) continue;
        captures.push_back({kind, part});
        if (match(after, rest.substr(length), captures)) return true;
        captures.pop_back();
    }
    return false;
}

std::string translate(std::string_view reason, Language language);

std::string render(const Capture& c, Language language) {
    const bool zh = language == Language::zh;
    switch (c.kind) {
    case 'r':
        return translate(c.text, language);
    case 'w':
        return zh ? std::string(chinesefor(c.text, replies)) : std::string(c.text);
    case 'g':
        return registertext(c.text, language);
    case 'l': {
        if (!zh) return std::string(c.text);
        std::string joined;
        std::string_view rest = c.text;
        const std::string_view separator = " or ";
        for (std::size_t at; (at = rest.find(separator)) != std::string_view::npos;
             rest.remove_prefix(at + separator.size()))
            joined.append(rest.substr(0, at)).append("、");
        return joined.append(rest);
    }
    default:
        return std::string(c.text);
    }
}

// The Chinese text with its %1 to %9 filled in.
std::string fillchinese(const char* text, const std::vector<Capture>& captures) {
    std::string out;
    for (const char* z = text; *z; ++z) {
        const std::size_t index = static_cast<std::size_t>(z[1] - '1');
        if (*z == '%' && z[1] >= '1' && z[1] <= '9' && index < captures.size()) {
            out += render(captures[index], Language::zh);
            ++z;
        } else {
            out += *z;
        }
    }
    return out;
}

// The English text with its slots filled in: only the names of registers change.
std::string fillenglish(std::string_view text, const std::vector<Capture>& captures) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t slot; (slot = text.find('{')) != std::string_view::npos;) {
        out.append(text.substr(0, slot));
        if (next < captures.size()) out += render(captures[next++], Language::en);
        text.remove_prefix(slot + 3);
    }
    return out.append(text);
}

std::string translate(std::string_view reason, Language language) {
    std::vector<Capture> captures;
    for (const Pattern& p : patterns) {
        captures.clear();
        if (!match(p.en, reason, captures)) continue;
        return language == Language::zh ? fillchinese(p.zh, captures) : fillenglish(p.en, captures);
    }
    return std::string(reason);
}

const char* fromenvironment(EnvironmentLookup lookup, const char* name) {
    const char* value = lookup ? lookup(name) : std::getenv(name);
    return value && *value ? value : nullptr;
}

// "en_GB.UTF-8" -> "en"; "C.UTF-8" -> "C".
std::string_view languageof(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_.@:"));
}

} // namespace

Language systemlanguage(EnvironmentLookup lookup) {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if ((locale = fromenvironment(lookup, name))) break;
    if (!locale) {
#ifdef _WIN32
        if (!lookup)
            return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH ? Language::en
                                                                             : Language::zh;
#endif
        return Language::zh;
    }
    std::string_view chosen = languageof(locale);
    // As gettext does: LANGUAGE is a list of preferences that counts only for a real locale.
    if (chosen == "C" || chosen == "POSIX") return Language::zh;
    if (const char* list = fromenvironment(lookup, "LANGUAGE")) chosen = languageof(list);
    return chosen == "en" ? Language::en : Language::zh;
}

std::optional<Language> chooselanguage(std::string_view option, EnvironmentLookup lookup) {
    if (option.empty()) return systemlanguage(lookup);
    if (option == "zh") return Language::zh;
    if (option == "en") return Language::en;
    return std::nullopt;
}

std::string reasontext(std::string_view englishreason, Language language) {
    return translate(englishreason, language);
}

std::string resultlabel(ResultField field, Language language) {
    const bool zh = language == Language::zh;
    switch (field) {
    case ResultField::total:
        return zh ? prefix::total : "Total postage: ";
    case ResultField::used:
        return zh ? prefix::used : "Used postage: ";
    case ResultField::unused:
        return zh ? prefix::unused : "Unused postage: ";
    case ResultField::pieces:
        return zh ? prefix::pieces : "Total pieces: ";
    case ResultField::head:
        return zh ? prefix::head : "Meter head: ";
    }
    return {};
}

} // namespace meter
