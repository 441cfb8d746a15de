#include "quick_list/ListMenu.h"

#include "LibraryStore.h"
#include "common/MessageBoxes.h"
#include "quick_list/QuickListWindow.h"

#include <QClipboard>
#include <QGuiApplication>

ListMenu::ListMenu(QuickListWindow &list, const LibraryStore &library)
    : QMenu(&list), changeRecord(addAction(QStringLiteral("修改内容 &E"))),
      copyText(addAction(QStringLiteral("复制内容 &C"))),
      deleteRecord(addAction(QStringLiteral("删除记录 &D"))),
      markCommon((addSeparator(), addAction(QStringLiteral("添加为常用 &A")))),
      unmarkCommon(addAction(QStringLiteral("从常用中删除 &A"))),
      toggleSpecial(addAction(QStringLiteral("设置\\取消特别关注 &S"))),
      backUp((addSeparator(), addAction(QStringLiteral("备份数据库 &B")))),
      clearLibrary(addAction(QStringLiteral("清空数据库"))), m_list(list), m_library(library) {
    connect(changeRecord, &QAction::triggered, this, &ListMenu::change);
    connect(copyText, &QAction::triggered, this, &ListMenu::copy);
    connect(deleteRecord, &QAction::triggered, this, &ListMenu::remove);
    connect(markCommon, &QAction::triggered, this, [this] { setCommon(true); });
    connect(unmarkCommon, &QAction::triggered, this, [this] { setCommon(false); });
    connect(toggleSpecial, &QAction::triggered, this, &ListMenu::toggleMark);
    connect(backUp, &QAction::triggered, this, &ListMenu::backup);
    connect(clearLibrary, &QAction::triggered, this, &ListMenu::clear);
}

void ListMenu::prepare() {
    const int row = m_list.selectedRow();
    const bool common = m_list.filter().text(row, col::Common) == CommonFlag;
    markCommon->setVisible(!common);
    unmarkCommon->setVisible(common);
    // The hint rows of an empty library are no records: only the
    // whole-library items apply to them, as to a list without rows.
    const bool record = row >= 0 && !m_list.filter().isHintRow(row);
    for (QAction *item : {changeRecord, copyText, deleteRecord, markCommon, unmarkCommon, toggleSpecial})
        item->setEnabled(record);
    m_record.reset();
    m_invalidId = false;
    if (!record)
        return;
    const QString idText = m_list.filter().text(row, col::Id);
    // An ID that is no whole number must not act on another record.
    const auto id = LibraryStore::idFromText(idText);
    if (!id) {
        m_invalidId = true;
        return;
    }
    m_record =
        Target{*id, idText, m_list.filter().text(row, col::Title), m_list.filter().text(row, col::Text), row};
}

void ListMenu::popupAt(const QPoint &globalPos) {
    prepare();
    // The list keeps still while the menu is open; a menu closed without a
    // choice (Esc, a click elsewhere) gives it back at once.
    auto hold = std::make_shared<QuickListWindow::Hold>(m_list.keepOpen());
    connect(
        this, &QMenu::aboutToHide, this, [hold] { hold->reset(); }, Qt::SingleShotConnection);
    popup(globalPos);
}

std::optional<ListMenu::Target> ListMenu::target() {
    if (m_invalidId)
        m_list.setStatus(QStringLiteral("记录编号无效，未做任何修改"));
    return m_record;
}

int ListMenu::rowOfTarget() const {
    if (!m_record)
        return -1;
    // The row right-clicked, while it still shows the record (the rows keep
    // still while the menu and its boxes are open); else any row showing it.
    if (m_list.filter().text(m_record->row, col::Id) == m_record->idText &&
        !m_list.filter().isHintRow(m_record->row))
        return m_record->row;
    return m_list.rowShowing(m_record->idText);
}

void ListMenu::refused(const QString &what, StoreError error) {
    m_list.setStatus(what + QStringLiteral("：") + messages::describe(error));
    // Whatever the library holds now is what the next filling shows.
    m_list.reload();
}

void ListMenu::change() {
    const auto record = target();
    if (!record)
        return;
    // The editor shows the record as the library holds it now: another
    // program may have changed it since the list was filled.
    const auto stored = m_library.find(record->id);
    if (!stored) {
        refused(QStringLiteral("无法修改"), stored.error());
        return;
    }
    emit m_list.editRequested(stored.value());
    m_list.reload();
    m_list.refill();
}

void ListMenu::copy() {
    const auto record = target();
    if (!record)
        return;
    QGuiApplication::clipboard()->setText(record->text);
    m_list.setStatus(QStringLiteral("选定内容已复制到剪贴板中"));
}

void ListMenu::remove() {
    const auto record = target();
    if (!record)
        return;
    // A click on the question box is no click outside the list.
    const auto hold = m_list.keepOpen();
    if (!messages::ask(&m_list, QStringLiteral("是否删除当前记录 ") + record->title))
        return;
    if (const auto removed = m_library.remove(record->id)) {
        m_list.removeRow(rowOfTarget());
        m_list.reload();
    } else {
        refused(QStringLiteral("删除失败"), removed.error());
    }
}

void ListMenu::setCommon(bool common) {
    const auto record = target();
    if (!record)
        return;
    const auto changed = m_library.setCommon(record->id, common);
    if (!changed) {
        refused(common ? QStringLiteral("添加失败") : QStringLiteral("移出常用失败"), changed.error());
        return;
    }
    if (common) {
        // The row itself shows the flag from the next filling on.
        m_list.setStatus(QStringLiteral("选定内容已添加到常用中"));
    } else {
        // Gone from the list whatever category it shows.
        m_list.removeRow(rowOfTarget());
    }
    m_list.reload();
}

void ListMenu::toggleMark() {
    const auto record = target();
    if (!record)
        return;
    // The stored title is toggled, not the one the row shows: the row may be
    // older than the library.
    const auto toggled = m_library.toggleSpecialMark(record->id);
    if (!toggled) {
        refused(QStringLiteral("设置失败"), toggled.error());
        return;
    }
    m_list.setRowTitle(rowOfTarget(), toggled.value());
    m_list.reload();
}

void ListMenu::backup() {
    const auto hold = m_list.keepOpen();
    const auto copied = m_library.backup();
    if (copied)
        messages::tip(&m_list, QStringLiteral("数据库备份完成"));
    else
        messages::plain(&m_list, copied.detail());
}

void ListMenu::clear() {
    const auto hold = m_list.keepOpen();
    if (!messages::ask(&m_list, QStringLiteral("是否清空所在记录，该操作不可恢复")))
        return;
    // The list is emptied only when the library was; the user hears why not.
    const auto cleared = m_library.clear();
    if (!cleared) {
        messages::notice(&m_list, cleared.error() == StoreError::Missing
                                      ? messages::describe(cleared.error())
                                      : QStringLiteral("清空失败：") + messages::describe(cleared.error()) +
                                            QStringLiteral("，记录未改变"));
        return;
    }
    m_list.clearRows();
    m_list.reload();
}
