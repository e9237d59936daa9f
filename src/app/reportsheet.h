// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A finished reading as a sheet of paper: the five values large, the machine, the port and
// when, how the reading ended, the traffic in hexadecimal, and lines to fill in by hand for the
// meter's serial number, the customer and the technician's signature. Painted onto any paged
// device (a printer, a PDF file) in the window's language; the traffic continues on further
// pages when it does not fit on the first.
#include "frontend/readingreport.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>

class QPagedPaintDevice;

namespace meter {

struct ReportSheet {
    Q_DECLARE_TR_FUNCTIONS(meter::ReportSheet)

  public:
    ReadingReport reading;
    QString reason;  // why it read nothing, in the sheet's language; empty for a good reading
    QString version; // the program's

    // Paints every page onto `device`, which has its page size and margins set. Returns the
    // number of pages, 0 when the device cannot be painted on.
    int paint(QPagedPaintDevice& device) const;

    // Writes the sheet to `path` as an A4 PDF file. Returns why it could not, empty on success.
    Reason writepdf(const QString& path) const;
};

// Hexadecimal traffic as lines no wider than `fits` allows, broken between bytes; a run of
// text without a blank that is wider still is broken where it must be. Every character of
// `text` but the blanks at a break stays, in order.
QStringList wraptraffic(const QString& text, const std::function<bool(const QString&)>& fits);

} // namespace meter
