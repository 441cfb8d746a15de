// vemo_bench_store [--reads] [folder]: times the store on sample libraries of 10,000
// and 100,000 records and prints medians. The samples are kept in folder
// (default: a temporary folder) and reused on later runs; every write is
// timed on a copy, so the samples stay as generated.
#include "SampleLibrary.h"

#include "LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <vector>

#include <ctime>

namespace {

using Clock = std::chrono::steady_clock;

double cpuMs() {
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}

struct Timing {
    double wall = 0; // median elapsed time
    double cpu = 0;  // median processor time of this process: what a busy machine does not inflate
};

Timing median(int runs, const std::function<void(int)> &body, const std::function<void()> &untimed = {}) {
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; ++i) {
        if (untimed)
            untimed();
        const double cpuStart = cpuMs();
        const auto start = Clock::now();
        body(i);
        walls.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        cpus.push_back(cpuMs() - cpuStart);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

double medianMs(int runs, const std::function<void(int)> &body) {
    return median(runs, body).wall;
}

// What one durable write costs on this disk: a one-row insert into a scratch
// database, flushed as the library's own writes are.
double fsyncMs(const QString &folder) {
    const QByteArray path = QDir(folder).filePath(QStringLiteral("fsync.probe")).toUtf8();
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return 0;
    }
    sqlite3_exec(db, "CREATE TABLE t (x)", nullptr, nullptr, nullptr);
    const double ms =
        medianMs(31, [&](int) { sqlite3_exec(db, "INSERT INTO t VALUES (1)", nullptr, nullptr, nullptr); });
    sqlite3_close(db);
    QFile::remove(QString::fromUtf8(path));
    return ms;
}

struct Row {
    QString figure;
    int records;
    Timing time;
    double target;
};

Record sampleRecord(int i) {
    Record r;
    r.id = 1000000 + i; // beyond the sample keys, so the draw never repeats
    r.group = QStringLiteral("常用代码");
    r.category = QStringLiteral("Function");
    r.title = QStringLiteral("Benchmark record %1").arg(i);
    r.text = QStringLiteral("Public Function Sample%1(ByVal s As String) As String\r\n    ' 示例文本\r\n")
                 .arg(i)
                 .repeated(4);
    return r;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    QStringList args = app.arguments().mid(1);
    const bool readsOnly = args.removeAll(QStringLiteral("--reads")) > 0;
    const QString folder = !args.isEmpty() ? args.first() : temporary.path();
    QDir().mkpath(folder);

    std::vector<Row> rows;
    const double fsync = fsyncMs(folder);
    std::printf("disk: one durable one-row insert into a scratch database = %.2f ms (median)\n", fsync);

    for (const int count : {10000, 100000}) {
        const QString sample = QDir(folder).filePath(QStringLiteral("sample-%1-seed1.mdb").arg(count));
        if (!QFile::exists(sample)) {
            std::string error;
            if (!bench::makeSampleLibrary(sample.toStdString(), count, 1, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
        }
        const QString work = QDir(folder).filePath(QStringLiteral("work.mdb"));
        QFile::remove(work);
        if (!QFile::copy(sample, work)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(sample));
            return 1;
        }
        const LibraryStore library(work);

        const double before = bench::memoryMb("VmRSS");
        RecordTable held = library.readAll().value();
        const double holding = bench::memoryMb("VmRSS") - before;
        if (held.size() != count) {
            std::fprintf(stderr, "read %d records of %d\n", held.size(), count);
            return 1;
        }
        held = {};
        const int readRuns = count > 50000 ? 9 : 21;
        // The result is released outside the timing: the quick list keeps it
        // while it is open.
        RecordTable result;
        rows.push_back({QStringLiteral("readAll"), count,
                        median(
                            readRuns, [&](int) { result = library.readAll().value(); }, [&] { result = {}; }),
                        count > 50000 ? 200.0 : 20.0});
        result = {};
        rows.push_back({QStringLiteral("  SQLite alone, same statement"), count,
                        median(readRuns, [&](int) { bench::sqliteScan(work.toStdString(), true); }), 0});
        rows.push_back({QStringLiteral("  SQLite alone, file order"), count,
                        median(readRuns, [&](int) { bench::sqliteScan(work.toStdString(), false); }), 0});
        rows.push_back(
            {QStringLiteral("groups"), count, median(readRuns, [&](int) { library.groups(); }), 0});

        if (readsOnly) {
            QFile::remove(work);
            continue;
        }
        const int writeRuns = 31;
        rows.push_back({QStringLiteral("add"), count,
                        median(writeRuns, [&](int i) { library.add(sampleRecord(i)); }), 10});
        rows.push_back({QStringLiteral("change"), count,
                        median(writeRuns,
                               [&](int i) {
                                   auto r = sampleRecord(i);
                                   r.text += QStringLiteral("changed");
                                   library.replace(r);
                               }),
                        10});
        rows.push_back({QStringLiteral("common flag"), count,
                        median(writeRuns, [&](int i) { library.setCommon(1000000 + i, true); }), 10});
        rows.push_back({QStringLiteral("special mark"), count,
                        median(writeRuns, [&](int i) { library.toggleSpecialMark(1000000 + i); }), 10});
        rows.push_back({QStringLiteral("delete"), count,
                        median(writeRuns, [&](int i) { library.remove(1000000 + i); }), 10});
        std::printf("resident memory while holding all %d records: %.1f MB\n", count, holding);
        QFile::remove(work);
    }

    std::printf("\n%-34s %8s %10s %10s %8s %9s\n", "figure (median of runs)", "records", "wall ms", "cpu ms",
                "target", "x probe");
    for (const Row &row : rows) {
        const QByteArray target = row.target > 0 ? QByteArray::number(row.target, 'f', 0) + " ms" : "-";
        std::printf("%-34s %8d %10.2f %10.2f %8s %9.2f\n", qPrintable(row.figure), row.records, row.time.wall,
                    row.time.cpu, target.constData(), fsync > 0 ? row.time.wall / fsync : 0.0);
    }
    return 0;
}
