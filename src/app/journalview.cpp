// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/journalview.h"

#include "app/language.h"
#include "core/keptreason.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace meter {

namespace {

QString text(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A whole number of the journal's text, or -1 for none.
long long number(const std::string& s) {
    if (s.empty() || s.size() > 18 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoll(s);
}

// The reason of a row as the technician reads it: the kept English text read back through its
// code and said in the window's language, or the text as kept where it cannot be read back.
QString shownreason(const JournalRow& r) {
    const std::string& kept = r[JournalField::reason];
    if (kept.empty()) return {};
    if (const std::optional<Reason> why = keptreason(r[JournalField::reasoncode], kept))
        return text(why->text(windowlanguage()));
    return text(kept);
}

// How the reading ended, as the journal keeps it ("normal" or "failure").
QString endtext(const std::string& end) {
    if (end == "normal") return JournalModel::tr("正常结束");
    if (end == "failure") return JournalModel::tr("失败结束");
    return text(end);
}

} // namespace

const std::vector<JournalField>& JournalModel::shown() {
    // What a technician scans for first comes first: how each reading went, then its values.
    static const std::vector<JournalField> columns = {
        JournalField::time,   JournalField::port,  JournalField::type, JournalField::status,
        JournalField::reason, JournalField::total, JournalField::used, JournalField::unused,
        JournalField::pieces, JournalField::head};
    return columns;
}

int JournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown().size());
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const JournalRow& r = row(index.row());
    const JournalField field = shown()[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole) {
        const std::string& value = r[field];
        if (field == JournalField::status) {
            if (value == "read") return tr("读到数据");
            if (value == "nodata") return tr("没有数据");
            if (value == "failed") return tr("失败");
        }
        if (field == JournalField::reason) return reason(index.row());
        return text(value);
    }
    if (role == Qt::ToolTipRole) {
        // What the row holds beyond its columns.
        QString tip = tr("设备：%1\n记录：%2\n结束：%3")
                          .arg(text(r[JournalField::device]), text(r[JournalField::record]),
                               endtext(r[JournalField::end]));
        // The reason whole, as the column may cut it; the code is the file's own key for it.
        if (!reason(index.row()).isEmpty()) tip += tr("\n原因：%1").arg(reason(index.row()));
        if (!r[JournalField::reasoncode].empty())
            tip += tr("\n原因代码：%1").arg(text(r[JournalField::reasoncode]));
        return tip;
    }
    if (role == Qt::TextAlignmentRole && field != JournalField::reason &&
        field != JournalField::type && field != JournalField::status)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    static const char* const names[] = {
        QT_TR_NOOP("时间"),   QT_TR_NOOP("端口"),   QT_TR_NOOP("机器类型"), QT_TR_NOOP("状态"),
        QT_TR_NOOP("原因"),   QT_TR_NOOP("总邮资"), QT_TR_NOOP("已用邮资"), QT_TR_NOOP("未用邮资"),
        QT_TR_NOOP("总件数"), QT_TR_NOOP("表头")};
    if (section < 0 || section >= static_cast<int>(std::size(names))) return {};
    return tr(names[section]);
}

QString JournalModel::sayreason(const JournalRow& row) {
    const QString key =
        text(row[JournalField::reasoncode]) + QLatin1Char('\n') + text(row[JournalField::reason]);
    auto known = said_.constFind(key);
    if (known == said_.constEnd()) {
        // Bounded, whatever the file holds.
        if (said_.size() >= 4096) said_.clear();
        known = said_.insert(key, shownreason(row));
    }
    return *known;
}

void JournalModel::replace(std::vector<JournalRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    reasons_.clear();
    for (const JournalRow& r : rows_)
        reasons_.push_back(sayreason(r));
    endResetModel();
}

void JournalModel::append(std::vector<JournalRow> rows) {
    if (rows.empty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (const JournalRow& r : rows)
        reasons_.push_back(sayreason(r));
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                 std::make_move_iterator(rows.end()));
    endInsertRows();
}

// A new filter resets the rows shown at once: filtering row by row would tell the view of each
// run of hidden rows apart, which on a long journal takes seconds.
void JournalFilter::settext(const QString& text) {
    beginResetModel();
    text_ = text.trimmed().toStdString();
    endResetModel();
}

void JournalFilter::setstatus(const QString& status) {
    beginResetModel();
    status_ = status.toStdString();
    endResetModel();
}

const JournalModel& JournalFilter::journal() const {
    return *static_cast<const JournalModel*>(sourceModel());
}

bool JournalFilter::filterAcceptsRow(int row, const QModelIndex&) const {
    const JournalRow& r = journal().row(row);
    if (!status_.empty() && r[JournalField::status] != status_) return false;
    // The reason also as it is shown, so that its words in either language find it.
    return journalmatches(r, text_) ||
           journal().reason(row).contains(QString::fromStdString(text_), Qt::CaseInsensitive);
}

bool JournalFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const JournalField field = JournalModel::shown()[static_cast<std::size_t>(left.column())];
    const std::string& a = journal().row(left.row())[field];
    const std::string& b = journal().row(right.row())[field];
    const long long x = number(a), y = number(b);
    if (x >= 0 && y >= 0 && x != y) return x < y;
    return a < b;
}

JournalView::JournalView(const QString& path, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("journalview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setSizeGripEnabled(true);

    model_ = new JournalModel(this);
    filter_ = new JournalFilter(this);
    filter_->setSourceModel(model_);

    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("journaltext"));
    text_->setPlaceholderText(tr("查找：端口、类型、数值、原因…"));
    text_->setClearButtonEnabled(true);
    connect(text_, &QLineEdit::textChanged, this, [this](const QString& t) {
        filter_->settext(t);
        showsummary();
    });
    status_ = new QComboBox(this);
    status_->setObjectName(QStringLiteral("journalstatus"));
    status_->addItem(tr("全部状态"), QString());
    status_->addItem(tr("读到数据"), QStringLiteral("read"));
    status_->addItem(tr("没有数据"), QStringLiteral("nodata"));
    status_->addItem(tr("失败"), QStringLiteral("failed"));
    connect(status_, &QComboBox::currentIndexChanged, this, [this](int) {
        filter_->setstatus(status_->currentData().toString());
        showsummary();
    });
    copy_ = new QPushButton(tr("复制行"), this);
    copy_->setObjectName(QStringLiteral("journalcopy"));
    connect(copy_, &QPushButton::clicked, this, &JournalView::copy);
    open_ = new QPushButton(tr("打开其他日志…"), this);
    open_->setObjectName(QStringLiteral("journalopen"));
    connect(open_, &QPushButton::clicked, this, &JournalView::chooseother);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("journaltable"));
    table_->setModel(filter_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder); // the file's order until a column is chosen
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Widths from the texts a column holds, not from its rows: a long journal opens at once.
    const QFontMetrics m = fontMetrics();
    const int widths[] = {m.horizontalAdvance(QStringLiteral("2026-12-07T15:10:08+08:00")),
                          m.horizontalAdvance(tr("端口")) + 20,
                          m.horizontalAdvance(QStringLiteral("pitneybows spark")),
                          m.horizontalAdvance(tr("没有数据")) + 20,
                          // The start of a reason; the whole is in the row's tooltip.
                          m.height() * 16, // some sixteen Chinese characters

                          m.horizontalAdvance(QStringLiteral("000000000000")),
                          m.horizontalAdvance(QStringLiteral("000000000000")),
                          m.horizontalAdvance(QStringLiteral("000000000000")),
                          m.horizontalAdvance(QStringLiteral("0000000000")),
                          m.horizontalAdvance(QStringLiteral("0000000000"))};
    int columns = 0;
    for (int i = 0; i < static_cast<int>(std::size(widths)); ++i) {
        table_->setColumnWidth(
            i,
            std::max(widths[i] + 16,
                     m.horizontalAdvance(model_->headerData(i, Qt::Horizontal).toString()) + 30));
        columns += table_->columnWidth(i);
    }

    auto* copyaction = new QAction(this);
    copyaction->setShortcut(QKeySequence::Copy);
    connect(copyaction, &QAction::triggered, this, &JournalView::copy);
    table_->addAction(copyaction);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("journalsummary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* bar = new QHBoxLayout;
    bar->addWidget(text_, 1);
    bar->addWidget(status_);
    bar->addWidget(copy_);
    bar->addWidget(open_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(table_, 1);
    layout->addWidget(summary_);
    // Wide enough for every column, where the screen allows; the status and the reason show
    // whatever it allows.
    int width = columns + m.horizontalAdvance(QStringLiteral("0000000000")) + 16 +
                m.horizontalAdvance(QStringLiteral("0000")) + 60;
    if (const QScreen* s = screen()) width = std::min(width, s->availableGeometry().width() - 40);
    resize(std::max(width, 800), 560);

    // An empty journal says so where the rows would be.
    empty_ = new QLabel(tr("还没有读数"), table_->viewport());
    empty_->setObjectName(QStringLiteral("journalempty"));
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setEnabled(false);

    // Appended rows show as they are written: the watcher tells at once where the system can,
    // the poll where it cannot (some network drives) or when the file was replaced.
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &JournalView::reload);
    poll_.setInterval(2000);
    connect(&poll_, &QTimer::timeout, this, &JournalView::reload);
    poll_.start();
    openjournal(path);
}

void JournalView::openjournal(const QString& path) {
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    path_ = QFileInfo(path).absoluteFilePath();
    setWindowTitle(tr("日志 — %1").arg(QFileInfo(path_).fileName()));
    file_ = std::make_unique<JournalFile>(QDir::toNativeSeparators(path_).toStdString());
    model_->replace({});
    reload();
}

void JournalView::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    empty_->setGeometry(table_->viewport()->rect());
}

void JournalView::reload() {
    if (!file_) return;
    JournalUpdate u = file_->update();
    error_ = u.error;
    // A journal not yet begun has no readings: that is no fault of the file.
    if (!error_.empty() && !QFileInfo::exists(path_)) error_ = {};
    if (u.restarted || !u.error.empty())
        model_->replace(std::move(u.rows));
    else
        model_->append(std::move(u.rows));
    // A file replaced by another of the same name is watched anew.
    if (QFileInfo::exists(path_) && !watcher_.files().contains(path_)) watcher_.addPath(path_);
    showsummary();
}

void JournalView::showsummary() {
    empty_->setVisible(error_.empty() && model_->rowCount() == 0);
    empty_->setGeometry(table_->viewport()->rect());
    QString line;
    if (!error_.empty())
        line = QString::fromStdString(error_.text(windowlanguage()));
    else if (model_->rowCount() == 0)
        line = tr("%1：还没有读数").arg(QDir::toNativeSeparators(path_));
    else if (filter_->rowCount() == model_->rowCount())
        line = tr("%1：%2 次读取").arg(QDir::toNativeSeparators(path_)).arg(model_->rowCount());
    else
        line = tr("%1：%2 次读取，显示 %3 次")
                   .arg(QDir::toNativeSeparators(path_))
                   .arg(model_->rowCount())
                   .arg(filter_->rowCount());
    summary_->setText(line);
    QPalette p = palette();
    if (!error_.empty()) p.setColor(QPalette::WindowText, QColor(0xC0, 0x00, 0x00));
    summary_->setPalette(p);
}

QString JournalView::selectedtext() const {
    QModelIndexList rows = table_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString out;
    for (const QModelIndex& row : rows) {
        QStringList fields;
        for (int c = 0; c < filter_->columnCount(); ++c)
            fields << filter_->index(row.row(), c).data().toString().simplified();
        out += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

void JournalView::copy() {
    const QString rows = selectedtext();
    if (!rows.isEmpty()) QGuiApplication::clipboard()->setText(rows);
}

void JournalView::chooseother() {
    const QString path = QFileDialog::getOpenFileName(this, tr("打开日志"), path_,
                                                      tr("CSV 文件 (*.csv);;所有文件 (*)"));
    if (!path.isEmpty()) openjournal(path);
}

} // namespace meter
