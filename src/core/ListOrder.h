// The list's order of the records, worked out from the values the library
// holds exactly as SQLite's "ORDER BY IsUsed DESC, ChangeTime DESC" would:
// common records first, the newest change stamp first within each group,
// whatever values other programs left there.
#pragma once

#include <QByteArrayView>
#include <QVariant>
#include <vector>

// SQLite's order of two values: NULL, numbers, texts (by code point), blobs.
int compareStored(const QVariant &a, const QVariant &b);
// The record positions in list order, from each record's IsUsed and ChangeTime.
std::vector<int> listOrder(const std::vector<QVariant> &common, const std::vector<QVariant> &stamp);

// A change stamp as the library holds it: the usual 14 digits as their
// number, which orders as the text does, without making a QVariant of them;
// any other value as itself.
struct StoredStamp {
    qint64 number = -1;
    QVariant other;

    static StoredStamp of(const QVariant &value);
    // The bytes of a stored text.
    static StoredStamp ofText(QByteArrayView utf8);
    QVariant value() const;
};

// The same order, and for each list row whether it ties with the row before
// (the same flag and stamp: the library's order leaves the two in no order).
struct ListOrder {
    std::vector<int> order;
    std::vector<bool> tied;
};
ListOrder listOrderWithTies(const std::vector<QVariant> &common, const std::vector<StoredStamp> &stamp);
