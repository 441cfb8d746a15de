// Start with the system and the desktop / program-menu shortcuts. System
// chores: they go through the platform layer, report nothing to the user and
// return at once.
#pragma once

#include <QString>

namespace UsedCode {

// The folder that holds the running program, without a trailing separator.
QString ProgramFolder();
// The program file's name without its extension ("vemo" for .../vemo).
QString ProgramName();

// Writes the start-with-the-system entry for the running program.
void AddBootStart();
// Removes it; a missing entry is no failure.
void RemoveBootStart();
// Creates or overwrites the desktop and program-menu shortcuts. linkName is
// the shortcut's file name ("Vemo文本收集器.lnk": a ".lnk" ending is dropped),
// targetName the program's file name inside the program folder, iconPath the
// full path of the icon file.
void MakeShortcut(const QString &linkName, const QString &targetName, const QString &iconPath);

// The shortcuts the program makes for itself: "Vemo文本收集器" starting the
// running executable, with the icon file shipped beside it. Used by the
// settings window and by start-up.
void MakeProgramShortcut();

} // namespace UsedCode
