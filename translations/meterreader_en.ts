<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>meter::DevicePicker</name>
    <message>
        <source>选择设备</source>
        <translation>Choose Device</translation>
    </message>
    <message>
        <source>空白：端口的默认设备</source>
        <translation>Empty: the port&apos;s default device</translation>
    </message>
    <message>
        <source>端口号：</source>
        <translation>Port number:</translation>
    </message>
    <message>
        <source>设备：</source>
        <translation>Device:</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>现有的串口设备：</source>
        <translation>Serial devices present:</translation>
    </message>
    <message>
        <source>（没有找到串口设备）</source>
        <translation>(no serial device found)</translation>
    </message>
    <message>
        <source>端口 %1 的默认设备：%2</source>
        <translation>Default device of port %1: %2</translation>
    </message>
    <message>
        <source>启动时由 --device 或 METERREADER_PORTS 指定（以后启动时仍以它为准）。</source>
        <translation>Set at start by --device or METERREADER_PORTS (which still win at later starts).</translation>
    </message>
    <message>
        <source>默认设备（%1）</source>
        <translation>Default device (%1)</translation>
    </message>
    <message>
        <source>演示：这个端口连着模拟的邮资表。</source>
        <translation>Demo: the simulated meter stands behind this port.</translation>
    </message>
    <message>
        <source>演示中选的设备只用于这次运行，不会保存。</source>
        <translation>A device picked in the demo holds for this run only and is not saved.</translation>
    </message>
</context>
<context>
    <name>meter::Form1</name>
    <message>
        <source>总邮资：</source>
        <translation>Total postage: </translation>
    </message>
    <message>
        <source>已用邮资：</source>
        <translation>Used postage: </translation>
    </message>
    <message>
        <source>未用邮资：</source>
        <translation>Unused postage: </translation>
    </message>
    <message>
        <source>总件数：</source>
        <translation>Total pieces: </translation>
    </message>
    <message>
        <source>表头：</source>
        <translation>Meter head: </translation>
    </message>
    <message>
        <source>表头号：</source>
        <translation>Meter head number: </translation>
    </message>
    <message>
        <source>高速机</source>
        <translation>high-speed machine</translation>
    </message>
    <message>
        <source>5400(4表头)</source>
        <translation>5400 (4 heads)</translation>
    </message>
    <message>
        <source>5400(5表头)</source>
        <translation>5400 (5 heads)</translation>
    </message>
    <message>
        <source>meterreader — 演示（模拟的邮资表）</source>
        <translation>meterreader — demo (simulated meter)</translation>
    </message>
    <message>
        <source>端口号：</source>
        <translation>Port number:</translation>
    </message>
    <message>
        <source>机器类型：</source>
        <translation>Machine type:</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>选择或输入机器类型，文字须完全一致（区分大小写）：
%1</source>
        <translation>Choose or type the machine type; the text must match exactly (case-sensitive):
%1</translation>
    </message>
    <message>
        <source>发送信息：</source>
        <translation>Sent data:</translation>
    </message>
    <message>
        <source>接收信息：</source>
        <translation>Received data:</translation>
    </message>
    <message>
        <source>演示：每个端口都连着模拟的邮资表</source>
        <translation>Demo: the simulated meter is behind every port</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>保存…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>打印报告…</source>
        <translation>Print Report…</translation>
    </message>
    <message>
        <source>导出 PDF…</source>
        <translation>Export PDF…</translation>
    </message>
    <message>
        <source>导出 PDF</source>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>PDF 文件 (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>已导出：%1</source>
        <translation>Exported: %1</translation>
    </message>
    <message>
        <source>未导出：%1</source>
        <translation>Not exported: %1</translation>
    </message>
    <message>
        <source>邮资表读数报告</source>
        <translation>Meter reading report</translation>
    </message>
    <message>
        <source>报告已送往打印机：%1</source>
        <translation>Report sent to the printer: %1</translation>
    </message>
    <message>
        <source>未打印：打印机 %1 不接受</source>
        <translation>Not printed: the printer %1 did not take it</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>User&apos;s Guide</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>保存抓包…</source>
        <translation>Save capture…</translation>
    </message>
    <message>
        <source>保存抓包</source>
        <translation>Save capture</translation>
    </message>
    <message>
        <source>抓包文件 (*.jsonl)</source>
        <translation>Captures (*.jsonl)</translation>
    </message>
    <message>
        <source>没有可保存的抓包</source>
        <translation>No capture to save</translation>
    </message>
    <message>
        <source>记录日志</source>
        <translation>Keep a Journal</translation>
    </message>
    <message>
        <source>日志文件…</source>
        <translation>Journal File…</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>编辑(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>复制结果</source>
        <translation>Copy Results</translation>
    </message>
    <message>
        <source>读取(&amp;R)</source>
        <translation>&amp;Reading</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>设备(&amp;D)</source>
        <translation>&amp;Device</translation>
    </message>
    <message>
        <source>选择设备…</source>
        <translation>Choose Device…</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>未读取：%1</source>
        <translation>Not read: %1</translation>
    </message>
    <message>
        <source>读取失败（%1 秒）：%2</source>
        <translation>Reading failed (%1 s): %2</translation>
    </message>
    <message>
        <source>没有读到数据（%1 秒）：%2</source>
        <translation>No data read (%1 s): %2</translation>
    </message>
    <message>
        <source>读取完成（%1 秒）</source>
        <translation>Reading done (%1 s)</translation>
    </message>
    <message>
        <source>；日志未写入：%1</source>
        <translation>; journal not written: %1</translation>
    </message>
    <message>
        <source>端口：—</source>
        <translation>Port: —</translation>
    </message>
    <message>
        <source>端口 %1：没有设备</source>
        <translation>Port %1: no device</translation>
    </message>
    <message>
        <source>端口 %1 → %2</source>
        <translation>Port %1 → %2</translation>
    </message>
    <message>
        <source>（不存在）</source>
        <translation> (missing)</translation>
    </message>
    <message>
        <source>日志：每次读取都记在 %1</source>
        <translation>Journal: every reading is recorded in %1</translation>
    </message>
    <message>
        <source>日志已关闭</source>
        <translation>Journal off</translation>
    </message>
    <message>
        <source>日志文件</source>
        <translation>Journal File</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>没有可保存的读取结果</source>
        <translation>There is no reading to save</translation>
    </message>
    <message>
        <source>保存读取结果</source>
        <translation>Save Reading</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv);;JSON 文件 (*.json)</source>
        <translation>CSV files (*.csv);;JSON files (*.json)</translation>
    </message>
    <message>
        <source>已保存：%1</source>
        <translation>Saved: %1</translation>
    </message>
    <message>
        <source>未保存：%1</source>
        <translation>Not saved: %1</translation>
    </message>
    <message>
        <source>正在读取 %1</source>
        <translation>Reading %1</translation>
    </message>
    <message>
        <source>（%1 秒）</source>
        <translation> (%1 s)</translation>
    </message>
    <message>
        <source>：等待 %1</source>
        <translation>: waiting for %1</translation>
    </message>
    <message>
        <source>（%1 / %2 秒）</source>
        <translation> (%1 / %2 s)</translation>
    </message>
    <message>
        <source>查看日志…</source>
        <translation>View Journal…</translation>
    </message>
</context>
<context>
    <name>meter::JournalModel</name>
    <message>
        <source>读到数据</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>没有数据</source>
        <translation>No data</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>设备：%1
记录：%2
结束：%3</source>
        <translation>Device: %1
Record: %2
End: %3</translation>
    </message>
    <message>
        <source>
原因代码：%1</source>
        <translation>
Reason code: %1</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>机器类型</source>
        <translation>Machine type</translation>
    </message>
    <message>
        <source>总邮资</source>
        <translation>Total postage</translation>
    </message>
    <message>
        <source>已用邮资</source>
        <translation>Used postage</translation>
    </message>
    <message>
        <source>未用邮资</source>
        <translation>Unused postage</translation>
    </message>
    <message>
        <source>总件数</source>
        <translation>Pieces</translation>
    </message>
    <message>
        <source>表头</source>
        <translation>Meter head</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>原因</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>正常结束</source>
        <translation>normal end</translation>
    </message>
    <message>
        <source>失败结束</source>
        <translation>failure end</translation>
    </message>
    <message>
        <source>
原因：%1</source>
        <translation>
Reason: %1</translation>
    </message>
</context>
<context>
    <name>meter::JournalView</name>
    <message>
        <source>查找：端口、类型、数值、原因…</source>
        <translation>Find: port, type, value, reason…</translation>
    </message>
    <message>
        <source>全部状态</source>
        <translation>Every status</translation>
    </message>
    <message>
        <source>读到数据</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>没有数据</source>
        <translation>No data</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>复制行</source>
        <translation>Copy Rows</translation>
    </message>
    <message>
        <source>打开其他日志…</source>
        <translation>Open Another Journal…</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>日志 — %1</source>
        <translation>Journal — %1</translation>
    </message>
    <message>
        <source>%1：%2 次读取</source>
        <translation>%1: %2 readings</translation>
    </message>
    <message>
        <source>%1：%2 次读取，显示 %3 次</source>
        <translation>%1: %2 readings, %3 shown</translation>
    </message>
    <message>
        <source>打开日志</source>
        <translation>Open Journal</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv);;所有文件 (*)</source>
        <translation>CSV files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>还没有读数</source>
        <translation>No readings yet</translation>
    </message>
    <message>
        <source>%1：还没有读数</source>
        <translation>%1: no readings yet</translation>
    </message>
</context>
<context>
    <name>meter::Help</name>
    <message>
        <source>关于 meterreader</source>
        <translation>About meterreader</translation>
    </message>
    <message>
        <source>meterreader 使用说明</source>
        <translation>meterreader User&apos;s Guide</translation>
    </message>
    <message>
        <source>meterreader %1
读取邮资表的计数器：总邮资、已用邮资、未用邮资、总件数和表头号。

本程序是自由软件，依照 GNU 通用公共许可证第 3 版或（由你选择）任何更新的版本（GPL-3.0-or-later）发布，不提供任何担保。许可证全文见程序附带的 LICENSE。

设置文件：%2
日志文件：%3</source>
        <translation>meterreader %1
Reads a postage meter&apos;s registers: total, used and unused postage, total pieces and the meter head number.

This program is free software, released under the GNU General Public License, version 3 or (at your option) any later version (GPL-3.0-or-later), without any warranty. The licence&apos;s full text is in the LICENSE file that comes with the program.

Settings file: %2
Journal: %3</translation>
    </message>
</context>
<context>
    <name>meter::ReportSheet</name>
    <message>
        <source>演示：模拟的邮资表，不是真实的读数</source>
        <translation>DEMO: a simulated meter, not a real reading</translation>
    </message>
    <message>
        <source>%1 → 演示（模拟的邮资表）</source>
        <translation>%1 → demo (simulated meter)</translation>
    </message>
    <message>
        <source>邮资表读数报告</source>
        <translation>Meter reading report</translation>
    </message>
    <message>
        <source>邮资表读数报告（续）</source>
        <translation>Meter reading report (continued)</translation>
    </message>
    <message>
        <source>读取完成</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>没有读到数据</source>
        <translation>No data read</translation>
    </message>
    <message>
        <source>读取失败</source>
        <translation>Reading failed</translation>
    </message>
    <message>
        <source>%1（代码 %2）</source>
        <translation>%1 (code %2)</translation>
    </message>
    <message>
        <source>时间：</source>
        <translation>Time:</translation>
    </message>
    <message>
        <source>状态：</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>原因：</source>
        <translation>Reason:</translation>
    </message>
    <message>
        <source>（无）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>%1（续）</source>
        <translation>%1 (continued)</translation>
    </message>
    <message>
        <source>表号（序列号）：</source>
        <translation>Meter serial number:</translation>
    </message>
    <message>
        <source>客户：</source>
        <translation>Customer:</translation>
    </message>
    <message>
        <source>技术员签字：</source>
        <translation>Technician&apos;s signature:</translation>
    </message>
    <message>
        <source>端口 %1 · %2 · %3</source>
        <translation>Port %1 · %2 · %3</translation>
    </message>
    <message>
        <source>第 %1 页，共 %2 页</source>
        <translation>Page %1 of %2</translation>
    </message>
</context>
<context>
    <name>meter::Form1</name>
    <message>
        <source>核对读取（读两次）</source>
        <translation>Verify Reading (Read Twice)</translation>
    </message>
    <message>
        <source>核对读取：读两次</source>
        <translation>Verified reading: read twice</translation>
    </message>
    <message>
        <source>；已核对：两次读取一致</source>
        <translation>; verified: both readings agree</translation>
    </message>
</context>
<context>
    <name>meter::ReportSheet</name>
    <message>
        <source>已核对：两次读取一致</source>
        <translation>Verified: both readings agree</translation>
    </message>
</context>
<context>
    <name>meter::Form1</name>
    <message>
        <source>已清空；端口 %1，%2</source>
        <translation>Cleared; port %1, %2</translation>
    </message>
    <message>
        <source>；停止：Esc 或 读取 → 取消</source>
        <translation>; to stop: Esc or Reading → Cancel</translation>
    </message>
    <message>
        <source>日志文件未更换：%1</source>
        <translation>Journal file not changed: %1</translation>
    </message>
</context>
</TS>
