// The call-up flow: the global hotkey (Ctrl plus the chosen key) opens the
// quick list at the pointer and records the window that was in front, the
// target; an opening from an icon puts the list at the right screen edge.
// When the list hands an entry over, the text goes onto the clipboard and,
// after a hotkey opening, into the target by the paste keystroke. The records
// a closed list read stay in memory for a while for the next opening; then
// they go and the working set is trimmed.
#pragma once

#include "Paste.h"
#include "RecordLoader.h"
#include "TemplatePaste.h"
#include "common/WindowSlot.h"
#include "platform.h"
#include "quick_list/QuickListWindow.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class LibraryStore;
class Settings;

class CallUpController : public QObject {
    Q_OBJECT
  public:
    CallUpController(Settings &settings, const LibraryStore &library, QObject *parent = nullptr);
    ~CallUpController() override;

    // Registers Ctrl + the stored key. A combination held by another program
    // leaves the program running without the hotkey; the answer is then the
    // notice the user reads (empty when registered, and in a session that has
    // no global hotkeys at all).
    QString registerHotkey();
    void unregisterHotkey();

    // What a hotkey press does: record the target, open the list at the pointer.
    void onHotkey();
    // Opens the list at the right screen edge; no paste follows.
    void showFromIcon();
    // The list if it is open, else nullptr; and its closing.
    QuickListWindow *list() const { return m_list.peek(); }
    void closeList() { m_list.close(); }

    // The window the next paste goes to (0: none), and whether the list was
    // opened by the hotkey.
    platform::WindowId target() const { return m_target; }
    bool openedByHotkey() const { return m_byHotkey; }

    // Fills the fields of an executed entry's text around the paste.
    TemplatePaste &templates() { return m_templates; }

    // Tells whether a screen position lies on one of the program's icons.
    void setOwnIconTest(std::function<bool(const QPoint &)> test) { m_isOwnIcon = std::move(test); }
    // The team library whose records the list shows after the member's own.
    void setTeam(TeamLibrary *team) { m_loader.setTeam(team); }

  signals:
    // A new list was made: the program wires its requests.
    void listCreated(QuickListWindow *list);

  private:
    QuickListWindow *ensureList();
    void openAtPointer();
    // The target for a call-up with this window in front: another program's
    // window; the target kept when it is the list of the same call-up; a
    // window of ours that takes text; none for other windows of ours.
    platform::WindowId targetFor(platform::WindowId front) const;
    void paste(const QString &text);
    // Hands the keys held since the hotkey to the list once it has the focus.
    void handOverKeys();

    Settings &m_settings;
    const LibraryStore &m_library;
    WindowSlot<QuickListWindow> m_list;
    // Reads the library for the lists and keeps it a while after one closes.
    RecordLoader m_loader;
    PasteRuleReader m_pasteRules{m_settings};
    TemplatePaste m_templates{m_settings, m_pasteRules};
    std::function<bool(const QPoint &)> m_isOwnIcon;
    platform::WindowId m_target = 0;
    QPoint m_pointer;
    QTimer m_handOver;
    QElapsedTimer m_handOverClock;
    bool m_activationAsked = false;
    std::uint64_t m_calledUpAt = 0;
    bool m_byHotkey = false;
    bool m_registered = false;
};
