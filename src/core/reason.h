// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a reading, a refusal or a file operation did not go as asked: a code from one list plus
// the parts that vary (a register, a byte position, a count, a path, a message of the system).
// Every layer returns its reasons as values of this type; only the front ends turn them into
// text, in the technician's language, from the one table of texts in reason.cpp.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace meter {

// Chinese is the source and the default.
enum class Language { zh, en };

// The codes, each with its English and its Chinese text. In the English text a slot stands for
// a part that varies:
//   {n} a whole number              {s} any text, kept as it is (a path, a byte, a message)
//   {r} another reason              {w} the name of a framed reply ("register reply")
//   {g} a register's name ("表头")   {l} places joined by " or "
// The Chinese text takes the same parts as %1 to %9, in the English order. The English text is
// also what the JSON and the journal keep, so it does not change once released; the name of
// the code is the JSON's stable "reason_code".
#define METER_REASONS(X)                                                                                      \
    /* The end of a reading. */                                                                               \
    X(cancelled_by_operator, "cancelled by the operator", "操作员已取消")                                     \
    X(cancelled, "the reading was cancelled", "读取已取消")                                                   \
    X(reading_failed, "the reading failed", "读取失败")                                                       \
    X(registers_all_zero, "the meter's registers are all zero", "邮资表的寄存器全部为零")                     \
    X(no_register_values, "the meter gave no register values", "邮资表没有给出寄存器值")                      \
    X(no_reading_sequence, "machine type {n} has no reading sequence", "机器类型 %1 没有读取流程")            \
    X(short_record, "the record read has {n} characters instead of 56",                                       \
      "读到的记录有 %1 个字符，而不是 56 个")                                                                 \
    X(internal_error, "internal error: {s}", "内部错误：%1")                                                  \
    X(internal_error_unknown, "internal error", "内部错误")                                                   \
    /* A verified reading: the same reading twice, good only when both records agree. */                      \
    X(readings_differ, "the two readings' {g} differ: {s} / {s}", "两次读取的%1不一致：%2 / %3")               \
    X(second_reading_failed, "the second reading: {r}", "第二次读取：%1")                                     \
    /* Refused before a reading. */                                                                           \
    X(port_above_8, "port {n} is above 8", "端口 %1 大于 8")                                                  \
    X(port_above_8_reach,                                                                                     \
      "{r}; a port above 8 (COM9, say) is read by putting its device behind a port from 1 to 8: "            \
      "--device 1=COM9, or the window's device picker",                                                       \
      "%1；端口 8 以上的设备（例如 COM9）要放在 1 到 8 的某个端口后面读取：--device 1=COM9，"                 \
      "或者用窗口里的“选择设备”")                                                                             \
    X(type_not_in_list, "machine type \"{s}\" is not in the list", "机器类型 \"%1\" 不在列表中")              \
    X(pair_refused, "port {n} or machine type refused", "端口 %1 或机器类型被拒绝")                           \
    X(port_text_empty, "the port text is empty; give a port from 1 to 8",                                     \
      "端口为空；请给出 1 到 8 之间的端口")                                                                   \
    X(port_not_number, "port \"{s}\" is not a port number; give a port from 1 to 8",                          \
      "端口 \"%1\" 不是端口号；请给出 1 到 8 之间的端口")                                                     \
    X(port_out_of_range, "port {s} is not a port from 1 to 8", "端口 %1 不在 1 到 8 之间")                    \
    X(reading_running, "a reading is running", "正在读取")                                                    \
    X(option_needs_value, "{s} needs a value (see --help)", "%1 需要一个值（见 --help）")                     \
    X(option_unknown, "unknown option {s} (see --help)", "未知的选项 %1（见 --help）")                        \
    X(option_not_taken, "{s} (see --help)", "%1（见 --help）")                                                \
    X(lang_refused, "--lang takes zh or en", "--lang 只能是 zh 或 en")                                        \
    X(options_together, "{s} cannot be given with {s}", "%1 不能与 %2 同时使用")                              \
    X(option_needs_option, "{s} needs {s}", "%1 需要 %2")                                                     \
    /* The vendor library and its helper program. */                                                          \
    X(helper_not_found_nodir,                                                                                 \
      "the vendor library's helper program {s} was not found (the program's own folder is "                   \
      "unknown)",                                                                                             \
      "找不到厂商库的辅助程序 %1（程序所在的文件夹未知）")                                                    \
    X(helper_not_found, "the vendor library's helper program {s} was not found at {l}",                       \
      "找不到厂商库的辅助程序 %1（找过：%2）")                                                                \
    X(helper_not_started, "the vendor library's helper program {s} could not be started ({r})",               \
      "无法启动厂商库的辅助程序 %1（%2）")                                                                    \
    X(helper_malformed, "the vendor library's helper program gave a malformed answer to {s}",                 \
      "厂商库的辅助程序对 %1 的应答格式错误")                                                                 \
    X(helper_no_pipe_error, "no pipe for the vendor library's helper program (error {n})",                    \
      "无法为厂商库的辅助程序建立管道（错误 %1）")                                                            \
    X(helper_no_pipe, "no pipe for the vendor library's helper program ({r})",                                \
      "无法为厂商库的辅助程序建立管道（%1）")                                                                 \
    X(helper_no_channel, "no channel to the vendor library's helper program ({s})",                           \
      "无法与厂商库的辅助程序建立通道（%1）")                                                                 \
    X(vendor_crashed_signal_text, "the vendor library crashed in {s} (signal {n}, {s})",                      \
      "厂商库在 %1 中崩溃（信号 %2，%3）")                                                                    \
    X(vendor_crashed_signal, "the vendor library crashed in {s} (signal {n})",                                \
      "厂商库在 %1 中崩溃（信号 %2）")                                                                        \
    X(vendor_crashed_exit, "the vendor library crashed in {s} (exit status {s})",                             \
      "厂商库在 %1 中意外退出（退出状态 %2）")                                                                \
    X(vendor_crashed_closed,                                                                                  \
      "the vendor library crashed in {s} (closed its output without "                                         \
      "ending)",                                                                                              \
      "厂商库在 %1 中关闭了输出却没有结束")                                                                   \
    X(vendor_hung, "the vendor library stopped responding (no answer to {s} within {n} ms)",                  \
      "厂商库停止响应（%2 毫秒内没有对 %1 的应答）")                                                          \
    X(vendor_open_failed_detail, "the vendor library could not open port {n} ({r})",                          \
      "厂商库无法打开端口 %1（%2）")                                                                          \
    X(vendor_open_failed, "the vendor library could not open port {n}", "厂商库无法打开端口 %1")              \
    X(vendor_voided_detail, "the vendor library voided the reading ({r})",                                    \
      "厂商库作废了这次读取（%1）")                                                                           \
    X(vendor_voided, "the vendor library voided the reading", "厂商库作废了这次读取")                         \
    X(vendor_not_found_nodir,                                                                                 \
      "the vendor library {s} was not found (the program's own folder is unknown)",                           \
      "找不到厂商库 %1（程序所在的文件夹未知）")                                                              \
    X(vendor_not_found, "the vendor library {s} was not found at {l}",                                        \
      "找不到厂商库 %1（找过：%2）")                                                                          \
    X(vendor_not_loaded_error, "the vendor library {s} could not be loaded (error {n})",                      \
      "无法加载厂商库 %1（错误 %2）")                                                                         \
    X(vendor_not_loaded_detail, "the vendor library {s} could not be loaded ({r})",                           \
      "无法加载厂商库 %1（%2）")                                                                              \
    X(vendor_wrong_bits,                                                                                      \
      "the vendor library {s} is not a {n}-bit Windows library (error {n}): the helper program "              \
      "can load only a {n}-bit {s}",                                                                          \
      "厂商库 %1 不是 %2 位的 Windows 库（错误 %3）：辅助程序只能加载 %4 位的 %5")                            \
    X(vendor_not_loaded, "the vendor library {s} could not be loaded", "无法加载厂商库 %1")                   \
    X(vendor_lacks_functions, "the vendor library {s} lacks ComOpen, ReadRegister or ComClose",               \
      "厂商库 %1 缺少 ComOpen、ReadRegister 或 ComClose")                                                     \
    X(vendor_record_too_long, "the vendor library returned a record of {n} bytes, more than {n}",             \
      "厂商库返回的记录有 %1 字节，超过 %2 字节")                                                             \
    X(host_not_a_request, "not a request: {s}", "不是请求：%1")                                               \
    X(meter_no_answer, "the meter did not answer", "邮资表没有应答")                                          \
    X(meter_bad_record, "the meter's answer was not a valid register record",                                 \
      "邮资表的应答不是有效的寄存器记录")                                                                     \
    X(vendor_port_not_open, "port {n} is not open", "端口 %1 没有打开")                                       \
    /* Which device stands behind a port number. */                                                           \
    X(ports_number_outside, "port number {n} is outside 1 to 8", "端口号 %1 不在 1 到 8 之间")                \
    X(ports_no_path, "no device path given for port {n}", "没有给出端口 %1 的设备路径")                       \
    X(ports_not_entry, "'{s}' is not of the form N=PATH (for example 1=/dev/ttyUSB0)",                        \
      "'%1' 不是 N=PATH 的形式（例如 1=/dev/ttyUSB0）")                                                       \
    X(ports_not_number, "'{s}' in '{s}' is not a port number", "'%2' 中的 '%1' 不是端口号")                   \
    X(ports_variable, "{s}: {r}", "%1：%2")                                                                   \
    X(sim_device_not_opened, "cannot open {s}: {r}", "无法打开 %1：%2")                                       \
    X(sim_not_serial, "{s} is not a serial device", "%1 不是串口设备")                                        \
    X(sim_settings_unreadable, "{s} refused its settings: {r}", "%1 拒绝读取它的参数：%2")                    \
    X(sim_settings_unsupported, "{s} cannot take line settings {s}", "%1 不能使用线路参数 %2")                \
    X(sim_settings_refused, "{s} refused line settings {s}: {r}", "%1 拒绝了线路参数 %2：%3")                 \
    X(sim_settings_ignored, "{s} did not take line settings {s}", "%1 没有采用线路参数 %2")                   \
    X(replay_write_differs, "write {n}, byte {n}: the reader sent {s} where the capture has {s}",             \
      "第 %1 次写入的第 %2 个字节：读取程序发送了 %3，抓包中是 %4")                                           \
    X(replay_write_beyond, "the reader sent more than the capture's {n} writes",                              \
      "读取程序发送的内容多于抓包中的 %1 次写入")                                                             \
    X(replay_vendor_record,                                                                                   \
      "the capture holds calls of the vendor library, not the line: playing a copote meter "                  \
      "showing the recorded record",                                                                          \
      "抓包记录的是厂商库的调用，不是线路上的字节：模拟一台显示抓包中记录的邮资表")                           \
    X(replay_vendor_silent,                                                                                   \
      "the capture holds calls of the vendor library, not the line, and no record: playing a "                \
      "copote meter that does not answer",                                                                    \
      "抓包记录的是厂商库的调用，不是线路上的字节，且没有记录：模拟一台不应答的邮资表")                       \
    /* Opening and using the port. */                                                                         \
    X(port_not_opened, "port {n} could not be opened: {r}", "无法打开端口 %1：%2")                            \
    X(port_no_device_numbered, "port {n} has no device (ports are numbered from 1)",                          \
      "端口 %1 没有设备（端口从 1 开始编号）")                                                                \
    X(port_no_device, "port {n} has no device", "端口 %1 没有设备")                                           \
    X(device_missing, "port {n} ({s}) does not exist", "端口 %1（%2）不存在")                                 \
    X(device_is_folder, "port {n} ({s}) is a folder, not a serial device",                                    \
      "端口 %1（%2）是文件夹，不是串口设备")                                                                  \
    X(device_permission,                                                                                      \
      "port {n} ({s}): permission denied; add the user to the dialout group (sudo usermod -aG "               \
      "dialout $USER) and log in again",                                                                      \
      "端口 %1（%2）：没有权限；请把用户加入 dialout 组（sudo usermod -aG dialout $USER）" \
      "后重新登录")                                                                                           \
    X(device_busy_or_denied,                                                                                  \
      "port {n} ({s}) is in use by another program, or access to it is "                                      \
      "denied",                                                                                               \
      "端口 %1（%2）正被另一个程序占用，或者没有访问它的权限")                                                \
    X(device_busy, "port {n} ({s}) is in use by another program",                                             \
      "端口 %1（%2）正被另一个程序占用")                                                                      \
    X(port_busy, "port {n} is in use by another program", "端口 %1 正被另一个程序占用")                       \
    X(device_not_opened, "port {n} ({s}) could not be opened ({r})", "无法打开端口 %1（%2）：%3")             \
    X(device_baud, "port {n} ({s}) could not be set up (baud rate {n} is not supported)",                     \
      "无法设置端口 %1（%2）：不支持波特率 %3")                                                               \
    X(device_settings_refused_detail,                                                                         \
      "port {n} ({s}) could not be set up (the line settings {s} were refused: {r})",                         \
      "无法设置端口 %1（%2）：线路参数 %3 被拒绝（%4）")                                                      \
    X(device_settings_refused,                                                                                \
      "port {n} ({s}) could not be set up (the line settings {s} were "                                       \
      "refused)",                                                                                             \
      "无法设置端口 %1（%2）：线路参数 %3 被拒绝")                                                            \
    X(device_settings_ignored,                                                                                \
      "port {n} ({s}) could not be set up (the line settings {s} did "                                        \
      "not take)",                                                                                            \
      "无法设置端口 %1（%2）：线路参数 %3 没有生效")                                                          \
    X(device_not_set_up, "port {n} ({s}) could not be set up ({r})", "无法设置端口 %1（%2）：%3")             \
    X(device_not_serial_detail, "port {n} ({s}) is not a serial device ({r})",                                \
      "端口 %1（%2）不是串口设备（%3）")                                                                      \
    X(device_not_serial, "port {n} ({s}) is not a serial device", "端口 %1（%2）不是串口设备")                \
    X(device_no_dtr, "port {n} ({s}): DTR could not be asserted ({r})",                                       \
      "端口 %1（%2）：无法置位 DTR（%3）")                                                                    \
    X(write_port_closed, "cannot write: the port is not open", "无法写入：端口没有打开")                      \
    X(read_port_closed, "cannot read: the port is not open", "无法读取：端口没有打开")                        \
    X(line_write_stalled, "the line to {s} did not take the bytes within {n} s",                              \
      "通往 %1 的线路在 %2 秒内没有接收字节")                                                                 \
    X(line_lost_writing_hangup,                                                                               \
      "the line to {s} was lost while writing (the device hung up or "                                        \
      "was removed)",                                                                                         \
      "写入时通往 %1 的线路断开（设备挂断或被拔出）")                                                         \
    X(line_lost_hangup, "the line to {s} was lost (the device hung up or was removed)",                       \
      "通往 %1 的线路断开（设备挂断或被拔出）")                                                               \
    X(line_lost_writing, "the line to {s} was lost while writing ({r})",                                      \
      "写入时通往 %1 的线路断开（%2）")                                                                       \
    X(line_lost, "the line to {s} was lost ({r})", "通往 %1 的线路断开（%2）")                                \
    X(line_lost_write, "the line was lost (write failed)", "线路断开（写入失败）")                            \
    X(line_lost_read, "the line was lost (read failed)", "线路断开（读取失败）")                              \
    /* Files: the journal, a saved reading, the demo meter's own device. */                                   \
    X(journal_not_opened_detail, "cannot open the journal {s}: {r}", "无法打开日志 %1：%2")                   \
    X(journal_not_opened, "cannot open the journal {s}", "无法打开日志 %1")                                   \
    X(journal_not_written_detail, "cannot write the journal {s}: {r}", "无法写入日志 %1：%2")                 \
    X(journal_not_written, "cannot write the journal {s}", "无法写入日志 %1")                                 \
    X(file_not_written, "cannot write {s}", "无法写入 %1")                                                    \
    X(file_not_written_detail, "cannot write {s}: {r}", "无法写入 %1：%2")                                   \
    X(journal_not_ours,                                                                                       \
      "{s} is not a journal of this program (it does not begin with the journal's header); "                  \
      "nothing was added to it",                                                                              \
      "%1 不是本程序的日志（开头不是日志的表头），没有向它写入任何内容")                                      \
    X(file_folder_missing, "the folder does not exist", "文件夹不存在")                                       \
    X(file_cannot_create, "no file can be created in that folder", "那个文件夹里不能建立文件")                \
    X(file_path_not_folder, "a part of the path is not a folder", "路径中有一部分不是文件夹")                 \
    X(file_is_folder, "it is a folder, not a file", "它是文件夹，不是文件")                                   \
    X(file_not_regular, "it is not an ordinary file (a device or a pipe)",                                    \
      "它不是普通文件（是设备或管道）")                                                                       \
    X(file_permission_denied, "permission denied", "没有权限")                                                \
    X(file_read_only, "the file system is read-only", "文件系统是只读的")                                     \
    X(file_marked_read_only, "the file is marked read-only", "文件被设为只读")                               \
    X(file_not_capture, "it is not a capture of this program; it was left as it is",                          \
      "它不是本程序的抓包，保持原样")                                                                         \
    X(file_disk_full, "the disk is full", "磁盘已满")                                                         \
    X(file_missing, "it does not exist", "它不存在")                                                          \
    X(journal_not_read, "cannot read the journal {s}", "无法读取日志 %1")                                     \
    X(not_a_journal, "{s} is not a journal: it does not begin with the journal's header",                     \
      "%1 不是日志：文件开头不是日志的表头")                                                                  \
    X(no_pseudo_terminal, "cannot create a pseudo-terminal", "无法建立伪终端")                                \
    X(pipe_not_created, "cannot create the pipe {s} ({r})", "无法建立管道 %1（%2）")                          \
    /* Captures of a reading: made, read and replayed. */                                                     \
    X(capture_not_opened, "cannot read the capture {s}: {r}", "无法读取抓包 %1：%2")                          \
    X(capture_not_written, "cannot write the capture {s}: {r}", "无法写入抓包 %1：%2")                        \
    X(capture_too_large, "the capture has {n} bytes, more than the 16777216 a capture may have",              \
      "抓包有 %1 字节，超过了抓包最多 16777216 字节的限制")                                                   \
    X(capture_not_capture, "line {n}: this is not a capture of a reading", "第 %1 行：这不是读取的抓包")      \
    X(capture_newer_version,                                                                                  \
      "line {n}: the capture has format version {n}; this program reads up to version {n}",                   \
      "第 %1 行：抓包的格式版本是 %2，本程序最多读取版本 %3")                                                 \
    X(capture_unknown_type, "line {n}: machine type {n} is not known to this program",                        \
      "第 %1 行：本程序不认识机器类型 %2")                                                                    \
    X(capture_truncated, "line {n}: the capture ends without its outcome line (it was cut short)",            \
      "第 %1 行：抓包没有结果行就结束了（文件不完整）")                                                       \
    X(capture_bad_json, "line {n} is not a well-formed line of a capture", "第 %1 行不是格式正确的抓包行")    \
    X(capture_bad_field, "line {n}: the field \"{s}\" is missing or not valid",                               \
      "第 %1 行：字段 \"%2\" 缺失或无效")                                                                     \
    X(capture_bad_hex, "line {n}: the bytes are not pairs of hexadecimal digits",                             \
      "第 %1 行：字节不是成对的十六进制数字")                                                                 \
    X(capture_time_backwards, "line {n}: the time goes back from {n} ms to {n} ms",                           \
      "第 %1 行：时间从 %2 毫秒倒退到 %3 毫秒")                                                               \
    X(capture_unknown_event, "line {n}: unknown event \"{s}\"", "第 %1 行：未知的事件 \"%2\"")                \
    X(capture_again_twice, "line {n}: a second \"again\" line (a capture holds two readings at most)",          \
      "第 %1 行：第二个 \"again\" 行（一个抓包最多记录两次读取）")                                            \
    X(capture_after_outcome, "line {n}: the capture goes on after its outcome line",                          \
      "第 %1 行：抓包在结果行之后还有内容")                                                                   \
    X(capture_write_differs, "write {n} differs from the recorded one at byte {n}",                          \
      "第 %1 次写入在第 %2 字节与抓包中的不同")                                                               \
    X(capture_write_extra, "write {n} is not in the capture", "抓包中没有第 %1 次写入")                      \
    X(capture_no_vendor_call, "the reading calls {s}, but the capture holds no more calls of the library",   \
      "读取调用了 %1，但抓包中没有更多的库调用")                                                              \
    X(capture_other_vendor_call, "the reading calls {s} where the capture holds {s}",                        \
      "读取调用了 %1，而抓包中此处是 %2")                                                                     \
    X(capture_differs_end, "the end differs: the capture ended {r}, the replay {r}",                           \
      "结束方式不同：抓包中%1，重放时%2")                                                                     \
    X(capture_differs_reason, "the reason differs: the capture has \"{r}\", the replay \"{r}\"",               \
      "原因不同：抓包中是“%1”，重放得到“%2”")                                                                 \
    X(capture_end_normal, "normally", "正常结束")                                                             \
    X(capture_end_failure, "in failure", "失败结束")                                                          \
    X(capture_end_cancelled, "cancelled", "被取消")                                                           \
    X(capture_end_other, "as \"{s}\"", "以“%1”结束")                                                          \
    X(capture_no_reason, "no reason", "没有原因")                                                             \
    X(capture_differs_record, "the record differs: recorded \"{s}\", replayed \"{s}\"",                      \
      "记录不同：抓包中是 \"%1\"，重放得到 \"%2\"")                                                           \
    /* Our words for the system's error codes. */                                                             \
    X(win_not_supported, "the device does not support this function (error {n})",                             \
      "设备不支持这项功能（错误 %1）")                                                                        \
    X(win_file_not_found, "the file does not exist (error {n})", "文件不存在（错误 %1）")                     \
    X(win_path_not_found, "the folder does not exist (error {n})", "文件夹不存在（错误 %1）")                 \
    X(win_access_denied, "access is denied (error {n})", "拒绝访问（错误 %1）")                               \
    X(win_invalid_handle, "the handle is no longer valid (error {n})", "句柄已经失效（错误 %1）")             \
    X(win_no_memory, "not enough memory (error {n})", "内存不足（错误 %1）")                                  \
    X(win_invalid_drive, "the drive does not exist (error {n})", "驱动器不存在（错误 %1）")                   \
    X(win_write_protect, "the medium is write-protected (error {n})", "介质有写保护（错误 %1）")              \
    X(win_bad_unit, "the device cannot be found (error {n})", "找不到设备（错误 %1）")                        \
    X(win_not_ready, "the device is not ready (error {n})", "设备没有就绪（错误 %1）")                        \
    X(win_bad_command, "the device does not recognise the command (error {n})",                               \
      "设备不认识这个命令（错误 %1）")                                                                        \
    X(win_gen_failure, "the device does not work (error {n})", "设备不工作（错误 %1）")                       \
    X(win_sharing_violation, "another program is using it (error {n})",                                       \
      "另一个程序正在使用它（错误 %1）")                                                                      \
    X(win_lock_violation, "another program has locked part of it (error {n})",                                \
      "另一个程序锁定了它的一部分（错误 %1）")                                                                \
    X(win_no_device, "the device does not exist (error {n})", "设备不存在（错误 %1）")                        \
    X(win_invalid_parameter, "a parameter is not valid (error {n})", "参数无效（错误 %1）")                   \
    X(win_broken_pipe, "the other end has closed (error {n})", "另一端已经关闭（错误 %1）")                   \
    X(win_disk_full, "the disk is full (error {n})", "磁盘已满（错误 %1）")                                   \
    X(win_timeout, "the operation timed out (error {n})", "操作超时（错误 %1）")                              \
    X(win_invalid_name, "the name is not valid (error {n})", "名称无效（错误 %1）")                           \
    X(win_mod_not_found, "a library it needs was not found (error {n})",                                      \
      "找不到它需要的库（错误 %1）")                                                                          \
    X(win_busy, "it is busy (error {n})", "它正忙（错误 %1）")                                                \
    X(win_bad_exe_format, "it is not a program or library for this kind of Windows (error {n})",              \
      "它不是这种 Windows 的程序或库（错误 %1）")                                                             \
    X(win_name_too_long, "the name is too long (error {n})", "名称太长（错误 %1）")                           \
    X(win_exe_machine_type, "it is made for another kind of processor (error {n})",                           \
      "它是为另一种处理器制作的（错误 %1）")                                                                  \
    X(win_not_connected, "the device is not connected (error {n})", "设备没有连接（错误 %1）")                \
    X(win_device_removed, "the device was removed (error {n})", "设备已被移除（错误 %1）")                    \
    X(win_unknown, "an unknown error (error {n})", "未知错误（错误 %1）")                                     \
    X(system_message_code, "{s} (error {n})", "%1（错误 %2）")                                                \
    X(system_message, "{s}", "%1")                                                                            \
    /* Replies of the 5400 and Pitney meters. */                                                              \
    X(no_reply, "no reply to {g} after {n} polls", "轮询 %2 次后仍没有%1的应答")                              \
    X(nothing_received,                                                                                       \
      "{r}; not a single byte came back: check the machine type, the cable and the port",                     \
      "%1；没有收到任何字节：请检查机器类型、电缆和端口")                                                     \
    X(reply_too_late, "the reply to {g} came only at poll {n}, too late to ask for {g}",                      \
      "%1的应答到第 %2 次轮询才来，来不及再请求%3")                                                           \
    X(not_postage_value, "\"{s}\" is not a postage value", "\"%1\" 不是邮资数值")                             \
    X(reply_too_short, "a reply of {n} bytes is too short", "%1 字节的应答太短")                              \
    X(escaped_below_80, "escaped reply byte {s} is below 80", "转义后的应答字节 %1 小于 80")                  \
    X(not_packed_decimal, "reply byte {s} is not packed decimal", "应答字节 %1 不是压缩十进制数")             \
    X(reply_runs_on, "a reply ran on for {n} bytes after its header (at most 100 fit)",                       \
      "应答在帧头之后延续了 %1 字节（最多容纳 100 字节）")                                                    \
    X(frame_runs_on, "a reply frame runs past 100 bytes without its end byte 03",                             \
      "应答帧超过 100 字节仍没有结束字节 03")                                                                 \
    /* Replies of the framed commands. */                                                                     \
    X(block_closed_early,                                                                                     \
      "the data block of the {w} is closed early: ETX at reply byte {n}, its end belongs at "                 \
      "byte {n}",                                                                                             \
      "%1的数据块提前结束：ETX 在应答第 %2 字节，应在第 %3 字节")                                             \
    X(block_overrun,                                                                                          \
      "the data block of the {w} starting at reply byte {n} runs past its {n} bytes without an "              \
      "ETX",                                                                                                  \
      "%1的数据块从应答第 %2 字节开始，超过 %3 字节仍没有 ETX")                                               \
    X(block_unclosed, "the data block of the {w} is not closed by an ETX",                                    \
      "%1的数据块没有以 ETX 结束")                                                                            \
    X(block_unframed, "the data block of the {w} is not framed by STX and ETX",                               \
      "%1的数据块不在 STX 与 ETX 之间")                                                                       \
    X(block_nondigit, "malformed {w}: {s} at reply byte {n} is not a decimal digit",                          \
      "%1格式错误：应答第 %3 字节的 %2 不是十进制数字")                                                       \
    X(no_reply_form, "machine type {n} has no reply {n}", "机器类型 %1 没有应答 %2")                          \
    X(reply_overflow, "the {w} runs past {n} bytes", "%1超过 %2 字节")                                        \
    X(port_count_short, "the port counted {n} bytes waiting but gave only {n}",                               \
      "端口报告有 %1 字节待读，却只给出 %2 字节")                                                             \
    X(reply_timeout, "time-out after {n} ms ({n} polls) waiting for the {w}: {n} of {n} bytes",               \
      "等待%3超时：%1 毫秒（%2 次轮询）后只收到 %4 / %5 字节")                                                \
    X(fixed_byte_mismatch, "the {w} has {s} at byte {n} where {s} belongs",                                   \
      "%1第 %3 字节是 %2，应为 %4")                                                                           \
    X(command_refused,                                                                                        \
      "the meter did not accept the command: byte {n} of the acknowledgement is {s}, not {s}",                \
      "邮资表没有接受命令：确认应答第 %1 字节是 %2，不是 %3")                                                 \
    X(reply_unjudged, "the {w} was judged in no known way", "无法判断%1")

enum class ReasonCode : std::uint16_t {
    none, // nothing went wrong
#define METER_REASON_ENUM(name, english, chinese) name,
    METER_REASONS(METER_REASON_ENUM)
#undef METER_REASON_ENUM
};

class Reason;

// One varying part of a reason: a text or number, or a reason within the reason.
struct ReasonPart {
    std::string text;
    std::shared_ptr<const Reason> nested;
    bool operator==(const ReasonPart& other) const;
};

class Reason {
  public:
    Reason() = default;
    template <class... Parts> explicit Reason(ReasonCode code, Parts&&... parts) : code_(code) {
        parts_.reserve(sizeof...(Parts));
        (add(std::forward<Parts>(parts)), ...);
    }

    // A reason from parts already made, as one that crossed a channel is rebuilt.
    static Reason fromparts(ReasonCode code, std::vector<ReasonPart> parts) {
        Reason reason(code);
        reason.parts_ = std::move(parts);
        return reason;
    }

    ReasonCode code() const { return code_; }
    const std::vector<ReasonPart>& parts() const { return parts_; }
    // No reason: nothing went wrong.
    bool empty() const { return code_ == ReasonCode::none; }
    explicit operator bool() const { return !empty(); }

    // The stable name of the code ("no_reply"); empty for none.
    std::string_view name() const;
    // The text in `language`, for the technician to read; empty for none.
    std::string text(Language language) const;
    // The English text as the JSON and the journal keep it, unchanged since those files first
    // had it: a register keeps the meter's own name there ("no reply to 表头 after 60 polls"),
    // where text(Language::en) names it in English.
    std::string english() const;

    bool operator==(const Reason& other) const;

  private:
    void add(std::string text) { parts_.push_back({std::move(text), nullptr}); }
    void add(std::string_view text) { add(std::string(text)); }
    void add(const char* text) { add(std::string(text)); }
    void add(const Reason& reason) {
        parts_.push_back({{}, std::make_shared<const Reason>(reason)});
    }
    template <class T>
    requires std::is_integral_v<std::remove_cvref_t<T>>
    void add(T number) { add(std::to_string(number)); }

    ReasonCode code_ = ReasonCode::none;
    std::vector<ReasonPart> parts_;
};

// An exception of kind `Base` (std::runtime_error, std::invalid_argument, ...) that carries a
// reason; what() is its English text.
template <class Base> class ErrorWithReason : public Base {
  public:
    explicit ErrorWithReason(Reason reason) : Base(reason.english()), reason_(std::move(reason)) {}
    const Reason& reason() const { return reason_; }

  private:
    Reason reason_;
};

// One entry of the table, for whoever needs to walk it.
struct ReasonEntry {
    ReasonCode code;
    std::string_view name;
    std::string_view english;
    std::string_view chinese;
};
const std::vector<ReasonEntry>& reasontable();

// A register's name ("表头", as the reading sequences name what they wait for) in `language`;
// any other text comes back unchanged.
std::string registertext(std::string_view name, Language language);

} // namespace meter
