#include "quick_list/ListMenu.h"

#include "TeamRecord.h"

#include "LibraryStore.h"
#include "SearchFilter.h"

ListMenu::ListMenu(QWidget *parent)
    : QMenu(parent), changeRecord(addAction(QStringLiteral("修改内容 &E"))),
      copyText(addAction(QStringLiteral("复制内容 &C"))),
      deleteRecord(addAction(QStringLiteral("删除记录 &D"))),
      markCommon((addSeparator(), addAction(QStringLiteral("添加为常用 &A")))),
      unmarkCommon(addAction(QStringLiteral("从常用中删除 &A"))),
      toggleSpecial(addAction(QStringLiteral("设置\\取消特别关注 &S"))),
      backUp((addSeparator(), addAction(QStringLiteral("备份数据库 &B")))),
      clearLibrary(addAction(QStringLiteral("清空数据库"))) {
    const std::pair<QAction *, Item> items[] = {{changeRecord, Item::Change},
                                                {copyText, Item::Copy},
                                                {deleteRecord, Item::Delete},
                                                {markCommon, Item::MarkCommon},
                                                {unmarkCommon, Item::UnmarkCommon},
                                                {toggleSpecial, Item::ToggleSpecial},
                                                {backUp, Item::BackUp},
                                                {clearLibrary, Item::Clear}};
    for (const auto &[action, item] : items)
        connect(action, &QAction::triggered, this, [this, item = item] { emit chosen(item, m_target); });
}

void ListMenu::popupFor(const std::optional<Target> &target, const QPoint &globalPos) {
    m_target = target;
    const bool common = target && target->common;
    markCommon->setVisible(!common);
    unmarkCommon->setVisible(common);
    for (QAction *item : {changeRecord, copyText, deleteRecord, markCommon, unmarkCommon, toggleSpecial})
        item->setEnabled(target.has_value());
    // 常用 and 特别关注 are the member's own marks: a team record has neither.
    if (target && team::idFromListId(target->idText))
        for (QAction *item : {markCommon, unmarkCommon, toggleSpecial})
            item->setEnabled(false);
    popup(globalPos);
}

std::optional<qint64> ListMenu::recordId() const {
    return m_target ? LibraryStore::idFromText(m_target->idText) : std::nullopt;
}

std::optional<ListMenu::Target> ListMenu::targetOf(const SearchFilter &rows, int row) {
    if (row < 0 || row >= rows.rowCount() || rows.isHintRow(row))
        return std::nullopt;
    return Target{rows.text(row, col::Id), rows.text(row, col::Title), rows.text(row, col::Text),
                  rows.text(row, col::Common) == CommonFlag};
}
