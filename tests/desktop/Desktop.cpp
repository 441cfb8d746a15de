#include "Desktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QtTest>
#include <csignal>

#ifndef VEMO_BIN_DIR
#error "VEMO_BIN_DIR must name the folder that holds the built program"
#endif
#ifndef VEMO_PRISTINE_LIBRARY
#error "VEMO_PRISTINE_LIBRARY must name the empty library the build makes"
#endif

bool waitUntil(const std::function<bool()> &condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (condition())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(30);
    }
    return condition();
}

Display::Display() = default;

Display::~Display() {
    m_wm.kill();
    m_wm.waitForFinished(3000);
    m_xvfb.terminate();
    if (!m_xvfb.waitForFinished(3000)) {
        m_xvfb.kill();
        m_xvfb.waitForFinished(3000);
    }
}

QProcessEnvironment Display::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_name);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

bool Display::start(QString *error) {
    // Xvfb prints the display number it chose on the descriptor it is given.
    m_xvfb.setProgram(QStringLiteral("Xvfb"));
    m_xvfb.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
    m_xvfb.setProcessChannelMode(QProcess::SeparateChannels);
    m_xvfb.start();
    if (!m_xvfb.waitForStarted(5000)) {
        *error = QStringLiteral("Xvfb did not start (is the package xvfb installed?)");
        return false;
    }
    QByteArray out;
    if (!waitUntil(
            [&] {
                out += m_xvfb.readAllStandardOutput();
                return out.contains('\n');
            },
            15000)) {
        *error = QStringLiteral("Xvfb did not report its display");
        return false;
    }
    m_name = QStringLiteral(":") + QString::fromLatin1(out.trimmed());

    m_wm.setProgram(QStringLiteral("jwm"));
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    m_wm.setProcessEnvironment(env);
    m_wm.setStandardOutputFile(QProcess::nullDevice());
    m_wm.setStandardErrorFile(QProcess::nullDevice());
    m_wm.start();
    if (!m_wm.waitForStarted(5000)) {
        *error = QStringLiteral("jwm did not start");
        return false;
    }
    if (!waitUntil(
            [&] {
                return run(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                    .contains(QStringLiteral("window id"));
            },
            15000)) {
        *error = QStringLiteral("jwm did not become ready");
        return false;
    }
    return true;
}

QString Display::run(const QString &program, const QStringList &args, int timeoutMs, int *exitCode) {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, args);
    p.waitForFinished(timeoutMs);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(1000);
    }
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

void Display::screenshot(const QString &path) {
    run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path}, 15000);
}

void Display::setClipboard(const QString &text) {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral("xclip"),
            {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
    p.waitForStarted();
    p.write(text.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(5000); // xclip stays behind in the background to serve the text
}

QString Display::clipboard() {
    return run(QStringLiteral("xclip"),
               {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")}, 5000);
}

QProcess *Installation::startPeer(const QStringList &args) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = m_display.environment();
    env.insert(QStringLiteral("HOME"), home());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home() + QStringLiteral("/runtime"));
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(VEMO_PEER), args);
    process->waitForStarted(5000);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

Installation::Installation(Display &display) : m_display(display) {
    const QString bin = QStringLiteral(VEMO_BIN_DIR);
    QDir().mkpath(programFolder());
    QDir().mkpath(home() + QStringLiteral("/runtime"));
    QFile::setPermissions(home() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The library beside the built program may hold a developer's records;
    // every installation starts from the pristine empty one instead.
    const QList<std::pair<QString, QString>> files = {
        {bin + QStringLiteral("/vemo"), QStringLiteral("vemo")},
        {QStringLiteral(VEMO_PRISTINE_LIBRARY), QStringLiteral("VBCode.mdb")},
        {bin + QStringLiteral("/Vemo文本收集器.ico"), QStringLiteral("Vemo文本收集器.ico")}};
    for (const auto &[source, name] : files)
        if (!QFile::copy(source, programFolder() + QStringLiteral("/") + name))
            qFatal("cannot copy %s into the program folder", qPrintable(source));
    QFile::setPermissions(library(), QFile::ReadOwner | QFile::WriteOwner);
}

Installation::~Installation() {
    stopAll();
}

static QString settingsFile(const QString &home) {
    return home + QStringLiteral("/.config/VemoTools/Vemo文本收集器.conf");
}

void Installation::setSetting(const QString &key, const QString &value) {
    QSettings store(settingsFile(home()), QSettings::IniFormat);
    store.setValue(QStringLiteral("Vemo文本收集器/") + key, value);
    store.sync();
}

QString Installation::setting(const QString &key) {
    QSettings store(settingsFile(home()), QSettings::IniFormat);
    return store.value(QStringLiteral("Vemo文本收集器/") + key).toString();
}

QString Installation::sql(const QString &statement) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {library(), statement});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QProcess *Installation::start(const QStringList &environment) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = m_display.environment();
    env.insert(QStringLiteral("HOME"), home());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home() + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home() + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("XDG_DESKTOP_DIR"), home() + QStringLiteral("/Desktop"));
    for (const QString &variable : environment)
        env.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    process->setProcessEnvironment(env);
    process->setProgram(programFolder() + QStringLiteral("/vemo"));
    process->setWorkingDirectory(home());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start();
    process->waitForStarted(5000);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

QStringList Installation::windowsOf(QProcess *process) {
    const QString out = m_display.run(QStringLiteral("xdotool"),
                                      {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                       QStringLiteral("--pid"), QString::number(process->processId())});
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString Installation::waitForWindow(const QString &titleRegex, int timeoutMs) {
    QString id;
    waitUntil(
        [&] {
            const QString out = m_display.run(QStringLiteral("xdotool"),
                                              {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--name"), titleRegex});
            id = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).value(0);
            return !id.isEmpty();
        },
        timeoutMs);
    return id;
}

QString Installation::waitForWindowOf(QProcess *process, const std::function<bool(QSize)> &fits,
                                      int timeoutMs) {
    QString found;
    waitUntil(
        [&] {
            for (const QString &id : windowsOf(process))
                if (fits(geometry(id).size()))
                    return !(found = id).isEmpty();
            return false;
        },
        timeoutMs);
    return found;
}

QRect Installation::geometry(const QString &windowId) {
    const QString out = m_display.run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"),
                                                                  QStringLiteral("--shell"), windowId});
    QRect r;
    const QRegularExpression field(QStringLiteral("^(X|Y|WIDTH|HEIGHT)=(-?\\d+)$"),
                                   QRegularExpression::MultilineOption);
    auto it = field.globalMatch(out);
    while (it.hasNext()) {
        const auto m = it.next();
        const int v = m.captured(2).toInt();
        if (m.captured(1) == QLatin1String("X"))
            r.moveLeft(v);
        else if (m.captured(1) == QLatin1String("Y"))
            r.moveTop(v);
        else if (m.captured(1) == QLatin1String("WIDTH"))
            r.setWidth(v);
        else
            r.setHeight(v);
    }
    return r;
}

bool Installation::waitForExit(QProcess *process, int timeoutMs) {
    return waitUntil([&] { return process->state() == QProcess::NotRunning; }, timeoutMs);
}

void Installation::stopAll() {
    for (auto &p : m_processes) {
        if (p->state() == QProcess::NotRunning)
            continue;
        p->terminate();
        if (!p->waitForFinished(5000)) {
            p->kill();
            p->waitForFinished(3000);
        }
    }
}

void DesktopTest::init() {
    display = std::make_unique<Display>();
    QString error;
    if (!display->start(&error))
        QFAIL(qPrintable(error));
    install = std::make_unique<Installation>(*display);
}

void DesktopTest::cleanup() {
    if (QTest::currentTestFailed() && display)
        display->screenshot(QDir::tempPath() + QStringLiteral("/vemo-%1-%2.png")
                                                   .arg(QString::fromLatin1(metaObject()->className()),
                                                        QString::fromLatin1(QTest::currentTestFunction())));
    install.reset();
    display.reset();
}
