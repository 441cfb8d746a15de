// The title and category proposed for a captured text.
#include "TextRules.h"

#include <QTest>

class TestTextRules : public QObject {
    Q_OBJECT
  private slots:
    void proposals() {
        struct Case {
            const char16_t *text, *title, *category;
        };
        const Case cases[] = {
            {u"Public Sub Test()\r\n    MsgBox \"hello\"\r\nEnd Sub", u"Test", u"Sub"},
            {u"Public Sub Private Function X", u"X", u"Function"}, // every keyword goes; Function comes first
            {u"Private Declare PtrSafe Lib \"user32\"", u"Declare PtrSafe Lib", u"API"},
            {u"Class Foo Sub", u"Class Foo Sub", u"Sub"}, // a keyword needs its blank
            {u"Class Foo", u"Class Foo", u"Class"},
            {u"Subtotal", u"Subtotal", u"Sub"},
            {u"SuSub b x", u"Sub x", u"Sub"}, // the removal does not look again
            {u"public sub function Test", u"public sub function Test", u""}, // keywords are case-sensitive
            {u"abc，中文说明", u"abc 中文说明", u""},         // Chinese is added from further on
            {u"Sub 打开文件()\r\n说明", u"打开文件", u"Sub"}, // unless the first run holds some
            {u"Sub (说明)", u"说明", u"Sub"},
            {u"  a b  \tc", u"a b", u""}, // only blanks are trimmed
            {u"' my_var = 1", u"' my_var", u""},
            {u"", u"", u""},
            {u"ＡＢＣ test", u"test", u""},                      // full-width Latin is no letter
            {u"\u4DFF\u4E00\uFA29\uFA2A", u"\u4E00\uFA29", u""}, // the bounds of the Han range
            {u"Sub Go(), \U0001F600!", u"Go \U0001F600",
             u"Sub"},                                     // surrogate halves lie in it: a pair stays whole
            {u"Title: \uE000", u"Title \uE000", u""},     // and so does private use
            {u"Public Sub A\xD83D!", u"A\xD83D", u"Sub"}, // a lone half is kept, the keywords still go
        };
        for (const Case &c : cases) {
            const QString text = QString::fromUtf16(c.text);
            QCOMPARE(textrules::proposeTitle(text), QString::fromUtf16(c.title));
            QCOMPARE(textrules::proposeCategory(text), QString::fromUtf16(c.category));
        }
    }
};

QTEST_APPLESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
