// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operator's controls: the port and machine type lists with their captions, the Start/Stop
// button, the five result labels and the two traffic boxes, placed as the operator's
// documentation draws them, and the operator cycle on them. The button's caption is the panel's
// only state; what a reading does is the window's.
#include "frontend/recordview.h"

#include <QWidget>

#include <cstdint>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace meter {

class MeterPanel : public QWidget {
    Q_OBJECT
  public:
    explicit MeterPanel(QWidget* parent = nullptr);

    // The controls, named as the operator's documentation names them (also their object names).
    QLabel* Label1() const { return Label1_; }
    QLabel* Label2() const { return Label2_; }
    QPushButton* cmd_begin() const { return cmd_begin_; }
    QLabel* lbl_biao() const { return lbl_biao_; }
    QLabel* lbl_num() const { return lbl_num_; }
    QLabel* lbl_unuse() const { return lbl_unuse_; }
    QLabel* lbl_use() const { return lbl_use_; }
    QLabel* lbl_total() const { return lbl_total_; }
    QComboBox* Combo1() const { return Combo1_; }
    QComboBox* Combo2() const { return Combo2_; }
    QLabel* Label3() const { return Label3_; }
    QPlainTextEdit* txt_send() const { return txt_send_; }
    QLabel* Label4() const { return Label4_; }
    QPlainTextEdit* txt_rece() const { return txt_rece_; }

    // The machine type a list text names: the list's texts as shown, or the Chinese ones; 0 for
    // any other text.
    static std::int16_t typecode(const QString& text);

    // While a reading runs the button takes no click and no Enter.
    void setbusy(bool busy);
    bool busy() const { return busy_; }
    // The end of a reading: each label its prefix and field, greyed when the record stands for
    // nothing read; the button captioned "结束"; the focus on the port list.
    void showrecord(const RecordFields& fields, bool greyed);
    void appendsent(const QString& text);
    void appendreceived(const QString& text);
    // The five result lines, as Ctrl+C copies them when nothing is selected.
    QString resultlines() const;
    // Ctrl+C: the selection where the focus is, else the five result lines.
    void copy();

    QSize sizeHint() const override { return minimumSize(); }

  signals:
    // The Stop branch has cleared the panel.
    void cleared();
    // The Start branch has cleared the panel; the window checks the choice and runs the reading.
    void startasked(const QString& port, std::int16_t code, const QString& typetext);

  public slots:
    // Fills the two lists and selects their first items; the focus goes to the button.
    void Form_Load();
    void cmd_begin_Click();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void resetlabels();
    void setvaluesgreyed(bool greyed);

    QLabel* Label1_ = nullptr;
    QLabel* Label2_ = nullptr;
    QPushButton* cmd_begin_ = nullptr;
    QLabel* lbl_biao_ = nullptr;
    QLabel* lbl_num_ = nullptr;
    QLabel* lbl_unuse_ = nullptr;
    QLabel* lbl_use_ = nullptr;
    QLabel* lbl_total_ = nullptr;
    QComboBox* Combo1_ = nullptr;
    QComboBox* Combo2_ = nullptr;
    QLabel* Label3_ = nullptr;
    QPlainTextEdit* txt_send_ = nullptr;
    QLabel* Label4_ = nullptr;
    QPlainTextEdit* txt_rece_ = nullptr;
    bool busy_ = false;
};

} // namespace meter
