// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form1.h"

#include "app/devicepicker.h"
#include "app/helpdialogs.h"
#include "app/journalview.h"
#include "app/language.h"
#include "app/progress.h"
#include "app/reportsheet.h"
#include "app/settings.h"
#include "app/statustext.h"
#include "core/machinetypes.h"
#include "frontend/keeping.h"
#include "frontend/readingcapture.h"
#include "frontend/readingsetup.h"
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
#include <QResizeEvent>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>

#ifdef METERREADER_PRINTING
#include <QPrintDialog>
#include <QPrinter>
#endif

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string_view>

namespace meter {

namespace {

// Where each control sits, in twips from the client area's top left corner, as the operator's
// documentation draws the window. At 15 twips per pixel the client area is 656 x 566, and Qt's
// high-DPI scaling does the rest.
struct Placement {
    const char* name;
    int left, top, width, height;
};
constexpr int clientwidth = 9840;
constexpr int clientheight = 8490;
constexpr Placement layout[] = {
    {"Label1", 1320, 240, 1455, 495},     {"Label2", 1200, 1080, 1335, 495},
    {"cmd_begin", 1200, 1800, 1695, 495}, {"lbl_biao", 5640, 3120, 3975, 375},
    {"lbl_num", 5640, 2400, 3975, 375},   {"lbl_unuse", 5640, 1680, 3975, 375},
    {"lbl_use", 5640, 960, 3975, 375},    {"lbl_total", 5640, 240, 3975, 375},
    {"Combo1", 2640, 240, 2535, 315},     {"Combo2", 2640, 1080, 2535, 315},
    {"Label3", 600, 3960, 1455, 255},     {"txt_send", 840, 4320, 8175, 1455},
    {"Label4", 360, 6120, 1455, 375},     {"txt_rece", 840, 6720, 8175, 1455},
};

int pixels(int twips) {
    return twips / 15;
}

// Where a control of the layout goes in a client area of `size`: at the default size where the
// layout puts it. Any room beyond that goes to the two traffic boxes, the width to both and the
// height shared between them (the receive box and its caption move down by the send box's
// share); everything else keeps its place.
QRect placement(const Placement& p, QSize size) {
    QRect r(pixels(p.left), pixels(p.top), pixels(p.width), pixels(p.height));
    const int wider = std::max(0, size.width() - pixels(clientwidth));
    const int taller = std::max(0, size.height() - pixels(clientheight));
    const std::string_view name = p.name;
    if (name == "txt_send" || name == "txt_rece") r.setWidth(r.width() + wider);
    if (name == "txt_send") r.setHeight(r.height() + taller / 2);
    if (name == "Label4" || name == "txt_rece") r.translate(0, taller / 2);
    if (name == "txt_rece") r.setHeight(r.height() + taller - taller / 2);
    return r;
}

// The client area: never smaller than the layout's, and its controls placed again whenever its
// size changes.
class Client : public QWidget {
  public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return minimumSize(); }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        for (const Placement& p : meter::layout)
            if (auto* w = findChild<QWidget*>(QString::fromLatin1(p.name),
                                              Qt::FindDirectChildrenOnly))
                w->setGeometry(placement(p, event->size()));
        QWidget::resizeEvent(event);
    }
};

// A control of the client area, named and placed as the layout gives it.
template <typename W> W* place(QWidget* parent, std::string_view name) {
    const auto* at = std::find_if(std::begin(layout), std::end(layout),
                                  [name](const Placement& p) { return p.name == name; });
    if (at == std::end(layout)) qFatal("Form1: no place for a control named %s", name.data());
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(at->name));
    w->setGeometry(placement(*at, parent->size()));
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

QLabel* label(QWidget* parent, const char* name, const char* text) {
    auto* l = place<QLabel>(parent, name);
    // Labels show register text from the line or the vendor library: never read it as markup.
    l->setTextFormat(Qt::PlainText);
    l->setText(shown(text));
    return l;
}

// A result label: its prefix, the value selectable.
QLabel* resultlabel(QWidget* parent, const char* name, const char* text) {
    QLabel* l = label(parent, name, text);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

// One of the two lists: editable, a typed text taken exactly as typed.
QComboBox* choicelist(QWidget* parent, const char* name) {
    auto* c = place<QComboBox>(parent, name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    // Qt's default completer ignores case and completes inline, and on Enter or focus-out
    // replaces "Neopost" with "neopost" or "copo" with "copote", which would start a reading
    // the operator did not name. Without a completer the list matches case-sensitively.
    c->setCompleter(nullptr);
    return c;
}

QPlainTextEdit* trafficbox(QWidget* parent, const char* name) {
    auto* box = place<QPlainTextEdit>(parent, name);
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
    setCentralWidget(buildclient());
    buildstatusbar(demo);
    createmenus();
    watchkeys();
    connectreading();

    // The device behind the port shows as the port is chosen; a USB adapter plugged in or
    // pulled out shows without a reading.
    connect(Combo1_, &QComboBox::editTextChanged, this, &Form1::showdevice);
    devicecheck_.setInterval(2000);
    connect(&devicecheck_, &QTimer::timeout, this, &Form1::showdevice);
    devicecheck_.start();
    progress_.setInterval(250);
    connect(&progress_, &QTimer::timeout, this, &Form1::showprogress);

    AppSettings settings;
    if (settings.value(QString::fromLatin1(journalon), false).toBool()) setjournal(true, false);

    Form_Load();
}

QWidget* Form1::buildclient() {
    auto* client = new Client(this);
    client->setObjectName(QStringLiteral("client"));
    client->setMinimumSize(pixels(clientwidth), pixels(clientheight));
    client->resize(client->minimumSize());
    // The controls are made in tab order.
    buildbutton(client);
    buildresults(client);
    buildlists(client);
    buildtraffic(client);
    // The parts the operator works with, in tab order; the labels take no focus.
    setTabOrder(cmd_begin_, Combo1_);
    setTabOrder(Combo1_, Combo2_);
    setTabOrder(Combo2_, txt_send_);
    setTabOrder(txt_send_, txt_rece_);
    return client;
}

// The captions of the two lists, and the Start/Stop button.
void Form1::buildbutton(QWidget* client) {
    Label1_ = label(client, "Label1", QT_TRANSLATE_NOOP("meter::Form1", "端口号："));
    Label2_ = label(client, "Label2", QT_TRANSLATE_NOOP("meter::Form1", "机器类型："));
    cmd_begin_ = place<QPushButton>(client, "cmd_begin");
    cmd_begin_->setText(tr("开始"));
    connect(cmd_begin_, &QPushButton::clicked, this, &Form1::cmd_begin_Click);
}

// The five result labels, each with its prefix.
void Form1::buildresults(QWidget* client) {
    lbl_biao_ = resultlabel(client, "lbl_biao", prefix::headatstart);
    lbl_num_ = resultlabel(client, "lbl_num", prefix::pieces);
    lbl_unuse_ = resultlabel(client, "lbl_unuse", prefix::unused);
    lbl_use_ = resultlabel(client, "lbl_use", prefix::used);
    lbl_total_ = resultlabel(client, "lbl_total", prefix::total);
}

// The port list and the machine type list, filled at load.
void Form1::buildlists(QWidget* client) {
    Combo1_ = choicelist(client, "Combo1");
    Combo2_ = choicelist(client, "Combo2");
    QStringList types;
    for (const auto& t : machinetypes())
        types << QStringLiteral("  ") + shown(t.text);
    Combo2_->setToolTip(tr("选择或输入机器类型，文字须完全一致（区分大小写）：\n%1")
                            .arg(types.join(QLatin1Char('\n'))));
}

// The two traffic boxes with their captions.
void Form1::buildtraffic(QWidget* client) {
    Label3_ = label(client, "Label3", QT_TRANSLATE_NOOP("meter::Form1", "发送信息："));
    txt_send_ = trafficbox(client, "txt_send");
    Label4_ = label(client, "Label4", QT_TRANSLATE_NOOP("meter::Form1", "接收信息："));
    txt_rece_ = trafficbox(client, "txt_rece");
}

// The status line repeats typed texts and the reasons of failed readings (which may come from
// the vendor library): plain text, selectable so the operator can copy a reason. Beside it the
// progress of a reading and the device behind the port chosen.
void Form1::buildstatusbar(bool demo) {
    statusicon_ = new QLabel(this);
    statusicon_->setObjectName(QStringLiteral("statusicon"));
    status_ = new StatusText(Qt::ElideRight, this);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_->setObjectName(QStringLiteral("status"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progressbar_ = new QProgressBar(this);
    progressbar_->setObjectName(QStringLiteral("progress"));
    progressbar_->setMaximumWidth(120);
    progressbar_->setTextVisible(false);
    progressbar_->hide();
    device_ = new StatusText(Qt::ElideMiddle, this);
    device_->setObjectName(QStringLiteral("device"));
    // Half the bar at most: the status line needs the room more.
    device_->setMaximumWidth(pixels(clientwidth) / 2);
    statusBar()->addWidget(statusicon_);
    statusBar()->addWidget(status_, 1);
    statusBar()->addPermanentWidget(progressbar_);
    statusBar()->addPermanentWidget(device_);
    statusBar()->setSizeGripEnabled(false);
    statusicon_->hide();
    if (demo) setstatus(tr("演示：每个端口都连着模拟的邮资表"));
}

// Enter on the button, and Ctrl+C on a list without a selection (see eventFilter).
void Form1::watchkeys() {
    cmd_begin_->installEventFilter(this);
    for (QComboBox* c : {Combo1_, Combo2_}) {
        c->installEventFilter(this);
        c->lineEdit()->installEventFilter(this);
    }
}

// The echo, the progress and the end of a reading, from the reading's thread.
void Form1::connectreading() {
    connect(&runner_, &ReadingRunner::echosent, this,
            [this](const QString& t) { append(txt_send_, t); });
    connect(&runner_, &ReadingRunner::echoreceived, this,
            [this](const QString& t) { append(txt_rece_, t); });
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

void Form1::createmenus() {
    QMenu* file = menuBar()->addMenu(tr("文件(&F)"));
    act_save_ = file->addAction(tr("保存…"), this, &Form1::savedialog);
    act_save_->setObjectName(QStringLiteral("act_save"));
    act_save_->setShortcut(QKeySequence::Save);
    act_save_->setEnabled(false);
#ifdef METERREADER_PRINTING
    act_print_ = file->addAction(tr("打印报告…"), this, &Form1::printdialog);
    act_print_->setObjectName(QStringLiteral("act_print"));
    act_print_->setShortcut(QKeySequence::Print);
#endif
    act_pdf_ = file->addAction(tr("导出 PDF…"), this, &Form1::pdfdialog);
    act_pdf_->setObjectName(QStringLiteral("act_pdf"));
    setreportable(false);
    act_savecapture_ = file->addAction(tr("保存抓包…"), this, &Form1::savecapturedialog);
    act_savecapture_->setObjectName(QStringLiteral("act_savecapture"));
    act_savecapture_->setEnabled(false);
    file->addSeparator();
    act_journal_ = file->addAction(tr("记录日志"));
    act_journal_->setObjectName(QStringLiteral("act_journal"));
    act_journal_->setCheckable(true);
    connect(act_journal_, &QAction::toggled, this, [this](bool on) { setjournal(on, true); });
    act_journalfile_ = file->addAction(tr("日志文件…"), this, &Form1::choosejournal);
    act_viewjournal_ = file->addAction(tr("查看日志…"), this, &Form1::viewjournal);
    act_viewjournal_->setObjectName(QStringLiteral("act_viewjournal"));
    file->addSeparator();
    QAction* quit = file->addAction(tr("退出"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    QMenu* edit = menuBar()->addMenu(tr("编辑(&E)"));
    act_copy_ = edit->addAction(tr("复制结果"), this, &Form1::copy);
    act_copy_->setObjectName(QStringLiteral("act_copy"));
    act_copy_->setShortcut(QKeySequence::Copy);

    QMenu* reading = menuBar()->addMenu(tr("读取(&R)"));
    act_cancel_ = reading->addAction(tr("取消"), this, &Form1::cancelreading);
    act_cancel_->setObjectName(QStringLiteral("act_cancel"));
    act_cancel_->setShortcut(Qt::Key_Escape);
    act_cancel_->setEnabled(false);

    QMenu* device = menuBar()->addMenu(tr("设备(&D)"));
    act_device_ = device->addAction(tr("选择设备…"), this, &Form1::pickdevice);
    act_device_->setObjectName(QStringLiteral("act_device"));
    act_device_->setEnabled(false); // until usedevices() says how to make one

    QMenu* help = menuBar()->addMenu(tr("帮助(&H)"));
    act_manual_ = help->addAction(tr("使用说明"), this, [this] { showmanual(this); });
    act_manual_->setObjectName(QStringLiteral("act_manual"));
    act_manual_->setShortcut(QKeySequence::HelpContents);
    act_about_ = help->addAction(tr("关于"), this, [this] {
        showabout(this, AppSettings().fileName(),
                  journalfile_.isEmpty() ? defaultjournal() : journalfile_);
    });
    act_about_->setObjectName(QStringLiteral("act_about"));

    // Shortcuts of the menus work wherever the focus is in the window.
    for (QAction* a : {act_save_, act_copy_, act_cancel_, quit})
        a->setShortcutContext(Qt::WindowShortcut);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cmd_begin_ && event->type() == QEvent::KeyPress) {
        // Enter starts (or clears) as a click does, when the button has the focus.
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && cmd_begin_->isEnabled()) {
            cmd_begin_->click();
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
    Combo1_->clear();
    Combo2_->clear();
    for (int port = 1; port <= 8; ++port)
        Combo1_->addItem(QString::number(port));
    for (const auto& t : machinetypes())
        Combo2_->addItem(shown(t.text));
    Combo1_->setCurrentIndex(0);
    Combo2_->setCurrentIndex(0);
    showdevice();
    cmd_begin_->setFocus(Qt::OtherFocusReason);
}

void Form1::cmd_begin_Click() {
    if (Combo1_->currentText().isEmpty()) return;
    // One reading at a time: the reading owns the acquisition state until it ends.
    if (reading_) return;

    if (cmd_begin_->text() == tr("结束")) {
        Combo1_->setCurrentIndex(0);
        Combo1_->setEditText(Combo1_->itemText(0));
        cmd_begin_->setText(tr("开始"));
        resetlabels();
        Combo2_->setCurrentIndex(0);
        Combo2_->setEditText(Combo2_->itemText(0));
        txt_send_->clear();
        txt_rece_->clear();
        clearresult();
        Combo1_->setFocus(Qt::OtherFocusReason);
        return;
    }

    const QString typetext = Combo2_->currentText();
    const std::int16_t code = typecode(typetext);

    cmd_begin_->setText(tr("开始"));
    resetlabels();
    txt_send_->clear();
    txt_rece_->clear();
    clearresult();

    if (const Reason why = session_.choose(runner_.driver(), Combo1_->currentText().toStdString(),
                                           code, typetext.toStdString())) {
        refuse(why);
        return;
    }

    reading_ = true;
    session_.begin(runner_.describe(session_.port()));
    waiting_.clear();
    cmd_begin_->setEnabled(false);
    act_cancel_->setEnabled(true);
    act_device_->setEnabled(false);
    elapsed_.start();
    waited_.start();
    progress_.start();
    progressbar_->show();
    showprogress();
    runner_.start();
}

void Form1::cancelreading() {
    if (reading_) runner_.cancel();
}

void Form1::refuse(const Reason& why) {
    setstatus(tr("未读取：%1").arg(QString::fromStdString(why.text(windowlanguage()))),
              Look::warning);
}

void Form1::onfinished(const QString& record, const Outcome& outcome) {
    progress_.stop();
    progressbar_->hide();
    reading_ = false;
    cmd_begin_->setEnabled(true);
    act_cancel_->setEnabled(false);
    act_device_->setEnabled(static_cast<bool>(makedevice_));
    FinishedReading r = session_.finish(runner_.driver(), record.toLatin1().toStdString(), outcome);
    markdemo(r.report, demodevice_);
    showrecord(r.fields);
    cmd_begin_->setText(tr("结束"));
    Combo1_->setFocus(Qt::OtherFocusReason);
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
    }
    // The record's text stays as it is; greyed, it says it stands for nothing read.
    setvaluesgreyed(look != Look::plain);

    if (journalling()) {
        if (const Reason error = keepjournal(journalfile_.toStdString(), r.report,
                                             defaultjournal().toStdString());
            !error.empty()) {
            text +=
                tr("；日志未写入：%1").arg(QString::fromStdString(error.text(windowlanguage())));
            look = Look::failure;
        }
    }
    setstatus(text, look);
    showdevice();
    emit readingfinished();
}

void Form1::clearresult() {
    last_.reset();
    act_save_->setEnabled(false);
    setreportable(false);
    lastcapture_.reset();
    act_savecapture_->setEnabled(false);
    setvaluesgreyed(false);
    setstatus({});
}

void Form1::resetlabels() {
    lbl_total_->setText(shown(prefix::total));
    lbl_use_->setText(shown(prefix::used));
    lbl_unuse_->setText(shown(prefix::unused));
    lbl_num_->setText(shown(prefix::pieces));
    lbl_biao_->setText(shown(prefix::head));
}

void Form1::showrecord(const RecordFields& f) {
    lbl_total_->setText(shown(prefix::total) + latin1(f.total));
    lbl_use_->setText(shown(prefix::used) + latin1(f.used));
    lbl_unuse_->setText(shown(prefix::unused) + latin1(f.unused));
    lbl_num_->setText(shown(prefix::pieces) + latin1(f.pieces));
    lbl_biao_->setText(shown(prefix::head) + latin1(f.head));
}

void Form1::setvaluesgreyed(bool greyed) {
    for (QLabel* l : {lbl_total_, lbl_use_, lbl_unuse_, lbl_num_, lbl_biao_}) {
        QPalette p = palette();
        if (greyed)
            p.setColor(QPalette::WindowText, p.color(QPalette::Disabled, QPalette::WindowText));
        l->setPalette(p);
    }
}

void Form1::showdevice() {
    bool whole = false;
    const int port = Combo1_->currentText().trimmed().toShort(&whole);
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
    Combo1_->setToolTip(text);
}

void Form1::showprogress() {
    if (!reading_) return;
    const std::int64_t limit = waiting_.isEmpty() ? 0 : waitlimitms(session_.code());
    const std::int64_t waited = waiting_.isEmpty() ? elapsed_.elapsed() : waited_.elapsed();
    setstatus(waittext(QString::fromStdString(session_.typetext()), waiting_, waited, limit));
    if (limit > 0) {
        progressbar_->setRange(0, static_cast<int>(limit));
        progressbar_->setValue(static_cast<int>(std::min(waited, limit)));
    } else {
        progressbar_->setRange(0, 0); // no bound known: busy
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
    act_device_->setEnabled(!reading_);
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
    const int current = Combo1_->currentText().trimmed().toInt(&whole);
    DevicePicker picker(whole ? current : 1, ports_, fixed_, this,
                        QString::fromStdString(demodevice_));
    if (picker.exec() != QDialog::Accepted || reading_) return;
    const int port = picker.port();
    // The port's own device is no override, however it was picked.
    QString path = picker.path();
    if (path == QString::fromStdString(PortMap::defaultdevice(port))) path.clear();
    PortMap next;
    for (int p = 1; p <= 8; ++p)
        if (p != port && ports_.overridden(p)) next.set(p, ports_.devicefor(p));
    if (!path.isEmpty()) next.set(port, path.toStdString());
    ports_ = next;
    // A demo's choices hold for this run only: the settings are those of real readings.
    if (demodevice_.empty()) savedevice(port, path);
    applydevicemap();
}

bool Form1::journalling() const {
    return act_journal_->isChecked();
}

QString Form1::defaultjournal() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("journal.csv"));
}

void Form1::usejournal(const QString& path) {
    journalfixed_ = true;
    journalfile_ = QFileInfo(path).absoluteFilePath();
    const QSignalBlocker quiet(act_journal_);
    act_journal_->setChecked(true);
    act_journal_->setToolTip(journalfile_);
}

void Form1::setjournal(bool on, bool remember) {
    if (!journalfixed_ || journalfile_.isEmpty()) {
        AppSettings settings;
        journalfile_ =
            settings.value(QString::fromLatin1(journalpath), defaultjournal()).toString();
        if (remember) settings.setValue(QString::fromLatin1(journalon), on);
    }
    const QSignalBlocker quiet(act_journal_);
    act_journal_->setChecked(on);
    act_journal_->setToolTip(journalfile_);
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

JournalView* Form1::journalview() const {
    return journalview_;
}

void Form1::viewjournal() {
    if (!journalview_) {
        QString path = journalfile_;
        if (path.isEmpty())
            path = AppSettings().value(QString::fromLatin1(journalpath), defaultjournal()).toString();
        journalview_ = new JournalView(path, this);
    }
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
    QString filter;
    QString path = QFileDialog::getSaveFileName(
        this, tr("保存读取结果"),
        QDir::home().filePath(QStringLiteral("meter-%1.csv").arg(last_->port)),
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
    QString path = QFileDialog::getSaveFileName(
        this, tr("导出 PDF"),
        QDir::home().filePath(QStringLiteral("meter-%1.pdf").arg(last_->port)),
        tr("PDF 文件 (*.pdf)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    if (const QString error = exportpdf(path); error.isEmpty())
        setstatus(tr("已导出：%1").arg(path));
    else
        setstatus(tr("未导出：%1").arg(error), Look::failure);
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
        setstatus(tr("报告已送往打印机：%1").arg(printer.printerName()));
    else
        setstatus(tr("未打印：打印机 %1 不接受").arg(printer.printerName()), Look::failure);
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
    QString path = QFileDialog::getSaveFileName(
        this, tr("保存抓包"),
        QDir::home().filePath(QStringLiteral("capture-%1.jsonl").arg(lastcapture_->header.port)),
        tr("抓包文件 (*.jsonl)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".jsonl");
    if (const QString error = savecapture(path); error.isEmpty())
        setstatus(tr("已保存：%1").arg(path));
    else
        setstatus(tr("未保存：%1").arg(error), Look::failure);
}

QString Form1::resultlines() const {
    QStringList lines;
    for (const QLabel* l : {lbl_total_, lbl_use_, lbl_unuse_, lbl_num_, lbl_biao_})
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
