// vemo_bench_exchange [folder]: exports the sample library of 100,000 records
// to JSON and CSV and imports each file into an empty library and into one
// that holds them all already, printing the median time and the peak
// resident memory of each. The sample is kept in folder (default: a
// temporary folder) and reused on later runs.
#include "SampleLibrary.h"

#include "LibraryExchange.h"
#include "LibrarySchema.h"
#include "LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int Records = 100000;
constexpr int Runs = 7;

void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void emptyLibrary(const QString &path) {
    QFile::remove(path);
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, librarySchema::CreateSql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

struct Figure {
    double ms = 0, cpu = 0, peak = 0; // medians: elapsed, this process's processor time, peak memory
};

// Runs the body Runs times, each after the untimed preparation; the median
// time and the median peak memory of the runs.
Figure measure(const std::function<bool()> &body, const std::function<void()> &prepare) {
    std::vector<double> times, cpus, peaks;
    for (int i = 0; i < Runs; ++i) {
        prepare();
        resetPeak();
        const std::clock_t cpuStart = std::clock();
        const auto start = std::chrono::steady_clock::now();
        if (!body()) {
            std::fprintf(stderr, "the operation failed\n");
            std::exit(1);
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        cpus.push_back(1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        peaks.push_back(bench::memoryMb("VmHWM"));
    }
    for (auto *figures : {&times, &cpus, &peaks})
        std::sort(figures->begin(), figures->end());
    return {times[Runs / 2], cpus[Runs / 2], peaks[Runs / 2]};
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    QDir().mkpath(folder);
    const QString sample = QDir(folder).filePath(QStringLiteral("sample-%1-seed1.mdb").arg(Records));
    if (!QFile::exists(sample)) {
        std::string error;
        if (!bench::makeSampleLibrary(sample.toStdString(), Records, 1, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    const LibraryStore library(sample);
    const QString target = QDir(folder).filePath(QStringLiteral("import.mdb"));
    const QString full = QDir(folder).filePath(QStringLiteral("full.mdb"));
    const double before = bench::memoryMb("VmHWM");
    std::printf("sample: %d records, %.1f MB; resident before: %.1f MB\n\n", Records,
                QFileInfo(sample).size() / 1048576.0, before);
    std::printf("%-40s %8s %8s %8s %10s %10s\n", "figure (median of 7 runs)", "wall ms", "cpu ms", "peak MB",
                "target ms", "target MB");
    const auto print = [](const char *figure, const Figure &f) {
        std::printf("%-40s %8.0f %8.0f %8.1f %10d %10d\n", figure, f.ms, f.cpu, f.peak, 2000, 150);
    };
    for (const QString &suffix : {QStringLiteral("json"), QStringLiteral("csv")}) {
        const QString file = QDir(folder).filePath(QStringLiteral("library.") + suffix);
        const QByteArray name = suffix.toUpper().toLatin1();
        const Figure exported =
            measure([&] { return exchange::exportLibrary(library, file).added == Records; },
                    [&] { QFile::remove(file); });
        print(("export to " + name + " (" + QByteArray::number(QFileInfo(file).size() / 1048576.0, 'f', 1) +
               " MB)")
                  .constData(),
              exported);
        const Figure imported =
            measure([&] { return exchange::importLibrary(LibraryStore(target), file).added == Records; },
                    [&] { emptyLibrary(target); });
        print(("import " + name + " into an empty library").constData(), imported);
        QFile::copy(sample, full);
        const Figure skipped = measure(
            [&] { return exchange::importLibrary(LibraryStore(full), file).skipped == Records; }, [] {});
        print(("import " + name + " into the same library").constData(), skipped);
        QFile::remove(full);
        QFile::remove(file);
    }
    QFile::remove(target);
    return 0;
}
