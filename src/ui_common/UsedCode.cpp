#include "UsedCode.h"

#include "MessageBox.h"
#include "Twips.h"
#include "platform.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <random>

namespace UsedCode {

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

} // namespace

void MoveForm(QWidget *form, int, QPoint pressedAt) {
    if (!form || Drag::current())
        return;
    Drag::current() = new Drag(form->window(), pressedAt);
}

void MoveFormByLeftButton(QWidget *form, int button, QPoint pressedAt) {
    if (button == 1)
        MoveForm(form, button, pressedAt);
}

bool IsMoving(const QWidget *form) {
    return Drag::current() && form && Drag::current()->form() == form->window();
}

void StopMoving() {
    if (Drag::current())
        Drag::current()->finish();
}

bool KeyIsDown(int virtualKey) {
    return platform::current().keyIsDown(virtualKey);
}

void SetTopMost(QWidget *form) {
    if (!form || form->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    const bool visible = form->isVisible();
    form->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (visible)
        form->show(); // changing the flags hides a shown window
}

void OpenPath(const QString &path) {
    if (path.isEmpty()) {
        msg::MsgBox(QStringLiteral("路径不能为空"), msg::Information, QString::fromUtf8(msg::AppTitle));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromUserInput(path));
}

Rect GetFormRect(const QWidget *form) {
    const QRect r = form->frameGeometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

QString RegReplace(const QString &text, const QString &pattern, const QString &replacement) {
    QString result = text;
    return result.replace(QRegularExpression(pattern), replacement);
}

void SetClipboardText(const QString &text) {
    QGuiApplication::clipboard()->setText(text);
}

int RandomNumber(int n) {
    // Seeded once: reseeding from the clock on every call repeats values
    // within one clock tick, which would give two records the same key.
    static std::mt19937 generator{std::random_device{}()};
    if (n <= 1)
        return 0;
    return std::uniform_int_distribution<int>(0, n - 1)(generator);
}

void KeepFormOnScreen(QWidget *form) {
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
    int left = twips::Left(form) - originX;
    int top = twips::Top(form) - originY;
    const int width = twips::Width(form);
    const int height = twips::Height(form);
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

void CenterOnScreen(QWidget *form) {
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!form || !screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = form->frameGeometry().size();
    form->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

} // namespace UsedCode

namespace m_Sys {
void ReleaseMemory() {
    platform::current().trimWorkingSet();
}
} // namespace m_Sys
