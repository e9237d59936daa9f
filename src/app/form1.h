// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one window: port and machine type lists, the Start/Stop button, the five result labels
// and the two traffic boxes. Start checks the choice and runs a reading; the same button, then
// captioned "结束", clears the window for the next one.
#include "app/meterpanel.h"
#include "app/readingrunner.h"
#include "app/settings.h"
#include "app/statusline.h"
#include "capture/capture.h"
#include "frontend/readingreport.h"
#include "frontend/readingsession.h"
#include "serial/portmap.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
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

class JournalView;

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
    // The demo meter listens on `path`: readings through it are marked as demo readings, and
    // devices picked in the demo are not remembered.
    void usedemo(const std::string& path) { demodevice_ = path; }
    // The journal is kept in `path` for this run (--journal), whatever is remembered.
    void usejournal(const QString& path);
    bool journalling() const;
    // Keeps the journal in `path` from now on, as 日志文件… does; a file that is no journal of
    // this program is refused. Returns why, empty when it was taken.
    QString switchjournal(const QString& path);
    QString journalfile() const;

    // Writes the shown reading to `path`, as JSON for a .json name and as CSV otherwise.
    // Returns an error message, empty on success.
    QString save(const QString& path);
    // Writes the shown reading's report, one A4 page or more, to `path` as PDF. Returns an error
    // message, empty on success.
    QString exportpdf(const QString& path);
    // Writes the last reading's capture to `path`. Returns an error message, empty on success.
    QString savecapture(const QString& path);
    // The five result lines, as Ctrl+C copies them when nothing is selected.
    QString resultlines() const;

    // The operator's controls, named as the operator's documentation names them (also their
    // object names), and what the window adds around them: the menus' actions, the progress bar.
    MeterPanel* panel() const { return panel_; }
    QLabel* Label1() const { return panel_->Label1(); }
    QLabel* Label2() const { return panel_->Label2(); }
    QPushButton* cmd_begin() const { return panel_->cmd_begin(); }
    QLabel* lbl_biao() const { return panel_->lbl_biao(); }
    QLabel* lbl_num() const { return panel_->lbl_num(); }
    QLabel* lbl_unuse() const { return panel_->lbl_unuse(); }
    QLabel* lbl_use() const { return panel_->lbl_use(); }
    QLabel* lbl_total() const { return panel_->lbl_total(); }
    QComboBox* Combo1() const { return panel_->Combo1(); }
    QComboBox* Combo2() const { return panel_->Combo2(); }
    QLabel* Label3() const { return panel_->Label3(); }
    QPlainTextEdit* txt_send() const { return panel_->txt_send(); }
    QLabel* Label4() const { return panel_->Label4(); }
    QPlainTextEdit* txt_rece() const { return panel_->txt_rece(); }
    QAction* act_save() const { return act_save_; }
    QAction* act_pdf() const { return act_pdf_; }
    QAction* act_print() const { return act_print_; } // null where the window cannot print
    QAction* act_manual() const { return act_manual_; }
    QAction* act_about() const { return act_about_; }
    QAction* act_savecapture() const { return act_savecapture_; }
    QAction* act_journal() const { return act_journal_; }
    QAction* act_journalfile() const { return act_journalfile_; }
    QAction* act_viewjournal() const { return act_viewjournal_; }
    // The journal's table, while it is open.
    JournalView* journalview() const;
    QAction* act_copy() const { return act_copy_; }
    QAction* act_cancel() const { return act_cancel_; }
    QAction* act_device() const { return act_device_; }
    // 读取 → 核对读取（读两次）: checkable, remembered.
    QAction* act_verify() const { return act_verify_; }
    // The mode shown on the status line (the verified reading while it is on); empty for none.
    QString statusmode() const { return status_.mode(); }
    QProgressBar* progressbar() const { return status_.progressbar(); }

  signals:
    // A reading has ended and its record is on the labels.
    void readingfinished();

  public slots:
    // The operator's cancel (Esc): the running reading ends at its failure end.
    void cancelreading();
    void pickdevice();
    // Opens the journal's table (or brings it to the front), on the journal in use.
    void viewjournal();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createmenus();
    void connectreading();
    void startreading(const QString& port, std::int16_t code, const QString& typetext);
    void onfinished(const ReadingPasses& passes);
    void turnverify(bool on);
    void showdevice();
    void showprogress();
    void clearresult();
    void applydevicemap();
    void showjournal();
    void turnjournal(bool on);
    void choosejournal();
    void savedialog();
    void pdfdialog();
    void printdialog();
    void setreportable(bool on);
    void savecapturedialog();

    QAction* act_save_ = nullptr;
    QAction* act_pdf_ = nullptr;
    QAction* act_print_ = nullptr;
    QAction* act_manual_ = nullptr;
    QAction* act_about_ = nullptr;
    QAction* act_savecapture_ = nullptr;
    QAction* act_journal_ = nullptr;
    QAction* act_journalfile_ = nullptr;
    QAction* act_viewjournal_ = nullptr;
    QAction* act_copy_ = nullptr;
    QAction* act_cancel_ = nullptr;
    QAction* act_device_ = nullptr;
    QAction* act_verify_ = nullptr;

    ReadingRunner runner_;
    MeterPanel* panel_;
    StatusLine status_;
    ReadingSession session_;
    bool reading_ = false;
    QString waiting_;
    QElapsedTimer elapsed_;
    QElapsedTimer waited_;
    QTimer progress_;
    QTimer devicecheck_;

    DeviceFactory makedevice_;
    DeviceChoices devices_;
    std::optional<ReadingReport> last_;
    Reason lastreason_;
    std::optional<Capture> lastcapture_;
    JournalSettings journal_;
    std::string demodevice_;
    QPointer<JournalView> journalview_;
};

} // namespace meter
