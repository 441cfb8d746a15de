// Every road from a copied text to a stored record, on a real desktop.
#include "Desktop.h"

#include <QDir>
#include <QThread>
#include <QtTest>

namespace {
// A regular expression for xdotool: the plus sign is escaped.
const QString EditorTitle = QStringLiteral("^新增、修改内容---按Ctrl\\+C不放可快速新增$");
} // namespace

class DesktopCapture : public DesktopTest {
    Q_OBJECT
    QProcess *vemo = nullptr;
    QString icon;

    QString editorWindow(int timeoutMs = 8000) { return install->waitForWindow(EditorTitle, timeoutMs); }

    // Presses the editor's "新增" button (4260, 1260 twips; 1065 x 400).
    void pressAdd(const QString &editor) {
        display->xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), editor, QStringLiteral("317"),
                      QStringLiteral("97"), QStringLiteral("click"), QStringLiteral("1")});
    }

    void holdKeys(const QString &keys, int ms) {
        display->xdo({QStringLiteral("keydown"), keys});
        QThread::msleep(ms);
        display->xdo({QStringLiteral("keyup"), keys});
    }

  private slots:
    void init() {
        DesktopTest::init();
        if (!install)
            return;
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        vemo = install->start();
        QVERIFY(waitUntil([&] { return !(icon = install->windowsOf(vemo).value(0)).isEmpty(); }, 15000));
    }

    void doubleClickOnTheIconAddsTheCopiedText() {
        display->setClipboard(QStringLiteral("Public Sub Test()\r\n  x = 1\r\nEnd Sub"));
        const QPoint c = install->centre(icon);
        display->xdo({QStringLiteral("mousemove"), QString::number(c.x()), QString::number(c.y())});
        display->xdo({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                      QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")});
        const QString editor = editorWindow();
        QVERIFY2(!editor.isEmpty(), "the double-click opened no editor");
        QThread::msleep(300);
        display->screenshot(QDir::tempPath() + QStringLiteral("/vemo-editor-add.png"));
        pressAdd(editor);
        QVERIFY(waitUntil(
            [&] { return install->sql(QStringLiteral("SELECT count(*) FROM VBcode")) == QLatin1String("1"); },
            8000));
        QCOMPARE(install->sql(QStringLiteral("SELECT CodeName || '|' || TypeName || '|' || IsUsed || '|' || "
                                             "length(ChangeTime) || '|' || MoudleName FROM VBcode")),
                 QStringLiteral("Test|Sub|常用|14|"));
        QCOMPARE(install->sql(QStringLiteral("SELECT Code FROM VBcode")),
                 QStringLiteral("Public Sub Test()\r\n  x = 1\r\nEnd Sub"));
        const int id = install->sql(QStringLiteral("SELECT ID FROM VBcode")).toInt();
        QVERIFY(id >= 0 && id < 1000000);
        QVERIFY(waitUntil([&] { return editorWindow(200).isEmpty(); }, 5000)); // the editor closed
    }

    void holdingCtrlCInAnotherProgramProposesOnce() {
        display->setClipboard(QStringLiteral("按住复制的文本"));
        install->startPeer({QStringLiteral("target"), install->home() + QStringLiteral("/peer.txt")});
        const QString peer = install->waitForWindow(QStringLiteral("^VemoPeer$"));
        QVERIFY(!peer.isEmpty());
        display->xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), peer});

        holdKeys(QStringLiteral("ctrl+c"), 250); // under five ticks
        QVERIFY(editorWindow(800).isEmpty());
        holdKeys(QStringLiteral("ctrl+shift+c"), 1500);
        QVERIFY(editorWindow(800).isEmpty());

        holdKeys(QStringLiteral("ctrl+c"), 1200);
        const QString editor = editorWindow();
        QVERIFY2(!editor.isEmpty(), "holding Ctrl+C proposed nothing");
        QCOMPARE(install->windowsOf(vemo).count(editor), 1);
        // Only one editor, however long the keys were held.
        const QString all = display->xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                          QStringLiteral("--name"), EditorTitle});
        QCOMPARE(all.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 1);
    }

    void textDroppedOnTheIconOpensTheEditor() {
        install->startPeer({QStringLiteral("drag"), QStringLiteral("拖进来的文本")});
        const QString source = install->waitForWindow(QStringLiteral("^VemoDragSource$"));
        QVERIFY(!source.isEmpty());
        const QPoint from = install->centre(source);
        const QPoint to = install->centre(icon);
        display->xdo({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y())});
        display->xdo({QStringLiteral("mousedown"), QStringLiteral("1")});
        // The drag follows the pointer in steps, as a hand would move it.
        for (int step = 1; step <= 10; ++step) {
            const QPoint p = from + (to - from) * step / 10;
            display->xdo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
            QThread::msleep(60);
        }
        QThread::msleep(200);
        display->xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
        const QString editor = editorWindow();
        QVERIFY2(!editor.isEmpty(), "the drop opened no editor");
        pressAdd(editor);
        QVERIFY(waitUntil(
            [&] {
                return install->sql(QStringLiteral("SELECT Code FROM VBcode")) ==
                       QStringLiteral("拖进来的文本");
            },
            8000));
        QCOMPARE(install->sql(QStringLiteral("SELECT CodeName FROM VBcode")), QStringLiteral("拖进来的文本"));
    }
};

QTEST_GUILESS_MAIN(DesktopCapture)
#include "tst_desktop_capture.moc"
