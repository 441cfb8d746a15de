// Autostart entry and launchers as plain files, on a temporary HOME. The Exec
// lines are read back with a parser of the desktop-entry rules written here,
// apart from the writer, so a quoting fault shows as a different argv.
#include "x11/XdgEntries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

// The argv an Exec value asks for, or nothing when it breaks the rules
// (a reserved character unquoted, a bad escape, a field code).
std::optional<QStringList> parseExec(const QString &exec) {
    const QString reserved = QStringLiteral("\t\n\"'\\><~|&;$*?#()`");
    auto at = [&](int i) { return i < exec.size() ? exec[i] : QChar(); };
    QStringList argv;
    for (int i = 0; i < exec.size(); ++i) {
        if (exec[i] == ' ')
            continue;
        const bool quoted = exec[i] == '"';
        QString arg;
        for (i += quoted; i < exec.size() && exec[i] != (quoted ? '"' : ' '); ++i) {
            if (exec[i] == '%' && at(++i) != '%')
                return std::nullopt;
            if (quoted && exec[i] == '\\' && !QStringLiteral("\"`$\\").contains(at(++i)))
                return std::nullopt;
            if (!quoted && reserved.contains(exec[i]))
                return std::nullopt;
            arg += exec[i];
        }
        if (quoted && (at(i) != '"' || (i + 1 < exec.size() && exec[i + 1] != ' ')))
            return std::nullopt;
        argv << arg;
    }
    return argv;
}

// The keys of a desktop entry with their values unescaped (\s \n \t \r \\).
QMap<QString, QString> readEntry(const QString &path) {
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.readLine() != "[Desktop Entry]\n")
        return keys;
    const QMap<QChar, QChar> escapes = {{'s', ' '}, {'n', '\n'}, {'t', '\t'}, {'r', '\r'}, {'\\', '\\'}};
    for (const QString &line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        QString value;
        for (int i = line.indexOf('=') + 1; i < line.size(); ++i)
            value += line[i] == '\\' ? escapes.value(++i < line.size() ? line[i] : QChar(), '?') : line[i];
        keys.insert(line.left(line.indexOf('=')), value);
    }
    return keys;
}

} // namespace

class TestXdgEntries : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QString home() const { return m_home.path(); }

    void validate(const QString &path) {
        if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
            return qWarning("desktop-file-validate is not installed: entries are not validated");
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start("desktop-file-validate", {path});
        QVERIFY(process.waitForFinished(30000));
        QVERIFY2(process.exitCode() == 0, qPrintable(path + ": " + process.readAll()));
    }

    void checkExecRunsExactly(const QString &entry, const QString &program) {
        const auto argv = parseExec(readEntry(entry).value("Exec"));
        QVERIFY2(argv.has_value(), qPrintable("Exec breaks the rules: " + readEntry(entry).value("Exec")));
        QCOMPARE(*argv, QStringList{program});
        validate(entry);
    }

  private slots:
    void init() {
        qputenv("HOME", home().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home() + "/cfg").toUtf8());
        qputenv("XDG_DATA_HOME", (home() + "/data").toUtf8());
        qputenv("XDG_DESKTOP_DIR", (home() + "/desk").toUtf8());
    }
    void cleanup() {
        QDir(home()).removeRecursively();
        QDir().mkpath(home());
    }

    void autostartIsWrittenRewrittenAndRemoved() {
        const QString entry = home() + "/cfg/autostart/vemo.desktop";
        QVERIFY(platform::xdg::addAutostart("vemo", "/opt/vemo/vemo").ok);
        QCOMPARE(readEntry(entry).value("Type"), QString("Application"));
        checkExecRunsExactly(entry, "/opt/vemo/vemo");

        // Start-up writes it again on every start, from wherever the program now is.
        QVERIFY(platform::xdg::addAutostart("vemo", "/home/u/新 文件夹/vemo").ok);
        checkExecRunsExactly(entry, "/home/u/新 文件夹/vemo");
        QCOMPARE(QDir(home() + "/cfg/autostart").entryList(QDir::Files | QDir::Hidden),
                 QStringList{"vemo.desktop"});

        QVERIFY(platform::xdg::removeAutostart("vemo").ok);
        QVERIFY(!QFile::exists(entry));
        QVERIFY(platform::xdg::removeAutostart("vemo").ok); // absent is no error
    }

    void desktopFolderFollowsTheEnvironment() {
        // Unset or relative XDG variables fall back to the folders under HOME.
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("XDG_DATA_HOME", "relative/data");
        qunsetenv("XDG_DESKTOP_DIR");
        QCOMPARE(QString::fromStdString(platform::xdg::dataHome()), home() + "/.local/share");
        QCOMPARE(QString::fromStdString(platform::xdg::desktopDir()), home() + "/Desktop");

        // As xdg-user-dirs-update writes it, in the user's language.
        QVERIFY(QDir().mkpath(home() + "/.config"));
        QFile dirs(home() + "/.config/user-dirs.dirs");
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_DESKTOP_DIR=\"$HOME/桌面 \\\"x\\\"\"\n");
        dirs.close();
        QCOMPARE(QString::fromStdString(platform::xdg::desktopDir()), home() + "/桌面 \"x\"");
        qputenv("XDG_DESKTOP_DIR", "/srv/desk");
        QCOMPARE(QString::fromStdString(platform::xdg::desktopDir()), QString("/srv/desk"));
    }

    void launchersGoToDesktopAndMenu() {
        const QString name = "Vemo文本收集器";
        for (int round = 0; round < 2; ++round) { // running twice leaves one of each
            const auto result = platform::xdg::makeLaunchers(name.toStdString(), "/opt/vemo/vemo",
                                                             "/opt/vemo/Vemo文本收集器.ico");
            QVERIFY2(result.ok, result.error.c_str());
        }
        for (const QString &dir : {home() + "/desk", home() + "/data/applications"}) {
            const QString entry = dir + "/" + name + ".desktop";
            QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{name + ".desktop"});
            QCOMPARE(readEntry(entry).value("Name"), name);
            QCOMPARE(readEntry(entry).value("Icon"), QString("/opt/vemo/Vemo文本收集器.ico"));
            QVERIFY(QFileInfo(entry).permissions().testFlag(QFileDevice::ExeOther));
            checkExecRunsExactly(entry, "/opt/vemo/vemo");
        }
    }

    void hostilePathsRoundTrip_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("double quote") << "say \"hi\"";
        QTest::newRow("field code") << "%f %U 100%";
        QTest::newRow("backslash") << "a\\b\\\\c\\";
        QTest::newRow("shell separators") << "x; touch pwned & y | z";
        QTest::newRow("everything") << " $(id) \\\"%%`'\\$ ";
    }
    void hostilePathsRoundTrip() {
        QFETCH(QString, folder);
        const QString dir = home() + "/" + folder;
        const QString program = dir + "/run me";
        QVERIFY(QDir().mkpath(dir));
        // The program writes where it was started from, so running the parsed
        // argv proves it names this very file.
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s' \"$0\" > \"$(dirname \"$0\")/started\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

        QVERIFY(platform::xdg::addAutostart("vemo", program.toStdString()).ok);
        QVERIFY(
            platform::xdg::makeLaunchers("Vemo", program.toStdString(), (dir + "/i.png").toStdString()).ok);
        const QString entry = home() + "/cfg/autostart/vemo.desktop";
        checkExecRunsExactly(entry, program);
        checkExecRunsExactly(home() + "/desk/Vemo.desktop", program);
        QCOMPARE(readEntry(home() + "/desk/Vemo.desktop").value("Icon"), dir + "/i.png");

        const QStringList argv = parseExec(readEntry(entry).value("Exec")).value_or(QStringList{"/"});
        QProcess process;
        process.start(argv.first(), argv.mid(1)); // no shell involved
        QVERIFY(process.waitForFinished(30000));
        QFile started(dir + "/started");
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(started.readAll()), program);
        QVERIFY(!QFile::exists(home() + "/pwned") && !QFile::exists(QDir::currentPath() + "/pwned"));
    }

    void unrepresentableInputIsRefusedAndWritesNothing() {
        const std::string newline = (home() + "/a\nExec=/bin/evil").toStdString();
        const auto result = platform::xdg::addAutostart("vemo", newline);
        QVERIFY(!result.ok && !result.error.empty());
        QVERIFY(platform::xdg::execValue(newline).empty());
        QVERIFY(!platform::xdg::makeLaunchers("Vemo", home().toStdString() + "/a\tb", "").ok);
        QVERIFY(!platform::xdg::addAutostart("vemo", "/opt/\xff\xfe/vemo").ok); // not UTF-8
        QVERIFY(!platform::xdg::addAutostart("../vemo", "/opt/vemo").ok);       // not a file name
        QVERIFY(!platform::xdg::addAutostart("vemo", "").ok);
        QVERIFY(!platform::xdg::makeLaunchers("Vemo", "/opt/vemo", "/icons/a\nb.png").ok);
        QVERIFY(!QDir(home() + "/cfg").exists() && !QDir(home() + "/desk").exists());
    }

    void unwritableFolderGivesAReason() {
        // The config and desktop "folders" are files: nothing can be created below them.
        for (const QString &blocker : {home() + "/cfg", home() + "/desk"}) {
            QFile file(blocker);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const auto result = platform::xdg::addAutostart("vemo", "/opt/vemo/vemo");
        QVERIFY(!result.ok);
        QVERIFY2(QString::fromStdString(result.error).contains(home() + "/cfg"), result.error.c_str());
        // One place failing does not keep the other from being written.
        QVERIFY(!platform::xdg::makeLaunchers("Vemo", "/opt/vemo/vemo", "").ok);
        QVERIFY(QFile::exists(home() + "/data/applications/Vemo.desktop"));
    }
};

QTEST_GUILESS_MAIN(TestXdgEntries)
#include "tst_xdg_entries.moc"
