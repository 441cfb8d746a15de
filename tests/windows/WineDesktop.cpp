#include "WineDesktop.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QtTest>

#include <csignal>

namespace {

// Runs a program of the host to its end; false when it failed or hung.
bool runHost(const QString &program, const QStringList &args, int timeoutMs = 120000,
             const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(3000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

QProcessEnvironment WineDesktop::wineEnvironment() const {
    QProcessEnvironment env = (x ? x.get() : m_bootDisplay.get())->environment();
    env.insert("WINEPREFIX", folder ? prefix() : m_template);
    env.insert("WINEARCH", "win64");
    env.insert("WINEDEBUG", "-all");
    // No Mono or Gecko downloads, no menu entries in the host's desktop.
    env.insert("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d");
    // Command lines with Chinese reach Windows intact only from a UTF-8 locale.
    env.insert("LANG", "C.UTF-8");
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("HOME", folder ? home() : m_base->path() + "/home");
    env.remove("WINESERVER");
    env.remove("WINELOADER");
    return env;
}

void WineDesktop::initTestCase() {
    const QString dist = qEnvironmentVariable("VEMO_WINDOWS_DIST");
    m_peers = qEnvironmentVariable("VEMO_WINDOWS_PEERS");
    if (dist.isEmpty() || m_peers.isEmpty())
        QSKIP("VEMO_WINDOWS_DIST and VEMO_WINDOWS_PEERS name no Windows build "
              "(scripts/windows/wine-e2e.sh sets them after scripts/build-windows.sh)");
    const QStringList zips = QDir(dist).entryList({"vemo-*-windows-x64.zip"}, QDir::Files);
    const QStringList setups = QDir(dist).entryList({"vemo-*-setup.exe"}, QDir::Files);
    QVERIFY2(zips.size() == 1 && setups.size() == 1, qPrintable("no single zip and installer in " + dist));
    QVERIFY2(QFile::exists(m_peers + "/vemo_text_box.exe"), qPrintable("no vemo_text_box.exe in " + m_peers));
    m_setup = dist + "/" + setups.first();

    m_base = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/vemo-wine-e2e.XXXXXX");
    QVERIFY(m_base->isValid());
    QDir().mkpath(m_base->path() + "/home");
    m_template = m_base->path() + "/template";
    m_portable = m_base->path() + "/portable";
    // Python's zipfile reads the UTF-8 names as Windows' own unzip does.
    QVERIFY2(runHost("python3", {"-m", "zipfile", "-e", dist + "/" + zips.first(), m_portable}),
             "the zip does not unpack");
    QVERIFY2(QFile::exists(m_portable + "/" + Product + "/vemo.exe"),
             "the zip holds no Vemo文本收集器/vemo.exe");

    m_bootDisplay = std::make_unique<XServer>();
    const QString error = m_bootDisplay->start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(runHost("wineboot", {"-i"}, 300000, wineEnvironment()), "wineboot failed");
    runHost("wine",
            {"reg", "add", "HKCU\\Software\\Wine\\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d",
             "0", "/f"},
            60000, wineEnvironment());
    QVERIFY(runHost("wineserver", {"-w"}, 120000, wineEnvironment()));
    qInfo("Wine prefix made in %lld s", clock.elapsed() / 1000);
    m_bootDisplay.reset();
}

void WineDesktop::cleanupTestCase() {
    m_base.reset();
}

void WineDesktop::init() {
    x = std::make_unique<XServer>();
    const QString error = x->start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString manager =
        QString::fromLatin1(QTest::currentDataTag()).startsWith("openbox") ? "openbox" : "jwm";
    QVERIFY2(x->startWindowManager(manager), qPrintable(manager + " did not become ready"));
    folder = std::make_unique<QTemporaryDir>(m_base->path() + "/test.XXXXXX");
    QDir().mkpath(home());
    // The made prefix, linked file by file (its DLLs are never written); the
    // registry files, which are, copied.
    QVERIFY(runHost("cp", {"-al", m_template, prefix()}));
    for (const QString name : {"system.reg", "user.reg", "userdef.reg"}) {
        QFile::remove(prefix() + "/" + name);
        QVERIFY(QFile::copy(m_template + "/" + name, prefix() + "/" + name));
        QFile::setPermissions(prefix() + "/" + name, QFile::ReadOwner | QFile::WriteOwner);
    }
    QVERIFY(runHost("cp", {"-a", m_portable + "/" + Product, unixPath(programFolder())}));
    startServer();
    // The floating icon instead of the notification area, as the user can choose.
    setSetting("显示到系统托盘", "False");
}

void WineDesktop::startServer() {
    // A server of its own per test, kept up between the programs.
    QVERIFY(runHost("wineserver", {"-p"}, 30000, wineEnvironment()));
}

void WineDesktop::cleanup() {
    if (QTest::currentTestFailed() && x) {
        QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QRegularExpression("\\W"), "_");
        x->run("import",
               {"-window", "root",
                QDir::tempPath() + QString("/vemo-wine-%1-%2.png").arg(QTest::currentTestFunction(), tag)});
    }
    if (folder)
        endSession();
    processes.clear();
    vemo = nullptr;
    folder.reset();
    x.reset();
}

void WineDesktop::endSession() {
    for (auto &p : processes)
        if (p->state() != QProcess::NotRunning)
            p->kill();
    runHost("wineserver", {"-k"}, 30000, wineEnvironment());
    runHost("wineserver", {"-w"}, 30000, wineEnvironment());
    for (auto &p : processes)
        p->waitForFinished(5000);
}

QString WineDesktop::unixPath(const QString &windowsPath) const {
    QString rest = windowsPath;
    Q_ASSERT(rest.startsWith("C:\\", Qt::CaseInsensitive));
    return prefix() + "/drive_c/" + rest.mid(3).replace(u'\\', u'/');
}

QString WineDesktop::profile() const {
    const QString users = prefix() + "/drive_c/users";
    for (const QString &name : QDir(users).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (name != "Public")
            return users + "/" + name;
    return {};
}

QByteArray WineDesktop::wine(const QStringList &args, int *exitCode, int timeoutMs) {
    QProcess p;
    p.setProcessEnvironment(wineEnvironment());
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start("wine", args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(3000);
    }
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

QProcess *WineDesktop::launch(const QString &program, const QStringList &args) {
    auto *process = processes.emplace_back(std::make_unique<QProcess>()).get();
    process->setProcessEnvironment(wineEnvironment());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start("wine", QStringList{program} + args);
    process->waitForStarted(10000);
    return process;
}

QString WineDesktop::startVemo(const QString &program) {
    vemo = launch(program.isEmpty() ? programFolder() + "\\vemo.exe" : program);
    // The first start in a prefix loads Qt's DLLs from cold: give it time.
    return windowOf(vemo, isIcon, 60000);
}

std::optional<QString> WineDesktop::regQuery(const QString &key, const QString &name) {
    int code = -1;
    const QString out = QString::fromLocal8Bit(wine({"reg", "query", key, "/v", name}, &code));
    if (code != 0)
        return std::nullopt;
    // "    <name>    REG_SZ    <data>"; the name may print as question marks.
    static const QRegularExpression line("^\\s+.*?\\s{4}(REG_\\w+)\\s{4}(.*)$",
                                         QRegularExpression::MultilineOption);
    const auto match = line.match(out);
    if (!match.hasMatch())
        return QString();
    return match.captured(2).trimmed();
}

QMap<QString, QString> WineDesktop::regValues(const QString &key) {
    QMap<QString, QString> values;
    const QString file = folder->path() + "/export.reg";
    QFile::remove(file);
    int code = -1;
    wine({"reg", "export", key, "Z:" + QString(file).replace(u'/', u'\\'), "/y"}, &code);
    if (code != 0)
        return values;
    QStringDecoder utf16(QStringDecoder::Utf16LE);
    QString text = utf16(readFile(file));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    // "name"="data" with \\ and \" escaped; other kinds of values are left out.
    static const QRegularExpression entry("^\"((?:[^\"\\\\]|\\\\.)*)\"=\"((?:[^\"\\\\]|\\\\.)*)\"\\s*$",
                                          QRegularExpression::MultilineOption);
    const auto unescape = [](QString s) {
        s.replace("\\\"", "\"");
        s.replace("\\\\", "\\");
        return s;
    };
    for (auto it = entry.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        values.insert(unescape(m.captured(1)), unescape(m.captured(2)));
    }
    return values;
}

void WineDesktop::setSetting(const QString &name, const QString &value) {
    int code = -1;
    wine({"reg", "add", settingsKey(), "/v", name, "/t", "REG_SZ", "/d", value, "/f"}, &code);
    QCOMPARE(code, 0);
}

QString WineDesktop::sql(const QString &statement, const QString &libraryPath) {
    return QString::fromUtf8(
               x->run("sqlite3", {libraryPath.isEmpty() ? library() : libraryPath, statement}, 20000))
        .trimmed();
}

QString WineDesktop::literal(const QString &text) {
    return "CAST(X'" + QString::fromLatin1(text.toUtf8().toHex()) + "' AS TEXT)";
}

QRect WineDesktop::geometry(const QString &window) {
    QMap<QString, int> v;
    for (const QString &line : xdo({"getwindowgeometry", "--shell", window}).split(u'\n'))
        v[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
    return QRect(v["X"], v["Y"], v["WIDTH"], v["HEIGHT"]);
}

QStringList WineDesktop::windowsOf(QProcess *process) {
    return xdo({"search", "--onlyvisible", "--pid", QString::number(process->processId())})
        .split(u'\n', Qt::SkipEmptyParts);
}

QString WineDesktop::windowOf(QProcess *process, bool (*fits)(QSize), int timeoutMs) {
    QString found;
    waitUntil(
        [&] {
            for (const QString &id : windowsOf(process))
                if (fits(geometry(id).size()))
                    return !(found = id).isEmpty();
            return process->state() == QProcess::NotRunning;
        },
        timeoutMs);
    return found;
}

QString WineDesktop::window(const QString &titleRegex, int timeoutMs) {
    QString found;
    waitUntil(
        [&] {
            found = xdo({"search", "--onlyvisible", "--name", titleRegex}).section(u'\n', 0, 0).trimmed();
            return !found.isEmpty();
        },
        timeoutMs);
    return found;
}

void WineDesktop::activate(const QString &window) {
    xdo({"windowactivate", "--sync", window});
    xdo({"windowfocus", "--sync", window});
    QThread::msleep(300);
}

void WineDesktop::click(QPoint p, int button, int count) {
    moveTo(p);
    QThread::msleep(200);
    xdo({"click", "--repeat", QString::number(count), "--delay", "80", QString::number(button)});
}

QPoint WineDesktop::pointer() {
    QMap<QString, int> v;
    for (const QString &line : xdo({"getmouselocation", "--shell"}).split(u'\n'))
        v[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
    return {v["X"], v["Y"]};
}

bool WineDesktop::ends(QProcess *process, int timeoutMs) {
    return waitUntil([&] { return process->state() == QProcess::NotRunning; }, timeoutMs);
}

QByteArray WineDesktop::readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WineDesktop::fileBecomes(const QString &path, const QByteArray &bytes, int timeoutMs) {
    return waitUntil([&] { return readFile(path) == bytes; }, timeoutMs);
}
