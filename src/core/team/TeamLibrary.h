// The team library as the program follows it: the records the quick list
// shows beside the member's own, from the server while it answers and from
// the per-user cache while it does not. The server is talked to on a worker
// thread of its own, which connects, listens for announced changes, fetches
// them, keeps the cache and reconnects after a failure; nothing here ever
// waits for the network on the thread that asks. Changes go to the server
// only while it is online, and only when the record is still the version
// the editor was opened on.
#pragma once

#include "RecordTable.h"
#include "TeamRecord.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace team {
class Follower;
class Server;
} // namespace team

class TeamLibrary : public QObject {
    Q_OBJECT
  public:
    enum class State {
        Off,        // no server set
        Connecting, // the first attempt is under way; the cache is shown meanwhile
        Online,     // connected and listening: the records are the server's
        Offline,    // the server cannot be reached: the records are the cache's, read-only
    };

    // cachePath: where the last library received is kept.
    explicit TeamLibrary(QString cachePath, QObject *parent = nullptr);
    // Stops the worker; a connection attempt under way is given up.
    ~TeamLibrary() override;

    // Follows the server the connection string names (empty: none). The
    // cache is shown at once when it came from the same server.
    void follow(const QString &conninfo);

    State state() const { return m_state; }
    // Since when the server has not answered (Offline), and why.
    QDateTime offlineSince() const { return m_offlineSince; }
    TeamError lastError() const { return m_lastError; }
    QString lastDetail() const { return m_lastDetail; }
    // When the records shown were last received from the server (invalid: never).
    QDateTime receivedAt() const { return m_receivedAt; }
    // Who the server knows this member as (empty until connected).
    QString user() const { return m_user; }

    // The team's records in list order, and the same by ID.
    RecordTable table() const { return m_table; }
    int size() const { return m_records ? int(m_records->size()) : 0; }
    std::optional<TeamRecord> find(qint64 id) const;
    // The same as the quick list lists them after the member's own: groups
    // as "团队·<group>", IDs as team::listId(), none of them common.
    RecordTable listTable() const { return m_listTable; }

    // Changes to the server. Each gives a number that changeFinished()
    // reports with its outcome; offline, the outcome is Offline at once
    // (still through the signal, after returning).
    quint64 add(const Record &record);
    // `version` is TeamRecord::version of the record the editor was opened on.
    quint64 replace(const Record &record, qint64 version);
    quint64 remove(qint64 id, qint64 version);

  signals:
    // The records changed (table() and find() give the new ones).
    void recordsChanged();
    // Online, offline, connecting or off.
    void stateChanged();
    // A change is done: the stored record (add and replace), or why not.
    void changeFinished(quint64 request, const TeamOutcome<TeamRecord> &outcome);

  private:
    friend class team::Follower;
    // From the worker; what an earlier follow() asked for is ignored.
    void received(quint64 generation, std::shared_ptr<const TeamRecords> records, RecordTable table,
                  RecordTable listTable, QDateTime at);
    void reached(quint64 generation, State state, TeamError error, const QString &detail,
                 const QString &user);
    quint64 send(std::function<TeamOutcome<TeamRecord>(team::Server &)> change);

    QString m_cachePath;
    QThread m_thread;
    team::Follower *m_follower = nullptr;
    std::shared_ptr<std::atomic<bool>> m_stop;
    State m_state = State::Off;
    QDateTime m_offlineSince, m_receivedAt;
    TeamError m_lastError = TeamError::None;
    QString m_lastDetail, m_user;
    std::shared_ptr<const TeamRecords> m_records;
    QHash<qint64, int> m_byId;
    RecordTable m_table, m_listTable;
    quint64 m_nextRequest = 0;
    quint64 m_generation = 0;
};
