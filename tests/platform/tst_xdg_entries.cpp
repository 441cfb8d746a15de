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

// The general unescaping of a string value.
QString unescapeValue(const QString &value) {
    QString out;
    for (int i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == 's')
            out += ' ';
        else if (next == 'n')
            out += '\n';
        else if (next == 't')
            out += '\t';
        else if (next == 'r')
            out += '\r';
        else if (next == '\\')
            out += '\\';
        else
            return QString(); // not a valid escape
    }
    return out;
}

// The argv an Exec value asks for, or nothing when it breaks the rules
// (a reserved character unquoted, a bad escape, a field code).
std::optional<QStringList> parseExec(const QString &exec) {
    const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QStringList argv;
    int i = 0;
    while (i < exec.size()) {
        if (exec[i] == ' ') {
            ++i;
            continue;
        }
        QString arg;
        if (exec[i] == '"') {
            bool closed = false;
            for (++i; i < exec.size(); ++i) {
                const QChar c = exec[i];
                if (c == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (c == '\\') {
                    if (i + 1 == exec.size() || !QStringLiteral("\"`$\\").contains(exec[i + 1]))
                        return std::nullopt;
                    arg += exec[++i];
                } else if (c == '%') {
                    if (i + 1 == exec.size() || exec[i + 1] != '%')
                        return std::nullopt;
                    arg += '%';
                    ++i;
                } else {
                    arg += c;
                }
            }
            if (!closed || (i < exec.size() && exec[i] != ' '))
                return std::nullopt;
        } else {
            for (; i < exec.size() && exec[i] != ' '; ++i) {
                if (reserved.contains(exec[i]))
                    return std::nullopt;
                if (exec[i] == '%') {
                    if (i + 1 == exec.size() || exec[i + 1] != '%')
                        return std::nullopt;
                    ++i;
                }
                arg += exec[i];
            }
        }
        argv << arg;
    }
    return argv;
}

QMap<QString, QString> readEntry(const QString &path) {
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    if (lines.value(0) != "[Desktop Entry]")
        return keys;
    for (const QString &line : lines.mid(1)) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            keys.insert(line.left(eq), line.mid(eq + 1));
    }
    return keys;
}

} // namespace

class TestXdgEntries : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_home;
    QString home() const { return m_home.path(); }

    void validate(const QString &path) {
        const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
        if (validator.isEmpty()) {
            qWarning("desktop-file-validate is not installed: entries are not validated");
            return;
        }
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(validator, {path});
        QVERIFY(process.waitForFinished(30000));
        QVERIFY2(process.exitCode() == 0, qPrintable(path + ": " + process.readAll()));
    }

    void checkExecRunsExactly(const QString &entry, const QString &program) {
        const auto keys = readEntry(entry);
        QVERIFY2(keys.contains("Exec"), qPrintable(entry));
        const auto argv = parseExec(unescapeValue(keys.value("Exec")));
        QVERIFY2(argv.has_value(), qPrintable("Exec breaks the rules: " + keys.value("Exec")));
        QCOMPARE(*argv, QStringList{program});
    }

  private slots:
    void init() {
        QVERIFY(m_home.isValid());
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
        checkExecRunsExactly(entry, "/opt/vemo/vemo");
        QCOMPARE(readEntry(entry).value("Type"), QString("Application"));
        QCOMPARE(readEntry(entry).value("Name"), QString("vemo"));
        validate(entry);

        // Start-up writes it again on every start, from wherever the program now is.
        QVERIFY(platform::xdg::addAutostart("vemo", "/home/u/新 文件夹/vemo").ok);
        checkExecRunsExactly(entry, "/home/u/新 文件夹/vemo");
        QCOMPARE(QDir(home() + "/cfg/autostart").entryList(QDir::Files | QDir::Hidden),
                 QStringList{"vemo.desktop"});

        QVERIFY(platform::xdg::removeAutostart("vemo").ok);
        QVERIFY(!QFile::exists(entry));
        QVERIFY(platform::xdg::removeAutostart("vemo").ok); // absent is no error
    }

    void foldersFollowTheEnvironment() {
        // Unset or relative XDG variables fall back to the folders under HOME.
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("XDG_DATA_HOME", "relative/data");
        qunsetenv("XDG_DESKTOP_DIR");
        QCOMPARE(QString::fromStdString(platform::xdg::configHome()), home() + "/.config");
        QCOMPARE(QString::fromStdString(platform::xdg::dataHome()), home() + "/.local/share");
        QCOMPARE(QString::fromStdString(platform::xdg::desktopDir()), home() + "/Desktop");

        QVERIFY(QDir().mkpath(home() + "/.config"));
        QFile dirs(home() + "/.config/user-dirs.dirs");
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("# written by xdg-user-dirs-update\n"
                   "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
                   "XDG_DESKTOP_DIR=\"$HOME/\xe6\xa1\x8c\xe9\x9d\xa2 \\\"x\\\"\"\n");
        dirs.close();
        QCOMPARE(QString::fromStdString(platform::xdg::desktopDir()), home() + "/桌面 \"x\"");

        QVERIFY(dirs.open(QIODevice::WriteOnly | QIODevice::Truncate));
        dirs.write("XDG_DESKTOP_DIR=\"/srv/desk\"\n");
        dirs.close();
        QCOMPARE(QString::fromStdString(platform::xdg::desktopDir()), QString("/srv/desk"));

        qputenv("XDG_DESKTOP_DIR", (home() + "/env-desk").toUtf8());
        QCOMPARE(QString::fromStdString(platform::xdg::desktopDir()), home() + "/env-desk");
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
            const auto keys = readEntry(entry);
            QCOMPARE(keys.value("Name"), name);
            QCOMPARE(keys.value("Icon"), QString("/opt/vemo/Vemo文本收集器.ico"));
            QCOMPARE(keys.value("Type"), QString("Application"));
            checkExecRunsExactly(entry, "/opt/vemo/vemo");
            const auto permissions = QFileInfo(entry).permissions();
            QVERIFY(permissions.testFlag(QFileDevice::ExeOwner) &&
                    permissions.testFlag(QFileDevice::ExeOther));
            validate(entry);
        }
    }

    void hostilePathsRoundTrip_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("spaces") << "my programs";
        QTest::newRow("double quote") << "say \"hi\"";
        QTest::newRow("single quote") << "it's";
        QTest::newRow("dollar HOME") << "$HOME";
        QTest::newRow("backticks") << "`id`";
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
        QCOMPARE(unescapeValue(readEntry(home() + "/desk/Vemo.desktop").value("Icon")), dir + "/i.png");
        validate(entry);
        validate(home() + "/desk/Vemo.desktop");

        const QStringList argv = *parseExec(unescapeValue(readEntry(entry).value("Exec")));
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
        auto result = platform::xdg::addAutostart("vemo", newline);
        QVERIFY(!result.ok);
        QVERIFY(!result.error.empty());
        QVERIFY(!platform::xdg::makeLaunchers("Vemo", home().toStdString() + "/a\tb", "").ok);
        QVERIFY(!platform::xdg::addAutostart("vemo", "/opt/\xff\xfe/vemo").ok); // not UTF-8
        QVERIFY(!platform::xdg::addAutostart("../vemo", "/opt/vemo").ok);       // not a file name
        QVERIFY(!platform::xdg::addAutostart("vemo", "").ok);
        QVERIFY(!platform::xdg::makeLaunchers("Vemo", "/opt/vemo", "/icons/a\nb.png").ok);
        QVERIFY(!QDir(home() + "/cfg").exists());
        QVERIFY(!QDir(home() + "/desk").exists());
        QVERIFY(platform::xdg::execValue(newline).empty());
    }

    void unwritableFolderGivesAReason() {
        // The config "folder" is a file: nothing can be created below it.
        QFile blocker(home() + "/cfg");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const auto result = platform::xdg::addAutostart("vemo", "/opt/vemo/vemo");
        QVERIFY(!result.ok);
        QVERIFY2(QString::fromStdString(result.error).contains(home() + "/cfg"), result.error.c_str());

        // One place failing does not keep the other from being written.
        QFile deskBlocker(home() + "/desk");
        QVERIFY(deskBlocker.open(QIODevice::WriteOnly));
        deskBlocker.close();
        QVERIFY(!platform::xdg::makeLaunchers("Vemo", "/opt/vemo/vemo", "").ok);
        QVERIFY(QFile::exists(home() + "/data/applications/Vemo.desktop"));
    }
};

QTEST_GUILESS_MAIN(TestXdgEntries)
#include "tst_xdg_entries.moc"
