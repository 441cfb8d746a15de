// The list's order of the records, worked out from the values the library
// holds exactly as SQLite's "ORDER BY IsUsed DESC, ChangeTime DESC" would:
// common records first, the newest change stamp first within each group,
// whatever values other programs left there.
#pragma once

#include <QVariant>
#include <vector>

// SQLite's order of two values: NULL, numbers, texts (by code point), blobs.
int compareStored(const QVariant &a, const QVariant &b);
// The record positions in list order, from each record's IsUsed and ChangeTime.
std::vector<int> listOrder(const std::vector<QVariant> &common, const std::vector<QVariant> &stamp);
