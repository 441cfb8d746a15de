#include "quick_list/RowPlace.h"

#include "quick_list/QuickListFeed.h"
#include "quick_list/QuickListModels.h"

#include <QScrollBar>
#include <QTableView>

RowPlace RowPlace::of(const QTableView &list, const QuickListFeed &feed) {
    const SearchFilter &rows = feed.rows();
    RowPlace place;
    const QModelIndex current = list.currentIndex();
    place.m_row = current.isValid() ? current.row() : -1;
    place.m_lastUsed = rows.isLastUsedRow(place.m_row);
    place.m_id = rows.text(place.m_row, col::Id);
    place.m_scrolled = list.verticalScrollBar()->value();
    place.m_top = list.indexAt(QPoint(0, 0)).row();
    place.m_topId = rows.text(place.m_top, col::Id);
    return place;
}

void RowPlace::restore(QTableView &list, const QuickListFeed &feed) const {
    if (m_row >= 0)
        selectListRow(list, m_lastUsed ? 0 : feed.rowShowing(m_id));
    else
        selectListRow(list, 0);
    const int topRow = m_top >= 0 ? feed.rowShowing(m_topId) : -1;
    if (topRow >= 0 && !(m_top == 0 && feed.rows().isLastUsedRow(0)))
        list.scrollTo(list.model()->index(topRow, RecordListModel::TitleColumn), QAbstractItemView::PositionAtTop);
    else
        list.verticalScrollBar()->setValue(m_scrolled);
}

void selectListRow(QTableView &list, int row) {
    if (row < 0 || row >= list.model()->rowCount())
        return;
    list.selectionModel()->setCurrentIndex(list.model()->index(row, RecordListModel::TitleColumn),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}
