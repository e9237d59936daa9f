#pragma once
// The one window: port and machine type lists, the Start/Stop button, the five result labels
// and the two traffic boxes. Start checks the choice and runs a reading; the same button, then
// captioned "结束", clears the window for the next one.
#include "app/readingrunner.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <memory>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace meter {

class Form1 : public QMainWindow {
    Q_OBJECT
  public:
    Form1(std::unique_ptr<SerialDevice> device, std::unique_ptr<VendorLibrary> vendor,
          bool demo = false, FamilyTable families = standardfamilies(), QWidget* parent = nullptr);
    ~Form1() override;

    bool reading() const { return reading_; }
    Driver& driver() { return runner_.driver(); }
    QString status() const;

    // The controls, named as the operator's documentation names them.
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* cmd_begin;
    QLabel* lbl_biao;
    QLabel* lbl_num;
    QLabel* lbl_unuse;
    QLabel* lbl_use;
    QLabel* lbl_total;
    QComboBox* Combo1;
    QComboBox* Combo2;
    QLabel* Label3;
    QPlainTextEdit* txt_send;
    QLabel* Label4;
    QPlainTextEdit* txt_rece;

  signals:
    // A reading has ended and its record is on the labels.
    void readingfinished();

  public slots:
    void Form_Load();
    void cmd_begin_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void resetlabels();
    void showrecord(const QString& record);
    void onfinished(const QString& record, bool normal, const QString& reason);
    void showdevice();
    void showprogress();
    void setstatus(const QString& text);

    ReadingRunner runner_;
    bool reading_ = false;
    QString readingtype_;
    QString waiting_;
    QElapsedTimer elapsed_;
    QTimer progress_;
    QLabel* status_;
    QLabel* device_;
};

} // namespace meter
