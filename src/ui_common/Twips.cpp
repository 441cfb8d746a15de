#include "Twips.h"

namespace twips {

namespace {
QRect outer(const QWidget *w) {
    return w->isWindow() ? w->frameGeometry() : w->geometry();
}
} // namespace

int Left(const QWidget *w) {
    return fromPx(outer(w).x());
}
int Top(const QWidget *w) {
    return fromPx(outer(w).y());
}
int Width(const QWidget *w) {
    return fromPx(outer(w).width());
}
int Height(const QWidget *w) {
    return fromPx(outer(w).height());
}
void setLeft(QWidget *w, int tw) {
    w->move(toPx(tw), w->pos().y());
}
void setTop(QWidget *w, int tw) {
    w->move(w->pos().x(), toPx(tw));
}
void move(QWidget *w, int left, int top) {
    w->move(toPx(left), toPx(top));
}

} // namespace twips
