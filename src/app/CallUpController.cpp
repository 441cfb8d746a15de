#include "CallUpController.h"

#include "Settings.h"

#include <QApplication>
#include <QCursor>
#include <QDebug>
#include <QTimer>
#include <QWidget>

namespace {

// The identifier the hotkey is registered under.
constexpr int HotkeyId = 117;
// How long the records of a closed list are kept for the next opening.
constexpr int KeepRecordsMs = 30000;
// The keys typed after the hotkey are handed to the list once it has the
// focus (looked at this often), or after this long at the latest.
constexpr int HandOverCheckMs = 5;
constexpr int HandOverLimitMs = 1000;
// A list not yet active this long after the hotkey is activated by the platform.
constexpr int AskActivationMs = 100;

// The program's own top-level window the id names; nullptr for another
// program's window.
QWidget *ownWindow(platform::WindowId id) {
    if (id == 0)
        return nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->internalWinId() && platform::WindowId(window->internalWinId()) == id)
            return window;
    return nullptr;
}

// Whether the window's keyboard focus is on a field that takes text.
bool takesText(const QWidget *window) {
    const QWidget *focus = window->focusWidget();
    return focus && focus->isEnabled() && focus->testAttribute(Qt::WA_InputMethodEnabled);
}

} // namespace

CallUpController::CallUpController(Settings &settings, const LibraryStore &library, QObject *parent)
    : QObject(parent), m_settings(settings), m_library(library), m_loader(library) {
    m_handOver.setInterval(HandOverCheckMs);
    connect(&m_handOver, &QTimer::timeout, this, &CallUpController::handOverKeys);
    connect(&m_loader, &RecordLoader::released, this, [] { platform::current().trimWorkingSet(); });
}

CallUpController::~CallUpController() {
    if (m_handOver.isActive())
        platform::current().releaseKeyboard();
    unregisterHotkey();
}

QString CallUpController::registerHotkey() {
    const platform::Result result =
        platform::current().registerHotkey(HotkeyId, m_settings.value(setting::HotkeyKey), [this] {
            // The window in front is recorded before anything of ours can come
            // forward.
            m_target = targetFor(platform::current().foregroundWindow());
            onHotkey();
        });
    m_registered = result.ok;
    if (result.ok)
        return {};
    const QString why = QString::fromStdString(result.error);
    qWarning().noquote() << "call-up hotkey not registered:" << why;
    // A session without global hotkeys at all (no X11) is no news at every start.
    if (!platform::current().available())
        return {};
    return QStringLiteral("无法注册呼出快捷键：") + why +
           QStringLiteral("。\r\n单击图标仍可打开文本列表。\r\n可在“设置”里另选快捷键，重启后生效。");
}

void CallUpController::unregisterHotkey() {
    if (!m_registered)
        return;
    platform::current().unregisterHotkey(HotkeyId);
    m_registered = false;
}

QuickListWindow *CallUpController::ensureList() {
    bool created = false;
    QuickListWindow *list = m_list.get([&] {
        created = true;
        return new QuickListWindow(m_settings, m_library, m_loader);
    });
    if (created) {
        // Queued: the slot forgets the list only once it is fully gone.
        connect(
            list, &QObject::destroyed, this,
            [this] {
                if (!m_list.peek())
                    m_loader.releaseLater(KeepRecordsMs);
            },
            Qt::QueuedConnection);
        list->setOwnIconTest([this](const QPoint &pos) { return m_isOwnIcon && m_isOwnIcon(pos); });
        connect(list, &QuickListWindow::entryChosen, this, &CallUpController::paste);
        // An Esc the user pressed before the hotkey closed the list after the
        // call-up had shown it: the call-up comes after it, as it was pressed.
        connect(list, &QuickListWindow::closedBeforeCallUp, this,
                [this] { QTimer::singleShot(0, this, &CallUpController::openAtPointer); });
        emit listCreated(list);
    }
    return list;
}

platform::WindowId CallUpController::targetFor(platform::WindowId front) const {
    QWidget *own = ownWindow(front);
    if (!own)
        return front;
    // The list of the same call-up, pressed again: the target stays.
    if (own == m_list.peek())
        return m_byHotkey ? m_target : 0;
    // Another window of ours in front (the record editor, say) is where the
    // user types: the text goes there, never into a program used before.
    return takesText(own) ? front : 0;
}

void CallUpController::onHotkey() {
    m_pointer = QCursor::pos();
    m_calledUpAt = platform::current().lastHotkeyTime();
    // The keys typed from now on wait until the list has the focus, however
    // long it takes to come up: none lands in the window before it.
    platform::current().holdKeyboard();
    m_activationAsked = false;
    openAtPointer();
    m_handOverClock.start();
    m_handOver.start();
}

void CallUpController::handOverKeys() {
    QuickListWindow *list = m_list.peek();
    if (list && !list->isActiveWindow() && m_handOverClock.elapsed() < HandOverLimitMs) {
        // A window manager that keeps the focus where the user last typed
        // (its focus-stealing prevention sees our toolkit's older user time:
        // the hotkey came past it) is asked once more, on the user's behalf.
        if (!m_activationAsked && m_handOverClock.elapsed() >= AskActivationMs) {
            m_activationAsked = true;
            platform::current().activateWindow(platform::WindowId(list->winId()), 0);
        }
        return;
    }
    m_handOver.stop();
    platform::current().releaseKeyboard();
}

void CallUpController::openAtPointer() {
    m_byHotkey = true;
    m_templates.noteCallUp();
    QuickListWindow *list = ensureList();
    list->setCalledUpAt(m_calledUpAt);
    list->placeAt(m_pointer);
    list->present();
}

void CallUpController::showFromIcon() {
    m_byHotkey = false;
    m_calledUpAt = 0;
    m_templates.noteCallUp();
    QuickListWindow *list = ensureList();
    list->setCalledUpAt(0);
    // A list already shown moves back to its place and keeps its rows.
    list->placeAtRightEdge();
    list->present();
}

void CallUpController::paste(const QString &text) {
    const platform::WindowId target = m_byHotkey ? m_target : 0;
    m_templates.paste(text, target, [this, target](const QString &expanded) {
        return pasteIntoTarget(expanded, target, m_pasteRules);
    });
}
