// SPDX-License-Identifier: GPL-3.0-or-later
// The reading report written as PDF offscreen and read back with poppler's tools; the help
// menu's texts.
#include "app/helpdialogs.h"
#include "app/language.h"
#include "app/reportsheet.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace meter;

namespace {

// What a poppler tool prints, or nullopt when it is not installed or fails.
std::optional<QString> poppler(const QString& tool, const QStringList& arguments) {
    if (QStandardPaths::findExecutable(tool).isEmpty()) return std::nullopt;
    QProcess p;
    p.start(tool, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return std::nullopt;
    return QString::fromUtf8(p.readAllStandardOutput());
}

ReadingReport pitney() {
    ReadingReport r;
    r.time = "2026-12-07T15:10:08+08:00";
    r.port = 3;
    r.device = "/dev/ttyUSB0";
    r.typetext = "pitneybows 950";
    r.code = 21;
    r.record = "000002111050"
               "000001234500"
               "000000876550"
               "0000004321"
               "0012345678";
    r.sent = " 2 30 31 3 A,";
    r.received = " 2 31 30 30 3 FE";
    return r;
}

// Traffic of a long exchange: `polls` requests of eight bytes each, the last one marked.
std::string longtraffic(int polls) {
    std::string s;
    for (int i = 0; i < polls; ++i)
        s += " 2 53 50 41 52 4B 3 E7,";
    return s + " 7E 7E";
}

struct SheetCase {
    const char* name;
    ReadingReport reading;
    QString reason;
    QStringList found;    // in the text of the PDF
    int pages;            // 0: more than one, each numbered out of all
    bool english = false; // the sheet in English, without a Chinese character
};

std::vector<SheetCase> sheetcases() {
    ReadingReport failed = pitney();
    failed.normal = false;
    failed.record = "0000021110500000012345";
    failed.reason = "no reply";
    ReadingReport nodata = pitney();
    nodata.typetext = "5400(4表头)";
    nodata.code = 12;
    nodata.record.clear();
    nodata.reason = "no data";
    ReadingReport demo = pitney();
    demo.device = "/dev/pts/0";
    demo.demo = true;
    demo.typetext = "5400(5表头)";
    demo.code = 13;
    ReadingReport spark = pitney();
    spark.typetext = "pitneybows spark";
    spark.code = 22;
    spark.received = longtraffic(2000);
    return {
        {"read",
         pitney(),
         {},
         {"邮资表读数报告",
          "总邮资：",
          "000002111050",
          "已用邮资：",
          "000001234500",
          "未用邮资：",
          "000000876550",
          "总件数：",
          "0000004321",
          "表头：",
          "0012345678",
          "pitneybows 950（代码 21）",
          "3 → /dev/ttyUSB0",
          "2026-12-07 15:10:08 (UTC+08:00)",
          "读取完成",
          "发送信息：",
          "2 30 31 3 A,",
          "接收信息：",
          "3 FE",
          "表号（序列号）：",
          "客户：",
          "技术员签字：",
          "meterreader 9.8.7",
          "第 1 页，共 1 页"},
         1},
        {"failed, with the reason in the sheet's language",
         failed,
         QStringLiteral("表头没有回答"),
         {"读取失败", "原因：", "表头没有回答", "000002111050", "0000012345"},
         1},
        {"no data, the values blank",
         nodata,
         QStringLiteral("没有数据"),
         {"没有读到数据", "5400(4表头)（代码 12）", "—"},
         1},
        {"a long spark exchange continues on further pages",
         spark,
         {},
         {"邮资表读数报告（续）", "接收信息：（续）", "7E 7E"},
         0},
        // A demo says so on its sheet, and never names its pseudo-terminal.
        {"a demo", demo, {}, {"演示：模拟的邮资表，不是真实的读数", "3 → 演示（模拟的邮资表）"}, 1},
        {"a demo in English, the type as the English list names it",
         demo,
         {},
         {"DEMO: a simulated meter, not a real reading", "3 → demo (simulated meter)",
          "5400 (5 heads) (code 13)"},
         1,
         true},
        {"in English",
         failed,
         QStringLiteral("no reply"),
         {"Meter reading report", "Total postage:", "pitneybows 950 (code 21)",
          "Port number:", "Reading failed", "Reason:", "no reply", "Sent data:", "Received data:",
          "Meter serial number:", "Customer:", "Technician's signature:", "Page 1 of 1"},
         1,
         true},
    };
}

TEST(ReportSheet, PdfHoldsEveryPartAndRenders) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const SheetCase& c : sheetcases()) {
        SCOPED_TRACE(c.name);
        uselanguage(c.english ? Language::en : Language::zh);
        const QString pdf = dir.filePath(QStringLiteral("sheet.pdf"));
        const ReportSheet sheet{c.reading, c.reason, QStringLiteral("9.8.7")};
        ASSERT_TRUE(sheet.writepdf(pdf).empty());
        const auto text = poppler(QStringLiteral("pdftotext"),
                                  {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        if (!text) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        for (const QString& found : c.found)
            EXPECT_TRUE(text->contains(found)) << found.toStdString() << "\n"
                                               << text->toStdString();
        const auto pages = text->count(QLatin1Char('\f'));
        if (c.pages > 0) {
            EXPECT_EQ(pages, c.pages);
        } else {
            EXPECT_GT(pages, 1);
            for (int page : {1, int(pages)})
                EXPECT_TRUE(
                    text->contains(QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(pages)));
        }
        EXPECT_FALSE(text->contains(QStringLiteral("/dev/pts/0")));
        if (c.english) {
            EXPECT_FALSE(text->contains(
                QRegularExpression(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"))))
                << text->toStdString();
            uselanguage(Language::zh);
        }
        // No request of the traffic is lost at a line's or a page's end.
        const QString request = QStringLiteral("E7,");
        EXPECT_EQ(text->count(request), QString::fromStdString(c.reading.received).count(request));
        // poppler renders the first page.
        const QString png = dir.filePath(QStringLiteral("page"));
        ASSERT_TRUE(poppler(QStringLiteral("pdftoppm"),
                            {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("40"),
                             QStringLiteral("-f"), QStringLiteral("1"),
                             QStringLiteral("-singlefile"), pdf, png}));
        EXPECT_GT(QFile(png + QStringLiteral(".png")).size(), 1000);
    }
}

TEST(ReportSheet, UnwritablePathSaysSo) {
    const ReportSheet sheet{pitney(), {}, QStringLiteral("1")};
    const Reason why = sheet.writepdf(QStringLiteral("/nonexistent-folder/sheet.pdf"));
    EXPECT_FALSE(why.empty());
    EXPECT_NE(why.english().find("/nonexistent-folder/sheet.pdf"), std::string::npos);
}

TEST(ReportSheet, TrafficWrapsBetweenBytesAndBreaksWhatMust) {
    const auto within = [](qsizetype n) { return [n](const QString& s) { return s.size() <= n; }; };
    const struct {
        QString text;
        qsizetype width;
        QStringList lines;
    } cases[] = {
        {{}, 10, {}},
        {QStringLiteral(" 2 30 31 3"), 10, {QStringLiteral("2 30 31 3")}},
        {QStringLiteral(" 2 30 31 3 FE 7"),
         8,
         {QStringLiteral("2 30 31"), QStringLiteral("3 FE 7")}},
        {QStringLiteral("01234567890123"),
         5,
         {QStringLiteral("01234"), QStringLiteral("56789"), QStringLiteral("0123")}},
        {QStringLiteral(" A\n B  C"), 10, {QStringLiteral("A"), QStringLiteral("B C")}},
        // Nothing fits: one character a line, nothing lost, no endless loop.
        {QStringLiteral("AB C"),
         0,
         {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wraptraffic(c.text, within(c.width)), c.lines) << c.text.toStdString();
}

TEST(Help, AboutNamesVersionLicenceAndFiles) {
    const QString text =
        Help::abouttext(QStringLiteral("/home/t/.config/meterreader/meterreader.ini"),
                        QStringLiteral("/home/t/journal.csv"));
    for (const QString& part :
         {QStringLiteral("meterreader " METERREADER_VERSION), QStringLiteral("GPL-3.0-or-later"),
          QStringLiteral("设置文件：/home/t/.config/meterreader/meterreader.ini"),
          QStringLiteral("日志文件：/home/t/journal.csv")})
        EXPECT_TRUE(text.contains(part)) << part.toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
