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

const QString BadId = QStringLiteral("记录编号无效，未做任何修改");

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

// The record's ID; none when the row's ID cannot be read as a number, and
// then no record action may run (it would act on another record).
std::optional<qint64> idOf(const FavList *list, int row) {
    return DataEdit::IdFromText(list->loader().text(row, col::Id));
}

// The selected record row and its ID, or nothing when either is missing; a
// row whose ID cannot be read says so in the status line.
std::optional<std::pair<int, qint64>> selectedRecord(FavList *list) {
    const int row = recordRow(list);
    if (row < 0)
        return std::nullopt;
    const auto id = idOf(list, row);
    if (!id) {
        list->ts->setText(BadId);
        return std::nullopt;
    }
    return std::make_pair(row, *id);
}

// The quick list does not hold a record's category: it comes from the
// library, so that saving a change keeps it.
QString storedCategory(qint64 id) {
    const DataEdit::RowArray found = DataEdit::GetRecordset(
        DataEdit::LibraryPath(), QStringLiteral("SELECT TypeName FROM VBcode WHERE ID = ?1"), {id});
    return found.rowCount() > 0 ? found.at(0, 0).toString() : QString();
}

// The library refused a change: the row the user acted on stays as it was,
// so the list never claims what did not happen, and the status line says why.
void refused(FavList *list, const QString &what, DataEdit::Failure failure) {
    list->ts->setText(what + QStringLiteral("：") + DataEdit::describe(failure));
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
    // A menu closed without a choice (Esc, a click elsewhere) gives the list
    // back its hovering and its closing on outside clicks. The menu hides
    // before an item's action runs; the actions that open a box or the
    // editor hold the permission off again themselves.
    connect(ListMenu, &QMenu::aboutToHide, this, [] { FMain::QuickListAutoClose = true; });
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
    const auto selected = selectedRecord(list);
    if (!selected)
        return;
    const auto [row, id] = *selected;
    const auto text = [&, row = row](int column) { return list->loader().text(row, column); };
    // The editor gives the permission back when it closes.
    FMain::QuickListAutoClose = false;
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
    const auto selected = selectedRecord(list);
    if (!selected) {
        FMain::QuickListAutoClose = true;
        return;
    }
    const auto [row, id] = *selected;
    const QString question = QStringLiteral("是否删除当前记录 ") + list->loader().text(row, col::Title);
    // A click on the question box is no click outside the list.
    FMain::QuickListAutoClose = false;
    if (msg::MsgBox(question, msg::YesNoInfo, QString::fromUtf8(msg::AppTitle)) == msg::Yes) {
        if (const DataEdit::Failure failure = DataEdit::DeleteRecord(id);
            failure == DataEdit::Failure::None) {
            list->removeRow(row);
            list->setArr(true);
        } else {
            refused(list, QStringLiteral("删除失败"), failure);
        }
    }
    FMain::QuickListAutoClose = true;
}

void mMenu::添加为常用_Click() {
    if (FavList *list = quickList()) {
        if (const auto selected = selectedRecord(list)) {
            if (const auto failure = DataEdit::SetCommonFlag(selected->second, true);
                failure == DataEdit::Failure::None) {
                // The row itself shows the flag from the next filling on.
                list->setArr(true);
                list->ts->setText(QStringLiteral("选定内容已添加到常用中"));
            } else {
                refused(list, QStringLiteral("添加失败"), failure);
            }
        }
    }
    FMain::QuickListAutoClose = true;
}

void mMenu::从常用中删除_Click() {
    if (FavList *list = quickList()) {
        if (const auto selected = selectedRecord(list)) {
            if (const auto failure = DataEdit::SetCommonFlag(selected->second, false);
                failure == DataEdit::Failure::None) {
                // Gone from the list whatever category it shows.
                list->removeRow(selected->first);
                list->setArr(true);
            } else {
                refused(list, QStringLiteral("移出常用失败"), failure);
            }
        }
    }
    FMain::QuickListAutoClose = true;
}

void mMenu::设置取消特别关注_Click() {
    if (FavList *list = quickList()) {
        if (const auto selected = selectedRecord(list)) {
            // The stored title is toggled, not the one the row shows: the row
            // may be older than the library.
            QString title;
            if (const auto failure = DataEdit::ToggleSpecialMark(selected->second, &title);
                failure == DataEdit::Failure::None) {
                list->setRowTitle(selected->first, title,
                                  title.contains(QStringLiteral("★★")) ? RowColour::Special
                                                                       : RowColour::Normal);
                list->setArr(true);
            } else {
                refused(list, QStringLiteral("设置失败"), failure);
            }
        }
    }
    FMain::QuickListAutoClose = true;
}

void mMenu::备份数据库_Click() {
    // The store tells the user how the copy went, in a box that is no click
    // outside the list.
    FMain::QuickListAutoClose = false;
    DataEdit::BackupLibrary();
    FMain::QuickListAutoClose = true;
}

void mMenu::清空数据库_Click() {
    FMain::QuickListAutoClose = false;
    if (DataEdit::ConfirmClearLibrary()) {
        if (FavList *list = quickList()) {
            list->clearRows();
            list->setArr(true);
        }
    }
    FMain::QuickListAutoClose = true;
}
