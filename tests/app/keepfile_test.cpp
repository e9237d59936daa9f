// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a reading in a file the operator names, through Qt's own file dialog: the suffix of
// the chosen type, the question before a file is replaced, the result on the status line.
#include "app/keepfile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace meter;

namespace {

QByteArray slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(KeepFile, AsksNamesWritesAndSays) {
    struct Case {
        const char* what;
        QString typed;     // empty: the dialog is cancelled
        int filter;        // of "CSV (*.csv);;JSON (*.json)"
        bool there;        // the file that would be written is there already
        bool replace;      // the answer to the question
        QString written;   // empty: nothing is written
        QString error;     // from the writer
        QString status;
    };
    const Case cases[] = {
        {"csv by default", QStringLiteral("r"), 0, false, false, QStringLiteral("r.csv"), {},
         QStringLiteral("kept r.csv")},
        {"the type chosen", QStringLiteral("r"), 1, false, false, QStringLiteral("r.json"), {},
         QStringLiteral("kept r.json")},
        {"a suffix typed stays", QStringLiteral("r.txt"), 1, false, false,
         QStringLiteral("r.txt"), {}, QStringLiteral("kept r.txt")},
        // The question is about the file with the suffix, the one that would be replaced.
        {"not replaced", QStringLiteral("r"), 0, true, false, {}, {}, QStringLiteral("before")},
        {"replaced", QStringLiteral("r"), 0, true, true, QStringLiteral("r.csv"), {},
         QStringLiteral("kept r.csv")},
        {"cancelled", {}, 0, false, false, {}, {}, QStringLiteral("before")},
        {"not written", QStringLiteral("r"), 0, false, false, {}, QStringLiteral("disk full"),
         QStringLiteral("not kept: disk full")},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        QMainWindow window;
        StatusLine status(window.statusBar(), 100);
        window.show();
        status.say(QStringLiteral("before"));
        const QString suffixed = dir.filePath(QStringLiteral("r.csv"));
        if (c.there) {
            QFile old(suffixed);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        bool asked = false;
        QTimer::singleShot(0, &window, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            if (c.typed.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(dir.path());
            const QString filter = dialog->nameFilters().value(c.filter);
            dialog->selectNameFilter(filter);
            emit dialog->filterSelected(filter); // as the operator's choice in the list does
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(c.typed);
            QTimer::singleShot(0, dialog, [&] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    asked = true;
                    box->button(c.replace ? QMessageBox::Yes : QMessageBox::No)->click();
                }
            });
            static_cast<QDialog*>(dialog)->accept(); // the file dialog's own, as Save does
            // Not to be replaced: the dialog stays open for another name, and is cancelled.
            if (dialog->isVisible()) dialog->reject();
        });
        QString wrote;
        const QString kept = keepfile(
            &window, status,
            {QStringLiteral("Keep"), QStringLiteral("meter-1.csv"),
             QStringLiteral("CSV (*.csv);;JSON (*.json)"), QStringLiteral("kept %1"),
             QStringLiteral("not kept: %1")},
            [&](const QString& path) {
                wrote = path;
                if (!c.error.isEmpty()) return c.error;
                QFile f(path);
                return f.open(QIODevice::WriteOnly) && f.write("new") == 3 ? QString()
                                                                          : QStringLiteral("?");
            });
        EXPECT_EQ(asked, c.there) << c.what;
        const QString want = c.written.isEmpty() ? QString() : dir.filePath(c.written);
        // Paths are shown as the system writes them (backslashes on Windows).
        const QString shown = QDir::toNativeSeparators(want);
        EXPECT_EQ(kept, shown) << c.what;
        if (!want.isEmpty()) {
            EXPECT_EQ(slurp(want), QByteArray("new")) << c.what;
        }
        if (c.there && !c.replace) {
            EXPECT_EQ(slurp(suffixed), QByteArray("old")) << c.what;
        }
        if (c.error.isEmpty() && want.isEmpty()) {
            EXPECT_TRUE(wrote.isEmpty()) << c.what;
        }
        EXPECT_EQ(status.full(), QString(c.status).replace(c.written, shown)) << c.what;
    }
}

TEST(KeepFile, ANameWithoutSuffixTakesTheFilters) {
    struct Case {
        const char* path;
        const char* filter;
        const char* want;
    } const cases[] = {
        {"/x/r", "JSON 文件 (*.json)", "/x/r.json"},
        {"/x/r", "抓包文件 (*.jsonl)", "/x/r.jsonl"},
        {"/x/r.CSV", "JSON 文件 (*.json)", "/x/r.CSV"},
        {"/x.d/r", "PDF (*.pdf)", "/x.d/r.pdf"},
        {"/x/r", "All (*)", "/x/r"},
        {"", "PDF (*.pdf)", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(withsuffix(QString::fromUtf8(c.path), QString::fromUtf8(c.filter)),
                  QString::fromUtf8(c.want))
            << c.path << " " << c.filter;
}

} // namespace
