// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/statustext.h"

#include <QFontMetrics>
#include <QStringList>
#include <QTextLayout>

#include <algorithm>

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

void StatusText::setmaxlines(int lines) {
    maxlines_ = std::max(1, lines);
    elide();
    updateGeometry();
}

void StatusText::elide() {
    const QString line = oneline();
    const int width = contentsRect().width();
    QStringList shown;
    bool cut = false;
    // The last line shown: the rest of the text, cut where it does not fit.
    const auto last = [&](const QString& rest) {
        shown << fontMetrics().elidedText(rest, mode_, width);
        cut = shown.last() != rest;
    };
    if (maxlines_ > 1 && width > 0 && fontMetrics().horizontalAdvance(line) > width) {
        // Wrapped where a line can break (anywhere in a run of Chinese), the last line cut.
        QTextLayout layout(line, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (int i = 0; i < maxlines_; ++i) {
            QTextLine l = layout.createLine();
            if (!l.isValid()) break;
            l.setLineWidth(width);
            const QString rest = line.mid(l.textStart());
            if (i == maxlines_ - 1 || l.textStart() + l.textLength() >= line.size()) {
                last(rest);
                break;
            }
            shown << line.mid(l.textStart(), l.textLength()).trimmed();
        }
        layout.endLayout();
    } else {
        last(line);
    }
    const QString text = shown.join(QLatin1Char('\n'));
    if (text != this->text()) {
        setText(text);
        // A line more or less changes the height the bar needs.
        updateGeometry();
    }
    setToolTip(cut ? full_ : QString());
}

} // namespace meter
