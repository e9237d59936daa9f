// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/meterpanel.h"

#include "app/fonts.h"
#include "core/machinetypes.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

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
constexpr Placement placements[] = {
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

// A control of the client area, named and placed as the layout gives it.
template <typename W> W* place(QWidget* parent, std::string_view name) {
    const auto* at = std::find_if(std::begin(placements), std::end(placements),
                                  [name](const Placement& p) { return p.name == name; });
    if (at == std::end(placements))
        qFatal("MeterPanel: no place for a control named %s", name.data());
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
const char* const start = QT_TRANSLATE_NOOP("meter::Form1", "开始");
const char* const stop = QT_TRANSLATE_NOOP("meter::Form1", "结束");

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
    // The hex lines up byte under byte.
    box->setFont(fixedfont());
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

MeterPanel::MeterPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("client"));
    setMinimumSize(pixels(clientwidth), pixels(clientheight));
    resize(minimumSize());
    // The controls are made in tab order.
    Label1_ = label(this, "Label1", QT_TRANSLATE_NOOP("meter::Form1", "端口号："));
    Label2_ = label(this, "Label2", QT_TRANSLATE_NOOP("meter::Form1", "机器类型："));
    cmd_begin_ = place<QPushButton>(this, "cmd_begin");
    cmd_begin_->setText(shown(start));
    connect(cmd_begin_, &QPushButton::clicked, this, &MeterPanel::cmd_begin_Click);
    lbl_biao_ = resultlabel(this, "lbl_biao", prefix::headatstart);
    lbl_num_ = resultlabel(this, "lbl_num", prefix::pieces);
    lbl_unuse_ = resultlabel(this, "lbl_unuse", prefix::unused);
    lbl_use_ = resultlabel(this, "lbl_use", prefix::used);
    lbl_total_ = resultlabel(this, "lbl_total", prefix::total);
    Combo1_ = choicelist(this, "Combo1");
    Combo2_ = choicelist(this, "Combo2");
    QStringList types;
    for (const auto& t : machinetypes())
        types << QStringLiteral("  ") + shown(t.text);
    Combo2_->setToolTip(
        shown(QT_TRANSLATE_NOOP("meter::Form1",
                                "选择或输入机器类型，文字须完全一致（区分大小写）：\n%1"))
            .arg(types.join(QLatin1Char('\n'))));
    Label3_ = label(this, "Label3", QT_TRANSLATE_NOOP("meter::Form1", "发送信息："));
    txt_send_ = trafficbox(this, "txt_send");
    Label4_ = label(this, "Label4", QT_TRANSLATE_NOOP("meter::Form1", "接收信息："));
    txt_rece_ = trafficbox(this, "txt_rece");
    // A screen reader names the lists and the boxes by their captions (the result labels and
    // the button by their own texts).
    for (auto [caption, control] : {std::pair<QLabel*, QWidget*>{Label1_, Combo1_},
                                    {Label2_, Combo2_},
                                    {Label3_, txt_send_},
                                    {Label4_, txt_rece_}}) {
        caption->setBuddy(control);
        QString name = caption->text();
        while (name.endsWith(QChar(0xFF1A)) || name.endsWith(QLatin1Char(':')) ||
               name.endsWith(QLatin1Char(' ')))
            name.chop(1);
        control->setAccessibleName(name);
    }
    // The parts the operator works with, in tab order; the labels take no focus.
    setTabOrder(cmd_begin_, Combo1_);
    setTabOrder(Combo1_, Combo2_);
    setTabOrder(Combo2_, txt_send_);
    setTabOrder(txt_send_, txt_rece_);

    // Enter on the button, and Ctrl+C on a list without a selection (see eventFilter).
    cmd_begin_->installEventFilter(this);
    for (QComboBox* c : {Combo1_, Combo2_}) {
        c->installEventFilter(this);
        c->lineEdit()->installEventFilter(this);
    }
}

std::int16_t MeterPanel::typecode(const QString& text) {
    if (const std::int16_t code = codefor(text.toStdString())) return code;
    for (const auto& t : machinetypes())
        if (shown(t.text) == text) return t.code;
    return 0;
}

void MeterPanel::Form_Load() {
    Combo1_->clear();
    Combo2_->clear();
    for (int port = 1; port <= 8; ++port)
        Combo1_->addItem(QString::number(port));
    for (const auto& t : machinetypes())
        Combo2_->addItem(shown(t.text));
    Combo1_->setCurrentIndex(0);
    Combo2_->setCurrentIndex(0);
    cmd_begin_->setFocus(Qt::OtherFocusReason);
}

void MeterPanel::cmd_begin_Click() {
    if (Combo1_->currentText().isEmpty()) return;
    // One reading at a time: the reading owns the acquisition state until it ends.
    if (busy_) return;

    if (cmd_begin_->text() == shown(stop)) {
        Combo1_->setCurrentIndex(0);
        Combo1_->setEditText(Combo1_->itemText(0));
        cmd_begin_->setText(shown(start));
        resetlabels();
        Combo2_->setCurrentIndex(0);
        Combo2_->setEditText(Combo2_->itemText(0));
        txt_send_->clear();
        txt_rece_->clear();
        emit cleared();
        Combo1_->setFocus(Qt::OtherFocusReason);
        return;
    }

    const QString typetext = Combo2_->currentText();
    const std::int16_t code = typecode(typetext);
    cmd_begin_->setText(shown(start));
    resetlabels();
    txt_send_->clear();
    txt_rece_->clear();
    emit startasked(Combo1_->currentText(), code, typetext);
}

void MeterPanel::setbusy(bool busy) {
    busy_ = busy;
    cmd_begin_->setEnabled(!busy);
}

void MeterPanel::resetlabels() {
    lbl_total_->setText(shown(prefix::total));
    lbl_use_->setText(shown(prefix::used));
    lbl_unuse_->setText(shown(prefix::unused));
    lbl_num_->setText(shown(prefix::pieces));
    lbl_biao_->setText(shown(prefix::head));
    setvaluesgreyed(false);
}

void MeterPanel::showrecord(const RecordFields& f, bool greyed) {
    lbl_total_->setText(shown(prefix::total) + latin1(f.total));
    lbl_use_->setText(shown(prefix::used) + latin1(f.used));
    lbl_unuse_->setText(shown(prefix::unused) + latin1(f.unused));
    lbl_num_->setText(shown(prefix::pieces) + latin1(f.pieces));
    lbl_biao_->setText(shown(prefix::head) + latin1(f.head));
    // The record's text stays as it is; greyed, it says it stands for nothing read.
    setvaluesgreyed(greyed);
    cmd_begin_->setText(shown(stop));
    Combo1_->setFocus(Qt::OtherFocusReason);
}

void MeterPanel::setvaluesgreyed(bool greyed) {
    for (QLabel* l : {lbl_total_, lbl_use_, lbl_unuse_, lbl_num_, lbl_biao_}) {
        QPalette p = palette();
        if (greyed)
            p.setColor(QPalette::WindowText, p.color(QPalette::Disabled, QPalette::WindowText));
        l->setPalette(p);
    }
}

void MeterPanel::appendsent(const QString& text) {
    append(txt_send_, text);
}

void MeterPanel::appendreceived(const QString& text) {
    append(txt_rece_, text);
}

QString MeterPanel::resultlines() const {
    QStringList lines;
    for (const QLabel* l : {lbl_total_, lbl_use_, lbl_unuse_, lbl_num_, lbl_biao_})
        lines << l->text();
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void MeterPanel::copy() {
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

// The controls placed again whenever the panel's size changes.
void MeterPanel::resizeEvent(QResizeEvent* event) {
    for (const Placement& p : placements)
        if (auto* w = findChild<QWidget*>(QString::fromLatin1(p.name), Qt::FindDirectChildrenOnly))
            w->setGeometry(placement(p, event->size()));
    QWidget::resizeEvent(event);
}

bool MeterPanel::eventFilter(QObject* watched, QEvent* event) {
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
    return QWidget::eventFilter(watched, event);
}

} // namespace meter
