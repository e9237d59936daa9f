// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/helpdialogs.h"

#include "app/language.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QMessageBox>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace meter {

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

QString Help::guidefile(Language language) {
    return language == Language::en ? QStringLiteral(":/guide/guide_en.md")
                                    : QStringLiteral(":/guide/guide_zh.md");
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
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("manual"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(Help::tr("meterreader 使用说明"));
    auto* text = new QTextBrowser(dialog);
    text->setOpenExternalLinks(true);
    // The pictures are found beside the guide, in the program's own resources.
    text->setSource(QUrl(QStringLiteral("qrc") + Help::guidefile(windowlanguage())),
                    QTextDocument::MarkdownResource);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog->resize(820, 640);
    dialog->show();
}

} // namespace meter
