#include "common/TeamWords.h"

namespace messages {

namespace {

QString when(const QDateTime &at) {
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The server's own words after ours, where it gave any.
QString withDetail(const QString &text, const QString &detail) {
    return detail.isEmpty() ? text : text + QStringLiteral("\n（") + detail.simplified() + QStringLiteral("）");
}

} // namespace

QString describeConflict(const QString &by, const QDateTime &at) {
    return QStringLiteral("这条团队记录在你打开之后已被 %1 于 %2 修改，你的修改没有保存。").arg(by, when(at));
}

QString describe(TeamError error, const QString &detail) {
    switch (error) {
    case TeamError::None:
        return {};
    case TeamError::NotBuilt:
        return QStringLiteral("团队文本库需要 PostgreSQL 的客户端库 libpq，这个程序没有找到它。");
    case TeamError::NotConfigured:
        return QStringLiteral("还没有设置团队文本库的连接字符串。");
    case TeamError::BadConnectionString:
        return withDetail(QStringLiteral("连接字符串的写法不对。"), detail);
    case TeamError::PasswordInString:
        return QStringLiteral(
            "连接字符串中不能写密码：请把密码写入 libpq 的密码文件（~/.pgpass）或服务文件。");
    case TeamError::NoPassword:
        return QStringLiteral("服务器要求密码，但密码文件（~/.pgpass）中没有这个服务器和用户的密码。");
    case TeamError::WrongPassword:
        return withDetail(QStringLiteral("密码不对：服务器拒绝了密码文件中的密码。"), detail);
    case TeamError::NoAccess:
        return withDetail(QStringLiteral("服务器拒绝了这个用户或数据库。"), detail);
    case TeamError::Unreachable:
        return withDetail(QStringLiteral("连接不上服务器：服务器没有运行，或地址、端口不对。"), detail);
    case TeamError::NoTable:
        return QStringLiteral("这个数据库中还没有团队文本库：请先运行 vemo --team-init 连接字符串。");
    case TeamError::NotAllowed:
        return withDetail(QStringLiteral("服务器拒绝了这次修改：你在团队文本库中只有读的权限。"), detail);
    case TeamError::Conflict:
        return QStringLiteral("这条团队记录在你打开之后已被别人修改，你的修改没有保存。");
    case TeamError::Deleted:
        return QStringLiteral("这条团队记录已被别人删除。");
    case TeamError::Offline:
        return QStringLiteral("团队文本库现在离线，只能查看，不能修改。");
    case TeamError::NulInText:
        return withDetail(QStringLiteral("团队文本库不能保存含有 NUL 字符（\\0）的文字。"), detail);
    case TeamError::Lost:
        return withDetail(QStringLiteral("与服务器的连接断开了。"), detail);
    case TeamError::Server:
        return withDetail(QStringLiteral("服务器报告了错误。"), detail);
    }
    return {};
}

QString teamStatus(const TeamLibrary &library) {
    switch (library.state()) {
    case TeamLibrary::State::Off:
        return {};
    case TeamLibrary::State::Connecting:
        return QStringLiteral("正在连接团队文本库…");
    case TeamLibrary::State::Online:
        return QStringLiteral("团队文本库在线，%1 条记录").arg(library.size());
    case TeamLibrary::State::Offline:
        break;
    }
    QString text = QStringLiteral("团队文本库离线（自 %1 起）").arg(when(library.offlineSince()));
    if (library.receivedAt().isValid())
        text += QStringLiteral("，显示的是 %1 收到的 %2 条记录，只能查看")
                    .arg(when(library.receivedAt()))
                    .arg(library.size());
    return text;
}

QString teamListNotice(const TeamLibrary &library) {
    if (library.state() != TeamLibrary::State::Offline)
        return {};
    // Short enough for the list's status line.
    return QStringLiteral("团队文本库离线（自 %1 起）")
        .arg(library.offlineSince().toLocalTime().toString(QStringLiteral("MM-dd HH:mm")));
}

} // namespace messages
