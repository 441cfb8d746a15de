#include "TeamExchange.h"

#include "LibraryStore.h"
#include "TeamCache.h"
#include "TeamServer.h"

#include <QSet>
#include <QTemporaryDir>

namespace team {

namespace {

// The team library as a library file in a temporary folder, where the
// exchange works on it as on the member's own.
struct Scratch {
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("team.mdb")); }
    Outcome<> fill(const TeamRecords &records) const {
        CacheContents contents;
        contents.records = records;
        return writeCache(path(), contents);
    }
};

TeamOutcome<exchange::Report> scratchFailed(const Outcome<> &why) {
    return {TeamError::Server, why.detail()};
}

} // namespace

TeamOutcome<exchange::Report> exportTeam(Server &server, const QString &path) {
    auto all = server.fetchAll();
    if (!all)
        return all;
    Scratch scratch;
    if (const auto filled = scratch.fill(all.value()); !filled)
        return scratchFailed(filled);
    return exchange::exportLibrary(LibraryStore(scratch.path()), path);
}

TeamOutcome<exchange::Report> importTeam(Server &server, const QString &path) {
    // Read and written in one transaction that keeps other writers out, so
    // the records compared against are the ones the import adds to.
    if (const auto begun = server.beginExclusive(); !begun)
        return begun;
    auto all = server.fetchAll();
    if (!all) {
        server.rollback();
        return all;
    }
    Scratch scratch;
    if (const auto filled = scratch.fill(all.value()); !filled) {
        server.rollback();
        return scratchFailed(filled);
    }
    exchange::Report report = exchange::importLibrary(LibraryStore(scratch.path()), path);
    if (!report.ok() || report.added == 0) {
        server.rollback();
        return report;
    }
    QSet<qint64> present;
    for (const TeamRecord &r : all.value())
        present.insert(r.id);
    auto merged = readCache(scratch.path());
    if (!merged) {
        server.rollback();
        return scratchFailed(Outcome<>(merged.error(), merged.detail()));
    }
    TeamRecords added;
    for (TeamRecord &r : merged.value().records)
        if (!present.contains(r.id))
            added.push_back(std::move(r));
    if (const auto stored = server.insertAll(added); !stored) {
        server.rollback();
        return stored;
    }
    if (const auto committed = server.commit(); !committed)
        return committed;
    return report;
}

} // namespace team
