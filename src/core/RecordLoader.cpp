#include "RecordLoader.h"

#include "TeamLibrary.h"

struct RecordLoader::Read {
    std::atomic<bool> cancel{false};
    LibraryStore::Signature signature;
    std::optional<Outcome<RecordTable>> result;
};

RecordLoader::RecordLoader(const LibraryStore &library, QObject *parent)
    : QObject(parent), m_library(library) {
    // One read at a time: an abandoned read stops at its next thousand rows
    // and the newer one follows it.
    m_pool.setMaxThreadCount(1);
    m_releaseTimer.setSingleShot(true);
    connect(&m_releaseTimer, &QTimer::timeout, this, &RecordLoader::release);
}

RecordLoader::~RecordLoader() {
    if (m_current)
        m_current->cancel = true;
    m_pool.waitForDone();
}

std::optional<RecordTable> RecordLoader::reuse() {
    if (!m_kept)
        return std::nullopt;
    if (m_library.signature() != m_keptSignature) {
        m_kept.reset();
        return std::nullopt;
    }
    m_releaseTimer.stop();
    return m_kept;
}

void RecordLoader::start() {
    m_releaseTimer.stop();
    if (m_current)
        m_current->cancel = true;
    auto read = std::make_shared<Read>();
    m_current = read;
    m_reading = true;
    m_pool.start([this, read] {
        // An older library gets the indexes of the first screen before the
        // signature is taken, so adding them does not outdate this read.
        m_library.addListIndexes();
        read->signature = m_library.signature();
        read->result.emplace(readRecords(&read->cancel));
        QMetaObject::invokeMethod(
            this, [this, read] { finished(read); }, Qt::QueuedConnection);
        if (!*read->result || read->cancel)
            return;
        RecordTable summarised = read->result->value().summarised();
        QMetaObject::invokeMethod(
            this, [this, read, summarised] { summariesFinished(read, summarised); }, Qt::QueuedConnection);
    });
}

void RecordLoader::summariesFinished(const std::shared_ptr<Read> &read, const RecordTable &table) {
    // Only for the read whose records are kept (not abandoned, not released).
    if (read->cancel || !m_kept || !m_kept->sharesRecordsWith(table))
        return;
    m_kept = table;
    emit summarised(table);
}

void RecordLoader::finished(const std::shared_ptr<Read> &read) {
    if (read != m_current)
        return;
    m_current.reset();
    m_reading = false;
    if (*read->result) {
        m_kept = read->result->value();
        m_keptSignature = read->signature;
    } else {
        m_kept.reset();
    }
    emit loaded(*read->result);
}

void RecordLoader::releaseLater(int ms) {
    m_releaseTimer.start(ms);
}

void RecordLoader::release() {
    if (m_current) {
        m_current->cancel = true;
        m_current.reset();
        m_reading = false;
    }
    m_kept.reset();
    emit released();
}

void RecordLoader::setTeam(TeamLibrary *team) {
    m_team = team;
}

TeamLibrary *RecordLoader::team() const {
    return m_team.data();
}
