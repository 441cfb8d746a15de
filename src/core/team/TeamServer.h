// One connection to the team library's PostgreSQL server, through libpq. It
// blocks: the program uses it on a worker thread, the command line directly.
// Every value is sent as a parameter; nothing here shows anything.
//
// On the server the team library is the table vemo."VBcode": the library's
// seven columns and "ChangedBy", "ChangedAt", which a trigger sets on every
// change; another trigger announces every change on the channel vemo_team
// (the ID, or "*" when the table was emptied). The roles vemo_reader (read)
// and vemo_editor (read and write) carry the permissions.
#pragma once

#include "TeamRecord.h"

#include <QSet>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace team {

// The notification channel.
inline constexpr const char *Channel = "vemo_team";

// Whether this program was built with the team library.
bool available();

// The connection string without a password, or why it cannot be used: a
// password belongs in libpq's password file or service file, never in the
// settings; and an empty string names no server.
TeamOutcome<QString> checkConnectionString(const QString &conninfo);

// Connects and counts the team's records: what the settings window's test
// reports.
TeamOutcome<qint64> probe(const QString &conninfo);

// What the announcements received since the last look name.
struct Changes {
    bool everything = false; // the table was emptied, or too many to fetch one by one
    QSet<qint64> ids;
};

class Server {
  public:
    Server();
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Connects; gives up when `stop` turns true or after the connection
    // string's connect_timeout (5 s unless it says otherwise).
    TeamOutcome<> open(const QString &conninfo, const std::atomic<bool> *stop = nullptr);
    void close();
    bool isOpen() const;
    // The connection's socket, readable when announcements arrive or the server goes away.
    int socket() const;
    // The user name the server knows us by.
    QString user() const;

    // Makes the table, its triggers, the roles and their grants, where any is
    // missing; gives whether anything was made (false: all was there).
    TeamOutcome<bool> initialize();

    TeamOutcome<qint64> count();
    // Every record, in ID order.
    TeamOutcome<TeamRecords> fetchAll();
    // The records with these IDs that exist.
    TeamOutcome<TeamRecords> fetch(const QSet<qint64> &ids);

    // Starts receiving announcements of changes.
    TeamOutcome<> listen();
    // The announcements that arrived, without waiting; Lost when the
    // connection broke off.
    TeamOutcome<Changes> takeChanges();

    // Stores a new record under its ID, or under a fresh one when it is 0
    // or taken; gives the stored record.
    TeamOutcome<TeamRecord> add(const TeamRecord &record);
    // Replaces the record with the same ID when it is still the version it
    // was read as (record.version); otherwise Conflict, naming who changed it
    // and when, or Deleted.
    TeamOutcome<TeamRecord> replace(const TeamRecord &record);
    // Removes it on the same condition.
    TeamOutcome<> remove(qint64 id, qint64 version);

    // An import: one transaction, in which no one else writes the table
    // (a reader's lock is refused by the server).
    TeamOutcome<> beginExclusive();
    TeamOutcome<> insertAll(const TeamRecords &records);
    TeamOutcome<> commit();
    void rollback();

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace team
