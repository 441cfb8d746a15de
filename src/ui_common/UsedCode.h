// Small window and system helpers that every window calls.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

class QWidget;

namespace UsedCode {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Start dragging a window with the mouse, whatever the button; the window
// follows the pointer from where it was pressed until the button is released.
void MoveForm(QWidget *form, int button, QPoint pressedAt);
// The same, for the left button (1) only; used from mouse-move handlers.
void MoveFormByLeftButton(QWidget *form, int button, QPoint pressedAt);
// Whether the window is being dragged right now.
bool IsMoving(const QWidget *form);
// Ends a drag at once (the release ends it by itself).
void StopMoving();
// A key or mouse button (virtual-key code) held down now, globally.
bool KeyIsDown(int virtualKey);
// Keep the window above all normal windows.
void SetTopMost(QWidget *form);
// Open a path or link with its default handler; an empty path is refused.
void OpenPath(const QString &path);
// The outer rectangle of the window in screen pixels (right and bottom exclusive).
Rect GetFormRect(const QWidget *form);
// The text with every match of the pattern replaced (case-sensitive).
QString RegReplace(const QString &text, const QString &pattern, const QString &replacement);
// Replace the clipboard's contents by the plain text.
void SetClipboardText(const QString &text);
// An integer from 0 to n-1 (0 for n <= 1), from a generator seeded once per process.
int RandomNumber(int n);
// Pull the window back inside the screen that holds it.
void KeepFormOnScreen(QWidget *form);
// Centre the window on the screen under the pointer.
void CenterOnScreen(QWidget *form);

} // namespace UsedCode

namespace m_Sys {
// Give unused memory back to the system.
void ReleaseMemory();
} // namespace m_Sys
