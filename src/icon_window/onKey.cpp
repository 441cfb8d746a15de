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

namespace onKey {

namespace {
bool registered = false;
platform::WindowId lastTarget = 0;
} // namespace

void RegisterCallUpHotkey() {
    const int key = GetSet(settings::keys::HotkeyValue, 69).toDouble();
    const platform::Result result = platform::current().registerHotkey(HotkeyId, key, [] {
        // The window in front is recorded before anything of ours can come forward.
        lastTarget = platform::current().foregroundWindow();
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
