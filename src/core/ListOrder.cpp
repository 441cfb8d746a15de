#include "ListOrder.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <numeric>

namespace {

// A 14-digit change stamp as a number, which orders as its text does; -1
// for anything else.
qint64 stampNumber(const QVariant &value) {
    if (value.typeId() != QMetaType::QString)
        return -1;
    const QString &text = *static_cast<const QString *>(value.constData());
    if (text.size() != 14)
        return -1;
    qint64 number = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        number = number * 10 + (c.unicode() - u'0');
    }
    return number;
}

// Both values are the same text (a quick yes, never a wrong one).
bool sameText(const QVariant &a, const QVariant &b) {
    return a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString &&
           *static_cast<const QString *>(a.constData()) == *static_cast<const QString *>(b.constData());
}

} // namespace

// SQLite's order of values: NULL, numbers, texts (by code point), blobs.
int compareStored(const QVariant &a, const QVariant &b) {
    auto rank = [](const QVariant &v) {
        switch (v.typeId()) {
        case QMetaType::UnknownType:
            return 0;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Double:
            return 1;
        case QMetaType::QString:
            return 2;
        default:
            return 3;
        }
    };
    const int ra = rank(a), rb = rank(b);
    if (ra != rb || ra == 0)
        return ra - rb;
    if (ra == 1) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (ra == 3)
        return a.toByteArray().compare(b.toByteArray());
    const QString &x = *static_cast<const QString *>(a.constData());
    const QString &y = *static_cast<const QString *>(b.constData());
    const qsizetype n = std::min(x.size(), y.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t cx = x[i].unicode(), cy = y[i].unicode();
        if (cx != cy) {
            // UTF-16 units in code point order: surrogates come after U+FFFF.
            auto fix = [](char16_t c) { return c >= 0xE000 ? c - 0x800 : c >= 0xD800 ? c + 0x2000 : int(c); };
            return fix(cx) - fix(cy);
        }
    }
    return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
}

// The row order of "ORDER BY IsUsed DESC, ChangeTime DESC", ties in file
// order. The flag has a handful of values and the stamps are digits, so
// rows are ranked by plain numbers; other values fall back to comparing
// them as SQLite does.
StoredStamp StoredStamp::of(const QVariant &value) {
    const qint64 number = stampNumber(value);
    return number >= 0 ? StoredStamp{number, {}} : StoredStamp{-1, value};
}

StoredStamp StoredStamp::ofText(QByteArrayView utf8) {
    if (utf8.size() == 14) {
        qint64 number = 0;
        for (const char c : utf8) {
            if (c < '0' || c > '9')
                return {-1, QString::fromUtf8(utf8)};
            number = number * 10 + (c - '0');
        }
        return {number, {}};
    }
    return {-1, QString::fromUtf8(utf8)};
}

QVariant StoredStamp::value() const {
    return number >= 0 ? QVariant(QString::number(number).rightJustified(14, u'0')) : other;
}

std::vector<int> listOrder(const std::vector<QVariant> &common, const std::vector<QVariant> &stamp) {
    std::vector<StoredStamp> stamps;
    stamps.reserve(stamp.size());
    for (const QVariant &value : stamp)
        stamps.push_back(StoredStamp::of(value));
    return listOrderWithTies(common, stamps).order;
}

ListOrder listOrderWithTies(const std::vector<QVariant> &common, const std::vector<StoredStamp> &stamp) {
    const size_t rows = common.size();
    std::vector<int> commonRank(rows, 0);
    std::vector<const QVariant *> distinct;
    bool ranked = true;
    size_t last = 0;
    for (size_t r = 0; r < rows && ranked; ++r) {
        // Neighbouring records mostly hold the same flag, as the same text.
        if (!distinct.empty() && sameText(*distinct[last], common[r])) {
            commonRank[r] = int(last);
            continue;
        }
        size_t i = 0;
        while (i < distinct.size() && compareStored(*distinct[i], common[r]) != 0)
            ++i;
        last = i;
        if (i == distinct.size()) {
            if (distinct.size() == 64)
                ranked = false;
            distinct.push_back(&common[r]);
        }
        commonRank[r] = int(i);
    }
    if (ranked) {
        std::vector<int> byValue(distinct.size());
        std::iota(byValue.begin(), byValue.end(), 0);
        std::sort(byValue.begin(), byValue.end(), [&](int a, int b) {
            return compareStored(*distinct[size_t(a)], *distinct[size_t(b)]) < 0;
        });
        std::vector<int> position(distinct.size());
        for (size_t p = 0; p < byValue.size(); ++p)
            position[size_t(byValue[p])] = int(p);
        for (int &rank : commonRank)
            rank = position[size_t(rank)];
    }

    // The usual library (a few flags, every stamp of 14 digits): one number
    // per record orders it, flag rank above stamp, and ties go in file order.
    ListOrder result;
    const bool allNumbers =
        ranked && std::all_of(stamp.begin(), stamp.end(), [](const StoredStamp &t) { return t.number >= 0; });
    if (allNumbers) {
        struct Key {
            std::uint64_t key;
            int row;
        };
        std::vector<Key> keys(rows);
        for (size_t r = 0; r < rows; ++r)
            keys[r] = {std::uint64_t(commonRank[r]) << 48 | std::uint64_t(stamp[r].number), int(r)};
        std::sort(keys.begin(), keys.end(),
                  [](const Key &a, const Key &b) { return a.key != b.key ? a.key > b.key : a.row < b.row; });
        result.order.resize(rows);
        result.tied.assign(rows, false);
        for (size_t i = 0; i < rows; ++i) {
            result.order[i] = keys[i].row;
            result.tied[i] = i > 0 && keys[i].key == keys[i - 1].key;
        }
        return result;
    }

    // Descending: > 0 when y comes first, < 0 when x does, 0 for a tie.
    const auto compare = [&](size_t x, size_t y) {
        const int byCommon = ranked ? commonRank[y] - commonRank[x] : compareStored(common[y], common[x]);
        if (byCommon != 0)
            return byCommon;
        const qint64 a = stamp[x].number, b = stamp[y].number;
        if (a >= 0 && b >= 0)
            return a < b ? 1 : a > b ? -1 : 0;
        return compareStored(stamp[y].value(), stamp[x].value());
    };
    std::vector<int> &order = result.order;
    order.resize(rows);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return compare(size_t(a), size_t(b)) < 0; });
    result.tied.assign(rows, false);
    for (size_t row = 1; row < rows; ++row)
        result.tied[row] = compare(size_t(order[row - 1]), size_t(order[row])) == 0;
    return result;
}
