// Start with the system and the desktop and program-menu launchers. System
// chores: they go through the platform layer, report nothing to the user and
// return at once.
#pragma once

namespace systementries {

// Writes the start-with-the-system entry for the running program.
void addStartWithSystem();
// Removes it; a missing entry is no failure.
void removeStartWithSystem();
// Creates or overwrites the launchers "Vemo文本收集器" that start the running
// program, with the icon file shipped beside it.
void makeShortcuts();

} // namespace systementries
