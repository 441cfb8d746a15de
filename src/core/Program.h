// The program's name and the fixed texts every part of it shows the same way.
#pragma once

#include <QString>

namespace program {

// Shown in titles, used as the settings application and section, and as the
// name of the launchers and the lock.
inline const QString Name = QStringLiteral("Vemo文本收集器");
inline const QString Organization = QStringLiteral("VemoTools");
// The title of the program's information notices.
inline const QString NoticeTitle = QStringLiteral("【Vemo】文本收集器提示您");
// The icon file shipped beside the program, for launchers and shortcuts.
inline const QString IconFile = QStringLiteral("Vemo文本收集器.ico");

} // namespace program
