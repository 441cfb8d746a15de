#include "common/WindowPlacement.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <utility>

namespace twips {

namespace {
QRect outer(const QWidget *w) {
    return w->isWindow() ? w->frameGeometry() : w->geometry();
}
} // namespace

int left(const QWidget *w) {
    return fromPx(outer(w).x());
}
int top(const QWidget *w) {
    return fromPx(outer(w).y());
}
int width(const QWidget *w) {
    return fromPx(outer(w).width());
}
int height(const QWidget *w) {
    return fromPx(outer(w).height());
}
void move(QWidget *w, int left, int top) {
    w->move(toPx(left), toPx(top));
}

} // namespace twips

namespace placement {

namespace {

// Follows the pointer from the press until the button is released. The
// pressed widget holds Qt's implicit mouse grab, so the moves and the release
// all pass through the application-wide filter.
class Drag final : public QObject {
  public:
    Drag(QWidget *form, QPoint pressedAt) : m_form(form), m_start(pressedAt), m_origin(form->pos()) {
        qApp->installEventFilter(this);
    }
    const QWidget *form() const { return m_form; }

  protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::MouseMove) {
            // The event's own position: asking the display server where the
            // pointer is now would lag behind the events.
            const QPoint pointer = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            if (m_form)
                m_form->move(m_origin + (pointer - m_start));
        } else if (event->type() == QEvent::MouseButtonRelease) {
            finish();
        }
        return false;
    }

  public:
    void finish() {
        qApp->removeEventFilter(this);
        if (current() == this)
            current() = nullptr;
        deleteLater();
    }

  public:
    static Drag *&current() {
        static Drag *drag = nullptr;
        return drag;
    }

  private:
    QPointer<QWidget> m_form;
    QPoint m_start;
    QPoint m_origin;
};

// Keeps a window standing left of an anchor's outer place while the window
// manager frames it: each change of its outer size moves it again.
class LeftOf final : public QObject {
  public:
    LeftOf(QWidget *window, const QWidget *anchor, std::function<void()> fitFirst)
        : QObject(window), m_window(window), m_left(twips::left(anchor)), m_top(twips::top(anchor)),
          m_fitFirst(std::move(fitFirst)) {
        apply();
        window->installEventFilter(this);
        QTimer::singleShot(1000, this, [this] {
            if (m_window->frameGeometry().size() != m_size)
                apply();
            deleteLater();
        });
    }

  protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
            m_window->frameGeometry().size() != m_size)
            apply();
        return false;
    }

  private:
    void apply() {
        if (m_fitFirst)
            m_fitFirst();
        m_size = m_window->frameGeometry().size();
        twips::move(m_window, m_left - twips::width(m_window), m_top);
        keepOnScreen(m_window);
    }

    QWidget *m_window;
    int m_left;
    int m_top;
    std::function<void()> m_fitFirst;
    QSize m_size;
};

} // namespace

void standLeftOf(QWidget *window, const QWidget *anchor, std::function<void()> fitFirst) {
    // A newer placement replaces one still correcting itself.
    const QString name = QStringLiteral("placement::standLeftOf");
    qDeleteAll(window->findChildren<QObject *>(name, Qt::FindDirectChildrenOnly));
    (new LeftOf(window, anchor, std::move(fitFirst)))->setObjectName(name);
}

void startDrag(QWidget *window, QPoint pressedAt) {
    if (!window || Drag::current())
        return;
    Drag::current() = new Drag(window->window(), pressedAt);
}

bool isDragging(const QWidget *window) {
    return Drag::current() && window && Drag::current()->form() == window->window();
}

void stopDrag() {
    if (Drag::current())
        Drag::current()->finish();
}

void setTopMost(QWidget *form) {
    if (!form || form->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    const bool visible = form->isVisible();
    form->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (visible)
        form->show(); // changing the flags hides a shown window
}

void keepOnScreen(QWidget *form) {
    if (!form)
        return;
    // The screen that holds the window's top-left corner (where the pointer
    // put it), else its centre, so a second monitor works.
    const QRect frame = form->frameGeometry();
    QScreen *screen = QGuiApplication::screenAt(frame.topLeft());
    if (!screen)
        screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const int originX = twips::fromPx(area.x());
    const int originY = twips::fromPx(area.y());
    const int sw = twips::fromPx(area.width());
    const int sh = twips::fromPx(area.height()) - 500;

    // Positions relative to the screen's own origin.
    int left = twips::left(form) - originX;
    int top = twips::top(form) - originY;
    const int width = twips::width(form);
    const int height = twips::height(form);
    // Only a window that sticks out is moved: testing Left - Width < 0 (as
    // the old rule did) moved windows that were wholly on the screen, so a
    // list called up at the pointer never opened there on a 1080-line screen.
    if (left + width > sw)
        left = sw - width;
    if (left < 0)
        left = 0;
    if (top + height > sh)
        top = sh - height;
    if (top < 0)
        top = 0;
    twips::move(form, left + originX, top + originY);
}

void keepInside(QWidget *window, const QRect &area) {
    QRect frame = window->frameGeometry();
    if (frame.bottom() > area.bottom())
        frame.moveBottom(area.bottom());
    if (frame.right() > area.right())
        frame.moveRight(area.right());
    if (frame.top() < area.top())
        frame.moveTop(area.top());
    if (frame.left() < area.left())
        frame.moveLeft(area.left());
    if (frame.topLeft() != window->frameGeometry().topLeft())
        window->move(window->pos() + frame.topLeft() - window->frameGeometry().topLeft());
}

void restore(QWidget *form, int left, int top) {
    if (!form)
        return;
    // Pixels from here on: a twip count near the end of the int range has
    // room for no sum, a pixel count within the screens has.
    QPoint place(twips::toPx(left), twips::toPx(top));
    QRect screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens |= screen->geometry();
    if (!screens.isEmpty())
        place = QPoint(std::clamp(place.x(), screens.left(), screens.right()),
                       std::clamp(place.y(), screens.top(), screens.bottom()));
    form->move(place);
    keepOnScreen(form);
}

void centerOnScreen(QWidget *form) {
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!form || !screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = form->frameGeometry().size();
    form->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

} // namespace placement
