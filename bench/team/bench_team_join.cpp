// The quick list's join of the member's own records with the team's, on the
// thread that shows the list: a sample library of 10,000 or 100,000 records
// followed by 20,000 team records. Prints the median time of the join (done on
// every reading of the own library, and on a worker after every change of the
// team's).
//
//   vemo_bench_team_join [own records] [team records] [runs]
#include "LibraryStore.h"
#include "RecordTable.h"
#include "SampleLibrary.h"
#include "TeamRecord.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

template <typename F> double medianMs(int runs, F &&work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

// Team records as the team library lists them: "团队·<group>", "团队:<id>", none common.
RecordTable teamTable(int count) {
    RecordTable::Builder builder;
    builder.reserve(count, qsizetype(count) * 200);
    for (int i = 0; i < count; ++i) {
        const QByteArray text =
            QStringLiteral("您好，关于您的第 %1 号工单，我们已经处理完毕。Reply %1 for the customer.")
                .arg(i)
                .toUtf8()
                .repeated(1 + i % 4);
        builder.add(team::listId(i + 1), (team::GroupPrefix + QStringLiteral("话术%1").arg(i % 40)).toUtf8(),
                    QStringLiteral("团队回复 %1").arg(i).toUtf8(), text,
                    QString::number(20260101000000LL + i), QVariant());
    }
    return builder.finish(true);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int teamCount = args.size() > 2 ? args[2].toInt() : 20000;
    const int runs = args.size() > 3 ? args[3].toInt() : 20;
    const QList<int> ownCounts = args.size() > 1 ? QList<int>{args[1].toInt()} : QList<int>{10000, 100000};
    QTemporaryDir dir;
    const RecordTable team = teamTable(teamCount);
    std::printf("team records: %d\n", team.size());
    for (int ownCount : ownCounts) {
        const QString path = dir.filePath(QStringLiteral("own%1.mdb").arg(ownCount));
        std::string error;
        if (!bench::makeSampleLibrary(path.toStdString(), ownCount, 7, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const auto own = LibraryStore(path).readAll();
        if (!own) {
            std::fprintf(stderr, "the sample library could not be read\n");
            return 1;
        }
        RecordTable joined;
        const double join = medianMs(runs, [&] { joined = RecordTable::joined(own.value(), team); });
        std::printf("own %6d + team %d: join %.2f ms (median of %d)\n", ownCount, teamCount, join, runs);
    }
    return 0;
}
