// vemo_bench_quick_list [folder]: times the quick list on sample libraries of
// 10,000 and 100,000 records and prints medians: opening (read, fill, paint),
// one search keystroke (refill and paint: Latin words with pinyin search on
// and off, and pinyin), the loader's filter alone, a hover over a row with a
// 100 KB text; and the resident memory while the list is open and after it
// closed. Runs offscreen unless a platform is chosen.
#include "SampleLibrary.h"

#include "LibraryStore.h"
#include "Settings.h"
#include "common/BalloonTip.h"
#include "platform.h"
#include "quick_list/QuickListModels.h"
#include "quick_list/QuickListWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

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

// Resident memory of this process in MB.
double residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
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

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

Settings settings;
std::unique_ptr<LibraryStore> library;
QPointer<QuickListWindow> shown;

QuickListWindow *openList() {
    shown = new QuickListWindow(settings, *library);
    shown->setAttribute(Qt::WA_DeleteOnClose);
    shown->move(100, 50);
    shown->show();
    shown->repaint();
    return shown;
}

void closeList() {
    if (shown)
        shown->close();
    settle();
}

// Keystrokes as a user types them: each line is typed letter by letter.
const QStringList Typed = {QStringLiteral("select"), QStringLiteral("文本"), QStringLiteral("file"),
                           QStringLiteral("re?d"), QStringLiteral("窗口保存")};
// Pinyin and its initials for the Chinese titles of the sample (文本收集, 会议,
// 数据记录, 查询记录, 用户时间).
const QStringList TypedPinyin = {QStringLiteral("wbsj"), QStringLiteral("huiyi"), QStringLiteral("sjjl"),
                                 QStringLiteral("chaxunjilu"), QStringLiteral("yhsj")};

struct Figures {
    double open = 0, keystroke = 0, filter = 0, fullScan = 0, pasted = 0, hover = 0, balloon = 0;
    double pinyinKeystroke = 0, pinyinFilter = 0, pinyinFullScan = 0, pinyinOffFullScan = 0,
           keystrokePinyinOff = 0;
};

Figures measure(const QString &path, int runs) {
    Figures out;
    library = std::make_unique<LibraryStore>(path);
    std::vector<double> opens, keys, filters, fullScans, pasted, hovers, balloons;

    for (int i = 0; i < runs; ++i) {
        opens.push_back(timeMs([] { openList(); }));
        closeList();
    }

    QuickListWindow *f = openList();
    const auto type = [&](const QStringList &words, std::vector<double> &times) {
        for (const QString &word : words) {
            for (int n = 1; n <= word.size(); ++n) {
                const QString text = word.left(n);
                times.push_back(timeMs([&] {
                    f->searchBox()->setText(text);
                    f->repaint();
                }));
            }
            f->searchBox()->clear();
        }
    };
    std::vector<double> pinyinKeys, keysPinyinOff;
    type(Typed, keys);
    type(TypedPinyin, pinyinKeys);
    settings.setValue(setting::PinyinSearch, false);
    type(Typed, keysPinyinOff);
    settings.setValue(setting::PinyinSearch, true);

    // The filter alone, on the cache the list holds, without widgets: as
    // typed (each letter narrows the last search), and every search afresh.
    SearchFilter loader;
    loader.setCache(RecordCache(library->readAll().value()));
    const QString lastUsed = settings.value(setting::LastUsedEntry);
    const auto filter = [&](const QStringList &words, std::vector<double> &typed,
                            std::vector<double> &afresh) {
        for (int r = 0; r < 2; ++r) {
            for (const QString &word : words) {
                for (int n = 1; n <= word.size(); ++n)
                    typed.push_back(
                        timeMs([&] { loader.load(QStringLiteral("*"), true, word.left(n), lastUsed); }));
                for (int n = 1; n <= word.size(); ++n) {
                    loader.load(CommonFlag, false, QString(), lastUsed); // forgets the last search
                    afresh.push_back(
                        timeMs([&] { loader.load(QStringLiteral("*"), true, word.left(n), lastUsed); }));
                }
            }
        }
    };
    std::vector<double> pinyinFilters, pinyinFullScans, unused, pinyinOffFullScans;
    filter(Typed, filters, fullScans);
    filter(TypedPinyin, pinyinFilters, pinyinFullScans);
    loader.setPinyinSearch(false); // the same words by the wildcard rules alone
    filter(TypedPinyin, unused, pinyinOffFullScans);
    loader.setPinyinSearch(true);

    // A long text pasted into the search box, as one keystroke: its cost must
    // not grow with the length of the search text.
    QString paste;
    while (paste.size() < 10000)
        paste += QStringLiteral("Pasted search text 粘贴的搜索文本 %1 ").arg(paste.size());
    for (int r = 0; r < runs; ++r) {
        loader.load(CommonFlag, false, QString(), lastUsed);
        pasted.push_back(
            timeMs([&] { loader.load(QStringLiteral("*"), true, paste.left(10000), lastUsed); }));
    }

    // Hover: the large record is row 0 of "常用"; moving between rows 0 and 1
    // rebuilds the balloon each time.
    f->searchBox()->clear();
    const auto moveTo = [&](int row) {
        const QPoint p = f->recordList()->visualRect(f->recordModel()->index(row, col::Title)).center();
        QMouseEvent move(QEvent::MouseMove, p, f->recordList()->viewport()->mapToGlobal(p), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(f->recordList()->viewport(), &move);
        f->recordList()->viewport()->repaint();
    };
    for (int i = 0; i < runs * 4; ++i) {
        moveTo(1);
        hovers.push_back(timeMs([&] { moveTo(0); }));
        // The balloon's own showing, when the delay has passed: its layout and paint.
        if (BalloonTipWindow *tip = f->balloon()) {
            balloons.push_back(timeMs([&] {
                tip->popUp(f->recordList()->viewport()->mapToGlobal(QPoint(20, 8)));
                tip->repaint();
            }));
        }
    }
    if (f->filter().text(0, col::Text).size() < 100 * 1024 || !f->balloon() ||
        f->balloon()->text().size() != 800 || f->selectedRow() != 0)
        std::fprintf(stderr, "warning: the hover did not reach the 100 KB record\n");
    closeList();

    out.open = median(opens);
    out.keystroke = median(keys);
    out.filter = median(filters);
    out.fullScan = median(fullScans);
    out.pasted = median(pasted);
    out.hover = median(hovers);
    out.balloon = median(balloons);
    out.pinyinKeystroke = median(pinyinKeys);
    out.pinyinFilter = median(pinyinFilters);
    out.pinyinFullScan = median(pinyinFullScans);
    out.pinyinOffFullScan = median(pinyinOffFullScans);
    out.keystrokePinyinOff = median(keysPinyinOff);
    return out;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    QDir().mkpath(folder);
    // The settings go to a folder of the benchmark, never the user's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, temp.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, temp.path());

    const QString small = sampleLibrary(folder, 10000);
    const QString large = sampleLibrary(folder, 100000);
    if (small.isEmpty() || large.isEmpty())
        return 1;

    // Memory first, before the large library has grown the heap.
    QWidget bare;
    bare.show();
    bare.repaint();
    settle();
    const double idle = residentMb();
    library = std::make_unique<LibraryStore>(small);
    openList();
    settle();
    const double whileOpen = residentMb();
    closeList();
    const bool trims = platform::current().name() != "null";
#ifdef __GLIBC__
    // The null backend trims nothing; the desktop backends give the freed
    // heap back (malloc_trim on X11), which is what a user's session does.
    if (!trims)
        malloc_trim(0);
#endif
    const double afterClose = residentMb();

    const Figures s = measure(small, 9);
    const Figures l = measure(large, 5);

    std::printf("quick list (platform %s, backend %s), medians\n",
                qPrintable(QGuiApplication::platformName()), platform::current().name().c_str());
    std::printf("%-46s %12s %12s %14s\n", "figure", "10,000", "100,000", "target");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "open: read, fill both lists, painted", s.open, l.open,
                "50 / 300 ms");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "search keystroke: refill and paint", s.keystroke,
                l.keystroke, "8 / 60 ms");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "  the same with pinyin search off", s.keystrokePinyinOff,
                l.keystrokePinyinOff, "");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "pinyin keystroke: refill and paint", s.pinyinKeystroke,
                l.pinyinKeystroke, "8 / 60 ms");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "loader filter alone (no widgets), as typed", s.filter,
                l.filter, "3 / 30 ms");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "loader filter, every search a full scan", s.fullScan,
                l.fullScan, "");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "loader filter, pinyin as typed", s.pinyinFilter,
                l.pinyinFilter, "");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "loader filter, pinyin, each search a full scan",
                s.pinyinFullScan, l.pinyinFullScan, "");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "  the same words with pinyin search off",
                s.pinyinOffFullScan, l.pinyinOffFullScan, "");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "loader filter, a 10,000-character pasted search", s.pasted,
                l.pasted, "");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "hover over a row with a 100 KB text", s.hover, l.hover,
                "5 ms");
    std::printf("%-46s %9.2f ms %9.2f ms %14s\n", "  then the balloon shown (layout and paint)", s.balloon,
                l.balloon, "");
    std::printf("%-46s %9.1f MB\n", "resident, a bare window shown", idle);
    std::printf("%-46s %9.1f MB %27s\n", "resident, list open (10,000)", whileOpen, "60 MB");
    std::printf("%-46s %9.1f MB %27s\n",
                trims ? "resident, after close" : "resident, after close (malloc_trim)", afterClose, "40 MB");
    return 0;
}
