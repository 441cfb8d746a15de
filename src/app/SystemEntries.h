// Start with the system and the desktop and program-menu launchers, through
// the platform layer. Each returns at once with what the user reads when it
// failed (in the program's words, with the system's reason), or an empty
// text when it worked.
#pragma once

#include <QString>

namespace systementries {

// Writes the start-with-the-system entry for the running program.
QString addStartWithSystem();
// Removes it; a missing entry is no failure.
QString removeStartWithSystem();
// Creates or overwrites the launchers "Vemo文本收集器" that start the running
// program, with the icon file shipped beside it.
QString makeShortcuts();

} // namespace systementries
