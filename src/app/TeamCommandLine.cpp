#include "TeamCommandLine.h"

#include "Program.h"
#include "Settings.h"
#include "TeamExchange.h"
#include "TeamServer.h"
#include "common/MessageBoxes.h"
#include "common/TeamWords.h"

#include <QByteArrayView>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace teamcommandline {

namespace {

void print(std::FILE *stream, const QString &text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

bool wanted(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (QByteArrayView(argv[i]).startsWith("--team-"))
            return true;
    return false;
}

int run(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(program::Name);
    QCoreApplication::setOrganizationName(program::Organization);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("%1 的团队文本库（PostgreSQL）。连接字符串是 libpq 的写法，例如 \"host=db.example.com "
                       "dbname=team "
                       "user=alice sslmode=require\"；密码写在 libpq "
                       "的密码文件（~/.pgpass）或服务文件中，不写在连接字符串里。")
            .arg(program::Name));
    parser.addHelpOption();
    const QCommandLineOption init(
        QStringLiteral("team-init"),
        QStringLiteral("在已有的数据库中建立团队文本库：记录表、变更通知和 vemo_reader、"
                       "vemo_editor 两个角色；已建立的部分不动。"),
        QStringLiteral("连接字符串"));
    const QCommandLineOption exporting(QStringLiteral("team-export"),
                                       QStringLiteral("把团队文本库导出到文件（.json 或 .csv）。"),
                                       QStringLiteral("文件"));
    const QCommandLineOption importing(
        QStringLiteral("team-import"),
        QStringLiteral(
            "把文件中的记录导入团队文本库：全部导入或一条也不导入；标题和内容都已存在的记录跳过。"),
        QStringLiteral("文件"));
    const QCommandLineOption server(QStringLiteral("team"),
                                    QStringLiteral("导出、导入用的服务器；不给时用设置“团队文本库”。"),
                                    QStringLiteral("连接字符串"));
    parser.addOptions({init, exporting, importing, server});
    parser.process(app);

    const int jobs = int(parser.isSet(init)) + int(parser.isSet(exporting)) + int(parser.isSet(importing));
    if (jobs != 1 || !parser.positionalArguments().isEmpty() ||
        (parser.isSet(init) && parser.isSet(server))) {
        print(stderr,
              QStringLiteral(
                  "请给出 --team-init 连接字符串、--team-export 文件 或 --team-import 文件 中的一个。"));
        return 2;
    }
    const QString conninfo = parser.isSet(init)     ? parser.value(init)
                             : parser.isSet(server) ? parser.value(server)
                                                    : Settings().value(setting::TeamLibrary);
    team::Server connection;
    if (const auto opened = connection.open(conninfo); !opened) {
        print(stderr, QStringLiteral("无法连接团队文本库：") + messages::describe(opened));
        return 1;
    }

    if (parser.isSet(init)) {
        const auto made = connection.initialize();
        if (!made) {
            print(stderr, QStringLiteral("建立团队文本库失败，数据库没有改变：") + messages::describe(made));
            return 1;
        }
        print(stdout, made.value()
                          ? QStringLiteral("团队文本库已建立：表 vemo.\"VBcode\"，通知频道 vemo_team，"
                                           "角色 vemo_reader（只读）和 vemo_editor（读写）。")
                          : QStringLiteral("团队文本库已经建立好了，没有改动。"));
        return 0;
    }

    const bool out = parser.isSet(exporting);
    const QString file = QDir::current().absoluteFilePath(parser.value(out ? exporting : importing));
    const auto done = out ? team::exportTeam(connection, file) : team::importTeam(connection, file);
    if (!done || !done.value().ok()) {
        print(stderr,
              (out ? QStringLiteral("导出失败：") : QStringLiteral("导入失败，团队文本库没有改变。\n")) +
                  (done ? messages::describe(done.value()) : messages::describe(done)));
        return 1;
    }
    const exchange::Report &report = done.value();
    print(stdout,
          out ? QStringLiteral("已把团队文本库的 %1 条记录导出到 %2")
                    .arg(report.added)
                    .arg(QDir::toNativeSeparators(file))
              : QStringLiteral("已导入 %1 到团队文本库：新增 %2 条记录，跳过 %3 条（标题和内容都已存在）")
                    .arg(QDir::toNativeSeparators(file))
                    .arg(report.added)
                    .arg(report.skipped));
    return 0;
}

} // namespace teamcommandline
