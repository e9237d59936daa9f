// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The journal in a table: a row a reading, sorted by any column, filtered by text and by
// status, rows copied as tab-separated text. It follows the file as readings are appended and
// never writes to it.
#include "frontend/journal.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSortFilterProxyModel>
#include <QTimer>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace meter {

// The rows of a journal, with the columns a technician looks at.
class JournalModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // The columns shown, in their order.
    static const std::vector<JournalField>& shown();

    explicit JournalModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void replace(std::vector<JournalRow> rows);
    void append(std::vector<JournalRow> rows);
    const JournalRow& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    // The row's reason in the window's language (the file keeps it in English).
    const QString& reason(int index) const { return reasons_[static_cast<std::size_t>(index)]; }

  private:
    std::vector<JournalRow> rows_;
    std::vector<QString> reasons_;
    // The shown reason of each code and kept text met so far: a journal repeats a few.
    QHash<QString, QString> said_;
    QString sayreason(const JournalRow& row);
};

// Sorting by the journal's own text (numbers as numbers), and the two filters.
class JournalFilter : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void settext(const QString& text);
    // "read", "nodata", "failed"; empty for every row.
    void setstatus(const QString& status);

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    const JournalModel& journal() const;
    std::string text_;
    std::string status_;
};

class JournalView : public QDialog {
    Q_OBJECT
  public:
    explicit JournalView(const QString& path, QWidget* parent = nullptr);

    // Shows the journal at `path` instead.
    void openjournal(const QString& path);
    QString path() const { return path_; }
    // Reads what was appended since the last time (all of it after a change of file).
    void reload();
    // The rows selected, as copied: the shown columns separated by tabs, a line each.
    QString selectedtext() const;

    QTableView* table() const { return table_; }
    QLineEdit* textfilter() const { return text_; }
    QComboBox* statusfilter() const { return status_; }
    QLabel* summary() const { return summary_; }
    QPushButton* openbutton() const { return open_; }
    QPushButton* copybutton() const { return copy_; }
    // Shown over the table while the journal has no rows.
    QLabel* emptynote() const { return empty_; }

  private:
    void chooseother();
    void copy();
    void showsummary();
    void resizeEvent(QResizeEvent* event) override;

    QString path_;
    std::unique_ptr<JournalFile> file_;
    Reason error_;
    JournalModel* model_ = nullptr;
    JournalFilter* filter_ = nullptr;
    QTableView* table_ = nullptr;
    QLineEdit* text_ = nullptr;
    QComboBox* status_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* empty_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* copy_ = nullptr;
    QFileSystemWatcher watcher_;
    QTimer poll_;
};

} // namespace meter
