#include "SystemEntries.h"

#include "Program.h"
#include "platform.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace systementries {

namespace {

std::string utf8(const QString &text) {
    return text.toUtf8().toStdString();
}

QString programName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

} // namespace

void addStartWithSystem() {
    // The outcome is not examined: a failed entry leaves the program as it was.
    (void)platform::current().addBootStart(utf8(programName()),
                                           utf8(QCoreApplication::applicationFilePath()));
}

void removeStartWithSystem() {
    (void)platform::current().removeBootStart(utf8(programName()));
}

void makeShortcuts() {
    (void)platform::current().makeShortcut(
        utf8(program::Name), utf8(QCoreApplication::applicationFilePath()),
        utf8(QCoreApplication::applicationDirPath() + QLatin1Char('/') + program::IconFile));
}

} // namespace systementries
