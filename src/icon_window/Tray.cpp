#include "icon_window/Tray.h"

#include "UsedCode.h"
#include "icon_window/mMain.h"
#include "platform.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

namespace Tray {

namespace {

QPointer<QSystemTrayIcon> trayIcon;

// The quick list opens when the left button is released on the icon; Qt
// reports the click at the press, so wait for the release (bounded), or the
// list's outside-click check would see the button still held outside it.
void openListOnRelease(int attemptsLeft) {
    if (attemptsLeft > 0 && UsedCode::KeyIsDown(platform::vk::LeftButton)) {
        QTimer::singleShot(20, [attemptsLeft] { openListOnRelease(attemptsLeft - 1); });
        return;
    }
    if (mMain *icon = mMain::instance())
        icon->ShowListForm();
}

} // namespace

void AddTrayIcon() {
    if (!trayIcon) {
        trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/vemo/picture.png")), mMain::instance());
        trayIcon->setToolTip(QStringLiteral("【Vemo文本收集器】单击显示列表，右键退出"));
        QObject::connect(trayIcon, &QSystemTrayIcon::activated, trayIcon,
                         [](QSystemTrayIcon::ActivationReason why) {
                             if (why == QSystemTrayIcon::Trigger)
                                 openListOnRelease(250);
                             else if (why == QSystemTrayIcon::Context)
                                 ShowTrayMenu();
                         });
    }
    trayIcon->show();
}

void RemoveTrayIcon() {
    if (trayIcon) {
        trayIcon->hide();
        delete trayIcon;
    }
}

bool IsInTray() {
    return trayIcon && trayIcon->isVisible();
}

QRect IconGeometry() {
    return IsInTray() ? trayIcon->geometry() : QRect();
}

void MoveToTray() {
    // Without a notification area the program would be invisible and
    // unreachable: it keeps its floating icon instead.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        ShowFloatingIcon();
        return;
    }
    AddTrayIcon();
    if (mMain *icon = mMain::instance())
        icon->hide();
}

void ShowFloatingIcon() {
    if (mMain *icon = mMain::instance()) {
        icon->show();
        icon->raise();
    }
    RemoveTrayIcon();
}

void ShowTrayMenu() {
    if (mMain *icon = mMain::instance())
        icon->requestTrayMenu();
}

} // namespace Tray
