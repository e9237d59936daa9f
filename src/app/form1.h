// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one window: port and machine type lists, the Start/Stop button, the five result labels
// and the two traffic boxes. Start checks the choice and runs a reading; the same button, then
// captioned "结束", clears the window for the next one.
#include "app/readingrunner.h"
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
    // The demo meter listens on `path`: readings through it are marked as demo readings, and
    // devices picked in the demo are not remembered.
    void usedemo(const std::string& path) { demodevice_ = path; }
    // The journal is kept in `path` for this run (--journal), whatever is remembered.
    void usejournal(const QString& path);
    bool journalling() const;
    QString journalfile() const { return journalfile_; }
    // The default journal, in the user's data folder.
    static QString defaultjournal();

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

    // The controls, named as the operator's documentation names them (also their object
    // names), and what the window adds around them: the menus' actions, the progress bar.
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
    QProgressBar* progressbar() const { return progressbar_; }

  signals:
    // A reading has ended and its record is on the labels.
    void readingfinished();

  public slots:
    void Form_Load();
    void cmd_begin_Click();
    // The operator's cancel (Esc): the running reading ends at its failure end.
    void cancelreading();
    void pickdevice();
    // Opens the journal's table (or brings it to the front), on the journal in use.
    void viewjournal();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class Look { plain, warning, failure };
    // The window, part by part.
    QWidget* buildclient();
    void buildbutton(QWidget* client);
    void buildresults(QWidget* client);
    void buildlists(QWidget* client);
    void buildtraffic(QWidget* client);
    void buildstatusbar(bool demo);
    void createmenus();
    void watchkeys();
    void connectreading();
    void refuse(const Reason& why);
    void resetlabels();
    void showrecord(const RecordFields& fields);
    void onfinished(const QString& record, const Outcome& outcome);
    void showdevice();
    void showprogress();
    void setstatus(const QString& text, Look look = Look::plain);
    void setvaluesgreyed(bool greyed);
    void clearresult();
    void applydevicemap();
    void setjournal(bool on, bool remember);
    void choosejournal();
    void savedialog();
    void pdfdialog();
    void printdialog();
    void setreportable(bool on);
    void savecapturedialog();
    void copy();

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
    QProgressBar* progressbar_ = nullptr;

    ReadingRunner runner_;
    ReadingSession session_;
    bool reading_ = false;
    QString waiting_;
    QElapsedTimer elapsed_;
    QElapsedTimer waited_;
    QTimer progress_;
    QTimer devicecheck_;
    QLabel* statusicon_ = nullptr;
    StatusText* status_ = nullptr;
    StatusText* device_ = nullptr;

    DeviceFactory makedevice_;
    PortMap fixed_;
    PortMap ports_;
    std::optional<ReadingReport> last_;
    Reason lastreason_;
    std::optional<Capture> lastcapture_;
    QString journalfile_;
    bool journalfixed_ = false;
    std::string demodevice_;
    QPointer<JournalView> journalview_;
};

} // namespace meter
