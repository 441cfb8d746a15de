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

QString failure(const QString &what, const platform::Result &result) {
    if (result.ok)
        return {};
    return what + QStringLiteral("：") + QString::fromStdString(result.error);
}

} // namespace

QString addStartWithSystem() {
    return failure(
        QStringLiteral("无法设置开机时启动"),
        platform::current().addBootStart(utf8(programName()), utf8(QCoreApplication::applicationFilePath())));
}

QString removeStartWithSystem() {
    return failure(QStringLiteral("无法取消开机时启动"),
                   platform::current().removeBootStart(utf8(programName())));
}

QString makeShortcuts() {
    return failure(QStringLiteral("无法创建桌面快捷方式"),
                   platform::current().makeShortcut(
                       utf8(program::Name), utf8(QCoreApplication::applicationFilePath()),
                       utf8(QCoreApplication::applicationDirPath() + QLatin1Char('/') + program::IconFile)));
}

} // namespace systementries
