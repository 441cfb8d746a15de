// A record of the team library: the library's seven columns as the server
// holds them, and who changed it last and when.
#pragma once

#include "Record.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct TeamRecord {
    qint64 id = 0;
    // The texts as UTF-8, exactly as stored; a null array is a NULL column.
    QByteArray group, category, title, text, changeTime, commonFlag;
    QString changedBy;
    // When it was changed last, in microseconds since 1970 (UTC). It also
    // names the version of the record: every change gives a later one.
    qint64 version = 0;

    QDateTime changedAt() const { return QDateTime::fromMSecsSinceEpoch(version / 1000, Qt::UTC); }
    bool operator==(const TeamRecord &) const = default;

    Record toRecord() const {
        return Record{id,
                      QString::fromUtf8(group),
                      QString::fromUtf8(category),
                      QString::fromUtf8(title),
                      QString::fromUtf8(text),
                      QString::fromUtf8(changeTime),
                      QString::fromUtf8(commonFlag) == CommonFlag};
    }
    // A record as the editor gives it; the version is the one it was opened on.
    static TeamRecord fromRecord(const Record &r, qint64 version = 0) {
        TeamRecord t;
        t.id = r.id;
        t.group = r.group.toUtf8();
        t.category = r.category.toUtf8();
        t.title = r.title.toUtf8();
        t.text = r.text.toUtf8();
        t.changeTime = r.changeTime.toUtf8();
        t.commonFlag = r.common ? CommonFlag.toUtf8() : QByteArray("");
        t.version = version;
        return t;
    }
};

using TeamRecords = std::vector<TeamRecord>;

// How the quick list tells the team's records from the member's own: a team
// record's group is listed as "团队·<group>", and its ID as "团队:<id>", which
// the member's library, whose IDs are numbers, never holds.
namespace team {
inline const QString GroupPrefix = QStringLiteral("团队·");
inline const QString IdPrefix = QStringLiteral("团队:");
inline QString listId(qint64 id) {
    return IdPrefix + QString::number(id);
}
// The team record's ID a list row holds; none for the member's own records.
inline std::optional<qint64> idFromListId(const QString &idText) {
    if (!idText.startsWith(IdPrefix))
        return std::nullopt;
    bool ok = false;
    const qint64 id = QStringView(idText).sliced(IdPrefix.size()).toLongLong(&ok);
    return ok ? std::optional<qint64>(id) : std::nullopt;
}
} // namespace team

enum class TeamError {
    None,
    NotBuilt,            // this program was built without libpq
    NotConfigured,       // no connection string
    BadConnectionString, // libpq cannot read it (detail: its words, without the values)
    PasswordInString,    // the string holds a password, which belongs in the password file
    NoPassword,          // the server asks for a password and the password file has none
    WrongPassword,       // the server refused the password
    NoAccess,            // the server refused the user or the database (detail: its words)
    Unreachable,         // no server answered (detail: libpq's words)
    NoTable,             // the database has no team library: run --team-init
    NotAllowed,          // the server's permissions refuse the change
    Conflict,            // someone changed the record since it was read (changedBy, changedAt)
    Deleted,             // the record is gone from the server
    Offline,             // the team library is offline: it can only be read
    NulInText,           // a text holds the character NUL, which the server cannot store
    Lost,                // the connection broke off
    Server,              // anything else the server reported (detail: its words)
};

// What a team operation came to, without its value: whether it went through,
// why not, and for a conflict who changed the record last and when.
class TeamResult {
  public:
    TeamResult() = default;
    TeamResult(TeamError error, QString detail = {}) : m_error(error), m_detail(std::move(detail)) {}

    bool ok() const { return m_error == TeamError::None; }
    explicit operator bool() const { return ok(); }
    TeamError error() const { return m_error; }
    const QString &detail() const { return m_detail; }
    const QString &changedBy() const { return m_changedBy; }
    const QDateTime &changedAt() const { return m_changedAt; }

  protected:
    void noteChange(QString by, QDateTime at) { m_changedBy = std::move(by), m_changedAt = std::move(at); }

  private:
    TeamError m_error = TeamError::None;
    QString m_detail;
    QString m_changedBy;
    QDateTime m_changedAt;
};

// A team operation's outcome with its value when it went through; another
// outcome's failure carries over (its value does not).
template <typename T = void> class TeamOutcome : public TeamResult {
  public:
    // An outcome not known yet (for containers and signals).
    TeamOutcome() : TeamResult(TeamError::Server) {}
    TeamOutcome(T value) : m_value(std::move(value)) {}
    TeamOutcome(TeamError error, QString detail = {}) : TeamResult(error, std::move(detail)) {}
    template <typename U> TeamOutcome(const TeamOutcome<U> &other) : TeamResult(other) {}

    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    TeamOutcome &setChange(QString by, QDateTime at) {
        noteChange(std::move(by), std::move(at));
        return *this;
    }

  private:
    std::optional<T> m_value;
};

template <> class TeamOutcome<void> : public TeamResult {
  public:
    TeamOutcome() = default;
    TeamOutcome(TeamError error, QString detail = {}) : TeamResult(error, std::move(detail)) {}
    template <typename U> TeamOutcome(const TeamOutcome<U> &other) : TeamResult(other) {}

    TeamOutcome &setChange(QString by, QDateTime at) {
        noteChange(std::move(by), std::move(at));
        return *this;
    }
};
