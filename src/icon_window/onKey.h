// The global call-up hotkey: Ctrl plus the key chosen in the settings opens
// the quick list at the pointer and remembers the window that was in front.
#pragma once

namespace onKey {

// Registers Ctrl + the stored key. A combination held by another program
// leaves the program running without the hotkey.
void RegisterCallUpHotkey();
void UnregisterCallUpHotkey();
// What a press does: record the target, open the quick list at the pointer.
void OnCallUpHotkey();
bool IsRegistered();

} // namespace onKey
