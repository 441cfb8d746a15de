// Autostart entry and launchers as plain files, on a temporary HOME. The Exec
// lines are read back with a parser of the desktop-entry rules written here,
// apart from the writer, so a quoting fault shows as a different argv.
#include "x11/XdgEntries.h"

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

    // The entry is valid (where desktop-file-validate is installed), and by
    // the rules its Exec runs exactly the program, with no arguments.
    void checkEntry(const QString &entry, const QString &program) {
        const QString exec = readEntry(entry).value("Exec");
        QCOMPARE(parseExec(exec).value_or(QStringList{"Exec breaks the rules: " + exec}),
                 QStringList{program});
        if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
            return qWarning("desktop-file-validate is not installed: entries are not validated");
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start("desktop-file-validate", {entry});
        QVERIFY(process.waitForFinished(30000));
        QVERIFY2(process.exitCode() == 0, qPrintable(entry + ": " + process.readAll()));
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

    // Written on every start from wherever the program now is, however hostile
    // its path: by the rules every Exec gives the path back, and running that
    // argv (no shell involved) starts this very file.
    void entriesStartTheProgramExactly_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "opt";
        QTest::newRow("Chinese and a space") << "新 文件夹";
        QTest::newRow("double quote") << "say \"hi\"";
        QTest::newRow("field code") << "%f %U 100%";
        QTest::newRow("backslash") << "a\\b\\\\c\\";
        QTest::newRow("shell separators") << "x; touch pwned & y | z";
        QTest::newRow("everything") << " $(id) \\\"%%`'\\$ ";
    }
    void entriesStartTheProgramExactly() {
        QFETCH(QString, folder);
        const QString dir = home() + "/" + folder, program = dir + "/run me", name = "Vemo文本收集器";
        QVERIFY(QDir().mkpath(dir));
        // The program writes where it was started from.
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s' \"$0\" > \"$(dirname \"$0\")/started\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

        for (const QString &path : {QString("/old/place/vemo"), program}) {
            QVERIFY(platform::xdg::addAutostart("vemo", path.toStdString()).ok);
            const auto made = platform::xdg::makeLaunchers(name.toStdString(), path.toStdString(),
                                                           (dir + "/i.ico").toStdString());
            QVERIFY2(made.ok, made.error.c_str());
        }
        const QString autostart = home() + "/cfg/autostart/vemo.desktop";
        QCOMPARE(QDir(home() + "/cfg/autostart").entryList(QDir::Files | QDir::Hidden),
                 QStringList{"vemo.desktop"});
        QCOMPARE(readEntry(autostart).value("Type"), QString("Application"));
        checkEntry(autostart, program);
        for (const QString &place : {home() + "/desk", home() + "/data/applications"}) {
            const QString entry = place + "/" + name + ".desktop";
            QCOMPARE(QDir(place).entryList(QDir::Files | QDir::Hidden), QStringList{name + ".desktop"});
            QCOMPARE(readEntry(entry).value("Name"), name);
            QCOMPARE(readEntry(entry).value("Icon"), dir + "/i.ico");
            QVERIFY(QFileInfo(entry).permissions().testFlag(QFileDevice::ExeOther));
            checkEntry(entry, program);
        }

        const QStringList argv = parseExec(readEntry(autostart).value("Exec")).value_or(QStringList{"/"});
        QProcess process;
        process.start(argv.first(), argv.mid(1));
        QVERIFY(process.waitForFinished(30000));
        QFile started(dir + "/started");
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(started.readAll()), program);
        QVERIFY(!QFile::exists(home() + "/pwned") && !QFile::exists(QDir::currentPath() + "/pwned"));

        QVERIFY(platform::xdg::removeAutostart("vemo").ok);
        QVERIFY(!QFile::exists(autostart));
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
