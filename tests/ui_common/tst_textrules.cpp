#include "FMain.h"

#include <QtTest>

namespace {
void row(const char *name, const QString &text, const QString &expected) {
    QTest::newRow(name) << text << expected;
}
} // namespace

class TestTextRules : public QObject {
    Q_OBJECT
  private slots:
    void title_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        row("Sub with body", "Public Sub Test()\r\n    MsgBox \"hello\"\r\nEnd Sub", "Test");
        row("Function", "Private Function GetName(ByVal s As String) As String", "GetName");
        row("all Chinese", "复制文本后直接双击", "复制文本后直接双击");
        row("Latin then Chinese", "abc，中文说明", "abc 中文说明");
        row("Chinese inside the first run is not repeated", "Sub 打开文件()\r\n说明", "打开文件");
        row("first run only", "Hello, World", "Hello");
        row("keywords need their space", "Subtotal", "Subtotal");
        row("every keyword occurrence goes", "Public Sub Private Function X", "X");
        row("keyword removal does not rescan", "SuSub b x", "Sub x");
        row("keywords are case-sensitive", "public sub Test", "public sub Test");
        row("only spaces are trimmed", "  a b  \tc", "a b");
        row("apostrophe, underscore, digits", "' my_var = 1", "' my_var");
        row("empty", "", "");
        row("lone apostrophe", "'", "'");
        row("only punctuation", "，。！？", "");
        row("keyword alone, Chinese later", "Sub (说明)", "说明");
        row("full-width Latin is outside", "ＡＢＣ test", "test");
        row("Han range lower bound", QString::fromUtf16(u"\u4E00"), QString::fromUtf16(u"\u4E00"));
        row("just below the Han range", QString::fromUtf16(u"\u4DFF"), "");
        row("Han range upper bound", QString::fromUtf16(u"\uFA29"), QString::fromUtf16(u"\uFA29"));
        row("just above the Han range", QString::fromUtf16(u"\uFA2A"), "");
        row("just outside ends a run", QString::fromUtf16(u"ab\u4DFFcd"), "ab");
        row("private use counts as Han", QString::fromUtf16(u"Title: \uE000"),
            QString::fromUtf16(u"Title \uE000"));
    }
    void title() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(FMain::DeriveTitle(text), expected);
    }

    void titleNeverSplitsSurrogatePairs() {
        const QString face = QString::fromUtf16(u"\U0001F600");
        // Both halves lie in the Han code-unit range, so a pair stays whole.
        QCOMPARE(FMain::DeriveTitle("Hi" + face + "!"), "Hi" + face);
        QCOMPARE(FMain::DeriveTitle("Sub Go(), " + face), "Go " + face);
        // A lone half (broken input) is kept, and the keywords around it go
        // exactly as they do around a private-use character.
        const QString half(QChar(0xD83D));
        const QChar privateUse(0xE000);
        for (const QString plain : {"Public Sub A", "SuSub b x", "Private Function F", "Sub ", "x () y"}) {
            QCOMPARE(FMain::DeriveTitle(plain + half),
                     FMain::DeriveTitle(plain + privateUse).chopped(1) + half);
            QCOMPARE(FMain::DeriveTitle(half + plain), half + FMain::DeriveTitle(privateUse + plain).mid(1));
        }
    }

    // A megabyte without punctuation is one run and comes back whole (speed is benchmarked).
    void megabyteText() {
        QString words;
        while (words.size() < (1 << 20))
            words += QStringLiteral("Public Sub word ");
        const QString title = FMain::DeriveTitle(words + u'.');
        QVERIFY(title.startsWith(u"word word"));
        QCOMPARE(title.size(), (words.size() / 16) * 5 - 1);
        const QString han(1 << 20, QChar(0x4E2D));
        QCOMPARE(FMain::DeriveTitle("." + han), han);
        QCOMPARE(FMain::DeriveCategory(QString(1 << 20, u'x') + "Declare"), QStringLiteral("API"));
    }

    void category_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        row("Function", "Private Function GetName()", "Function");
        row("Function before Sub", "Sub A()\r\nEnd Sub\r\nFunction B()", "Function");
        row("Sub", "Public Sub Test()", "Sub");
        row("Sub inside a word", "Subtotal", "Sub");
        row("Sub before Class", "Class Foo Sub", "Sub");
        row("Class", "Class Foo", "Class");
        row("Declare", "Private Declare PtrSafe Lib \"user32\"", "API");
        row("lower case is not a keyword", "function f() {}", "");
        row("Chinese only", "复制文本后直接双击", "");
        row("empty", "", "");
    }
    void category() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(FMain::DeriveCategory(text), expected);
    }
};

QTEST_APPLESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
