#include "quick_list/QuickListInput.h"

#include "quick_list/QuickListControls.h"
#include "quick_list/QuickListFeed.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableView>

QuickListInput::QuickListInput(const QuickListControls &ui, QuickListFeed &feed, QObject *parent)
    : QObject(parent), m_ui(ui), m_feed(feed) {
    m_ui.searchBox->installEventFilter(this);
    m_ui.recordList->installEventFilter(this);
    m_ui.recordList->viewport()->installEventFilter(this);
}

bool QuickListInput::handleKey(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        emit escapePressed(event->timestamp());
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_feed.isWaiting())
            m_feed.keepKey(event->key());
        else
            emit executeRequested();
        return true;
    default:
        return false;
    }
}

void QuickListInput::replay(const QList<int> &keys) {
    for (const int key : keys) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        if (!handleKey(&press))
            QCoreApplication::sendEvent(m_ui.recordList, &press);
    }
}

bool QuickListInput::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_ui.recordList->viewport())
        return viewportEvent(event);
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == m_ui.recordList)
            return handleKey(key);
        if (watched == m_ui.searchBox)
            return searchBoxKey(key);
    } else if (watched == m_ui.recordList && event->type() == QEvent::ContextMenu) {
        if (static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
            keyboardMenu();
            return true;
        }
    } else if (watched == m_ui.searchBox && event->type() == QEvent::MouseButtonDblClick) {
        // A double-click clears the search: back to "常用".
        if (!m_ui.searchBox->text().isEmpty())
            m_ui.searchBox->clear();
        return true;
    }
    return false;
}

bool QuickListInput::viewportEvent(QEvent *event) {
    QWidget *viewport = m_ui.recordList->viewport();
    switch (event->type()) {
    case QEvent::MouseMove:
        emit hovered(m_ui.recordList->indexAt(static_cast<QMouseEvent *>(event)->position().toPoint()));
        return false;
    case QEvent::MouseButtonRelease: {
        auto *e = static_cast<QMouseEvent *>(event);
        // The list finishes its own handling of the release first.
        viewport->removeEventFilter(this);
        QCoreApplication::sendEvent(viewport, event);
        viewport->installEventFilter(this);
        emit released(e->button(), m_ui.recordList->indexAt(e->position().toPoint()),
                      e->globalPosition().toPoint());
        return true;
    }
    case QEvent::MouseButtonDblClick:
        emit doubleClicked();
        return false;
    case QEvent::ContextMenu:
        // The mouse's menu comes with the right button's release.
        return static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Mouse;
    default:
        return false;
    }
}

bool QuickListInput::searchBoxKey(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (m_feed.isWaiting())
            m_feed.keepKey(event->key());
        else
            QCoreApplication::sendEvent(m_ui.recordList, event);
        return true;
    default:
        return handleKey(event);
    }
}

void QuickListInput::keyboardMenu() {
    const QTableView *list = m_ui.recordList;
    const QRect cell =
        list->currentIndex().isValid() ? list->visualRect(list->currentIndex()) : list->viewport()->rect();
    emit menuRequested(list->viewport()->mapToGlobal(cell.center()));
}
