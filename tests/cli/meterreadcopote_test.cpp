// SPDX-License-Identifier: GPL-3.0-or-later
// meterread reading a copote meter that does not answer (the library waits three seconds for
// it): a signal ends the reading within a second, and the helper program goes with it.
#include "support/e2e.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/prctl.h>

namespace meter::testing {
namespace {

// Children of this process that run the helper program: orphans of meterread come here, as
// this process is made their subreaper.
int helperchildren() {
    int found = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        QFile list(QString::fromStdString((task.path() / "children").string()));
        if (!list.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& pid : list.readAll().split(' ')) {
            std::error_code ec;
            const auto exe =
                std::filesystem::read_symlink("/proc/" + pid.trimmed().toStdString() + "/exe", ec);
            if (!ec && exe == CPEDFM_HOST_PATH) ++found;
        }
    }
    return found;
}

TEST(MeterReadCopote, Signal_EndsReadingWithinASecondHelperGone) {
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        MeterSim sim(
            {QStringLiteral("--type"), QStringLiteral("copote"), QStringLiteral("--silent")});
        QProcess p;
        p.start(QStringLiteral(METERREAD_PATH), jsonreading(sim, QStringLiteral("copote")));
        ASSERT_TRUE(p.waitForStarted(5000));
        QThread::msleep(700);
        QElapsedTimer t;
        t.start();
        ::kill(static_cast<pid_t>(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_LT(t.elapsed(), 1000);
        EXPECT_NE(p.exitCode(), 0);
        const QJsonObject json = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        EXPECT_EQ(json[QStringLiteral("reason")].toString().toStdString(),
                  "the reading was cancelled");
        EXPECT_EQ(json[QStringLiteral("record")].toString(), QString(56, QLatin1Char('0')));
        QThread::msleep(100);
        EXPECT_EQ(helperchildren(), 0);
    }
}

} // namespace
} // namespace meter::testing
