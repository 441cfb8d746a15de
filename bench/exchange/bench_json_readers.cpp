// vemo_bench_json_readers [folder]: the import's own JSON reader against
// RapidJSON's SAX reader (validating UTF-8, numbers kept as their text,
// iterative so deep nesting cannot exhaust the stack, streaming from the file
// through a 64 KiB buffer like ours). Both turn the export of the sample
// library of 100,000 records into records (the texts copied out, the ID
// read), without storing them; the median time and peak memory of each are
// printed. Then both read the hostile cases (and any files given after the
// folder), and what each makes of them is printed side by side.
//
// Our reader lives in an unnamed namespace of the import: this file compiles
// that source itself to reach it.
#include "../../src/core/LibraryExchange.cpp"

#include "ExchangeBench.h"

#include <rapidjson/error/en.h>
#include <rapidjson/filereadstream.h>
#include <rapidjson/reader.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

using bench::Figure;
using bench::Records;

struct ReaderResult {
    bool ok = false;
    qint64 records = 0;
    qint64 line = 0;
    QString what;
    bool utf8 = true; // every text the reader gave is UTF-8
};

ReaderResult readOurs(const QString &path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    exchange::Report report;
    exchange::Reader in(file);
    exchange::JsonSource json(in, report);
    IncomingRecord r;
    ReaderResult out;
    for (;;) {
        const auto supply = json.next(r);
        if (supply == LibraryStore::Supply::Record) {
            ++out.records;
            for (const QByteArray *t : {&r.group, &r.category, &r.title, &r.text, &r.commonFlag})
                out.utf8 = out.utf8 && QByteArrayView(*t).isValidUtf8();
            continue;
        }
        out.ok = supply == LibraryStore::Supply::End;
        out.line = report.line;
        out.what = report.detail.isEmpty() && report.problem == exchange::Problem::NotUtf8
                       ? QStringLiteral("不是 UTF-8")
                       : report.detail;
        if (report.record > 0)
            out.what = QStringLiteral("第 %1 条记录：").arg(report.record) + out.what;
        return out;
    }
}

// The records as the import takes them: an array of objects of the seven
// fields, their values copied out as ours does.
struct Handler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Handler> {
    IncomingRecord r;
    QByteArray *target = nullptr;
    int column = -1, depth = 0;
    qint64 records = 0;
    bool utf8 = true;
    QString refused;

    bool refuse(const QString &why) {
        refused = why;
        return false;
    }
    bool text(const char *s, rapidjson::SizeType n) {
        if (depth != 2)
            return refuse(QStringLiteral("不是记录"));
        const QByteArrayView value(s, n);
        utf8 = utf8 && value.isValidUtf8();
        if (column == 0)
            r.id = exchange::idOf(value);
        else if (column == 5)
            r.changeTime = value.toByteArray();
        else
            exchange::textOf(r, column) = value.toByteArray();
        return true;
    }
    bool Null() { return text("", 0); }
    bool Bool(bool) { return column == 6 ? text("", 0) : refuse(QStringLiteral("真假值")); }
    bool RawNumber(const char *s, rapidjson::SizeType n, bool) { return text(s, n); }
    bool String(const char *s, rapidjson::SizeType n, bool) { return text(s, n); }
    bool Key(const char *s, rapidjson::SizeType n, bool) {
        column = exchange::columnNamed(QByteArrayView(s, n));
        return column >= 0 || refuse(QStringLiteral("没有名为“%1”的字段").arg(QString::fromUtf8(s, n)));
    }
    bool StartObject() {
        if (++depth != 2)
            return refuse(QStringLiteral("嵌套的值"));
        exchange::clear(r);
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        --depth;
        ++records;
        return true;
    }
    bool StartArray() { return ++depth == 1 || refuse(QStringLiteral("嵌套的值")); }
    bool EndArray(rapidjson::SizeType) { return --depth, true; }
};

// The file stream counting lines as it goes, which every message naming a
// line or a record's line needs.
struct LineCountingStream {
    using Ch = char;
    rapidjson::FileReadStream &in;
    qint64 line = 1;
    Ch Peek() const { return in.Peek(); }
    Ch Take() {
        const Ch c = in.Take();
        line += c == '\n';
        return c;
    }
    size_t Tell() const { return in.Tell(); }
    Ch *PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    size_t PutEnd(Ch *) { return 0; }
};

ReaderResult readRapidJson(const QString &path, bool countLines = true) {
    std::FILE *f = std::fopen(QFile::encodeName(path).constData(), "rb");
    char buffer[1 << 16];
    rapidjson::FileReadStream stream(f, buffer, sizeof buffer);
    if (stream.Peek() == '\xEF') // a byte-order mark
        stream.Take(), stream.Take(), stream.Take();
    Handler handler;
    rapidjson::Reader reader;
    constexpr unsigned flags = rapidjson::kParseValidateEncodingFlag | rapidjson::kParseNumbersAsStringsFlag |
                               rapidjson::kParseIterativeFlag;
    LineCountingStream counting{stream};
    const auto result =
        countLines ? reader.Parse<flags>(counting, handler) : reader.Parse<flags>(stream, handler);
    std::fclose(f);
    ReaderResult out{!result.IsError(), handler.records, 0, {}, handler.utf8};
    if (result.IsError()) {
        // RapidJSON names a byte: its line is counted afterwards.
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray head = file.read(qint64(result.Offset()));
        out.line = head.count('\n') + 1;
        out.what = handler.refused.isEmpty() ? QString::fromLatin1(rapidjson::GetParseError_En(result.Code()))
                                             : handler.refused;
    }
    return out;
}

// The medians of Runs reads.
Figure measure(const std::function<ReaderResult()> &read) {
    return bench::measure([&] {
        const ReaderResult out = read();
        return out.ok && out.records == Records ? QString() : "the reader failed: " + out.what;
    });
}

QString shown(const ReaderResult &o) {
    return o.ok ? QStringLiteral("ok, %1 records%2").arg(o.records).arg(o.utf8 ? "" : ", TEXT NOT UTF-8")
                : QStringLiteral("line %1: %2").arg(o.line).arg(o.what);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const QString sample = bench::exchangeSample(folder);
    if (sample.isEmpty())
        return 1;
    const QString json = QDir(folder).filePath(QStringLiteral("library.json"));
    if (!exchange::exportLibrary(LibraryStore(sample), json).ok())
        return 1;
    std::printf("%d records, %.1f MB of JSON; resident before: %.1f MB\n", Records,
                double(QFileInfo(json).size()) / 1048576.0, bench::memoryMb("VmRSS"));
    std::printf("%-36s %8s %8s %8s %11s\n", "reader (median of 7 runs)", "wall ms", "cpu ms", "peak MB",
                "cpu / ours");
    const Figure ours = measure([&] { return readOurs(json); });
    const Figure rapid = measure([&] { return readRapidJson(json); });
    const Figure bare = measure([&] { return readRapidJson(json, false); });
    for (const auto &[name, f] : {std::pair{"ours", ours},
                                  {"RapidJSON SAX, lines counted", rapid},
                                  {"RapidJSON SAX, no lines", bare}})
        std::printf("%-36s %8.0f %8.0f %8.1f %11.2f\n", name, f.ms, f.cpu, f.peak, f.cpu / ours.cpu);
    std::printf("\n");

    const QList<QPair<QString, QByteArray>> cases = {
        {"raw NUL in a text", QByteArray("[{\"Code\":\"a\0b\"}]", 17)},
        {"escaped NUL", "[{\"Code\":\"a\\u0000b\"}]"},
        {"lone high surrogate", "[{\"Code\":\"\\ud800x\"}]"},
        {"lone low surrogate", "[{\"Code\":\"\\udc00\"}]"},
        {"surrogate pair", "[{\"Code\":\"\\ud83d\\ude00\"}]"},
        {"UTF-8 of a surrogate", "[{\"Code\":\"\xED\xA0\x80\"}]"},
        {"overlong UTF-8", "[{\"Code\":\"\xC0\xAF\"}]"},
        {"Latin-1 on line 2", "[{\"Code\":\n\"caf\xe9\"}]"},
        {"ID beyond 64 bits", "[{\"ID\":9223372036854775808}]"},
        {"ID 1e400", "[{\"ID\":1e400}]"},
        {"unknown field, record 2", "[{\"Code\":\"a\"},\n\n{\"Title\":\"b\"}]"},
        {"truncated on line 3", "[\n{\"ID\":1,\"CodeName\":\"a\"},\n{\"ID\":2,\"Co"},
        {"deep nesting", "[{\"Code\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + "}]"},
        {"trailing comma", "[{\"Code\":\"a\"},]"},
        {"leading zero", "[{\"ID\":01}]"},
    };
    QList<QPair<QString, QString>> files;
    for (const auto &[name, bytes] : cases) {
        const QString path = QDir(folder).filePath(QStringLiteral("case.json"));
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.close();
        std::printf("%-26s ours: %s\n%-26s RapidJSON: %s\n", qPrintable(name),
                    qPrintable(shown(readOurs(path))), "", qPrintable(shown(readRapidJson(path))));
    }
    for (int i = 2; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        const ReaderResult a = readOurs(path), b = readRapidJson(path);
        if (a.ok != b.ok || a.records != b.records || a.line != b.line)
            std::printf("%-26s ours: %s\n%-26s RapidJSON: %s\n", qPrintable(QFileInfo(path).fileName()),
                        qPrintable(shown(a)), "", qPrintable(shown(b)));
    }
    QFile::remove(json);
    return 0;
}
