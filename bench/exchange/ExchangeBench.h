// What the export/import benchmark and the JSON reader benchmark share: the
// sample library of 100,000 records kept in the folder they are given, and
// the medians of seven timed runs with the peak memory of each.
#pragma once

#include "SampleLibrary.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

namespace bench {

constexpr int Records = 100000;
constexpr int Runs = 7;

// The sample library of Records records in the folder (made if missing),
// written on the first run and reused on later ones; empty, with the reason
// printed, when it could not be written.
inline QString exchangeSample(const QString &folder) {
    QDir().mkpath(folder);
    const QString sample = QDir(folder).filePath(QStringLiteral("sample-%1-seed1.mdb").arg(Records));
    if (!QFile::exists(sample)) {
        std::string error;
        if (!makeSampleLibrary(sample.toStdString(), Records, 1, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return {};
        }
    }
    return sample;
}

inline void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

struct Figure {
    double ms = 0, cpu = 0, peak = 0; // medians: elapsed, this process's processor time, peak memory
};

// Runs the body Runs times, each after the untimed preparation; the median
// time and the median peak memory of the runs. The body answers why it
// failed, empty when it did not; a failure ends the benchmark.
inline Figure measure(
    const std::function<QString()> &body, const std::function<void()> &prepare = [] {}) {
    std::vector<double> times, cpus, peaks;
    for (int i = 0; i < Runs; ++i) {
        prepare();
        resetPeak();
        const std::clock_t cpuStart = std::clock();
        const auto start = std::chrono::steady_clock::now();
        const QString failure = body();
        if (!failure.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(failure));
            std::exit(1);
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        cpus.push_back(1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        peaks.push_back(memoryMb("VmHWM"));
    }
    for (auto *figures : {&times, &cpus, &peaks})
        std::sort(figures->begin(), figures->end());
    return {times[Runs / 2], cpus[Runs / 2], peaks[Runs / 2]};
}

} // namespace bench
