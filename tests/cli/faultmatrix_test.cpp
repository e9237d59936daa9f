// SPDX-License-Identifier: GPL-3.0-or-later
// meterread on pseudo-terminals against what only the operating system can do to a port: a
// device that is missing, in use by another reader or not permitted, a cable pulled in the
// middle of a reading, and bytes waiting in the port before it was opened. For every serial
// machine type: the record, the end and its reason, the port usable again at once, no process
// left behind, and the program ending within its bound.
#include "support/pty.h"
#include "support/soak.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <memory>
#include <mutex>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace meter::testing {
namespace {

const sim::Registers registers;
const sim::Registers other{"000000000300", "000000000100", "000000000200", "0000000007",
                           "0000000009"};
const QString allzero(56, QLatin1Char('0'));

int pollms(std::int16_t code) {
    return code == 12 || code == 13 ? 1000 : code == 21 || code == 22 ? 100 : 800;
}

// The processes whose parent is this one. The test is made the reaper of orphans, so a helper
// that a finished meterread left behind shows up here.
std::vector<int> children() {
    std::vector<int> out;
    DIR* proc = opendir("/proc");
    if (!proc) return out;
    while (const dirent* e = readdir(proc)) {
        const int pid = std::atoi(e->d_name);
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::string(e->d_name) + "/stat");
        std::string line;
        std::getline(stat, line);
        // pid (comm) state ppid ...: the name may hold blanks and parentheses.
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == getpid())
            out.push_back(pid);
    }
    closedir(proc);
    return out;
}

struct Ended {
    int exitcode = -1;
    QJsonObject json;
    QString err;
    double seconds = 0;

    QString text(const char* key) const { return json[QLatin1String(key)].toString(); }
};

QStringList readingof(std::int16_t code, const std::string& device) {
    return {QStringLiteral("--json"),
            QStringLiteral("--port"),
            QStringLiteral("2"),
            QStringLiteral("--type"),
            QString::number(code),
            QStringLiteral("--device"),
            QStringLiteral("2=") + QString::fromStdString(device)};
}

// meterread running on its own while the test acts on the line.
class Reader {
  public:
    // `unprivileged`: run as the user nobody when the test runs as root.
    explicit Reader(const QStringList& args, bool unprivileged = false) {
        if (unprivileged && geteuid() == 0)
            process_.setChildProcessModifier([] {
                if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                    _exit(126);
            });
        timer_.start();
        process_.start(QStringLiteral(METERREAD_PATH), args);
    }
    ~Reader() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    void terminate() { process_.terminate(); }
    // Waits for the end, at most `ms` from now; exitcode -1 when it did not come.
    Ended finish(int ms) {
        Ended r;
        if (!process_.waitForFinished(ms)) return r;
        r.seconds = static_cast<double>(timer_.elapsed()) / 1000.0;
        r.exitcode = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
        r.json = QJsonDocument::fromJson(process_.readAllStandardOutput()).object();
        r.err = QString::fromUtf8(process_.readAllStandardError());
        return r;
    }

  private:
    QProcess process_;
    QElapsedTimer timer_;
};

Ended meterread(const QStringList& args, bool unprivileged = false) {
    return Reader(args, unprivileged).finish(180000);
}

// A simulated meter on the far end of a pseudo-terminal, silent until told to answer.
class Cable {
  public:
    Pty pty;

    Cable() = default;
    // From now on requests are answered by a meter with these registers.
    void answer(std::int16_t code, const sim::Registers& values) {
        std::lock_guard lock(mutex_);
        meter_ = std::make_unique<sim::Meter>(values, sim::Faults{}, code);
    }
    std::size_t received() const { return responder_.received().size(); }

  private:
    Bytes onbytes(const Bytes& sofar) {
        const ByteView fresh = ByteView(sofar).subspan(taken_);
        taken_ = sofar.size();
        std::lock_guard lock(mutex_);
        if (!meter_) return {};
        Bytes out;
        for (const sim::Emission& e : meter_->receive(fresh))
            out.insert(out.end(), e.bytes.begin(), e.bytes.end());
        return out;
    }

    std::mutex mutex_;
    std::unique_ptr<sim::Meter> meter_;
    std::size_t taken_ = 0;
    PtyResponder responder_{pty, [this](const Bytes& sofar) { return onbytes(sofar); }};
};

bool waitfor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms) return false;
        usleep(10000);
    }
    return true;
}

class OsFaults : public ::testing::TestWithParam<std::int16_t> {
  protected:
    void SetUp() override { prctl(PR_SET_CHILD_SUBREAPER, 1); }
    void TearDown() override { EXPECT_EQ(children(), std::vector<int>{}) << "processes left"; }
    std::int16_t code() const { return GetParam(); }

    void expectfailure(const Ended& r, const char* reason) const {
        EXPECT_EQ(r.exitcode, 1) << r.err.toStdString();
        EXPECT_EQ(r.text("end"), QStringLiteral("failure"));
        EXPECT_EQ(r.text("record"), allzero);
        EXPECT_TRUE(r.text("reason").contains(QLatin1String(reason)))
            << r.text("reason").toStdString();
    }
    void expectread(const Ended& r, const sim::Registers& values) const {
        EXPECT_EQ(r.exitcode, 0) << r.err.toStdString();
        EXPECT_EQ(r.text("end"), QStringLiteral("normal"));
        EXPECT_EQ(r.text("record").toStdString(), values.record());
        EXPECT_EQ(r.text("reason"), QString());
    }
};

// Generous for a program that gives up at once, also under the sanitizers.
constexpr double startup = 3.0;

TEST_P(OsFaults, MissingDevice_FailsAtOnce) {
    const Ended r = meterread(readingof(code(), "/dev/meterreader-missing"));
    expectfailure(r, "does not exist");
    EXPECT_LT(r.seconds, startup);
}

TEST_P(OsFaults, PermissionDenied_FailsAtOnceSayingWhy) {
    // Root opens any device, so then the reader runs as nobody on a device only root may use.
    Pty pty;
    ASSERT_EQ(chmod(pty.path().c_str(), geteuid() == 0 ? 0600 : 0), 0);
    const Ended r = meterread(readingof(code(), pty.path()), true);
    expectfailure(r, "permission denied");
    EXPECT_LT(r.seconds, startup);
}

TEST_P(OsFaults, DeviceInUse_IsRefusedAndOpensAgainOnceFree) {
    Cable cable;
    Reader holder(readingof(code(), cable.pty.path()));
    ASSERT_TRUE(waitfor([&] { return cable.received() > 0; }, 5000)) << "the first reader sent";

    const Ended refused = meterread(readingof(code(), cable.pty.path()));
    expectfailure(refused, "in use");
    EXPECT_LT(refused.seconds, startup);

    holder.terminate();
    EXPECT_NE(holder.finish(pollms(code()) + 2000).exitcode, -1) << "a cancelled reading ends";
    cable.answer(code(), registers);
    expectread(meterread(readingof(code(), cable.pty.path())), registers);
}

TEST_P(OsFaults, UnpluggedMidReading_EndsAtTheNextPoll) {
    Pty pty;
    Reader reader(readingof(code(), pty.path()));
    ASSERT_FALSE(pty.read(1, std::chrono::milliseconds(5000)).empty()) << "a request was sent";
    QElapsedTimer unplugged;
    unplugged.start();
    pty.closemaster();
    const Ended r = reader.finish(pollms(code()) + 10000);
    expectfailure(r, "was lost");
    EXPECT_LT(static_cast<double>(unplugged.elapsed()) / 1000.0, pollms(code()) / 1000.0 + 1.5);
}

// The 5400 reading reads and ignores what waits at open by design, so only the other types
// could mistake such bytes for a reply.
class WaitingAtOpen : public OsFaults {};

TEST_P(WaitingAtOpen, BytesWaitingAtOpen_AreNotTakenForAReply) {
    // A reply another meter sent before the port was opened.
    Cable cable;
    cable.pty.write(soak::lastreply(code(), other));
    cable.answer(code(), registers);
    const Ended r = meterread(readingof(code(), cable.pty.path()));
    expectread(r, registers);
}

std::string named(const ::testing::TestParamInfo<std::int16_t>& info) {
    return "type" + std::to_string(info.param);
}
INSTANTIATE_TEST_SUITE_P(, OsFaults, ::testing::Values(11, 12, 13, 21, 22, 31), named);
INSTANTIATE_TEST_SUITE_P(, WaitingAtOpen, ::testing::Values(11, 21, 22, 31), named);

} // namespace
} // namespace meter::testing
