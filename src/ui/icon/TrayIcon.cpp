#include "icon/TrayIcon.h"

#include "platform.h"

#include <QCursor>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>

TrayIcon::TrayIcon(QObject *parent) : QObject(parent) {}

TrayIcon::~TrayIcon() {
    delete m_icon;
}

bool TrayIcon::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show() {
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(QIcon(QStringLiteral(":/vemo/picture.png")));
        m_icon->setToolTip(QStringLiteral("【Vemo文本收集器】单击显示列表，右键退出"));
        connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
            if (why == QSystemTrayIcon::Trigger)
                emitClickOnRelease(250);
            else if (why == QSystemTrayIcon::Context)
                emit menuRequested(QCursor::pos());
        });
    }
    m_icon->show();
}

void TrayIcon::hide() {
    // Gone from the notification area, not only hidden: no stale icon stays.
    delete m_icon;
    m_icon = nullptr;
}

bool TrayIcon::isShown() const {
    return m_icon && m_icon->isVisible();
}

QRect TrayIcon::geometry() const {
    return isShown() ? m_icon->geometry() : QRect();
}

// The quick list opens when the left button is released on the icon; Qt
// reports the click at the press, so wait for the release (bounded), or the
// list's outside-click check would see the button still held outside it.
void TrayIcon::emitClickOnRelease(int attemptsLeft) {
    if (attemptsLeft > 0 && platform::current().keyIsDown(platform::vk::LeftButton)) {
        QTimer::singleShot(20, this, [this, attemptsLeft] { emitClickOnRelease(attemptsLeft - 1); });
        return;
    }
    emit clicked();
}
