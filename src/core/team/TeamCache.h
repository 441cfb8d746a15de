// The last team library received, kept per user so the quick list can show
// it while the server cannot be reached. An SQLite file in the per-user data
// folder whose table VBcode has the library's seven columns (so whatever
// reads a library reads it) and "ChangedBy" and "Version" beside them; it is
// written whole under another name and renamed over the old one, so a reader
// finds either the old library or the new one, never a part.
#pragma once

#include "StoreOutcome.h"
#include "TeamRecord.h"

#include <QDateTime>
#include <QString>

namespace team {

struct CacheContents {
    TeamRecords records;
    QString source;      // the connection string it came from (never a password)
    QDateTime fetchedAt; // when the server last gave it
};

// "团队文本库.db" in the user's data folder (the folder is made when missing).
QString defaultCachePath();

Outcome<> writeCache(const QString &path, const CacheContents &contents);
Outcome<CacheContents> readCache(const QString &path);

} // namespace team
