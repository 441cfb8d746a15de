#include "Application.h"

#include "LibrarySchema.h"
#include "PlatformEventPump.h"
#include "Program.h"
#include "SystemEntries.h"
#include "TeamCache.h"
#include "common/MessageBoxes.h"
#include "exchange/ExchangeDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

Application::Application(const QString &programFolder, QObject *parent)
    : QObject(parent), m_library(QDir(programFolder).filePath(QString::fromLatin1(librarySchema::FileName))),
      m_team(team::defaultCachePath()), m_icon(m_settings), m_callUp(m_settings, m_library),
      m_capture(m_settings, m_library, m_callUp, &m_icon) {
    wire();
}

Application::~Application() {
    exit();
}

bool Application::start() {
    switch (m_instance.take()) {
    case SingleInstance::Outcome::Taken:
        break;
    case SingleInstance::Outcome::HeldByAnother:
        messages::tip(
            nullptr,
            QStringLiteral("系统已经在运行!如果在任务栏无法看到，请在任务管理器里强行结束，然后再次运行。"));
        return false;
    case SingleInstance::Outcome::Unavailable:
        qWarning("no folder can hold the single-instance lock; running without it");
        break;
    }
    m_started = true;
    m_icon.restorePlace();
    QStringList notices;
    const QString hotkeyFailure = m_callUp.registerHotkey();
    if (!hotkeyFailure.isEmpty())
        notices << hotkeyFailure;
    m_capture.startWatching();
    // The team library is reached on its own thread: start-up does not wait for it.
    m_team.follow(m_settings.value(setting::TeamLibrary));
    // A session that ends the program (SIGTERM, logout) gets the same orderly end.
    m_events = std::make_unique<PlatformEventPump>([this] { exit(); });
    if (m_settings.value(setting::ShowInTray))
        moveToTray();
    else
        m_icon.show();
    // An entry that cannot be written again is not kept as if it were there:
    // the setting goes off and the notice says why.
    if (m_settings.value(setting::StartWithSystem)) {
        if (const QString failure = systementries::addStartWithSystem(); !failure.isEmpty()) {
            m_settings.setValue(setting::StartWithSystem, false);
            notices << failure;
        }
    }
    if (m_settings.value(setting::Shortcuts)) {
        if (const QString failure = systementries::makeShortcuts(); !failure.isEmpty()) {
            m_settings.setValue(setting::Shortcuts, false);
            notices << failure;
        }
    }
    // Shown once the program is up: a user started from a launcher sees no
    // terminal, and the icon is there before the first box.
    if (!notices.isEmpty())
        QTimer::singleShot(0, this, [notices] {
            for (const QString &notice : notices)
                messages::tip(nullptr, notice);
        });
    return true;
}

void Application::wire() {
    connect(&m_icon, &IconWindow::clicked, this, &Application::iconClicked);
    connect(&m_icon, &IconWindow::doubleClicked, this, [this] {
        // The editor takes the place of the notice its first click scheduled;
        // a double-click that opens nothing leaves the notice to come.
        if (m_capture.proposeFromDoubleClick())
            m_icon.cancelHelpNotice();
    });
    connect(&m_icon, &IconWindow::textDropped, &m_capture, &CaptureController::propose);
    connect(&m_icon, &IconWindow::menuRequested, this,
            [this](const QPoint &pos) { m_menu.popupFor(MainMenu::Caller::Icon, pos); });
    connect(&m_tray, &TrayIcon::clicked, &m_callUp, &CallUpController::showFromIcon);
    connect(&m_tray, &TrayIcon::menuRequested, this,
            [this](const QPoint &pos) { m_menu.popupFor(MainMenu::Caller::Tray, pos); });

    connect(m_menu.addText, &QAction::triggered, this,
            [this] { m_capture.propose(CaptureController::clipboardText()); });
    connect(m_menu.showIcon, &QAction::triggered, this, &Application::showFloatingIcon);
    connect(m_menu.moveToTray, &QAction::triggered, this, &Application::moveToTray);
    connect(m_menu.openSettings, &QAction::triggered, this, &Application::showSettings);
    connect(m_menu.exportLibrary, &QAction::triggered, this,
            [this] { exchangeLibrary([this] { exchangedialogs::exportLibrary(nullptr, m_library); }); });
    connect(m_menu.importLibrary, &QAction::triggered, this, [this] {
        exchangeLibrary([this] {
            // An open list shows what the library holds now.
            if (!exchangedialogs::importLibrary(nullptr, m_library))
                return;
            if (QuickListWindow *list = m_callUp.list())
                list->libraryChanged();
        });
    });
    connect(m_menu.openAbout, &QAction::triggered, this, &Application::showAbout);
    connect(m_menu.exitProgram, &QAction::triggered, this, &Application::exit);

    m_callUp.setOwnIconTest([this](const QPoint &pos) { return isOnOwnIcon(pos); });
    m_callUp.setTeam(&m_team);
    connect(&m_settings, &Settings::changed, this, [this](const QString &key) {
        if (m_started && key == setting::TeamLibrary.key())
            m_team.follow(m_settings.value(setting::TeamLibrary));
    });
    connect(&m_callUp, &CallUpController::listCreated, this, [this](QuickListWindow *list) {
        connect(list, &QuickListWindow::addRequested, &m_capture, &CaptureController::proposeClipboard);
        connect(list, &QuickListWindow::editRequested, &m_capture, &CaptureController::edit);
        connect(list, &QuickListWindow::editTeamRequested, this,
                [this](const TeamRecord &record) { m_capture.editTeam(m_team, record); });
        connect(list, &QuickListWindow::aboutRequested, list, [this, list] {
            showAbout();
            // The list keeps still while the About window is open.
            connect(m_aboutWindow.peek(), &QObject::destroyed, list, [hold = list->keepOpen()] {});
        });
    });
}

void Application::iconClicked() {
    const auto any = m_library.hasAnyRecord();
    // The team's records are worth a list too, whatever the own library holds.
    if ((any && any.value()) || m_team.size() > 0)
        m_callUp.showFromIcon();
    else if (!any)
        // A library that cannot be read is not an empty one: say why, after
        // the double-click time, so that a double-click still opens the
        // editor with the copied text (the adding then says why it fails).
        m_icon.scheduleNotice(messages::describeReadFailure(any.error()));
    else
        m_icon.scheduleHelpNotice();
}

bool Application::isOnOwnIcon(const QPoint &pos) const {
    return (m_icon.isVisible() && m_icon.frameGeometry().contains(pos)) || m_tray.geometry().contains(pos);
}

void Application::moveToTray() {
    // Without a notification area the program would be invisible and
    // unreachable: it keeps its floating icon instead.
    if (!TrayIcon::available()) {
        m_icon.show();
    } else {
        m_tray.show();
        m_icon.hide();
    }
    m_settings.setValue(setting::ShowInTray, true);
}

void Application::showFloatingIcon() {
    m_icon.show();
    m_icon.raise();
    m_tray.hide();
    m_settings.setValue(setting::ShowInTray, false);
}

void Application::showSettings() {
    SettingsWindow *window = m_settingsWindow.get([this] {
        auto *made = new SettingsWindow(m_settings);
        connect(made, &SettingsWindow::startWithSystemChanged, made, [made](bool on) {
            const QString failure =
                on ? systementries::addStartWithSystem() : systementries::removeStartWithSystem();
            if (!failure.isEmpty())
                made->startWithSystemFailed(on, failure);
        });
        connect(made, &SettingsWindow::shortcutsRequested, made, [made] {
            const QString failure = systementries::makeShortcuts();
            if (!failure.isEmpty())
                made->shortcutsFailed(failure);
        });
        made->load();
        return made;
    });
    window->show();
    window->raise();
    window->activateWindow();
}

void Application::exchangeLibrary(const std::function<void()> &work) {
    // The dialogs let events through while they wait and work: the menu
    // cannot start a second export or import meanwhile.
    m_menu.exportLibrary->setEnabled(false);
    m_menu.importLibrary->setEnabled(false);
    work();
    m_menu.exportLibrary->setEnabled(true);
    m_menu.importLibrary->setEnabled(true);
}

void Application::showAbout() {
    m_aboutWindow.get([] { return new AboutWindow; })->present();
}

void Application::exit() {
    // A copy refused at start-up has nothing to end and writes nothing.
    if (m_exiting || !m_started)
        return;
    m_exiting = true;
    m_callUp.unregisterHotkey();
    // Every window closes and writes its settings; the windows are guarded,
    // since closing one may take others along (the list its balloon).
    m_callUp.closeList();
    if (m_capture.editor())
        m_capture.editor()->close();
    m_settingsWindow.close();
    m_aboutWindow.close();
    m_icon.hide();
    m_tray.hide();
    m_instance.release();
    QCoreApplication::exit(0);
}
