// Reads the whole library for the quick list on a worker thread, so the list
// can paint its first screen before every record is in. It keeps the last
// table it read while the library file stays as it was: a list opened again
// soon after takes that table at once instead of reading again.
#pragma once

#include "LibraryStore.h"
#include "RecordTable.h"
#include "StoreOutcome.h"

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

class TeamLibrary;

class RecordLoader : public QObject {
    Q_OBJECT
  public:
    explicit RecordLoader(const LibraryStore &library, QObject *parent = nullptr);
    // Abandons a read that is still running and waits for its thread.
    ~RecordLoader() override;

    // The table of the last read, while the library file has not been written
    // since that read began, by this program or another; it is then kept on.
    // A table outdated by a write is dropped.
    std::optional<RecordTable> reuse();
    // Starts reading every record; loaded() follows on this thread. A read
    // already running is abandoned: only the newest one reports.
    void start();
    bool isReading() const { return m_reading; }

    // The table is kept for `ms` more, then dropped, a read still running
    // abandoned, and released() follows; a read or a reuse in between keeps it.
    void releaseLater(int ms);

    // The team library whose records the list shows after the library's own
    // (none when no team library is followed); it lives on its own.
    void setTeam(TeamLibrary *team);
    TeamLibrary *team() const;

  signals:
    void loaded(const Outcome<RecordTable> &records);
    // The records loaded last, with the summaries that speed searches up,
    // worked out on the same thread right after.
    void summarised(const RecordTable &records);
    // The kept table is gone: its memory can go back to the system.
    void released();

  protected:
    // The read itself, on the worker thread (tests hold it back).
    virtual Outcome<RecordTable> readRecords(const std::atomic<bool> *cancel) const {
        return m_library.readAll(cancel);
    }

  private:
    struct Read;
    void finished(const std::shared_ptr<Read> &read);
    void summariesFinished(const std::shared_ptr<Read> &read, const RecordTable &table);
    void release();

    const LibraryStore &m_library;
    QThreadPool m_pool;
    std::shared_ptr<Read> m_current;
    bool m_reading = false;
    std::optional<RecordTable> m_kept;
    LibraryStore::Signature m_keptSignature;
    QTimer m_releaseTimer;
    QPointer<TeamLibrary> m_team;
};
