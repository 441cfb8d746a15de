// Program-wide values shared by the windows, the information notice and the
// text rules that turn a captured text into a proposal. Every window may
// include this header; all values are read and written on the UI thread.
#pragma once

#include <QString>

namespace FMain {

// How the quick list was last opened: "双击" (from an icon) or "快捷键" (hotkey).
extern QString CallUpMode;
// Holding Ctrl+C proposes the copied text while this is true.
extern bool DoubleCtrlC;
// While false the quick list neither closes on an outside click nor reacts
// to hovering (one of its menus, the editor or the About window is in use).
extern bool QuickListAutoClose;

inline const QString ModeIcon = QStringLiteral("双击");
inline const QString ModeHotkey = QStringLiteral("快捷键");

// The information notice titled "【Vemo】文本收集器提示您".
void ShowTip(const QString &text);

// The title proposed for a captured text (possibly empty).
QString DeriveTitle(const QString &text);
// "Function", "Sub", "Class", "API" or "" for a captured text.
QString DeriveCategory(const QString &text);

} // namespace FMain

namespace onKey {

constexpr int HotkeyId = 117;
// The window in front when the hotkey last arrived, as decimal text.
extern QString TargetWindowSlot;

} // namespace onKey
