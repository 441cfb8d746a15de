// vemo_bench_exchange [folder]: exports the sample library of 100,000 records
// to JSON and CSV and imports each file into an empty library and into one
// that holds them all already, printing the median time and the peak
// resident memory of each. The sample is kept in folder (default: a
// temporary folder) and reused on later runs.
#include "ExchangeBench.h"

#include "LibraryExchange.h"
#include "LibrarySchema.h"
#include "LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

namespace {

using bench::Figure;
using bench::measure;
using bench::Records;

void emptyLibrary(const QString &path) {
    QFile::remove(path);
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, librarySchema::CreateSql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// What a run that did not do all it should answers.
QString unless(bool done) {
    return done ? QString() : QStringLiteral("the operation failed");
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const QString sample = bench::exchangeSample(folder);
    if (sample.isEmpty())
        return 1;
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
            measure([&] { return unless(exchange::exportLibrary(library, file).added == Records); },
                    [&] { QFile::remove(file); });
        print(("export to " + name + " (" + QByteArray::number(QFileInfo(file).size() / 1048576.0, 'f', 1) +
               " MB)")
                  .constData(),
              exported);
        const Figure imported = measure(
            [&] { return unless(exchange::importLibrary(LibraryStore(target), file).added == Records); },
            [&] { emptyLibrary(target); });
        print(("import " + name + " into an empty library").constData(), imported);
        QFile::copy(sample, full);
        const Figure skipped = measure(
            [&] { return unless(exchange::importLibrary(LibraryStore(full), file).skipped == Records); });
        print(("import " + name + " into the same library").constData(), skipped);
        QFile::remove(full);
        QFile::remove(file);
    }
    QFile::remove(target);
    return 0;
}
