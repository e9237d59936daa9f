// SPDX-License-Identifier: GPL-3.0-or-later
// The window on the offscreen platform, driven as an operator would.
#include "acquire/hostedvendorlibrary.h"
#include "app/devicepicker.h"
#include "app/form1.h"
#include "app/journalview.h"
#include "app/language.h"
#include "app/progress.h"
#include "app/settings.h"
#include "app/statustext.h"
#include "capture/capture.h"
#include "frontend/demo.h"
#include "frontend/installpaths.h"
#include "frontend/readingsetup.h"
#include "serial/nativedevice.h"
#include "serial/portmap.h"
#include "serial/scripteddevice.h"
#include "support/csv.h"
#include "support/fakevendor.h"
#include "support/virtualstation.h"
#include "vendor/exchange.h"

#include "support/testfamily.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>

using namespace meter;
using meter::testing::FakeVendor;

namespace {

const QString digits56 = QStringLiteral("00000123456700000098760000000123456000000302000012345678");

std::int64_t wallms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct Fixture {
    FakeVendor* vendor;
    ScriptedDevice* device;
    std::unique_ptr<Form1> form;

    explicit Fixture(FamilyTable families = {}) {
        auto v = std::make_unique<FakeVendor>();
        auto d = std::make_unique<ScriptedDevice>(wallms);
        vendor = v.get();
        device = d.get();
        form = std::make_unique<Form1>(std::move(d), std::move(v), false, std::move(families));
        form->show();
    }
    void choose(const QString& port, const QString& type) {
        form->Combo1()->setEditText(port);
        form->Combo2()->setEditText(type);
    }
    // As the operator types: click into the list's text, select it all, type over it, and
    // Enter when told. The click on the button then takes the focus from the list.
    void type(QComboBox* list, const QString& text, bool enter = false) {
        QLineEdit* edit = list->lineEdit();
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
        if (enter) QTest::keyClick(edit, Qt::Key_Return);
    }
    bool click() {
        QSignalSpy done(form.get(), &Form1::readingfinished);
        QTest::mouseClick(form->cmd_begin(), Qt::LeftButton);
        return form->reading() ? done.wait(10000) : false;
    }
    QStringList labels() const {
        return {form->lbl_total()->text(), form->lbl_use()->text(), form->lbl_unuse()->text(),
                form->lbl_num()->text(), form->lbl_biao()->text()};
    }
};

// The window as ./run.sh starts it: the demo meter behind every port, the stand-in vendor
// library, real serial devices.
std::unique_ptr<Form1> demoform(const Demo& demo) {
    PortMap ports;
    demo.mapallports(ports);
    exportports(ports);
    auto form = std::make_unique<Form1>(makeserialdevice(ports), vendorlibrary(), true);
    form->usedevices([](const PortMap& map) { return makeserialdevice(map); }, ports);
    form->usedemo(demo.path());
    form->show();
    return form;
}

// Opens the device picker, lets `operate` work it (it sees the note under the list), and
// accepts it. Returns whether the picker opened.
template <class Operate> bool pick(Form1& form, Operate operate) {
    bool opened = false;
    QTimer::singleShot(0, &form, [&] {
        auto* picker = qobject_cast<DevicePicker*>(QApplication::activeModalWidget());
        if (!picker) return;
        opened = true;
        operate(*picker, picker->findChild<QLabel*>(QStringLiteral("note"))->text());
        picker->accept();
    });
    form.act_device()->trigger();
    return opened;
}

QByteArray slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The one CSV row of a saved reading (after the byte order mark and the header), by column.
std::map<std::string, std::string> csvreading(const QByteArray& file) {
    const auto rows = meter::testing::parsecsv(file.mid(3).toStdString());
    std::map<std::string, std::string> out;
    for (std::size_t i = 0; rows.size() == 2 && i < rows[0].size(); ++i)
        out[rows[0][i]] = rows[1][i];
    return out;
}

// A device that is not there: a USB adapter unplugged, a COM port that is gone.
#ifdef _WIN32
const char* const missingdevice = "COM57";
const char* const unpluggedadapter = "COM9";
#else
const char* const missingdevice = "/dev/meterreader-test-missing";
const char* const unpluggedadapter =
    "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
#endif

// The vendor library that misbehaves on purpose, built beside the tests.
std::string faultylibrary() {
#ifdef FAULTY_LIBRARY_PATH
    return FAULTY_LIBRARY_PATH;
#else
    return executabledir() + "\\cpedfm_faulty.dll";
#endif
}

QColor textcolour(const QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}

// What a result label shows, as the operator would select and copy it.
QString shown(QLabel* label) {
    label->setSelection(0, static_cast<int>(label->text().size()));
    return label->selectedText();
}

// Every text the operator can see on `w` and its children, menus and dialogs included.
QStringList visibletexts(const QWidget* w) {
    QStringList texts{w->windowTitle(), w->toolTip()};
    for (const QWidget* c : w->findChildren<QWidget*>()) {
        texts << c->toolTip() << c->statusTip() << c->whatsThis();
        if (auto* l = qobject_cast<const QLabel*>(c)) texts << l->text();
        if (auto* b = qobject_cast<const QAbstractButton*>(c)) texts << b->text();
        if (auto* e = qobject_cast<const QLineEdit*>(c)) texts << e->text() << e->placeholderText();
        if (auto* m = qobject_cast<const QMenu*>(c)) texts << m->title();
        if (auto* box = qobject_cast<const QPlainTextEdit*>(c)) texts << box->toPlainText();
        if (auto* list = qobject_cast<const QComboBox*>(c))
            for (int i = 0; i < list->count(); ++i)
                texts << list->itemText(i);
        if (auto* list = qobject_cast<const QListWidget*>(c))
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text();
    }
    for (const QAction* a : w->findChildren<QAction*>())
        texts << a->text() << a->toolTip() << a->statusTip();
    return texts;
}

// The texts of `texts` with a Chinese (or full-width) character in them.
QStringList chinese(const QStringList& texts) {
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    return texts.filter(cjk);
}

const QStringList prefixesonly{QStringLiteral("总邮资："), QStringLiteral("已用邮资："),
                               QStringLiteral("未用邮资："), QStringLiteral("总件数："),
                               QStringLiteral("表头：")};

} // namespace

class Form1Test : public QObject {
    Q_OBJECT
    // The settings the window keeps go here, never into the user's own.
    QTemporaryDir settings_;

  private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(settings_.isValid());
        // A fresh home: the journal kept by default goes there, never into the user's.
        qputenv("HOME", settings_.path().toLocal8Bit());
        qunsetenv("XDG_DATA_HOME");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_.path());
    }
    void init() { AppSettings().clear(); }

    // 读取 → 核对读取（读两次）: remembered, shown on the status line while it is on. A verified
    // reading reads twice and says so; a meter that changed in between fails it, naming the
    // register with both values, the first reading's values greyed, the saved file saying so.
    void verifiedReading_ReadsTwiceAndFailsOnADifference() {
        {
            Fixture f;
            QVERIFY(!f.form->act_verify()->isChecked());
            QVERIFY(f.form->statusmode().isEmpty());
            f.form->act_verify()->trigger();
            QCOMPARE(f.form->statusmode(), QStringLiteral("核对读取：读两次"));
        }
        Fixture f;
        QVERIFY(f.form->act_verify()->isChecked());
        QCOMPARE(f.form->statusmode(), QStringLiteral("核对读取：读两次"));
        f.vendor->record = digits56.toStdString();
        f.choose(QStringLiteral("3"), QStringLiteral("copote"));
        QVERIFY(f.click());
        QVERIFY2(f.form->status().endsWith(QStringLiteral("；已核对：两次读取一致")),
                 qPrintable(f.form->status()));
        QCOMPARE(std::count(f.vendor->calls.begin(), f.vendor->calls.end(), "ReadRegister 3"), 2);
        f.click(); // 结束

        std::string changed = digits56.toStdString();
        changed[23] = '9';
        f.vendor->reads = 0;
        f.vendor->later = {changed};
        f.choose(QStringLiteral("3"), QStringLiteral("copote"));
        QVERIFY(f.click());
        QVERIFY2(f.form->status().endsWith(
                     QStringLiteral("两次读取的已用邮资不一致：000000987600 / 000000987609")),
                 qPrintable(f.form->status()));
        QCOMPARE(f.form->lbl_use()->text(), QStringLiteral("已用邮资：000000987600"));
        QVERIFY(textcolour(f.form->lbl_use()) != textcolour(f.form->Label1()));
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("reading.csv"));
        QCOMPARE(f.form->save(saved), QString());
        const auto row = csvreading(slurp(saved));
        QCOMPARE(row.at("verified"), std::string("false"));
        QCOMPARE(row.at("reason_code"), std::string("readings_differ"));
        f.click();

        // Off again: one reading, nothing said of it.
        f.form->act_verify()->trigger();
        QVERIFY(f.form->statusmode().isEmpty());
        QVERIFY(!verifiedreadings());
        f.vendor->calls.clear();
        f.choose(QStringLiteral("3"), QStringLiteral("copote"));
        QVERIFY(f.click());
        QCOMPARE(f.form->status().contains(QStringLiteral("已核对")), false);
        QCOMPARE(std::count(f.vendor->calls.begin(), f.vendor->calls.end(), "ReadRegister 3"), 1);
    }

    // The panel of the operator's controls fills the window, which grows it and never shrinks
    // it below the layout.
    void openedWindowHoldsThePanelAndOffersItsMenus() {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        QCOMPARE(f.form->centralWidget(), f.form->panel());
        QCOMPARE(QApplication::focusWidget(), f.form->cmd_begin());
        QCOMPARE(f.form->centralWidget()->size(), QSize(656, 566));
        const QSize start = f.form->size();
        f.form->resize(start + QSize(640, 400));
        QTRY_COMPARE(f.form->centralWidget()->size(), QSize(656 + 640, 566 + 400));
        QCOMPARE(f.form->txt_rece()->geometry(), QRect(56, 448 + 200, 545 + 640, 97 + 200));
        f.form->resize(200, 200);
        QTest::qWait(50);
        QCOMPARE(f.form->centralWidget()->size(), QSize(656, 566));
        // Nothing to report before the first reading.
        for (QAction* a : {f.form->act_save(), f.form->act_pdf(), f.form->act_print()})
            QVERIFY(!a || !a->isEnabled());

        // 帮助 → 关于 names the settings file and the journal the window uses.
        QString about;
        QTimer::singleShot(200, f.form.get(), [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                about = box->text();
                box->accept();
            }
        });
        f.form->act_about()->trigger();
        QVERIFY(about.contains(QDir::toNativeSeparators(AppSettings().fileName())));
        QVERIFY(about.contains(QDir::toNativeSeparators(JournalSettings::defaultfile())));
        // 帮助 → 使用说明 shows the user's guide.
        f.form->act_manual()->trigger();
        auto* manual = f.form->findChild<QDialog*>(QStringLiteral("manual"));
        QVERIFY(manual && manual->isVisible());
        QVERIFY(manual->findChild<QTextBrowser*>()->toPlainText().startsWith(
            QStringLiteral("meterreader")));
        manual->close();
    }

    // Qt's own dialogs (OK, Cancel, the file dialog) speak the window's language where Qt's
    // translation is installed: Debian's qt6-translations-l10n, on Windows beside the program.
    void qtsOwnTextsFollowTheLanguage() {
        uselanguage(Language::zh);
#ifdef Q_OS_WIN
        QVERIFY2(!qttranslation().isEmpty(), "no translations/qtbase_zh_CN.qm beside the program");
#else
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                           QStringLiteral("/qtbase_zh_CN.qm")))
            QSKIP("qt6-translations-l10n is not installed");
#endif
        QVERIFY(qttranslation().endsWith(QStringLiteral("qtbase_zh_CN.qm")));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        uselanguage(Language::en);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        uselanguage(Language::zh);
    }

    // 文件 → 查看日志… shows the journal in use: sorted, filtered, copied, following the file
    // as it grows, another file opened; the file itself is never written.
    void journalIsShownFilteredAndFollowed() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("j.csv"));
        const auto add = [&](int port, const char* record, const char* reason, bool normal) {
            ReadingReport r;
            r.time = "2026-12-08T09:00:0" + std::to_string(port) + "+08:00";
            r.port = port;
            r.typetext = "neopost";
            r.code = 11;
            r.record = record;
            r.reason = reason;
            r.normal = normal;
            QVERIFY(appendjournal(path.toStdString(), r).empty());
        };
        add(3, "00000123456700000098760000000123456000000302000012345678", "", true);
        add(1, "", "the meter gave no register values", true);
        add(12, "", "no reply to the register request", false);
        const QByteArray before = slurp(path);

        Fixture f;
        f.form->usejournal(path);
        f.form->act_viewjournal()->trigger();
        JournalView* view = f.form->journalview();
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QTableView* table = view->table();
        QAbstractItemModel* rows = table->model();
        QCOMPARE(rows->rowCount(), 3);
        QCOMPARE(rows->columnCount(), 10);
        QCOMPARE(rows->headerData(9, Qt::Horizontal).toString(), QStringLiteral("表头"));
        QCOMPARE(rows->index(0, 9).data().toString(), QStringLiteral("0012345678"));
        QCOMPARE(rows->index(2, 3).data().toString(), QStringLiteral("失败"));

        // The port sorts as a number, and stays sorted through a filter.
        const auto ports = [&] {
            QStringList out;
            for (int i = 0; i < rows->rowCount(); ++i)
                out << rows->index(i, 1).data().toString();
            return out;
        };
        table->sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(ports(), (QStringList{"1", "3", "12"}));
        view->textfilter()->setText(QStringLiteral("x"));
        view->textfilter()->clear();
        QCOMPARE(ports(), (QStringList{"1", "3", "12"}));
        table->sortByColumn(-1, Qt::AscendingOrder);

        // The filters, by status and by text, and both.
        struct Case {
            int status;       // the index in the status list
            const char* text; // typed into the search line
            int shown;
        };
        for (const Case& c : {Case{3, "", 1}, Case{1, "", 1}, Case{0, "NO REPLY", 1},
                              Case{0, "neopost", 3}, Case{2, "reply", 0}, Case{0, "", 3}}) {
            view->statusfilter()->setCurrentIndex(c.status);
            view->textfilter()->setText(QString::fromUtf8(c.text));
            QCOMPARE(rows->rowCount(), c.shown);
        }

        // A row copied: its shown columns, tab-separated.
        table->selectRow(2);
        QTest::mouseClick(view->copybutton(), Qt::LeftButton);
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.startsWith(QStringLiteral("2026-12-08T09:00:012+08:00\t12\tneopost\t")));
        QVERIFY(
            copied.contains(QStringLiteral("\tneopost\t失败\tno reply to the register request\t")));

        // A reading appended shows without a reload asked for.
        add(5, "", "", false);
        QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 4, 5000);
        QVERIFY(view->summary()->text().contains(QStringLiteral("4")));

        // Another file: not a journal, then one that is gone.
        const QString other = dir.filePath(QStringLiteral("notes.txt"));
        {
            QFile notes(other);
            QVERIFY(notes.open(QIODevice::WriteOnly));
            notes.write("name,value\r\na,1\r\n");
        }
        view->openjournal(other);
        QCOMPARE(rows->rowCount(), 0);
        QVERIFY(view->summary()->text().contains(QStringLiteral("不是日志")));
        view->openjournal(dir.filePath(QStringLiteral("gone.csv")));
        QCOMPARE(rows->rowCount(), 0);
        QVERIFY(view->summary()->text().contains(QStringLiteral("还没有读数")));
        view->openjournal(path);
        QCOMPARE(rows->rowCount(), 4);

        // Read, never written: the journal's bytes are the writer's alone.
        QVERIFY(slurp(path).startsWith(before));
        QCOMPARE(slurp(other), QByteArray("name,value\r\na,1\r\n"));
        // One table at a time: asked again, the same one comes to the front.
        f.form->act_viewjournal()->trigger();
        QCOMPARE(f.form->journalview(), view);
    }

    void copoteReadingIsShownSavedCopiedAndStopClears() {
        Fixture f;
        f.vendor->record = digits56.toStdString();
        QVERIFY(!f.form->act_savecapture()->isEnabled());
        f.choose(QStringLiteral("3"), QStringLiteral("copote"));
        QVERIFY(f.click());
        QCOMPARE(f.vendor->calls.front(), std::string("ComOpen 3"));
        QCOMPARE(f.labels(), (QStringList{QStringLiteral("总邮资：000001234567"),
                                          QStringLiteral("已用邮资：000000987600"),
                                          QStringLiteral("未用邮资：000001234560"),
                                          QStringLiteral("总件数：0000030200"),
                                          QStringLiteral("表头：0012345678")}));
        QCOMPARE(f.form->cmd_begin()->text(), QStringLiteral("结束"));
        QCOMPARE(QApplication::focusWidget(), f.form->Combo1());
        QVERIFY(f.form->status().contains(QStringLiteral("读取完成")));

        // Saved as CSV and as JSON, every field comes back.
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("r.csv"));
        const QString json = dir.filePath(QStringLiteral("r.JSON"));
        QCOMPARE(f.form->save(csv), QString());
        QCOMPARE(f.form->save(json), QString());
        // And its capture: the library's three calls and the record.
        QVERIFY(f.form->act_savecapture()->isEnabled());
        const QString capture = dir.filePath(QStringLiteral("抓包.jsonl"));
        QCOMPARE(f.form->savecapture(capture), QString());
        const CaptureRead kept = readcapture(std::filesystem::path(capture.toStdU16String()));
        QVERIFY(kept.capture);
        QCOMPARE(kept.capture->events.size(), std::size_t{3});
        QCOMPARE(kept.capture->header.port, 3);
        QCOMPARE(kept.capture->outcome.record, digits56.toStdString());
        auto row = csvreading(slurp(csv));
        const QJsonObject j = QJsonDocument::fromJson(slurp(json)).object();
        const std::map<std::string, std::string> saved{{"port", "3"},
                                                       {"device", "scripted:3"},
                                                       {"type", "copote"},
                                                       {"code", "51"},
                                                       {"total", "000001234567"},
                                                       {"used", "000000987600"},
                                                       {"unused", "000001234560"},
                                                       {"pieces", "0000030200"},
                                                       {"head", "0012345678"},
                                                       {"record", digits56.toStdString()},
                                                       {"end", "normal"},
                                                       {"status", "read"},
                                                       {"reason", ""},
                                                       {"sent", ""},
                                                       {"received", ""},
                                                       {"reason_code", ""}};
        for (const auto& [key, value] : saved) {
            QCOMPARE(row[key], value);
            const QJsonValue v = j[QString::fromStdString(key)];
            QCOMPARE(v.isDouble() ? QString::number(v.toInt()) : v.toString(),
                     QString::fromStdString(value));
        }
        // The last column says nothing of a reading not asked to be verified, nor the JSON.
        QCOMPARE(row.size(), std::size_t{18});
        QCOMPARE(row["verified"], std::string());
        // The JSON meterread prints: the row's members, whether it was a demo, its time taken.
        QCOMPARE(j.size(), 19);
        QCOMPARE(j[QStringLiteral("demo")].toBool(), false);
        QVERIFY(j[QStringLiteral("elapsed_ms")].isDouble());
        QVERIFY(QDateTime::fromString(QString::fromStdString(row["time"]), Qt::ISODate).isValid());
        QCOMPARE(j[QStringLiteral("time")].toString(), QString::fromStdString(row["time"]));
        // The report, as PDF.
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        QVERIFY(f.form->act_pdf()->isEnabled());
        QCOMPARE(f.form->exportpdf(pdf), QString());
        QVERIFY(slurp(pdf).startsWith("%PDF"));

        // Ctrl+C with nothing selected copies the five result lines.
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), f.labels().join(QLatin1Char('\n')) + '\n');

        // Closing the window ends its reading thread; shown again, it clears and reads as before.
        f.form->close();
        f.form->show();
        f.form->txt_send()->setPlainText(QStringLiteral(" 1,"));
        f.click();
        QCOMPARE(f.labels(), prefixesonly);
        QCOMPARE(f.form->cmd_begin()->text(), QStringLiteral("开始"));
        QCOMPARE(f.form->Combo1()->currentText(), QStringLiteral("1"));
        QCOMPARE(f.form->Combo2()->currentText(), QStringLiteral("pitneybows 950"));
        QVERIFY(f.form->txt_send()->toPlainText().isEmpty());
        QCOMPARE(f.vendor->calls.size(), std::size_t{3});
        QVERIFY(!f.form->act_save()->isEnabled());
        QVERIFY(!f.form->act_pdf()->isEnabled());
        QVERIFY(!f.form->save(csv).isEmpty());
        QVERIFY(!f.form->exportpdf(pdf).isEmpty());
        QVERIFY(!f.form->act_savecapture()->isEnabled());
        QVERIFY(!f.form->savecapture(capture).isEmpty());

        // Typed exactly, a list text reads as when picked.
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        f.type(f.form->Combo1(), QStringLiteral("3"));
        f.type(f.form->Combo2(), QStringLiteral("copote"));
        QVERIFY(f.click());
        QCOMPARE(f.vendor->calls.size(), std::size_t{6});
        QCOMPARE(f.labels()[4], QStringLiteral("表头：0012345678"));
    }

    void failedAndOddRecordsAreShownByPosition() {
        struct Case {
            std::string record;
            std::int32_t close;
            QStringList labels;
            QString status;
            bool nodata; // greyed values, red status with its icon
            QString type = QStringLiteral("copote");
        } cases[] = {
            {digits56.toStdString(),
             0,
             {QStringLiteral("总邮资：000000000000"), QStringLiteral("已用邮资：000000000000"),
              QStringLiteral("未用邮资：000000000000"), QStringLiteral("总件数：0000000000"),
              QStringLiteral("表头：0000000000")},
             QStringLiteral("读取失败"),
             true},
            {std::string(40, '9'),
             1,
             {QStringLiteral("总邮资：000000000000"), QStringLiteral("已用邮资：000000000000"),
              QStringLiteral("未用邮资：000000000000"), QStringLiteral("总件数：0000000000"),
              QStringLiteral("表头：0000000000")},
             QStringLiteral("没有读到数据"),
             true},
            // The line lost after the used postage: the failure end keeps the record as read,
            // and no other register's digits pass for the head number.
            {{},
             1,
             {QStringLiteral("总邮资：000002111050"), QStringLiteral("已用邮资：000001234500"),
              QStringLiteral("未用邮资："), QStringLiteral("总件数："), QStringLiteral("表头：")},
             QStringLiteral("读取失败"),
             true,
             QStringLiteral("5400(4表头)")},
        };
        meter::testing::TestFamily cut;
        cut.onbegin = [](std::string& record) { record = "000002111050000001234500"; };
        cut.steps = {Step::fail(Reason(ReasonCode::line_lost_read))};
        // One window through all the cases: nothing of one reading's end shows in the next.
        Fixture f(FamilyTable{{12, meter::testing::makerof(cut)}});
        const QColor plain = textcolour(f.form.get());
        const QColor grey = f.form->palette().color(QPalette::Disabled, QPalette::WindowText);
        QVERIFY(plain != grey);
        auto* statusline = f.form->findChild<QLabel*>(QStringLiteral("status"));
        auto* icon = f.form->findChild<QLabel*>(QStringLiteral("statusicon"));
        for (const auto& c : cases) {
            f.vendor->record = c.record;
            f.vendor->close = c.close;
            f.choose(QStringLiteral("1"), c.type);
            QVERIFY(f.click());
            QCOMPARE(f.labels(), c.labels);
            for (QLabel* l : {f.form->lbl_total(), f.form->lbl_use(), f.form->lbl_unuse(),
                              f.form->lbl_num(), f.form->lbl_biao()})
                QCOMPARE(shown(l), l->text());
            QCOMPARE(f.form->cmd_begin()->text(), QStringLiteral("结束"));
            QVERIFY2(f.form->status().startsWith(c.status), qPrintable(f.form->status()));
            for (const QLabel* l : {f.form->lbl_total(), f.form->lbl_biao()})
                QCOMPARE(textcolour(l), c.nodata ? grey : plain);
            QCOMPARE(textcolour(statusline) != plain, c.nodata);
            QCOMPARE(icon->isVisible(), c.nodata);
            f.click(); // 结束: says what it put back
            QCOMPARE(f.form->status(), QStringLiteral("已清空；端口 1，pitneybows 950"));
            QCOMPARE(textcolour(f.form->lbl_total()), plain);
            QVERIFY(!icon->isVisible());
        }
    }

    // Typed with real key events: the lists complete nothing and compare exactly.
    void refusedChoicesRunNoReading() {
        struct Case {
            QString port, type;
            bool enter;
            QString status;
        } cases[] = {
            {QStringLiteral("1"), QStringLiteral("Neopost"), false,
             QStringLiteral("机器类型 \"Neopost\" 不在列表中")},
            {QStringLiteral("1"), QStringLiteral("neopost "), false, QStringLiteral("不在列表中")},
            {QStringLiteral("1"), QStringLiteral("copo"), true, QStringLiteral("\"copo\" 不在")},
            {QStringLiteral("1"), QStringLiteral("5400"), false, QStringLiteral("不在列表中")},
            {QStringLiteral("1"), QStringLiteral("<b>neopost</b>"), false,
             QStringLiteral("\"<b>neopost</b>\" 不在")},
            // The English list text of a type names nothing in the Chinese window.
            {QStringLiteral("1"), QStringLiteral("high-speed machine"), false,
             QStringLiteral("不在列表中")},
            {QStringLiteral("9"), QStringLiteral("copote"), false, QStringLiteral("端口 9 大于 8")},
            // The same refusals as meterread's.
            {QStringLiteral("abc"), QStringLiteral("copote"), false,
             QStringLiteral("未读取：端口 \"abc\" 不是端口号；请给出 1 到 8 之间的端口")},
            {QStringLiteral("70000"), QStringLiteral("copote"), false,
             QStringLiteral("端口 70000 大于 8")},
            {QStringLiteral("-40000"), QStringLiteral("copote"), false,
             QStringLiteral("端口 -40000 不在 1 到 8 之间")},
        };
        for (const auto& c : cases) {
            Fixture f;
            QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
            f.type(f.form->Combo1(), c.port);
            f.type(f.form->Combo2(), c.type, c.enter);
            QVERIFY2(!f.click(), qPrintable(c.type));
            QCOMPARE(QApplication::focusWidget(), f.form->cmd_begin());
            QVERIFY(f.vendor->calls.empty());
            QCOMPARE(f.form->cmd_begin()->text(), QStringLiteral("开始"));
            QVERIFY2(f.form->status().contains(c.status), qPrintable(f.form->status()));
            QCOMPARE(shown(f.form->findChild<QLabel*>(QStringLiteral("status"))), f.form->status());
        }
    }

    // In English every text of the window is English, the operator's own texts too: idle, after
    // a reading, after a failed one, refused, and in the device picker.
    void englishShowsNoChinese() {
        struct Chinese {
            ~Chinese() { uselanguage(Language::zh); }
        } back;
        uselanguage(Language::en);
        Fixture f;
        f.form->usedevices([](const PortMap&) { return std::make_unique<ScriptedDevice>(wallms); },
                           PortMap{});
        QCOMPARE(f.form->cmd_begin()->text(), QStringLiteral("Start"));
        QCOMPARE(f.form->lbl_biao()->text(), QStringLiteral("Meter head number: "));
        QStringList states{QStringLiteral("idle")};
        QStringList found = chinese(visibletexts(f.form.get()));

        f.vendor->record = digits56.toStdString();
        f.choose(QStringLiteral("3"), QStringLiteral("copote"));
        QVERIFY(f.click());
        QCOMPARE(f.form->lbl_biao()->text(), QStringLiteral("Meter head: 0012345678"));
        QCOMPARE(f.form->cmd_begin()->text(), QStringLiteral("Clear"));
        found << chinese(visibletexts(f.form.get()));
        f.click(); // Stop

        // The English list text names its type (12, for which this window has no sequence).
        f.choose(QStringLiteral("1"), QStringLiteral("5400 (4 heads)"));
        QVERIFY(f.click());
        QCOMPARE(f.form->status(), QStringLiteral("No data read (0.0 s): machine type 12 has no "
                                                  "reading sequence"));
        found << chinese(visibletexts(f.form.get()));
        f.click();
        f.vendor->close = 0;
        f.choose(QStringLiteral("1"), QStringLiteral("copote"));
        QVERIFY(f.click());
        QVERIFY2(f.form->status().startsWith(QStringLiteral("Reading failed")),
                 qPrintable(f.form->status()));
        found << chinese(visibletexts(f.form.get()));
        found << chinese({waittext(f.form->Combo2()->itemText(5),
                                   registerfor(QStringLiteral("表头")), 12000, 60000)});
        f.click();

        f.choose(QStringLiteral("9"), QStringLiteral("high-speed machine"));
        f.click();
        QVERIFY2(f.form->status().contains(QStringLiteral("port 9 is above 8")),
                 qPrintable(f.form->status()));
        found << chinese(visibletexts(f.form.get()));

        QTimer::singleShot(200, f.form.get(), [&] {
            if (QWidget* picker = QApplication::activeModalWidget()) {
                found << chinese(visibletexts(picker));
                states << QStringLiteral("picker");
                picker->close();
            }
        });
        f.form->act_device()->trigger();
        QTimer::singleShot(200, f.form.get(), [&] {
            if (QWidget* about = QApplication::activeModalWidget()) {
                found << chinese(visibletexts(about));
                states << QStringLiteral("about");
                about->close();
            }
        });
        f.form->act_about()->trigger();
        QCOMPARE(states.size(), 3);
        // The journal's table, the names of its columns included.
        QTemporaryDir dir;
        f.form->usejournal(dir.filePath(QStringLiteral("none.csv")));
        f.form->act_viewjournal()->trigger();
        QAbstractItemModel* journal = f.form->journalview()->table()->model();
        found << chinese(visibletexts(f.form->journalview()));
        for (int c = 0; c < journal->columnCount(); ++c)
            found << chinese({journal->headerData(c, Qt::Horizontal).toString()});
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('|'))));
    }

    void chosenPortShowsItsDeviceInStatusBarAndTooltip() {
        Fixture f;
        f.choose(QStringLiteral("4"), QStringLiteral("copote"));
        QVERIFY(f.form->findChild<StatusText*>(QStringLiteral("device"))
                    ->text()
                    .contains(QStringLiteral("scripted:4")));
        QVERIFY(f.form->Combo1()->toolTip().contains(QStringLiteral("scripted:4")));
    }

    // The operator puts the demo meter's device behind port 2 in the dialog, typing its path:
    // the status bar and the next reading use it, and a restart still does. A port named on
    // the command line keeps its device, and one whose device is not there says so before
    // Start.
    void aPickedDeviceIsReadAndRemembered() {
        QFile::remove(JournalSettings::defaultfile()); // as in a fresh home
        Demo demo;
        const QString picked = QString::fromStdString(demo.path());
        PortMap fixed;
        fixed.set(3, missingdevice);
        auto open = [&fixed] {
            auto form = std::make_unique<Form1>(makeserialdevice(PortMap{}),
                                                std::make_unique<FakeVendor>());
            form->usedevices([](const PortMap& map) { return makeserialdevice(map); }, fixed);
            form->show();
            return form;
        };
        auto form = open();
        auto* device = form->findChild<StatusText*>(QStringLiteral("device"));
        form->Combo1()->setEditText(QStringLiteral("3"));
        QCOMPARE(device->full(),
                 QStringLiteral("端口 3 → %1（不存在）").arg(QString::fromLatin1(missingdevice)));

        form->Combo1()->setEditText(QStringLiteral("2"));
        bool picked2 = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* picker = qobject_cast<DevicePicker*>(QApplication::activeModalWidget());
            if (!picker) return;
            picked2 = picker->port() == 2;
            QTest::mouseClick(picker->pathedit, Qt::LeftButton);
            QTest::keyClick(picker->pathedit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(picker->pathedit, picked);
            QTest::keyClick(picker->pathedit, Qt::Key_Return);
        });
        form->act_device()->trigger();
        QVERIFY(picked2);
        QCOMPARE(device->full(), QStringLiteral("端口 2 → ") + picked);
        form->Combo2()->setEditText(QStringLiteral("neopost"));
        QSignalSpy done(form.get(), &Form1::readingfinished);
        QTest::mouseClick(form->cmd_begin(), Qt::LeftButton);
        QVERIFY(done.wait(10000));
        QVERIFY2(form->status().startsWith(QStringLiteral("读取完成")), qPrintable(form->status()));
        QCOMPARE(form->lbl_biao()->text(), QStringLiteral("表头：0000123456"));
        // Kept in the journal from the first reading, in the default place.
        QVERIFY(form->act_journal()->isChecked());
        const auto row = csvreading(slurp(JournalSettings::defaultfile()));
        QCOMPARE(row.count("head") ? row.at("head") : std::string(), std::string("0000123456"));

        // Turned off, it stays off.
        form->act_journal()->trigger();
        QVERIFY(!form->journalling());
        savedevice(3, QStringLiteral("/dev/ttyUSB0"));
        form.reset();

        form = open();
        device = form->findChild<StatusText*>(QStringLiteral("device"));
        form->Combo1()->setEditText(QStringLiteral("2"));
        QCOMPARE(device->full(), QStringLiteral("端口 2 → ") + picked);
        form->Combo1()->setEditText(QStringLiteral("3"));
        QVERIFY(device->full().contains(QString::fromLatin1(missingdevice)));
        QVERIFY(!form->journalling());
        QVERIFY(!form->act_journal()->isChecked());
    }

    // A journal that cannot be written: the reason in red on the status line, the reading
    // shown and still saved, a file that is not a journal left as it was.
    void journalNotWrittenShowsInRedAndKeepsTheReading() {
        QTemporaryDir dir;
        const QString notes = dir.filePath(QStringLiteral("notes.txt"));
        QFile file(notes);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("shopping list\n");
        file.close();
        const struct {
            QString journal;
            QString says;
        } cases[] = {
            {notes, QStringLiteral("不是本程序的日志")},
            {dir.filePath(QStringLiteral("notes.txt/j.csv")),
             QStringLiteral("路径中有一部分不是文件夹")},
            {dir.path(), QStringLiteral("它是文件夹，不是文件")},
            // A folder the user named is not made: the same rule as meterread's.
            {dir.filePath(QStringLiteral("missing/j.csv")), QStringLiteral("文件夹不存在")},
        };
        for (const auto& c : cases) {
            Fixture f;
            const QColor plain = textcolour(f.form.get());
            f.form->usejournal(c.journal);
            f.vendor->record = digits56.toStdString();
            f.choose(QStringLiteral("1"), QStringLiteral("copote"));
            QVERIFY(f.click());
            QVERIFY2(f.form->status().startsWith(QStringLiteral("读取完成")) &&
                         f.form->status().contains(QStringLiteral("日志未写入")) &&
                         f.form->status().contains(c.says),
                     qPrintable(f.form->status()));
            auto* statusline = f.form->findChild<QLabel*>(QStringLiteral("status"));
            QVERIFY(textcolour(statusline) != plain);
            // Shown whole, on more lines where it needs them; where the fonts make it longer
            // than those lines, whole in the tooltip.
            QVERIFY2(statusline->toolTip().isEmpty() ||
                         statusline->toolTip() == f.form->status(),
                     qPrintable(statusline->text()));
            QCOMPARE(f.labels()[4], QStringLiteral("表头：0012345678"));
            QVERIFY(f.form->act_save()->isEnabled());
            const QString saved = dir.filePath(QStringLiteral("saved.csv"));
            QCOMPARE(f.form->save(saved), QString());
            QCOMPARE(csvreading(slurp(saved))["head"], std::string("0012345678"));
        }
        QCOMPARE(slurp(notes), QByteArray("shopping list\n"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
    }

    // The picker names each device once, the default first while it is there, never the demo
    // meter's own.
    void thePickerListsEachDeviceOnce() {
        const QString tty = QStringLiteral("/dev/ttyS0");
        const QList<PresentDevice> present{{tty, QStringLiteral("16550A")},
                                           {QStringLiteral("/dev/ttyUSB0"), {}},
                                           {QStringLiteral("/dev/ttyUSB0"), {}},
                                           {QStringLiteral("/dev/pts/7"), {}}};
        const struct {
            const char* what;
            QString standard;
            bool there;
            QString demo;
            QStringList paths; // in order; empty for the default
            QString first;     // the first line's text
        } cases[] = {
            {"the default among the present", tty, true, {},
             {QString(), QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/pts/7")},
             QStringLiteral("/dev/ttyS0   16550A")},
            {"in a demo", tty, true, QStringLiteral("/dev/pts/7"),
             {QString(), QStringLiteral("/dev/ttyUSB0")}, QStringLiteral("/dev/ttyS0   16550A")},
            {"a default that is not there", QStringLiteral("COM3"), false, {},
             {tty, QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/pts/7")},
             QStringLiteral("/dev/ttyS0   16550A")},
        };
        for (const auto& c : cases) {
            const QList<PickerEntry> entries = pickerentries(present, c.standard, c.there, c.demo);
            QStringList paths;
            for (const PickerEntry& e : entries) paths << e.path;
            QVERIFY2(paths == c.paths, c.what);
            QCOMPARE(entries.front().text, c.first);
        }
    }

    // 日志文件… takes a journal, an empty file or a new one, and refuses anything else as it
    // is chosen, keeping the journal it had.
    void aChosenJournalFileThatIsNoJournalIsRefusedAtOnce() {
        QTemporaryDir dir;
        const QString notes = dir.filePath(QStringLiteral("notes.txt"));
        const QString journal = dir.filePath(QStringLiteral("j.csv"));
        QFile file(notes);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("shopping list\n");
        file.close();
        Fixture f;
        const struct {
            QString path;
            QString refused; // part of the reason; empty when taken
        } cases[] = {
            {journal, {}},
            {notes, QStringLiteral("不是本程序的日志")},
            {dir.path(), QStringLiteral("它是文件夹，不是文件")},
#ifndef _WIN32
            {QStringLiteral("/dev/null"), QStringLiteral("不是普通文件")},
#endif
            {journal, {}}, // begun by a reading below, still a journal
        };
        for (const auto& c : cases) {
            const QString before = f.form->journalfile();
            const QString refused = f.form->switchjournal(c.path);
            QVERIFY2(c.refused.isEmpty() ? refused.isEmpty() : refused.contains(c.refused),
                     qPrintable(c.path + QStringLiteral(": ") + refused));
            QCOMPARE(f.form->journalfile(),
                     c.refused.isEmpty() ? QDir::toNativeSeparators(c.path) : before);
            if (c.path == journal && !QFileInfo::exists(journal)) {
                f.choose(QStringLiteral("1"), QStringLiteral("copote"));
                QVERIFY(f.click());
                f.click(); // 结束
            }
        }
        QCOMPARE(slurp(notes), QByteArray("shopping list\n"));
    }

    // Alt and a letter reach every menu item; a screen reader names the lists, the boxes, the
    // button and the five values; the window opens where it was left.
    void theWindowIsUsableWithoutAMouseAndRemembersItsPlace() {
        QSize left;
        {
            Fixture f;
            for (QAction* menu : f.form->menuBar()->actions()) {
                QVERIFY2(menu->text().contains(QLatin1Char('&')), qPrintable(menu->text()));
                QSet<QChar> keys;
                for (QAction* a : menu->menu()->actions()) {
                    if (a->isSeparator()) continue;
                    const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
                    QVERIFY2(amp >= 0 && amp + 1 < a->text().size(), qPrintable(a->text()));
                    const QChar key = a->text()[amp + 1].toUpper();
                    QVERIFY2(!keys.contains(key), qPrintable(a->text()));
                    keys.insert(key);
                }
            }
            const auto name = [](QWidget* w) {
                return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
            };
            // Named, and labelled by their captions (where a list's name is its text).
            const struct {
                QWidget* control;
                QLabel* caption;
                QString name;
            } named[] = {{f.form->Combo1(), f.form->Label1(), QStringLiteral("端口号")},
                         {f.form->Combo2(), f.form->Label2(), QStringLiteral("机器类型")},
                         {f.form->txt_send(), f.form->Label3(), QStringLiteral("发送信息")},
                         {f.form->txt_rece(), f.form->Label4(), QStringLiteral("接收信息")}};
            for (const auto& n : named) {
                QCOMPARE(n.control->accessibleName(), n.name);
                QCOMPARE(n.caption->buddy(), n.control);
            }
            QCOMPARE(name(f.form->cmd_begin()), QStringLiteral("开始"));
            for (QLabel* l : {f.form->lbl_total(), f.form->lbl_use(), f.form->lbl_unuse(),
                              f.form->lbl_num(), f.form->lbl_biao()})
                QCOMPARE(name(l), l->text());
            // The hex of the traffic lines up.
            // (Where the platform has a fixed-pitch font at all: Qt's offscreen one under Wine
            // has none.)
            const bool hasfixed =
                QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).fixedPitch();
            for (QWidget* box : {f.form->txt_send(), f.form->txt_rece()})
                QVERIFY(QFontInfo(box->font()).fixedPitch() || !hasfixed);

            f.form->resize(f.form->width() + 123, f.form->height() + 45);
            left = f.form->size();
            f.form->close();
        }
        Fixture again;
        QCOMPARE(again.form->size(), left);
    }

    // In a demo the picker says the demo meter stands behind the port, and what is picked
    // holds for this run only; outside one, the default device removes a choice made before.
    void aDemoPickIsNotRememberedAndTheDefaultRemovesAChoice() {
        savedevice(4, QStringLiteral("/dev/ttyUSB7"));
        {
            Demo demo;
            auto form = demoform(demo);
            form->Combo1()->setEditText(QStringLiteral("2"));
            QString note;
            QVERIFY(pick(*form, [&](DevicePicker& p, const QString& text) {
                note = text;
                p.pathedit->setText(QStringLiteral("/dev/ttyUSB3"));
            }));
            QVERIFY2(note.contains(QStringLiteral("模拟的邮资表")) &&
                         !note.contains(QStringLiteral("--device")),
                     qPrintable(note));
            QVERIFY(form->findChild<StatusText*>(QStringLiteral("device"))
                        ->full()
                        .startsWith(QStringLiteral("端口 2 → /dev/ttyUSB3")));
        }
        QCOMPARE(saveddevices(), (std::map<int, QString>{{4, QStringLiteral("/dev/ttyUSB7")}}));

        Fixture f;
        f.form->usedevices([](const PortMap&) { return std::make_unique<ScriptedDevice>(wallms); },
                           PortMap{});
        const struct {
            int port;
            std::function<void(DevicePicker&)> choose;
        } picks[] = {
            // The list's first entry, the port's default device (where it is there: else
            // the empty path, as the picker says).
            {4,
             [](DevicePicker& p) {
                 if (devicemissing(QString::fromStdString(PortMap::defaultdevice(4))))
                     p.pathedit->clear();
                 else
                     p.devicelist->setCurrentRow(0);
             }},
            // The default device's own path, typed.
            {3,
             [](DevicePicker& p) {
                 p.pathedit->setText(QString::fromStdString(PortMap::defaultdevice(3)));
             }},
        };
        savedevice(3, QStringLiteral("/dev/ttyUSB9"));
        for (const auto& c : picks) {
            f.form->Combo1()->setEditText(QString::number(c.port));
            QVERIFY(pick(*f.form, [&](DevicePicker& p, const QString&) { c.choose(p); }));
            QVERIFY2(!saveddevices().count(c.port), qPrintable(QString::number(c.port)));
        }
        QVERIFY(saveddevices().empty());
    }

    // Enter on the focused button starts; Esc ends the reading within a second at its failure
    // end, and the journal keeps it. Closing the window ends a reading the same way.
    void cancelAndCloseEndTheReadingAtOnce() {
        const std::string longreason = "the meter said: " + std::string(400, 'x');
        meter::testing::TestFamily stuck; // asks, then waits for a reply that never comes
        stuck.steps = {Step::send(Bytes{0xFE, 0x01}, 2, "已用邮资"), Step::await()};
        meter::testing::TestFamily failing;
        failing.steps = {Step::fail(Reason(ReasonCode::system_message, longreason))};
        FamilyTable families{{12, meter::testing::makerof(stuck)},
                             {13, meter::testing::makerof(failing)}};
        Fixture f(families);
        QTemporaryDir dir;
        const QString journal = dir.filePath(QStringLiteral("j.csv"));
        f.form->usejournal(journal);
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        f.choose(QStringLiteral("2"), QStringLiteral("5400(4表头)"));
        f.form->cmd_begin()->setFocus();
        QTest::keyClick(f.form->cmd_begin(), Qt::Key_Return);
        QVERIFY(f.form->reading());
        QVERIFY(!f.form->cmd_begin()->isEnabled());
        QTRY_COMPARE(f.form->txt_send()->toPlainText(), QStringLiteral(" FE 1,"));
        QTRY_VERIFY(f.form->status().contains(
            QStringLiteral("等待已用邮资（0 / 60 秒）；停止：Esc 或 读取 → 取消")));
        QVERIFY(f.form->status().startsWith(QStringLiteral("正在读取 5400(4表头)")));
        QVERIFY(f.form->progressbar()->isVisible());
        QCOMPARE(f.form->progressbar()->maximum(), 60000);

        QSignalSpy done(f.form.get(), &Form1::readingfinished);
        QElapsedTimer t;
        t.start();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(done.wait(1000));
        QVERIFY(t.elapsed() < 1000);
        QVERIFY(!f.form->reading());
        QVERIFY(!f.device->isopen());
        QVERIFY(!f.form->progressbar()->isVisible());
        QVERIFY2(f.form->status().contains(QStringLiteral("读取失败")) &&
                     f.form->status().contains(QStringLiteral("操作员已取消")),
                 qPrintable(f.form->status()));
        auto row = csvreading(slurp(journal));
        QCOMPARE(row["reason"], std::string("cancelled by the operator"));
        QCOMPARE(row["status"], std::string("failed"));
        QCOMPARE(row["sent"], std::string(" FE 1,"));

        // A long reason is elided on the status line and whole in its tooltip and the journal.
        f.click(); // 结束
        f.choose(QStringLiteral("2"), QStringLiteral("5400(5表头)"));
        QVERIFY(f.click());
        auto* statusline = f.form->findChild<QLabel*>(QStringLiteral("status"));
        QVERIFY(f.form->status().endsWith(QString::fromStdString(longreason)));
        QVERIFY(statusline->text().endsWith(QChar(0x2026)));
        QCOMPARE(statusline->text().count(QLatin1Char('\n')), 2); // three lines, then cut
        QVERIFY(statusline->text().size() < f.form->status().size());
        QCOMPARE(statusline->toolTip(), f.form->status());
        QVERIFY(f.form->width() < 800);
        QCOMPARE(meter::testing::parsecsv(slurp(journal).mid(3).toStdString()).back()[13],
                 longreason);

        f.click(); // 结束
        f.choose(QStringLiteral("2"), QStringLiteral("5400(4表头)"));
        QTest::mouseClick(f.form->cmd_begin(), Qt::LeftButton);
        QTRY_VERIFY(f.form->status().contains(QStringLiteral("已用邮资")));
        t.restart();
        f.form->close();
        QVERIFY(t.elapsed() < 1000);
        QVERIFY(!f.device->isopen());
    }

    // The most a wait can take, as the status line and the progress bar show it, is the longest
    // wait of each family's reading of a silent meter, to within one poll (virtual time).
    void progressLimitIsTheLongestWaitOfEachFamily() {
        struct Waits : ReadingListener {
            const VirtualPacer& pacer;
            std::int64_t last = -1;
            explicit Waits(const VirtualPacer& p) : pacer(p) {}
            void sent(std::string_view) override {}
            void received(std::string_view) override {}
            void waiting(std::string_view) override { last = pacer.nowms(); }
        };
        const struct {
            std::int16_t code;
            std::int64_t limit, poll;
        } families[] = {{12, 60000, 1000}, {13, 60000, 1000}, {21, 9000, 100},
                        {22, 5000, 100},   {11, 4000, 800},   {31, 4000, 800}};
        for (const auto& c : families) {
            QCOMPARE(waitlimitms(c.code), c.limit);
            VirtualPacer pacer;
            ScriptedDevice device([&pacer] { return pacer.nowms(); });
            meter::testing::FakeVendor vendor;
            Waits waits(pacer);
            Driver driver({device, pacer, vendor, &waits});
            QCOMPARE(driver.initport(1, c.code), std::int16_t{1});
            driver.Getregisters();
            const std::int64_t longest = pacer.nowms() - waits.last;
            QVERIFY2(waits.last >= 0 && std::abs(longest - c.limit) <= c.poll,
                     qPrintable(QStringLiteral("code %1: %2 ms").arg(c.code).arg(longest)));
        }
        QCOMPARE(waitlimitms(51), std::int64_t{0}); // the vendor library sets no bound
        QCOMPARE(waittext(QStringLiteral("copote"), QStringLiteral("copote"), 3500, 0),
                 QStringLiteral("正在读取 copote：等待 copote（3 秒）"));
        QCOMPARE(waittext(QStringLiteral("5400(4表头)"), QStringLiteral("表头"), 61000, 60000),
                 QStringLiteral("正在读取 5400(4表头)：等待表头（60 / 60 秒）"));
    }

    // A vendor library that hangs in ReadRegister (port 2 of the test library) does not hold
    // the window: closing it kills the library's helper program.
    void closingEndsAHungVendorLibraryWithinASecond() {
        Form1 form(std::make_unique<ScriptedDevice>(wallms),
                   std::make_unique<HostedVendorLibrary>(findprivatefile(vendorhostname()),
                                                         faultylibrary()),
                   false);
        form.show();
        form.Combo1()->setEditText(QStringLiteral("2"));
        form.Combo2()->setEditText(QStringLiteral("copote"));
        QTest::mouseClick(form.cmd_begin(), Qt::LeftButton);
        QVERIFY(form.reading());
        QTest::qWait(300);
        QElapsedTimer t;
        t.start();
        form.close();
        QVERIFY(t.elapsed() < 1000);
    }

    // Every machine type through the window, on the demo meter over a pseudo-terminal: the
    // reading runs on its thread, the traffic reaches the boxes and the record the labels.
    void readsEveryMachineTypeOnTheDemoMeter() {
        Demo demo;
        auto window = demoform(demo);
        Form1& form = *window;
        QTemporaryDir dir;
        QVERIFY(form.windowTitle().contains(QStringLiteral("演示")));
        const QStringList values{
            QStringLiteral("总邮资：000002111050"), QStringLiteral("已用邮资：000001234500"),
            QStringLiteral("未用邮资：000000876550"), QStringLiteral("总件数：0000004321"),
            QStringLiteral("表头：0000123456")};
        // The demo meter answers 5400 requests in the 4-head scale, so "5400(5表头)" shows its
        // postage ten times larger.
        const QStringList fivehead{QStringLiteral("总邮资：000021110500"),
                                   QStringLiteral("已用邮资：000012345000"),
                                   QStringLiteral("未用邮资：000008765500"), values[3], values[4]};
        for (int i = 0; i < form.Combo2()->count(); ++i) {
            const QString type = form.Combo2()->itemText(i);
            form.Combo1()->setEditText(QString::number(i + 1));
            form.Combo2()->setCurrentIndex(i);
            QSignalSpy done(&form, &Form1::readingfinished);
            QTest::mouseClick(form.cmd_begin(), Qt::LeftButton);
            QVERIFY(done.wait(30000));
            const QStringList shown{form.lbl_total()->text(), form.lbl_use()->text(),
                                    form.lbl_unuse()->text(), form.lbl_num()->text(),
                                    form.lbl_biao()->text()};
            QCOMPARE(shown, type == QStringLiteral("5400(5表头)") ? fivehead : values);
            QVERIFY2(form.status().startsWith(QStringLiteral("读取完成")), qPrintable(type));
            const QString saved = dir.filePath(QStringLiteral("r.json"));
            QCOMPARE(form.save(saved), QString());
            QCOMPARE(QJsonDocument::fromJson(slurp(saved))[QStringLiteral("device")].toString(),
                     QStringLiteral("demo"));
            if (type != QStringLiteral("copote")) {
                QVERIFY2(form.txt_send()->toPlainText().endsWith(QLatin1Char(',')),
                         qPrintable(type));
                QVERIFY2(!form.txt_rece()->toPlainText().isEmpty(), qPrintable(type));
            }
            QTest::mouseClick(form.cmd_begin(), Qt::LeftButton); // 结束: clear for the next one
            QVERIFY(form.txt_send()->toPlainText().isEmpty());
        }
    }

    // Not a check: a picture of the window for scripts/screenshot.sh, in the state
    // METERREADER_SCREENSHOT_STATE names: "done" (after a demo reading of
    // METERREADER_SCREENSHOT_TYPE, copote by default), "reading" (a 5400 reading under way) or
    // "failed" (port 8 behind a USB adapter that is not plugged in), "device" (the device
    // picker), "journal" (the journal's table on a day's readings), "large" (after a reading,
    // the window enlarged) or "report" (the reading's report, written as PDF).
    void screenshot() {
        const QByteArray out = qgetenv("METERREADER_SCREENSHOT");
        if (out.isEmpty()) QSKIP("METERREADER_SCREENSHOT not set");
        QString type = QString::fromUtf8(qgetenv("METERREADER_SCREENSHOT_TYPE"));
        QString state = QString::fromUtf8(qgetenv("METERREADER_SCREENSHOT_STATE"));
        if (state.isEmpty()) state = QStringLiteral("done");
        // METERREADER_SCREENSHOT_LANG=en: the English window.
        struct Language {
            explicit Language(bool en) {
                uselanguage(en ? meter::Language::en : meter::Language::zh);
            }
            ~Language() { uselanguage(meter::Language::zh); }
        } language(qgetenv("METERREADER_SCREENSHOT_LANG") == "en");
        if (type.isEmpty())
            type = state == QStringLiteral("reading")  ? QStringLiteral("5400(4表头)")
                   : state == QStringLiteral("failed") ? QStringLiteral("neopost")
                                                       : QStringLiteral("copote");
        Demo demo;
        auto window = demoform(demo);
        Form1& form = *window;
        if (state == QStringLiteral("journal")) {
            // A day's journal: readings of several types, some of which failed.
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("journal.csv"));
            const std::string good = digits56.toStdString();
            struct Row {
                const char* time;
                int port;
                const char* type;
                int code;
                bool read, normal;
                Reason why;
            };
            const Row rows[] = {
                {"2026-12-08T09:02:11+08:00", 1, "pitneybows 950", 21, true, true, {}},
                {"2026-12-08T09:15:40+08:00", 1, "pitneybows spark", 22, true, true, {}},
                {"2026-12-08T10:01:05+08:00", 2, "neopost", 11, false, false,
                 Reason(ReasonCode::nothing_received,
                        Reason(ReasonCode::reply_timeout, 2000, 20, "register reply", 0, 62))},
                {"2026-12-08T10:03:27+08:00", 2, "neopost", 11, true, true, {}},
                {"2026-12-08T11:20:52+08:00", 3, "5400(4表头)", 12, true, true, {}},
                {"2026-12-08T13:44:09+08:00", 8, "高速机", 31, false, false,
                 Reason(ReasonCode::device_missing, 8, "/dev/ttyUSB0")},
                {"2026-12-08T14:10:30+08:00", 4, "copote", 51, false, true,
                 Reason(ReasonCode::registers_all_zero)},
                {"2026-12-08T15:31:18+08:00", 3, "5400(5表头)", 13, true, true, {}},
            };
            for (const Row& row : rows) {
                ReadingReport r;
                r.time = row.time;
                r.port = row.port;
                r.device = "/dev/ttyUSB0";
                r.typetext = row.type;
                r.code = static_cast<std::int16_t>(row.code);
                r.record = row.read ? good : "";
                r.normal = row.normal;
                r.setreason(row.why);
                QVERIFY(appendjournal(path.toStdString(), r).empty());
            }
            form.usejournal(path);
            form.act_viewjournal()->trigger();
            JournalView* view = form.journalview();
            QVERIFY(QTest::qWaitForWindowExposed(view));
            view->resize(view->width(), 330); // its own width: every column shows
            view->table()->selectRow(2);
            QTest::qWait(300);
            QVERIFY(view->grab().save(QString::fromLocal8Bit(out)));
            return;
        }
        QString port = QStringLiteral("3");
        if (state == QStringLiteral("failed")) {
            PortMap ports;
            demo.mapallports(ports);
            ports.set(8, unpluggedadapter);
            form.usedevices([](const PortMap& m) { return makeserialdevice(m); }, ports);
            port = QStringLiteral("8");
        }
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Combo1()->setEditText(port);
        form.Combo2()->setEditText(QCoreApplication::translate("meter::Form1", type.toUtf8()));
        if (state == QStringLiteral("device")) {
            form.usedevices([](const PortMap& m) { return makeserialdevice(m); }, PortMap{});
            form.usedemo({}); // the picker as a real run shows it
            bool saved = false;
            QTimer::singleShot(200, &form, [&] {
                if (auto* picker = qobject_cast<DevicePicker*>(QApplication::activeModalWidget())) {
                    saved = picker->grab().save(QString::fromLocal8Bit(out));
                    picker->reject();
                }
            });
            form.act_device()->trigger();
            QVERIFY(saved);
            return;
        }
        // METERREADER_SCREENSHOT_VERIFY=1: with 读取 → 核对读取（读两次） on.
        if (qgetenv("METERREADER_SCREENSHOT_VERIFY") == "1") form.act_verify()->setChecked(true);
        QSignalSpy done(&form, &Form1::readingfinished);
        QTest::mouseClick(form.cmd_begin(), Qt::LeftButton);
        if (state == QStringLiteral("reading")) {
            QTRY_VERIFY_WITH_TIMEOUT(
                form.status().contains(registerfor(QStringLiteral("未用邮资"))), 20000);
            QTest::qWait(1500);
        } else {
            QVERIFY(done.wait(120000));
        }
        if (state == QStringLiteral("report")) {
            QCOMPARE(form.exportpdf(QString::fromLocal8Bit(out)), QString());
            return;
        }
        if (state == QStringLiteral("large")) {
            // Enlarged: the traffic boxes take the room.
            form.resize(form.size() + QSize(300, 240));
            QTest::qWait(300);
        }
        QVERIFY(form.grab().save(QString::fromLocal8Bit(out)));
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
