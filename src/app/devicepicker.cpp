// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/devicepicker.h"

#include "serial/portlist.h"
#include "serial/portmap.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <set>

namespace meter {

QList<PresentDevice> presentdevices() {
    QList<PresentDevice> out;
    for (const PresentPort& p : presentports())
        out.append({QString::fromStdString(p.path), QString::fromStdString(p.description)});
    return out;
}

bool devicemissing(const QString& path) {
    return portmissing(path.toStdString());
}

namespace {

// The device a path names, links followed; the path itself where it names no file (COM3).
QString deviceof(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

QString shown(const PresentDevice& d) {
    return d.description.isEmpty() ? d.path : d.path + QStringLiteral("   ") + d.description;
}

} // namespace

QList<PickerEntry> pickerentries(const QList<PresentDevice>& present, const QString& standard,
                                 bool standardthere, const QString& demodevice) {
    QList<PickerEntry> out;
    std::set<QString> seen;
    if (!demodevice.isEmpty()) seen.insert(deviceof(demodevice));
    if (standardthere) {
        QString text = standard;
        // The default's own description, where the system gives one.
        for (const PresentDevice& d : present)
            if (deviceof(d.path) == deviceof(standard)) {
                text = shown(d);
                break;
            }
        out.append({QString(), text});
        seen.insert(deviceof(standard));
    }
    for (const PresentDevice& d : present)
        if (seen.insert(deviceof(d.path)).second) out.append({d.path, shown(d)});
    return out;
}

DevicePicker::DevicePicker(int port, const PortMap& current, const PortMap& fixed, QWidget* parent,
                           QString demodevice)
    : QDialog(parent), current_(current), fixed_(fixed), demodevice_(std::move(demodevice)) {
    setObjectName(QStringLiteral("devicepicker"));
    setWindowTitle(tr("选择设备"));

    portlist = new QComboBox(this);
    for (int p = 1; p <= 8; ++p)
        portlist->addItem(QString::number(p));
    portlist->setCurrentIndex(port >= 1 && port <= 8 ? port - 1 : 0);

    devicelist = new QListWidget(this);
    devicelist->setMinimumSize(420, 160);
    pathedit = new QLineEdit(this);
    pathedit->setPlaceholderText(tr("空白：端口的默认设备"));
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("note"));
    note_->setTextFormat(Qt::PlainText);
    note_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(tr("端口号："), portlist);
    form->addRow(tr("设备："), pathedit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* again = buttons->addButton(tr("刷新"), QDialogButtonBox::ActionRole);
    again->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(tr("现有的串口设备："), this));
    layout->addWidget(devicelist);
    layout->addWidget(note_);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(again, &QPushButton::clicked, this, &DevicePicker::refresh);
    // Each port has its own default device, listed once.
    connect(portlist, &QComboBox::currentIndexChanged, this, &DevicePicker::refresh);
    connect(portlist, &QComboBox::currentIndexChanged, this, &DevicePicker::showport);
    connect(devicelist, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item) pathedit->setText(item->data(Qt::UserRole).toString());
    });
    connect(devicelist, &QListWidget::itemActivated, this, &QDialog::accept);

    refresh();
    showport();
}

int DevicePicker::port() const {
    return portlist->currentIndex() + 1;
}

QString DevicePicker::path() const {
    return pathedit->text().trimmed();
}

void DevicePicker::refresh() {
    devicelist->clear();
    const QString standard = QString::fromStdString(PortMap::defaultdevice(port()));
    const QList<PickerEntry> entries =
        pickerentries(presentdevices(), standard, !devicemissing(standard), demodevice_);
    for (const PickerEntry& e : entries) {
        // The port's own device: picking it removes the choice made before.
        auto* item = new QListWidgetItem(
            e.path.isEmpty() ? tr("默认设备（%1）").arg(e.text) : e.text, devicelist);
        item->setData(Qt::UserRole, e.path);
    }
    if (entries.isEmpty()) {
        auto* none = new QListWidgetItem(tr("（没有找到串口设备）"), devicelist);
        none->setFlags(Qt::NoItemFlags);
    }
}

void DevicePicker::showport() {
    const int p = port();
    const QString now = QString::fromStdString(current_.devicefor(p));
    const QString standard = QString::fromStdString(PortMap::defaultdevice(p));
    pathedit->setText(now == standard ? QString() : now);
    QString note = tr("端口 %1 的默认设备：%2").arg(p).arg(standard);
    if (!demodevice_.isEmpty() && now == demodevice_)
        note += QLatin1Char('\n') + tr("演示：这个端口连着模拟的邮资表。");
    else if (fixed_.overridden(p))
        note += QLatin1Char('\n') +
                tr("启动时由 --device 或 METERREADER_PORTS 指定（以后启动时仍以它为准）。");
    if (!demodevice_.isEmpty())
        note += QLatin1Char('\n') + tr("演示中选的设备只用于这次运行，不会保存。");
    note_->setText(note);
}

} // namespace meter
