#include "quick_list/QuickListControls.h"

#include "Program.h"
#include "common/ClickLabel.h"
#include "common/Fonts.h"
#include "common/WindowPlacement.h"
#include "quick_list/QuickListModels.h"

#include <QApplication>
#include <QCursor>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTableView>
#include <algorithm>

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
// The list's height as designed, and the least it shrinks to on a short screen.
constexpr int DesignHeight = twips::toPx(9645);
constexpr int MinimumHeight = 200;

} // namespace

QuickListControls::QuickListControls(QWidget *window, QAbstractItemModel *records,
                                     QAbstractItemModel *categories)
    : window(window) {
    window->setWindowTitle(program::Name);
    window->setFixedSize(twips::toPx(6300), DesignHeight);
    window->setFont(fonts::yaHei(9));
    window->setAutoFillBackground(true);
    setColours(window, Qt::white, WindowColour);

    closeLabel = clickLabel(QStringLiteral("关闭"), window);
    closeLabel->setGeometry(twips::rect(20, 20, 975, 375));
    closeLabel->setToolTip(QStringLiteral("关闭窗体，快捷键 Esc"));
    setColours(closeLabel, Qt::white, WindowColour);

    // The label and the box sit inside the search frame; they are a little
    // taller than drawn in twips so the 9 pt text is not cut off.
    searchLabel = new QLabel(QStringLiteral("搜 索"), window);
    searchLabel->setGeometry(twips::toPx(1500), SearchFrame.top() + 2, twips::toPx(450) + 6,
                             SearchFrame.height() - 4);
    searchLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    searchLabel->setFont(fonts::song(9));
    setColours(searchLabel, LabelGrey, WindowColour);

    searchBox = new QLineEdit(window);
    searchBox->setObjectName(QStringLiteral("searchBox"));
    searchBox->setGeometry(twips::toPx(2100), SearchFrame.top() + 2, twips::toPx(3375),
                           SearchFrame.height() - 4);
    searchBox->setFrame(false);
    searchBox->setFont(fonts::song(9));
    searchBox->setToolTip(QStringLiteral("输入内容搜索"));
    setColours(searchBox, LightGrey, WindowColour);

    aboutLabel = clickLabel(QStringLiteral("Vemo"), window);
    aboutLabel->setGeometry(twips::toPx(5640) - 2, SearchFrame.top() + 2, twips::toPx(450) + 4,
                            SearchFrame.height() - 4);
    aboutLabel->setFont(fonts::yaHei(9));
    setColours(aboutLabel, Qt::white, WindowColour);

    categoryList = new QTableView(window);
    categoryList->setObjectName(QStringLiteral("categoryList"));
    categoryList->setGeometry(twips::rect(60, 435, 1335, 8640));
    recordList = new QTableView(window);
    recordList->setObjectName(QStringLiteral("recordList"));
    recordList->setGeometry(twips::rect(1380, 435, 4815, 8760));

    addLabel = clickLabel(QStringLiteral("新 增"), window);
    addLabel->setGeometry(twips::rect(60, 9120, 1275, 435));
    addLabel->setFont(fonts::yaHei(10.5, true));
    addLabel->setToolTip(QStringLiteral("新增文本：先复制后再来点击会自动识别"));
    setColours(addLabel, LightGrey, WindowColour);

    statusLabel = new QLabel(QStringLiteral("Vemo文本收集器 V2.0"), window);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setGeometry(twips::rect(1140, 9240, 4935, 315));
    statusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setColours(statusLabel, LightGrey, WindowColour);

    recordList->setModel(records);
    categoryList->setModel(categories);
    setUpLists();
}

void QuickListControls::setUpLists() {
    const int rowHeight = QFontMetrics(recordList->font()).height() + 4;
    for (QTableView *list : {recordList, categoryList}) {
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

    recordList->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordList->setSelectionMode(QAbstractItemView::SingleSelection);
    recordList->setMouseTracking(true);
    recordList->setTextElideMode(Qt::ElideRight);
    QPalette p = recordList->palette();
    p.setColor(QPalette::Base, ListBackground);
    p.setColor(QPalette::Text, QApplication::palette().color(QPalette::Text));
    recordList->setPalette(p);
    // The number column holds "最近一次" whole, in any font; the title gives
    // up the room.
    const int numberWidth =
        std::max(twips::toPx(600), QFontMetrics(recordList->font()).horizontalAdvance(LastUsedLabel) + 12);
    recordList->setColumnWidth(RecordListModel::NumberColumn, numberWidth);
    recordList->setColumnWidth(RecordListModel::TitleColumn, twips::toPx(600 + 3400) - numberWidth);
    recordList->setColumnWidth(RecordListModel::DetailColumn, twips::toPx(600));

    categoryList->setFrameShape(QFrame::NoFrame);
    categoryList->setSelectionMode(QAbstractItemView::NoSelection);
    categoryList->setFocusPolicy(Qt::NoFocus);
    categoryList->setColumnWidth(0, twips::toPx(1200));
    categoryList->setCursor(Qt::PointingHandCursor);
    setColours(categoryList, CategoryColour, WindowColour);
    categoryList->viewport()->setAutoFillBackground(true);
}

void QuickListControls::fitTo(const QScreen *screen) {
    // A screen shorter than the list (a large scale factor, a small
    // display) gets a shorter rows area; everything else stays whole.
    const int shorter = screen ? std::clamp(DesignHeight - screen->availableGeometry().height(), 0,
                                            DesignHeight - MinimumHeight)
                               : 0;
    window->setFixedSize(twips::toPx(6300), DesignHeight - shorter);
    categoryList->setGeometry(twips::rect(60, 435, 1335, 8640).adjusted(0, 0, 0, -shorter));
    recordList->setGeometry(twips::rect(1380, 435, 4815, 8760).adjusted(0, 0, 0, -shorter));
    addLabel->setGeometry(twips::rect(60, 9120, 1275, 435).translated(0, -shorter));
    statusLabel->setGeometry(twips::rect(1140, 9240, 4935, 315).translated(0, -shorter));
}

void QuickListControls::placeAtRightEdge() {
    // The screen the user clicked on: the icon's, or the notification area's.
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    fitTo(screen);
    const QRect area = screen->geometry();
    twips::move(window, twips::fromPx(area.x() + area.width()) - twips::width(window),
                twips::fromPx(area.y()) + 3000);
    placement::keepInside(window, screen->availableGeometry());
}

void QuickListControls::placeAt(const QPoint &globalPos) {
    QScreen *screen = QGuiApplication::screenAt(globalPos);
    fitTo(screen ? screen : QGuiApplication::primaryScreen());
    twips::move(window, twips::fromPx(globalPos.x()), twips::fromPx(globalPos.y()));
    placement::keepOnScreen(window);
    if (screen)
        placement::keepInside(window, screen->availableGeometry());
}

void QuickListControls::paintFrame() const {
    QPainter painter(window);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(LightGrey, 1));
    painter.setBrush(Qt::NoBrush);
    // A rounded frame around the search box, a plain one around the window.
    painter.drawRoundedRect(QRectF(SearchFrame).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawRect(window->rect().adjusted(0, 0, -1, -1));
}
