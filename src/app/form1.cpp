// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form1.h"

#include "app/devicepicker.h"
#include "app/helpdialogs.h"
#include "app/journalview.h"
#include "app/keepfile.h"
#include "app/language.h"
#include "app/progress.h"
#include "app/reportsheet.h"
#include "frontend/journal.h"
#include "frontend/keeping.h"
#include "frontend/readingcapture.h"
#include "frontend/readingsetup.h"
#include "frontend/recordview.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QStatusBar>

#ifdef METERREADER_PRINTING
#include <QPrintDialog>
#include <QPrinter>
#endif

#include <filesystem>
#include <utility>

namespace meter {

Form1::Form1(std::unique_ptr<SerialDevice> device, std::unique_ptr<VendorLibrary> vendor, bool demo,
             FamilyTable families, QWidget* parent)
    : QMainWindow(parent), runner_(std::move(device), std::move(vendor), std::move(families)),
      panel_(new MeterPanel(this)),
      // Half the bar at most for the device: the status line needs the room more.
      status_(statusBar(), panel_->minimumWidth() / 2) {
    setWindowTitle(demo ? tr("meterreader — 演示（模拟的邮资表）") : QStringLiteral("meterreader"));
    setCentralWidget(panel_);
    if (demo) status_.say(tr("演示：每个端口都连着模拟的邮资表"));
    createmenus();
    connect(panel_, &MeterPanel::startasked, this, &Form1::startreading);
    connect(panel_, &MeterPanel::cleared, this, &Form1::clearresult);
    // 结束 puts the port and the type back to their first items: say so, so that the next
    // 开始 reads nothing the operator did not see.
    connect(panel_, &MeterPanel::cleared, this, [this] {
        status_.say(tr("已清空；端口 %1，%2").arg(Combo1()->currentText(), Combo2()->currentText()));
    });
    connectreading();

    // The device behind the port shows as the port is chosen; a USB adapter plugged in or
    // pulled out shows without a reading.
    connect(Combo1(), &QComboBox::editTextChanged, this, &Form1::showdevice);
    devicecheck_.setInterval(2000);
    connect(&devicecheck_, &QTimer::timeout, this, &Form1::showdevice);
    devicecheck_.start();
    progress_.setInterval(250);
    connect(&progress_, &QTimer::timeout, this, &Form1::showprogress);

    showjournal();

    panel_->Form_Load();
    showdevice();
    // Where the operator left the window.
    restoreGeometry(AppSettings().value(QStringLiteral("window/geometry")).toByteArray());
}

// The echo, the progress and the end of a reading, from the reading's thread.
void Form1::connectreading() {
    connect(&runner_, &ReadingRunner::echosent, panel_, &MeterPanel::appendsent);
    connect(&runner_, &ReadingRunner::echoreceived, panel_, &MeterPanel::appendreceived);
    connect(&runner_, &ReadingRunner::waitingon, this, [this](const QString& what) {
        waiting_ = registerfor(what);
        waited_.start();
        showprogress();
    });
    connect(&runner_, &ReadingRunner::finished, this, &Form1::onfinished);
}

Form1::~Form1() {
    runner_.shutdown();
}

namespace {

// `text` with the access key `key`: its first letter `key` marked where it has one ("&Save…"),
// else the key after it in brackets, before a closing ellipsis ("保存(&S)…").
QString withaccesskey(const QString& text, char key) {
    const QChar k = QLatin1Char(key);
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].toUpper() == k.toUpper()) return QString(text).insert(i, QLatin1Char('&'));
    const QString mark = QStringLiteral("(&%1)").arg(k.toUpper());
    const QChar ellipsis(0x2026);
    if (text.endsWith(ellipsis)) return text.chopped(1) + mark + ellipsis;
    return text + mark;
}

// A menu's item: its text, what it does, its object name and shortcut where it has them.
template <typename Receiver, typename Slot>
QAction* item(QMenu* menu, const QString& text, const Receiver* receiver, Slot slot,
              const char* name = nullptr, const QKeySequence& key = {}) {
    QAction* a = menu->addAction(text, receiver, slot);
    if (name) a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) a->setShortcut(key);
    return a;
}

} // namespace

void Form1::createmenus() {
    QMenu* file = menuBar()->addMenu(tr("文件(&F)"));
    act_save_ = item(file, tr("保存…"), this, &Form1::savedialog, "act_save", QKeySequence::Save);
#ifdef METERREADER_PRINTING
    act_print_ =
        item(file, tr("打印报告…"), this, &Form1::printdialog, "act_print", QKeySequence::Print);
#endif
    act_pdf_ = item(file, tr("导出 PDF…"), this, &Form1::pdfdialog, "act_pdf");
    act_savecapture_ =
        item(file, tr("保存抓包…"), this, &Form1::savecapturedialog, "act_savecapture");
    file->addSeparator();
    act_journal_ = item(file, tr("记录日志"), this, &Form1::turnjournal, "act_journal");
    act_journal_->setCheckable(true);
    act_journalfile_ = item(file, tr("日志文件…"), this, &Form1::choosejournal);
    act_viewjournal_ = item(file, tr("查看日志…"), this, &Form1::viewjournal, "act_viewjournal");
    file->addSeparator();
    QAction* quit = item(file, tr("退出"), this, &QWidget::close, nullptr, QKeySequence::Quit);

    QMenu* edit = menuBar()->addMenu(tr("编辑(&E)"));
    act_copy_ =
        item(edit, tr("复制结果"), panel_, &MeterPanel::copy, "act_copy", QKeySequence::Copy);

    QMenu* reading = menuBar()->addMenu(tr("读取(&R)"));
    act_cancel_ = item(reading, tr("取消"), this, &Form1::cancelreading, "act_cancel",
                       QKeySequence(Qt::Key_Escape));
    // A verified reading: the same reading twice, good only when both agree.
    act_verify_ = reading->addAction(tr("核对读取（读两次）"));
    act_verify_->setObjectName(QStringLiteral("act_verify"));
    act_verify_->setCheckable(true);
    act_verify_->setChecked(verifiedreadings());
    // However it is checked, the status line and the settings follow.
    connect(act_verify_, &QAction::toggled, this, &Form1::turnverify);
    status_.showmode(act_verify_->isChecked() ? tr("核对读取：读两次") : QString());
    QMenu* device = menuBar()->addMenu(tr("设备(&D)"));
    act_device_ = item(device, tr("选择设备…"), this, &Form1::pickdevice, "act_device");

    QMenu* help = menuBar()->addMenu(tr("帮助(&H)"));
    act_manual_ = item(
        help, tr("使用说明"), this, [this] { showmanual(this); }, "act_manual",
        QKeySequence::HelpContents);
    act_about_ = item(
        help, tr("关于"), this,
        [this] { showabout(this, AppSettings().fileName(), journal_.file()); }, "act_about");

    // Nothing to keep or cancel before a reading; no device to pick until usedevices() says
    // how to make one.
    for (QAction* a : {act_save_, act_savecapture_, act_cancel_, act_device_})
        a->setEnabled(false);
    setreportable(false);
    // Shortcuts of the menus work wherever the focus is in the window.
    for (QAction* a : {act_save_, act_copy_, act_cancel_, quit})
        a->setShortcutContext(Qt::WindowShortcut);

    // Access keys: Alt, the menu's letter, then the item's.
    const std::pair<QAction*, char> keys[] = {
        {act_save_, 'S'},   {act_print_, 'P'},  {act_pdf_, 'E'},         {act_savecapture_, 'C'},
        {act_journal_, 'K'}, {act_journalfile_, 'F'}, {act_viewjournal_, 'V'}, {quit, 'Q'},
        {act_copy_, 'C'},   {act_cancel_, 'C'}, {act_verify_, 'V'},       {act_device_, 'D'},      {act_manual_, 'U'},
        {act_about_, 'A'}};
    for (const auto& [action, key] : keys)
        if (action) action->setText(withaccesskey(action->text(), key));
}

// The Start branch, once the panel is cleared: the choice checked, then the reading started.
void Form1::startreading(const QString& port, std::int16_t code, const QString& typetext) {
    clearresult();
    if (const Reason why =
            session_.choose(runner_.driver(), port.toStdString(), code, typetext.toStdString())) {
        status_.say(tr("未读取：%1").arg(QString::fromStdString(why.text(windowlanguage()))),
                    Look::warning);
        return;
    }
    reading_ = true;
    session_.begin(runner_.describe(session_.port()));
    waiting_.clear();
    panel_->setbusy(true);
    act_cancel_->setEnabled(true);
    act_device_->setEnabled(false);
    elapsed_.start();
    waited_.start();
    progress_.start();
    showprogress();
    runner_.start(act_verify_->isChecked());
}

void Form1::turnverify(bool on) {
    rememberverifiedreadings(on);
    status_.showmode(on ? tr("核对读取：读两次") : QString());
}

void Form1::cancelreading() {
    if (reading_) runner_.cancel();
}

void Form1::onfinished(const ReadingPasses& passes) {
    progress_.stop();
    status_.hideprogress();
    reading_ = false;
    panel_->setbusy(false);
    act_cancel_->setEnabled(false);
    act_device_->setEnabled(static_cast<bool>(makedevice_));
    FinishedReading r = session_.finish(passes);
    markdemo(r.report, demodevice_);
    last_ = r.report;
    lastreason_ = r.outcome.reason;
    act_save_->setEnabled(true);
    setreportable(true);
    lastcapture_ = capturereading(r, runner_.recorder());
    act_savecapture_->setEnabled(true);

    const QString why = QString::fromStdString(r.outcome.reason.text(windowlanguage()));
    const QString seconds = QString::number(static_cast<double>(r.elapsedms) / 1000.0, 'f', 1);
    QString text;
    Look look = Look::plain;
    if (!r.outcome.normal()) {
        text = tr("读取失败（%1 秒）：%2").arg(seconds, why);
        look = Look::failure;
    } else if (r.outcome.reason) {
        text = tr("没有读到数据（%1 秒）：%2").arg(seconds, why);
        look = Look::warning;
    } else {
        text = tr("读取完成（%1 秒）").arg(seconds);
        if (r.report.verified.value_or(false)) text += tr("；已核对：两次读取一致");
    }
    panel_->showrecord(r.fields, look != Look::plain);

    if (journalling()) {
        if (const Reason error = keepjournal(journal_.file().toStdString(), r.report,
                                             JournalSettings::defaultfile().toStdString());
            !error.empty()) {
            text +=
                tr("；日志未写入：%1").arg(QString::fromStdString(error.text(windowlanguage())));
            look = Look::failure;
        }
    }
    status_.say(text, look);
    showdevice();
    emit readingfinished();
}

void Form1::clearresult() {
    last_.reset();
    act_save_->setEnabled(false);
    setreportable(false);
    lastcapture_.reset();
    act_savecapture_->setEnabled(false);
    status_.say({});
}

void Form1::showdevice() {
    bool whole = false;
    const int port = Combo1()->currentText().trimmed().toShort(&whole);
    QString text;
    if (!whole) {
        text = tr("端口：—");
    } else if (const QString path = QString::fromStdString(runner_.describe(port));
               path.isEmpty()) {
        text = tr("端口 %1：没有设备").arg(port);
    } else {
        text = tr("端口 %1 → %2").arg(port).arg(path);
        if (devicemissing(path)) text += tr("（不存在）");
    }
    status_.showdevice(text);
    Combo1()->setToolTip(text);
}

void Form1::showprogress() {
    if (!reading_) return;
    const std::int64_t limit = waiting_.isEmpty() ? 0 : waitlimitms(session_.code());
    const std::int64_t waited = waiting_.isEmpty() ? elapsed_.elapsed() : waited_.elapsed();
    status_.say(waittext(QString::fromStdString(session_.typetext()), waiting_, waited, limit) +
                tr("；停止：Esc 或 读取 → 取消"));
    status_.showprogress(waited, limit);
}

QString Form1::status() const {
    return status_.full();
}

void Form1::usedevices(DeviceFactory make, PortMap fixed) {
    makedevice_ = std::move(make);
    devices_ = DeviceChoices(std::move(fixed));
    applydevicemap();
    act_device_->setEnabled(!reading_);
}

void Form1::applydevicemap() {
    runner_.replacedevice(makedevice_(devices_.ports()));
    // The vendor library of "copote" finds the ports the same way.
    exportports(devices_.ports());
    showdevice();
}

void Form1::pickdevice() {
    if (!makedevice_ || reading_) return;
    bool whole = false;
    const int current = Combo1()->currentText().trimmed().toInt(&whole);
    DevicePicker picker(whole ? current : 1, devices_.ports(), devices_.fixed(), this,
                        QString::fromStdString(demodevice_));
    if (picker.exec() != QDialog::Accepted || reading_) return;
    // A demo's choices hold for this run only: the settings are those of real readings.
    devices_.pick(picker.port(), picker.path(), demodevice_.empty());
    applydevicemap();
}

bool Form1::journalling() const {
    return journal_.on();
}

QString Form1::journalfile() const {
    return journal_.file();
}

void Form1::usejournal(const QString& path) {
    journal_.fix(path);
    showjournal();
}

void Form1::showjournal() {
    const QSignalBlocker quiet(act_journal_);
    act_journal_->setChecked(journal_.on());
    act_journal_->setToolTip(journal_.file());
}

void Form1::turnjournal(bool on) {
    journal_.turn(on);
    showjournal();
    status_.say(on ? tr("日志：每次读取都记在 %1").arg(journal_.file()) : tr("日志已关闭"));
}

void Form1::choosejournal() {
    const QString path =
        QFileDialog::getSaveFileName(this, tr("日志文件"), journal_.file(), tr("CSV 文件 (*.csv)"),
                                     nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    if (const QString refused = switchjournal(path); !refused.isEmpty())
        status_.say(tr("日志文件未更换：%1").arg(refused), Look::failure);
    else if (!journal_.fixed())
        status_.say(tr("日志：每次读取都记在 %1").arg(journal_.file()));
}

QString Form1::switchjournal(const QString& path) {
    // A file that is no journal is refused now, not at the next reading.
    const QString native = QDir::toNativeSeparators(path);
    if (const Reason why = journalrefusal(native.toStdString()))
        return QString::fromStdString(why.text(windowlanguage()));
    journal_.choose(native);
    showjournal();
    return {};
}

JournalView* Form1::journalview() const {
    return journalview_;
}

void Form1::viewjournal() {
    if (!journalview_) journalview_ = new JournalView(journal_.file(), this);
    journalview_->show();
    journalview_->raise();
    journalview_->activateWindow();
}

QString Form1::save(const QString& path) {
    if (!last_) return tr("没有可保存的读取结果");
    const Reason error = savereading(path.toStdString(), *last_);
    return QString::fromStdString(error.text(windowlanguage()));
}

void Form1::savedialog() {
    if (!last_) return;
    keepfile(this, status_,
             {tr("保存读取结果"), QStringLiteral("meter-%1.csv").arg(last_->port),
              tr("CSV 文件 (*.csv);;JSON 文件 (*.json)"), tr("已保存：%1"), tr("未保存：%1"),
              last_->normal && last_->reason.empty() ? Look::plain : Look::warning},
             [this](const QString& path) { return save(path); });
}

void Form1::setreportable(bool on) {
    act_pdf_->setEnabled(on);
    if (act_print_) act_print_->setEnabled(on);
}

namespace {
ReportSheet sheetof(const ReadingReport& report, const Reason& why) {
    return {report, QString::fromStdString(why.text(windowlanguage())),
            QStringLiteral(METERREADER_VERSION)};
}
} // namespace

QString Form1::exportpdf(const QString& path) {
    if (!last_) return tr("没有可保存的读取结果");
    const Reason error = sheetof(*last_, lastreason_).writepdf(path);
    return QString::fromStdString(error.text(windowlanguage()));
}

void Form1::pdfdialog() {
    if (!last_) return;
    keepfile(this, status_,
             {tr("导出 PDF"), QStringLiteral("meter-%1.pdf").arg(last_->port),
              tr("PDF 文件 (*.pdf)"), tr("已导出：%1"), tr("未导出：%1")},
             [this](const QString& path) { return exportpdf(path); });
}

void Form1::printdialog() {
#ifdef METERREADER_PRINTING
    if (!last_) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(tr("邮资表读数报告"));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted || !last_) return;
    if (sheetof(*last_, lastreason_).paint(printer) > 0)
        status_.say(tr("报告已送往打印机：%1").arg(printer.printerName()));
    else
        status_.say(tr("未打印：打印机 %1 不接受").arg(printer.printerName()), Look::failure);
#endif
}

QString Form1::savecapture(const QString& path) {
    if (!lastcapture_) return tr("没有可保存的抓包");
    // The dialog asked before replacing a file.
    const Reason error = keepcapture(path.toStdString(), *lastcapture_, Replace::asked);
    return QString::fromStdString(error.text(windowlanguage()));
}

void Form1::savecapturedialog() {
    if (!lastcapture_) return;
    keepfile(this, status_,
             {tr("保存抓包"), QStringLiteral("capture-%1.jsonl").arg(lastcapture_->header.port),
              tr("抓包文件 (*.jsonl)"), tr("已保存：%1"), tr("未保存：%1")},
             [this](const QString& path) { return savecapture(path); });
}

QString Form1::resultlines() const {
    return panel_->resultlines();
}

void Form1::closeEvent(QCloseEvent* event) {
    AppSettings().setValue(QStringLiteral("window/geometry"), saveGeometry());
    // Ends a running reading at its next poll; the port is closed on the reading's thread.
    runner_.shutdown();
    event->accept();
}

} // namespace meter
