// The quick list's parts as a test reaches them: by their object names and
// types, as a person finds them on the screen.
#pragma once
#include "common/BalloonTip.h"
#include "quick_list/ListMenu.h"
#include "quick_list/QuickListFeed.h"
#include "quick_list/QuickListModels.h"
#include "quick_list/QuickListWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

inline QuickListFeed &feed(const QuickListWindow *list) {
    return *list->findChild<QuickListFeed *>();
}
inline const SearchFilter &rowsOf(const QuickListWindow *list) {
    return feed(list).rows();
}
inline QLineEdit *searchBox(const QuickListWindow *list) {
    return list->findChild<QLineEdit *>("searchBox");
}
inline QTableView *recordList(const QuickListWindow *list) {
    return list->findChild<QTableView *>("recordList");
}
inline QTableView *categoryList(const QuickListWindow *list) {
    return list->findChild<QTableView *>("categoryList");
}
inline QLabel *statusLabel(const QuickListWindow *list) {
    return list->findChild<QLabel *>("statusLabel");
}
inline QAbstractItemModel *recordModel(const QuickListWindow *list) {
    return recordList(list)->model();
}
inline CategoryListModel *categoryModel(const QuickListWindow *list) {
    return qobject_cast<CategoryListModel *>(categoryList(list)->model());
}
inline ListMenu *listMenu(const QuickListWindow *list) {
    return list->findChild<ListMenu *>();
}
inline int selectedRow(const QuickListWindow *list) {
    return recordList(list)->currentIndex().row();
}
inline void selectRow(const QuickListWindow *list, int row) {
    recordList(list)->selectionModel()->setCurrentIndex(recordModel(list)->index(row, col::Title),
                                                        QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
}
// A click on a category's row.
inline void showCategory(const QuickListWindow *list, int row) {
    QTableView *categories = categoryList(list);
    QTest::mouseClick(categories->viewport(), Qt::LeftButton, {},
                      categories->visualRect(categories->model()->index(row, 0)).center());
}
// Return in the search box, as the user executes the selected row.
inline void executeSelected(const QuickListWindow *list) {
    QTest::keyClick(searchBox(list), Qt::Key_Return);
}
// The menu key on the selected row: the menu opens on its record.
inline void openMenu(const QuickListWindow *list) {
    QContextMenuEvent press(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    QCoreApplication::sendEvent(recordList(list), &press);
}
// The balloon of the list's rows.
inline BalloonTipWindow *balloon(const QuickListWindow *list) {
    return list->findChild<BalloonTipWindow *>();
}
