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

namespace {

// How much of `text` fits on a line `width` wide, broken where a line may break (anywhere in a
// run of Chinese); at least one character.
qsizetype firstline(const QString& text, const QFont& font, int width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    qsizetype length = 1;
    if (line.isValid()) {
        line.setLineWidth(width);
        length = std::max<qsizetype>(1, line.textLength());
    }
    layout.endLayout();
    return length;
}

} // namespace

void StatusText::elide() {
    const int width = contentsRect().width();
    QStringList shown;
    bool cut = false;
    QString rest = oneline();
    for (;;) {
        if (static_cast<int>(shown.size()) >= maxlines_ - 1 || width <= 0 ||
            fontMetrics().horizontalAdvance(rest) <= width) {
            // The last line shown: the rest of the text, cut where it does not fit.
            shown << fontMetrics().elidedText(rest, mode_, width);
            cut = shown.last() != rest;
            break;
        }
        qsizetype end = firstline(rest, font(), width);
        // A clause ends a line rather than a word cut at the width: "…；" then "停止：…".
        for (const QString& clause : {QStringLiteral("；"), QStringLiteral("; ")}) {
            const qsizetype at = rest.lastIndexOf(clause, end - 1);
            if (at >= end / 2 && at + clause.size() <= end) {
                end = at + clause.size();
                break;
            }
        }
        shown << rest.left(end).trimmed();
        rest = rest.mid(end).trimmed();
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
