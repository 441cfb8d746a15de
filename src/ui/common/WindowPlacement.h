// Where windows go. Geometry is written in twips where the windows' places
// are stated that way (and the settings store places in twips), and converted
// here only: 15 twips to a logical pixel. "The screen" is the screen that
// holds the window or the pointer, so multi-monitor desktops work.
#pragma once

#include <QPoint>
#include <QRect>

#include <functional>

class QWidget;

namespace twips {

constexpr int PerPixel = 15;

constexpr int toPx(int tw) {
    return tw / PerPixel;
}
constexpr int fromPx(int px) {
    return px * PerPixel;
}
inline QRect rect(int left, int top, int width, int height) {
    return QRect(toPx(left), toPx(top), toPx(width), toPx(height));
}

// The outer frame of a top-level window (or the geometry of a child), in twips.
int left(const QWidget *w);
int top(const QWidget *w);
int width(const QWidget *w);
int height(const QWidget *w);
void move(QWidget *w, int left, int top);

} // namespace twips

namespace placement {

// Pulls a window that sticks out of its screen back inside it, 500 twips
// clear of the bottom edge; a window wholly on the screen stays.
void keepOnScreen(QWidget *window);
// Puts a window at a stored place in twips, which may be any number (a place
// on a screen long gone, a hand-edited file): the place is brought within the
// screens' range before anything is computed from it, then the window is
// pulled wholly onto a screen.
void restore(QWidget *window, int left, int top);
// Stands the window immediately to the left of the anchor, top edges level
// (a hidden anchor's place counts all the same), pulled onto the screen. The
// window manager reports the frame only after the window is shown: the place
// is corrected whenever the outer size changes during the next second;
// fitFirst, if given, runs before each placement (to shrink the window to its
// screen, say).
void standLeftOf(QWidget *window, const QWidget *anchor, std::function<void()> fitFirst = {});
// Moves the window so that its outer frame lies inside the area.
void keepInside(QWidget *window, const QRect &area);
// Centres the window on the screen under the pointer.
void centerOnScreen(QWidget *window);
// Keeps the window above all normal windows.
void setTopMost(QWidget *window);
// The window follows the pointer from where the button was pressed until the
// button is released.
void startDrag(QWidget *window, QPoint pressedAt);
// Ends a drag at once (the release ends it by itself).
void stopDrag();
bool isDragging(const QWidget *window);

} // namespace placement
