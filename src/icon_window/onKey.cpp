#include "icon_window/onKey.h"

#include "FMain.h"
#include "Forms.h"
#include "Twips.h"
#include "UsedCode.h"
#include "platform.h"
#include "quick_list/FavList.h"
#include "settings/Settings.h"

#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <QWindow>

namespace onKey {

namespace {
bool registered = false;
platform::WindowId lastTarget = 0;

// Whether the id names one of this program's own windows (the quick list
// itself, when the hotkey is pressed again while it is in front).
bool isOwnWindow(platform::WindowId id) {
    if (id == 0)
        return false;
    for (const QWindow *window : QGuiApplication::topLevelWindows())
        if (window->handle() && platform::WindowId(window->winId()) == id)
            return true;
    return false;
}
} // namespace

void RegisterCallUpHotkey() {
    const int key = GetSet(settings::keys::HotkeyValue, 69).toDouble();
    const platform::Result result = platform::current().registerHotkey(HotkeyId, key, [] {
        // The window in front is recorded before anything of ours can come
        // forward; a window of ours is never a target: the earlier one stays.
        const platform::WindowId front = platform::current().foregroundWindow();
        if (!isOwnWindow(front))
            lastTarget = front;
        OnCallUpHotkey();
    });
    registered = result.ok;
    if (!result.ok)
        qWarning().noquote() << "call-up hotkey not registered:" << QString::fromStdString(result.error);
}

void UnregisterCallUpHotkey() {
    if (!registered)
        return;
    platform::current().unregisterHotkey(HotkeyId);
    registered = false;
}

bool IsRegistered() {
    return registered;
}

void OnCallUpHotkey() {
    TargetWindowSlot = QString::number(lastTarget);
    const QPoint pointer = QCursor::pos();
    FMain::CallUpMode = FMain::ModeHotkey;
    FavList *list = Forms::Form<FavList>::get();
    if (list->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        return;
    twips::move(list, twips::fromPx(pointer.x()), twips::fromPx(pointer.y()));
    UsedCode::KeepFormOnScreen(list);
    list->show();
    list->raise();
    list->activateWindow();
}

} // namespace onKey
