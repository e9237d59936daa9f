// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one window: port and machine type lists, the Start/Stop button, the five result labels
// and the two traffic boxes. Start checks the choice and runs a reading; the same button, then
// captioned "结束", clears the window for the next one.
#include "app/readingrunner.h"
#include "frontend/readingreport.h"
#include "serial/portmap.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace meter {

class StatusText;

// Makes the serial device for a set of ports.
using DeviceFactory = std::function<std::unique_ptr<SerialDevice>(const PortMap&)>;

class Form1 : public QMainWindow {
    Q_OBJECT
  public:
    Form1(std::unique_ptr<SerialDevice> device, std::unique_ptr<VendorLibrary> vendor,
          bool demo = false, FamilyTable families = standardfamilies(), QWidget* parent = nullptr);
    ~Form1() override;

    bool reading() const { return reading_; }
    Driver& driver() { return runner_.driver(); }
    // The status line in full (it is shown elided where it does not fit).
    QString status() const;

    // Lets the operator choose the device behind each port: `make` builds the serial device for
    // a set of ports. The remembered choices apply, then `fixed` (the command line and
    // METERREADER_PORTS), which wins for the ports it names.
    void usedevices(DeviceFactory make, PortMap fixed);
    // The journal is kept in `path` for this run (--journal), whatever is remembered.
    void usejournal(const QString& path);
    bool journalling() const;
    QString journalfile() const { return journalfile_; }
    // The default journal, in the user's data folder.
    static QString defaultjournal();

    // Writes the shown reading to `path`, as JSON for a .json name and as CSV otherwise.
    // Returns an error message, empty on success.
    QString save(const QString& path);
    // The five result lines, as Ctrl+C copies them when nothing is selected.
    QString resultlines() const;

    // Added around the controls: the menus' actions, and the status bar's parts.
    QAction* act_save;
    QAction* act_journal;
    QAction* act_journalfile;
    QAction* act_copy;
    QAction* act_cancel;
    QAction* act_device;
    QProgressBar* progressbar;

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
    // The operator's cancel (Esc): the running reading ends at its failure end.
    void cancelreading();
    void pickdevice();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class Look { plain, warning, failure };
    void createmenus();
    void resetlabels();
    void showrecord(const QString& record);
    void onfinished(const QString& record, bool normal, const QString& reason);
    void showdevice();
    void showprogress();
    void setstatus(const QString& text, Look look = Look::plain);
    void setvaluesgreyed(bool greyed);
    void clearresult();
    void applydevicemap();
    void setjournal(bool on, bool remember);
    void choosejournal();
    void savedialog();
    void copy();

    ReadingRunner runner_;
    bool reading_ = false;
    QString readingtype_;
    std::int16_t readingcode_ = 0;
    int readingport_ = 0;
    QString readingdevice_;
    QString waiting_;
    QElapsedTimer elapsed_;
    QElapsedTimer waited_;
    QTimer progress_;
    QTimer devicecheck_;
    QLabel* statusicon_;
    StatusText* status_;
    StatusText* device_;

    DeviceFactory makedevice_;
    PortMap fixed_;
    PortMap ports_;
    std::optional<ReadingReport> last_;
    QString journalfile_;
    bool journalfixed_ = false;
};

} // namespace meter
