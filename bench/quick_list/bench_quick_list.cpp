// vemo_bench_quick_list [folder] [runs]: the quick list on sample libraries of
// 10,000 and 100,000 records, on a private Xvfb display with jwm and the X11
// backend (offscreen, the working set is never trimmed and an opening looks
// faster than a user sees it). Prints medians beside the figures measured
// before the list read its first screen alone.
//
// Two parts. The list itself runs in a child process of this benchmark, on
// the same display: opening until painted (first and again), a search
// keystroke until painted, and the search filter without widgets. The real
// program runs as a user starts it: start until its icon is mapped, memory
// idle and with the list open, and Return on an entry until the text arrived
// in a target program (each includes starting one xdotool, about 2 ms).
// With VEMO_BENCH_BEFORE naming an earlier build's program, that program runs
// the same parts in the same run, in turns with this build's, and its figures
// stand in the "before" column.
#include "Desktop.h"
#include "SampleLibrary.h"

#include "LibraryStore.h"
#include "RecordLoader.h"
#include "Settings.h"
#include "common/BalloonTip.h"
#include "platform.h"
#include "quick_list/QuickListFeed.h"
#include "quick_list/QuickListModels.h"
#include "quick_list/QuickListWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QMouseEvent>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <vector>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

double timeMs(const std::function<void()> &work) {
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

// A common record with a 100 KB text at the top of "常用".
bool addLargeRecord(const QString &path) {
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    QString text;
    while (text.size() < 100 * 1024)
        text += QStringLiteral("Private Function 读取文件(ByVal path As String) As String ' 注释 %1\r\n")
                    .arg(text.size());
    const QByteArray utf8 = text.toUtf8();
    sqlite3_stmt *st = nullptr;
    bool ok = sqlite3_prepare_v2(
                  db,
                  "INSERT OR REPLACE INTO VBcode VALUES (1000001, '基准', 'Function', '一百KB的文本', ?1, "
                  "'29991231235959', '常用')",
                  -1, &st, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_bind_text(st, 1, utf8.constData(), utf8.size(), SQLITE_TRANSIENT) == SQLITE_OK &&
         sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok;
}

QString sampleLibrary(const QString &folder, int count) {
    const QString path = QStringLiteral("%1/sample_%2.mdb").arg(folder).arg(count);
    if (!QFile::exists(path)) {
        std::string error;
        if (!bench::makeSampleLibrary(path.toStdString(), count, 20240101, error) || !addLargeRecord(path)) {
            std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(path), error.c_str());
            return {};
        }
    }
    return path;
}

// Keystrokes as a user types them: each line is typed letter by letter.
const QStringList Typed = {QStringLiteral("select"), QStringLiteral("文本"), QStringLiteral("file"),
                           QStringLiteral("re?d"), QStringLiteral("窗口保存")};
// Pinyin and its initials for the Chinese titles of the sample (文本收集, 会议,
// 数据记录, 查询记录, 用户时间).
const QStringList TypedPinyin = {QStringLiteral("wbsj"), QStringLiteral("huiyi"), QStringLiteral("sjjl"),
                                 QStringLiteral("chaxunjilu"), QStringLiteral("yhsj")};

// ---- The list in this process (the child) ----

// Paints what changed and waits until the X server has it.
void painted() {
    QGuiApplication::sync();
}

// Serves events until `done` or the time is up, sleeping between them as the
// program's own event loop does: a loop that polls for events keeps a
// processor busy that the loader's threads need (on two cores it made the
// whole read take twice as long). A timer wakes it to look at `done` again.
template <class Done> bool waitUntil(Done done, int timeoutMs = 10000) {
    QTimer tick;
    tick.start(2);
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// The list's parts, found as the tests find them.
const QuickListFeed &feed(const QuickListWindow *list) {
    return *list->findChild<QuickListFeed *>();
}
const SearchFilter &rowsOf(const QuickListWindow *list) {
    return feed(list).rows();
}
QLineEdit *searchBox(const QuickListWindow *list) {
    return list->findChild<QLineEdit *>("searchBox");
}
QTableView *recordList(const QuickListWindow *list) {
    return list->findChild<QTableView *>("recordList");
}
QAbstractItemModel *recordModel(const QuickListWindow *list) {
    return recordList(list)->model();
}
BalloonTipWindow *balloon(const QuickListWindow *list) {
    return list->findChild<BalloonTipWindow *>();
}

class ListBench {
  public:
    explicit ListBench(const QString &path) : m_store(path) {}

    void openWithoutWaiting() {
        m_list = std::make_unique<QuickListWindow>(m_settings, m_store, *m_loader);
        m_list->placeAt(QPoint(300, 40));
        m_list->present();
    }
    // Opens a list the way the program does: placed, shown, painted.
    QuickListWindow *open() {
        openWithoutWaiting();
        QElapsedTimer wait;
        wait.start();
        while (!(m_list->windowHandle() && m_list->windowHandle()->isExposed()) && wait.elapsed() < 5000)
            painted();
        // The list reads its first screen once it is on its way to the screen.
        waitUntil([&] { return rowsOf(m_list.get()).rowCount() != 0 || !feed(m_list.get()).isReading(); });
        m_list->repaint();
        painted();
        return m_list.get();
    }
    void waitForRecords() {
        waitUntil([&] { return !feed(m_list.get()).isReading() && !feed(m_list.get()).isWaiting(); });
    }
    void waitForSummaries() {
        waitUntil([&] { return rowsOf(m_list.get()).table().isSummarised(); });
    }
    // Closes the list; `forget` also drops what the loader keeps and trims,
    // as the program does a while after the list closed.
    void close(bool forget) {
        m_list->close();
        m_list.reset();
        if (forget) {
            m_loader = std::make_unique<RecordLoader>(m_store);
            platform::current().trimWorkingSet();
        }
        QCoreApplication::processEvents();
    }
    void type(const QString &text) {
        searchBox(m_list.get())->setText(text);
        m_list->repaint();
        painted();
    }

    Settings m_settings;
    LibraryStore m_store;
    std::unique_ptr<RecordLoader> m_loader = std::make_unique<RecordLoader>(m_store);
    std::unique_ptr<QuickListWindow> m_list;
};

void report(const char *figure, double value) {
    std::printf("%s %.3f\n", figure, value);
    std::fflush(stdout);
}

// The titles' and texts' UTF-8 bytes, in MiB.
double textMiB(const QString &path) {
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT sum(length(CAST(CodeName AS BLOB))) + sum(length(CAST(Code AS BLOB))) FROM VBcode",
                       -1, &st, nullptr);
    const double mib = sqlite3_step(st) == SQLITE_ROW ? double(sqlite3_column_int64(st, 0)) / (1 << 20) : 0;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return mib;
}

int listPart(const QString &path, int runs) {
    ListBench bench(path);
    report("texts", textMiB(path));
    // Memory first, before the timings have grown the heap.
    QWidget bare;
    bare.show();
    bare.repaint();
    painted();
    report("bare", bench::memoryMb("VmRSS"));
    bench.open();
    bench.waitForRecords();
    painted();
    report("openMemory", bench::memoryMb("VmRSS"));
    bench.close(true);

    std::vector<double> first, ready, again, keys, keysPinyin, tenKeys, scans, reads, early;
    // The second key and Backspace of each search, apart: a second key narrows
    // the most matches, Backspace widens them again.
    std::vector<double> secondKeys, backspaces, pinyinFirst, pinyinSecond, pinyinBackspaces, pastedTyped;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        bench.open();
        first.push_back(clock.nsecsElapsed() / 1e6);
        bench.waitForRecords();
        ready.push_back(clock.nsecsElapsed() / 1e6);
        // Opened again a moment later, as a user does: the search summaries
        // worked out after the records came in are done by then.
        bench.waitForSummaries();
        bench.close(false);
        again.push_back(timeMs([&] { bench.open(); }));
        bench.close(true);
        scans.push_back(timeMs([&] { bench::sqliteScan(path.toStdString()); }));
        {
            // Until the records are in (the summaries that follow are not waited for).
            RecordLoader loader(bench.m_store);
            bool in = false;
            QObject::connect(&loader, &RecordLoader::loaded, [&] { in = true; });
            QElapsedTimer read;
            read.start();
            loader.start();
            waitUntil([&] { return in; });
            reads.push_back(read.nsecsElapsed() / 1e6);
        }
        // A search typed 50 ms after the list was asked for, as a user types
        // right after Ctrl+E: until its rows are painted, from the asking.
        clock.restart();
        bench.openWithoutWaiting();
        waitUntil([&] { return clock.elapsed() >= 50; });
        searchBox(bench.m_list.get())->setText(QStringLiteral("select"));
        bench.waitForRecords();
        bench.m_list->repaint();
        painted();
        early.push_back(clock.nsecsElapsed() / 1e6);
        bench.close(true);
    }
    QuickListWindow *list = bench.open();
    bench.waitForRecords();
    bench.waitForSummaries();
    // Each word letter by letter, then Backspace down to its first letter.
    const auto type = [&](const QStringList &words, std::vector<double> &times, std::vector<double> *firsts,
                          std::vector<double> &seconds, std::vector<double> &backs) {
        for (const QString &word : words) {
            for (int n = 1; n <= word.size(); ++n) {
                const double ms = timeMs([&] { bench.type(word.left(n)); });
                times.push_back(ms);
                if (n == 1 && firsts)
                    firsts->push_back(ms);
                if (n == 2)
                    seconds.push_back(ms);
            }
            for (int n = int(word.size()) - 1; n >= 1; --n)
                backs.push_back(timeMs([&] { bench.type(word.left(n)); }));
            bench.type(QString());
        }
    };
    QString pastedLetters;
    while (pastedLetters.size() < 10000)
        pastedLetters += QStringLiteral("pastedsearchtextzhantiedesousuowenben");
    pastedLetters.truncate(10000);
    for (int r = 0; r < 2; ++r) {
        type(Typed, keys, nullptr, secondKeys, backspaces);
        type(TypedPinyin, keysPinyin, &pinyinFirst, pinyinSecond, pinyinBackspaces);
        tenKeys.push_back(timeMs([&] { bench.type(QStringLiteral("needle7731")); }));
        bench.type(QString());
        pastedTyped.push_back(timeMs([&] { bench.type(pastedLetters); }));
        bench.type(QString());
    }

    // The filter alone, without widgets: as typed (each letter narrows the
    // last search), and every search afresh.
    SearchFilter filter;
    filter.setTable(rowsOf(list).table());
    const QString lastUsed;
    std::vector<double> asTyped, afresh, pinyinTyped, pinyinAfresh, pasted;
    const auto search = [&](const QStringList &words, std::vector<double> &typed, std::vector<double> &full) {
        for (const QString &word : words) {
            for (int n = 1; n <= word.size(); ++n)
                typed.push_back(timeMs([&] { filter.search(word.left(n), lastUsed); }));
            for (int n = 1; n <= word.size(); ++n) {
                filter.showCategory(CommonFlag, lastUsed); // forgets the last search
                full.push_back(timeMs([&] { filter.search(word.left(n), lastUsed); }));
            }
        }
    };
    search(Typed, asTyped, afresh);
    search(TypedPinyin, pinyinTyped, pinyinAfresh);
    for (int r = 0; r < runs; ++r) {
        filter.showCategory(CommonFlag, lastUsed);
        pasted.push_back(timeMs([&] { filter.search(pastedLetters, lastUsed); }));
    }

    // Hover: the 100 KB record is row 0 of "常用"; moving between rows 0 and 1
    // rebuilds the balloon each time.
    bench.type(QString());
    std::vector<double> hovers;
    const auto moveTo = [&](int row) {
        const QPoint p = recordList(list)->visualRect(recordModel(list)->index(row, col::Title)).center();
        QMouseEvent move(QEvent::MouseMove, p, recordList(list)->viewport()->mapToGlobal(p), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(recordList(list)->viewport(), &move);
        recordList(list)->viewport()->repaint();
        painted();
    };
    for (int i = 0; i < runs * 4; ++i) {
        moveTo(1);
        hovers.push_back(timeMs([&] { moveTo(0); }));
    }
    if (!balloon(list) || balloon(list)->text().size() != 800)
        std::fprintf(stderr, "warning: the hover did not reach the 100 KB record\n");
    bench.close(true);

    report("open", median(first));
    report("ready", median(ready));
    report("again", median(again));
    report("sqliteScan", median(scans));
    report("wholeRead", median(reads));
    report("earlySearch", median(early));
    report("keystroke", median(keys));
    report("secondKey", median(secondKeys));
    report("backspace", median(backspaces));
    report("pinyinKeystroke", median(keysPinyin));
    report("pinyinFirst", median(pinyinFirst));
    report("pinyinSecond", median(pinyinSecond));
    report("pinyinBackspace", median(pinyinBackspaces));
    report("pastedTyped", median(pastedTyped));
    report("tenKeys", median(tenKeys));
    report("filterTyped", median(asTyped));
    report("filterAfresh", median(afresh));
    report("pinyinTyped", median(pinyinTyped));
    report("pinyinAfresh", median(pinyinAfresh));
    report("pasted", median(pasted));
    report("hover", median(hovers));
    return 0;
}

// ---- The real program (the parent) ----

class ProgramBench : public DesktopTest {
  public:
    bool setUp() {
        init();
        return x != nullptr;
    }
    void tearDown() { cleanup(); }
    const XServer &display() const { return *x; }
    // Start, idle memory, memory with the list open and Return until the
    // text is in the target, on a copy of the library, for the program at
    // the given path.
    QMap<QString, double> run(const QString &program, const QString &library, int runs);
};

QMap<QString, double> ProgramBench::run(const QString &program, const QString &library, int runs) {
    QMap<QString, double> out;
    std::vector<double> starts, idle, open, arrived;
    QFile::remove(programFolder() + QStringLiteral("/vemo"));
    if (!QFile::copy(program, programFolder() + QStringLiteral("/vemo")))
        return out;
    const QString installed = programFolder() + QStringLiteral("/VBCode.mdb");
    for (int i = 0; i < runs; ++i) {
        QFile::remove(installed);
        QFile::copy(library, installed);
        QFile::setPermissions(installed, QFile::ReadOwner | QFile::WriteOwner);
        setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));

        // xev reports every window mapped on the root: the icon's map ends the start.
        QProcess watch;
        watch.setProcessEnvironment(x->environment());
        watch.start(QStringLiteral("xev"),
                    {QStringLiteral("-root"), QStringLiteral("-event"), QStringLiteral("substructure")});
        watch.waitForStarted();
        watch.waitForReadyRead(2000);
        watch.readAllStandardOutput();
        const auto waitForMap = [&](QElapsedTimer &clock) {
            QByteArray seen;
            while (!seen.contains("MapNotify") && clock.elapsed() < 10000) {
                watch.waitForReadyRead(1);
                seen += watch.readAllStandardOutput();
            }
            return seen.contains("MapNotify");
        };
        QElapsedTimer clock;
        clock.start();
        vemo = start();
        if (waitForMap(clock))
            starts.push_back(clock.nsecsElapsed() / 1e6);
        QThread::msleep(1500);
        idle.push_back(bench::memoryMb("VmRSS", vemo->processId()));

        const QString file = home() + QStringLiteral("/peer.txt");
        QFile::remove(file);
        QProcess *peer = startPeer({QStringLiteral("target"), file});
        const QString peerWindow = window(QStringLiteral("^VemoPeer$"));
        activate(peerWindow);
        moveTo(QPoint(600, 300));
        QThread::msleep(200);
        QProcess press;
        press.setProcessEnvironment(x->environment());
        press.start(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+e")});
        press.waitForFinished(5000);
        QThread::msleep(1500);
        open.push_back(bench::memoryMb("VmRSS", vemo->processId()));

        // Return on the first entry; the peer writes what arrived to its file.
        const auto contents = [&] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray before = contents();
        clock.restart();
        QProcess enter;
        enter.setProcessEnvironment(x->environment());
        enter.start(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
        while (contents() == before && clock.elapsed() < 5000)
            QThread::usleep(200);
        if (contents() != before)
            arrived.push_back(clock.nsecsElapsed() / 1e6);
        enter.waitForFinished(5000);
        watch.kill();
        watch.waitForFinished();
        stopAll();
        processes.clear();
        Q_UNUSED(peer);
    }
    out[QStringLiteral("start")] = median(starts);
    out[QStringLiteral("idle")] = median(idle);
    out[QStringLiteral("programOpen")] = median(open);
    out[QStringLiteral("pasted")] = median(arrived);
    return out;
}

QMap<QString, double> runListPart(const XServer &display, const QString &library, int runs,
                                  const QString &benchmark = QCoreApplication::applicationFilePath()) {
    QProcess child;
    QProcessEnvironment env = display.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(benchmark, {QStringLiteral("--list"), library, QString::number(runs)});
    child.waitForFinished(600000);
    QMap<QString, double> out;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            out[QString::fromUtf8(parts[0])] = parts[1].toDouble();
    }
    return out;
}

struct Row {
    const char *figure;
    const char *key;
    const char *unit;
    const char *beforeSmall, *beforeLarge; // before the list read its first screen alone
    const char *target;
};

// The figures measured before, on the same kind of machine and display.
const Row Rows[] = {
    {"start until the icon is mapped", "start", "ms", "42 ms", "43 ms", "about 40 ms"},
    {"resident memory, idle", "idle", "MiB", "26 MiB", "26 MiB", "26 MiB"},
    {"list shown, first time, until painted", "open", "ms", "94 ms", "443 ms", "40 / 80 ms"},
    {"  the whole library in, for searching", "ready", "ms", "–", "–", ""},
    {"  the whole library read alone (the loader's thread)", "wholeRead", "ms", "–", "–", "2 × SQLite"},
    {"  SQLite alone, stepping through the same rows", "sqliteScan", "ms", "–", "–", ""},
    {"a search typed 50 ms after the list was asked for, until its rows are painted", "earlySearch", "ms", "–",
     "–", "200 ms"},
    {"list shown again, until painted", "again", "ms", "62 ms", "411 ms", "25 / 60 ms"},
    {"resident memory, list open (program)", "programOpen", "MiB", "57 MiB", "242 MiB", "45 / 120 MiB"},
    {"resident memory, list open (list alone)", "openMemory", "MiB", "–", "–", ""},
    {"  the titles and texts, UTF-8", "texts", "MiB", "–", "–", ""},
    {"one search keystroke, until painted", "keystroke", "ms", "14–19 ms", "12–48 ms", "8 / 30 ms"},
    {"  the second key of a search", "secondKey", "ms", "–", "–", ""},
    {"  Backspace in a search", "backspace", "ms", "–", "–", ""},
    {"a pinyin keystroke, until painted", "pinyinKeystroke", "ms", "–", "–", "8 / 30 ms"},
    {"  the first key of a pinyin search", "pinyinFirst", "ms", "–", "–", ""},
    {"  the second key of a pinyin search", "pinyinSecond", "ms", "–", "–", ""},
    {"  Backspace in a pinyin search", "pinyinBackspace", "ms", "–", "–", ""},
    {"ten keys at once (\"needle7731\"), until painted", "tenKeys", "ms", "34 ms", "139 ms", ""},
    {"Return on an entry until the text is in the target", "programPasted", "ms", "24 ms", "119 ms",
     "30 / 30 ms"},
    {"filter alone, as typed", "filterTyped", "ms", "–", "–", ""},
    {"filter alone, every search a full scan", "filterAfresh", "ms", "–", "–", ""},
    {"filter alone, pinyin as typed", "pinyinTyped", "ms", "–", "–", ""},
    {"filter alone, pinyin, every search a full scan", "pinyinAfresh", "ms", "–", "–", ""},
    {"a pasted search of 10,000 letters, until painted", "pastedTyped", "ms", "–", "–", "8 / 30 ms"},
    {"filter alone, a pasted search of 10,000 letters", "pasted", "ms", "–", "–", ""},
    {"hover over a row with a 100 KB text", "hover", "ms", "–", "–", "5 ms"},
};

QString cell(double value, const char *unit) {
    return value <= 0 ? QStringLiteral("–")
                      : QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(unit));
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--list") {
        QApplication app(argc, argv);
        QTemporaryDir settings;
        // The settings go to a folder of the benchmark, never the user's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
        return listPart(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]).toInt());
    }

    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const int runs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 9;
    QDir().mkpath(folder);
    const QString small = sampleLibrary(folder, 10000);
    const QString large = sampleLibrary(folder, 100000);
    if (small.isEmpty() || large.isEmpty())
        return 1;

    ProgramBench program;
    if (!program.setUp()) {
        std::fprintf(stderr, "no private display (Xvfb and jwm are needed)\n");
        return 2;
    }
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/vemo");
    const QString earlier = qEnvironmentVariable("VEMO_BENCH_BEFORE");
    // The earlier build's own benchmark, beside its program, runs its list part.
    const QString earlierBench =
        earlier.isEmpty() ? QString() : QFileInfo(earlier).dir().filePath(QStringLiteral("vemo_bench_quick_list"));
    const bool earlierList = !earlierBench.isEmpty() && QFileInfo(earlierBench).isExecutable();
    // With an earlier build, the two take turns, a third of the runs at a
    // time, so that both meet the same moments of a shared machine; a figure
    // is then the median of its turns' medians.
    const int turns = earlier.isEmpty() ? 1 : 3;
    const int largeRuns = std::max(3, runs / 2);
    const auto share = [&](int all) { return std::max(1, (all + turns - 1) / turns); };
    std::vector<QMap<QString, double>> sT, lT, psT, plT, lbsT, lblT, bsT, blT;
    for (int turn = 0; turn < turns; ++turn) {
        sT.push_back(runListPart(program.display(), small, share(runs)));
        if (earlierList)
            lbsT.push_back(runListPart(program.display(), small, share(runs), earlierBench));
        lT.push_back(runListPart(program.display(), large, share(largeRuns)));
        if (earlierList)
            lblT.push_back(runListPart(program.display(), large, share(largeRuns), earlierBench));
        psT.push_back(program.run(built, small, share(runs)));
        if (!earlier.isEmpty())
            bsT.push_back(program.run(earlier, small, share(runs)));
        plT.push_back(program.run(built, large, share(largeRuns)));
        if (!earlier.isEmpty())
            blT.push_back(program.run(earlier, large, share(largeRuns)));
    }
    const auto ofTurns = [](const std::vector<QMap<QString, double>> &all) {
        QMap<QString, std::vector<double>> values;
        for (const auto &turn : all)
            for (auto it = turn.begin(); it != turn.end(); ++it)
                values[it.key()].push_back(it.value());
        QMap<QString, double> out;
        for (auto it = values.begin(); it != values.end(); ++it)
            out[it.key()] = median(it.value());
        return out;
    };
    QMap<QString, double> s = ofTurns(sT), l = ofTurns(lT);
    const QMap<QString, double> ps = ofTurns(psT), pl = ofTurns(plT), bs = ofTurns(bsT), bl = ofTurns(blT);
    const QMap<QString, double> listBeforeSmall = ofTurns(lbsT), listBeforeLarge = ofTurns(lblT);
    // The program's paste and the filter's pasted search share a key in their parts.
    const auto merge = [](QMap<QString, double> &into, const QMap<QString, double> &from) {
        for (auto it = from.begin(); it != from.end(); ++it)
            into[it.key() == QLatin1String("pasted") ? QStringLiteral("programPasted") : it.key()] =
                it.value();
    };
    merge(s, ps);
    merge(l, pl);
    QMap<QString, double> beforeSmall = listBeforeSmall, beforeLarge = listBeforeLarge;
    merge(beforeSmall, bs);
    merge(beforeLarge, bl);
    program.tearDown();

    std::printf("quick list on Xvfb with jwm, X11 backend; medians of %d runs (100,000: %d)%s\n\n",
                turns * share(runs), turns * share(largeRuns),
                turns > 1 ? ", in three turns taken by each build in alternation (medians of the turns' medians)" : "");
    if (!earlier.isEmpty())
        std::printf("before: the program's own rows measured in this run with %s\n\n", qPrintable(earlier));
    std::printf("| figure | 10,000 | before | 100,000 | before | target |\n|---|---|---|---|---|---|\n");
    for (const Row &row : Rows) {
        const QString key = QString::fromLatin1(row.key);
        const auto before = [&](const QMap<QString, double> &measured, const char *figure) {
            return measured.contains(key) ? cell(measured.value(key), row.unit) : QString::fromUtf8(figure);
        };
        std::printf("| %s | %s | %s | %s | %s | %s |\n", row.figure, qPrintable(cell(s.value(key), row.unit)),
                    qPrintable(before(beforeSmall, row.beforeSmall)),
                    qPrintable(cell(l.value(key), row.unit)),
                    qPrintable(before(beforeLarge, row.beforeLarge)), row.target);
    }
    return 0;
}
