// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form1.h"

#include "app/devicepicker.h"
#include "app/language.h"
#include "app/progress.h"
#include "app/qtreadingsetup.h"
#include "app/statustext.h"
#include "core/machinetypes.h"
#include "frontend/recordview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>

#include <ctime>

namespace meter {

namespace {

// The layout is drawn in twips; at 15 twips per pixel the client area is 656 x 566, and Qt's
// high-DPI scaling does the rest.
QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

template <typename W> W* place(QWidget* parent, const char* name, QRect where) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(where);
    return w;
}

// The operator's own texts are Chinese, exactly as the operator's documentation gives them; in
// another language they are translated like every other text of the window.
QString shown(const char* text) {
    return QCoreApplication::translate("meter::Form1", text);
}
[[maybe_unused]] const char* const operatortexts[] = {
    QT_TRANSLATE_NOOP("meter::Form1", "总邮资："),
    QT_TRANSLATE_NOOP("meter::Form1", "已用邮资："),
    QT_TRANSLATE_NOOP("meter::Form1", "未用邮资："),
    QT_TRANSLATE_NOOP("meter::Form1", "总件数："),
    QT_TRANSLATE_NOOP("meter::Form1", "表头："),
    QT_TRANSLATE_NOOP("meter::Form1", "表头号："),
    QT_TRANSLATE_NOOP("meter::Form1", "高速机"),
    QT_TRANSLATE_NOOP("meter::Form1", "5400(4表头)"),
    QT_TRANSLATE_NOOP("meter::Form1", "5400(5表头)"),
};

// The machine type a list text names: the list's texts as shown, or the Chinese ones.
std::int16_t typecode(const QString& text) {
    if (const std::int16_t code = codefor(text.toStdString())) return code;
    for (const auto& t : machinetypes())
        if (shown(t.text) == text) return t.code;
    return 0;
}

QLabel* label(QWidget* parent, const char* name, const char* text, QRect where) {
    auto* l = place<QLabel>(parent, name, where);
    // Labels show register text from the line or the vendor library: never read it as markup.
    l->setTextFormat(Qt::PlainText);
    l->setText(shown(text));
    return l;
}

QPlainTextEdit* trafficbox(QWidget* parent, const char* name, QRect where) {
    auto* box = place<QPlainTextEdit>(parent, name, where);
    // Read-only, but the operator can still select and copy the traffic.
    box->setReadOnly(true);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return box;
}

void append(QPlainTextEdit* box, const QString& text) {
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
}

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

const char* const journalon = "journal/on";
const char* const journalpath = "journal/file";

} // namespace

Form1::Form1(std::unique_ptr<SerialDevice> device, std::unique_ptr<VendorLibrary> vendor, bool demo,
             FamilyTable families, QWidget* parent)
    : QMainWindow(parent), runner_(std::move(device), std::move(vendor), std::move(families)) {
    setWindowTitle(demo ? tr("meterreader — 演示（模拟的邮资表）") : QStringLiteral("meterreader"));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(9840 / 15, 8490 / 15);
    setCentralWidget(client);

    // Created in tab order.
    Label1 = label(client, "Label1", QT_TRANSLATE_NOOP("meter::Form1", "端口号："),
                   twips(1320, 240, 1455, 495));
    Label2 = label(client, "Label2", QT_TRANSLATE_NOOP("meter::Form1", "机器类型："),
                   twips(1200, 1080, 1335, 495));
    cmd_begin = place<QPushButton>(client, "cmd_begin", twips(1200, 1800, 1695, 495));
    cmd_begin->setText(tr("开始"));
    lbl_biao = label(client, "lbl_biao", prefix::headatstart, twips(5640, 3120, 3975, 375));
    lbl_num = label(client, "lbl_num", prefix::pieces, twips(5640, 2400, 3975, 375));
    lbl_unuse = label(client, "lbl_unuse", prefix::unused, twips(5640, 1680, 3975, 375));
    lbl_use = label(client, "lbl_use", prefix::used, twips(5640, 960, 3975, 375));
    lbl_total = label(client, "lbl_total", prefix::total, twips(5640, 240, 3975, 375));
    Combo1 = place<QComboBox>(client, "Combo1", twips(2640, 240, 2535, 315));
    Combo2 = place<QComboBox>(client, "Combo2", twips(2640, 1080, 2535, 315));
    for (QComboBox* c : {Combo1, Combo2}) {
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        // A typed text is taken exactly as typed. Qt's default completer ignores case and
        // completes inline, and on Enter or focus-out replaces "Neopost" with "neopost" or
        // "copo" with "copote", which would start a reading the operator did not name. Without
        // a completer the list matches case-sensitively.
        c->setCompleter(nullptr);
    }
    QStringList types;
    for (const auto& t : machinetypes())
        types << QStringLiteral("  ") + shown(t.text);
    Combo2->setToolTip(tr("选择或输入机器类型，文字须完全一致（区分大小写）：\n%1")
                           .arg(types.join(QLatin1Char('\n'))));
    Label3 = label(client, "Label3", QT_TRANSLATE_NOOP("meter::Form1", "发送信息："),
                   twips(600, 3960, 1455, 255));
    txt_send = trafficbox(client, "txt_send", twips(840, 4320, 8175, 1455));
    Label4 = label(client, "Label4", QT_TRANSLATE_NOOP("meter::Form1", "接收信息："),
                   twips(360, 6120, 1455, 375));
    txt_rece = trafficbox(client, "txt_rece", twips(840, 6720, 8175, 1455));

    for (QLabel* l : {lbl_total, lbl_use, lbl_unuse, lbl_num, lbl_biao})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);

    setTabOrder(cmd_begin, Combo1);
    setTabOrder(Combo1, Combo2);
    setTabOrder(Combo2, txt_send);
    setTabOrder(txt_send, txt_rece);

    // The status line repeats typed texts and the reasons of failed readings (which may come
    // from the vendor library): plain text, selectable so the operator can copy a reason.
    statusicon_ = new QLabel(this);
    statusicon_->setObjectName(QStringLiteral("statusicon"));
    status_ = new StatusText(Qt::ElideRight, this);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_->setObjectName(QStringLiteral("status"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progressbar = new QProgressBar(this);
    progressbar->setObjectName(QStringLiteral("progress"));
    progressbar->setMaximumWidth(120);
    progressbar->setTextVisible(false);
    progressbar->hide();
    device_ = new StatusText(Qt::ElideMiddle, this);
    device_->setObjectName(QStringLiteral("device"));
    // Half the bar at most: the status line needs the room more.
    device_->setMaximumWidth(9840 / 15 / 2);
    statusBar()->addWidget(statusicon_);
    statusBar()->addWidget(status_, 1);
    statusBar()->addPermanentWidget(progressbar);
    statusBar()->addPermanentWidget(device_);
    statusBar()->setSizeGripEnabled(false);
    statusicon_->hide();
    if (demo) setstatus(tr("演示：每个端口都连着模拟的邮资表"));

    createmenus();
    cmd_begin->installEventFilter(this);
    for (QComboBox* c : {Combo1, Combo2}) {
        c->installEventFilter(this);
        c->lineEdit()->installEventFilter(this);
    }
    // A USB adapter plugged in or pulled out shows in the status bar without a reading.
    devicecheck_.setInterval(2000);
    connect(&devicecheck_, &QTimer::timeout, this, &Form1::showdevice);
    devicecheck_.start();

    AppSettings settings;
    if (settings.value(QString::fromLatin1(journalon), false).toBool()) setjournal(true, false);

    connect(cmd_begin, &QPushButton::clicked, this, &Form1::cmd_begin_Click);
    connect(Combo1, &QComboBox::editTextChanged, this, &Form1::showdevice);
    connect(&runner_, &ReadingRunner::echosent, this,
            [this](const QString& t) { append(txt_send, t); });
    connect(&runner_, &ReadingRunner::echoreceived, this,
            [this](const QString& t) { append(txt_rece, t); });
    connect(&runner_, &ReadingRunner::waitingon, this, [this](const QString& what) {
        waiting_ = registerfor(what);
        waited_.start();
        showprogress();
    });
    connect(&runner_, &ReadingRunner::finished, this, &Form1::onfinished);
    progress_.setInterval(250);
    connect(&progress_, &QTimer::timeout, this, &Form1::showprogress);

    Form_Load();
}

Form1::~Form1() {
    runner_.shutdown();
}

void Form1::createmenus() {
    QMenu* file = menuBar()->addMenu(tr("文件(&F)"));
    act_save = file->addAction(tr("保存…"), this, &Form1::savedialog);
    act_save->setObjectName(QStringLiteral("act_save"));
    act_save->setShortcut(QKeySequence::Save);
    act_save->setEnabled(false);
    file->addSeparator();
    act_journal = file->addAction(tr("记录日志"));
    act_journal->setObjectName(QStringLiteral("act_journal"));
    act_journal->setCheckable(true);
    connect(act_journal, &QAction::toggled, this, [this](bool on) { setjournal(on, true); });
    act_journalfile = file->addAction(tr("日志文件…"), this, &Form1::choosejournal);
    file->addSeparator();
    QAction* quit = file->addAction(tr("退出"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    QMenu* edit = menuBar()->addMenu(tr("编辑(&E)"));
    act_copy = edit->addAction(tr("复制结果"), this, &Form1::copy);
    act_copy->setObjectName(QStringLiteral("act_copy"));
    act_copy->setShortcut(QKeySequence::Copy);

    QMenu* reading = menuBar()->addMenu(tr("读取(&R)"));
    act_cancel = reading->addAction(tr("取消"), this, &Form1::cancelreading);
    act_cancel->setObjectName(QStringLiteral("act_cancel"));
    act_cancel->setShortcut(Qt::Key_Escape);
    act_cancel->setEnabled(false);

    QMenu* device = menuBar()->addMenu(tr("设备(&D)"));
    act_device = device->addAction(tr("选择设备…"), this, &Form1::pickdevice);
    act_device->setObjectName(QStringLiteral("act_device"));
    act_device->setEnabled(false); // until usedevices() says how to make one

    // Shortcuts of the menus work wherever the focus is in the window.
    for (QAction* a : {act_save, act_copy, act_cancel, quit})
        a->setShortcutContext(Qt::WindowShortcut);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cmd_begin && event->type() == QEvent::KeyPress) {
        // Enter starts (or clears) as a click does, when the button has the focus.
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && cmd_begin->isEnabled()) {
            cmd_begin->click();
            return true;
        }
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // A list's text takes Ctrl+C for itself only when some of it is selected; otherwise the
        // window copies its five results.
        auto* key = static_cast<QKeyEvent*>(event);
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (auto* list = qobject_cast<QComboBox*>(watched)) edit = list->lineEdit();
        if (edit && key->matches(QKeySequence::Copy) && !edit->hasSelectedText()) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::Form_Load() {
    Combo1->clear();
    Combo2->clear();
    for (int port = 1; port <= 8; ++port)
        Combo1->addItem(QString::number(port));
    for (const auto& t : machinetypes())
        Combo2->addItem(shown(t.text));
    Combo1->setCurrentIndex(0);
    Combo2->setCurrentIndex(0);
    showdevice();
    cmd_begin->setFocus(Qt::OtherFocusReason);
}

void Form1::cmd_begin_Click() {
    if (Combo1->currentText().isEmpty()) return;
    // One reading at a time: the reading owns the acquisition state until it ends.
    if (reading_) return;

    if (cmd_begin->text() == tr("结束")) {
        Combo1->setCurrentIndex(0);
        Combo1->setEditText(Combo1->itemText(0));
        cmd_begin->setText(tr("开始"));
        resetlabels();
        Combo2->setCurrentIndex(0);
        Combo2->setEditText(Combo2->itemText(0));
        txt_send->clear();
        txt_rece->clear();
        clearresult();
        Combo1->setFocus(Qt::OtherFocusReason);
        return;
    }

    bool whole = false;
    const QString porttext = Combo1->currentText();
    const std::int16_t port = porttext.trimmed().toShort(&whole);
    if (!whole) {
        setstatus(tr("未读取：端口号 \"%1\" 不是 -32768 到 32767 的整数").arg(porttext),
                  Look::warning);
        return;
    }
    const QString typetext = Combo2->currentText();
    const std::int16_t code = typecode(typetext);

    cmd_begin->setText(tr("开始"));
    resetlabels();
    txt_send->clear();
    txt_rece->clear();
    clearresult();

    if (runner_.driver().initport(port, code) != 1) {
        setstatus(tr("未读取：%1").arg(reasonfor(refusal(port, code, typetext))), Look::warning);
        return;
    }

    reading_ = true;
    readingtype_ = typetext;
    readingcode_ = code;
    readingport_ = port;
    readingdevice_ = QString::fromStdString(runner_.describe(port));
    waiting_.clear();
    cmd_begin->setEnabled(false);
    act_cancel->setEnabled(true);
    act_device->setEnabled(false);
    elapsed_.start();
    waited_.start();
    progress_.start();
    progressbar->show();
    showprogress();
    runner_.start();
}

void Form1::cancelreading() {
    if (reading_) runner_.cancel();
}

void Form1::onfinished(const QString& record, bool normal, const QString& reason) {
    progress_.stop();
    progressbar->hide();
    reading_ = false;
    cmd_begin->setEnabled(true);
    act_cancel->setEnabled(false);
    act_device->setEnabled(static_cast<bool>(makedevice_));
    showrecord(record);
    cmd_begin->setText(tr("结束"));
    Combo1->setFocus(Qt::OtherFocusReason);

    ReadingReport report;
    report.time = localtimestamp(std::time(nullptr));
    report.port = readingport_;
    report.device = readingdevice_.toStdString();
    report.typetext = readingtype_.toStdString();
    report.code = readingcode_;
    report.record = record.toStdString();
    report.normal = normal;
    // Files keep the reason as the reading gave it, whatever the window's language.
    report.reason = reason.toStdString();
    report.sent = txt_send->toPlainText().toStdString();
    report.received = txt_rece->toPlainText().toStdString();
    last_ = report;
    act_save->setEnabled(true);

    const QString why = reasonfor(reason);
    const QString seconds =
        QString::number(static_cast<double>(elapsed_.elapsed()) / 1000.0, 'f', 1);
    QString text;
    Look look = Look::plain;
    if (!normal) {
        text = tr("读取失败（%1 秒）：%2").arg(seconds, why);
        look = Look::failure;
    } else if (!reason.isEmpty()) {
        text = tr("没有读到数据（%1 秒）：%2").arg(seconds, why);
        look = Look::warning;
    } else {
        text = tr("读取完成（%1 秒）").arg(seconds);
    }
    // The record's text stays as it is; greyed, it says it stands for nothing read.
    setvaluesgreyed(look != Look::plain);

    if (journalling()) {
        QDir().mkpath(QFileInfo(journalfile_).absolutePath());
        if (const Reason error = appendjournal(journalfile_.toStdString(), report);
            !error.empty()) {
            text += tr("；日志未写入：%1").arg(QString::fromStdString(error.english()));
            look = Look::failure;
        }
    }
    setstatus(text, look);
    showdevice();
    emit readingfinished();
}

void Form1::clearresult() {
    last_.reset();
    act_save->setEnabled(false);
    setvaluesgreyed(false);
    setstatus({});
}

void Form1::resetlabels() {
    lbl_total->setText(shown(prefix::total));
    lbl_use->setText(shown(prefix::used));
    lbl_unuse->setText(shown(prefix::unused));
    lbl_num->setText(shown(prefix::pieces));
    lbl_biao->setText(shown(prefix::head));
}

void Form1::showrecord(const QString& record) {
    const RecordFields f = cutrecord(record.toLatin1().toStdString());
    lbl_total->setText(shown(prefix::total) + latin1(f.total));
    lbl_use->setText(shown(prefix::used) + latin1(f.used));
    lbl_unuse->setText(shown(prefix::unused) + latin1(f.unused));
    lbl_num->setText(shown(prefix::pieces) + latin1(f.pieces));
    lbl_biao->setText(shown(prefix::head) + latin1(f.head));
}

void Form1::setvaluesgreyed(bool greyed) {
    for (QLabel* l : {lbl_total, lbl_use, lbl_unuse, lbl_num, lbl_biao}) {
        QPalette p = palette();
        if (greyed)
            p.setColor(QPalette::WindowText, p.color(QPalette::Disabled, QPalette::WindowText));
        l->setPalette(p);
    }
}

void Form1::showdevice() {
    bool whole = false;
    const int port = Combo1->currentText().trimmed().toShort(&whole);
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
    device_->setfull(text);
    Combo1->setToolTip(text);
}

void Form1::showprogress() {
    if (!reading_) return;
    const std::int64_t limit = waiting_.isEmpty() ? 0 : waitlimitms(readingcode_);
    const std::int64_t waited = waiting_.isEmpty() ? elapsed_.elapsed() : waited_.elapsed();
    setstatus(waittext(readingtype_, waiting_, waited, limit));
    if (limit > 0) {
        progressbar->setRange(0, static_cast<int>(limit));
        progressbar->setValue(static_cast<int>(std::min(waited, limit)));
    } else {
        progressbar->setRange(0, 0); // no bound known: busy
    }
}

void Form1::setstatus(const QString& text, Look look) {
    status_->setfull(text);
    QPalette p = palette();
    if (look != Look::plain) p.setColor(QPalette::WindowText, QColor(0xC0, 0x00, 0x00));
    status_->setPalette(p);
    if (look == Look::plain) {
        statusicon_->hide();
    } else {
        const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
        statusicon_->setPixmap(style()
                                   ->standardIcon(look == Look::failure
                                                      ? QStyle::SP_MessageBoxCritical
                                                      : QStyle::SP_MessageBoxWarning)
                                   .pixmap(size, size));
        statusicon_->show();
    }
}

QString Form1::status() const {
    return status_->full();
}

void Form1::usedevices(DeviceFactory make, PortMap fixed) {
    makedevice_ = std::move(make);
    fixed_ = std::move(fixed);
    ports_ = PortMap();
    for (const auto& [port, path] : saveddevices())
        if (!fixed_.overridden(port)) ports_.set(port, path.toStdString());
    for (int port = 1; port <= 8; ++port)
        if (fixed_.overridden(port)) ports_.set(port, fixed_.devicefor(port));
    applydevicemap();
    act_device->setEnabled(!reading_);
}

void Form1::applydevicemap() {
    runner_.replacedevice(makedevice_(ports_));
    // The vendor library of "copote" finds the ports the same way.
    exportports(ports_);
    showdevice();
}

void Form1::pickdevice() {
    if (!makedevice_ || reading_) return;
    bool whole = false;
    const int current = Combo1->currentText().trimmed().toInt(&whole);
    DevicePicker picker(whole ? current : 1, ports_, fixed_, this);
    if (picker.exec() != QDialog::Accepted || reading_) return;
    const int port = picker.port();
    const QString path = picker.path();
    PortMap next;
    for (int p = 1; p <= 8; ++p)
        if (p != port && ports_.overridden(p)) next.set(p, ports_.devicefor(p));
    if (!path.isEmpty()) next.set(port, path.toStdString());
    ports_ = next;
    savedevice(port, path);
    applydevicemap();
}

bool Form1::journalling() const {
    return act_journal->isChecked();
}

QString Form1::defaultjournal() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("journal.csv"));
}

void Form1::usejournal(const QString& path) {
    journalfixed_ = true;
    journalfile_ = QFileInfo(path).absoluteFilePath();
    const QSignalBlocker quiet(act_journal);
    act_journal->setChecked(true);
    act_journal->setToolTip(journalfile_);
}

void Form1::setjournal(bool on, bool remember) {
    if (!journalfixed_ || journalfile_.isEmpty()) {
        AppSettings settings;
        journalfile_ =
            settings.value(QString::fromLatin1(journalpath), defaultjournal()).toString();
        if (remember) settings.setValue(QString::fromLatin1(journalon), on);
    }
    const QSignalBlocker quiet(act_journal);
    act_journal->setChecked(on);
    act_journal->setToolTip(journalfile_);
    if (remember)
        setstatus(on ? tr("日志：每次读取都记在 %1").arg(journalfile_) : tr("日志已关闭"));
}

void Form1::choosejournal() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("日志文件"), journalfile_.isEmpty() ? defaultjournal() : journalfile_,
        tr("CSV 文件 (*.csv)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    journalfile_ = path;
    if (!journalfixed_) AppSettings().setValue(QString::fromLatin1(journalpath), path);
    setjournal(true, !journalfixed_);
}

QString Form1::save(const QString& path) {
    if (!last_) return tr("没有可保存的读取结果");
    const bool json =
        QFileInfo(path).suffix().compare(QStringLiteral("json"), Qt::CaseInsensitive) == 0;
    const Reason error = writefile(path.toStdString(), json ? jsontext(*last_) : csvfile(*last_));
    return QString::fromStdString(error.english());
}

void Form1::savedialog() {
    if (!last_) return;
    QString filter;
    QString path = QFileDialog::getSaveFileName(
        this, tr("保存读取结果"),
        QDir::home().filePath(QStringLiteral("meter-%1.csv").arg(readingport_)),
        tr("CSV 文件 (*.csv);;JSON 文件 (*.json)"), &filter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter.contains(QStringLiteral("json")) ? QStringLiteral(".json")
                                                        : QStringLiteral(".csv");
    if (const QString error = save(path); error.isEmpty())
        setstatus(tr("已保存：%1").arg(path),
                  last_->normal && last_->reason.empty() ? Look::plain : Look::warning);
    else
        setstatus(tr("未保存：%1").arg(error), Look::failure);
}

QString Form1::resultlines() const {
    QStringList lines;
    for (const QLabel* l : {lbl_total, lbl_use, lbl_unuse, lbl_num, lbl_biao})
        lines << l->text();
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void Form1::copy() {
    // A selection where the focus is goes first: the traffic, a list's text, a label.
    QWidget* focus = QApplication::focusWidget();
    if (auto* box = qobject_cast<QPlainTextEdit*>(focus); box && box->textCursor().hasSelection()) {
        box->copy();
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(focus); edit && edit->hasSelectedText()) {
        edit->copy();
        return;
    }
    if (auto* l = qobject_cast<QLabel*>(focus); l && l->hasSelectedText()) {
        QGuiApplication::clipboard()->setText(l->selectedText());
        return;
    }
    QGuiApplication::clipboard()->setText(resultlines());
}

void Form1::closeEvent(QCloseEvent* event) {
    // Ends a running reading at its next poll; the port is closed on the reading's thread.
    runner_.shutdown();
    event->accept();
}

} // namespace meter
