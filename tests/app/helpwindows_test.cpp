// SPDX-License-Identifier: GPL-3.0-or-later
// The windows around the reading, in the technician's language: the user's guide behind F1 and
// the journal's table.
#include "app/helpdialogs.h"
#include "app/journalview.h"
#include "app/language.h"
#include "frontend/readingreport.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace meter {
namespace {

QString resource(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool haschinese(const QString& text) {
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return text.contains(han);
}

// Each guide covers what a technician meets, shows its pictures from inside the program, and
// says nothing of building it.
TEST(Guide, CoversTheTechniciansTopicsWithItsPictures) {
    const struct {
        Language language;
        QStringList topics;
    } guides[] = {
        {Language::zh,
         {"开始", "结束", "Esc", "读取 → 取消", "保存抓包", "选择设备", "导出 PDF", "没有应答",
          "占用", "没有权限", "线路断开", "找不到厂商库", "journal.csv", "查看日志",
          "核对读取（读两次）"}},
        {Language::en,
         {"Start", "Clear", "Esc", "Reading → Cancel", "Save capture", "Choose Device",
          "Export PDF", "did not answer", "in use", "permission denied", "was lost",
          "vendor library", "journal.csv", "View Journal", "Verify Reading (Read Twice)"}},
    };
    for (const auto& g : guides) {
        const QString file = Help::guidefile(g.language);
        const QString text = resource(file);
        ASSERT_TRUE(text.startsWith(QStringLiteral("# meterreader"))) << file.toStdString();
        for (const QString& topic : g.topics)
            EXPECT_TRUE(text.contains(topic)) << file.toStdString() << ": " << topic.toStdString();
        EXPECT_EQ(haschinese(text), g.language == Language::zh) << file.toStdString();
        for (const char* building : {"cmake", "run.sh", "test.sh", "build/", "编译", "构建"})
            EXPECT_FALSE(text.contains(QLatin1String(building), Qt::CaseInsensitive)) << building;
        static const QRegularExpression picture(QStringLiteral("!\\[[^]]*\\]\\(([^)]+)\\)"));
        int pictures = 0;
        for (const QRegularExpressionMatch& m : picture.globalMatch(text)) {
            // As the window resolves it; the same link finds the picture in the source.
            const QString path =
                QLatin1Char(':') +
                QUrl(QStringLiteral("qrc") + file).resolved(QUrl(m.captured(1))).path();
            EXPECT_FALSE(QImage(path).isNull()) << path.toStdString();
            ++pictures;
        }
        EXPECT_GE(pictures, 6);
    }
}

// F1's window shows the guide of the window's language with its pictures; Esc closes it.
TEST(Guide, ShownInTheWindowsLanguageAndClosedByEsc) {
    for (const Language language : {Language::zh, Language::en}) {
        uselanguage(language);
        QWidget parent;
        showmanual(&parent);
        auto* dialog = parent.findChild<QDialog*>(QStringLiteral("manual"));
        ASSERT_TRUE(dialog && dialog->isVisible());
        auto* text = dialog->findChild<QTextBrowser*>();
        EXPECT_EQ(haschinese(text->toPlainText()), language == Language::zh);
        // Every picture of the document is there to draw.
        int pictures = 0;
        for (QTextBlock b = text->document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
                if (!image.isValid()) continue;
                ++pictures;
                const QVariant loaded =
                    text->document()->resource(QTextDocument::ImageResource, QUrl(image.name()));
                EXPECT_FALSE(loaded.isNull()) << image.name().toStdString();
            }
        EXPECT_GE(pictures, 6);
        const QPointer<QDialog> alive = dialog;
        QTest::keyClick(text, Qt::Key_Escape);
        EXPECT_TRUE(!alive || !alive->isVisible());
    }
    uselanguage(Language::zh);
}

ReadingReport reading(const char* time, const Reason& why, bool normal) {
    ReadingReport r;
    r.time = time;
    r.port = 1;
    r.typetext = "5400(4表头)";
    r.code = 12;
    r.normal = normal;
    r.setreason(why);
    return r;
}

// The journal's table says the file's reasons in the window's language, shows them at its
// default width, says when it has no readings yet, and closes on Esc.
TEST(JournalTable, ReasonsInTheWindowsLanguage) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.csv"));
    const Reason silent(ReasonCode::nothing_received, Reason(ReasonCode::no_reply, "表头", 60));
    const Reason busy(ReasonCode::device_busy, 2, "/dev/ttyUSB0");
    for (const ReadingReport& r : {reading("2026-12-08T09:00:01+08:00", silent, true),
                                   reading("2026-12-08T09:00:02+08:00", busy, false)})
        ASSERT_TRUE(appendjournal(path.toStdString(), r).empty());

    const struct {
        Language language;
        const char* reason;
        const char* end;
    } cases[] = {
        {Language::zh, "轮询 60 次后仍没有表头的应答；没有收到任何字节：请检查机器类型、电缆和端口",
         "结束：正常结束"},
        {Language::en,
         "no reply to meter head after 60 polls; not a single byte came back: check the machine "
         "type, the cable and the port",
         "normal end"},
    };
    for (const auto& c : cases) {
        uselanguage(c.language);
        JournalView view(path);
        view.show();
        QAbstractItemModel* rows = view.table()->model();
        ASSERT_EQ(rows->rowCount(), 2);
        EXPECT_EQ(rows->index(0, 4).data().toString(), QString::fromUtf8(c.reason));
        const QString tip = rows->index(0, 4).data(Qt::ToolTipRole).toString();
        EXPECT_TRUE(tip.contains(QString::fromUtf8(c.end))) << tip.toStdString();
        EXPECT_TRUE(tip.contains(QStringLiteral("no_reply"))) << tip.toStdString();
        // The reason found by its shown words too.
        view.textfilter()->setText(c.language == Language::zh ? QStringLiteral("正被另一个程序占用")
                                                              : QStringLiteral("in use"));
        EXPECT_EQ(rows->rowCount(), 1);
        EXPECT_FALSE(view.emptynote()->isVisible());
    }
    uselanguage(Language::zh);
}

TEST(JournalTable, EmptyOrMissingSaysSoAndEscCloses) {
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.csv"));
    QFile(empty).open(QIODevice::WriteOnly);
    for (const QString& path : {empty, dir.filePath(QStringLiteral("none.csv"))}) {
        auto* view = new JournalView(path);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
        EXPECT_TRUE(view->emptynote()->isVisible()) << path.toStdString();
        EXPECT_EQ(view->emptynote()->text(), QStringLiteral("还没有读数"));
        EXPECT_TRUE(view->summary()->text().contains(QStringLiteral("还没有读数")));
        EXPECT_EQ(view->summary()->palette().color(QPalette::WindowText),
                  view->palette().color(QPalette::WindowText))
            << "not an error";
        // At its default width, on a screen of 1024 pixels, the status and the reason show.
        const QHeaderView* header = view->table()->horizontalHeader();
        const int visible = view->table()->viewport()->width();
        EXPECT_LE(header->sectionViewportPosition(3) + header->sectionSize(3), visible);
        EXPECT_LE(header->sectionViewportPosition(4) + header->sectionSize(4), visible);
        const QPointer<JournalView> alive = view;
        view->table()->setFocus();
        QTest::keyClick(view->table(), Qt::Key_Escape);
        EXPECT_TRUE(!alive || !alive->isVisible());
    }
}

} // namespace
} // namespace meter

int main(int argc, char** argv) {
    // Qt's offscreen screen is 800 pixels wide; a technician's is 1024 at the least.
    const std::filesystem::path screen =
        std::filesystem::temp_directory_path() / "meterreader-test-screen-1024.json";
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        std::ofstream(screen) << R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": 1024,
                                     "height": 768, "logicalDpi": 96, "dpr": 1}]})";
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QByteArray(screen.c_str()));
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
