#include "TeamServer.h"

#include "LibraryStore.h"
#include "TeamSchema.h"

#include <QElapsedTimer>
#include <QLibrary>
#include <QRegularExpression>
#include <libpq-fe.h>
#include <sys/select.h>
#include <vector>

namespace team {

namespace {

// libpq is loaded the first time the team library is used, not when the
// program starts: a program that follows no team library never loads it and
// the two dozen libraries it needs (at start, 6 MiB and 25 ms on a test
// machine).
#define VEMO_LIBPQ_FUNCTIONS(F) \
    F(PQclear) F(PQcmdTuples) F(PQconnectPoll) F(PQconnectStartParams) F(PQconnectionNeedsPassword) \
    F(PQconnectionUsedPassword) F(PQconninfoFree) F(PQconninfoParse) F(PQconsumeInput) F(PQerrorMessage) \
    F(PQexec) F(PQexecParams) F(PQfinish) F(PQfreemem) F(PQgetisnull) F(PQgetlength) F(PQgetvalue) \
    F(PQnotifies) F(PQntuples) F(PQresultErrorField) F(PQresultErrorMessage) F(PQresultStatus) \
    F(PQsetNoticeProcessor) F(PQsocket) F(PQstatus) F(PQuser)

struct Libpq {
#define VEMO_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
    VEMO_LIBPQ_FUNCTIONS(VEMO_LIBPQ_MEMBER)
#undef VEMO_LIBPQ_MEMBER
};

// libpq's functions; nullptr when libpq cannot be loaded.
const Libpq *loadLibpq() {
    static const Libpq *const loaded = []() -> const Libpq * {
#ifdef Q_OS_WIN
        static QLibrary library(QStringLiteral("libpq"));
#else
        static QLibrary library(QStringLiteral("pq"), 5);
#endif
        static Libpq functions;
        if (!library.load())
            return nullptr;
#define VEMO_LIBPQ_RESOLVE(name)                                                                                \
    if (!(functions.name = reinterpret_cast<decltype(functions.name)>(library.resolve(#name))))                 \
        return nullptr;
        VEMO_LIBPQ_FUNCTIONS(VEMO_LIBPQ_RESOLVE)
#undef VEMO_LIBPQ_RESOLVE
        return &functions;
    }();
    return loaded;
}

// The functions, once a connection string was checked (which loads them).
const Libpq &pq() {
    return *loadLibpq();
}

// More announcements than this at once are fetched as the whole library.
constexpr int MostIdsFetched = 1000;
// How long a connection may take to be made, all hosts together.
constexpr qint64 ConnectTimeoutMs = 10000;
// Fresh keys drawn for a new record before giving up.
constexpr int MaxKeyDraws = 100;

using Result = std::unique_ptr<PGresult, decltype(pq().PQclear)>;

// libpq's words without anything it quoted from the connection string.
QString withoutQuotes(const char *message) {
    QString text = QString::fromUtf8(message).trimmed();
    text.replace(QRegularExpression(QStringLiteral("\"[^\"]*\"")), QStringLiteral("\"…\""));
    return text;
}

bool holdsNul(const TeamRecord &r) {
    for (const QByteArray *t : {&r.group, &r.category, &r.title, &r.text, &r.changeTime, &r.commonFlag})
        if (t->contains('\0'))
            return true;
    return false;
}

QByteArray column(const PGresult *result, int row, int col) {
    if (pq().PQgetisnull(result, row, col))
        return QByteArray();
    const char *value = pq().PQgetvalue(result, row, col);
    const int length = pq().PQgetlength(result, row, col);
    return length == 0 ? QByteArray("") : QByteArray(value, length);
}

TeamRecord recordAt(const PGresult *result, int row) {
    TeamRecord r;
    r.id = QByteArray(pq().PQgetvalue(result, row, 0)).toLongLong();
    r.group = column(result, row, 1);
    r.category = column(result, row, 2);
    r.title = column(result, row, 3);
    r.text = column(result, row, 4);
    r.changeTime = column(result, row, 5);
    r.commonFlag = column(result, row, 6);
    r.changedBy = QString::fromUtf8(column(result, row, 7));
    r.version = QByteArray(pq().PQgetvalue(result, row, 8)).toLongLong();
    return r;
}

} // namespace

bool available() {
    return loadLibpq() != nullptr;
}

TeamOutcome<QString> checkConnectionString(const QString &conninfo) {
    if (conninfo.trimmed().isEmpty())
        return TeamError::NotConfigured;
    if (!loadLibpq())
        return TeamError::NotBuilt;
    char *error = nullptr;
    PQconninfoOption *options = pq().PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        const QString detail = error ? withoutQuotes(error) : QString();
        pq().PQfreemem(error);
        return {TeamError::BadConnectionString, detail};
    }
    bool password = false;
    for (PQconninfoOption *o = options; o->keyword; ++o)
        password = password || (QByteArrayView(o->keyword) == "password" && o->val && *o->val);
    pq().PQconninfoFree(options);
    if (password)
        return TeamError::PasswordInString;
    return conninfo.trimmed();
}

TeamOutcome<qint64> probe(const QString &conninfo) {
    Server server;
    if (const auto opened = server.open(conninfo); !opened)
        return opened;
    return server.count();
}

struct Server::Private {
    PGconn *conn = nullptr;

    // The failure of the last command, classified by its SQLSTATE.
    TeamOutcome<> failure(const PGresult *result) const {
        const char *state = result ? pq().PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        const QString message =
            QString::fromUtf8(result ? pq().PQresultErrorMessage(result) : pq().PQerrorMessage(conn)).trimmed();
        if (pq().PQstatus(conn) != CONNECTION_OK)
            return {TeamError::Lost, message};
        const QByteArrayView code(state ? state : "");
        if (code == "42P01" || code == "3F000")
            return {TeamError::NoTable, message};
        if (code == "42501")
            return {TeamError::NotAllowed, message};
        return {TeamError::Server, message};
    }

    // Runs a command with text parameters (a null array is NULL).
    Result run(const char *sql, const std::vector<QByteArray> &params = {}) const {
        std::vector<const char *> values;
        std::vector<int> lengths;
        for (const QByteArray &p : params) {
            values.push_back(p.isNull() ? nullptr : p.constData());
            lengths.push_back(int(p.size()));
        }
        return Result(
            pq().PQexecParams(conn, sql, int(params.size()), nullptr, values.data(), lengths.data(), nullptr, 0),
            pq().PQclear);
    }

    static bool succeeded(const Result &r) {
        const auto status = pq().PQresultStatus(r.get());
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    }

    TeamOutcome<TeamRecords> records(const Result &result) const {
        if (!succeeded(result))
            return failure(result.get());
        TeamRecords out;
        const int rows = pq().PQntuples(result.get());
        out.reserve(size_t(rows));
        for (int row = 0; row < rows; ++row)
            out.push_back(recordAt(result.get(), row));
        return out;
    }

    // Why a record could not be changed: who changed it since, or that it is gone.
    TeamOutcome<> whyUnchanged(qint64 id) const {
        const QByteArray sql = QByteArray(teamSchema::SelectColumns) + " WHERE \"ID\" = $1";
        const auto now = records(run(sql.constData(), {QByteArray::number(id)}));
        if (!now)
            return now;
        if (now.value().empty())
            return TeamError::Deleted;
        const TeamRecord &r = now.value().front();
        return TeamOutcome<>(TeamError::Conflict).setChange(r.changedBy, r.changedAt());
    }
};

Server::Server() : d(std::make_unique<Private>()) {}

Server::~Server() {
    close();
}

void Server::close() {
    if (d->conn)
        pq().PQfinish(d->conn);
    d->conn = nullptr;
}

bool Server::isOpen() const {
    return d->conn && pq().PQstatus(d->conn) == CONNECTION_OK;
}

int Server::socket() const {
    return d->conn ? pq().PQsocket(d->conn) : -1;
}

QString Server::user() const {
    return d->conn ? QString::fromUtf8(pq().PQuser(d->conn)) : QString();
}

TeamOutcome<> Server::open(const QString &conninfo, const std::atomic<bool> *stop) {
    close();
    const auto checked = checkConnectionString(conninfo);
    if (!checked)
        return checked;
    const QByteArray dbname = checked.value().toUtf8();
    // Ours first, so the connection string overrides them; the encoding last,
    // since the program speaks UTF-8 whatever the database's is.
    const char *keywords[] = {
        "connect_timeout",  "keepalives_idle", "keepalives_interval", "keepalives_count",
        "application_name", "dbname",          "client_encoding",     nullptr};
    const char *values[] = {"5", "20", "5", "3", "vemo", dbname.constData(), "UTF8", nullptr};
    d->conn = pq().PQconnectStartParams(keywords, values, 1);
    if (!d->conn)
        return {TeamError::Unreachable, QStringLiteral("out of memory")};
    // The server's notices (a shutdown's farewell among them) are not printed.
    pq().PQsetNoticeProcessor(
        d->conn, [](void *, const char *) {}, nullptr);
    QElapsedTimer clock;
    clock.start();
    PostgresPollingStatusType poll = PGRES_POLLING_WRITING;
    while (pq().PQstatus(d->conn) != CONNECTION_BAD && poll != PGRES_POLLING_OK && poll != PGRES_POLLING_FAILED) {
        const int fd = pq().PQsocket(d->conn);
        if (fd < 0)
            break;
        // Waits in short steps so that a stop request is seen soon.
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timeval step{0, 100000};
        const int ready = poll == PGRES_POLLING_READING ? select(fd + 1, &set, nullptr, nullptr, &step)
                                                        : select(fd + 1, nullptr, &set, nullptr, &step);
        if (stop && stop->load()) {
            close();
            return {TeamError::Unreachable, QStringLiteral("cancelled")};
        }
        if (ready != 0)
            poll = pq().PQconnectPoll(d->conn);
        // libpq enforces connect_timeout only in its own blocking connect:
        // a polled one keeps its own clock.
        if (poll != PGRES_POLLING_OK && clock.hasExpired(ConnectTimeoutMs)) {
            close();
            return {TeamError::Unreachable, QStringLiteral("timeout expired")};
        }
    }
    if (pq().PQstatus(d->conn) == CONNECTION_OK)
        return {};
    const QString message = QString::fromUtf8(pq().PQerrorMessage(d->conn)).trimmed();
    TeamError error = TeamError::Unreachable;
    // "Used" only says that the server asked for one.
    if (pq().PQconnectionNeedsPassword(d->conn))
        error = TeamError::NoPassword;
    else if (pq().PQconnectionUsedPassword(d->conn))
        error = TeamError::WrongPassword;
    else if (message.contains(QLatin1String("does not exist")) ||
             message.contains(QLatin1String("no pg_hba")) ||
             message.contains(QLatin1String("authentication failed")) ||
             message.contains(QLatin1String("permission denied")))
        error = TeamError::NoAccess;
    close();
    return {error, message};
}

TeamOutcome<bool> Server::initialize() {
    const Result complete = d->run(teamSchema::IsCompleteSql);
    if (!d->succeeded(complete))
        return d->failure(complete.get());
    if (QByteArrayView(pq().PQgetvalue(complete.get(), 0, 0)) == "t")
        return false;
    const Result made(pq().PQexec(d->conn, teamSchema::InitializeSql), pq().PQclear);
    if (!d->succeeded(made)) {
        const TeamOutcome<> why = d->failure(made.get());
        d->run("ROLLBACK");
        return why;
    }
    return true;
}

TeamOutcome<qint64> Server::count() {
    const Result r = d->run("SELECT count(*) FROM vemo.\"VBcode\"");
    if (!d->succeeded(r))
        return d->failure(r.get());
    return QByteArray(pq().PQgetvalue(r.get(), 0, 0)).toLongLong();
}

TeamOutcome<TeamRecords> Server::fetchAll() {
    const QByteArray sql = QByteArray(teamSchema::SelectColumns) + " ORDER BY \"ID\"";
    return d->records(d->run(sql.constData()));
}

TeamOutcome<TeamRecords> Server::fetch(const QSet<qint64> &ids) {
    QByteArray list = "{";
    for (const qint64 id : ids)
        list += (list.size() > 1 ? "," : "") + QByteArray::number(id);
    list += '}';
    const QByteArray sql = QByteArray(teamSchema::SelectColumns) + " WHERE \"ID\" = ANY($1::bigint[])";
    return d->records(d->run(sql.constData(), {list}));
}

TeamOutcome<> Server::listen() {
    const Result r = d->run("LISTEN vemo_team");
    if (!d->succeeded(r))
        return d->failure(r.get());
    return {};
}

TeamOutcome<Changes> Server::takeChanges() {
    if (!d->conn || !pq().PQconsumeInput(d->conn) || pq().PQstatus(d->conn) != CONNECTION_OK)
        return {TeamError::Lost, d->conn ? QString::fromUtf8(pq().PQerrorMessage(d->conn)).trimmed() : QString()};
    Changes changes;
    while (PGnotify *n = pq().PQnotifies(d->conn)) {
        const QByteArrayView payload(n->extra);
        if (payload == "*")
            changes.everything = true;
        else
            changes.ids.insert(QByteArray(n->extra).toLongLong());
        pq().PQfreemem(n);
    }
    if (changes.ids.size() > MostIdsFetched)
        changes.everything = true;
    return changes;
}

namespace {

std::vector<QByteArray> valuesOf(const TeamRecord &r) {
    return {QByteArray::number(r.id), r.group, r.category, r.title, r.text, r.changeTime, r.commonFlag};
}

} // namespace

TeamOutcome<TeamRecord> Server::add(const TeamRecord &record) {
    if (holdsNul(record))
        return TeamError::NulInText;
    TeamRecord wanted = record;
    if (wanted.id == 0)
        wanted.id = LibraryStore::newKey();
    const QByteArray sql =
        QByteArray(
            "INSERT INTO vemo.\"VBcode\" (\"ID\", \"MoudleName\", \"TypeName\", \"CodeName\", \"Code\", "
            "\"ChangeTime\", \"IsUsed\") VALUES ($1, $2, $3, $4, $5, $6, $7) ON CONFLICT (\"ID\") DO "
            "NOTHING RETURNING ") +
        QByteArray(teamSchema::SelectColumns).mid(7).replace(" FROM vemo.\"VBcode\"", "");
    for (int draw = 0; draw < MaxKeyDraws; ++draw) {
        const auto stored = d->records(d->run(sql.constData(), valuesOf(wanted)));
        if (!stored)
            return stored;
        if (!stored.value().empty())
            return stored.value().front();
        wanted.id = LibraryStore::newKey();
    }
    return {TeamError::Server, QStringLiteral("no free key")};
}

TeamOutcome<TeamRecord> Server::replace(const TeamRecord &record) {
    if (holdsNul(record))
        return TeamError::NulInText;
    auto values = valuesOf(record);
    values.push_back(QByteArray::number(record.version));
    const QByteArray sql =
        QByteArray("UPDATE vemo.\"VBcode\" SET \"MoudleName\" = $2, \"TypeName\" = $3, \"CodeName\" = $4, "
                   "\"Code\" = $5, \"ChangeTime\" = $6, \"IsUsed\" = $7 WHERE \"ID\" = $1 AND \"ChangedAt\" "
                   "= " VEMO_TEAM_VERSION_SQL("$8") " RETURNING ") +
        QByteArray(teamSchema::SelectColumns).mid(7).replace(" FROM vemo.\"VBcode\"", "");
    const auto stored = d->records(d->run(sql.constData(), values));
    if (!stored)
        return stored;
    if (stored.value().empty())
        return d->whyUnchanged(record.id);
    return stored.value().front();
}

TeamOutcome<> Server::remove(qint64 id, qint64 version) {
    const Result r = d->run(
        "DELETE FROM vemo.\"VBcode\" WHERE \"ID\" = $1 AND \"ChangedAt\" = " VEMO_TEAM_VERSION_SQL("$2"),
        {QByteArray::number(id), QByteArray::number(version)});
    if (!d->succeeded(r))
        return d->failure(r.get());
    if (QByteArrayView(pq().PQcmdTuples(r.get())) == "0")
        return d->whyUnchanged(id);
    return {};
}

TeamOutcome<> Server::beginExclusive() {
    for (const char *sql : {"BEGIN", "LOCK TABLE vemo.\"VBcode\" IN SHARE ROW EXCLUSIVE MODE"}) {
        const Result r = d->run(sql);
        if (!d->succeeded(r)) {
            const TeamOutcome<> why = d->failure(r.get());
            rollback();
            return why;
        }
    }
    return {};
}

TeamOutcome<> Server::insertAll(const TeamRecords &records) {
    for (const TeamRecord &record : records) {
        if (holdsNul(record))
            return {TeamError::NulInText, QStringLiteral("记录“%1”").arg(QString::fromUtf8(record.title))};
        const Result r =
            d->run("INSERT INTO vemo.\"VBcode\" (\"ID\", \"MoudleName\", \"TypeName\", "
                   "\"CodeName\", \"Code\", \"ChangeTime\", \"IsUsed\") VALUES ($1, $2, $3, $4, $5, "
                   "$6, $7)",
                   valuesOf(record));
        if (!d->succeeded(r))
            return d->failure(r.get());
    }
    return {};
}

TeamOutcome<> Server::commit() {
    const Result r = d->run("COMMIT");
    if (!d->succeeded(r))
        return d->failure(r.get());
    return {};
}

void Server::rollback() {
    if (d->conn)
        d->run("ROLLBACK");
}

} // namespace team
