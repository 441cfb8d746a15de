// Start with the system and launchers on a freedesktop desktop: an XDG
// autostart entry and .desktop files. Plain files, no X connection needed.
#pragma once

#include "platform.h"

#include <string>

namespace platform::xdg {

// Writes $XDG_CONFIG_HOME/autostart/<programName>.desktop that starts programPath.
Result addAutostart(const std::string &programName, const std::string &programPath);
// Deletes that entry; an entry that is not there is no error.
Result removeAutostart(const std::string &programName);
// Writes <displayName>.desktop to the desktop folder and to
// $XDG_DATA_HOME/applications, both starting targetPath with the icon iconPath.
Result makeLaunchers(const std::string &displayName, const std::string &targetPath,
                     const std::string &iconPath);

// The Exec value that runs exactly `path` with no arguments, quoted and
// escaped for a desktop entry; empty when the path cannot be represented
// (control characters, not UTF-8).
std::string execValue(const std::string &path);

// The folders in use, from the environment as the freedesktop rules say.
std::string configHome();
std::string dataHome();
std::string desktopDir();

} // namespace platform::xdg
