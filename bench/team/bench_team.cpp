// The team library at scale, on one local server this program starts: 20,000
// team records, 200 members simulated as listening connections. Prints the
// time from one editor's change until every member has fetched the changed
// record (median and 99th percentile over the changes, and the same per
// member), the server's processor time and memory while idle with the 200
// listeners, and a member's first full fetch of the 20,000 records (the
// fetch alone, and until a member's library has them in list order).
//
//   vemo_bench_team [members] [records] [changes]
#include "PgCluster.h"
#include "TeamLibrary.h"
#include "TeamServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(share * double(values.size() - 1) + 0.5));
    return values[at];
}

// The server's processes: the postmaster and its children.
std::vector<int> serverProcesses(int postmaster) {
    std::vector<int> pids{postmaster};
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toInt() == postmaster)
            pids.push_back(pid);
    }
    return pids;
}

// Processor time (ms) of the processes so far.
double cpuMs(const std::vector<int> &pids) {
    double ticks = 0;
    for (const int pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        ticks += fields.value(11).toDouble() + fields.value(12).toDouble(); // utime, stime
    }
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// Proportional set size (MiB): each shared page counted once across the processes.
double pssMiB(const std::vector<int> &pids, double *rssMiB) {
    double pss = 0, rss = 0;
    for (const int pid : pids) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : rollup.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() >= 2 && f[0] == "Pss:")
                pss += f[1].toDouble();
            if (f.size() >= 2 && f[0] == "Rss:")
                rss += f[1].toDouble();
        }
    }
    *rssMiB = rss / 1024.0;
    return pss / 1024.0;
}

// This process's processor time so far (ms), all threads.
double ownCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int members = argc > 1 ? std::atoi(argv[1]) : 200;
    const int records = argc > 2 ? std::atoi(argv[2]) : 20000;
    const int changes = argc > 3 ? std::atoi(argv[3]) : 50;

    PgCluster server;
    if (!server.ok()) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(server.why()));
        return 1;
    }
    {
        team::Server admin;
        if (!admin.open(server.conninfo(QStringLiteral("vemo_admin"))) || !admin.initialize()) {
            std::fprintf(stderr, "cannot make the team library\n");
            return 1;
        }
    }
    // Records of realistic sizes: titles of 6 to 30 characters, texts of 40
    // to 2,000, Chinese and Latin mixed, in a few dozen groups.
    server.sql(
        QStringLiteral(
            "INSERT INTO vemo.\"VBcode\" (\"ID\", \"MoudleName\", \"TypeName\", \"CodeName\", \"Code\", "
            "\"ChangeTime\", \"IsUsed\") SELECT i, '客服话术' || (i % 40), 'Sub', "
            "left(repeat('回复模板 reply ', 4) || i, 6 + i % 25), "
            "left(repeat('您好，感谢您的耐心等待。Dear customer, thank you for waiting. ', 40), 40 + (i * "
            "37) % "
            "1960), to_char(timestamp '2024-01-01' + i * interval '1 minute', 'YYYYMMDDHH24MISS'), "
            "CASE WHEN i % 20 = 0 THEN '常用' ELSE '' END FROM generate_series(1, %1) i; VACUUM ANALYZE")
            .arg(records));
    std::printf("team records: %s, members listening: %d\n",
                qPrintable(server.sql(QStringLiteral("SELECT count(*) FROM vemo.\"VBcode\"")).value(0)),
                members);

    // The members: each a connection that listens and fetches what is announced.
    std::vector<std::unique_ptr<team::Server>> listeners;
    for (int m = 0; m < members; ++m) {
        auto s = std::make_unique<team::Server>();
        if (!s->open(server.conninfo(QStringLiteral("vemo_admin"))) || !s->listen()) {
            std::fprintf(stderr, "member %d could not connect\n", m);
            return 1;
        }
        listeners.push_back(std::move(s));
    }

    // Idle: the server's processor time and memory over 10 s with every member listening.
    QFile pidFile(QDir(server.sql(QStringLiteral("SHOW data_directory")).value(0))
                      .filePath(QStringLiteral("postmaster.pid")));
    pidFile.open(QIODevice::ReadOnly);
    const int postmaster = pidFile.readLine().trimmed().toInt();
    const std::vector<int> pids = serverProcesses(postmaster);
    const double cpuBefore = cpuMs(pids);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double idleCpu = cpuMs(pids) - cpuBefore;
    double rss = 0;
    const double pss = pssMiB(pids, &rss);
    std::printf(
        "server idle with %d listeners: %zu processes, %.0f ms processor time in 10 s (%.2f %% of one "
        "core), memory %.1f MiB (PSS; %.1f MiB RSS summed)\n",
        members, pids.size(), idleCpu, idleCpu / 100.0, pss, rss);

    // Changes: one editor replaces a record; every member fetches it when announced.
    team::Server editor;
    editor.open(server.conninfo(QStringLiteral("vemo_admin")));
    std::vector<double> everyone, each;
    for (int c = 0; c < changes; ++c) {
        const qint64 id = 1 + (c * 7919) % records;
        auto current = editor.fetch({id});
        TeamRecord r = current.value().front();
        r.text = QByteArray("changed ") + QByteArray::number(c);
        QElapsedTimer clock;
        clock.start();
        if (!editor.replace(r)) {
            std::fprintf(stderr, "change refused\n");
            return 1;
        }
        std::vector<bool> done(size_t(members), false);
        int left = members;
        std::vector<pollfd> fds(static_cast<size_t>(members));
        while (left > 0 && clock.elapsed() < 10000) {
            for (int m = 0; m < members; ++m)
                fds[size_t(m)] = {listeners[size_t(m)]->socket(), short(done[size_t(m)] ? 0 : POLLIN), 0};
            ::poll(fds.data(), fds.size(), 100);
            for (int m = 0; m < members; ++m) {
                if (done[size_t(m)] || !(fds[size_t(m)].revents & POLLIN))
                    continue;
                const auto announced = listeners[size_t(m)]->takeChanges();
                if (!announced || !announced.value().ids.contains(id))
                    continue;
                const auto fetched = listeners[size_t(m)]->fetch(announced.value().ids);
                if (fetched && !fetched.value().empty() && fetched.value().front().text == r.text) {
                    done[size_t(m)] = true;
                    --left;
                    each.push_back(double(clock.nsecsElapsed()) / 1e6);
                }
            }
        }
        everyone.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (left > 0)
            std::printf("change %d: %d members did not get it within 10 s\n", c, left);
    }
    std::printf(
        "a change until every one of %d members has fetched it (%d changes): median %.1f ms, p99 %.1f ms, "
        "max %.1f ms\n",
        members, changes, percentile(everyone, 0.5), percentile(everyone, 0.99),
        *std::max_element(everyone.begin(), everyone.end()));
    std::printf("a change until one member has it: median %.1f ms, p99 %.1f ms\n", percentile(each, 0.5),
                percentile(each, 0.99));
    listeners.clear();

    // A member's first full fetch.
    std::vector<double> fetchAlone, untilListed, fetchCpu, listedCpu;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer clock;
        clock.start();
        const double cpu = ownCpuMs();
        team::Server member;
        member.open(server.conninfo(QStringLiteral("vemo_admin")));
        const auto all = member.fetchAll();
        fetchAlone.push_back(double(clock.nsecsElapsed()) / 1e6);
        fetchCpu.push_back(ownCpuMs() - cpu);
        if (!all || int(all.value().size()) != records)
            std::fprintf(stderr, "fetch incomplete\n");
    }
    for (int run = 0; run < 5; ++run) {
        QTemporaryDir folder;
        TeamLibrary library(folder.filePath(QStringLiteral("cache.db")));
        QElapsedTimer clock;
        clock.start();
        const double cpu = ownCpuMs();
        library.follow(server.conninfo(QStringLiteral("vemo_admin")));
        // Waits as an event loop does, woken by a timer, without polling:
        // polling would count in the member's processor time.
        QTimer tick;
        tick.start(2);
        while (library.size() < records && clock.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        untilListed.push_back(double(clock.nsecsElapsed()) / 1e6);
        listedCpu.push_back(ownCpuMs() - cpu);
    }
    std::printf(
        "first full fetch of %d records: connect and fetch median %.1f ms (member's processor time %.1f "
        "ms; 7 runs); until a member's library holds them in list order median %.1f ms (processor time "
        "%.1f ms, the cache write included; 5 runs)\n",
        records, percentile(fetchAlone, 0.5), percentile(fetchCpu, 0.5), percentile(untilListed, 0.5),
        percentile(listedCpu, 0.5));
    return 0;
}
