// The quick list's context menu: a hidden window that only holds ListMenu
// and the handlers of its items. Every item acts on the selected row of the
// quick list's record list and on the library, then refreshes the list's
// record cache.
#pragma once

#include "Forms.h"

#include <QAction>
#include <QMenu>
#include <QPoint>

class FavList;

class mMenu : public FormBase {
    Q_OBJECT
  public:
    // Never shown; obtain it with Forms::Form<mMenu>::get().
    mMenu();

    QMenu *ListMenu;
    QAction *修改内容; // "修改内容 &E"
    QAction *复制内容; // "复制内容 &C"
    QAction *删除记录; // "删除记录 &D"
    QAction *sep;
    QAction *添加为常用;       // "添加为常用 &A", for records that are not common
    QAction *从常用中删除;     // "从常用中删除 &A", for common records
    QAction *设置取消特别关注; // "设置\取消特别关注 &S"
    QAction *sep1;
    QAction *备份数据库; // "备份数据库 &B"
    QAction *清空数据库; // "清空数据库"

    // Everything the opening does before the menu appears: the common item
    // that fits the selected row, the auto-close permission off, the balloon
    // gone. The permission stays off when the menu is dismissed; the item
    // actions (or the next loading of the list) set it again.
    void prepare(FavList *list);
    // prepare, then the menu at a screen position.
    void popupFor(FavList *list, const QPoint &globalPos);

    // The item handlers, acting on the quick list that is loaded.
    void 修改内容_Click();
    void 复制内容_Click();
    void 删除记录_Click();
    void 添加为常用_Click();
    void 从常用中删除_Click();
    void 设置取消特别关注_Click();
    void 备份数据库_Click();
    void 清空数据库_Click();
};
