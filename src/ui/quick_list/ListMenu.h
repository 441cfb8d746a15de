// The quick list's context menu: change, copy, delete, mark or unmark as
// common, toggle the special mark, back up and clear the library. The menu
// takes the record of the selected row (its ID) when it opens, and every item
// acts on that record in the library, then brings the list's rows up to
// date; failures say why in the status line or a box. Without a record (no
// rows, a hint row, a library that could not be read) the whole-library items
// still work.
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

    // Takes the selected row's record, fits the items to it and pops the
    // menu up; while it is open the list keeps still.
    void popupAt(const QPoint &globalPos);
    // The same taking and fitting without showing the menu.
    void prepare();
    // The ID of the record the items act on; none without one.
    std::optional<qint64> recordId() const { return m_record ? std::optional(m_record->id) : std::nullopt; }

    QAction *const changeRecord;  // "修改内容 &E"
    QAction *const copyText;      // "复制内容 &C"
    QAction *const deleteRecord;  // "删除记录 &D"
    QAction *const markCommon;    // "添加为常用 &A", for records that are not common
    QAction *const unmarkCommon;  // "从常用中删除 &A", for common records
    QAction *const toggleSpecial; // "设置\取消特别关注 &S"
    QAction *const backUp;        // "备份数据库 &B"
    QAction *const clearLibrary;  // "清空数据库"

  private:
    // The record the menu was opened on, as its row showed it.
    struct Target {
        qint64 id;
        QString idText;
        QString title;
        QString text;
        int row; // the row it was taken from
    };
    // The record taken when the menu opened; nothing for no row, a hint
    // row, or a row whose ID is no whole number (which says so).
    std::optional<Target> target();
    // The row that shows the record now; -1 when none does.
    int rowOfTarget() const;
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
    std::optional<Target> m_record;
    bool m_invalidId = false;
};
