// What the quick list's menu items do: each acts on a record, named by its
// ID, in the library, then brings the feed's rows up to date; failures say
// why in the status line (status) or a box. 修改内容 asks for the editor with
// the record as the library holds it now.
#pragma once

#include "Record.h"
#include "StoreOutcome.h"
#include "TeamRecord.h"
#include "quick_list/ListMenu.h"

#include <QObject>
#include <functional>
#include <memory>

class LibraryStore;
class QuickListFeed;
class QWidget;

class ListActions : public QObject {
    Q_OBJECT
  public:
    // The boxes open over `boxParent`; `keepOpen` holds the list still while one is up.
    using Hold = std::shared_ptr<const void>;
    ListActions(const LibraryStore &library, QuickListFeed &feed, QWidget *boxParent,
                std::function<Hold()> keepOpen);

    void act(ListMenu::Item item, const std::optional<ListMenu::Target> &target);

  signals:
    void status(const QString &text);
    void editRequested(const Record &record);
    // 修改内容 on a team record: the editor opens on it as the team library holds it now.
    void editTeamRequested(const TeamRecord &record);

  private:
    // The library refused a change: the rows stay as they were and the status line says why.
    void refused(const QString &what, StoreError error);
    void change(qint64 id);
    void copy(const ListMenu::Target &target);
    void remove(qint64 id, const ListMenu::Target &target);
    void setCommon(qint64 id, const ListMenu::Target &target, bool common);
    void toggleMark(qint64 id, const ListMenu::Target &target);
    // The items on a team record go to the server through the team library.
    void actOnTeam(ListMenu::Item item, qint64 id, const ListMenu::Target &target);
    void removeFromTeam(const TeamRecord &record, const ListMenu::Target &target);
    // After 备份 and 清空, which act on the member's own library.
    void sayTeamUntouched();
    void backup();
    void clear();

    const LibraryStore &m_library;
    QuickListFeed &m_feed;
    QWidget *m_boxParent;
    std::function<Hold()> m_keepOpen;
};
