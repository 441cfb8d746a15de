// What the quick list shows, without any widget: the rows of a category or a
// search over the records it holds, and how those records come in. A list
// opens on its first screen of rows and the categories, read alone; the whole
// library follows from the record loader's thread (or at once, when the
// loader still holds it unchanged). A filling asked for before the whole
// library is in waits for it. While the list is held (a menu, a box or the
// editor works on the rows the user sees) newly read records, reads of a
// changed library and a fresh "常用" wait for the hold's end.
// The window shows the rows and forwards what the user asks for; the list's
// actions change the rows by record.
#pragma once

#include "SearchFilter.h"
#include "StoreOutcome.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

class LibraryStore;
class RecordLoader;
class Settings;
class TeamLibrary;

class QuickListFeed : public QObject {
    Q_OBJECT
  public:
    QuickListFeed(Settings &settings, const LibraryStore &library, RecordLoader &loader,
                  QObject *parent = nullptr);
    ~QuickListFeed() override;

    // Shows "常用" from the records the loader still holds, or waits for the
    // first screen; call once the rows' signals are connected.
    void open();
    // Reads the first screen soon, unless the loader's records were taken
    // at once; call when the list is on its way to the screen.
    void start();

    // The fillings: the records of a category ("常用" is one), or the
    // matches of a search text. Until the whole library is in, they wait.
    void showCategory(const QString &name);
    void search(const QString &text);

    // The library changed: it is read again, and the next filling, which
    // waits for the read, shows what it holds now. While the list is held the
    // rows keep still and stay usable; the library is read when the hold ends.
    void reload();
    // "常用" shown afresh, as on opening; while the list is held, when the
    // hold ends.
    void refill();
    // The rows change after an action on a record, named by its ID as the
    // list holds it, or on the whole library.
    void recordDeleted(const QString &idText);
    void recordLeftCommon(const QString &idText);
    void recordRetitled(const QString &idText, const QString &title);
    void libraryCleared();

    // A hold on the list begins or ends: records read meanwhile wait for its end.
    void setHeld(bool held);
    bool isHeld() const { return m_held; }

    const SearchFilter &rows() const { return m_filter; }
    // The team library whose records follow the member's own; none when none is followed.
    TeamLibrary *team() const;
    // What the status line says of the team library now (empty: nothing).
    QString teamNotice() const;
    // The row that shows a record, by its ID as the list holds it; a record
    // row is preferred to the last-used row. -1 when no row shows it.
    int rowShowing(const QString &idText) const;
    // The whole library is still being read.
    bool isReading() const { return m_reading; }
    // A filling waits for the whole library: the rows shown are not the
    // ones the user asked for.
    bool isWaiting() const { return m_waiting.has_value(); }
    // A key for the rows a waiting filling brings: it comes back with caughtUp.
    void keepKey(int key) { m_keys << key; }

    // How the rows changed: refilled (the first row goes current), grown from
    // the first screen into the whole list (the same record stays current
    // and on top), or one row edited or removed (that row goes current).
    enum class Change { Refilled, Grown, Edited };

  signals:
    void rowsAboutToChange(Change change);
    void rowsChanged(Change change, int row);
    // The categories are known (after the first complete filling) or
    // changed (the team's groups did); `shown` is the category whose rows are
    // shown, empty during a search.
    void categoriesRead(const QStringList &names, const QString &shown);
    // A filling began or stopped waiting for the whole library.
    void waitingChanged(bool waiting);
    // The filling that waited is shown: the keys kept for it act now.
    void caughtUp(const QList<int> &keys);
    // The library could not be read.
    void readFailed(StoreError error);
    // The team library went online or offline: what the status line is to
    // say now (empty while it is online or there is none).
    void teamNoticeChanged(const QString &notice);

  private:
    struct Filling {
        QString category;
        bool search = false;
        QString text;
    };
    void fill(const Filling &filling);
    // Builds the rows; false when the search text is no valid pattern.
    bool load(const Filling &filling);
    void readFirstScreen();
    void recordsArrived(const Outcome<RecordTable> &records);
    // The records with their search summaries (see RecordLoader::summarised).
    void summariesArrived(const RecordTable &records);
    void markReadFailure(StoreError error);
    // The member's own records, followed by the team's when a team library is followed.
    RecordTable withTeam(const RecordTable &own) const;
    // The member's own records as read; the filter gets them joined to the team's.
    void setOwn(RecordTable own);
    // The team's records changed: they are joined to the own on a worker, and
    // the rows shown take them in place (teamJoined).
    void teamChanged();
    void teamJoined(quint64 generation, const RecordTable &joined);

    Settings &m_settings;
    const LibraryStore &m_library;
    RecordLoader &m_loader;
    SearchFilter m_filter;
    // The member's own records as last read (the filter holds them joined to the team's).
    RecordTable m_own;
    // The whole library is being read; a filling asked for meanwhile waits.
    bool m_reading = false;
    bool m_firstScreenPending = false;
    bool m_categoriesKnown = false;
    bool m_held = false;
    std::optional<Filling> m_waiting;
    Filling m_last;
    QList<int> m_keys;
    // The whole library arrived while the list was held.
    std::optional<Outcome<RecordTable>> m_heldRecords;
    // The library changed, or "常用" was asked for again, while the list was
    // held: done when the hold ends.
    bool m_readWhenReleased = false;
    bool m_refillWhenReleased = false;
    bool m_teamChangedWhenReleased = false;
    // The joins under way on a worker: only the newest one counts, and none
    // once the feed is gone.
    struct Joins {
        QMutex mutex;
        QuickListFeed *feed = nullptr;
        std::atomic<quint64> generation = 0;
    };
    std::shared_ptr<Joins> m_joins = std::make_shared<Joins>();
};
