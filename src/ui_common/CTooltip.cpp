#include "CTooltip.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr int DefaultVisibleTime = 5000;
constexpr int DefaultDelayTime = 100;

constexpr int MaxTextWidth = 400; // text wraps at this width
constexpr int MinBodyWidth = 48;
constexpr int Padding = 8; // inside the body, around the content
constexpr int BalloonPadding = 10;
constexpr int Radius = 8; // rounded corners of the balloon
constexpr int StemHeight = 14;
constexpr int StemWidth = 16;
constexpr int StemInset = 20; // stem's point from the body's left edge
constexpr int IconSize = 16;
constexpr int IconGap = 6;
constexpr int TitleGap = 5;   // between the title line and the text
constexpr int CursorGap = 20; // below the pointer's hot spot, clear of the arrow
// A screen full of text is far fewer characters than this; a longer text is
// cut before layout so nobody pays for laying out megabytes.
constexpr int MaxLaidOutChars = 10000;

// Every live tip window, so one application-wide filter can hand the mouse
// events of the watched windows (and of their child widgets, such as a list's
// viewport) to the tips. A filter per watched window would be installed while
// that window's own filters run when a caller recreates the tip from a mouse
// handler, which Qt does not cope with.
class TipWatcher : public QObject {
  public:
    static TipWatcher *instance() {
        if (!s_instance && QCoreApplication::instance()) {
            s_instance = new TipWatcher(QCoreApplication::instance());
            QCoreApplication::instance()->installEventFilter(s_instance);
        }
        return s_instance;
    }
    // Without creating one (a window going away while the application ends).
    static TipWatcher *existing() { return s_instance; }

    QList<QPointer<CTooltipWindow>> tips;
    QPoint lastPos;
    bool havePos = false;

    QPoint pointerPos() const { return havePos ? lastPos : QCursor::pos(); }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
        case QEvent::MouseMove:
            lastPos = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            havePos = true;
            break;
        case QEvent::Enter:
            lastPos = static_cast<QEnterEvent *>(event)->globalPosition().toPoint();
            havePos = true;
            break;
        case QEvent::HoverMove:
        case QEvent::Leave:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Hide:
            break;
        default:
            return false;
        }
        if (tips.isEmpty() || !watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        const auto snapshot = tips;
        for (const auto &tip : snapshot) {
            if (tip)
                tip->toolEvent(widget, event);
        }
        return false;
    }

  private:
    using QObject::QObject;
    static inline QPointer<TipWatcher> s_instance;
};

// A tip that was up when its owner let go of it stays up until the current
// event has been handled: the quick list replaces its balloon on every mouse
// move, and a Create on the same window right away takes the shown tip over
// instead of the balloon vanishing and coming back with each pixel.
QPointer<CTooltipWindow> s_handoff;
quint64 s_handoffSerial = 0;

void releaseTipWindow(CTooltipWindow *tip) {
    if (!tip)
        return;
    if (!QCoreApplication::instance())
        return; // the widgets went with the application
    QWidget *tool = tip->toolWindow();
    if (tip->isVisible() && tool && tool->isVisible() && TipWatcher::instance()) {
        if (s_handoff && s_handoff != tip)
            delete s_handoff.data();
        s_handoff = tip;
        const quint64 serial = ++s_handoffSerial;
        QTimer::singleShot(0, TipWatcher::instance(), [serial] {
            if (serial == s_handoffSerial && s_handoff) {
                CTooltipWindow *left = s_handoff;
                s_handoff = nullptr;
                delete left;
            }
        });
        return;
    }
    if (s_handoff == tip)
        s_handoff = nullptr;
    delete tip;
}

// What the tip shows: CR LF and lone CR or LF end lines; other control
// characters would show as boxes.
QString displayText(const QString &text) {
    QString out = text.left(MaxLaidOutChars);
    out.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    for (QChar &c : out) {
        if (c == u'\r' || c == u'\n')
            c = QChar::LineSeparator;
        else if (c.unicode() < 0x20 && c != u'\t')
            c = u' ';
    }
    return out;
}

QColor mix(const QColor &a, const QColor &b, double amountOfA) {
    const double k = amountOfA;
    return QColor::fromRgbF(float(a.redF() * k + b.redF() * (1 - k)),
                            float(a.greenF() * k + b.greenF() * (1 - k)),
                            float(a.blueF() * k + b.blueF() * (1 - k)));
}

} // namespace

// ---------------------------------------------------------------- window

CTooltipWindow::CTooltipWindow(QWidget *tool, bool balloon, const Content &content)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus),
      m_tool(tool), m_balloon(balloon), m_content(content) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (m_balloon)
        setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setFont(QToolTip::font());
    if (m_tool) {
        connect(m_tool.data(), &QObject::destroyed, this, [this] {
            m_delay.stop();
            popDown(false);
        });
    }
    if (TipWatcher *watcher = TipWatcher::instance())
        watcher->tips.append(this);
}

CTooltipWindow::~CTooltipWindow() {
    if (TipWatcher *watcher = TipWatcher::existing())
        watcher->tips.removeAll(QPointer<CTooltipWindow>(this));
}

QColor CTooltipWindow::foreColor() const {
    const QColor c = CTooltip::colorFromColorRef(m_content.foreColor);
    return c.isValid() ? c : QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipText);
}

QColor CTooltipWindow::backColor() const {
    const QColor c = CTooltip::colorFromColorRef(m_content.backColor);
    return c.isValid() ? c : QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipBase);
}

void CTooltipWindow::setContent(const Content &content) {
    Content look = content;
    look.visibleTime = m_content.visibleTime;
    look.delayTime = m_content.delayTime;
    const bool sameLook = look == m_content;
    m_content = content;
    if (!sameLook)
        contentChanged();
}

void CTooltipWindow::setTitleLine(const QString &title, int icon) {
    m_content.title = title;
    m_content.icon = icon;
    m_content.titleLine = !title.isEmpty() || icon != 0;
    contentChanged();
}

void CTooltipWindow::setText(const QString &text) {
    m_content.text = text;
    contentChanged();
}

void CTooltipWindow::setForeColor(int color) {
    m_content.foreColor = color;
    update();
}

void CTooltipWindow::setBackColor(int color) {
    m_content.backColor = color;
    update();
}

void CTooltipWindow::contentChanged() {
    m_layoutValid = false;
    if (!isVisible())
        return; // laid out when it shows
    if (m_content.text.isEmpty()) {
        popDown(false);
        return;
    }
    // A live tip keeps pointing where it pointed and takes its new size there.
    place(anchorFor(m_lastCursor));
    update();
}

QIcon CTooltipWindow::titleIcon() const {
    switch (m_content.icon) {
    case 1:
        return style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this);
    case 2:
        return style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this);
    case 3:
        return style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this);
    default:
        return {};
    }
}

bool CTooltipWindow::toolUnderMouse() const {
    return m_tool && m_tool->isVisible() && m_tool->underMouse();
}

void CTooltipWindow::armIfUnderMouse() {
    if (!toolUnderMouse() || m_dismissed || isVisible())
        return;
    m_delay.start(std::max(0, m_content.delayTime), this);
}

void CTooltipWindow::toolEvent(QWidget *receiver, QEvent *event) {
    if (!m_tool || (receiver != m_tool && !m_tool->isAncestorOf(receiver)))
        return;
    switch (event->type()) {
    case QEvent::Leave:
    case QEvent::Hide:
        if (receiver == m_tool) {
            m_delay.stop();
            popDown(false);
            m_dismissed = false;
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        m_delay.stop();
        popDown(true);
        break;
    case QEvent::MouseMove:
    case QEvent::HoverMove:
    case QEvent::Enter:
        // Resting is what counts: every move starts the delay again, and a tip
        // that is up stays where it is. A tip hidden by a click or by its
        // visible time comes back after the pointer moved on and rested again
        // (events that repeat the pointer's place are no move).
        if (m_dismissed && QCursor::pos() != m_dismissedAt)
            m_dismissed = false;
        if (!isVisible() && !m_dismissed)
            m_delay.start(std::max(0, m_content.delayTime), this);
        break;
    default:
        break;
    }
}

void CTooltipWindow::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_delay.timerId()) {
        m_delay.stop();
        if (toolUnderMouse() && !m_dismissed) {
            TipWatcher *watcher = TipWatcher::instance();
            popUp(watcher ? watcher->pointerPos() : QCursor::pos());
        }
    } else if (event->timerId() == m_pop.timerId()) {
        popDown(true);
    } else {
        QWidget::timerEvent(event);
    }
}

void CTooltipWindow::popUp(const QPoint &cursor) {
    m_delay.stop();
    if (!m_tool || m_content.text.isEmpty()) {
        popDown(false); // like the system's tips, an empty text shows nothing
        return;
    }
    m_lastCursor = cursor;
    place(anchorFor(cursor));
    if (!isVisible())
        show();
    update();
    // A visible time of 0 keeps the tip up until the mouse leaves or clicks.
    if (m_content.visibleTime > 0)
        m_pop.start(m_content.visibleTime, this);
    else
        m_pop.stop();
}

void CTooltipWindow::popDown(bool dismiss) {
    m_pop.stop();
    if (isVisible())
        hide();
    if (dismiss) {
        m_dismissed = true;
        m_dismissedAt = QCursor::pos();
    }
}

CTooltipWindow::Anchor CTooltipWindow::anchorFor(const QPoint &cursor) const {
    Anchor a;
    const QScreen *screen = nullptr;
    if (m_content.centered && m_tool) {
        const QRect tool(m_tool->mapToGlobal(QPoint(0, 0)), m_tool->size());
        a.x = tool.center().x();
        a.below = tool.bottom() + 1;
        a.above = tool.top() - 1;
        screen = m_tool->screen();
    } else {
        a.x = cursor.x();
        a.below = cursor.y() + CursorGap;
        a.above = cursor.y() - 2;
        screen = QGuiApplication::screenAt(cursor);
    }
    if (!screen)
        screen = m_tool ? m_tool->screen() : QGuiApplication::primaryScreen();
    a.screen = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return a;
}

void CTooltipWindow::ensureLayout(int maxTextHeight) {
    if (m_layoutValid && m_layoutMaxHeight == maxTextHeight)
        return;
    m_layoutValid = true;
    m_layoutMaxHeight = maxTextHeight;

    const QFont textFont = font();
    QFont titleFont = textFont;
    titleFont.setBold(true);
    const QFontMetrics tfm(titleFont);

    int width = 0;
    m_titleHeight = 0;
    if (m_content.titleLine) {
        const bool hasIcon = !titleIcon().isNull();
        m_titleHeight = std::max(hasIcon ? IconSize : 0, tfm.height());
        int titleWidth = hasIcon ? IconSize : 0;
        if (!m_content.title.isEmpty())
            // Whole pixels up: the title is elided when its room falls short by a fraction.
            titleWidth += (hasIcon ? IconGap : 0) +
                          int(std::ceil(QFontMetricsF(titleFont).horizontalAdvance(m_content.title)));
        width = std::min(titleWidth, MaxTextWidth);
    }

    m_layout.clearLayout();
    m_layout.setText(displayText(m_content.text));
    m_layout.setFont(textFont);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(QFontMetricsF(textFont).horizontalAdvance(u' ') * 8);
    m_layout.setTextOption(option);
    m_layout.setCacheEnabled(true);

    const int textRoom = maxTextHeight - (m_content.titleLine ? m_titleHeight + TitleGap : 0);
    qreal y = 0;
    qreal textWidth = 0;
    m_lineCount = 0;
    m_truncated = false;
    m_layout.beginLayout();
    for (;;) {
        QTextLine line = m_layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(MaxTextWidth);
        if (m_lineCount > 0 && y + line.height() > textRoom) {
            m_truncated = true;
            break;
        }
        line.setPosition(QPointF(0, y));
        y += line.height();
        textWidth = std::max(textWidth, line.naturalTextWidth());
        ++m_lineCount;
    }
    m_layout.endLayout();
    if (m_content.text.size() > MaxLaidOutChars && !m_truncated && m_lineCount > 0)
        m_truncated = true;
    if (m_truncated) // room for the ellipsis on the last line
        textWidth = MaxTextWidth;

    width = std::max(width, int(std::ceil(textWidth)));
    int height = int(std::ceil(y));
    if (m_content.titleLine)
        height += m_titleHeight + TitleGap;
    m_contentSize = QSize(width, height);
}

void CTooltipWindow::place(const Anchor &anchor) {
    const int pad = m_balloon ? BalloonPadding : Padding;
    const int stem = m_balloon ? StemHeight : 0;
    const int overhead = 2 * pad + stem;
    // The text may use the larger of the room below and above the anchor.
    const int roomBelow = anchor.screen.bottom() + 1 - anchor.below;
    const int roomAbove = anchor.above + 1 - anchor.screen.top();
    ensureLayout(std::max(std::max(roomBelow, roomAbove) - overhead, 40));

    const int bodyW = std::max(m_contentSize.width() + 2 * pad, MinBodyWidth);
    const int bodyH = m_contentSize.height() + 2 * pad;
    const int w = bodyW;
    const int h = bodyH + stem;

    int left;
    if (m_content.centered)
        left = anchor.x - bodyW / 2;
    else if (m_balloon)
        left = anchor.x - StemInset;
    else
        left = anchor.x;
    left = std::min(left, anchor.screen.right() + 1 - w);
    left = std::max(left, anchor.screen.left());

    int top;
    if (h <= roomBelow || roomBelow >= roomAbove) {
        top = anchor.below;
        m_stemUp = true;
    } else {
        top = anchor.above + 1 - h;
        m_stemUp = false;
    }
    top = std::max(std::min(top, anchor.screen.bottom() + 1 - h), anchor.screen.top());

    m_body = m_stemUp ? QRect(0, stem, bodyW, bodyH) : QRect(0, 0, bodyW, bodyH);
    if (m_balloon) {
        const int x = anchor.x - left;
        if (m_content.centered) {
            m_stem = Stem::Centred;
            m_stemX = std::clamp(x, Radius + StemWidth / 2 + 1, bodyW - Radius - StemWidth / 2 - 1);
        } else if (x <= bodyW - Radius - StemWidth - 1) {
            m_stem = Stem::LeftEdge;
            m_stemX = std::max(x, Radius + 1);
        } else {
            m_stem = Stem::RightEdge;
            m_stemX = std::clamp(x, Radius + StemWidth + 1, bodyW - Radius - 1);
        }
    }
    setGeometry(left, top, w, h);
    if (m_balloon && QGuiApplication::platformName() == QLatin1String("xcb")) {
        // An X desktop may have no compositor to make the corners see-through.
        QPainterPathStroker stroker;
        stroker.setWidth(2);
        const QPainterPath path = outline();
        setMask(QRegion(stroker.createStroke(path).united(path).toFillPolygon().toPolygon()));
    }
}

QPainterPath CTooltipWindow::outline() const {
    QPainterPath path;
    const QRectF body = QRectF(m_body).adjusted(0.5, 0.5, -0.5, -0.5);
    path.addRoundedRect(body, Radius, Radius);
    const qreal tipY = m_stemUp ? 0.5 : height() - 0.5;
    const qreal baseY = m_stemUp ? body.top() + 1 : body.bottom() - 1;
    const qreal x = m_stemX + 0.5;
    QPolygonF stem;
    switch (m_stem) {
    case Stem::LeftEdge:
        stem << QPointF(x, baseY) << QPointF(x, tipY) << QPointF(x + StemWidth, baseY);
        break;
    case Stem::RightEdge:
        stem << QPointF(x - StemWidth, baseY) << QPointF(x, tipY) << QPointF(x, baseY);
        break;
    case Stem::Centred:
        stem << QPointF(x - StemWidth / 2.0, baseY) << QPointF(x, tipY)
             << QPointF(x + StemWidth / 2.0, baseY);
        break;
    }
    QPainterPath stemPath;
    stemPath.addPolygon(stem);
    stemPath.closeSubpath();
    return path.united(stemPath).simplified();
}

void CTooltipWindow::paintEvent(QPaintEvent *) {
    if (!m_layoutValid)
        return;
    QPainter p(this);
    const QColor back = backColor();
    const QColor fore = foreColor();
    const QColor border = mix(fore, back, 0.55);
    const int pad = m_balloon ? BalloonPadding : Padding;
    if (m_balloon) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(border, 1));
        p.setBrush(back);
        p.drawPath(outline());
        p.setRenderHint(QPainter::Antialiasing, false);
    } else {
        p.fillRect(rect(), back);
        p.setPen(border);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

    const QPoint origin = m_body.topLeft() + QPoint(pad, pad);
    int y = origin.y();
    p.setPen(fore);
    if (m_content.titleLine) {
        int x = origin.x();
        const QIcon icon = titleIcon();
        if (!icon.isNull()) {
            icon.paint(&p, QRect(x, y + (m_titleHeight - IconSize) / 2, IconSize, IconSize));
            x += IconSize + IconGap;
        }
        if (!m_content.title.isEmpty()) {
            QFont titleFont = font();
            titleFont.setBold(true);
            p.setFont(titleFont);
            const QFontMetrics fm(titleFont);
            // QRect::right() is one pixel short of the body's edge.
            const int room = m_body.x() + m_body.width() - pad - x;
            const QString shown = fm.elidedText(m_content.title, Qt::ElideRight, room);
            m_drawnTitle = shown;
            p.drawText(QRect(x, y, room, m_titleHeight),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
            p.setFont(font());
        }
        y += m_titleHeight + TitleGap;
    }
    const QPointF textOrigin(origin.x(), y);
    for (int i = 0; i < m_lineCount; ++i) {
        const QTextLine line = m_layout.lineAt(i);
        if (m_truncated && i == m_lineCount - 1) {
            const QString rest =
                m_layout.text().mid(line.textStart(), line.textLength()).trimmed() + QChar(0x2026);
            const QFontMetrics fm(font());
            const QString shown = fm.elidedText(rest, Qt::ElideRight, MaxTextWidth);
            p.drawText(textOrigin + QPointF(0, line.y() + line.ascent()), shown);
        } else {
            line.draw(&p, textOrigin);
        }
    }
}

// ---------------------------------------------------------------- CTooltip

CTooltip::CTooltip() = default;

CTooltip::~CTooltip() {
    Destroy();
}

QColor CTooltip::colorFromColorRef(int color) {
    if (color == 0)
        return {};
    const auto v = quint32(color);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

CTooltipWindow::Content CTooltip::content() const {
    CTooltipWindow::Content c;
    c.title = m_title;
    c.icon = m_icon;
    c.titleLine = !m_title.isEmpty() || m_icon != 0;
    c.text = m_tipText;
    c.foreColor = m_foreColor;
    c.backColor = m_backColor;
    c.centered = m_centered;
    // Negative times mean the defaults, as with the system's tips.
    c.visibleTime = m_visibleTime < 0 ? DefaultVisibleTime : m_visibleTime;
    c.delayTime = m_delayTime < 0 ? DefaultDelayTime : m_delayTime;
    return c;
}

void CTooltip::setStyle(int style) {
    m_style = style;
}

void CTooltip::setCentered(bool centered) {
    m_centered = centered;
}

void CTooltip::setVisibleTime(int ms) {
    m_visibleTime = ms;
}

void CTooltip::setDelayTime(int ms) {
    m_delayTime = ms;
}

void CTooltip::setIcon(int icon) {
    m_icon = icon;
    // A live tip takes a new title line only when both parts are given.
    if (m_tip && !m_title.isEmpty() && m_icon != 0)
        m_tip->setTitleLine(m_title, m_icon);
}

void CTooltip::setTitle(const QString &title) {
    m_title = title;
    if (m_tip && !m_title.isEmpty() && m_icon != 0)
        m_tip->setTitleLine(m_title, m_icon);
}

void CTooltip::setForeColor(int color) {
    m_foreColor = color;
    if (m_tip)
        m_tip->setForeColor(color);
}

void CTooltip::setBackColor(int color) {
    m_backColor = color;
    if (m_tip)
        m_tip->setBackColor(color);
}

void CTooltip::setTipText(const QString &text) {
    m_tipText = text;
    if (m_tip)
        m_tip->setText(text);
}

void CTooltip::Destroy() {
    CTooltipWindow *tip = m_tip;
    m_tip = nullptr;
    releaseTipWindow(tip);
}

void CTooltip::Create(QWidget *parent) {
    Destroy();
    m_parent = parent;
    if (!QCoreApplication::instance())
        return;
    const CTooltipWindow::Content wanted = content();
    const bool balloon = m_style == 1;

    if (parent && s_handoff && s_handoff->toolWindow() == parent && s_handoff->isBalloon() == balloon &&
        s_handoff->isVisible() && parent->isVisible() && parent->underMouse()) {
        CTooltipWindow *tip = s_handoff;
        s_handoff = nullptr;
        CTooltipWindow::Content shown = tip->content();
        shown.visibleTime = wanted.visibleTime;
        shown.delayTime = wanted.delayTime;
        const bool sameLook = shown == wanted;
        tip->setContent(wanted);
        // The same content keeps its place and its remaining time; a new one
        // points at the mouse and gets the whole visible time.
        if (!sameLook)
            tip->popUp(TipWatcher::instance()->pointerPos());
        m_tip = tip;
        return;
    }

    m_tip = new CTooltipWindow(parent, balloon, wanted);
    m_tip->armIfUnderMouse();
}
