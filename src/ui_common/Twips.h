// Window geometry is written in twips, as the windows are described, and
// converted here only: 15 twips to a logical pixel.
#pragma once

#include <QWidget>

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
int Left(const QWidget *w);
int Top(const QWidget *w);
int Width(const QWidget *w);
int Height(const QWidget *w);
void setLeft(QWidget *w, int tw);
void setTop(QWidget *w, int tw);
void move(QWidget *w, int left, int top);

} // namespace twips
