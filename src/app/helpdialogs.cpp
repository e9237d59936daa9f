// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/helpdialogs.h"

#include "frontend/installpaths.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace meter {

namespace {
// More than any guide of ours; a larger file is not read whole.
constexpr qint64 largestguide = 4 * 1024 * 1024;
} // namespace

QString Help::abouttext(const QString& settingsfile, const QString& journalfile) {
    return tr("meterreader %1\n"
              "读取邮资表的计数器：总邮资、已用邮资、未用邮资、总件数和表头号。\n\n"
              "本程序是自由软件，依照 GNU 通用公共许可证第 3 版或（由你选择）任何更新的版本"
              "（GPL-3.0-or-later）发布，不提供任何担保。许可证全文见程序附带的 LICENSE。\n\n"
              "设置文件：%2\n"
              "日志文件：%3")
        .arg(QStringLiteral(METERREADER_VERSION), QDir::toNativeSeparators(settingsfile),
             QDir::toNativeSeparators(journalfile));
}

QStringList Help::manualcandidates() {
    QStringList out;
    for (const std::string& path : documentcandidates("README.md"))
        out << QString::fromStdString(path);
    return out;
}

QString Help::manualfile() {
    for (const QString& path : manualcandidates())
        if (QFileInfo(path).isFile()) return path;
    return {};
}

QString Help::manualtext(const QString& file, const QStringList& tried) {
    QFile in(file);
    if (!file.isEmpty() && in.open(QIODevice::ReadOnly))
        return QString::fromUtf8(in.read(largestguide));
    QStringList places;
    for (const QString& path : tried)
        places << QStringLiteral("- `%1`").arg(QDir::toNativeSeparators(path));
    QString text = tr("# 没有找到使用说明\n\n使用说明（README.md）不在以下位置：\n\n%1\n")
                       .arg(places.join(QLatin1Char('\n')));
#ifndef Q_OS_WIN
    text += tr("\n在终端里，`man meterreader` 和 `man meterread` 给出程序的说明。\n");
#endif
    return text;
}

void showabout(QWidget* parent, const QString& settingsfile, const QString& journalfile) {
    QMessageBox box(QMessageBox::Information, Help::tr("关于 meterreader"),
                    Help::abouttext(settingsfile, journalfile), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("about"));
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

void showmanual(QWidget* parent) {
    const QString file = Help::manualfile();
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("manual"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(Help::tr("meterreader 使用说明"));
    auto* text = new QTextBrowser(dialog);
    text->setOpenExternalLinks(true);
    // Pictures and links of the guide are found beside it.
    if (!file.isEmpty()) text->setSearchPaths({QFileInfo(file).absolutePath()});
    text->setMarkdown(Help::manualtext(file, Help::manualcandidates()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog->resize(820, 640);
    dialog->show();
}

} // namespace meter
