// The program's life: start-up (one copy per user, the library beside the
// program, the hotkey, the icon or the tray, the system entries), the wiring
// of the windows' requests to the two flows, and the orderly end. The only
// place that knows every window.
#pragma once

#include "CallUpController.h"
#include "CaptureController.h"
#include "LibraryStore.h"
#include "Settings.h"
#include "SingleInstance.h"
#include "TeamLibrary.h"
#include "about/AboutWindow.h"
#include "common/WindowSlot.h"
#include "icon/IconWindow.h"
#include "icon/MainMenu.h"
#include "icon/TrayIcon.h"
#include "settings/SettingsWindow.h"

#include <QObject>
#include <functional>
#include <memory>

class PlatformEventPump;

class Application : public QObject {
    Q_OBJECT
  public:
    // The library is the file VBCode.mdb in `programFolder`.
    explicit Application(const QString &programFolder, QObject *parent = nullptr);
    ~Application() override;

    // False when another copy runs: the notice has been shown and the
    // caller ends the process. Such a copy started nothing (no hotkey, no
    // Ctrl+C watch, no icon) and writes nothing when it goes.
    bool start();
    // The orderly end: the hotkey is released, every window closes (and
    // writes its settings), the tray icon goes, the lock is released, and the
    // event loop ends. A second request while ending is ignored.
    void exit();

    // Lives in the notification area instead of showing the icon, or the
    // reverse; the choice is kept for the next start.
    void moveToTray();
    void showFloatingIcon();

    Settings &settings() { return m_settings; }
    const LibraryStore &library() const { return m_library; }
    IconWindow &iconWindow() { return m_icon; }
    TrayIcon &trayIcon() { return m_tray; }
    MainMenu &mainMenu() { return m_menu; }
    CallUpController &callUp() { return m_callUp; }
    CaptureController &capture() { return m_capture; }
    TeamLibrary &team() { return m_team; }
    SettingsWindow *settingsWindow() const { return m_settingsWindow.peek(); }
    AboutWindow *aboutWindow() const { return m_aboutWindow.peek(); }

  private:
    void wire();
    void iconClicked();
    void showSettings();
    void showAbout();
    void exchangeLibrary(const std::function<void()> &work);
    bool isOnOwnIcon(const QPoint &pos) const;

    SingleInstance m_instance;
    Settings m_settings;
    LibraryStore m_library;
    // Followed from start-up on, whenever "团队文本库" names a server.
    TeamLibrary m_team;
    IconWindow m_icon;
    TrayIcon m_tray;
    MainMenu m_menu;
    CallUpController m_callUp;
    CaptureController m_capture;
    WindowSlot<SettingsWindow> m_settingsWindow;
    WindowSlot<AboutWindow> m_aboutWindow;
    std::unique_ptr<PlatformEventPump> m_events;
    bool m_started = false; // past the single-instance lock
    bool m_exiting = false;
};
