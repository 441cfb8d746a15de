#include "ListOrder.h"

#include <QString>
#include <algorithm>
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
std::vector<int> listOrder(const std::vector<QVariant> &common, const std::vector<QVariant> &stamp) {
    const size_t rows = common.size();
    std::vector<int> commonRank(rows, 0);
    std::vector<const QVariant *> distinct;
    bool ranked = true;
    for (size_t r = 0; r < rows && ranked; ++r) {
        size_t i = 0;
        while (i < distinct.size() && compareStored(*distinct[i], common[r]) != 0)
            ++i;
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
    std::vector<qint64> stampKey(rows);
    for (size_t r = 0; r < rows; ++r)
        stampKey[r] = stampNumber(stamp[r]);

    std::vector<int> order(rows);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const size_t x = size_t(a), y = size_t(b);
        const int byCommon = ranked ? commonRank[y] - commonRank[x] : compareStored(common[y], common[x]);
        if (byCommon != 0)
            return byCommon < 0;
        if (stampKey[x] >= 0 && stampKey[y] >= 0)
            return stampKey[x] > stampKey[y];
        return compareStored(stamp[y], stamp[x]) < 0;
    });
    return order;
}
