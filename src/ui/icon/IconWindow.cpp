#include "icon/IconWindow.h"

#include "Program.h"
#include "Settings.h"
#include "common/MessageBoxes.h"
#include "common/Picture.h"
#include "common/WindowPlacement.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>

namespace {

QString helpNotice() {
    const QString br = QStringLiteral("\r\n");
    return QStringLiteral("功能介绍:") + br + br +
           QStringLiteral(" 该工具可以收藏经常要使用的文本，方便后续使用。") + br +
           QStringLiteral(" 1、新增方法： ") + br +
           QStringLiteral("         方法1： 复制文本后，按快捷键[新增文本] 默认快捷键Ctrl+E") + br +
           QStringLiteral("         方法2： 复制文本后，直接双击小图标") + br +
           QStringLiteral("         方法3： 把文本直接拖到小图标处") + br + br +
           QStringLiteral(
               " 2、导出的方法：在任何可粘贴的地方，按快捷键可以快速调用菜单实现快速导出收藏的文本") +
           br + br + QStringLiteral(" 3、编辑的方法：单击小图标，弹出已收藏列表，右键列表可以编辑      ") +
           br + br + QStringLiteral("您还未添加常用的文本！！！");
}

} // namespace

IconWindow::IconWindow(Settings &settings, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_settings(settings), m_picture(new QLabel(this)) {
    setWindowTitle(program::Name);
    // The drawing at 48 pixels gives the window its size and shape; the one
    // shown suits the screen's device pixel ratio.
    const QPixmap picture(QStringLiteral(":/vemo/picture.png"));
    m_picture->setPixmap(picture::program().pixmap(picture.size(), devicePixelRatioF()));
    m_picture->setFixedSize(picture.size());
    m_picture->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setFixedSize(m_picture->size());
    // The picture's rounded corners are cut out of the window itself, which
    // needs no compositing manager.
    setMask(picture.mask());
    setAcceptDrops(true);
    placement::setTopMost(this);
    m_helpNotice.setSingleShot(true);
    connect(&m_helpNotice, &QTimer::timeout, this, [this] { messages::tip(this, m_noticeText); });
}

void IconWindow::restorePlace() {
    // A place saved on a larger or another screen, or any number a hand-edited
    // file holds, is pulled back onto the screens.
    placement::restore(this, m_settings.value(setting::IconLeft), m_settings.value(setting::IconTop));
}

void IconWindow::scheduleHelpNotice() {
    scheduleNotice(helpNotice());
}

void IconWindow::scheduleNotice(const QString &text) {
    // Shown at once, the box would swallow the second click of a
    // double-click, the very road to a first record that the notice recommends.
    m_noticeText = text;
    m_helpNotice.start(QApplication::doubleClickInterval());
}

void IconWindow::cancelHelpNotice() {
    m_helpNotice.stop();
}

// A press starts the drag at once, whatever the button; what the press was
// (a drag, a click, a right click) is known when the button is released.
void IconWindow::mousePressEvent(QMouseEvent *event) {
    m_pressedButton = event->button();
    // Where the press found the window: a window manager that moved the
    // window since (after the start, say) makes no drag of this click.
    m_placeAtPress = QPoint(twips::left(this), twips::top(this));
    placement::startDrag(this, event->globalPosition().toPoint());
}

void IconWindow::mouseMoveEvent(QMouseEvent *event) {
    if (event->buttons() & Qt::LeftButton)
        placement::startDrag(this, event->globalPosition().toPoint());
}

void IconWindow::mouseReleaseEvent(QMouseEvent *event) {
    // Only the release that ends a press handled above; the second release of
    // a double-click belongs to the double-click.
    if (m_pressedButton == Qt::NoButton || event->button() != m_pressedButton)
        return;
    const Qt::MouseButton button = m_pressedButton;
    m_pressedButton = Qt::NoButton;
    placement::stopDrag();
    if (twips::left(this) != m_placeAtPress.x()) {
        // A drag: the place is kept for the next start. A purely vertical
        // move counts as a click and is not kept.
        m_settings.setValue(setting::IconLeft, twips::left(this));
        m_settings.setValue(setting::IconTop, twips::top(this));
    } else if (button == Qt::RightButton) {
        emit menuRequested(QCursor::pos());
    } else if (button == Qt::LeftButton) {
        emit clicked();
    }
}

void IconWindow::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

void IconWindow::dragEnterEvent(QDragEnterEvent *event) {
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void IconWindow::dropEvent(QDropEvent *event) {
    if (!event->mimeData()->hasText())
        return;
    event->acceptProposedAction();
    const QString text = event->mimeData()->text();
    if (!text.isEmpty())
        emit textDropped(text);
}
