// A text with fields on a real desktop: Ctrl+E into the helper's text field,
// the fill-in window answered with Chinese typed as a person types it, the
// caret left at {{光标}} so that the next key lands there; Esc in the fill-in
// sends nothing and leaves the clipboard alone.
#include "Desktop.h"

#include <QDate>
#include <QtTest>

class DesktopTemplates : public DesktopTest {
    Q_OBJECT

    QString fillIn(int timeoutMs = 8000) { return window("^填写模板$", timeoutMs); }
    // The window is in front and the X input focus has arrived in it: keys
    // typed now reach it, not the window that had the keyboard before.
    bool hasKeyboard(const QString &window) {
        return activeWindow() == window && xdo({"getwindowfocus", "-f"}).trimmed() == window;
    }

  private slots:
    void fillInAndCaret() {
        QVERIFY(
            !startVemo(
                 "INSERT INTO VBcode VALUES (1, '工具', 'Sub', '模板', '{{日期}}|{{输入:姓名}}|{{光标}}!', "
                 "'20200101000001', '常用');")
                 .isEmpty());
        const QString file = home() + "/peer.txt";
        const QString target = windowOf(startPeer({"target", file}), anySize);
        QVERIFY(!target.isEmpty());
        activate(target);
        const QString today = QDate::currentDate().toString("yyyy-MM-dd");

        key("ctrl+e");
        QString shown = list();
        QVERIFY2(!shown.isEmpty(), "Ctrl+E opened no list");
        QThread::msleep(300);
        click(row(shown, 0));
        QString asking = fillIn();
        QVERIFY2(!asking.isEmpty(), "no fill-in window");
        QVERIFY(waitUntil([&] { return hasKeyboard(asking); }));
        QVERIFY(readFile(file).isEmpty()); // nothing before the answers
        type("张三");
        key("Return");
        const QString pasted = today + "|张三|!";
        QVERIFY2(waitUntil([&] { return readFile(file) == pasted; }), qPrintable(readFile(file)));
        QCOMPARE(clipboard(), pasted);
        QThread::msleep(800); // the caret goes back a moment after the paste
        type("X");
        QVERIFY2(waitUntil([&] { return readFile(file) == today + "|张三|X!"; }), qPrintable(readFile(file)));

        // Esc in the fill-in: no paste, the clipboard as it was.
        setClipboard("剪贴板原样");
        activate(target);
        key("ctrl+e");
        QVERIFY(!(shown = list()).isEmpty());
        QThread::msleep(300);
        click(row(shown, 0));
        QVERIFY(!(asking = fillIn()).isEmpty());
        QVERIFY(waitUntil([&] { return hasKeyboard(asking); }));
        key("Escape");
        QVERIFY(closes(asking));
        QThread::msleep(800);
        QCOMPARE(readFile(file), today + "|张三|X!");
        QCOMPARE(clipboard(), QString("剪贴板原样"));
    }
};

QTEST_GUILESS_MAIN(DesktopTemplates)
#include "tst_desktop_templates.moc"
