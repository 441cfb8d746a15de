// Ctrl+E into terminals on a real desktop: xterm gets Shift+Insert and reads
// the primary selection, termit Shift+Insert and the clipboard, LXTerminal,
// GNOME Terminal and GNOME Console Ctrl+Shift+V; Ctrl+V would put a control
// character there instead of the text. GNOME Terminal asks the clipboard's new
// owner which formats it offers as soon as the clipboard changes, and acts on
// the keystroke only once it was answered. The GNOME terminals run on a
// session bus the test starts, without the accessibility bus, so that nothing
// they start outlives the test. Each terminal runs cat into a
// file with the terminal's line buffering off (stty -icanon), so every byte
// the paste delivers reaches the file at once: no Enter or Ctrl+D has to end
// the last line, and none can overtake the paste. The terminal turns each LF
// of the text into the CR of an Enter and the terminal device turns it back,
// so a text with LF line ends must arrive byte for byte.
#include "Desktop.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

const QString OneLine = "echo '粘贴 \"测试\"' | tr a-z A-Z && ls -l ~";
const QString Lines = "第一行\n\t缩进的  second line\n\nlast line $HOME ~\n";

QString hex(const QString &text) {
    return QString::fromLatin1(text.toUtf8().toHex());
}

QByteArray readBytes(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class DesktopTerminals : public DesktopTest {
    Q_OBJECT

  private slots:
    void pasteIntoATerminal_data() {
        QTest::addColumn<QString>("program"); // the terminal, which must be installed
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("quoted");         // its -e takes one command line
        QTest::addColumn<QString>("windowClass"); // found by class, else by the process
        const QStringList bus{"<bus>"};           // on the session bus the test starts
        QTest::newRow("xterm") << "xterm" << QStringList{"xterm", "-e", "sh", "-c"} << false << "";
        QTest::newRow("LXTerminal") << "lxterminal" << QStringList{"lxterminal", "--no-remote", "-e"} << true
                                    << "";
        QTest::newRow("GNOME Terminal")
            << "gnome-terminal" << bus + QStringList{"gnome-terminal", "--wait", "--", "sh", "-c"} << false
            << "^Gnome-terminal$";
        QTest::newRow("GNOME Console")
            << "kgx" << bus + QStringList{"kgx", "--", "sh", "-c"} << false << "^kgx$";
        QTest::newRow("termit") << "termit" << QStringList{"termit", "-e"} << true << "";
    }
    void pasteIntoATerminal() {
        QFETCH(QString, program);
        QFETCH(QStringList, command);
        QFETCH(bool, quoted);
        QFETCH(QString, windowClass);
        if (QStandardPaths::findExecutable(program).isEmpty())
            QFAIL(qPrintable(program + " is not installed (scripts/install-deps.sh installs it)"));
        QVERIFY(!startVemo(QString("INSERT INTO VBcode VALUES (1, '工具', 'Sub', 'oneline', "
                                   "CAST(X'%1' AS TEXT), '20200101000001', '常用');"
                                   "INSERT INTO VBcode VALUES (2, '工具', 'Sub', 'lines', "
                                   "CAST(X'%2' AS TEXT), '20200101000002', '常用');")
                               .arg(hex(OneLine), hex(Lines)))
                     .isEmpty());
        int n = 0;
        for (const auto &[search, text] : {std::pair{"oneline", OneLine}, {"lines", Lines}}) {
            const QString file = home() + QString("/cat%1.txt").arg(++n);
            const QString cat = "stty -icanon; exec cat > " + file;
            QStringList run = command;
            if (run.first() == "<bus>") {
                // A bus of its own each time: a terminal that registers as the one instance of its
                // kind would otherwise hand the new window to the one just ended, still on the bus.
                const QString socket = home() + QString("/bus%1").arg(n);
                startProgram("dbus-daemon", {"--session", "--nofork", "--address=unix:path=" + socket});
                QVERIFY(waitUntil([&] { return QFile::exists(socket); }, 5000));
                run = QStringList{"env", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + socket, "NO_AT_BRIDGE=1",
                                  "GTK_A11Y=none"} +
                      run.mid(1);
            }
            QProcess *terminal =
                startProgram(run.first(), run.mid(1) + QStringList{quoted ? "sh -c '" + cat + "'" : cat});
            const QString window = windowClass.isEmpty()
                                       ? windowOf(terminal, anySize, 15000)
                                       : DesktopTest::search({"--class", windowClass}, anySize, 30000);
            QVERIFY2(!window.isEmpty(), qPrintable(program + " showed no window"));
            activate(window);
            key("ctrl+e");
            const QString shown = list();
            QVERIFY2(!shown.isEmpty(), "Ctrl+E opened no list");
            type(search);
            QThread::msleep(300);
            click(row(shown, n - 1)); // the second time under the entry used last
            QVERIFY2(waitUntil([&] { return readBytes(file) == text.toUtf8(); }, 5000),
                     qPrintable(program + " got " + QString::fromUtf8(readBytes(file).toHex(' '))));
            QCOMPARE(clipboard(), text); // the text stays on the clipboard
            terminal->kill();
            if (!windowClass.isEmpty()) {
                // The window belongs to a server process of the terminal: end it too.
                xdo({"windowkill", window});
                QVERIFY(waitUntil(
                    [&] {
                        return !xdo({"search", "--onlyvisible", "--class", windowClass}).contains(window);
                    },
                    5000));
            }
        }
    }
};

QTEST_GUILESS_MAIN(DesktopTerminals)
#include "tst_desktop_terminals.moc"
