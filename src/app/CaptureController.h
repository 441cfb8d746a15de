// The capture flow: every road into the record editor. A double-click on the
// icon and a text dropped on it, holding Ctrl+C for about half a second in
// any program, the quick list's "新 增" and the main menu's "添加新内容"
// propose a text; the list menu's "修改内容" opens a stored record. Nothing
// is stored until the user presses the editor's button.
#pragma once

#include "Record.h"
#include "common/WindowSlot.h"
#include "editor/RecordEditor.h"

#include <QObject>
#include <QTimer>

class CallUpController;
class LibraryStore;
class Settings;

class CaptureController : public QObject {
    Q_OBJECT
  public:
    // New texts open beside `anchor` (the floating icon, hidden or not).
    CaptureController(Settings &settings, const LibraryStore &library, CallUpController &callUp,
                      const QWidget *anchor, QObject *parent = nullptr);

    // The clipboard's text, as exact as the system gives it.
    static QString clipboardText();

    // The editor in add mode for a text, beside the icon.
    void propose(const QString &text);
    // The icon's double-click: the clipboard text when the setting asks for
    // it and there is one. True when the editor opened.
    bool proposeFromDoubleClick();
    // "新 增" and a held Ctrl+C: the list closes, the clipboard text is proposed.
    void proposeClipboard();
    // A stored record in edit mode, beside the quick list, which keeps still
    // while the editor is open.
    void edit(const Record &record);
    // The same for a record of the team library, which 更新 stores on the server.
    void editTeam(TeamLibrary &team, const TeamRecord &record);

    // The held-Ctrl+C watch runs from here on, while the setting is on
    // (start-up calls it once the program knows it is the only copy).
    void startWatching();

    RecordEditor *editor() const { return m_editor.peek(); }

  private:
    RecordEditor *ensureEditor();
    // Stands the editor beside the list, which keeps still while the editor is open.
    void placeBesideList(RecordEditor *editor);
    // The held-Ctrl+C watch, every 100 ms while the setting is on.
    void watchTick();
    void followSettings();

    Settings &m_settings;
    const LibraryStore &m_library;
    CallUpController &m_callUp;
    const QWidget *m_anchor;
    WindowSlot<RecordEditor> m_editor;
    QTimer m_watch;
    int m_heldTicks = 0;
    bool m_watching = false;
};
