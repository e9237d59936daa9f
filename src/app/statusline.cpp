// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/statusline.h"

#include "app/statustext.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>

#include <algorithm>

namespace meter {

StatusLine::StatusLine(QStatusBar* bar, int devicewidth)
    : bar_(bar), icon_(new QLabel(bar)), text_(new StatusText(Qt::ElideRight, bar)),
      progressbar_(new QProgressBar(bar)), device_(new StatusText(Qt::ElideMiddle, bar)),
      mode_(new QLabel(bar)) {
    icon_->setObjectName(QStringLiteral("statusicon"));
    text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    text_->setObjectName(QStringLiteral("status"));
    // A failure with its cause (a journal not written) wraps rather than losing its end.
    text_->setmaxlines(3);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progressbar_->setObjectName(QStringLiteral("progress"));
    progressbar_->setMaximumWidth(120);
    progressbar_->setTextVisible(false);
    progressbar_->hide();
    device_->setObjectName(QStringLiteral("device"));
    device_->setMaximumWidth(devicewidth);
    bar->addWidget(icon_);
    bar->addWidget(text_, 1);
    mode_->setObjectName(QStringLiteral("mode"));
    mode_->hide();
    bar->addPermanentWidget(mode_);
    bar->addPermanentWidget(progressbar_);
    bar->addPermanentWidget(device_);
    bar->setSizeGripEnabled(false);
    icon_->hide();
}

void StatusLine::say(const QString& text, Look look) {
    text_->setfull(text);
    QPalette p = bar_->palette();
    if (look != Look::plain) p.setColor(QPalette::WindowText, QColor(0xC0, 0x00, 0x00));
    text_->setPalette(p);
    if (look == Look::plain) {
        icon_->hide();
        return;
    }
    QStyle* style = bar_->style();
    const int size = style->pixelMetric(QStyle::PM_SmallIconSize, nullptr, bar_);
    icon_->setPixmap(style
                         ->standardIcon(look == Look::failure ? QStyle::SP_MessageBoxCritical
                                                              : QStyle::SP_MessageBoxWarning)
                         .pixmap(size, size));
    icon_->show();
}

QString StatusLine::full() const {
    return text_->full();
}

void StatusLine::showprogress(std::int64_t waitedms, std::int64_t limitms) {
    if (limitms > 0) {
        progressbar_->setRange(0, static_cast<int>(limitms));
        progressbar_->setValue(static_cast<int>(std::min(waitedms, limitms)));
    } else {
        progressbar_->setRange(0, 0); // no bound known: busy
    }
    progressbar_->show();
}

void StatusLine::hideprogress() {
    progressbar_->hide();
}

void StatusLine::showdevice(const QString& text) {
    device_->setfull(text);
}

void StatusLine::showmode(const QString& text) {
    mode_->setText(text);
    mode_->setVisible(!text.isEmpty());
}

QString StatusLine::mode() const {
    return mode_->isVisible() ? mode_->text() : QString();
}

} // namespace meter
