#include "quick_list/FavList.h"

#include "CTooltip.h"
#include "FMain.h"
#include "MessageBox.h"
#include "Twips.h"
#include "UsedCode.h"
#include "platform.h"
#include "quick_list/ClickLabel.h"
#include "quick_list/Insertion.h"
#include "settings/Settings.h"
#include "store/DataEdit.h"

#include <QApplication>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <algorithm>

using namespace quicklist;

namespace {

const QColor WindowColour(64, 64, 64);
const QColor LightGrey(224, 224, 224);
const QColor LabelGrey(192, 192, 192);
const QString ClickExecutes = QStringLiteral("单击执行");
const QString DoubleClickExecutes = QStringLiteral("双击执行");

// The window's fonts, with the fonts of a Linux desktop behind the Windows
// names so Chinese text finds a face everywhere.
QFont uiFont(const QString &family, double points, bool bold = false) {
    QFont font;
    font.setFamilies({family, QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont yaHei(double points, bool bold = false) {
    return uiFont(QStringLiteral("微软雅黑"), points, bold);
}
QFont song(double points) {
    return uiFont(QStringLiteral("宋体"), points);
}

void setColours(QWidget *w, const QColor &text, const QColor &background) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::Base, background);
    w->setPalette(p);
}

// Shape1 and Shape2 are drawn by the window itself.
const QRect SearchFrame = twips::rect(1350, 45, 4845, 375);

} // namespace

FavList::FavList() : FormBase(nullptr, Qt::Tool | Qt::FramelessWindowHint) {
    createControls();
    Form_Load();
}

FavList::~FavList() = default;

void FavList::createControls() {
    setWindowTitle(QString::fromUtf8(msg::AppTitle));
    setFixedSize(twips::toPx(6300), twips::toPx(9645));
    setFont(yaHei(9));
    setAutoFillBackground(true);
    setColours(this, Qt::white, WindowColour);

    Label4 = new ClickLabel(QStringLiteral("关闭"), this);
    Label4->setGeometry(twips::rect(20, 20, 975, 375));
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setToolTip(QStringLiteral("关闭窗体，快捷键 Esc"));
    Label4->setCursor(Qt::PointingHandCursor);
    setColours(Label4, Qt::white, WindowColour);

    // The label and the box sit inside the search frame; they are a little
    // taller than drawn in twips so the 9 pt text is not cut off.
    Label1 = new QLabel(QStringLiteral("搜 索"), this);
    Label1->setGeometry(twips::toPx(1500), SearchFrame.top() + 2, twips::toPx(450) + 6,
                        SearchFrame.height() - 4);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setFont(song(9));
    setColours(Label1, LabelGrey, WindowColour);

    SearchT = new QLineEdit(this);
    SearchT->setGeometry(twips::toPx(2100), SearchFrame.top() + 2, twips::toPx(3375),
                         SearchFrame.height() - 4);
    SearchT->setFrame(false);
    SearchT->setFont(song(9));
    SearchT->setToolTip(QStringLiteral("输入内容搜索"));
    setColours(SearchT, LightGrey, WindowColour);

    Label3 = new ClickLabel(QStringLiteral("Vemo"), this);
    Label3->setGeometry(twips::toPx(5640) - 2, SearchFrame.top() + 2, twips::toPx(450) + 4,
                        SearchFrame.height() - 4);
    Label3->setAlignment(Qt::AlignCenter);
    Label3->setFont(yaHei(9));
    Label3->setCursor(Qt::PointingHandCursor);
    setColours(Label3, Qt::white, WindowColour);

    L2 = new QTableView(this);
    L2->setGeometry(twips::rect(60, 435, 1335, 8640));
    L1 = new QTableView(this);
    L1->setGeometry(twips::rect(1380, 435, 4815, 8760));

    Label2 = new ClickLabel(QStringLiteral("新 增"), this);
    Label2->setGeometry(twips::rect(60, 9120, 1275, 435));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setFont(yaHei(10.5, true));
    Label2->setToolTip(QStringLiteral("新增文本：先复制后再来点击会自动识别"));
    Label2->setCursor(Qt::PointingHandCursor);
    setColours(Label2, LightGrey, WindowColour);

    ts = new QLabel(QStringLiteral("Vemo文本收集器 V2.0"), this);
    ts->setGeometry(twips::rect(1140, 9240, 4935, 315));
    ts->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setColours(ts, LightGrey, WindowColour);

    // Both buttons lie outside the visible area: Command2 answers Esc,
    // Command1 is reached with Tab and pressed with Enter or Space.
    Command2 = new QPushButton(QStringLiteral("关闭"), this);
    Command2->setGeometry(twips::rect(-8000, 20, 615, 375));
    Command2->setToolTip(QStringLiteral("关闭窗体 按Esc可快速关闭"));
    Command1 = new QPushButton(QStringLiteral("Command1"), this);
    Command1->setGeometry(twips::rect(7500, 3000, 915, 1095));
    Command1->setAutoDefault(true);

    Timer1 = new QTimer(this);

    m_records = new RecordModel(&m_loader, this);
    m_categories = new CategoryModel(this);
    L1->setModel(m_records);
    L1->setItemDelegate(new RecordDelegate(L1));
    L2->setModel(m_categories);

    connect(Label4, &ClickLabel::clicked, this, &FavList::Label4_Click);
    connect(Label2, &ClickLabel::clicked, this, &FavList::Label2_Click);
    connect(Label3, &ClickLabel::clicked, this, &FavList::Label3_Click);
    connect(Command2, &QPushButton::clicked, this, &FavList::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &FavList::Command1_Click);
    connect(Timer1, &QTimer::timeout, this, &FavList::Timer1_Timer);
    connect(SearchT, &QLineEdit::textChanged, this, &FavList::SearchT_Change);
    connect(L2, &QTableView::clicked, this, [this](const QModelIndex &index) { L2_Click(index.row()); });

    SearchT->installEventFilter(this);
    L1->installEventFilter(this);
    L1->viewport()->installEventFilter(this);
    L2->installEventFilter(this);
    Command1->installEventFilter(this);
    setTabOrder(SearchT, L1);
    setTabOrder(L1, Command1);
}

void FavList::Form_Load() {
    Timer1->setInterval(100);
    Timer1->start();
    setArr(false);
    InitializationListView();
    加载列表(CommonCategory, false);
    m_selectedCategory = 1;
    FMain::QuickListAutoClose = true;
    if (GetSet(settings::keys::ListAutoClose, 1) == QStringLiteral("0")) {
        m_autoClose = false;
        UsedCode::SetTopMost(this);
    } else {
        m_autoClose = true;
    }
}

void FavList::InitializationListView() {
    const int rowHeight = QFontMetrics(L1->font()).height() + 4;
    for (QTableView *list : {L1, L2}) {
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

    L1->setSelectionBehavior(QAbstractItemView::SelectRows);
    L1->setSelectionMode(QAbstractItemView::SingleSelection);
    L1->setMouseTracking(true);
    L1->setTextElideMode(Qt::ElideRight);
    QPalette p = L1->palette();
    p.setColor(QPalette::Base, ListBackground);
    p.setColor(QPalette::Text, QApplication::palette().color(QPalette::Text));
    L1->setPalette(p);
    static const int widths[col::Count] = {600, 3400, 0, 0, 0, 0, 0, 600};
    for (int c = 0; c < col::Count; ++c) {
        L1->setColumnWidth(c, twips::toPx(widths[c]));
        L1->setColumnHidden(c, widths[c] == 0);
    }

    L2->setFrameShape(QFrame::NoFrame);
    L2->setSelectionMode(QAbstractItemView::NoSelection);
    L2->setFocusPolicy(Qt::NoFocus);
    L2->setColumnWidth(0, twips::toPx(1200));
    L2->setCursor(Qt::PointingHandCursor);
    setColours(L2, CategoryColour, WindowColour);
    L2->viewport()->setAutoFillBackground(true);
}

void FavList::setArr(bool ArrKg) {
    if (!ArrKg && m_loader.cache().isArray())
        return;
    DataEdit::Failure why = DataEdit::Failure::None;
    m_loader.setCache(
        RecordCache(DataEdit::GetAllRecords(DataEdit::LibraryPath(), DataEdit::TableName, &why)));
    // A library that cannot be read is not an empty one: no hints to add a
    // first text, and the status line says why.
    m_loader.setReadFailed(why != DataEdit::Failure::None);
    if (why != DataEdit::Failure::None)
        ts->setText(DataEdit::describeReadFailure(why));
}

bool FavList::加载列表(const QString &filter, bool search) {
    if (!m_loader.cache().isArray())
        setArr(false);
    DelTip();
    m_records->beginRefill();
    const bool complete =
        m_loader.load(filter, search, SearchT->text(), GetSet(settings::keys::LastRecord, QString()));
    m_records->endRefill();
    if (m_loader.rowCount() > 0)
        selectRow(0);
    if (!complete)
        return false;
    if (m_categories->rowCount() == 0) {
        m_categories->setNames(m_loader.categories());
        if (filter == CommonCategory)
            m_categories->setHighlighted(0);
    }
    return true;
}

int FavList::selectedRow() const {
    const QModelIndex current = L1->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void FavList::selectRow(int row) {
    if (row < 0 || row >= m_records->rowCount())
        return;
    L1->selectionModel()->setCurrentIndex(m_records->index(row, col::Title),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void FavList::removeRow(int row) {
    if (row < 0 || row >= m_records->rowCount())
        return;
    DelTip();
    m_records->beginRefill();
    m_loader.removeRow(row);
    m_records->endRefill();
    selectRow(std::min(row, m_records->rowCount() - 1));
}

void FavList::setRowTitle(int row, const QString &title, RowColour colour) {
    if (row < 0 || row >= m_records->rowCount())
        return;
    DelTip();
    m_records->beginRefill();
    m_loader.setRowTitle(row, title, colour);
    m_records->endRefill();
    selectRow(row);
}

void FavList::clearRows() {
    DelTip();
    m_records->beginRefill();
    m_loader.clearRows();
    m_records->endRefill();
}

void FavList::SearchT_Change() {
    if (!SearchT->text().isEmpty()) {
        // An invalid pattern leaves the list nearly empty; no message.
        加载列表(QStringLiteral("*"), true);
        // During a search no category is highlighted.
        if (m_categories->rowCount() > 0 && m_selectedCategory > 0)
            m_categories->setHighlighted(-1);
    } else {
        // Back to "常用", and the highlight says so.
        加载列表(CommonCategory, false);
        if (m_categories->rowCount() > 0) {
            m_selectedCategory = 1;
            m_categories->setHighlighted(0);
        }
    }
}

void FavList::SearchT_DblClick() {
    if (!SearchT->text().isEmpty())
        SearchT->setText(QString());
}

void FavList::L2_Click(int row) {
    if (m_categories->rowCount() == 0 || row < 0 || row >= m_categories->rowCount())
        return;
    加载列表(m_categories->names().at(row), false);
    m_selectedCategory = row + 1;
    m_categories->setHighlighted(row);
    L2->setToolTip(m_categories->names().at(row));
}

void FavList::L1_MouseMove(const QPoint &pos) {
    if (!FMain::QuickListAutoClose || m_records->rowCount() == 0)
        return;
    const QModelIndex index = L1->indexAt(pos);
    if (!index.isValid())
        return;
    m_hoverColumn = index.column();
    if (selectedRow() != index.row()) {
        // Hovering selects without scrolling the list under the mouse.
        L1->setAutoScroll(false);
        selectRow(index.row());
        L1->setAutoScroll(true);
    }
    ShowItemTip(m_hoverColumn == col::Detail ? 100 : 2000);
}

void FavList::L1_MouseUp(Qt::MouseButton button, const QPoint &pos, const QPoint &globalPos) {
    if (m_records->rowCount() == 0)
        return;
    if (button == Qt::LeftButton) {
        const QModelIndex index = L1->indexAt(pos);
        if (!index.isValid())
            return;
        m_hoverColumn = index.column();
        if (m_hoverColumn == col::Detail) {
            // The press hid the balloon; a click on "详" brings it back for this row.
            DelTip();
            ShowItemTip(100);
        } else if (GetSet(settings::keys::ListClickMode, ClickExecutes) == ClickExecutes) {
            DelTip();
            ExecuteEntry();
        }
    } else if (button == Qt::RightButton) {
        emit listMenuRequested(globalPos);
    }
}

void FavList::L1_DblClick() {
    if (m_records->rowCount() == 0)
        return;
    if (GetSet(settings::keys::ListClickMode, ClickExecutes) == DoubleClickExecutes) {
        DelTip();
        ExecuteEntry();
    }
}

void FavList::ShowItemTip(int delay) {
    const int row = selectedRow();
    if (row < 0)
        return;
    // The balloon of the same row and delay stays: rebuilding it on every
    // pixel of movement would make a shown balloon flicker.
    if (m_tip && m_tipRow == row && m_tipDelay == delay)
        return;
    m_tip = std::make_unique<CTooltip>();
    m_tipRow = row;
    m_tipDelay = delay;
    m_tip->setStyle(1);
    m_tip->setIcon(1);
    m_tip->Destroy();
    m_tip->setDelayTime(delay);
    m_tip->setTitle(m_loader.text(row, col::Title));
    m_tip->setTipText(m_loader.text(row, col::Text).left(800));
    m_tip->Create(L1->viewport());
}

void FavList::DelTip() {
    if (m_tip)
        m_tip->Destroy();
    m_tip.reset();
    m_tipRow = -1;
}

void FavList::ExecuteEntry() {
    const int row = selectedRow();
    // A hint row of an empty library is no record: executing it would only
    // wipe the clipboard, which may hold the text the hint asks to add.
    if (row < 0 || m_loader.isHintRow(row) || m_executing)
        return;
    m_executing = true;
    const QString text = m_loader.text(row, col::Text);
    QString lastUsed;
    for (int c = col::Title; c <= col::Detail; ++c)
        lastUsed += LastUsedSeparator + m_loader.text(row, c);

    if (m_autoClose) {
        录入到窗口(text);
    } else {
        UsedCode::SetClipboardText(text);
        ts->setText(QStringLiteral("当前点击的内容已复制"));
    }
    SaveSet(settings::keys::LastRecord, lastUsed);
    m_executing = false;
    if (m_autoClose)
        close();
}

void FavList::Timer1_Timer() {
    if (!FMain::QuickListAutoClose || !m_autoClose || m_executing || !isVisible())
        return;
    if (!UsedCode::KeyIsDown(platform::vk::LeftButton))
        return;
    const QPoint pos = QCursor::pos();
    const UsedCode::Rect r = UsedCode::GetFormRect(this);
    if (pos.x() >= r.left && pos.x() <= r.right && pos.y() >= r.top && pos.y() <= r.bottom)
        return;
    // A press on the program's own icon opens or moves this list: no outside click.
    if (m_isOwnIcon && m_isOwnIcon(pos))
        return;
    close();
}

void FavList::Label4_Click() {
    close();
}

void FavList::Command2_Click() {
    close();
}

void FavList::Command1_Click() {
    ExecuteEntry();
}

void FavList::Label2_Click() {
    emit addRequested();
}

void FavList::Label3_Click() {
    // Without an About window to show, the list must keep closing by itself.
    if (!isSignalConnected(QMetaMethod::fromSignal(&FavList::aboutRequested)))
        return;
    FMain::QuickListAutoClose = false;
    emit aboutRequested();
}

bool FavList::Form_QueryUnload() {
    Timer1->stop();
    Timer1->setInterval(0);
    return true;
}

void FavList::Form_Unload() {
    DelTip();
    // The rows and the cache go first, so the trimming can give their memory back.
    m_records->beginRefill();
    m_loader.clearCache();
    m_records->endRefill();
    m_Sys::ReleaseMemory();
}

bool FavList::handleListKey(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        Command2_Click();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ExecuteEntry();
        return true;
    default:
        return false;
    }
}

bool FavList::eventFilter(QObject *watched, QEvent *event) {
    if (watched == L1->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove:
            L1_MouseMove(static_cast<QMouseEvent *>(event)->position().toPoint());
            break;
        case QEvent::MouseButtonRelease: {
            auto *e = static_cast<QMouseEvent *>(event);
            // The list finishes its own handling of the release first.
            L1->viewport()->removeEventFilter(this);
            QCoreApplication::sendEvent(L1->viewport(), event);
            L1->viewport()->installEventFilter(this);
            L1_MouseUp(e->button(), e->position().toPoint(), e->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseButtonDblClick:
            L1_DblClick();
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
        if (watched == L1)
            return handleListKey(key);
        if (watched == SearchT) {
            switch (key->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                // The arrows move through the list while the search box keeps the focus.
                QCoreApplication::sendEvent(L1, event);
                return true;
            default:
                return handleListKey(key);
            }
        }
        if (key->key() == Qt::Key_Escape) {
            Command2_Click();
            return true;
        }
    } else if (watched == L1 && event->type() == QEvent::ContextMenu) {
        auto *menu = static_cast<QContextMenuEvent *>(event);
        if (menu->reason() == QContextMenuEvent::Keyboard && selectedRow() >= 0) {
            const QRect cell = L1->visualRect(L1->currentIndex());
            emit listMenuRequested(L1->viewport()->mapToGlobal(cell.center()));
            return true;
        }
    } else if (watched == SearchT && event->type() == QEvent::MouseButtonDblClick) {
        SearchT_DblClick();
        return true;
    }
    return false;
}

void FavList::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        Command2_Click();
        return;
    }
    FormBase::keyPressEvent(event);
}

void FavList::mousePressEvent(QMouseEvent *event) {
    // The window is dragged by its background.
    UsedCode::MoveForm(this, event->button() == Qt::RightButton ? 2 : 1, event->globalPosition().toPoint());
    FormBase::mousePressEvent(event);
}

void FavList::mouseMoveEvent(QMouseEvent *event) {
    UsedCode::MoveFormByLeftButton(this, event->buttons().testFlag(Qt::LeftButton) ? 1 : 0,
                                   event->globalPosition().toPoint());
    FormBase::mouseMoveEvent(event);
}

void FavList::paintEvent(QPaintEvent *event) {
    FormBase::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(LightGrey, 1));
    painter.setBrush(Qt::NoBrush);
    // Shape2 around the search box, Shape1 around the whole window.
    painter.drawRoundedRect(QRectF(SearchFrame).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void FavList::showEvent(QShowEvent *event) {
    FormBase::showEvent(event);
    // Opened by the hotkey the user types at once: the search box takes the keys.
    activateWindow();
    if (QGuiApplication::platformName() != QStringLiteral("offscreen"))
        raise();
    SearchT->setFocus(Qt::ActiveWindowFocusReason);
}
