#include "quick_list/QuickListFeed.h"

#include "LibraryStore.h"
#include "RecordLoader.h"
#include "Settings.h"
#include "TeamLibrary.h"
#include "common/TeamWords.h"

#include <QMutexLocker>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {
// The rows read for the first screen: more than the list shows at once.
constexpr int FirstScreenRows = 64;
// Up to so many records in all, the own and the team's are joined at once
// (a few milliseconds); more are joined on a worker (100,000 own and 20,000
// team records take about a quarter of a second).
constexpr int JoinAtOnceRecords = 50000;
} // namespace

QuickListFeed::QuickListFeed(Settings &settings, const LibraryStore &library, RecordLoader &loader,
                             QObject *parent)
    : QObject(parent), m_settings(settings), m_library(library), m_loader(loader) {
    setObjectName(QStringLiteral("feed"));
    m_joins->feed = this;
    connect(&m_loader, &RecordLoader::loaded, this, &QuickListFeed::recordsArrived);
    connect(&m_loader, &RecordLoader::summarised, this, &QuickListFeed::summariesArrived);
    if (TeamLibrary *team = m_loader.team()) {
        connect(team, &TeamLibrary::recordsChanged, this, &QuickListFeed::teamChanged);
        connect(team, &TeamLibrary::stateChanged, this, [this] { emit teamNoticeChanged(teamNotice()); });
    }
}

void QuickListFeed::summariesArrived(const RecordTable &records) {
    if (m_heldRecords && *m_heldRecords && m_heldRecords->value().sharesRecordsWith(records))
        m_heldRecords = Outcome<RecordTable>(records);
    if (!m_own.sharesRecordsWith(records))
        return;
    m_own = records;
    // With the team's records beside them, the two are joined again, summaries and all.
    if (m_filter.table().sharesRecordsWith(records))
        m_filter.takeSummaries(records);
    else if (!m_reading && !m_held)
        teamChanged();
}

QuickListFeed::~QuickListFeed() {
    const QMutexLocker lock(&m_joins->mutex);
    m_joins->feed = nullptr;
}

TeamLibrary *QuickListFeed::team() const {
    return m_loader.team();
}

QString QuickListFeed::teamNotice() const {
    const TeamLibrary *team = m_loader.team();
    return team ? messages::teamListNotice(*team) : QString();
}

RecordTable QuickListFeed::withTeam(const RecordTable &own) const {
    const TeamLibrary *team = m_loader.team();
    return team ? RecordTable::joined(own, team->listTable()) : own;
}

void QuickListFeed::setOwn(RecordTable own) {
    m_own = std::move(own);
    // A join begun for the records before is of no use any more.
    ++m_joins->generation;
    const TeamLibrary *team = m_loader.team();
    const int teamSize = team ? team->size() : 0;
    if (teamSize > 0 && m_own.size() + teamSize > JoinAtOnceRecords) {
        // The own records show at once; the team's follow from the worker.
        m_filter.setTable(m_own);
        QTimer::singleShot(0, this, &QuickListFeed::teamChanged);
        return;
    }
    m_filter.setTable(withTeam(m_own));
}

void QuickListFeed::teamChanged() {
    // Records on their way are joined to the team's as they are when they arrive.
    if (m_reading)
        return;
    if (m_held) {
        m_teamChangedWhenReleased = true;
        return;
    }
    // A large library takes a moment to join (a copy of every text): on a
    // worker, so that typing in the list goes on meanwhile.
    const TeamLibrary *team = m_loader.team();
    const quint64 generation = ++m_joins->generation;
    QThreadPool::globalInstance()->start(
        [joins = m_joins, generation, own = m_own, listed = team ? team->listTable() : RecordTable()] {
            RecordTable joined = RecordTable::joined(own, listed);
            const QMutexLocker lock(&joins->mutex);
            if (joins->feed && joins->generation == generation)
                QMetaObject::invokeMethod(
                    joins->feed,
                    [feed = joins->feed, generation, joined] { feed->teamJoined(generation, joined); },
                    Qt::QueuedConnection);
        });
}

void QuickListFeed::teamJoined(quint64 generation, const RecordTable &joined) {
    if (generation != m_joins->generation || m_reading)
        return;
    if (m_held) {
        m_teamChangedWhenReleased = true;
        return;
    }
    const QStringList before = m_filter.categories();
    m_filter.setTable(joined);
    // The rows shown are filled again, the user's search or category kept
    // and the same record current, as when the first screen grows.
    emit rowsAboutToChange(Change::Grown);
    load(m_last);
    emit rowsChanged(Change::Grown, -1);
    const QStringList names = m_filter.categories();
    if (m_categoriesKnown && names != before)
        emit categoriesRead(names, m_last.search ? QString() : m_last.category);
}

void QuickListFeed::open() {
    if (auto kept = m_loader.reuse()) {
        setOwn(std::move(*kept));
        fill(Filling{CommonFlag, false, {}});
    } else {
        // The list is shown first and reads its first screen right after,
        // so that it takes the keys typed after the hotkey at once, however
        // long the read takes; what is typed meanwhile waits for the rows.
        m_reading = true;
        m_firstScreenPending = true;
        m_waiting = Filling{CommonFlag, false, {}};
    }
}

void QuickListFeed::start() {
    // Once the window is on its way to the screen (the request leaves when
    // the event loop next waits), the first screen is read.
    if (m_firstScreenPending)
        QTimer::singleShot(10, this, &QuickListFeed::readFirstScreen);
}

void QuickListFeed::showCategory(const QString &name) {
    fill(Filling{name, false, {}});
}

void QuickListFeed::search(const QString &text) {
    fill(Filling{QString(), true, text});
}

void QuickListFeed::fill(const Filling &filling) {
    if (m_reading) {
        // The rows come when the whole library is in.
        m_waiting = filling;
        emit waitingChanged(true);
        return;
    }
    m_last = filling;
    emit rowsAboutToChange(Change::Refilled);
    const bool complete = load(filling);
    emit rowsChanged(Change::Refilled, 0);
    if (complete && !m_categoriesKnown) {
        const QStringList names = m_filter.categories();
        m_categoriesKnown = !names.isEmpty();
        if (m_categoriesKnown)
            emit categoriesRead(names, filling.search ? QString() : filling.category);
    }
}

bool QuickListFeed::load(const Filling &filling) {
    m_filter.setPinyinSearch(m_settings.value(setting::PinyinSearch));
    const QString lastUsed = m_settings.value(setting::LastUsedEntry);
    if (filling.search)
        return m_filter.search(filling.text, lastUsed);
    m_filter.showCategory(filling.category, lastUsed);
    return true;
}

void QuickListFeed::readFirstScreen() {
    if (!m_firstScreenPending)
        return;
    m_firstScreenPending = false;
    if (auto first = m_library.readFirstScreen(FirstScreenRows)) {
        setOwn(std::move(first.value()));
        // The first screen shows at once, whatever was typed meanwhile; the
        // rows asked for by then come with the whole library.
        m_reading = false;
        const Filling waiting = *std::exchange(m_waiting, std::nullopt);
        fill(Filling{CommonFlag, false, {}});
        m_reading = true;
        // Keys pressed meanwhile act on the rows of the whole library.
        if (waiting.category != CommonFlag || waiting.search || !m_keys.isEmpty())
            fill(waiting);
        // Started once the first screen is read: begun before, the read
        // slowed the first screen down by a third on two busy cores and
        // brought a search typed at once hardly sooner.
        m_loader.start();
    } else {
        m_reading = false;
        m_waiting.reset();
        emit waitingChanged(false);
        markReadFailure(first.error());
        fill(Filling{CommonFlag, false, {}});
        m_keys.clear();
    }
}

void QuickListFeed::reload() {
    // Records held back for the end of a hold are older than this read.
    m_heldRecords.reset();
    if (m_held) {
        // The rows are the library's as it was read; it is read when the
        // hold ends, with what the editor or the box changed meanwhile.
        m_readWhenReleased = true;
        return;
    }
    m_reading = true;
    m_loader.start();
}

void QuickListFeed::refill() {
    if (m_held) {
        m_refillWhenReleased = true;
        return;
    }
    fill(Filling{CommonFlag, false, {}});
}

void QuickListFeed::markReadFailure(StoreError error) {
    // A library that cannot be read is not an empty one: no hints to add a
    // first text.
    m_own = RecordTable();
    ++m_joins->generation;
    m_filter.clearTable();
    m_filter.setReadFailed(true);
    emit readFailed(error);
}

void QuickListFeed::setHeld(bool held) {
    m_held = held;
    if (held ||
        (!m_heldRecords && !m_readWhenReleased && !m_refillWhenReleased && !m_teamChangedWhenReleased))
        return;
    // After the action that ended the hold has finished with the rows.
    QTimer::singleShot(0, this, [this] {
        if (m_held)
            return;
        if (std::exchange(m_readWhenReleased, false)) {
            // Changed meanwhile (the editor's 更新, say): read it as it is now.
            m_heldRecords.reset();
            m_reading = true;
            m_loader.start();
        } else if (m_heldRecords) {
            const Outcome<RecordTable> records = *std::exchange(m_heldRecords, std::nullopt);
            recordsArrived(records);
        }
        if (std::exchange(m_refillWhenReleased, false))
            refill();
        if (std::exchange(m_teamChangedWhenReleased, false))
            teamChanged();
    });
}

void QuickListFeed::recordsArrived(const Outcome<RecordTable> &records) {
    if (!m_reading) {
        // A read this list did not wait for (begun for an earlier list): the
        // library as it is now, for the next filling.
        if (records) {
            setOwn(records.value());
        }
        return;
    }
    if (m_held) {
        // A menu, a box or the editor acts on the rows the user sees.
        m_heldRecords = records;
        return;
    }
    m_reading = false;
    emit waitingChanged(false);
    // Only the first screen was read so far.
    const bool firstScreen = !m_filter.table().isComplete();
    if (records) {
        setOwn(records.value());
        m_filter.setReadFailed(false);
    } else {
        markReadFailure(records.error());
    }
    if (m_waiting) {
        fill(*std::exchange(m_waiting, std::nullopt));
        emit caughtUp(std::exchange(m_keys, {}));
    } else if (firstScreen) {
        // The first screen grows into the whole list under the user's eyes;
        // the first screen is the top of the whole list.
        emit rowsAboutToChange(Change::Grown);
        load(m_last);
        emit rowsChanged(Change::Grown, -1);
    }
}

int QuickListFeed::rowShowing(const QString &idText) const {
    int lastUsed = -1;
    for (int row = 0; row < m_filter.rowCount(); ++row) {
        if (m_filter.isHintRow(row) || m_filter.text(row, col::Id) != idText)
            continue;
        if (!m_filter.isLastUsedRow(row))
            return row;
        lastUsed = row;
    }
    return lastUsed;
}

void QuickListFeed::recordDeleted(const QString &idText) {
    // Every row that shows it goes, the last-used row too.
    int first = -1;
    for (int row = m_filter.rowCount() - 1; row >= 0; --row) {
        if (m_filter.isHintRow(row) || m_filter.text(row, col::Id) != idText)
            continue;
        if (first < 0)
            emit rowsAboutToChange(Change::Edited);
        m_filter.removeRow(row);
        first = row;
    }
    if (first >= 0)
        emit rowsChanged(Change::Edited, std::min(first, m_filter.rowCount() - 1));
}

void QuickListFeed::recordLeftCommon(const QString &idText) {
    // Gone from the list whatever category it shows; the last-used row stays
    // unless it is the only one showing the record.
    const int row = rowShowing(idText);
    if (row < 0)
        return;
    emit rowsAboutToChange(Change::Edited);
    m_filter.removeRow(row);
    emit rowsChanged(Change::Edited, std::min(row, m_filter.rowCount() - 1));
}

void QuickListFeed::recordRetitled(const QString &idText, const QString &title) {
    int first = -1;
    for (int row = 0; row < m_filter.rowCount(); ++row) {
        if (m_filter.isHintRow(row) || m_filter.text(row, col::Id) != idText)
            continue;
        if (first < 0) {
            emit rowsAboutToChange(Change::Edited);
            first = row;
        }
        const RowColour colour = m_filter.isLastUsedRow(row)    ? RowColour::LastUsed
                                 : title.contains(SpecialStars) ? RowColour::Special
                                                                : RowColour::Normal;
        m_filter.setRowTitle(row, title, colour);
    }
    if (first >= 0)
        emit rowsChanged(Change::Edited, first);
}

void QuickListFeed::libraryCleared() {
    emit rowsAboutToChange(Change::Edited);
    m_filter.clearRows();
    emit rowsChanged(Change::Edited, -1);
}
