// Tells a popup window that the left button went down outside it: the system
// tells no window about presses on other programs' windows, so the button is
// looked at every 100 ms while the window is shown and the watch is armed.
#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <functional>

class QWidget;

class OutsideClickWatch : public QObject {
    Q_OBJECT
  public:
    // `armed` says whether a press outside counts right now.
    OutsideClickWatch(QWidget *window, std::function<bool()> armed);

    // Presses where the test holds (the program's own icons, say) are no
    // presses outside.
    void setExempt(std::function<bool(const QPoint &)> test) { m_exempt = std::move(test); }
    void start();
    void stop() { m_timer.stop(); }

  signals:
    void pressedOutside();

  private:
    void check();

    QWidget *m_window;
    std::function<bool()> m_armed;
    std::function<bool(const QPoint &)> m_exempt;
    QTimer m_timer;
};
