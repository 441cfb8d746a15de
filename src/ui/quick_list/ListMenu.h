// The quick list's context menu: change, copy, delete, mark or unmark as
// common, toggle the special mark, back up and clear the library. It is
// opened on the record of the selected row, as the row shows it, and says
// which item was chosen for that record (chosen); ListActions carries it out.
// Without a record (no rows, a hint row, a library that could not be read)
// only the whole-library items are enabled.
#pragma once

#include <QMenu>
#include <optional>

class SearchFilter;

class ListMenu : public QMenu {
    Q_OBJECT
  public:
    enum class Item { Change, Copy, Delete, MarkCommon, UnmarkCommon, ToggleSpecial, BackUp, Clear };
    // The record the menu is opened on, as its row showed it.
    struct Target {
        QString idText; // the ID as the row holds it, which may be no number
        QString title;
        QString text;
        bool common = false;
    };

    explicit ListMenu(QWidget *parent);

    // The record a row shows; none for no row and for the hint rows of an
    // empty library, which are no records.
    static std::optional<Target> targetOf(const SearchFilter &rows, int row);

    // Fits the items to the record and pops the menu up.
    void popupFor(const std::optional<Target> &target, const QPoint &globalPos);
    // The ID of the record the items act on; none without one or when its ID is no whole number.
    std::optional<qint64> recordId() const;

    QAction *const changeRecord;  // "修改内容 &E"
    QAction *const copyText;      // "复制内容 &C"
    QAction *const deleteRecord;  // "删除记录 &D"
    QAction *const markCommon;    // "添加为常用 &A", for records that are not common
    QAction *const unmarkCommon;  // "从常用中删除 &A", for common records
    QAction *const toggleSpecial; // "设置\取消特别关注 &S"
    QAction *const backUp;        // "备份数据库 &B"
    QAction *const clearLibrary;  // "清空数据库"

  signals:
    void chosen(ListMenu::Item item, const std::optional<ListMenu::Target> &target);

  private:
    std::optional<Target> m_target;
};
