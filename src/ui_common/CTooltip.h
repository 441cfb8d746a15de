// A balloon (or rectangular) tool tip attached to one window. The owner sets
// the properties, then calls Create with the window to watch; the tip shows
// when the mouse rests on that window for the delay time and hides after the
// visible time, when the mouse leaves, on a click, or when the window hides.
#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QPointer>
#include <QString>
#include <QTextLayout>
#include <QWidget>

class QIcon;
class QPainterPath;

// The tip window itself: a small top-level window that never takes focus or
// mouse input. It is created hidden; its text is laid out only when it shows.
class CTooltipWindow : public QWidget {
    Q_OBJECT
  public:
    struct Content {
        QString title;
        int icon = 0;
        bool titleLine = false; // title and/or icon shown above the text
        QString text;
        int foreColor = 0; // COLORREF, 0 = system colour
        int backColor = 0;
        bool centered = false;
        int visibleTime = 5000;
        int delayTime = 100;
        bool operator==(const Content &) const = default;
    };

    CTooltipWindow(QWidget *tool, bool balloon, const Content &content);
    ~CTooltipWindow() override;

    // What the tip shows (or would show), for callers and tests.
    bool isBalloon() const { return m_balloon; }
    bool hasTitleLine() const { return m_content.titleLine; }
    QString title() const { return m_content.title; }
    int icon() const { return m_content.icon; }
    QString text() const { return m_content.text; }
    bool isCentered() const { return m_content.centered; }
    int visibleTime() const { return m_content.visibleTime; }
    int delayTime() const { return m_content.delayTime; }
    // The colours in use: the system tool tip colours where the value is 0.
    QColor foreColor() const;
    QColor backColor() const;
    // The window the tip is attached to (null once that window is gone).
    QWidget *toolWindow() const { return m_tool; }
    // Whether the text had to be cut to fit on the screen at the last showing.
    bool isTruncated() const { return m_truncated; }
    // The title as the last painting drew it (cut with an ellipsis when it did not fit).
    QString drawnTitle() const { return m_drawnTitle; }

    const Content &content() const { return m_content; }
    void setContent(const Content &content);
    void setTitleLine(const QString &title, int icon);
    void setText(const QString &text);
    void setForeColor(int color);
    void setBackColor(int color);

    // Shows at once, pointing at the given screen position (or centred below
    // the tool when centered), and starts the visible time.
    void popUp(const QPoint &cursor);
    // Hides; with `dismiss` it stays hidden until the mouse leaves the tool.
    void popDown(bool dismiss);
    // Arms the delay when the mouse is over the tool right now.
    void armIfUnderMouse();
    // Mouse and visibility events of the tool and its child widgets.
    void toolEvent(QWidget *receiver, QEvent *event);

  protected:
    void paintEvent(QPaintEvent *) override;
    void timerEvent(QTimerEvent *event) override;

  private:
    struct Anchor {
        int x = 0;     // where the stem points, horizontally
        int below = 0; // top edge when the tip goes below
        int above = 0; // bottom edge when it goes above
        QRect screen;  // available area of the screen concerned
    };
    Anchor anchorFor(const QPoint &cursor) const;
    void contentChanged();
    void ensureLayout(int maxTextHeight);
    QIcon titleIcon() const;
    bool toolUnderMouse() const;
    void place(const Anchor &anchor);
    QPainterPath outline() const;

    QPointer<QWidget> m_tool;
    bool m_balloon;
    Content m_content;
    bool m_dismissed = false;
    QPoint m_dismissedAt; // where the pointer was when the tip was dismissed
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
    enum class Stem { LeftEdge, RightEdge, Centred } m_stem = Stem::LeftEdge;
    QPoint m_lastCursor; // where the tip last pointed
    QString m_drawnTitle;
};

class CTooltip {
  public:
    CTooltip();
    ~CTooltip();
    CTooltip(const CTooltip &) = delete;
    CTooltip &operator=(const CTooltip &) = delete;

    // 1 = balloon, any other value = rectangle; takes effect at the next Create.
    int Style() const { return m_style; }
    void setStyle(int style);
    // Centred below the window instead of near the mouse; next Create.
    bool Centered() const { return m_centered; }
    void setCentered(bool centered);
    // Builds a fresh tip window attached to `parent`, replacing any earlier one.
    void Create(QWidget *parent);
    // 0 none, 1 information, 2 warning, 3 error.
    int Icon() const { return m_icon; }
    void setIcon(int icon);
    // Colours as COLORREF (0x00BBGGRR); 0 = the system colour.
    int ForeColor() const { return m_foreColor; }
    void setForeColor(int color);
    QString Title() const { return m_title; }
    void setTitle(const QString &title);
    int BackColor() const { return m_backColor; }
    void setBackColor(int color);
    QString TipText() const { return m_tipText; }
    void setTipText(const QString &text);
    // Removes the tip window, if there is one.
    void Destroy();
    // Milliseconds the tip stays up, and before it shows; next Create.
    int VisibleTime() const { return m_visibleTime; }
    void setVisibleTime(int ms);
    int DelayTime() const { return m_delayTime; }
    void setDelayTime(int ms);

    bool hasTipWindow() const { return m_tip != nullptr; }
    CTooltipWindow *tipWidget() const { return m_tip; }
    QWidget *parentWindow() const { return m_parent; }

    // A COLORREF as a colour (invalid for 0, which means the system colour).
    static QColor colorFromColorRef(int color);

  private:
    CTooltipWindow::Content content() const;

    int m_backColor = 0;
    QString m_title;
    int m_foreColor = 0;
    int m_icon = 0;
    bool m_centered = false;
    int m_style = 0;
    QString m_tipText;
    int m_visibleTime = 5000;
    int m_delayTime = 100;
    QPointer<CTooltipWindow> m_tip;
    QPointer<QWidget> m_parent;
};
