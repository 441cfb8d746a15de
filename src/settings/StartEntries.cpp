#include "settings/StartEntries.h"

#include "platform.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace UsedCode {

namespace {

std::string utf8(const QString &text) {
    return text.toUtf8().toStdString();
}

} // namespace

QString ProgramFolder() {
    return QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
}

QString ProgramName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void AddBootStart() {
    // The outcome is not examined: a failed entry leaves the program as it was.
    (void)platform::current().addBootStart(utf8(ProgramName()),
                                           utf8(QCoreApplication::applicationFilePath()));
}

void RemoveBootStart() {
    (void)platform::current().removeBootStart(utf8(ProgramName()));
}

void MakeShortcut(const QString &linkName, const QString &targetName, const QString &iconPath) {
    QString displayName = linkName;
    if (displayName.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive))
        displayName.chop(4);
    if (displayName.isEmpty() || targetName.isEmpty())
        return;
    const QString target = ProgramFolder() + QLatin1Char('/') + targetName;
    (void)platform::current().makeShortcut(utf8(displayName), utf8(target), utf8(iconPath));
}

void MakeProgramShortcut() {
    MakeShortcut(QStringLiteral("Vemo文本收集器.lnk"),
                 QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                 ProgramFolder() + QStringLiteral("/Vemo文本收集器.ico"));
}

} // namespace UsedCode
