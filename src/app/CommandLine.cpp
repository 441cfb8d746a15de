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
#include <cstdio>

namespace commandline {

namespace {

void print(std::FILE *stream, const QString &text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

bool wanted(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView arg(argv[i]);
        if (arg.startsWith("--export") || arg.startsWith("--import") || arg.startsWith("--help") ||
            arg == "-h" || arg == "-?")
            return true;
    }
    return false;
}

int run(int argc, char **argv) {
    platform::useParentConsole();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(program::Name);
    const QString library =
        QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(librarySchema::FileName));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("%1：收集常用的文本，在任何程序中按快捷键粘贴。不带参数时启动程序。\n"
                       "导出和导入使用程序所在文件夹中的文本库 %2，程序是否在运行都可以；"
                       "文件格式由扩展名（.json 或 .csv）决定。")
            .arg(program::Name, QDir::toNativeSeparators(library)));
    parser.addHelpOption();
    const QCommandLineOption exportOption(QStringLiteral("export"),
                                          QStringLiteral("把整个文本库导出到文件。"), QStringLiteral("文件"));
    const QCommandLineOption importOption(
        QStringLiteral("import"),
        QStringLiteral("把文件中的记录导入文本库；标题和内容都与已有记录相同的记录跳过。"),
        QStringLiteral("文件"));
    parser.addOption(exportOption);
    parser.addOption(importOption);
    parser.process(app); // --help and unknown options end here

    const bool exporting = parser.isSet(exportOption);
    if (exporting == parser.isSet(importOption) || !parser.positionalArguments().isEmpty()) {
        print(stderr, QStringLiteral("请给出 --export 文件 或 --import 文件 中的一个。"));
        return 2;
    }
    const QString file =
        QDir::current().absoluteFilePath(parser.value(exporting ? exportOption : importOption));
    const LibraryStore store(library);
    const exchange::Report report =
        exporting ? exchange::exportLibrary(store, file) : exchange::importLibrary(store, file);
    if (!report.ok()) {
        print(stderr,
              (exporting ? QStringLiteral("导出失败：") : QStringLiteral("导入失败，文本库没有改变。\n")) +
                  messages::describe(report));
        return 1;
    }
    print(stdout,
          exporting
              ? QStringLiteral("已导出 %1 条记录到 %2").arg(report.added).arg(QDir::toNativeSeparators(file))
              : QStringLiteral("已导入 %1：新增 %2 条记录，跳过 %3 条（标题和内容都已存在）")
                    .arg(QDir::toNativeSeparators(file))
                    .arg(report.added)
                    .arg(report.skipped));
    return 0;
}

} // namespace commandline
