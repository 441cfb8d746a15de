#include "RecordTable.h"

QString RecordTable::idText(int row) const {
    const QVariant &v = m_data->ids[size_t(m_data->order[size_t(row)])];
    return v.isNull() ? QString() : v.toString();
}

std::optional<qint64> RecordTable::id(int row) const {
    const QVariant &v = m_data->ids[size_t(m_data->order[size_t(row)])];
    if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong)
        return v.toLongLong();
    return std::nullopt;
}

Record RecordTable::record(int row) const {
    return Record{id(row).value_or(0), group(row),      category(row),
                  title(row),          text(row),       changeTime(row),
                  commonFlag(row) == CommonFlag};
}
