#include "quick_list/ListActions.h"

#include "LibraryStore.h"
#include "TeamLibrary.h"
#include "common/MessageBoxes.h"
#include "common/TeamWords.h"
#include "quick_list/QuickListFeed.h"

#include <QClipboard>
#include <QGuiApplication>

ListActions::ListActions(const LibraryStore &library, QuickListFeed &feed, QWidget *boxParent,
                         std::function<Hold()> keepOpen)
    : QObject(&feed), m_library(library), m_feed(feed), m_boxParent(boxParent),
      m_keepOpen(std::move(keepOpen)) {}

void ListActions::act(ListMenu::Item item, const std::optional<ListMenu::Target> &target) {
    using Item = ListMenu::Item;
    if (item == Item::BackUp)
        return backup();
    if (item == Item::Clear)
        return clear();
    if (!target)
        return;
    if (item == Item::Copy)
        return copy(*target);
    if (const auto teamId = team::idFromListId(target->idText))
        return actOnTeam(item, *teamId, *target);
    // An ID that is no whole number must not act on another record.
    const auto id = LibraryStore::idFromText(target->idText);
    if (!id) {
        emit status(QStringLiteral("记录编号无效，未做任何修改"));
        return;
    }
    switch (item) {
    case Item::Change:
        return change(*id);
    case Item::Delete:
        return remove(*id, *target);
    case Item::MarkCommon:
    case Item::UnmarkCommon:
        return setCommon(*id, *target, item == Item::MarkCommon);
    case Item::ToggleSpecial:
        return toggleMark(*id, *target);
    default:
        return;
    }
}

void ListActions::refused(const QString &what, StoreError error) {
    emit status(what + QStringLiteral("：") + messages::describe(error));
    // Whatever the library holds now is what the next filling shows.
    m_feed.reload();
}

void ListActions::change(qint64 id) {
    // The editor shows the record as the library holds it now: another
    // program may have changed it since the list was filled.
    const auto stored = m_library.find(id);
    if (!stored) {
        refused(QStringLiteral("无法修改"), stored.error());
        return;
    }
    emit editRequested(stored.value());
    m_feed.reload();
    m_feed.refill();
}

void ListActions::copy(const ListMenu::Target &target) {
    QGuiApplication::clipboard()->setText(target.text);
    emit status(QStringLiteral("选定内容已复制到剪贴板中"));
}

void ListActions::remove(qint64 id, const ListMenu::Target &target) {
    // A click on the question box is no click outside the list.
    const auto hold = m_keepOpen();
    if (!messages::ask(m_boxParent, QStringLiteral("是否删除当前记录 ") + target.title))
        return;
    if (const auto removed = m_library.remove(id)) {
        m_feed.recordDeleted(target.idText);
        m_feed.reload();
    } else {
        refused(QStringLiteral("删除失败"), removed.error());
    }
}

void ListActions::setCommon(qint64 id, const ListMenu::Target &target, bool common) {
    const auto changed = m_library.setCommon(id, common);
    if (!changed) {
        refused(common ? QStringLiteral("添加失败") : QStringLiteral("移出常用失败"), changed.error());
        return;
    }
    // A record marked common shows the flag from the next filling on.
    if (common)
        emit status(QStringLiteral("选定内容已添加到常用中"));
    else
        m_feed.recordLeftCommon(target.idText);
    m_feed.reload();
}

void ListActions::toggleMark(qint64 id, const ListMenu::Target &target) {
    // The stored title is toggled, not the one the row shows: the row may be
    // older than the library.
    const auto toggled = m_library.toggleSpecialMark(id);
    if (!toggled) {
        refused(QStringLiteral("设置失败"), toggled.error());
        return;
    }
    m_feed.recordRetitled(target.idText, toggled.value());
    m_feed.reload();
}

void ListActions::actOnTeam(ListMenu::Item item, qint64 id, const ListMenu::Target &target) {
    TeamLibrary *team = m_feed.team();
    // The record as the team library holds it now: the version a change is checked against.
    const auto record = team ? team->find(id) : std::nullopt;
    if (!record) {
        emit status(QStringLiteral("这条团队记录已不在团队文本库中"));
        return;
    }
    switch (item) {
    case ListMenu::Item::Change:
        emit editTeamRequested(*record);
        return;
    case ListMenu::Item::Delete:
        return removeFromTeam(*record, target);
    default:
        emit status(QStringLiteral("团队记录不能设为常用或特别关注"));
        return;
    }
}

void ListActions::removeFromTeam(const TeamRecord &record, const ListMenu::Target &target) {
    auto hold = std::make_shared<Hold>(m_keepOpen());
    if (!messages::ask(m_boxParent, QStringLiteral("是否删除当前记录 ") + target.title))
        return;
    TeamLibrary *team = m_feed.team();
    const quint64 request = team->remove(record.id, record.version);
    // The server answers later; the list stays held until it has.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(team, &TeamLibrary::changeFinished, this,
                          [this, request, connection, hold,
                           idText = target.idText](quint64 finished, const TeamOutcome<TeamRecord> &outcome) {
                              if (finished != request)
                                  return;
                              disconnect(*connection);
                              if (outcome || outcome.error() == TeamError::Deleted) {
                                  m_feed.recordDeleted(idText);
                                  emit status(QStringLiteral("已从团队文本库删除"));
                              } else {
                                  messages::notice(m_boxParent, QStringLiteral("删除失败：") +
                                                                    messages::describe(outcome));
                              }
                          });
}

void ListActions::sayTeamUntouched() {
    if (m_feed.team() && m_feed.team()->state() != TeamLibrary::State::Off)
        emit status(QStringLiteral("只涉及自己的文本库，团队文本库没有改变"));
}

void ListActions::backup() {
    const auto hold = m_keepOpen();
    const auto copied = m_library.backup();
    if (copied) {
        messages::tip(m_boxParent, QStringLiteral("数据库备份完成"));
        sayTeamUntouched();
    } else {
        messages::plain(m_boxParent, copied.detail());
    }
}

void ListActions::clear() {
    const auto hold = m_keepOpen();
    if (!messages::ask(m_boxParent, QStringLiteral("是否清空所在记录，该操作不可恢复")))
        return;
    // The list is emptied only when the library was; the user hears why not.
    const auto cleared = m_library.clear();
    if (!cleared) {
        messages::notice(m_boxParent, cleared.error() == StoreError::Missing
                                          ? messages::describe(cleared.error())
                                          : QStringLiteral("清空失败：") +
                                                messages::describe(cleared.error()) +
                                                QStringLiteral("，记录未改变"));
        return;
    }
    m_feed.libraryCleared();
    m_feed.reload();
    sayTeamUntouched();
}
