#include "PlatformEventPump.h"

#include "platform.h"

#include <QSocketNotifier>

PlatformEventPump::PlatformEventPump(std::function<void()> onTerminate, QObject *parent)
    : QObject(parent), m_onTerminate(std::move(onTerminate)) {
    const int fd = platform::current().eventFd();
    if (fd >= 0) {
        m_events = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_events, &QSocketNotifier::activated, this, [] { platform::current().dispatchEvents(); });
        // Events the backend buffered before the notifier existed.
        platform::current().dispatchEvents();
    }
    const int term = platform::terminationFd();
    if (term >= 0) {
        m_termination = new QSocketNotifier(term, QSocketNotifier::Read, this);
        connect(m_termination, &QSocketNotifier::activated, this, [this] {
            m_termination->setEnabled(false);
            if (m_onTerminate)
                m_onTerminate();
        });
    }
}
