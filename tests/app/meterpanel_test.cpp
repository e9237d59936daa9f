// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's panel by itself, on the offscreen platform: its controls and the Start/Stop
// cycle, with the reading stood in for by the test.
#include "app/meterpanel.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace meter;

namespace {

struct Start {
    QString port;
    std::int16_t code;
    QString typetext;
};

// The panel loaded and shown; a Start answered with `record`, when one is given, as the window
// answers it at the end of a reading.
struct Panel {
    MeterPanel panel;
    std::optional<Start> started;
    std::optional<std::string> record;
    bool greyed = false;
    int cleared = 0;

    Panel() {
        QObject::connect(&panel, &MeterPanel::startasked, &panel,
                         [this](const QString& port, std::int16_t code, const QString& type) {
                             started = Start{port, code, type};
                             if (record) panel.showrecord(cutrecord(*record), greyed);
                         });
        QObject::connect(&panel, &MeterPanel::cleared, &panel, [this] { ++cleared; });
        panel.Form_Load();
        panel.show();
    }
    void choose(const QString& port, const QString& type) {
        panel.Combo1()->setEditText(port);
        panel.Combo2()->setEditText(type);
    }
    void click() {
        started.reset();
        QTest::mouseClick(panel.cmd_begin(), Qt::LeftButton);
    }
    QStringList labels() const {
        return {panel.lbl_total()->text(), panel.lbl_use()->text(), panel.lbl_unuse()->text(),
                panel.lbl_num()->text(), panel.lbl_biao()->text()};
    }
    QString caption() const { return panel.cmd_begin()->text(); }
};

const QStringList prefixes{QStringLiteral("总邮资："), QStringLiteral("已用邮资："),
                           QStringLiteral("未用邮资："), QStringLiteral("总件数："),
                           QStringLiteral("表头：")};

QColor textcolour(const QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}

TEST(MeterPanel, OpensWithTheListsTextsAndFocusAsDocumented) {
    Panel p;
    const QStringList types{QStringLiteral("pitneybows 950"), QStringLiteral("pitneybows spark"),
                            QStringLiteral("高速机"),         QStringLiteral("neopost"),
                            QStringLiteral("copote"),         QStringLiteral("5400(4表头)"),
                            QStringLiteral("5400(5表头)")};
    ASSERT_EQ(p.panel.Combo1()->count(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(p.panel.Combo1()->itemText(i), QString::number(i + 1));
    ASSERT_EQ(p.panel.Combo2()->count(), types.size());
    for (int i = 0; i < types.size(); ++i) {
        EXPECT_EQ(p.panel.Combo2()->itemText(i), types[i]);
        EXPECT_TRUE(p.panel.Combo2()->toolTip().contains(QStringLiteral("\n  ") + types[i]));
    }
    EXPECT_EQ(p.panel.Combo1()->currentText(), QStringLiteral("1"));
    EXPECT_EQ(p.panel.Combo2()->currentText(), QStringLiteral("pitneybows 950"));
    EXPECT_EQ(p.caption(), QStringLiteral("开始"));
    EXPECT_EQ(p.panel.lbl_biao()->text(), QStringLiteral("表头号："));
    const QStringList captions{p.panel.Label1()->text(), p.panel.Label2()->text(),
                               p.panel.Label3()->text(), p.panel.Label4()->text()};
    EXPECT_EQ(captions, (QStringList{QStringLiteral("端口号："), QStringLiteral("机器类型："),
                                     QStringLiteral("发送信息："), QStringLiteral("接收信息：")}));
    EXPECT_TRUE(p.panel.txt_send()->toPlainText().isEmpty());
    EXPECT_TRUE(p.panel.txt_rece()->toPlainText().isEmpty());
    EXPECT_TRUE(p.panel.txt_send()->isReadOnly());
    EXPECT_TRUE(p.panel.txt_rece()->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(p.panel.focusWidget(), p.panel.cmd_begin());
    // Tab goes through the operator's controls in order; the labels take no focus.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&p.panel));
    p.panel.cmd_begin()->setFocus();
    QList<QWidget*> order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* w = QApplication::focusWidget();
        if (auto* list = qobject_cast<QComboBox*>(w ? w->parentWidget() : nullptr)) w = list;
        order << w;
    }
    EXPECT_EQ(order, (QList<QWidget*>{p.panel.Combo1(), p.panel.Combo2(), p.panel.txt_send(),
                                      p.panel.txt_rece()}));
}

// At the default size every control sits where the layout puts it; any room beyond goes to
// the two traffic boxes, and what grows or moves never overlaps another control.
TEST(MeterPanel, PlacesTheControlsAndGivesRoomToTheTrafficBoxes) {
    struct Place {
        const char* name;
        QRect at; // at the default size
    };
    const Place places[] = {
        {"Label1", {88, 16, 97, 33}},      {"Label2", {80, 72, 89, 33}},
        {"cmd_begin", {80, 120, 113, 33}}, {"lbl_biao", {376, 208, 265, 25}},
        {"lbl_num", {376, 160, 265, 25}},  {"lbl_unuse", {376, 112, 265, 25}},
        {"lbl_use", {376, 64, 265, 25}},   {"lbl_total", {376, 16, 265, 25}},
        {"Combo1", {176, 16, 169, 21}},    {"Combo2", {176, 72, 169, 21}},
        {"Label3", {40, 264, 97, 17}},     {"txt_send", {56, 288, 545, 97}},
        {"Label4", {24, 408, 97, 25}},     {"txt_rece", {56, 448, 545, 97}},
    };
    Panel p;
    EXPECT_EQ(p.panel.size(), QSize(656, 566));
    EXPECT_EQ(p.panel.minimumSize(), QSize(656, 566));
    // Extra width and height, and what each box gains in height.
    struct Case {
        int wider, taller, send, rece;
    };
    for (const Case& c : {Case{0, 0, 0, 0}, Case{300, 0, 0, 0}, Case{0, 201, 100, 101},
                          Case{640, 400, 200, 200}}) {
        p.panel.resize(QSize(656 + c.wider, 566 + c.taller));
        QList<QRect> taken;
        for (const Place& place : places) {
            const auto* w = p.panel.findChild<QWidget*>(QLatin1String(place.name));
            ASSERT_TRUE(w) << place.name;
            QRect want = place.at;
            const std::string name = place.name;
            if (name == "txt_send") want.adjust(0, 0, c.wider, c.send);
            if (name == "Label4") want.translate(0, c.send);
            if (name == "txt_rece") want.adjust(0, c.send, c.wider, c.send + c.rece);
            EXPECT_EQ(w->geometry(), want) << name << " " << c.wider << "x" << c.taller;
            taken << w->geometry();
        }
        // (The layout's own caption of the port list reaches under the list, as drawn.)
        for (const int moving : {11, 12, 13})
            for (int i = 0; i < taken.size(); ++i)
                EXPECT_TRUE(i == moving || !taken[i].intersects(taken[moving]))
                    << places[moving].name << " over " << places[i].name;
    }
}

// Start clears the labels and boxes, then asks for a reading of the port and the type code
// the lists name: exactly, case and spaces included.
TEST(MeterPanel, StartAsksForTheChosenPortAndMachineType) {
    struct Case {
        const char* port;
        const char* type;
        std::int16_t code;
    };
    const Case cases[] = {
        {"3", "copote", 51},          {"1", "pitneybows 950", 21}, {"2", "pitneybows spark", 22},
        {"4", "高速机", 31},          {"5", "neopost", 11},        {"6", "5400(4表头)", 12},
        {"8", "5400(5表头)", 13},     {"1", "Neopost", 0},         {"1", "neopost ", 0},
        {"1", "copo", 0},             {"1", "5400", 0},            {"1", "high-speed machine", 0},
        {"9", "copote", 51},          {"abc", "copote", 51},       {" 3", "<b>neopost</b>", 0},
    };
    for (const Case& c : cases) {
        Panel p;
        p.panel.txt_send()->setPlainText(QStringLiteral(" 1,"));
        p.panel.txt_rece()->setPlainText(QStringLiteral(" 2,"));
        p.choose(QString::fromUtf8(c.port), QString::fromUtf8(c.type));
        p.click();
        ASSERT_TRUE(p.started) << c.type;
        EXPECT_EQ(p.started->port, QString::fromUtf8(c.port));
        EXPECT_EQ(p.started->code, c.code) << c.type;
        EXPECT_EQ(p.started->typetext, QString::fromUtf8(c.type));
        EXPECT_EQ(p.labels(), prefixes);
        EXPECT_TRUE(p.panel.txt_send()->toPlainText().isEmpty());
        EXPECT_TRUE(p.panel.txt_rece()->toPlainText().isEmpty());
        EXPECT_EQ(p.caption(), QStringLiteral("开始"));
        // The lists keep the operator's choice.
        EXPECT_EQ(p.panel.Combo2()->currentText(), QString::fromUtf8(c.type));
    }
}

// The record is cut by position into the labels, shown as text (never as markup), and the
// button offers to clear.
TEST(MeterPanel, ARecordIsShownByPosition) {
    struct Case {
        std::string record;
        QStringList values;
    };
    const Case cases[] = {
        {std::string(56, '0'),
         {QStringLiteral("000000000000"), QStringLiteral("000000000000"),
          QStringLiteral("000000000000"), QStringLiteral("0000000000"),
          QStringLiteral("0000000000")}},
        // 60 characters: the head number is the last ten.
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz01234567",
         {QStringLiteral("ABCDEFGHIJKL"), QStringLiteral("MNOPQRSTUVWX"),
          QStringLiteral("YZabcdefghij"), QStringLiteral("klmnopqrst"),
          QStringLiteral("yz01234567")}},
        {"<b>1234</b>5<i>&amp;</i><u>x</u>9999<br>1234560000<s>0</s>12",
         {QStringLiteral("<b>1234</b>5"), QStringLiteral("<i>&amp;</i>"),
          QStringLiteral("<u>x</u>9999"), QStringLiteral("<br>123456"),
          QStringLiteral("<s>0</s>12")}},
        // Shorter than a field: what is there, nothing past the end.
        {"000002111050000001234500",
         {QStringLiteral("000002111050"), QStringLiteral("000001234500"), QString(), QString(),
          QString()}},
        {"", {QString(), QString(), QString(), QString(), QString()}},
    };
    for (const bool greyed : {false, true}) {
        for (const Case& c : cases) {
            Panel p;
            const QColor plain = textcolour(&p.panel);
            p.record = c.record;
            p.greyed = greyed;
            p.choose(QStringLiteral("5"), QStringLiteral("neopost"));
            p.click();
            QStringList want;
            for (int i = 0; i < prefixes.size(); ++i)
                want << prefixes[i] + c.values[i];
            EXPECT_EQ(p.labels(), want);
            EXPECT_EQ(p.panel.lbl_total()->textFormat(), Qt::PlainText);
            EXPECT_EQ(p.caption(), QStringLiteral("结束"));
            EXPECT_EQ(p.panel.focusWidget(), p.panel.Combo1());
            EXPECT_EQ(textcolour(p.panel.lbl_biao()) != plain, greyed);
            EXPECT_EQ(p.panel.resultlines(), want.join(QLatin1Char('\n')) + QLatin1Char('\n'));

            // Stop: the lists back to their first items, the boxes emptied, no reading.
            p.panel.txt_send()->setPlainText(QStringLiteral(" 1,"));
            p.click();
            EXPECT_FALSE(p.started);
            EXPECT_EQ(p.cleared, 1);
            EXPECT_EQ(p.labels(), prefixes);
            EXPECT_EQ(textcolour(p.panel.lbl_biao()), plain);
            EXPECT_EQ(p.panel.Combo1()->currentText(), QStringLiteral("1"));
            EXPECT_EQ(p.panel.Combo2()->currentText(), QStringLiteral("pitneybows 950"));
            EXPECT_TRUE(p.panel.txt_send()->toPlainText().isEmpty());
            EXPECT_EQ(p.caption(), QStringLiteral("开始"));
            EXPECT_EQ(p.panel.focusWidget(), p.panel.Combo1());
        }
    }
}

// An empty port text: the click does nothing, whichever the caption; a busy panel (a reading
// runs) takes no click and no Enter; Enter on the button clicks it.
TEST(MeterPanel, EmptyPortTextAndABusyPanelTakeNoClick) {
    Panel p;
    p.record = std::string(56, '7');
    p.choose(QString(), QStringLiteral("copote"));
    p.click();
    EXPECT_FALSE(p.started);
    EXPECT_EQ(p.panel.lbl_biao()->text(), QStringLiteral("表头号："));

    p.choose(QStringLiteral("2"), QStringLiteral("copote"));
    QTest::keyClick(p.panel.cmd_begin(), Qt::Key_Return);
    ASSERT_TRUE(p.started);
    EXPECT_EQ(p.caption(), QStringLiteral("结束"));
    p.choose(QString(), QStringLiteral("copote"));
    p.click();
    EXPECT_EQ(p.cleared, 0);
    EXPECT_EQ(p.caption(), QStringLiteral("结束"));
    EXPECT_EQ(p.panel.lbl_biao()->text(), QStringLiteral("表头：7777777777"));

    p.choose(QStringLiteral("2"), QStringLiteral("copote"));
    p.panel.setbusy(true);
    EXPECT_FALSE(p.panel.cmd_begin()->isEnabled());
    p.panel.cmd_begin_Click();
    QTest::keyClick(p.panel.cmd_begin(), Qt::Key_Enter);
    EXPECT_EQ(p.cleared, 0);
    EXPECT_EQ(p.caption(), QStringLiteral("结束"));
    p.panel.setbusy(false);
    QTest::keyClick(p.panel.cmd_begin(), Qt::Key_Enter);
    EXPECT_EQ(p.cleared, 1);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
