#include "RecordTable.h"

#include "ListOrder.h"
#include "PinyinMatcher.h"
#include "Utf8.h"
#include "WildcardPattern.h"

#include <QHash>
#ifdef __linux__
#include <sys/mman.h>
#endif
#include <algorithm>
#include <bit>
#include <thread>

namespace {

// "★★" in UTF-8.
const QByteArray SpecialBytes = SpecialStars.toUtf8();

// The bit of a lowered code unit: one of its own for each ASCII letter and
// digit, one of 28 shared ones for the rest.
std::uint8_t bitOf(char16_t u) {
    return u >= u'a' && u <= u'z'   ? std::uint8_t(u - u'a')
           : u >= u'0' && u <= u'9' ? std::uint8_t(26 + u - u'0')
                                    : std::uint8_t(36 + (std::uint32_t(u) * 0x9E37u >> 7) % 28);
}

// The bit of each code unit of a text after the search's fold, as a table
// of all code units, built once.
const std::uint8_t *unitBits() {
    static const std::vector<std::uint8_t> table = [] {
        const char16_t *lower = wildcard::lowerTable();
        std::vector<std::uint8_t> out(0x10000);
        for (std::uint32_t c = 0; c < 0x10000; ++c)
            out[c] = bitOf(lower[c]);
        return out;
    }();
    return table.data();
}

// The bit of a pair of neighbouring units (given by their unit bits) in a
// set of 2^shift bits.
std::uint32_t pairBit(std::uint32_t a, std::uint32_t b, int shift) {
    return ((a << 6 | b) * 0x9E3779B1u) >> (32 - shift);
}

// Sums up one part (title or text) of valid UTF-8, code unit by code unit:
// the units it holds and the pairs of neighbours into a set of 2^shift bits;
// with `spelling`, also what its characters spell in pinyin.
void summarise(QByteArrayView part, std::uint64_t &units, std::uint64_t *pairs, int shift,
               std::uint64_t *spelling) {
    const std::uint8_t *bits = unitBits();
    const auto *p = reinterpret_cast<const unsigned char *>(part.data());
    const auto *end = p + part.size();
    std::uint32_t previous = 64; // none yet
    const auto add = [&](char16_t unit) {
        const std::uint32_t b = bits[unit];
        units |= std::uint64_t(1) << b;
        if (previous != 64) {
            const std::uint32_t bit = pairBit(previous, b, shift);
            pairs[bit >> 6] |= std::uint64_t(1) << (bit & 63);
        }
        previous = b;
        if (spelling)
            *spelling |= PinyinMatcher::spellingOf(unit);
    };
    while (p < end) {
        if (*p < 0x80) {
            add(*p++);
        } else if (*p < 0xE0) {
            add(char16_t((p[0] & 0x1F) << 6 | (p[1] & 0x3F)));
            p += 2;
        } else if (*p < 0xF0) {
            add(char16_t((p[0] & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F)));
            p += 3;
        } else {
            const char32_t cp = char32_t((p[0] & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 |
                                         (p[3] & 0x3F));
            add(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            add(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            p += 4;
        }
    }
}

} // namespace

QString RecordTable::idText(int row) const {
    const size_t s = stored(row);
    return m_data->oddIds.empty() || m_data->oddIds[s].isNull() ? QString::number(m_data->ids[s])
                                                                : m_data->oddIds[s];
}

std::optional<qint64> RecordTable::id(int row) const {
    const size_t s = stored(row);
    if (!m_data->oddIds.empty() && !m_data->oddIds[s].isNull())
        return std::nullopt;
    return m_data->ids[s];
}

QString RecordTable::textPrefix(int row, int units) const {
    // Every code unit takes at least one byte and at most three (four for two).
    const QByteArrayView bytes = textBytes(row);
    return QString::fromUtf8(bytes.first(std::min(bytes.size(), qsizetype(units) * 3))).left(units);
}

ContentProbe::ContentProbe(QStringView lowered) {
    // The search text is lowered already and is held as it is against the
    // text's lowered units: its units go by their own bits.
    for (qsizetype i = 0; i < lowered.size(); ++i) {
        const std::uint32_t b = bitOf(lowered[i].unicode());
        m_units |= std::uint64_t(1) << b;
        if (i > 0)
            m_pairs.push_back(std::uint32_t(bitOf(lowered[i - 1].unicode())) << 6 | b);
    }
    m_decisive = lowered.size() == 1 && bitOf(lowered[0].unicode()) < 36;
}

bool RecordTable::mayHold(int s, const ContentProbe &probe) const {
    if (!m_summaries)
        return true;
    const Summaries &d = *m_summaries;
    if (probe.m_units & ~d.units[size_t(s)])
        return false;
    const std::uint64_t *pairs = d.pairBits.data() + d.pairStart[size_t(s)];
    const int shift = 6 + std::countr_zero(d.pairStart[size_t(s) + 1] - d.pairStart[size_t(s)]);
    for (const std::uint32_t pair : probe.m_pairs) {
        const std::uint32_t bit = pairBit(pair >> 6, pair & 63, shift);
        if (!(pairs[bit >> 6] & (std::uint64_t(1) << (bit & 63))))
            return false;
    }
    return true;
}

const QStringList &RecordTable::categories() const {
    static const QStringList onlyCommon{CommonFlag};
    return m_data ? m_data->categories : onlyCommon;
}

struct RecordTable::Builder::State {
    std::shared_ptr<Data> data = std::make_shared<Data>();
    QHash<QString, quint32> groupIndex, flagIndex;
    std::optional<QStringList> categories;
    std::vector<QVariant> commons;
    std::vector<StoredStamp> stamps;
    bool oddIds = false;
    QByteArray lastGroup;
    quint32 lastGroupIndex = 0, lastFlagIndex = 0;

    static quint32 intern(QHash<QString, quint32> &index, QStringList &names, const QString &name) {
        auto it = index.constFind(name);
        if (it != index.constEnd())
            return *it;
        names << name;
        return *index.insert(name, quint32(names.size() - 1));
    }
    // Makes every title and text valid UTF-8, once the records are in:
    // another program may have stored any bytes, and they then read as
    // QString::fromUtf8 reads them. Notes which titles bear the special mark.
    void makeValid();
};

void RecordTable::Builder::State::makeValid() {
    Data &d = *data;
    const size_t parts = d.starts.size() - 1;
    std::vector<size_t> invalid;
    for (size_t part = 0; part < parts; ++part) {
        if (!utf8::isValid(QByteArrayView(d.block).sliced(d.starts[part], d.starts[part + 1] - d.starts[part])))
            invalid.push_back(part);
    }
    if (!invalid.empty()) {
        QByteArray block;
        block.reserve(d.block.size() + d.block.size() / 8);
        std::vector<qsizetype> starts(d.starts.size());
        size_t next = 0;
        for (size_t part = 0; part < parts; ++part) {
            starts[part] = block.size();
            const QByteArrayView bytes = QByteArrayView(d.block).sliced(d.starts[part], d.starts[part + 1] - d.starts[part]);
            if (next < invalid.size() && invalid[next] == part) {
                block.append(QString::fromUtf8(bytes).toUtf8());
                ++next;
            } else {
                block.append(bytes);
            }
        }
        starts[parts] = block.size();
        d.block = std::move(block);
        d.starts = std::move(starts);
    }
    d.longest = 0;
    d.special.resize(d.ids.size());
    for (size_t s = 0; s < d.ids.size(); ++s) {
        d.special[s] = QByteArrayView(d.block).sliced(d.starts[2 * s], d.starts[2 * s + 1] - d.starts[2 * s]).contains(SpecialBytes);
        d.longest = std::max(d.longest, d.starts[2 * s + 2] - d.starts[2 * s] + 1);
    }
}

RecordTable::Builder::Builder() : m_state(std::make_unique<State>()) {}

RecordTable::Builder::~Builder() = default;

void RecordTable::Builder::reserve(int records, qsizetype bytes) {
    Data &d = *m_state->data;
    d.block.reserve(bytes);
#ifdef __linux__
    // Tens of megabytes filled front to back: in large pages the system
    // hands them over hundreds of times less often.
    const auto start = (reinterpret_cast<std::uintptr_t>(d.block.data()) + 0x1FFFFF) & ~std::uintptr_t(0x1FFFFF);
    const auto stop = (reinterpret_cast<std::uintptr_t>(d.block.data()) + std::uintptr_t(bytes)) &
                      ~std::uintptr_t(0x1FFFFF);
    if (stop > start)
        madvise(reinterpret_cast<void *>(start), stop - start, MADV_HUGEPAGE);
#endif
    d.starts.reserve(size_t(2 * records + 1));
    d.ids.reserve(size_t(records));
    d.groups.reserve(size_t(records));
    m_state->commons.reserve(size_t(records));
    m_state->stamps.reserve(size_t(records));
}

void RecordTable::Builder::add(const QVariant &id, QByteArrayView group, QByteArrayView title,
                               QByteArrayView text, StoredStamp changeTime, const QVariant &commonFlag) {
    State &st = *m_state;
    Data &d = *st.data;
    const size_t s = d.ids.size();
    const bool whole = id.typeId() == QMetaType::Int || id.typeId() == QMetaType::LongLong;
    d.ids.push_back(whole ? id.toLongLong() : 0);
    if (!whole && !st.oddIds) {
        st.oddIds = true;
        d.oddIds.resize(s);
    }
    if (st.oddIds)
        d.oddIds.push_back(whole ? QString() : id.isNull() ? QStringLiteral("") : id.toString());
    // Neighbouring records mostly share their group and flag.
    if (s == 0 || group != QByteArrayView(st.lastGroup)) {
        st.lastGroup = group.toByteArray();
        st.lastGroupIndex = State::intern(st.groupIndex, d.groupNames, QString::fromUtf8(group));
    }
    d.groups.push_back(st.lastGroupIndex);
    const QString flag = commonFlag.isNull() ? QString(QLatin1String("")) : commonFlag.toString();
    if (s == 0 || flag != d.flagNames[int(st.lastFlagIndex)])
        st.lastFlagIndex = State::intern(st.flagIndex, d.flagNames, flag);
    d.flags.push_back(st.lastFlagIndex);
    d.starts.push_back(d.block.size());
    d.block.append(title);
    d.starts.push_back(d.block.size());
    d.block.append(text);
    st.commons.push_back(commonFlag);
    st.stamps.push_back(std::move(changeTime));
}

void RecordTable::Builder::setCategories(QStringList categories) {
    m_state->categories = std::move(categories);
}

RecordTable RecordTable::summarised() const {
    RecordTable table = *this;
    if (m_data && !m_summaries)
        table.m_summaries = summariseAll(*m_data);
    return table;
}

std::shared_ptr<const RecordTable::Summaries> RecordTable::summariseAll(const Data &d) {
    // The summaries the search holds a record against before reading it: a
    // pair set of at least 256 bits and about one bit per byte, up to 4096.
    auto summaries = std::make_shared<Summaries>();
    Summaries &m = *summaries;
    const size_t count = d.ids.size();
    const auto wordsOf = [&](size_t s) {
        const qsizetype bytes = std::min<qsizetype>(d.starts[2 * s + 2] - d.starts[2 * s], 1 << 20);
        return std::clamp<std::uint32_t>(std::bit_ceil(std::uint32_t(bytes / 64)), 4, 64);
    };
    m.pairStart.resize(count + 1);
    m.pairStart[0] = 0;
    for (size_t s = 0; s < count; ++s)
        m.pairStart[s + 1] = m.pairStart[s] + wordsOf(s);
    m.pairBits.assign(m.pairStart[count], 0);
    m.units.assign(count, 0);
    m.spellings.assign(count, 0);
    const QByteArrayView block(d.block);
    for (size_t s = 0; s < count; ++s) {
        const int shift = 6 + std::countr_zero(m.pairStart[s + 1] - m.pairStart[s]);
        std::uint64_t *pairs = m.pairBits.data() + m.pairStart[s];
        summarise(block.sliced(d.starts[2 * s], d.starts[2 * s + 1] - d.starts[2 * s]), m.units[s], pairs,
                  shift, &m.spellings[s]);
        summarise(block.sliced(d.starts[2 * s + 1], d.starts[2 * s + 2] - d.starts[2 * s + 1]), m.units[s],
                  pairs, shift, nullptr);
    }
    return summaries;
}

RecordTable RecordTable::Builder::finish(bool complete, bool summarise) {
    RecordTable table = finishRecords(complete);
    return summarise ? table.summarised() : table;
}

RecordTable RecordTable::Builder::finishRecords(bool complete) {
    State &st = *m_state;
    Data &d = *st.data;
    d.complete = complete;
    d.starts.push_back(d.block.size());
    // The order is worked out on another thread meanwhile.
    ListOrder order;
    std::thread orderer([&] { order = listOrderWithTies(st.commons, st.stamps); });
    st.makeValid();
    orderer.join();
    d.order = std::move(order.order);
    d.tied = std::move(order.tied);
    st.commons = {};
    st.stamps = {};
    d.rows.resize(d.order.size());
    for (size_t row = 0; row < d.order.size(); ++row)
        d.rows[size_t(d.order[row])] = int(row);
    if (st.categories) {
        d.categories = *st.categories;
        return RecordTable(std::move(st.data));
    }
    // The categories: "常用", then the groups in the order they first occur in the list.
    d.categories = {CommonFlag};
    std::vector<bool> seen(size_t(d.groupNames.size()), false);
    for (int s : d.order) {
        const quint32 g = d.groups[size_t(s)];
        if (!seen[g] && d.groupNames[int(g)] != CommonFlag)
            d.categories << d.groupNames[int(g)];
        seen[g] = true;
    }
    return RecordTable(std::move(st.data));
}

RecordTable RecordTable::joined(const RecordTable &own, const RecordTable &after) {
    if (after.isEmpty())
        return own;
    if (!own.m_data)
        return after;
    const Data &a = *own.m_data, &b = *after.m_data;
    const size_t na = a.ids.size(), nb = b.ids.size();
    auto d = std::make_shared<Data>();
    d->complete = a.complete;
    d->block = a.block + b.block;
    d->starts.reserve(2 * (na + nb) + 1);
    d->starts.assign(a.starts.begin(), a.starts.begin() + qsizetype(2 * na));
    for (qsizetype start : b.starts)
        d->starts.push_back(start + a.block.size());
    d->ids = a.ids;
    d->ids.insert(d->ids.end(), b.ids.begin(), b.ids.end());
    if (!a.oddIds.empty() || !b.oddIds.empty()) {
        d->oddIds = a.oddIds;
        d->oddIds.resize(na);
        d->oddIds.insert(d->oddIds.end(), b.oddIds.begin(), b.oddIds.end());
        d->oddIds.resize(na + nb);
    }
    const auto appendShifted = [](auto &to, const auto &from, auto shift) {
        for (auto value : from)
            to.push_back(value + shift);
    };
    d->groupNames = a.groupNames + b.groupNames;
    d->groups = a.groups;
    appendShifted(d->groups, b.groups, quint32(a.groupNames.size()));
    d->flagNames = a.flagNames + b.flagNames;
    d->flags = a.flags;
    appendShifted(d->flags, b.flags, quint32(a.flagNames.size()));
    d->special = a.special;
    d->special.insert(d->special.end(), b.special.begin(), b.special.end());
    d->order = a.order;
    appendShifted(d->order, b.order, int(na));
    d->rows = a.rows;
    appendShifted(d->rows, b.rows, int(na));
    d->tied = a.tied;
    d->tied.insert(d->tied.end(), b.tied.begin(), b.tied.end());
    d->tied[na] = false;
    d->categories = a.categories;
    for (const QString &name : b.categories)
        if (name != CommonFlag && !d->categories.contains(name))
            d->categories << name;
    d->longest = std::max(a.longest, b.longest);
    RecordTable table(std::move(d));
    // The summaries join when both sides have theirs; else the joined table
    // is searched by reading every record until it is summarised itself.
    if (own.m_summaries && after.m_summaries) {
        const Summaries &x = *own.m_summaries, &y = *after.m_summaries;
        auto m = std::make_shared<Summaries>();
        m->units = x.units;
        m->units.insert(m->units.end(), y.units.begin(), y.units.end());
        m->pairBits = x.pairBits;
        m->pairBits.insert(m->pairBits.end(), y.pairBits.begin(), y.pairBits.end());
        m->pairStart.assign(x.pairStart.begin(), x.pairStart.begin() + qsizetype(na));
        appendShifted(m->pairStart, y.pairStart, x.pairStart[na]);
        m->spellings = x.spellings;
        m->spellings.insert(m->spellings.end(), y.spellings.begin(), y.spellings.end());
        table.m_summaries = std::move(m);
    }
    return table;
}
