#include "common/BalloonTip.h"

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
#include <cmath>

namespace {

constexpr int VisibleTime = 5000; // how long a balloon stays up
constexpr int MaxTextWidth = 400; // text wraps at this width
constexpr int MinBodyWidth = 48;
constexpr int Padding = 10; // inside the body, around the content
constexpr int Radius = 8;   // rounded corners
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

BalloonTipWindow::BalloonTipWindow(QWidget *tool, const QString &title, const QString &text, int delayMs)
    : QWidget(tool, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                        Qt::WindowDoesNotAcceptFocus),
      m_tool(tool), m_title(title), m_text(text), m_delayMs(delayMs) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setFont(QToolTip::font());
    if (m_tool)
        m_tool->installEventFilter(this);
}

BalloonTipWindow::~BalloonTipWindow() = default;

void BalloonTipWindow::showContent(const QString &title, const QString &text, int delayMs) {
    const bool same = isVisible() && title == m_title && text == m_text;
    setContent(title, text, delayMs);
    // Up already: the same content keeps its place and its remaining time;
    // a new one points at the pointer and gets the whole visible time.
    if (isVisible()) {
        if (!same)
            popUp(m_pointer.isNull() ? QCursor::pos() : m_pointer);
    } else {
        armIfUnderMouse();
    }
}

void BalloonTipWindow::withdraw() {
    m_delay.stop();
    setContent(QString(), QString(), 0);
    popDown(false);
    m_dismissed = false;
}

void BalloonTipWindow::setContent(const QString &title, const QString &text, int delayMs) {
    m_delayMs = delayMs;
    if (title == m_title && text == m_text)
        return;
    m_title = title;
    m_text = text;
    contentChanged();
}

void BalloonTipWindow::contentChanged() {
    m_layoutValid = false;
    if (!isVisible())
        return; // laid out when it shows
    if (m_text.isEmpty()) {
        popDown(false);
        return;
    }
    // A balloon that is up keeps pointing where it pointed and takes its new size there.
    place(anchorFor(m_lastCursor));
    update();
}

bool BalloonTipWindow::toolUnderMouse() const {
    return m_tool && m_tool->isVisible() && m_tool->underMouse();
}

void BalloonTipWindow::armIfUnderMouse() {
    if (!toolUnderMouse() || m_dismissed || isVisible())
        return;
    m_delay.start(std::max(0, m_delayMs), this);
}

bool BalloonTipWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_tool)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
        m_pointer = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
        break;
    case QEvent::Enter:
        m_pointer = static_cast<QEnterEvent *>(event)->globalPosition().toPoint();
        break;
    default:
        break;
    }
    switch (event->type()) {
    case QEvent::Leave:
    case QEvent::Hide:
        m_delay.stop();
        popDown(false);
        m_dismissed = false;
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
        // Resting is what counts: every move starts the delay again, and a
        // balloon that is up stays where it is. One hidden by a click or by
        // its time comes back after the pointer moved on and rested again
        // (events that repeat the pointer's place are no move).
        if (m_dismissed && QCursor::pos() != m_dismissedAt)
            m_dismissed = false;
        if (!isVisible() && !m_dismissed && !m_text.isEmpty())
            m_delay.start(std::max(0, m_delayMs), this);
        break;
    default:
        break;
    }
    return false;
}

void BalloonTipWindow::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_delay.timerId()) {
        m_delay.stop();
        if (toolUnderMouse() && !m_dismissed)
            popUp(m_pointer.isNull() ? QCursor::pos() : m_pointer);
    } else if (event->timerId() == m_pop.timerId()) {
        popDown(true);
    } else {
        QWidget::timerEvent(event);
    }
}

void BalloonTipWindow::popUp(const QPoint &cursor) {
    m_delay.stop();
    if (!m_tool || m_text.isEmpty()) {
        popDown(false); // like the system's tips, an empty text shows nothing
        return;
    }
    m_lastCursor = cursor;
    place(anchorFor(cursor));
    if (!isVisible())
        show();
    update();
    m_pop.start(VisibleTime, this);
}

void BalloonTipWindow::popDown(bool dismiss) {
    m_pop.stop();
    if (isVisible())
        hide();
    if (dismiss) {
        m_dismissed = true;
        m_dismissedAt = QCursor::pos();
    }
}

BalloonTipWindow::Anchor BalloonTipWindow::anchorFor(const QPoint &cursor) const {
    Anchor a;
    a.x = cursor.x();
    a.below = cursor.y() + CursorGap;
    a.above = cursor.y() - 2;
    const QScreen *screen = QGuiApplication::screenAt(cursor);
    if (!screen)
        screen = m_tool ? m_tool->screen() : QGuiApplication::primaryScreen();
    a.screen = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return a;
}

void BalloonTipWindow::ensureLayout(int maxTextHeight) {
    if (m_layoutValid && m_layoutMaxHeight == maxTextHeight)
        return;
    m_layoutValid = true;
    m_layoutMaxHeight = maxTextHeight;

    const QFont textFont = font();
    QFont titleFont = textFont;
    titleFont.setBold(true);
    m_titleHeight = std::max(IconSize, QFontMetrics(titleFont).height());
    int titleWidth = IconSize;
    if (!m_title.isEmpty())
        // Whole pixels up: the title is elided when its room falls short by a fraction.
        titleWidth += IconGap + int(std::ceil(QFontMetricsF(titleFont).horizontalAdvance(m_title)));
    int width = std::min(titleWidth, MaxTextWidth);

    m_layout.clearLayout();
    m_layout.setText(displayText(m_text));
    m_layout.setFont(textFont);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(QFontMetricsF(textFont).horizontalAdvance(u' ') * 8);
    m_layout.setTextOption(option);
    m_layout.setCacheEnabled(true);

    const int textRoom = maxTextHeight - m_titleHeight - TitleGap;
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
    if (m_text.size() > MaxLaidOutChars && !m_truncated && m_lineCount > 0)
        m_truncated = true;
    if (m_truncated) // room for the ellipsis on the last line
        textWidth = MaxTextWidth;

    width = std::max(width, int(std::ceil(textWidth)));
    m_contentSize = QSize(width, int(std::ceil(y)) + m_titleHeight + TitleGap);
}

void BalloonTipWindow::place(const Anchor &anchor) {
    const int overhead = 2 * Padding + StemHeight;
    // The text may use the larger of the room below and above the anchor.
    const int roomBelow = anchor.screen.bottom() + 1 - anchor.below;
    const int roomAbove = anchor.above + 1 - anchor.screen.top();
    ensureLayout(std::max(std::max(roomBelow, roomAbove) - overhead, 40));

    const int bodyW = std::max(m_contentSize.width() + 2 * Padding, MinBodyWidth);
    const int bodyH = m_contentSize.height() + 2 * Padding;
    const int w = bodyW;
    const int h = bodyH + StemHeight;

    int left = anchor.x - StemInset;
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

    m_body = m_stemUp ? QRect(0, StemHeight, bodyW, bodyH) : QRect(0, 0, bodyW, bodyH);
    const int x = anchor.x - left;
    m_stemAtLeft = x <= bodyW - Radius - StemWidth - 1;
    m_stemX =
        m_stemAtLeft ? std::max(x, Radius + 1) : std::clamp(x, Radius + StemWidth + 1, bodyW - Radius - 1);
    setGeometry(left, top, w, h);
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // An X desktop may have no compositor to make the corners see-through.
        QPainterPathStroker stroker;
        stroker.setWidth(2);
        const QPainterPath path = outline();
        setMask(QRegion(stroker.createStroke(path).united(path).toFillPolygon().toPolygon()));
    }
}

QPainterPath BalloonTipWindow::outline() const {
    QPainterPath path;
    const QRectF body = QRectF(m_body).adjusted(0.5, 0.5, -0.5, -0.5);
    path.addRoundedRect(body, Radius, Radius);
    const qreal tipY = m_stemUp ? 0.5 : height() - 0.5;
    const qreal baseY = m_stemUp ? body.top() + 1 : body.bottom() - 1;
    const qreal x = m_stemX + 0.5;
    QPolygonF stem;
    if (m_stemAtLeft)
        stem << QPointF(x, baseY) << QPointF(x, tipY) << QPointF(x + StemWidth, baseY);
    else
        stem << QPointF(x - StemWidth, baseY) << QPointF(x, tipY) << QPointF(x, baseY);
    QPainterPath stemPath;
    stemPath.addPolygon(stem);
    stemPath.closeSubpath();
    return path.united(stemPath).simplified();
}

void BalloonTipWindow::paintEvent(QPaintEvent *) {
    if (!m_layoutValid)
        return;
    QPainter p(this);
    const QColor back = QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipBase);
    const QColor fore = QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipText);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(mix(fore, back, 0.55), 1));
    p.setBrush(back);
    p.drawPath(outline());
    p.setRenderHint(QPainter::Antialiasing, false);

    const QPoint origin = m_body.topLeft() + QPoint(Padding, Padding);
    int y = origin.y();
    p.setPen(fore);
    int x = origin.x();
    style()
        ->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this)
        .paint(&p, QRect(x, y + (m_titleHeight - IconSize) / 2, IconSize, IconSize));
    x += IconSize + IconGap;
    if (!m_title.isEmpty()) {
        QFont titleFont = font();
        titleFont.setBold(true);
        p.setFont(titleFont);
        const int room = m_body.x() + m_body.width() - Padding - x;
        m_drawnTitle = QFontMetrics(titleFont).elidedText(m_title, Qt::ElideRight, room);
        p.drawText(QRect(x, y, room, m_titleHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   m_drawnTitle);
        p.setFont(font());
    }
    y += m_titleHeight + TitleGap;
    const QPointF textOrigin(origin.x(), y);
    for (int i = 0; i < m_lineCount; ++i) {
        const QTextLine line = m_layout.lineAt(i);
        if (m_truncated && i == m_lineCount - 1) {
            const QString rest =
                m_layout.text().mid(line.textStart(), line.textLength()).trimmed() + QChar(0x2026);
            const QString shown = QFontMetrics(font()).elidedText(rest, Qt::ElideRight, MaxTextWidth);
            p.drawText(textOrigin + QPointF(0, line.y() + line.ascent()), shown);
        } else {
            line.draw(&p, textOrigin);
        }
    }
}
