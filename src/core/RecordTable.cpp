#include "RecordTable.h"

#include "ListOrder.h"

#include <QHash>

namespace {

// "★★" in UTF-8.
const QByteArray SpecialBytes = SpecialStars.toUtf8();

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

const QStringList &RecordTable::categories() const {
    static const QStringList onlyCommon{CommonFlag};
    return m_data ? m_data->categories : onlyCommon;
}

struct RecordTable::Builder::State {
    std::shared_ptr<Data> data = std::make_shared<Data>();
    QHash<QString, quint32> groupIndex, flagIndex;
    std::optional<QStringList> categories;
    std::vector<QVariant> commons, stamps;
    bool oddIds = false;

    static quint32 intern(QHash<QString, quint32> &index, QStringList &names, const QString &name) {
        auto it = index.constFind(name);
        if (it != index.constEnd())
            return *it;
        names << name;
        return *index.insert(name, quint32(names.size() - 1));
    }
    // Appends the text as valid UTF-8: another program may have stored any
    // bytes, and they then read as QString::fromUtf8 reads them.
    void append(QByteArrayView bytes) {
        if (bytes.isValidUtf8())
            data->block.append(bytes);
        else
            data->block.append(QString::fromUtf8(bytes).toUtf8());
    }
};

RecordTable::Builder::Builder() : m_state(std::make_unique<State>()) {}

RecordTable::Builder::~Builder() = default;

void RecordTable::Builder::reserve(int records, qsizetype bytes) {
    Data &d = *m_state->data;
    d.block.reserve(bytes);
    d.starts.reserve(size_t(2 * records + 1));
    d.ids.reserve(size_t(records));
    d.groups.reserve(size_t(records));
    m_state->commons.reserve(size_t(records));
    m_state->stamps.reserve(size_t(records));
}

void RecordTable::Builder::add(const QVariant &id, QByteArrayView group, QByteArrayView title,
                               QByteArrayView text, const QVariant &changeTime, const QVariant &commonFlag) {
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
    d.groups.push_back(State::intern(st.groupIndex, d.groupNames, QString::fromUtf8(group)));
    d.flags.push_back(State::intern(
        st.flagIndex, d.flagNames, commonFlag.isNull() ? QString(QLatin1String("")) : commonFlag.toString()));
    d.starts.push_back(d.block.size());
    st.append(title);
    d.special.push_back(QByteArrayView(d.block).sliced(d.starts.back()).contains(SpecialBytes));
    d.starts.push_back(d.block.size());
    st.append(text);
    d.longest = std::max(d.longest, d.block.size() - d.starts[2 * s] + 1);
    st.commons.push_back(commonFlag);
    st.stamps.push_back(changeTime);
}

void RecordTable::Builder::setCategories(QStringList categories) {
    m_state->categories = std::move(categories);
}

RecordTable RecordTable::Builder::finish(bool complete) {
    State &st = *m_state;
    Data &d = *st.data;
    d.complete = complete;
    d.starts.push_back(d.block.size());
    d.order = listOrder(st.commons, st.stamps);
    d.tied.assign(d.order.size(), false);
    for (size_t row = 1; row < d.order.size(); ++row) {
        const size_t a = size_t(d.order[row - 1]), b = size_t(d.order[row]);
        d.tied[row] = compareStored(st.commons[a], st.commons[b]) == 0 &&
                      compareStored(st.stamps[a], st.stamps[b]) == 0;
    }
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
