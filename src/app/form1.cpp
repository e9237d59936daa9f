#include "app/form1.h"

#include "app/qtstation.h"
#include "core/machinetypes.h"
#include "frontend/recordview.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>

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

QLabel* label(QWidget* parent, const char* name, const char* text, QRect where) {
    auto* l = place<QLabel>(parent, name, where);
    l->setText(QString::fromUtf8(text));
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

} // namespace

Form1::Form1(std::unique_ptr<SerialDevice> device, std::unique_ptr<VendorLibrary> vendor, bool demo,
             FamilyTable families, QWidget* parent)
    : QMainWindow(parent), runner_(std::move(device), std::move(vendor), std::move(families)) {
    setWindowTitle(demo ? QStringLiteral("meterreader — 演示 (demo: simulated meter)")
                        : QStringLiteral("meterreader"));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(9840 / 15, 8490 / 15);
    setCentralWidget(client);

    // Created in tab order.
    Label1 = label(client, "Label1", "端口号：", twips(1320, 240, 1455, 495));
    Label2 = label(client, "Label2", "机器类型：", twips(1200, 1080, 1335, 495));
    cmd_begin = place<QPushButton>(client, "cmd_begin", twips(1200, 1800, 1695, 495));
    cmd_begin->setText(QStringLiteral("开始"));
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
    }
    Label3 = label(client, "Label3", "发送信息：", twips(600, 3960, 1455, 255));
    txt_send = trafficbox(client, "txt_send", twips(840, 4320, 8175, 1455));
    Label4 = label(client, "Label4", "接收信息：", twips(360, 6120, 1455, 375));
    txt_rece = trafficbox(client, "txt_rece", twips(840, 6720, 8175, 1455));

    for (QLabel* l : {lbl_total, lbl_use, lbl_unuse, lbl_num, lbl_biao})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);

    setTabOrder(cmd_begin, Combo1);
    setTabOrder(Combo1, Combo2);
    setTabOrder(Combo2, txt_send);
    setTabOrder(txt_send, txt_rece);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    device_ = new QLabel(this);
    device_->setObjectName(QStringLiteral("device"));
    statusBar()->addWidget(status_, 1);
    statusBar()->addPermanentWidget(device_);
    statusBar()->setSizeGripEnabled(false);
    if (demo)
        setstatus(QStringLiteral("演示：每个端口都连着模拟的邮资表 (every port is the simulated "
                                 "meter)"));

    connect(cmd_begin, &QPushButton::clicked, this, &Form1::cmd_begin_Click);
    connect(Combo1, &QComboBox::editTextChanged, this, &Form1::showdevice);
    connect(&runner_, &ReadingRunner::echosent, this,
            [this](const QString& t) { append(txt_send, t); });
    connect(&runner_, &ReadingRunner::echoreceived, this,
            [this](const QString& t) { append(txt_rece, t); });
    connect(&runner_, &ReadingRunner::waitingon, this, [this](const QString& what) {
        waiting_ = what;
        showprogress();
    });
    connect(&runner_, &ReadingRunner::finished, this, &Form1::onfinished);
    progress_.setInterval(500);
    connect(&progress_, &QTimer::timeout, this, &Form1::showprogress);

    Form_Load();
}

Form1::~Form1() {
    runner_.shutdown();
}

void Form1::Form_Load() {
    Combo1->clear();
    Combo2->clear();
    for (int port = 1; port <= 8; ++port)
        Combo1->addItem(QString::number(port));
    for (const auto& t : machinetypes())
        Combo2->addItem(QString::fromUtf8(t.text));
    Combo1->setCurrentIndex(0);
    Combo2->setCurrentIndex(0);
    showdevice();
    cmd_begin->setFocus(Qt::OtherFocusReason);
}

void Form1::cmd_begin_Click() {
    if (Combo1->currentText().isEmpty()) return;
    // One reading at a time: the reading owns the acquisition state until it ends.
    if (reading_) return;

    if (cmd_begin->text() == QStringLiteral("结束")) {
        Combo1->setCurrentIndex(0);
        Combo1->setEditText(Combo1->itemText(0));
        cmd_begin->setText(QStringLiteral("开始"));
        resetlabels();
        Combo2->setCurrentIndex(0);
        Combo2->setEditText(Combo2->itemText(0));
        txt_send->clear();
        txt_rece->clear();
        setstatus({});
        Combo1->setFocus(Qt::OtherFocusReason);
        return;
    }

    bool whole = false;
    const QString porttext = Combo1->currentText();
    const std::int16_t port = porttext.trimmed().toShort(&whole);
    if (!whole) {
        setstatus(QStringLiteral("未读取：端口号 \"%1\" 不是整数 (not a whole number from "
                                 "-32768 to 32767)")
                      .arg(porttext));
        return;
    }
    const QString typetext = Combo2->currentText();
    const std::int16_t code = codefor(typetext.toStdString());

    cmd_begin->setText(QStringLiteral("开始"));
    resetlabels();
    txt_send->clear();
    txt_rece->clear();

    if (runner_.driver().initport(port, code) != 1) {
        setstatus(QStringLiteral("未读取：%1").arg(refusal(port, code, typetext)));
        return;
    }

    reading_ = true;
    readingtype_ = typetext;
    waiting_.clear();
    cmd_begin->setEnabled(false);
    elapsed_.start();
    progress_.start();
    showprogress();
    runner_.start();
}

void Form1::onfinished(const QString& record, bool normal, const QString& reason) {
    progress_.stop();
    reading_ = false;
    cmd_begin->setEnabled(true);
    showrecord(record);
    cmd_begin->setText(QStringLiteral("结束"));
    Combo1->setFocus(Qt::OtherFocusReason);
    const QString seconds =
        QString::number(static_cast<double>(elapsed_.elapsed()) / 1000.0, 'f', 1);
    if (!normal)
        setstatus(QStringLiteral("读取失败（%1 秒）：%2").arg(seconds, reason));
    else if (!reason.isEmpty())
        setstatus(QStringLiteral("没有读到数据（%1 秒）：%2").arg(seconds, reason));
    else
        setstatus(QStringLiteral("读取完成（%1 秒）").arg(seconds));
    emit readingfinished();
}

void Form1::resetlabels() {
    lbl_total->setText(QString::fromUtf8(prefix::total));
    lbl_use->setText(QString::fromUtf8(prefix::used));
    lbl_unuse->setText(QString::fromUtf8(prefix::unused));
    lbl_num->setText(QString::fromUtf8(prefix::pieces));
    lbl_biao->setText(QString::fromUtf8(prefix::head));
}

void Form1::showrecord(const QString& record) {
    const RecordFields f = cutrecord(record.toLatin1().toStdString());
    lbl_total->setText(QString::fromUtf8(prefix::total) + latin1(f.total));
    lbl_use->setText(QString::fromUtf8(prefix::used) + latin1(f.used));
    lbl_unuse->setText(QString::fromUtf8(prefix::unused) + latin1(f.unused));
    lbl_num->setText(QString::fromUtf8(prefix::pieces) + latin1(f.pieces));
    lbl_biao->setText(QString::fromUtf8(prefix::head) + latin1(f.head));
}

void Form1::showdevice() {
    bool whole = false;
    const int port = Combo1->currentText().trimmed().toShort(&whole);
    QString text;
    if (!whole)
        text = QStringLiteral("端口：—");
    else if (const std::string path = runner_.describe(port); path.empty())
        text = QStringLiteral("端口 %1：没有设备 (no device)").arg(port);
    else
        text = QStringLiteral("端口 %1 → %2").arg(port).arg(QString::fromStdString(path));
    device_->setText(text);
    Combo1->setToolTip(text);
}

void Form1::showprogress() {
    if (reading_) setstatus(progresstext(readingtype_, waiting_, elapsed_.elapsed()));
}

void Form1::setstatus(const QString& text) {
    status_->setText(text);
}

QString Form1::status() const {
    return status_->text();
}

void Form1::closeEvent(QCloseEvent* event) {
    // Ends a running reading at its next poll; the port is closed on the reading's thread.
    runner_.shutdown();
    event->accept();
}

} // namespace meter
