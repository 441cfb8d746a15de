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
    void title_data();
    void title();
    void titleNeverSplitsSurrogatePairs();
    void titleOfMegabyteText();
    void category_data();
    void category();
};

void TestTextRules::title_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Sub with body") << "Public Sub Test()\r\n    MsgBox \"hello\"\r\nEnd Sub"
                                   << "Test";
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
    row("apostrophe and underscore", "' my_var = 1", "' my_var");
    row("digits", "2024年计划", "2024年计划");
    row("empty", "", "");
    row("lone apostrophe", "'", "'");
    row("only spaces", "   ", "");
    row("only punctuation", "，。！？", "");
    row("keyword alone becomes empty, no Chinese", "Sub ()", "");
    row("keyword alone, Chinese later", "Sub (说明)", "说明");
    QTest::newRow("lower bound of the Han range")
        << QString::fromUtf16(u"\u4E00") << QString::fromUtf16(u"\u4E00");
    QTest::newRow("just below the Han range") << QString::fromUtf16(u"\u4DFF") << "";
    QTest::newRow("upper bound of the Han range")
        << QString::fromUtf16(u"\uFA29") << QString::fromUtf16(u"\uFA29");
    QTest::newRow("just above the Han range") << QString::fromUtf16(u"\uFA2A") << "";
    QTest::newRow("just outside ends a run") << QString::fromUtf16(u"ab\u4DFFcd") << "ab";
    row("full-width Latin is outside", "ＡＢＣ test", "test");
    QTest::newRow("private use counts as Han")
        << QString::fromUtf16(u"x\uE000") << QString::fromUtf16(u"x\uE000");
    QTest::newRow("Latin title, Han after punctuation")
        << QString::fromUtf16(u"Title: \uE000") << QString::fromUtf16(u"Title \uE000");
}

void TestTextRules::title() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(FMain::DeriveTitle(text), expected);
}

void TestTextRules::titleNeverSplitsSurrogatePairs() {
    const QString face = QString::fromUtf16(u"\U0001F600");
    // Both halves lie in the code-unit range, so a pair stays whole in the title.
    QCOMPARE(FMain::DeriveTitle(QStringLiteral("Hi") + face + QStringLiteral("!")),
             QStringLiteral("Hi") + face);
    QCOMPARE(FMain::DeriveTitle(QStringLiteral("->") + face + QStringLiteral("<-")), face);
    QCOMPARE(FMain::DeriveTitle(QStringLiteral("Sub Go(), ") + face), QStringLiteral("Go ") + face);
    // A lone half (broken input) is kept, and the keywords around it still go
    // exactly as they do without it.
    const QString half = QString(QChar(0xD83D));
    QCOMPARE(FMain::DeriveTitle(QStringLiteral("Public Sub A") + half), QStringLiteral("A") + half);
    const QChar privateUse(0xE000); // in the range too, but valid text for the regular expression
    for (const char *base : {"Public Sub A", "SuSub b x", "Private Function F", "Sub ", "x () y"}) {
        const QString plain = QString::fromLatin1(base);
        QCOMPARE(FMain::DeriveTitle(plain + half), FMain::DeriveTitle(plain + privateUse).chopped(1) + half);
        QCOMPARE(FMain::DeriveTitle(half + plain), half + FMain::DeriveTitle(privateUse + plain).mid(1));
    }
}

// A megabyte without punctuation is one long run: it must come back whole and
// quickly (the speed itself is for the benchmarks).
void TestTextRules::titleOfMegabyteText() {
    QString words;
    words.reserve(1 << 20);
    while (words.size() < (1 << 20))
        words += QStringLiteral("Public Sub word ");
    const QString title = FMain::DeriveTitle(words + u'.');
    QVERIFY(title.startsWith(u"word word"));
    QCOMPARE(title.size(), (words.size() / 16) * 5 - 1);

    QString han(1 << 20, QChar(0x4E2D));
    QCOMPARE(FMain::DeriveTitle(QStringLiteral(".") + han), han);
    QCOMPARE(FMain::DeriveTitle(QString(1 << 20, u',') + QStringLiteral("x")), QStringLiteral("x"));
    QCOMPARE(FMain::DeriveCategory(QString(1 << 20, u'x') + QStringLiteral("Declare")),
             QStringLiteral("API"));
}

void TestTextRules::category_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    row("Function", "Private Function GetName()", "Function");
    row("Function before Sub", "Sub A()\r\nEnd Sub\r\nFunction B()", "Function");
    row("Sub", "Public Sub Test()", "Sub");
    row("Sub inside a word", "Subtotal", "Sub");
    row("Class", "Class Foo", "Class");
    row("Sub before Class", "Class Foo Sub", "Sub");
    QTest::newRow("Declare") << "Private Declare PtrSafe Lib \"user32\""
                             << "API";
    row("lower case is not a keyword", "function f() {}", "");
    row("Chinese only", "复制文本后直接双击", "");
    row("empty", "", "");
    row("star is literal text", "Func*tion", "");
}

void TestTextRules::category() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(FMain::DeriveCategory(text), expected);
}

QTEST_APPLESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
