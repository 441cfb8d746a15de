// The notification-area icon: the program lives there instead of showing the
// floating icon window, by choice.
#pragma once

class QPoint;
class QRect;

namespace Tray {

void AddTrayIcon();
void RemoveTrayIcon();
// Add the icon and hide the floating icon window. Falls back to the floating
// icon when the desktop has no notification area.
void MoveToTray();
// Show the floating icon window and remove the notification-area icon.
void ShowFloatingIcon();
// The right-click menu of the notification-area icon.
void ShowTrayMenu();
// Whether the icon is in the notification area now.
bool IsInTray();
// Where the notification-area icon is on the screen (empty when it is not shown).
QRect IconGeometry();

} // namespace Tray
