#include "Desktop.h"

#include <QDir>
#include <QSettings>
#include <QtTest>

void DesktopTest::init() {
    x = std::make_unique<XServer>();
    const QString error = x->start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
    if (!x->startWindowManager())
        QFAIL("jwm did not become ready");
    folder = std::make_unique<QTemporaryDir>();
    QDir().mkpath(programFolder());
    QDir().mkpath(home() + "/runtime");
    QFile::setPermissions(home() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The library beside the built program may hold a developer's records;
    // every installation starts from the pristine empty one instead.
    QVERIFY(QFile::copy(VEMO_PRISTINE_LIBRARY, programFolder() + "/VBCode.mdb"));
    for (const QString name : {"vemo", "Vemo文本收集器.ico"})
        QVERIFY(QFile::copy(VEMO_BIN_DIR "/" + name, programFolder() + "/" + name));
    QFile::setPermissions(programFolder() + "/VBCode.mdb", QFile::ReadOwner | QFile::WriteOwner);
}

void DesktopTest::cleanup() {
    if (QTest::currentTestFailed() && x)
        x->run("import",
               {"-window", "root",
                QDir::tempPath() +
                    QString("/vemo-%1-%2.png").arg(metaObject()->className(), QTest::currentTestFunction())});
    stopAll();
    processes.clear();
    extraEnvironment.clear();
    folder.reset();
    x.reset();
}

void DesktopTest::setSetting(const QString &key, const QString &value) {
    QSettings(home() + "/.config/VemoTools/Vemo文本收集器.conf", QSettings::IniFormat)
        .setValue("Vemo文本收集器/" + key, value);
}

QString DesktopTest::setting(const QString &key) {
    QSettings settings(home() + "/.config/VemoTools/Vemo文本收集器.conf", QSettings::IniFormat);
    return settings.value("Vemo文本收集器/" + key).toString();
}

QProcess *DesktopTest::launch(const QString &program, const QStringList &args) {
    auto *process = processes.emplace_back(std::make_unique<QProcess>()).get();
    QProcessEnvironment env = x->environment();
    env.insert("HOME", home());
    env.insert("XDG_CONFIG_HOME", home() + "/.config");
    env.insert("XDG_DATA_HOME", home() + "/.local/share");
    env.insert("XDG_RUNTIME_DIR", home() + "/runtime");
    env.insert("XDG_DESKTOP_DIR", home() + "/Desktop");
    for (auto it = extraEnvironment.cbegin(); it != extraEnvironment.cend(); ++it)
        env.insert(it.key(), it.value());
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(home());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program, args);
    process->waitForStarted(5000);
    return process;
}

QString DesktopTest::startVemo(const QString &statements, bool inTray) {
    setSetting("显示到系统托盘", inTray ? "True" : "False");
    if (!statements.isEmpty())
        sql(statements);
    vemo = start();
    return windowOf(vemo, inTray ? isTray : isIcon, 15000);
}

void DesktopTest::stopAll() {
    for (auto &p : processes) {
        p->terminate();
        if (!p->waitForFinished(5000)) {
            p->kill();
            p->waitForFinished(3000);
        }
    }
}

QString DesktopTest::search(const QStringList &criteria, bool (*fits)(QSize), int timeoutMs) {
    QString found;
    waitUntil(
        [&] {
            for (const QString &id :
                 xdo(QStringList{"search", "--onlyvisible"} + criteria).split(u'\n', Qt::SkipEmptyParts))
                if (fits(geometry(id).size()))
                    return !(found = id).isEmpty();
            return false;
        },
        timeoutMs);
    return found;
}

QRect DesktopTest::geometry(const QString &window) {
    // X=, Y=, WIDTH=, HEIGHT= on lines of their own.
    QMap<QString, int> v;
    for (const QString &line : xdo({"getwindowgeometry", "--shell", window}).split(u'\n'))
        v[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
    return QRect(v["X"], v["Y"], v["WIDTH"], v["HEIGHT"]);
}

void DesktopTest::clickIn(const QString &window, QPoint at, int button, int count) {
    const QStringList in = window.isEmpty() ? QStringList() : QStringList{"--window", window};
    xdo(QStringList{"mousemove"} + in + QStringList{QString::number(at.x()), QString::number(at.y())});
    QThread::msleep(150); // let the window see the pointer rest there
    xdo({"click", "--repeat", QString::number(count), "--delay", "80", QString::number(button)});
}

void DesktopTest::drag(QPoint from, QPoint to) {
    moveTo(from);
    xdo({"mousedown", "1"});
    for (int step = 1; step <= 10; ++step) { // in steps, as a hand moves
        moveTo(from + (to - from) * step / 10);
        QThread::msleep(60);
    }
    QThread::msleep(200);
    xdo({"mouseup", "1"});
}

void DesktopTest::chooseOnRow(const QString &list, int index, const QString &itemKeys) {
    click(row(list, index), 3);
    QVERIFY2(!windowOf(vemo, isOther, 5000).isEmpty(), "no menu appeared");
    QThread::msleep(100);
    key(itemKeys);
}

QString DesktopTest::readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool DesktopTest::answer(const QString &keys, const QString &title) {
    const QString box = search({"--name", title}, isOther, 8000);
    if (box.isEmpty())
        return false;
    activate(box);
    key(keys);
    return closes(box);
}
