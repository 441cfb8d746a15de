#include "quick_list/mMenu.h"

#include "FMain.h"
#include "MessageBox.h"
#include "UsedCode.h"
#include "editor/mEdit.h"
#include "quick_list/FavList.h"
#include "quick_list/QuickListLoader.h"
#include "store/DataEdit.h"

#include <QLabel>

using namespace quicklist;

namespace {

// Shown in the status line when the library refused a change: the row the
// user acted on stays as it was, so the list never claims what did not happen.
const QString StoreRefused = QStringLiteral("：记录已不存在或数据库无法写入");

FavList *quickList() {
    return Forms::Form<FavList>::peek();
}

// The selected row when it shows a record (or the last-used entry); -1 for
// no row and for the hint rows of an empty library, which hold no record.
int recordRow(const FavList *list) {
    if (!list)
        return -1;
    const int row = list->selectedRow();
    return row < 0 || list->loader().isHintRow(row) ? -1 : row;
}

qint32 idOf(const FavList *list, int row) {
    return DataEdit::IdFromCaption(list->loader().text(row, col::Id)).value_or(0);
}

// The quick list does not hold a record's category: it comes from the
// library, so that saving a change keeps it.
QString storedCategory(qint32 id) {
    const DataEdit::RowArray found = DataEdit::GetRecordset(
        DataEdit::LibraryPath(), QStringLiteral("SELECT TypeName FROM VBcode WHERE ID = ?1"), {id});
    return found.rowCount() > 0 ? found.at(0, 0).toString() : QString();
}

void refused(FavList *list, const QString &what) {
    list->ts->setText(what + StoreRefused);
    // Whatever the library holds now is what the next filling shows.
    list->setArr(true);
}

} // namespace

mMenu::mMenu() : FormBase(nullptr, Qt::Tool) {
    setWindowTitle(QString::fromUtf8(msg::AppTitle));
    ListMenu = new QMenu(this);
    修改内容 = ListMenu->addAction(QStringLiteral("修改内容 &E"));
    复制内容 = ListMenu->addAction(QStringLiteral("复制内容 &C"));
    删除记录 = ListMenu->addAction(QStringLiteral("删除记录 &D"));
    sep = ListMenu->addSeparator();
    添加为常用 = ListMenu->addAction(QStringLiteral("添加为常用 &A"));
    从常用中删除 = ListMenu->addAction(QStringLiteral("从常用中删除 &A"));
    设置取消特别关注 = ListMenu->addAction(QStringLiteral("设置\\取消特别关注 &S"));
    sep1 = ListMenu->addSeparator();
    备份数据库 = ListMenu->addAction(QStringLiteral("备份数据库 &B"));
    清空数据库 = ListMenu->addAction(QStringLiteral("清空数据库"));

    connect(修改内容, &QAction::triggered, this, &mMenu::修改内容_Click);
    connect(复制内容, &QAction::triggered, this, &mMenu::复制内容_Click);
    connect(删除记录, &QAction::triggered, this, &mMenu::删除记录_Click);
    connect(添加为常用, &QAction::triggered, this, &mMenu::添加为常用_Click);
    connect(从常用中删除, &QAction::triggered, this, &mMenu::从常用中删除_Click);
    connect(设置取消特别关注, &QAction::triggered, this, &mMenu::设置取消特别关注_Click);
    connect(备份数据库, &QAction::triggered, this, &mMenu::备份数据库_Click);
    connect(清空数据库, &QAction::triggered, this, &mMenu::清空数据库_Click);
}

void mMenu::prepare(FavList *list) {
    const int row = list->selectedRow();
    const bool common = list->loader().text(row, col::Common) == CommonCategory;
    添加为常用->setVisible(!common);
    从常用中删除->setVisible(common);
    // The hint rows of an empty library are no records: only the
    // whole-library items apply to them.
    const bool record = recordRow(list) >= 0;
    for (QAction *item : {修改内容, 复制内容, 删除记录, 添加为常用, 从常用中删除, 设置取消特别关注})
        item->setEnabled(record);
    FMain::QuickListAutoClose = false;
    list->DelTip();
}

void mMenu::popupFor(FavList *list, const QPoint &globalPos) {
    prepare(list);
    ListMenu->popup(globalPos);
}

void mMenu::修改内容_Click() {
    FavList *list = quickList();
    const int row = recordRow(list);
    if (row < 0)
        return;
    const auto text = [&](int column) { return list->loader().text(row, column); };
    const qint32 id = idOf(list, row);
    gotomEdit(id, text(col::Title), text(col::Text), storedCategory(id), text(col::Group), text(col::Common),
              list);
    list->setArr(true);
    list->加载列表(CommonCategory, false);
    // The permission stays off until the editor closes.
}

void mMenu::复制内容_Click() {
    if (FavList *list = quickList()) {
        const int row = recordRow(list);
        if (row >= 0) {
            UsedCode::SetClipboardText(list->loader().text(row, col::Text));
            list->ts->setText(QStringLiteral("选定内容已复制到剪贴板中"));
        }
    }
    FMain::QuickListAutoClose = true;
}

void mMenu::删除记录_Click() {
    FavList *list = quickList();
    const int row = recordRow(list);
    if (row < 0)
        return;
    const QString question = QStringLiteral("是否删除当前记录 ") + list->loader().text(row, col::Title);
    if (msg::MsgBox(question, msg::YesNoInfo, QString::fromUtf8(msg::AppTitle)) != msg::Yes)
        return;
    if (DataEdit::DeleteRecord(idOf(list, row))) {
        list->removeRow(row);
        list->setArr(true);
    } else {
        refused(list, QStringLiteral("删除失败"));
    }
    FMain::QuickListAutoClose = true;
}

void mMenu::添加为常用_Click() {
    if (FavList *list = quickList(); list && recordRow(list) >= 0) {
        if (DataEdit::SetCommonFlag(idOf(list, recordRow(list)), true)) {
            // The row itself shows the flag from the next filling on.
            list->setArr(true);
            list->ts->setText(QStringLiteral("选定内容已添加到常用中"));
        } else {
            refused(list, QStringLiteral("添加失败"));
        }
    }
    FMain::QuickListAutoClose = true;
}

void mMenu::从常用中删除_Click() {
    if (FavList *list = quickList(); list && recordRow(list) >= 0) {
        const int row = recordRow(list);
        if (DataEdit::SetCommonFlag(idOf(list, row), false)) {
            // Gone from the list whatever category it shows.
            list->removeRow(row);
            list->setArr(true);
        } else {
            refused(list, QStringLiteral("移出常用失败"));
        }
    }
    FMain::QuickListAutoClose = true;
}

void mMenu::设置取消特别关注_Click() {
    if (FavList *list = quickList(); list && recordRow(list) >= 0) {
        const int row = recordRow(list);
        QString title = list->loader().text(row, col::Title);
        // The store drops the title's apostrophes; the row shows what is stored.
        if (DataEdit::ToggleSpecialMark(idOf(list, row), title)) {
            if (title.contains(DataEdit::SpecialMark))
                list->setRowTitle(row, title.remove(DataEdit::SpecialMark), RowColour::Normal);
            else
                list->setRowTitle(row, DataEdit::SpecialMark + title, RowColour::Special);
            list->setArr(true);
        } else {
            refused(list, QStringLiteral("设置失败"));
        }
    }
    FMain::QuickListAutoClose = true;
}

void mMenu::备份数据库_Click() {
    FMain::QuickListAutoClose = true;
    // The store tells the user how the copy went.
    DataEdit::BackupLibrary();
}

void mMenu::清空数据库_Click() {
    if (!DataEdit::ConfirmClearLibrary())
        return;
    if (FavList *list = quickList()) {
        list->clearRows();
        list->setArr(true);
    }
    FMain::QuickListAutoClose = true;
}
