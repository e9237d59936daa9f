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
        <translation>Stop</translation>
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
</context>
</TS>
