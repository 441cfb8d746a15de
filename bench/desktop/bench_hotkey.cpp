// From the hotkey press until the quick list is shown, and from the click on
// an entry until its text has arrived in the target program, with the real
// program on a private Xvfb display with jwm and a library of 10,000 records.
// Each figure includes the start of one xdotool process (about 2 ms).
#include "Desktop.h"
#include "SampleLibrary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Spread {
    double median = 0, low = 0, high = 0;
};

Spread spread(std::vector<double> v) {
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// The desktop tests' harness, driven from a plain program.
class HotkeyBench : public DesktopTest {
  public:
    int run(int runs, int records);
};

int HotkeyBench::run(int runs, int records) {
    init();
    if (!x)
        return 2;
    const QString library = programFolder() + QStringLiteral("/VBCode.mdb");
    QFile::remove(library);
    std::string why;
    if (!bench::makeSampleLibrary(library.toStdString(), records, 1, why)) {
        std::fprintf(stderr, "sample library: %s\n", why.c_str());
        return 2;
    }
    if (startVemo().isEmpty()) {
        std::fprintf(stderr, "the program did not start\n");
        return 2;
    }
    const QString file = home() + QStringLiteral("/peer.txt");
    startPeer({QStringLiteral("target"), file});
    const QString peer = window(QStringLiteral("^VemoPeer$"));

    // xev reports every window mapped on the root: the list's map is its showing.
    QProcess watch;
    watch.setProcessEnvironment(x->environment());
    watch.start(QStringLiteral("xev"),
                {QStringLiteral("-root"), QStringLiteral("-event"), QStringLiteral("substructure")});
    watch.waitForStarted();
    watch.waitForReadyRead(2000);

    // xdotool returns only a while after its events went out: start it and
    // watch for the outcome meanwhile instead of waiting for it to end.
    auto start = [this](QProcess &xdo, const QStringList &args) {
        xdo.setProcessEnvironment(x->environment());
        xdo.start(QStringLiteral("xdotool"), args);
    };
    std::vector<double> shown, arrived;
    for (int i = 0; i < runs; ++i) {
        activate(peer);
        moveTo(QPoint(600, 300));
        QThread::msleep(200);
        watch.readAllStandardOutput();
        QElapsedTimer clock;
        clock.start();
        QProcess press;
        start(press, {QStringLiteral("key"), QStringLiteral("ctrl+e")});
        QByteArray seen;
        while (!seen.contains("MapNotify") && clock.elapsed() < 5000) {
            watch.waitForReadyRead(1);
            seen += watch.readAllStandardOutput();
        }
        if (!seen.contains("MapNotify"))
            continue;
        shown.push_back(clock.nsecsElapsed() / 1e6);
        QThread::msleep(300);

        // The first entry, in the title column.
        const QByteArray before = readFile(file);
        moveTo(QPoint(792, 339));
        QThread::msleep(200);
        clock.restart();
        QProcess click;
        start(click, {QStringLiteral("click"), QStringLiteral("1")});
        while (readFile(file) == before && clock.elapsed() < 5000)
            QThread::usleep(500);
        if (readFile(file) != before)
            arrived.push_back(clock.nsecsElapsed() / 1e6);
        click.waitForFinished(5000);
        press.waitForFinished(5000);
        QFile::remove(file);
        QThread::msleep(300);
    }
    watch.kill();
    watch.waitForFinished();
    stopAll();

    const Spread a = spread(shown), b = spread(arrived);
    std::printf("| figure (%d records) | median | min | max | runs | target |\n|---|---|---|---|---|---|\n",
                records);
    std::printf(
        "| hotkey press until the quick list is shown | %.1f ms | %.1f | %.1f | %zu | under 60 ms |\n",
        a.median, a.low, a.high, shown.size());
    std::printf("| click on an entry until the text arrived in the target | %.1f ms | %.1f | %.1f | %zu | "
                "under 100 ms |\n",
                b.median, b.low, b.high, arrived.size());
    return 0;
}

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 15;
    const int records = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10000;
    return HotkeyBench().run(runs, records);
}
