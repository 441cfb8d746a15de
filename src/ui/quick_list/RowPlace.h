// Where the user is in the record list, by record: the selected record and
// the record at the top of the view. The rows grow from the first screen into
// the whole list under the user's eyes; the place is taken before and given
// back after, so the same record stays selected and on top.
#pragma once

#include <QString>

class QTableView;
class QuickListFeed;

class RowPlace {
  public:
    static RowPlace of(const QTableView &list, const QuickListFeed &feed);
    void restore(QTableView &list, const QuickListFeed &feed) const;

  private:
    int m_row = -1;
    bool m_lastUsed = false;
    QString m_id;
    int m_scrolled = 0;
    int m_top = -1;
    QString m_topId;
};

// Makes a row of the list current and selected; rows out of range change nothing.
void selectListRow(QTableView &list, int row);
