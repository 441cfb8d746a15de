#include "quick_list/QuickListWindow.h"

#include "LibraryStore.h"
#include "Program.h"
#include "RecordLoader.h"
#include "Settings.h"
#include "common/BalloonTip.h"
#include "common/ClickLabel.h"
#include "common/Fonts.h"
#include "common/MessageBoxes.h"
#include "common/WindowPlacement.h"
#include "platform.h"
#include "quick_list/ListActions.h"
#include "quick_list/ListMenu.h"
#include "quick_list/QuickListModels.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <utility>

namespace {

const QColor WindowColour(64, 64, 64);
const QColor LightGrey(224, 224, 224);
const QColor LabelGrey(192, 192, 192);

void setColours(QWidget *w, const QColor &text, const QColor &background) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::Base, background);
    w->setPalette(p);
}

ClickLabel *clickLabel(const QString &caption, QWidget *parent) {
    auto *label = new ClickLabel(caption, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

// The frame around the search box, drawn by the window itself.
const QRect SearchFrame = twips::rect(1350, 45, 4845, 375);
// Outside clicks are looked for this often.
constexpr int OutsideCheckMs = 100;
// The list's height as designed, and the least it shrinks to on a short screen.
constexpr int DesignHeight = twips::toPx(9645);
constexpr int MinimumHeight = 200;

} // namespace

QuickListWindow::QuickListWindow(Settings &settings, const LibraryStore &library, RecordLoader &loader,
                                 QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_settings(settings),
      m_feed(new QuickListFeed(settings, library, loader, this)) {
    connect(m_feed, &QuickListFeed::rowsAboutToChange, this, &QuickListWindow::rowsAboutToChange);
    connect(m_feed, &QuickListFeed::rowsChanged, this, &QuickListWindow::rowsChanged);
    connect(m_feed, &QuickListFeed::categoriesRead, this, &QuickListWindow::categoriesRead);
    connect(m_feed, &QuickListFeed::waitingChanged, this, &QuickListWindow::showWaiting);
    connect(m_feed, &QuickListFeed::caughtUp, this, &QuickListWindow::caughtUp);
    connect(m_feed, &QuickListFeed::readFailed, this,
            [this](StoreError error) { setStatus(messages::describeReadFailure(error)); });
    createControls();
    setUpLists();
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

void QuickListWindow::createControls() {
    setWindowTitle(program::Name);
    setFixedSize(twips::toPx(6300), DesignHeight);
    setFont(fonts::yaHei(9));
    setAutoFillBackground(true);
    setColours(this, Qt::white, WindowColour);

    m_closeLabel = clickLabel(QStringLiteral("关闭"), this);
    m_closeLabel->setGeometry(twips::rect(20, 20, 975, 375));
    m_closeLabel->setToolTip(QStringLiteral("关闭窗体，快捷键 Esc"));
    setColours(m_closeLabel, Qt::white, WindowColour);

    // The label and the box sit inside the search frame; they are a little
    // taller than drawn in twips so the 9 pt text is not cut off.
    m_searchLabel = new QLabel(QStringLiteral("搜 索"), this);
    m_searchLabel->setGeometry(twips::toPx(1500), SearchFrame.top() + 2, twips::toPx(450) + 6,
                               SearchFrame.height() - 4);
    m_searchLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_searchLabel->setFont(fonts::song(9));
    setColours(m_searchLabel, LabelGrey, WindowColour);

    m_searchBox = new QLineEdit(this);
    m_searchBox->setObjectName(QStringLiteral("searchBox"));
    m_searchBox->setGeometry(twips::toPx(2100), SearchFrame.top() + 2, twips::toPx(3375),
                             SearchFrame.height() - 4);
    m_searchBox->setFrame(false);
    m_searchBox->setFont(fonts::song(9));
    m_searchBox->setToolTip(QStringLiteral("输入内容搜索"));
    setColours(m_searchBox, LightGrey, WindowColour);

    m_aboutLabel = clickLabel(QStringLiteral("Vemo"), this);
    m_aboutLabel->setGeometry(twips::toPx(5640) - 2, SearchFrame.top() + 2, twips::toPx(450) + 4,
                              SearchFrame.height() - 4);
    m_aboutLabel->setFont(fonts::yaHei(9));
    setColours(m_aboutLabel, Qt::white, WindowColour);

    m_categoryList = new QTableView(this);
    m_categoryList->setObjectName(QStringLiteral("categoryList"));
    m_categoryList->setGeometry(twips::rect(60, 435, 1335, 8640));
    m_recordList = new QTableView(this);
    m_recordList->setObjectName(QStringLiteral("recordList"));
    m_recordList->setGeometry(twips::rect(1380, 435, 4815, 8760));

    m_addLabel = clickLabel(QStringLiteral("新 增"), this);
    m_addLabel->setGeometry(twips::rect(60, 9120, 1275, 435));
    m_addLabel->setFont(fonts::yaHei(10.5, true));
    m_addLabel->setToolTip(QStringLiteral("新增文本：先复制后再来点击会自动识别"));
    setColours(m_addLabel, LightGrey, WindowColour);

    m_statusLabel = new QLabel(QStringLiteral("Vemo文本收集器 V2.0"), this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusLabel->setGeometry(twips::rect(1140, 9240, 4935, 315));
    m_statusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setColours(m_statusLabel, LightGrey, WindowColour);

    m_recordModel = new RecordListModel(&m_feed->rows(), this);
    m_categoryModel = new CategoryListModel(this);
    m_recordList->setModel(m_recordModel);
    m_recordList->setItemDelegate(new RecordDelegate(m_recordList));
    m_balloon = new BalloonTipWindow(m_recordList->viewport());
    m_categoryList->setModel(m_categoryModel);
    m_listMenu = new ListMenu(this);

    connect(m_closeLabel, &ClickLabel::clicked, this, &QWidget::close);
    connect(m_addLabel, &ClickLabel::clicked, this, &QuickListWindow::addRequested);
    connect(m_aboutLabel, &ClickLabel::clicked, this, &QuickListWindow::aboutRequested);
    connect(&m_outsideCheck, &QTimer::timeout, this, &QuickListWindow::checkOutsideClick);
    connect(m_searchBox, &QLineEdit::textChanged, this, &QuickListWindow::searchChanged);
    connect(m_categoryList, &QTableView::clicked, this,
            [this](const QModelIndex &index) { showCategory(index.row()); });

    m_searchBox->installEventFilter(this);
    m_recordList->installEventFilter(this);
    m_recordList->viewport()->installEventFilter(this);
    setTabOrder(m_searchBox, m_recordList);
}

void QuickListWindow::setUpLists() {
    const int rowHeight = QFontMetrics(m_recordList->font()).height() + 4;
    for (QTableView *list : {m_recordList, m_categoryList}) {
        list->horizontalHeader()->hide();
        list->verticalHeader()->hide();
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setShowGrid(false);
        list->setWordWrap(false);
        list->setTabKeyNavigation(false);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->horizontalHeader()->setMinimumSectionSize(0);
        // Fixed row heights: no row is measured, whatever the number of records.
        list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        list->verticalHeader()->setDefaultSectionSize(rowHeight);
        list->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    }

    m_recordList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recordList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_recordList->setMouseTracking(true);
    m_recordList->setTextElideMode(Qt::ElideRight);
    QPalette p = m_recordList->palette();
    p.setColor(QPalette::Base, ListBackground);
    p.setColor(QPalette::Text, QApplication::palette().color(QPalette::Text));
    m_recordList->setPalette(p);
    // Only the number, the title and "详" show; the other columns are data.
    static const int widths[col::Count] = {600, 3400, 0, 0, 0, 0, 0, 600};
    for (int c = 0; c < col::Count; ++c) {
        m_recordList->setColumnWidth(c, twips::toPx(widths[c]));
        m_recordList->setColumnHidden(c, widths[c] == 0);
    }
    // The number column holds "最近一次" whole, in any font; the title gives
    // up the room.
    const int numberWidth =
        std::max(twips::toPx(widths[col::Number]),
                 QFontMetrics(m_recordList->font()).horizontalAdvance(LastUsedLabel) + 12);
    m_recordList->setColumnWidth(col::Number, numberWidth);
    m_recordList->setColumnWidth(col::Title,
                                 twips::toPx(widths[col::Number] + widths[col::Title]) - numberWidth);

    m_categoryList->setFrameShape(QFrame::NoFrame);
    m_categoryList->setSelectionMode(QAbstractItemView::NoSelection);
    m_categoryList->setFocusPolicy(Qt::NoFocus);
    m_categoryList->setColumnWidth(0, twips::toPx(1200));
    m_categoryList->setCursor(Qt::PointingHandCursor);
    setColours(m_categoryList, CategoryColour, WindowColour);
    m_categoryList->viewport()->setAutoFillBackground(true);
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
    // A screen shorter than the list (a large scale factor, a small
    // display) gets a shorter rows area; everything else stays whole.
    const int shorter = screen ? std::clamp(DesignHeight - screen->availableGeometry().height(), 0,
                                            DesignHeight - MinimumHeight)
                               : 0;
    setFixedSize(twips::toPx(6300), DesignHeight - shorter);
    m_categoryList->setGeometry(twips::rect(60, 435, 1335, 8640).adjusted(0, 0, 0, -shorter));
    m_recordList->setGeometry(twips::rect(1380, 435, 4815, 8760).adjusted(0, 0, 0, -shorter));
    m_addLabel->setGeometry(twips::rect(60, 9120, 1275, 435).translated(0, -shorter));
    m_statusLabel->setGeometry(twips::rect(1140, 9240, 4935, 315).translated(0, -shorter));
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
    keepInside(screen->availableGeometry());
}

void QuickListWindow::placeAt(const QPoint &globalPos) {
    QScreen *screen = QGuiApplication::screenAt(globalPos);
    fitTo(screen ? screen : QGuiApplication::primaryScreen());
    twips::move(this, twips::fromPx(globalPos.x()), twips::fromPx(globalPos.y()));
    placement::keepOnScreen(this);
    if (screen)
        keepInside(screen->availableGeometry());
}

void QuickListWindow::keepInside(const QRect &area) {
    QRect frame = frameGeometry();
    if (frame.bottom() > area.bottom())
        frame.moveBottom(area.bottom());
    if (frame.right() > area.right())
        frame.moveRight(area.right());
    if (frame.top() < area.top())
        frame.moveTop(area.top());
    if (frame.left() < area.left())
        frame.moveLeft(area.left());
    if (frame.topLeft() != frameGeometry().topLeft())
        move(pos() + frame.topLeft() - frameGeometry().topLeft());
}

void QuickListWindow::present() {
    show();
    raise();
    activateWindow();
}

void QuickListWindow::libraryChanged() {
    m_feed->reload();
    m_feed->showCategory(CommonFlag);
}

void QuickListWindow::rowsAboutToChange(QuickListFeed::Change change) {
    removeBalloon();
    if (change == QuickListFeed::Change::Grown) {
        // The selection and the scrolling are kept by the record.
        const SearchFilter &rows = m_feed->rows();
        const int row = selectedRow();
        const QModelIndex top = m_recordList->indexAt(QPoint(0, 0));
        m_beforeGrowing = {row,
                           rows.isLastUsedRow(row),
                           rows.text(row, col::Id),
                           m_recordList->verticalScrollBar()->value(),
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
        m_recordList->scrollTo(m_recordModel->index(topRow, col::Title), QAbstractItemView::PositionAtTop);
    else
        m_recordList->verticalScrollBar()->setValue(before.scrolled);
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
            QCoreApplication::sendEvent(m_recordList, &press);
    }
}

void QuickListWindow::showWaiting(bool waiting) {
    if (waiting && !m_statusBeforeWaiting) {
        m_statusBeforeWaiting = m_statusLabel->text();
        setStatus(QStringLiteral("正在读取文本库，请稍候…"));
    } else if (!waiting && m_statusBeforeWaiting) {
        setStatus(*std::exchange(m_statusBeforeWaiting, std::nullopt));
    }
}

int QuickListWindow::selectedRow() const {
    const QModelIndex current = m_recordList->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void QuickListWindow::selectRow(int row) {
    if (row < 0 || row >= m_recordModel->rowCount())
        return;
    m_recordList->selectionModel()->setCurrentIndex(m_recordModel->index(row, col::Title),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
}

void QuickListWindow::setStatus(const QString &text) {
    m_statusLabel->setText(text);
}

void QuickListWindow::searchChanged() {
    if (!m_searchBox->text().isEmpty()) {
        // An invalid pattern leaves the list nearly empty; no message.
        m_feed->search(m_searchBox->text());
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
    m_categoryList->setToolTip(m_categoryModel->names().at(row));
}

void QuickListWindow::hoverOver(const QPoint &pos) {
    if (isHeld() || m_recordModel->rowCount() == 0)
        return;
    const QModelIndex index = m_recordList->indexAt(pos);
    if (!index.isValid())
        return;
    m_hoverColumn = index.column();
    if (selectedRow() != index.row()) {
        // Hovering selects without scrolling the list under the mouse.
        m_recordList->setAutoScroll(false);
        selectRow(index.row());
        m_recordList->setAutoScroll(true);
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
        const QModelIndex index = m_recordList->indexAt(pos);
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
    if (watched == m_recordList->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove:
            hoverOver(static_cast<QMouseEvent *>(event)->position().toPoint());
            break;
        case QEvent::MouseButtonRelease: {
            auto *e = static_cast<QMouseEvent *>(event);
            // The list finishes its own handling of the release first.
            m_recordList->viewport()->removeEventFilter(this);
            QCoreApplication::sendEvent(m_recordList->viewport(), event);
            m_recordList->viewport()->installEventFilter(this);
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
        if (watched == m_recordList)
            return handleKey(key);
        if (watched == m_searchBox) {
            switch (key->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                // The arrows move through the list while the search box keeps the focus.
                if (m_feed->isWaiting())
                    m_feed->keepKey(key->key());
                else
                    QCoreApplication::sendEvent(m_recordList, event);
                return true;
            default:
                return handleKey(key);
            }
        }
    } else if (watched == m_recordList && event->type() == QEvent::ContextMenu) {
        auto *menu = static_cast<QContextMenuEvent *>(event);
        if (menu->reason() == QContextMenuEvent::Keyboard) {
            const QRect cell = selectedRow() >= 0 ? m_recordList->visualRect(m_recordList->currentIndex())
                                                  : m_recordList->viewport()->rect();
            openMenu(m_recordList->viewport()->mapToGlobal(cell.center()));
            return true;
        }
    } else if (watched == m_searchBox && event->type() == QEvent::MouseButtonDblClick) {
        // A double-click clears the search: back to "常用".
        if (!m_searchBox->text().isEmpty())
            m_searchBox->clear();
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
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(LightGrey, 1));
    painter.setBrush(Qt::NoBrush);
    // A rounded frame around the search box, a plain one around the window.
    painter.drawRoundedRect(QRectF(SearchFrame).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void QuickListWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    m_feed->start();
    // Opened by the hotkey the user types at once: the search box takes the keys.
    activateWindow();
    raise();
    m_searchBox->setFocus(Qt::ActiveWindowFocusReason);
}
