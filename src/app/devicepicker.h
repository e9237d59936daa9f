// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which serial device stands behind which port number: the devices present, and the operator's
// choice in a small dialog.
#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace meter {

class PortMap;

struct PresentDevice {
    QString path;
    QString description; // what the system says about it; may be empty
};

// The serial devices present now: on Linux the stable names under /dev/serial/by-id, ttyUSB*,
// ttyACM* and the ttyS* with hardware behind them; on Windows the COM ports with their names.
QList<PresentDevice> presentdevices();

// True when `path` names a device file that is not there (a USB adapter unplugged). Names that
// are not device paths (a test's in-memory device) are never reported missing.
bool devicemissing(const QString& path);

// One line of the picker's list: the port's default device or another device present.
struct PickerEntry {
    QString path; // empty for the default device: picking it removes a choice made before
    QString text; // as the list shows it, without the default's caption
};

// What the picker lists for a port whose default device is `standard` (there or not): the
// default first while it is there, then every other device present once (a device is named
// once however many names it has), never the demo meter's own device `demodevice`.
QList<PickerEntry> pickerentries(const QList<PresentDevice>& present, const QString& standard,
                                 bool standardthere, const QString& demodevice);

// The dialog: a port number, the devices present, and the path to put behind the port (typed,
// or taken from the list). An empty path stands for the port's default device.
class DevicePicker : public QDialog {
    Q_OBJECT
  public:
    // `current` is what stands behind each port now; `fixed` names the ports given on the
    // command line or in METERREADER_PORTS; `demodevice` is the demo meter's device, empty
    // outside a demo.
    DevicePicker(int port, const PortMap& current, const PortMap& fixed, QWidget* parent = nullptr,
                 QString demodevice = {});

    int port() const;
    QString path() const;

    QComboBox* portlist;
    QListWidget* devicelist;
    QLineEdit* pathedit;

  private:
    void refresh();
    void showport();

    const PortMap& current_;
    const PortMap& fixed_;
    QString demodevice_;
    QLabel* note_;
};

} // namespace meter
