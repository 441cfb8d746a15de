#include "quick_list/QuickListWindow.h"

#include "LibraryStore.h"
#include "Program.h"
#include "RecordLoader.h"
#include "Settings.h"
#include "common/BalloonTip.h"
#include "common/ClickLabel.h"
#include "common/MessageBoxes.h"
#include "common/OutsideClick.h"
#include "common/WindowPlacement.h"
#include "quick_list/ListActions.h"
#include "quick_list/ListMenu.h"
#include "quick_list/QuickListInput.h"
#include "quick_list/QuickListModels.h"
#include "quick_list/RowPlace.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <utility>

QuickListWindow::QuickListWindow(Settings &settings, const LibraryStore &library, RecordLoader &loader,
                                 QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_settings(settings),
      m_feed(new QuickListFeed(settings, library, loader, this)),
      m_recordModel(new RecordListModel(&m_feed->rows(), this)), m_categoryModel(new CategoryListModel(this)),
      m_ui(this, m_recordModel, m_categoryModel), m_input(new QuickListInput(m_ui, *m_feed, this)),
      m_outsideClicks(new OutsideClickWatch(this, [this] { return !isHeld() && m_closesItself && !m_executing; })) {
    connect(m_feed, &QuickListFeed::rowsAboutToChange, this, &QuickListWindow::rowsAboutToChange);
    connect(m_feed, &QuickListFeed::rowsChanged, this, &QuickListWindow::rowsChanged);
    connect(m_feed, &QuickListFeed::categoriesRead, this, &QuickListWindow::categoriesRead);
    connect(m_feed, &QuickListFeed::waitingChanged, this, &QuickListWindow::showWaiting);
    connect(m_feed, &QuickListFeed::caughtUp, m_input, &QuickListInput::replay);
    connect(m_feed, &QuickListFeed::readFailed, this,
            [this](StoreError error) { setStatus(messages::describeReadFailure(error)); });
    connectControls();
    m_actions = new ListActions(library, *m_feed, this, [this] { return keepOpen(); });
    connect(m_listMenu, &ListMenu::chosen, m_actions, &ListActions::act);
    connect(m_actions, &ListActions::status, this, &QuickListWindow::setStatus);
    connect(m_actions, &ListActions::editRequested, this, &QuickListWindow::editRequested);
    connect(m_actions, &ListActions::editTeamRequested, this, &QuickListWindow::editTeamRequested);
    // The status line says while the team library is offline, and since when.
    const auto showTeamNotice = [this, usual = m_ui.statusLabel->text()](const QString &notice) {
        if (!notice.isEmpty() || m_ui.statusLabel->text().startsWith(QStringLiteral("团队文本库离线")))
            setStatus(notice.isEmpty() ? usual : notice);
    };
    connect(m_feed, &QuickListFeed::teamNoticeChanged, this, showTeamNotice);
    showTeamNotice(m_feed->teamNotice());
    m_feed->open();
    m_closesItself = m_settings.value(setting::ListClosesItself);
    if (!m_closesItself)
        placement::setTopMost(this);
    m_outsideClicks->start();
}

QuickListWindow::~QuickListWindow() = default;

void QuickListWindow::setOwnIconTest(std::function<bool(const QPoint &)> test) {
    // A press on the program's own icon opens or moves this list: no outside click.
    m_outsideClicks->setExempt(std::move(test));
}

void QuickListWindow::connectControls() {
    m_balloon = new BalloonTipWindow(m_ui.recordList->viewport());
    m_listMenu = new ListMenu(this);
    connect(m_ui.closeLabel, &ClickLabel::clicked, this, &QWidget::close);
    connect(m_ui.addLabel, &ClickLabel::clicked, this, &QuickListWindow::addRequested);
    connect(m_ui.aboutLabel, &ClickLabel::clicked, this, &QuickListWindow::aboutRequested);
    connect(m_outsideClicks, &OutsideClickWatch::pressedOutside, this, &QWidget::close);
    connect(m_ui.searchBox, &QLineEdit::textChanged, this, &QuickListWindow::searchChanged);
    connect(m_ui.categoryList, &QTableView::clicked, this,
            [this](const QModelIndex &index) { showCategory(index.row()); });
    connect(m_input, &QuickListInput::hovered, this, &QuickListWindow::hoverOver);
    connect(m_input, &QuickListInput::released, this, &QuickListWindow::releasedOver);
    connect(m_input, &QuickListInput::doubleClicked, this, &QuickListWindow::doubleClicked);
    connect(m_input, &QuickListInput::menuRequested, this, &QuickListWindow::openMenu);
    connect(m_input, &QuickListInput::executeRequested, this, &QuickListWindow::executeSelected);
    connect(m_input, &QuickListInput::escapePressed, this, &QuickListWindow::escapePressed);
    setTabOrder(m_ui.searchBox, m_ui.recordList);
}

QuickListWindow::Hold QuickListWindow::keepOpen() {
    if (m_holds++ == 0)
        m_feed->setHeld(true);
    removeBalloon();
    return Hold(nullptr, [window = QPointer<QuickListWindow>(this)](const void *) {
        if (window && --window->m_holds == 0)
            window->m_feed->setHeld(false);
    });
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
    if (change == QuickListFeed::Change::Grown)
        m_placeBeforeGrowing = RowPlace::of(*m_ui.recordList, *m_feed);
    m_recordModel->beginRefill();
}

void QuickListWindow::rowsChanged(QuickListFeed::Change change, int row) {
    m_recordModel->endRefill();
    if (change == QuickListFeed::Change::Grown)
        m_placeBeforeGrowing.restore(*m_ui.recordList, *m_feed);
    else
        selectListRow(*m_ui.recordList, row);
}

void QuickListWindow::categoriesRead(const QStringList &names, const QString &shown) {
    m_categoryModel->setNames(names);
    if (!shown.isEmpty())
        m_categoryModel->setHighlighted(int(names.indexOf(shown)));
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

void QuickListWindow::hoverOver(const QModelIndex &index) {
    if (isHeld() || m_recordModel->rowCount() == 0 || !index.isValid())
        return;
    m_hoverColumn = index.column();
    if (selectedRow() != index.row()) {
        // Hovering selects without scrolling the list under the mouse.
        m_ui.recordList->setAutoScroll(false);
        selectListRow(*m_ui.recordList, index.row());
        m_ui.recordList->setAutoScroll(true);
    }
    showBalloon(m_hoverColumn == RecordListModel::DetailColumn ? 100 : 2000);
}

void QuickListWindow::releasedOver(Qt::MouseButton button, const QModelIndex &index, const QPoint &globalPos) {
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
    if (button == Qt::LeftButton && index.isValid()) {
        m_hoverColumn = index.column();
        if (m_hoverColumn == RecordListModel::DetailColumn) {
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
    const QString lastUsed = rows.lastUsedEntry(row);

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

void QuickListWindow::openMenu(const QPoint &globalPos) {
    const auto target = ListMenu::targetOf(m_feed->rows(), selectedRow());
    // The list keeps still while the menu is open; a menu closed without a
    // choice (Esc, a click elsewhere) gives it back at once.
    auto hold = std::make_shared<Hold>(keepOpen());
    connect(
        m_listMenu, &QMenu::aboutToHide, this, [hold] { hold->reset(); }, Qt::SingleShotConnection);
    m_listMenu->popupFor(target, globalPos);
}

void QuickListWindow::closeEvent(QCloseEvent *event) {
    m_outsideClicks->stop();
    removeBalloon();
    QWidget::closeEvent(event);
}

void QuickListWindow::keyPressEvent(QKeyEvent *event) {
    if (!m_input->handleKey(event))
        QWidget::keyPressEvent(event);
}

void QuickListWindow::escapePressed(quint64 timestamp) {
    // An Esc pressed before the hotkey that brought the list up closed the
    // list shown then; the call-up that followed opens it again.
    const bool beforeCallUp = m_calledUpAt != 0 && timestamp != 0 && timestamp < m_calledUpAt;
    close();
    if (beforeCallUp)
        emit closedBeforeCallUp();
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
