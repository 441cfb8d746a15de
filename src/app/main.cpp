// Start-up wiring only: the icon window's loading is the program's start.
#include "FMain.h"
#include "Forms.h"
#include "PlatformEvents.h"
#include "about/AboutWindow.h"
#include "icon_window/Capture.h"
#include "icon_window/Tray.h"
#include "icon_window/mMain.h"
#include "quick_list/FavList.h"
#include "quick_list/mMenu.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Vemo文本收集器"));
    QApplication::setOrganizationName(QStringLiteral("VemoTools"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vemo/picture.png")));

    mMain icon;
    if (!icon.Form_Load())
        return 0;

    // Requests that go up a floor: the quick list's "新 增" and "Vemo" labels,
    // the icons' right clicks for the main menu.
    Forms::Form<FavList>::onCreated([](FavList *list) {
        QObject::connect(list, &FavList::addRequested, list, [] { FMain::CaptureClipboard(); });
        QObject::connect(list, &FavList::aboutRequested, list, [] { 关于::showAboutWindow(); });
        QObject::connect(list, &FavList::listMenuRequested, list,
                         [list](const QPoint &pos) { Forms::Form<mMenu>::get()->popupFor(list, pos); });
        list->setOwnIconTest([](const QPoint &pos) {
            const mMain *icon = mMain::instance();
            return (icon && icon->isVisible() && icon->frameGeometry().contains(pos)) ||
                   Tray::IconGeometry().contains(pos);
        });
    });
    QObject::connect(&icon, &mMain::mainMenuRequested, &icon, [](const QPoint &pos, bool fromTray) {
        关于::popupMainMenuFor(fromTray ? MenuCaller::Tray : MenuCaller::Icon, pos);
    });

    // A session that ends the program (SIGTERM, logout) gets the same orderly
    // end as the exit item.
    PlatformEvents events([] { ExitProgram(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { ExitProgram(); });

    return QApplication::exec();
}
