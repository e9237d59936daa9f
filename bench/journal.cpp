// SPDX-License-Identifier: GPL-3.0-or-later
// How long the journal's table takes to open a long journal: ROWS readings (100,000 by
// default) written by the journal's own writer, then the table opened on them, shown and
// painted; then a sort by a column and a filter by text. Target: open within 2 s.
//   build/dev/bin/bench_journal [ROWS]      (on the offscreen platform unless told otherwise)
// Exits 1 when the table took longer than the target to open.
#include "app/journalview.h"
#include "frontend/journal.h"
#include "frontend/readingreport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.csv"));
    {
        meter::ReadingReport r;
        r.device = "/dev/ttyUSB0";
        r.sent = "02 30 03 02 31 03 02 32 03 02 33 03 02 34 03 ";
        r.received = "06 02 30 30 30 30 30 32 31 31 31 30 35 30 03 ";
        std::ofstream out(path.toStdString(), std::ios::binary);
        for (long i = 0; i < rows; ++i) {
            r.time = "2026-12-07T15:" + std::to_string(10 + i % 50) + ":08+08:00";
            r.port = static_cast<int>(1 + i % 8);
            r.typetext = i % 3 ? "pitneybows 950" : "5400(4表头)";
            r.code = static_cast<std::int16_t>(i % 3 ? 21 : 12);
            r.normal = i % 7 != 0;
            r.reason = r.normal ? "" : "no reply to the register request";
            r.reasoncode = r.normal ? "" : "no_reply";
            r.record = r.normal ? "00000211105000000123450000000087655000000" +
                                      std::to_string(10000 + i % 90000) + "0000123456"
                                : "";
            out << (i == 0 ? meter::csvfile(r) : meter::csvrow(r));
        }
    }
    const auto bytes = QFileInfo(path).size();

    QElapsedTimer clock;
    clock.start();
    const std::size_t parsed = meter::JournalFile(path.toStdString()).update().rows.size();
    const qint64 parse = clock.elapsed();

    clock.restart();
    meter::JournalView view(path);
    view.setAttribute(Qt::WA_DeleteOnClose, false);
    view.show();
    view.table()->viewport()->repaint();
    QApplication::processEvents();
    const qint64 open = clock.elapsed();
    const int shown = view.table()->model()->rowCount();

    clock.restart();
    view.table()->sortByColumn(1, Qt::DescendingOrder);
    QApplication::processEvents();
    const qint64 sort = clock.elapsed();

    clock.restart();
    view.textfilter()->setText(QStringLiteral("no reply"));
    QApplication::processEvents();
    const qint64 filter = clock.elapsed();
    const int matching = view.table()->model()->rowCount();

    std::printf("rows %zu read alone in %lld ms\n", parsed, static_cast<long long>(parse));
    std::printf("rows %d (%lld bytes): open %lld ms (target 2000), sort by port %lld ms, "
                "filter \"no reply\" %lld ms (%d rows)\n",
                shown, static_cast<long long>(bytes), static_cast<long long>(open),
                static_cast<long long>(sort), static_cast<long long>(filter), matching);
    return shown == rows && open <= 2000 ? 0 : 1;
}
