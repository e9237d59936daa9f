// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A status bar text that never widens the window: what does not fit on its lines is elided at
// the end, and the whole text is in the tooltip.
#include <QLabel>

namespace meter {

class StatusText : public QLabel {
    Q_OBJECT
  public:
    // `mode`: where the text is cut, at its end (a reason) or in its middle (a device path,
    // whose end says most).
    explicit StatusText(Qt::TextElideMode mode = Qt::ElideRight, QWidget* parent = nullptr);
    void setfull(const QString& text);
    // A text too long for one line wraps onto at most `lines` (1 by default) before it is cut.
    void setmaxlines(int lines);
    const QString& full() const { return full_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide();
    QString oneline() const;
    Qt::TextElideMode mode_;
    int maxlines_ = 1;
    QString full_;
};

} // namespace meter
