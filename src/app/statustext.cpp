// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/statustext.h"

#include <QFontMetrics>

namespace meter {

StatusText::StatusText(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {
    setTextFormat(Qt::PlainText);
}

void StatusText::setfull(const QString& text) {
    full_ = text;
    elide();
    updateGeometry();
}

QSize StatusText::sizeHint() const {
    const int margins = contentsMargins().left() + contentsMargins().right() + 2 * margin();
    return {fontMetrics().horizontalAdvance(oneline()) + margins + 2, QLabel::sizeHint().height()};
}

QString StatusText::oneline() const {
    // One line: a reason with a line break from the vendor library shows its first part.
    QString line = full_;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

void StatusText::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void StatusText::elide() {
    const QString shown = fontMetrics().elidedText(oneline(), mode_, contentsRect().width());
    setText(shown);
    setToolTip(shown == full_ ? QString() : full_);
}

} // namespace meter
