// A label that acts as a button: clicked when the left button is released
// over it (the quick list's "关闭", "新 增" and "Vemo").
#pragma once

#include <QLabel>
#include <QMouseEvent>

class ClickLabel final : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent *event) override {
        event->accept();
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            emit clicked();
    }
};
