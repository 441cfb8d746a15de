// Texts into the library on a real desktop. Awkward texts arrive exactly as
// they came, code unit for code unit: copied and added through the icon, and
// stored, opened from the quick list and updated with only the title changed
// (read back with the sqlite3 shell's hex()). Ctrl+C held in another program
// and a text dragged onto the icon propose the text.
#include "Desktop.h"

#include <QtTest>

namespace {

const QList<std::pair<const char *, QString>> Samples = {
    {"CR LF, indented, trailing", "Public Sub Test()\r\n  x = 1\r\nEnd Sub\r\n"},
    {"lone LF", "Sub one()\nx = 1"},
    {"lone CR", "Sub two()\rx = 2"},
    {"mixed line ends", "Sub four()\rx\ny\r\nz\n\rw"},
    {"no-break space", "Sub five\u00a0x"},
    {"line separator", "Sub six\u2028x"},
    {"paragraph separator", "Sub seven\u2029x"},
    {"tabs", "Sub eight\tx\t"},
    {"control character", "Sub nine\x01x"},
    {"surrogate pair", "Sub ten \U0001F600 x"},
    {"trailing LF", "Sub eleven\n"},
    {"outer spaces", "  Sub twelve  "},
};

QString hex(const QString &text) {
    return QString::fromLatin1(text.toUtf8().toHex().toUpper());
}

} // namespace

class DesktopTexts : public DesktopTest {
    Q_OBJECT
    QString icon;
    QStringList wrong; // every sample that came out otherwise

    void expectStored(const char *name, const QString &text) {
        const QString stored = sql("SELECT hex(Code) FROM VBcode");
        if (stored != hex(text))
            wrong << QString("%1: %2 stored as %3").arg(name, hex(text), stored);
    }

  private slots:
    void init() {
        DesktopTest::init();
        if (QTest::currentTestFailed())
            return;
        setSetting("Textbox双击方式", "复制内容");
        QVERIFY(!(icon = startVemo()).isEmpty());
        wrong.clear();
    }

    void copiedTextIsAddedAsItCame() {
        for (const auto &[name, text] : Samples) {
            sql("DELETE FROM VBcode");
            setClipboard(text);
            QVERIFY2(clipboard() == text, name); // xclip carries the text itself
            clickIn(icon, {24, 24}, 1, 2);
            const QString shown = editor();
            QVERIFY2(!shown.isEmpty(), name);
            pressAdd(shown);
            QVERIFY2(sqlBecomes("SELECT count(*) FROM VBcode", "1"), name);
            expectStored(name, text);
            QVERIFY(closes(shown));
            if (text == Samples.first().second) // the proposal for a piece of code
                QCOMPARE(sql("SELECT CodeName || '|' || TypeName || '|' || IsUsed || '|' || "
                             "length(ChangeTime) || '|' || MoudleName || '|' || (ID BETWEEN 0 AND 999999) "
                             "FROM VBcode"),
                         QString("Test|Sub|常用|14||1"));
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }

    void retitledRecordKeepsItsText() {
        int id = 0;
        for (const auto &[name, text] : Samples) {
            sql(QString("DELETE FROM VBcode; INSERT INTO VBcode VALUES (%1, '工具', 'Sub', 'T%1', "
                        "CAST(X'%2' AS TEXT), '20200101000000', '常用');")
                    .arg(++id)
                    .arg(hex(text)));
            setClipboard("-");
            clickOn(icon);
            const QString shown = list();
            QVERIFY2(!shown.isEmpty(), name);
            chooseOnRow(shown, 0, "e"); // 修改内容
            const QString edit = editor();
            QVERIFY2(!edit.isEmpty(), name);

            // "复制内容" on a double-click: the clipboard gets the text as stored.
            clickIn(edit, {150, 250}, 1, 2);
            if (!waitUntil([&] { return clipboard() != "-"; }, 3000) || clipboard() != text)
                wrong << QString("%1: %2 copied as %3").arg(name, hex(text), hex(clipboard()));

            clickIn(edit, {300, 71}); // the title box
            key("End x");
            pressUpdate(edit);
            QVERIFY2(answer("y"), name);
            QVERIFY2(answer("Return"), name); // "修改完成"
            QVERIFY2(sqlBecomes("SELECT CodeName FROM VBcode", QString("T%1x").arg(id)), name);
            expectStored(name, text);

            // The next opening of the list reads the library afresh.
            if (windowsOf(vemo).contains(shown)) {
                activate(shown);
                key("Escape");
                QVERIFY(closes(shown));
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }

    void holdingCtrlCInAnotherProgramProposesOnce() {
        setClipboard("按住复制的文本");
        startTarget(home() + "/peer.txt");
        hold("key", "ctrl+c", 250); // under five ticks
        QVERIFY(editor(800).isEmpty());
        hold("key", "ctrl+shift+c", 1500);
        QVERIFY(editor(800).isEmpty());

        hold("key", "ctrl+c", 1200);
        const QString shown = editor();
        QVERIFY2(!shown.isEmpty(), "holding Ctrl+C proposed nothing");
        QCOMPARE(windowsOf(vemo).size(), 2); // the icon and one editor, however long the keys were held
        pressAdd(shown);
        QVERIFY(sqlBecomes("SELECT Code FROM VBcode", "按住复制的文本"));
    }

    void textDroppedOnTheIconOpensTheEditor() {
        QTRY_COMPARE_WITH_TIMEOUT(geometry(icon), QRect(800, 13, 48, 48), 5000); // a fresh profile's place
        const QString source = windowOf(startPeer({"drag", "拖进来的文本"}), anySize);
        QVERIFY(!source.isEmpty());
        drag(geometry(source).center(), geometry(icon).center());
        const QString shown = editor();
        QVERIFY2(!shown.isEmpty(), "the drop opened no editor");
        pressAdd(shown);
        QVERIFY(sqlBecomes("SELECT CodeName || '|' || Code FROM VBcode", "拖进来的文本|拖进来的文本"));
    }
};

QTEST_GUILESS_MAIN(DesktopTexts)
#include "tst_desktop_texts.moc"
