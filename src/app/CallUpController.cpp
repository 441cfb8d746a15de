#include "CallUpController.h"

#include "Settings.h"

#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <QWindow>

namespace {

// The identifier the hotkey is registered under.
constexpr int HotkeyId = 117;
// How long the records of a closed list are kept for the next opening.
constexpr int KeepRecordsMs = 30000;

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

CallUpController::CallUpController(Settings &settings, const LibraryStore &library, QObject *parent)
    : QObject(parent), m_settings(settings), m_library(library), m_loader(library) {
    connect(&m_loader, &RecordLoader::released, this, [] { platform::current().trimWorkingSet(); });
}

CallUpController::~CallUpController() {
    unregisterHotkey();
}

void CallUpController::registerHotkey() {
    const platform::Result result =
        platform::current().registerHotkey(HotkeyId, m_settings.value(setting::HotkeyKey), [this] {
            // The window in front is recorded before anything of ours can come
            // forward; a window of ours is never a target: the earlier one stays.
            const platform::WindowId front = platform::current().foregroundWindow();
            if (!isOwnWindow(front))
                m_target = front;
            onHotkey();
        });
    m_registered = result.ok;
    if (!result.ok)
        qWarning().noquote() << "call-up hotkey not registered:" << QString::fromStdString(result.error);
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
        emit listCreated(list);
    }
    return list;
}

void CallUpController::onHotkey() {
    const QPoint pointer = QCursor::pos();
    m_byHotkey = true;
    m_templates.noteCallUp();
    QuickListWindow *list = ensureList();
    list->placeAt(pointer);
    list->present();
}

void CallUpController::showFromIcon() {
    m_byHotkey = false;
    m_templates.noteCallUp();
    QuickListWindow *list = ensureList();
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
