// The user's words for the team library: why an operation failed, and how
// the library stands (online, offline since when, read from the cache).
#pragma once

#include "TeamLibrary.h"
#include "TeamRecord.h"

#include <QString>

namespace messages {

QString describe(TeamError error, const QString &detail = {});
QString describeConflict(const QString &by, const QDateTime &at);
// A conflict names who changed the record and when.
template <typename T> QString describe(const TeamOutcome<T> &outcome) {
    return outcome.error() == TeamError::Conflict ? describeConflict(outcome.changedBy(), outcome.changedAt())
                                                  : describe(outcome.error(), outcome.detail());
}
// One line for a status bar: "团队文本库离线（自 12月7日 14:05 起），显示的是缓存的记录" and the like.
QString teamStatus(const TeamLibrary &library);
// The quick list's short notice: "团队文本库离线（自 12-07 14:05 起）" while
// offline, nothing otherwise.
QString teamListNotice(const TeamLibrary &library);

} // namespace messages
