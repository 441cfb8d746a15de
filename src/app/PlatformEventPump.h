// Connects the platform layer to Qt's event loop: events of a backend with a
// display connection of its own, and termination requests of the session.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

class PlatformEventPump : public QObject {
    Q_OBJECT
  public:
    // Watches the current backend's descriptor; onTerminate runs on the UI
    // thread when the session asks the program to end.
    explicit PlatformEventPump(std::function<void()> onTerminate, QObject *parent = nullptr);

  private:
    QSocketNotifier *m_events = nullptr;
    QSocketNotifier *m_termination = nullptr;
    std::function<void()> m_onTerminate;
};
