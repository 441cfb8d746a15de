// The program: one Application, started, then the event loop; or a job of
// the command line, which needs neither windows nor the single-instance lock.
#include "Application.h"
#include "CommandLine.h"
#include "Program.h"
#include "TeamCommandLine.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[]) {
    if (teamcommandline::wanted(argc, argv))
        return teamcommandline::run(argc, argv);
    if (commandline::wanted(argc, argv))
        return commandline::run(argc, argv);
    QApplication qt(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(program::Name);
    QApplication::setOrganizationName(program::Organization);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vemo/picture.png")));

    Application app(QCoreApplication::applicationDirPath());
    if (!app.start())
        return 0;
    QObject::connect(&qt, &QCoreApplication::aboutToQuit, &app, &Application::exit);
    return QApplication::exec();
}
