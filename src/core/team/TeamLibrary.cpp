#include "TeamLibrary.h"

#include "TeamCache.h"
#include "TeamServer.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <map>

namespace team {

namespace {

// Waits between attempts to reach the server: soon at first, then every few
// seconds, so a member sees the library within seconds of its return.
constexpr int RetryDelaysMs[] = {500, 1000, 2000, 4000};
// Changes arriving close together are written to the cache once.
constexpr int CacheWriteDelayMs = 300;

QVariant nullable(const QByteArray &bytes) {
    return bytes.isNull() ? QVariant() : QVariant(QString::fromUtf8(bytes));
}

} // namespace

// Lives on the worker thread: the connection, the records as received and the cache.
class Follower : public QObject {
  public:
    Follower(TeamLibrary *library, quint64 generation, QString conninfo, QString cachePath,
             std::shared_ptr<std::atomic<bool>> stop)
        : m_library(library), m_generation(generation), m_conninfo(std::move(conninfo)),
          m_cachePath(std::move(cachePath)), m_stop(std::move(stop)) {
        m_retry.setParent(this);
        m_cacheWrite.setParent(this);
        m_retry.setSingleShot(true);
        m_cacheWrite.setSingleShot(true);
        m_cacheWrite.setInterval(CacheWriteDelayMs);
        connect(&m_retry, &QTimer::timeout, this, &Follower::attempt);
        connect(&m_cacheWrite, &QTimer::timeout, this, &Follower::writeCache);
    }
    // On the worker thread, when the follower is done with.
    ~Follower() override {
        if (m_cacheWrite.isActive())
            writeCache();
    }

    void start() {
        const auto source = checkConnectionString(m_conninfo);
        m_source = source ? source.value() : QString();
        if (!source) {
            report(TeamLibrary::State::Offline, source.error(), source.detail());
            return;
        }
        // The last library received from this server, until it answers.
        if (auto cached = readCache(m_cachePath); cached && cached.value().source == m_source) {
            for (TeamRecord &r : cached.value().records)
                m_records.emplace(r.id, std::move(r));
            m_receivedAt = cached.value().fetchedAt;
            publish();
        }
        report(TeamLibrary::State::Connecting, TeamError::None, {});
        attempt();
    }

    // Runs a change on the server and hands the outcome back.
    void change(quint64 request, const std::function<TeamOutcome<TeamRecord>(Server &)> &run) {
        TeamOutcome<TeamRecord> outcome(TeamError::Offline);
        if (m_server.isOpen()) {
            outcome = run(m_server);
            if (outcome.error() == TeamError::Lost)
                lost(outcome.detail());
        }
        QPointer<TeamLibrary> library(m_library);
        QMetaObject::invokeMethod(
            m_library, [library, request, outcome] { emit library->changeFinished(request, outcome); },
            Qt::QueuedConnection);
        // The change itself is announced to every member, this one included:
        // the records follow with that announcement.
    }

  private:
    void attempt() {
        if (m_stop->load())
            return;
        const auto opened = m_server.open(m_conninfo, m_stop.get());
        if (m_stop->load())
            return;
        TeamOutcome<> ready = opened;
        TeamOutcome<TeamRecords> all(TeamError::None);
        if (ready)
            ready = m_server.listen();
        if (ready) {
            all = m_server.fetchAll();
            ready = all;
        }
        if (!ready) {
            m_server.close();
            report(TeamLibrary::State::Offline, ready.error(), ready.detail());
            retryLater();
            return;
        }
        m_failures = 0;
        // Online before the records arrive, so whoever sees them sees them online.
        report(TeamLibrary::State::Online, TeamError::None, {}, m_server.user());
        replaceAll(std::move(all.value()));
        writeCache();
        m_notifier = std::make_unique<QSocketNotifier>(m_server.socket(), QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &Follower::announced);
        // Announcements that came with the fetch are already waiting in libpq.
        announced();
    }

    void retryLater() {
        const int n = int(std::size(RetryDelaysMs));
        m_retry.start(RetryDelaysMs[std::min(m_failures++, n - 1)]);
    }

    void lost(const QString &detail) {
        m_notifier.reset();
        m_server.close();
        report(TeamLibrary::State::Offline, TeamError::Lost, detail);
        m_failures = 0;
        retryLater();
    }

    void announced() {
        if (!m_notifier)
            return;
        const auto changes = m_server.takeChanges();
        if (!changes) {
            lost(changes.detail());
            return;
        }
        if (!changes.value().everything && changes.value().ids.isEmpty())
            return;
        if (changes.value().everything) {
            auto all = m_server.fetchAll();
            if (!all)
                return failed(all);
            replaceAll(std::move(all.value()));
        } else {
            auto some = m_server.fetch(changes.value().ids);
            if (!some)
                return failed(some);
            for (const qint64 id : changes.value().ids)
                m_records.erase(id);
            for (TeamRecord &r : some.value())
                m_records.insert_or_assign(r.id, std::move(r));
            m_receivedAt = QDateTime::currentDateTimeUtc();
            publish();
        }
        m_cacheWrite.start();
    }

    // A fetch failed: the connection broke, or the table or the rights went
    // away. Either way the server is tried again from the start.
    void failed(const TeamOutcome<> &why) { lost(why.detail()); }

    void replaceAll(TeamRecords records) {
        m_records.clear();
        for (TeamRecord &r : records)
            m_records.emplace(r.id, std::move(r));
        m_receivedAt = QDateTime::currentDateTimeUtc();
        publish();
    }

    // Hands the library a copy of the records (the texts are shared, not copied) and its table.
    void publish() {
        auto records = std::make_shared<TeamRecords>();
        records->reserve(m_records.size());
        RecordTable::Builder builder, listBuilder;
        qsizetype bytes = 0;
        for (const auto &[id, r] : m_records)
            bytes += r.title.size() + r.text.size();
        builder.reserve(int(m_records.size()), bytes);
        listBuilder.reserve(int(m_records.size()), bytes);
        const QByteArray groupPrefix = team::GroupPrefix.toUtf8();
        for (const auto &[id, r] : m_records) {
            records->push_back(r);
            builder.add(QVariant(id), r.group, r.title, r.text, nullable(r.changeTime),
                        nullable(r.commonFlag));
            // "常用" is the member's own choice: no team record is common.
            listBuilder.add(QVariant(team::listId(id)), groupPrefix + r.group, r.title, r.text,
                            nullable(r.changeTime), QVariant());
        }
        RecordTable table = builder.finish(true);
        RecordTable listTable = listBuilder.finish(true);
        std::shared_ptr<const TeamRecords> shared = std::move(records);
        QPointer<TeamLibrary> library(m_library);
        const QDateTime at = m_receivedAt;
        QMetaObject::invokeMethod(
            m_library,
            [library, g = m_generation, shared, table, listTable, at] {
                library->received(g, shared, table, listTable, at);
            },
            Qt::QueuedConnection);
    }

    void report(TeamLibrary::State state, TeamError error, const QString &detail, const QString &user = {}) {
        QPointer<TeamLibrary> library(m_library);
        QMetaObject::invokeMethod(
            m_library,
            [library, g = m_generation, state, error, detail, user] {
                library->reached(g, state, error, detail, user);
            },
            Qt::QueuedConnection);
    }

    void writeCache() {
        m_cacheWrite.stop();
        CacheContents contents;
        contents.source = m_source;
        contents.fetchedAt = m_receivedAt;
        contents.records.reserve(m_records.size());
        for (const auto &[id, r] : m_records)
            contents.records.push_back(r);
        team::writeCache(m_cachePath, contents); // a cache that cannot be written is only missed offline
    }

    TeamLibrary *m_library;
    const quint64 m_generation;
    const QString m_conninfo, m_cachePath;
    QString m_source;
    std::shared_ptr<std::atomic<bool>> m_stop;
    Server m_server;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::map<qint64, TeamRecord> m_records;
    QDateTime m_receivedAt;
    // Children, so that they move to the worker thread with the follower.
    QTimer m_retry, m_cacheWrite;
    int m_failures = 0;
};

} // namespace team

TeamLibrary::TeamLibrary(QString cachePath, QObject *parent)
    : QObject(parent), m_cachePath(std::move(cachePath)) {
    m_thread.setObjectName(QStringLiteral("team library"));
    m_thread.start();
}

TeamLibrary::~TeamLibrary() {
    if (m_stop)
        m_stop->store(true);
    // Deleted on its own thread, which deletes what is left to delete as it ends.
    if (m_follower)
        m_follower->deleteLater();
    m_thread.quit();
    m_thread.wait();
}

void TeamLibrary::follow(const QString &conninfo) {
    if (m_stop)
        m_stop->store(true);
    if (m_follower)
        m_follower->deleteLater();
    m_follower = nullptr;
    ++m_generation;
    m_records.reset();
    m_byId.clear();
    m_table = RecordTable();
    m_listTable = RecordTable();
    m_receivedAt = QDateTime();
    m_offlineSince = QDateTime();
    m_user.clear();
    m_stop = std::make_shared<std::atomic<bool>>(false);
    m_state = State::Off;
    m_lastError = conninfo.trimmed().isEmpty() ? TeamError::NotConfigured : TeamError::None;
    m_lastDetail.clear();
    emit recordsChanged();
    emit stateChanged();
    if (conninfo.trimmed().isEmpty())
        return;
    m_follower = new team::Follower(this, m_generation, conninfo, m_cachePath, m_stop);
    m_follower->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        m_follower, [f = m_follower] { f->start(); }, Qt::QueuedConnection);
}

std::optional<TeamRecord> TeamLibrary::find(qint64 id) const {
    const auto at = m_byId.constFind(id);
    if (at == m_byId.constEnd())
        return std::nullopt;
    return (*m_records)[size_t(*at)];
}

void TeamLibrary::received(quint64 generation, std::shared_ptr<const TeamRecords> records, RecordTable table,
                           RecordTable listTable, QDateTime at) {
    if (generation != m_generation)
        return;
    m_records = std::move(records);
    m_table = std::move(table);
    m_listTable = std::move(listTable);
    m_receivedAt = at;
    m_byId.clear();
    m_byId.reserve(qsizetype(m_records->size()));
    for (size_t i = 0; i < m_records->size(); ++i)
        m_byId.insert((*m_records)[i].id, int(i));
    emit recordsChanged();
}

void TeamLibrary::reached(quint64 generation, State state, TeamError error, const QString &detail,
                          const QString &user) {
    if (generation != m_generation)
        return;
    if (state == State::Offline && m_state != State::Offline)
        m_offlineSince = QDateTime::currentDateTime();
    if (state == State::Online)
        m_offlineSince = QDateTime();
    if (!user.isEmpty())
        m_user = user;
    const bool same = state == m_state && error == m_lastError && detail == m_lastDetail;
    m_state = state;
    m_lastError = error;
    m_lastDetail = detail;
    if (!same)
        emit stateChanged();
}

quint64 TeamLibrary::send(std::function<TeamOutcome<TeamRecord>(team::Server &)> change) {
    const quint64 request = ++m_nextRequest;
    if (m_state != State::Online || !m_follower) {
        QMetaObject::invokeMethod(
            this,
            [this, request] { emit changeFinished(request, TeamOutcome<TeamRecord>(TeamError::Offline)); },
            Qt::QueuedConnection);
        return request;
    }
    QMetaObject::invokeMethod(
        m_follower, [f = m_follower, request, change] { f->change(request, change); }, Qt::QueuedConnection);
    return request;
}

namespace {

// The change stamp a change stores, as the member's own library gives it.
QByteArray stamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")).toUtf8();
}

} // namespace

quint64 TeamLibrary::add(const Record &record) {
    TeamRecord r = TeamRecord::fromRecord(record);
    r.changeTime = stamp();
    return send([r](team::Server &server) { return server.add(r); });
}

quint64 TeamLibrary::replace(const Record &record, qint64 version) {
    TeamRecord r = TeamRecord::fromRecord(record, version);
    r.changeTime = stamp();
    return send([r](team::Server &server) { return server.replace(r); });
}

quint64 TeamLibrary::remove(qint64 id, qint64 version) {
    return send([id, version](team::Server &server) -> TeamOutcome<TeamRecord> {
        const auto removed = server.remove(id, version);
        if (!removed)
            return removed;
        return TeamRecord{};
    });
}
