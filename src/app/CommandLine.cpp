#include "CommandLine.h"

#include "LibraryExchange.h"
#include "LibrarySchema.h"
#include "LibraryStore.h"
#include "Program.h"
#include "common/MessageBoxes.h"
#include "platform.h"

#include <QByteArrayView>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <cstdio>

namespace commandline {

namespace {

void print(std::FILE *stream, const QString &text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Qt's own options for a program with windows (the platform, the style, the
// session a session manager restarts): these start the program. Those in
// the first list take a value as the next argument.
constexpr const char *QtValueOptions[] = {"platform",        "platformpluginpath",
                                          "platformtheme",   "plugin",
                                          "qwindowgeometry", "qwindowicon",
                                          "qwindowtitle",    "session",
                                          "style",           "stylesheet",
                                          "display",         "name",
                                          "title",           "geometry"};
constexpr const char *QtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// How many arguments from argv[i] on belong to one of Qt's options; 0 when
// argv[i] is none of them.
int qtOption(int argc, char **argv, int i) {
    QByteArrayView name(argv[i]);
    name = name.sliced(name.startsWith("--") ? 2 : 1);
    const auto is = [&](const char *option) { return name == QByteArrayView(option); };
    if (std::any_of(std::begin(QtFlagOptions), std::end(QtFlagOptions), is))
        return 1;
    for (const char *option : QtValueOptions) {
        if (name.startsWith(option) && name.size() > qsizetype(qstrlen(option)) &&
            name[qstrlen(option)] == '=')
            return 1;
        if (is(option))
            return i + 1 < argc ? 2 : 1;
    }
    return 0;
}

} // namespace

bool wanted(int argc, char **argv) {
    for (int i = 1; i < argc;) {
        if (argv[i][0] != '-' || argv[i][1] == '\0') {
            ++i;
            continue;
        }
        const int taken = qtOption(argc, argv, i);
        if (taken == 0)
            return true;
        i += taken;
    }
    return false;
}

int run(int argc, char **argv) {
    platform::useParentConsole();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(program::Name);
    QCoreApplication::setApplicationVersion(QStringLiteral(VEMO_VERSION));
    const QString library =
        QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(librarySchema::FileName));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("%1：收集常用的文本，在任何程序中按快捷键粘贴。不带参数时启动程序。\n"
                       "导出和导入使用程序所在文件夹中的文本库 %2，程序是否在运行都可以；"
                       "文件格式由扩展名（.json 或 .csv）决定。")
            .arg(program::Name, QDir::toNativeSeparators(library)));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                                        QStringLiteral("显示这段说明。"));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("显示版本号。"));
    const QCommandLineOption exportOption(QStringLiteral("export"),
                                          QStringLiteral("把整个文本库导出到文件。"), QStringLiteral("文件"));
    const QCommandLineOption importOption(
        QStringLiteral("import"),
        QStringLiteral("把文件中的记录导入文本库；标题和内容都与已有记录相同的记录跳过。"),
        QStringLiteral("文件"));
    const QCommandLineOption updateOption(
        QStringLiteral("update"),
        QStringLiteral(
            "与 --import 一起用：文本库中已有 ID 相同的记录时，改成文件中的内容，而不是另外新增。"));
    const QList<QCommandLineOption> options{helpOption, versionOption, exportOption, importOption,
                                            updateOption};
    parser.addOptions(options);
    const auto refuse = [&](const QString &why) {
        print(stderr, why + u'\n' + parser.helpText());
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments())) {
        if (!parser.unknownOptionNames().isEmpty())
            return refuse(QStringLiteral("不认识的参数：") + parser.unknownOptionNames().join(u' '));
        return refuse(QStringLiteral("参数有误（%1）").arg(parser.errorText()));
    }
    // Given twice, an option would silently mean only its last value.
    const QStringList given = parser.optionNames();
    for (const QCommandLineOption &option : options) {
        const QStringList names = option.names();
        const auto times = std::count_if(given.begin(), given.end(),
                                         [&](const QString &name) { return names.contains(name); });
        if (times > 1)
            return refuse(QStringLiteral("参数 --%1 只能给一次。").arg(names.constLast()));
    }
    if (parser.isSet(helpOption)) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(versionOption)) {
        print(stdout, QStringLiteral("%1 %2").arg(program::Name, QCoreApplication::applicationVersion()));
        return 0;
    }
    const bool exporting = parser.isSet(exportOption);
    if (exporting == parser.isSet(importOption) || !parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("请给出 --export 文件 或 --import 文件 中的一个。"));
    const bool updating = parser.isSet(updateOption);
    if (updating && exporting)
        return refuse(QStringLiteral("--update 只能和 --import 一起用。"));
    const QString file =
        QDir::current().absoluteFilePath(parser.value(exporting ? exportOption : importOption));
    const LibraryStore store(library);
    const exchange::Report report =
        exporting ? exchange::exportLibrary(store, file)
                  : exchange::importLibrary(store, file, {}, updating ? ImportMode::Update : ImportMode::Add);
    if (!report.ok()) {
        print(stderr,
              (exporting ? QStringLiteral("导出失败：") : QStringLiteral("导入失败，文本库没有改变。\n")) +
                  messages::describe(report));
        return 1;
    }
    print(stdout, messages::describeDone(report, exporting, updating));
    return 0;
}

} // namespace commandline
