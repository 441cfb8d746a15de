#include "quick_list/QuickListWindow.h"

#include "LibraryStore.h"
#include "Program.h"
#include "RecordLoader.h"
#include "Settings.h"
#include "common/BalloonTip.h"
#include "common/ClickLabel.h"
#include "common/MessageBoxes.h"
#include "common/WindowPlacement.h"
#include "platform.h"
#include "quick_list/ListActions.h"
#include "quick_list/ListMenu.h"
#include "quick_list/QuickListModels.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <utility>

namespace {
// Outside clicks are looked for this often.
constexpr int OutsideCheckMs = 100;
} // namespace

QuickListWindow::QuickListWindow(Settings &settings, const LibraryStore &library, RecordLoader &loader,
                                 QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_settings(settings),
      m_feed(new QuickListFeed(settings, library, loader, this)),
      m_recordModel(new RecordListModel(&m_feed->rows(), this)), m_categoryModel(new CategoryListModel(this)),
      m_ui(this, m_recordModel, m_categoryModel) {
    connect(m_feed, &QuickListFeed::rowsAboutToChange, this, &QuickListWindow::rowsAboutToChange);
    connect(m_feed, &QuickListFeed::rowsChanged, this, &QuickListWindow::rowsChanged);
    connect(m_feed, &QuickListFeed::categoriesRead, this, &QuickListWindow::categoriesRead);
    connect(m_feed, &QuickListFeed::waitingChanged, this, &QuickListWindow::showWaiting);
    connect(m_feed, &QuickListFeed::caughtUp, this, &QuickListWindow::caughtUp);
    connect(m_feed, &QuickListFeed::readFailed, this,
            [this](StoreError error) { setStatus(messages::describeReadFailure(error)); });
    connectControls();
    m_actions = new ListActions(library, *m_feed, this, [this] { return keepOpen(); });
    connect(m_listMenu, &ListMenu::chosen, m_actions, &ListActions::act);
    connect(m_actions, &ListActions::status, this, &QuickListWindow::setStatus);
    connect(m_actions, &ListActions::editRequested, this, &QuickListWindow::editRequested);
    m_feed->open();
    m_closesItself = m_settings.value(setting::ListClosesItself);
    if (!m_closesItself)
        placement::setTopMost(this);
    m_outsideCheck.start(OutsideCheckMs);
}

QuickListWindow::~QuickListWindow() = default;

void QuickListWindow::connectControls() {
    m_balloon = new BalloonTipWindow(m_ui.recordList->viewport());
    m_listMenu = new ListMenu(this);
    connect(m_ui.closeLabel, &ClickLabel::clicked, this, &QWidget::close);
    connect(m_ui.addLabel, &ClickLabel::clicked, this, &QuickListWindow::addRequested);
    connect(m_ui.aboutLabel, &ClickLabel::clicked, this, &QuickListWindow::aboutRequested);
    connect(&m_outsideCheck, &QTimer::timeout, this, &QuickListWindow::checkOutsideClick);
    connect(m_ui.searchBox, &QLineEdit::textChanged, this, &QuickListWindow::searchChanged);
    connect(m_ui.categoryList, &QTableView::clicked, this,
            [this](const QModelIndex &index) { showCategory(index.row()); });

    m_ui.searchBox->installEventFilter(this);
    m_ui.recordList->installEventFilter(this);
    m_ui.recordList->viewport()->installEventFilter(this);
    setTabOrder(m_ui.searchBox, m_ui.recordList);
}

QuickListWindow::Hold QuickListWindow::keepOpen() {
    if (m_holds++ == 0)
        m_feed->setHeld(true);
    removeBalloon();
    return Hold(nullptr, [window = QPointer<QuickListWindow>(this)](const void *) {
        if (window && --window->m_holds == 0)
            window->released();
    });
}

void QuickListWindow::released() {
    m_feed->setHeld(false);
}

void QuickListWindow::fitTo(const QScreen *screen) {
    m_ui.fitTo(screen);
}

void QuickListWindow::placeAtRightEdge() {
    // The screen the user clicked on: the icon's, or the notification area's.
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    fitTo(screen);
    const QRect area = screen->geometry();
    twips::move(this, twips::fromPx(area.x() + area.width()) - twips::width(this),
                twips::fromPx(area.y()) + 3000);
    placement::keepInside(this, screen->availableGeometry());
}

void QuickListWindow::placeAt(const QPoint &globalPos) {
    QScreen *screen = QGuiApplication::screenAt(globalPos);
    fitTo(screen ? screen : QGuiApplication::primaryScreen());
    twips::move(this, twips::fromPx(globalPos.x()), twips::fromPx(globalPos.y()));
    placement::keepOnScreen(this);
    if (screen)
        placement::keepInside(this, screen->availableGeometry());
}

void QuickListWindow::present() {
    show();
    raise();
    // Activated once shown, never before: a window made active while still
    // hidden is handed to the window manager as an ordinary window when it
    // appears (Wine does so), and a manager that guards the focus against
    // newcomers (openbox) then leaves the keys with nobody. Shown first, the
    // list takes the foreground by the right the hotkey's message grants.
    activateWindow();
}

void QuickListWindow::libraryChanged() {
    m_feed->reload();
    m_feed->refill();
}

void QuickListWindow::rowsAboutToChange(QuickListFeed::Change change) {
    removeBalloon();
    if (change == QuickListFeed::Change::Grown) {
        // The selection and the scrolling are kept by the record.
        const SearchFilter &rows = m_feed->rows();
        const int row = selectedRow();
        const QModelIndex top = m_ui.recordList->indexAt(QPoint(0, 0));
        m_beforeGrowing = {row,
                           rows.isLastUsedRow(row),
                           rows.text(row, col::Id),
                           m_ui.recordList->verticalScrollBar()->value(),
                           top.row(),
                           rows.text(top.row(), col::Id)};
    }
    m_recordModel->beginRefill();
}

void QuickListWindow::rowsChanged(QuickListFeed::Change change, int row) {
    m_recordModel->endRefill();
    if (change != QuickListFeed::Change::Grown) {
        selectRow(row);
        return;
    }
    const View &before = m_beforeGrowing;
    const SearchFilter &rows = m_feed->rows();
    if (before.row >= 0)
        selectRow(before.lastUsed ? 0 : m_feed->rowShowing(before.id));
    else
        selectRow(0);
    const int topRow = before.top >= 0 ? m_feed->rowShowing(before.topId) : -1;
    if (topRow >= 0 && !(before.top == 0 && rows.isLastUsedRow(0)))
        m_ui.recordList->scrollTo(m_recordModel->index(topRow, col::Title), QAbstractItemView::PositionAtTop);
    else
        m_ui.recordList->verticalScrollBar()->setValue(before.scrolled);
}

void QuickListWindow::categoriesRead(const QStringList &names, bool commonShown) {
    m_categoryModel->setNames(names);
    if (commonShown)
        m_categoryModel->setHighlighted(0);
}

void QuickListWindow::caughtUp(const QList<int> &keys) {
    // The keys pressed meanwhile act on the rows they were meant for.
    for (const int key : keys) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            handleKey(&press);
        else
            QCoreApplication::sendEvent(m_ui.recordList, &press);
    }
}

void QuickListWindow::showWaiting(bool waiting) {
    if (waiting && !m_statusBeforeWaiting) {
        m_statusBeforeWaiting = m_ui.statusLabel->text();
        setStatus(QStringLiteral("正在读取文本库，请稍候…"));
    } else if (!waiting && m_statusBeforeWaiting) {
        setStatus(*std::exchange(m_statusBeforeWaiting, std::nullopt));
    }
}

int QuickListWindow::selectedRow() const {
    const QModelIndex current = m_ui.recordList->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void QuickListWindow::selectRow(int row) {
    if (row < 0 || row >= m_recordModel->rowCount())
        return;
    m_ui.recordList->selectionModel()->setCurrentIndex(m_recordModel->index(row, col::Title),
                                                       QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
}

void QuickListWindow::setStatus(const QString &text) {
    m_ui.statusLabel->setText(text);
}

void QuickListWindow::searchChanged() {
    if (!m_ui.searchBox->text().isEmpty()) {
        // An invalid pattern leaves the list nearly empty; no message.
        m_feed->search(m_ui.searchBox->text());
        // During a search no category is highlighted.
        m_categoryModel->setHighlighted(-1);
    } else {
        // Back to "常用", and the highlight says so.
        m_feed->showCategory(CommonFlag);
        m_categoryModel->setHighlighted(0);
    }
}

void QuickListWindow::showCategory(int row) {
    if (row < 0 || row >= m_categoryModel->rowCount())
        return;
    m_feed->showCategory(m_categoryModel->names().at(row));
    m_categoryModel->setHighlighted(row);
    m_ui.categoryList->setToolTip(m_categoryModel->names().at(row));
}

void QuickListWindow::hoverOver(const QPoint &pos) {
    if (isHeld() || m_recordModel->rowCount() == 0)
        return;
    const QModelIndex index = m_ui.recordList->indexAt(pos);
    if (!index.isValid())
        return;
    m_hoverColumn = index.column();
    if (selectedRow() != index.row()) {
        // Hovering selects without scrolling the list under the mouse.
        m_ui.recordList->setAutoScroll(false);
        selectRow(index.row());
        m_ui.recordList->setAutoScroll(true);
    }
    showBalloon(m_hoverColumn == col::Detail ? 100 : 2000);
}

void QuickListWindow::releasedOver(Qt::MouseButton button, const QPoint &pos, const QPoint &globalPos) {
    if (button == Qt::RightButton) {
        // The menu opens without rows too: a library that could not be
        // read can still be backed up.
        openMenu(globalPos);
        return;
    }
    // The rows shown are not yet the ones asked for: a click on them would
    // act on another record than the user means.
    if (m_recordModel->rowCount() == 0 || m_feed->isWaiting())
        return;
    if (button == Qt::LeftButton) {
        const QModelIndex index = m_ui.recordList->indexAt(pos);
        if (!index.isValid())
            return;
        m_hoverColumn = index.column();
        if (m_hoverColumn == col::Detail) {
            // The press hid the balloon; a click on "详" brings it back for this row.
            removeBalloon();
            showBalloon(100);
        } else if (m_settings.value(setting::ListClickMode) == choice::ClickExecutes) {
            executeSelected();
        }
    }
}

void QuickListWindow::doubleClicked() {
    if (m_recordModel->rowCount() > 0 && !m_feed->isWaiting() &&
        m_settings.value(setting::ListClickMode) == choice::DoubleClickExecutes)
        executeSelected();
}

void QuickListWindow::showBalloon(int delayMs) {
    const int row = selectedRow();
    if (row < 0)
        return;
    // The balloon of the same row and delay stays: changing it on every
    // pixel of movement would make a shown balloon flicker.
    if (m_balloonRow == row && m_balloonDelay == delayMs)
        return;
    const SearchFilter &rows = m_feed->rows();
    m_balloon->showContent(rows.text(row, col::Title), rows.textPrefix(row, 800), delayMs);
    m_balloonRow = row;
    m_balloonDelay = delayMs;
}

void QuickListWindow::removeBalloon() {
    m_balloon->withdraw();
    m_balloonRow = -1;
}

void QuickListWindow::executeSelected() {
    const int row = selectedRow();
    // A hint row of an empty library is no record: executing it would only
    // wipe the clipboard, which may hold the text the hint asks to add.
    const SearchFilter &rows = m_feed->rows();
    if (row < 0 || rows.isHintRow(row) || m_executing)
        return;
    m_executing = true;
    removeBalloon();
    const QString text = rows.text(row, col::Text);
    QString lastUsed;
    for (int c = col::Title; c <= col::Detail; ++c)
        lastUsed += LastUsedSeparator + rows.text(row, c);

    if (m_closesItself) {
        // The list goes out of the way and control returns to the event loop
        // right after the hand-over, so the target can fetch the text at once;
        // the rest waits until then.
        hide();
        emit entryChosen(text);
        QTimer::singleShot(0, this, [this, lastUsed] {
            m_settings.setValueSoon(setting::LastUsedEntry, lastUsed);
            m_executing = false;
            close();
        });
        return;
    }
    QGuiApplication::clipboard()->setText(text);
    setStatus(QStringLiteral("当前点击的内容已复制"));
    m_settings.setValue(setting::LastUsedEntry, lastUsed);
    m_executing = false;
}

void QuickListWindow::checkOutsideClick() {
    if (isHeld() || !m_closesItself || m_executing || !isVisible())
        return;
    if (!platform::current().keyIsDown(platform::vk::LeftButton))
        return;
    const QPoint pos = QCursor::pos();
    // The outer frame, its outermost pixels included.
    const QRect frame = frameGeometry();
    if (pos.x() >= frame.left() && pos.x() <= frame.left() + frame.width() && pos.y() >= frame.top() &&
        pos.y() <= frame.top() + frame.height())
        return;
    // A press on the program's own icon opens or moves this list: no outside click.
    if (m_isOwnIcon && m_isOwnIcon(pos))
        return;
    close();
}

void QuickListWindow::openMenu(const QPoint &globalPos) {
    // The menu takes the selected row's record; the hint rows of an empty
    // library are no records.
    const SearchFilter &rows = m_feed->rows();
    const int row = selectedRow();
    std::optional<ListMenu::Target> target;
    if (row >= 0 && !rows.isHintRow(row))
        target = ListMenu::Target{rows.text(row, col::Id), rows.text(row, col::Title),
                                  rows.text(row, col::Text), rows.text(row, col::Common) == CommonFlag};
    // The list keeps still while the menu is open; a menu closed without a
    // choice (Esc, a click elsewhere) gives it back at once.
    auto hold = std::make_shared<Hold>(keepOpen());
    connect(
        m_listMenu, &QMenu::aboutToHide, this, [hold] { hold->reset(); }, Qt::SingleShotConnection);
    m_listMenu->popupFor(target, globalPos);
}

void QuickListWindow::closeEvent(QCloseEvent *event) {
    m_outsideCheck.stop();
    removeBalloon();
    QWidget::closeEvent(event);
}

void QuickListWindow::keyPressEvent(QKeyEvent *event) {
    if (!handleKey(event))
        QWidget::keyPressEvent(event);
}

void QuickListWindow::escapePressed(const QKeyEvent *event) {
    // An Esc pressed before the hotkey that brought the list up closed the
    // list shown then; the call-up that followed opens it again.
    const bool beforeCallUp =
        m_calledUpAt != 0 && event->timestamp() != 0 && event->timestamp() < m_calledUpAt;
    close();
    if (beforeCallUp)
        emit closedBeforeCallUp();
}

bool QuickListWindow::handleKey(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        escapePressed(event);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_feed->isWaiting())
            m_feed->keepKey(event->key());
        else
            executeSelected();
        return true;
    default:
        return false;
    }
}

bool QuickListWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_ui.recordList->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove:
            hoverOver(static_cast<QMouseEvent *>(event)->position().toPoint());
            break;
        case QEvent::MouseButtonRelease: {
            auto *e = static_cast<QMouseEvent *>(event);
            // The list finishes its own handling of the release first.
            m_ui.recordList->viewport()->removeEventFilter(this);
            QCoreApplication::sendEvent(m_ui.recordList->viewport(), event);
            m_ui.recordList->viewport()->installEventFilter(this);
            releasedOver(e->button(), e->position().toPoint(), e->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseButtonDblClick:
            doubleClicked();
            break;
        case QEvent::ContextMenu:
            // The mouse's menu comes with the right button's release.
            if (static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Mouse)
                return true;
            break;
        default:
            break;
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == m_ui.recordList)
            return handleKey(key);
        if (watched == m_ui.searchBox) {
            switch (key->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                // The arrows move through the list while the search box keeps the focus.
                if (m_feed->isWaiting())
                    m_feed->keepKey(key->key());
                else
                    QCoreApplication::sendEvent(m_ui.recordList, event);
                return true;
            default:
                return handleKey(key);
            }
        }
    } else if (watched == m_ui.recordList && event->type() == QEvent::ContextMenu) {
        auto *menu = static_cast<QContextMenuEvent *>(event);
        if (menu->reason() == QContextMenuEvent::Keyboard) {
            const QRect cell = selectedRow() >= 0
                                   ? m_ui.recordList->visualRect(m_ui.recordList->currentIndex())
                                   : m_ui.recordList->viewport()->rect();
            openMenu(m_ui.recordList->viewport()->mapToGlobal(cell.center()));
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

void QuickListWindow::mousePressEvent(QMouseEvent *event) {
    // The window is dragged by its background.
    placement::startDrag(this, event->globalPosition().toPoint());
    QWidget::mousePressEvent(event);
}

void QuickListWindow::mouseMoveEvent(QMouseEvent *event) {
    if (event->buttons().testFlag(Qt::LeftButton))
        placement::startDrag(this, event->globalPosition().toPoint());
    QWidget::mouseMoveEvent(event);
}

void QuickListWindow::paintEvent(QPaintEvent *event) {
    QWidget::paintEvent(event);
    m_ui.paintFrame();
}

void QuickListWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    m_feed->start();
    // Opened by the hotkey the user types at once: the search box takes the
    // keys. The event comes before the window is on the screen: present()
    // activates it afterwards.
    m_ui.searchBox->setFocus(Qt::ActiveWindowFocusReason);
}
