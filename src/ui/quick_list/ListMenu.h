// The quick list's context menu: change, copy, delete, mark or unmark as
// common, toggle the special mark, back up and clear the library. Every item
// acts on the selected row of the list and on the library, then brings the
// list up to date; failures say why in the status line or a box.
#pragma once

#include "StoreOutcome.h"

#include <QMenu>
#include <optional>
#include <utility>

class LibraryStore;
class QuickListWindow;

class ListMenu : public QMenu {
    Q_OBJECT
  public:
    ListMenu(QuickListWindow &list, const LibraryStore &library);

    // Fits the items to the selected row and pops the menu up; while it is
    // open the list keeps still.
    void popupAt(const QPoint &globalPos);
    // The same fitting without showing the menu.
    void prepare();

    QAction *const changeRecord;  // "修改内容 &E"
    QAction *const copyText;      // "复制内容 &C"
    QAction *const deleteRecord;  // "删除记录 &D"
    QAction *const markCommon;    // "添加为常用 &A", for records that are not common
    QAction *const unmarkCommon;  // "从常用中删除 &A", for common records
    QAction *const toggleSpecial; // "设置\取消特别关注 &S"
    QAction *const backUp;        // "备份数据库 &B"
    QAction *const clearLibrary;  // "清空数据库"

  private:
    // The selected row when it shows a record, and its ID; nothing for no row,
    // a hint row, or a row whose ID is no whole number (which says so).
    std::optional<std::pair<int, qint64>> selectedRecord();
    // The library refused a change: the row stays as it was and the status line says why.
    void refused(const QString &what, StoreError error);

    void change();
    void copy();
    void remove();
    void setCommon(bool common);
    void toggleMark();
    void backup();
    void clear();

    QuickListWindow &m_list;
    const LibraryStore &m_library;
};
