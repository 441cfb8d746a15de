// A balloon with the information icon, a title and a text, attached to one
// widget (the quick list's rows), which keeps one for its life and changes its
// content. It shows when the pointer rests on the widget for the delay and
// hides after five seconds, when the pointer leaves, on a click, or when the
// widget hides; hidden by a click or by its time, it comes back once the
// pointer moves on and rests again.
#pragma once

#include <QBasicTimer>
#include <QPointer>
#include <QString>
#include <QTextLayout>
#include <QWidget>

class QPainterPath;

// A small top-level window that never takes the focus or the mouse, owned by
// its widget (the tool). Its text is laid out only when it shows.
class BalloonTipWindow : public QWidget {
    Q_OBJECT
  public:
    explicit BalloonTipWindow(QWidget *tool, const QString &title = {}, const QString &text = {},
                              int delayMs = 0);
    ~BalloonTipWindow() override;

    // Shows another content: at once when the balloon is up (pointing at the
    // pointer when the content differs), else after the delay of resting.
    void showContent(const QString &title, const QString &text, int delayMs);
    // Hides and forgets the content until the next one, which starts afresh
    // (a click's dismissal included).
    void withdraw();

    QString title() const { return m_title; }
    QString text() const { return m_text; }
    QWidget *tool() const { return m_tool; }
    // The title as the last painting drew it (cut with an ellipsis when it did not fit).
    QString drawnTitle() const { return m_drawnTitle; }

    // Takes over a new content (the same window shows another row).
    void setContent(const QString &title, const QString &text, int delayMs);
    // Shows at once, pointing at the given screen position.
    void popUp(const QPoint &cursor);
    // Hides; with `dismiss` it stays hidden until the pointer moves on.
    void popDown(bool dismiss);
    // Arms the delay when the pointer is over the tool right now.
    void armIfUnderMouse();

  protected:
    // The mouse and visibility events of the tool.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *) override;
    void timerEvent(QTimerEvent *event) override;

  private:
    struct Anchor {
        int x = 0;     // where the stem points, horizontally
        int below = 0; // top edge when the balloon goes below
        int above = 0; // bottom edge when it goes above
        QRect screen;  // available area of the screen concerned
    };
    Anchor anchorFor(const QPoint &cursor) const;
    void contentChanged();
    void ensureLayout(int maxTextHeight);
    bool toolUnderMouse() const;
    void place(const Anchor &anchor);
    QPainterPath outline() const;

    QPointer<QWidget> m_tool;
    QString m_title;
    QString m_text;
    int m_delayMs;
    bool m_dismissed = false;
    QPoint m_dismissedAt; // where the pointer was when the balloon was dismissed
    QBasicTimer m_delay;
    QBasicTimer m_pop;

    // Layout, computed on demand.
    bool m_layoutValid = false;
    int m_layoutMaxHeight = 0;
    QTextLayout m_layout;
    int m_lineCount = 0;
    bool m_truncated = false;
    QSize m_contentSize;
    int m_titleHeight = 0;
    // Geometry of the last placement.
    QRect m_body;    // the rounded body, in widget coordinates
    int m_stemX = 0; // x of the stem's point, in widget coordinates
    bool m_stemUp = true;
    bool m_stemAtLeft = true;
    QPoint m_lastCursor; // where the balloon last pointed
    QPoint m_pointer;    // where the pointer last moved over the tool
    QString m_drawnTitle;
};
