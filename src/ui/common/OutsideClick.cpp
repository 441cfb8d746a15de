#include "common/OutsideClick.h"

#include "platform.h"

#include <QCursor>
#include <QWidget>

namespace {
constexpr int CheckEveryMs = 100;
} // namespace

OutsideClickWatch::OutsideClickWatch(QWidget *window, std::function<bool()> armed)
    : QObject(window), m_window(window), m_armed(std::move(armed)) {
    connect(&m_timer, &QTimer::timeout, this, &OutsideClickWatch::check);
}

void OutsideClickWatch::start() {
    m_timer.start(CheckEveryMs);
}

void OutsideClickWatch::check() {
    if (!m_window->isVisible() || !m_armed())
        return;
    if (!platform::current().keyIsDown(platform::vk::LeftButton))
        return;
    const QPoint pos = QCursor::pos();
    // The outer frame, its outermost pixels included.
    const QRect frame = m_window->frameGeometry();
    if (pos.x() >= frame.left() && pos.x() <= frame.left() + frame.width() && pos.y() >= frame.top() &&
        pos.y() <= frame.top() + frame.height())
        return;
    if (m_exempt && m_exempt(pos))
        return;
    emit pressedOutside();
}
