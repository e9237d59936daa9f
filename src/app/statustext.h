#pragma once
// A status bar text that never widens the window: what does not fit is elided at the end, and
// the whole text is in the tooltip.
#include <QLabel>

namespace meter {

class StatusText : public QLabel {
    Q_OBJECT
  public:
    explicit StatusText(QWidget* parent = nullptr);
    void setfull(const QString& text);
    const QString& full() const { return full_; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide();
    QString full_;
};

} // namespace meter
