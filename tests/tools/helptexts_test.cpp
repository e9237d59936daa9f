// SPDX-License-Identifier: GPL-3.0-or-later
// Every program's --help and refusals speak the language chosen, by --lang or by the locale:
// Chinese in Chinese, and in English nothing Chinese but the machine types' own list texts.
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace meter {
namespace {

struct Outcome {
    int exitcode = -1;
    QString out;
};

// The program with `args`, its locale `locale`; stdout and stderr together.
Outcome run(const char* program, QStringList args, const QString& locale) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display either: the window's program answers without one, or says it needs one.
    for (const char* name :
         {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LANG"), locale);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QString::fromUtf8(program), args);
    Outcome r;
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitcode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAll());
    return r;
}

// Chinese that is not one of the machine types' list texts.
bool chinese(QString text) {
    for (const char* listtext : {"5400(4表头)", "5400(5表头)", "高速机"})
        text.remove(QString::fromUtf8(listtext));
    static const QRegularExpression han(
        QStringLiteral("\\p{Han}|[\\x{3000}-\\x{303F}\\x{FF00}-\\x{FFEF}]"));
    return text.contains(han);
}

TEST(ProgramTexts, HelpAndRefusalsInTheChosenLanguage) {
    const struct {
        const char* program;
        QStringList args;
        int exitcode;
    } cases[] = {
        {METERREAD_PATH, {QStringLiteral("--help")}, 0},
        {METERREAD_PATH, {QStringLiteral("--colour")}, 2},
        {METERREAD_PATH, {QStringLiteral("--port")}, 2},
        {METERREAD_PATH, {QStringLiteral("--port"), QStringLiteral("x")}, 2},
        {METERREAD_PATH, {QStringLiteral("--type"), QStringLiteral("Neopost")}, 2},
        {METERREAD_PATH, {QStringLiteral("--check")}, 2},
        {METERSIM_PATH, {QStringLiteral("--help")}, 0},
        {METERSIM_PATH, {QStringLiteral("--colour")}, 2},
        {METERSIM_PATH, {QStringLiteral("--delay")}, 2},
        {METERSIM_PATH, {QStringLiteral("--type"), QStringLiteral("Neopost")}, 2},
        {METERSIM_PATH, {QStringLiteral("--gap"), QStringLiteral("5")}, 2},
        {METERSIM_PATH, {QStringLiteral("--split"), QStringLiteral("0")}, 2},
        {METERSIM_PATH, {QStringLiteral("--settings"), QStringLiteral("9600,n,8,1")}, 2},
        {METERSIM_PATH, {QStringLiteral("--replay"), QStringLiteral("/nonexistent/c.jsonl")}, 2},
        {METERREADER_PATH, {QStringLiteral("--help")}, 0},
        {METERREADER_PATH, {QStringLiteral("--colour")}, 2},
        {METERREADER_PATH, {QStringLiteral("--device")}, 2},
        {METERREADER_PATH, {QStringLiteral("--device"), QStringLiteral("x")}, 2},
        {METERREADER_PATH, {QStringLiteral("--device"), QStringLiteral("9=/dev/null")}, 2},
        // No display to open the window on.
        {METERREADER_PATH, {}, 1},
    };
    // The language by the option, with a locale of the other; then by the locale alone.
    const struct {
        bool zh;
        QStringList lang;
        const char* locale;
    } choices[] = {
        {true, {QStringLiteral("--lang"), QStringLiteral("zh")}, "en_GB.UTF-8"},
        {false, {QStringLiteral("--lang"), QStringLiteral("en")}, "zh_CN.UTF-8"},
        {true, {}, "zh_CN.UTF-8"},
        {false, {}, "en_US.UTF-8"},
    };
    for (const auto& c : cases)
        for (const auto& how : choices) {
            const Outcome r = run(c.program, c.args + how.lang, QString::fromLatin1(how.locale));
            const std::string what = std::string(c.program) + " " +
                                     (c.args + how.lang).join(' ').toStdString() + " in " +
                                     how.locale;
            EXPECT_EQ(r.exitcode, c.exitcode) << what << "\n" << r.out.toStdString();
            EXPECT_FALSE(r.out.isEmpty()) << what;
            EXPECT_EQ(chinese(r.out), how.zh) << what << "\n" << r.out.toStdString();
        }
}

// A --lang that is neither: refused in both languages under a Chinese locale, in English alone
// under an English one.
TEST(ProgramTexts, UnknownLanguageRefusedInBoth) {
    for (const char* program : {METERREAD_PATH, METERSIM_PATH, METERREADER_PATH}) {
        const Outcome zh = run(program, {QStringLiteral("--lang"), QStringLiteral("fr")},
                           QStringLiteral("zh_CN.UTF-8"));
        EXPECT_EQ(zh.exitcode, 2);
        EXPECT_TRUE(chinese(zh.out) && zh.out.contains(QStringLiteral("--lang takes zh or en")))
            << zh.out.toStdString();
        const Outcome en = run(program, {QStringLiteral("--lang"), QStringLiteral("fr")},
                           QStringLiteral("en_US.UTF-8"));
        EXPECT_EQ(en.exitcode, 2);
        EXPECT_FALSE(chinese(en.out)) << en.out.toStdString();
    }
}

} // namespace
} // namespace meter
