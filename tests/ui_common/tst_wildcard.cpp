#include "WildcardReference.h"

#include <QRandomGenerator>
#include <QtTest>

using wildcard::Pattern;
using wildcard::Result;
using wildcard_test::reference;

namespace {

void row(const char *name, const QString &text, const QString &pattern, bool expected) {
    QTest::newRow(name) << text << pattern << expected;
}

QString randomString(QRandomGenerator &rng, const QString &alphabet, int maxLen) {
    QString s;
    for (int len = int(rng.bounded(maxLen + 1)); len > 0; --len)
        s += alphabet[int(rng.bounded(int(alphabet.size())))];
    return s;
}

// A text the pattern was meant to fit (wildcards filled in at random, list
// characters taken as they stand), half the time with one character changed.
QString textFor(QRandomGenerator &rng, const QString &pattern, const QString &alphabet) {
    QString s;
    for (QChar c : pattern) {
        if (c == u'*' || c == u'?')
            s += randomString(rng, alphabet, c == u'*' ? 3 : 1).leftJustified(c == u'?', u'x');
        else if (c == u'#')
            s += QChar(u'0' + rng.bounded(10));
        else if (c != u'[' && c != u']' && c != u'!')
            s += c;
    }
    if (rng.bounded(2) && !s.isEmpty())
        s[int(rng.bounded(int(s.size())))] = alphabet[int(rng.bounded(int(alphabet.size())))];
    return s;
}

} // namespace

class TestWildcard : public QObject {
    Q_OBJECT
  private slots:
    void rules_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("expected");
        row("star, empty text", "", "*", true);
        row("empty pattern, empty text", "", "", true);
        row("empty pattern, text", "a", "", false);
        row("literal is anchored", "abcd", "abc", false);
        row("literal is case-sensitive", "ABC", "abc", false);
        row("star in middle", "axxxb", "a*b", true);
        row("star needs tail", "axxxbc", "a*b", false);
        row("head and tail may not overlap", "aba", "ab*ba", false);
        row("stars in order", "xaxbxcx", "*a*b*c*", true);
        row("stars out of order", "xcxbxax", "*a*b*c*", false);
        row("found after a false start", "aab", "*ab", true);
        row("question one char", "abc", "a?c", true);
        row("question not zero chars", "ac", "a?c", false);
        row("hash digit", "a5", "a#", true);
        row("hash not letter", "ab", "a#", false);
        row("hash not full-width digit", "a５", "a#", false);
        row("list member", "b", "[abc]", true);
        row("list non-member", "d", "[abc]", false);
        row("range inside", "m", "[a-z]", true);
        row("range outside", "M", "[a-z]", false);
        row("single-char range", "a", "[a-a]", true);
        row("negated list excludes", "a", "[!abc]", false);
        row("negated list admits", "d", "[!abc]", true);
        row("negated list still one char", "", "[!a]", false);
        row("hyphen first is literal", "-", "[-a]", true);
        row("hyphen last is literal", "-", "[a-]", true);
        row("hyphen after bang is literal", "-", "[!-a]", false);
        row("hyphen after range is literal", "-", "[a-c-e]", true);
        row("wildcards in list are literal", "*?#[", "[*][?][#][[]", true);
        row("bracket and bang outside are literal", "!a]", "!a]", true);
        row("empty group matches nothing", "ab", "a[]b", true);
        row("empty group takes no char", "axb", "a[]b", false);
        row("negated empty group is any char", "axb", "a[!]b", true);
        row("group then bracket", "]", "[]]", true);
        // A surrogate pair is two characters.
        const QString face = QString::fromUtf16(u"\U0001F600");
        row("pair is not one char", face, "?", false);
        row("pair is two chars", "a" + face + "b", "a??b", true);
        row("halves by range", face, QString::fromUtf16(u"[\xD800-\xDBFF][\xDC00-\xDFFF]"), true);
    }
    void rules() {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(bool, expected);
        const Result want = expected ? Result::Match : Result::NoMatch;
        QCOMPARE(wildcard::match(text, pattern), want);
        QCOMPARE(Pattern(pattern).matches(text), expected);
        QCOMPARE(reference(pattern, text), want);
    }

    // An unclosed list makes the pattern invalid, which is not the same as no match.
    void invalidPatterns_data() {
        QTest::addColumn<QString>("pattern");
        for (const char *p : {"[", "*[*", "a[bc", "[!", "[a]b[", "[z-a]", "*[9-0]"})
            QTest::newRow(p) << QString::fromLatin1(p);
    }
    void invalidPatterns() {
        QFETCH(QString, pattern);
        for (const QString text : {"", "abc", "["}) {
            QCOMPARE(wildcard::match(text, pattern), Result::Invalid);
            QCOMPARE(reference(pattern, text), Result::Invalid);
        }
        QVERIFY(!Pattern(pattern).isValid());
        QVERIFY(!Pattern(pattern).matches(QStringLiteral("[z-a]"), true));
    }

    // The quick list search: lower-cased typed text between stars, against
    // "title|text" folded code unit by code unit.
    void foldCase_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("expected");
        row("Latin", "Hello World", "WORLD", true);
        row("Latin accented", "ÉCOLE", "école", true);
        row("Greek", "ΑΛΦΑ beta", "αλφα", true);
        row("Cyrillic", "ПРИВЕТ мир", "привет", true);
        row("Chinese as it is", "复制文本后直接双击", "文本", true);
        row("range against folded text", "Q", "[A-Z]", true);
        row("negated list against folded text", "Q", "[!q]", false);
        row("pair kept whole", QString::fromUtf16(u"AB\U0001F600CD"), QString::fromUtf16(u"b\U0001F600c"),
            true);
        row("no match", "Hello", "world", false);
        row("empty search", "My Title|Body of the TEXT", "", true);
        row("across the joint", "My Title|Body of the TEXT", "title|body", true);
        row("joint is exact", "My Title|Body of the TEXT", "title| body", false);
        row("typed wildcards", "My Title|Body of the TEXT", "my*b?dy", true);
        row("typed star keeps order", "My Title|Body of the TEXT", "text*my", false);
    }
    void foldCase() {
        QFETCH(QString, text);
        QFETCH(QString, search);
        QFETCH(bool, expected);
        const QString pattern = u'*' + wildcard::lowerCodeUnits(search) + u'*';
        QCOMPARE(Pattern(pattern).matches(text, true), expected);
        QCOMPARE(reference(pattern, wildcard::lowerCodeUnits(text)) == Result::Match, expected);
    }

    // Random patterns and texts over alphabets rich in the wildcard characters,
    // against the reference, both as given and with the text folded.
    void agreesWithReference() {
        QRandomGenerator rng(20240517);
        const QString patternAlphabet = QString::fromUtf16(u"ab1*?#[]!-|A\xD83D\xDE00中");
        const QString textAlphabet = QString::fromUtf16(u"abAB1-|[]!*?#\xD83D\xDE00中Ω");
        int count[3] = {};
        for (int round = 0; round < 20000; ++round) {
            const QString pattern = randomString(rng, patternAlphabet, 8);
            const QString text =
                round % 2 ? randomString(rng, textAlphabet, 10) : textFor(rng, pattern, textAlphabet);
            const Result expected = reference(pattern, text);
            const bool folded = reference(pattern, wildcard::lowerCodeUnits(text)) == Result::Match;
            if (wildcard::match(text, pattern) != expected || Pattern(pattern).matches(text, true) != folded)
                QFAIL(qPrintable(QStringLiteral("text \"%1\" pattern \"%2\"").arg(text, pattern)));
            ++count[int(expected)];
        }
        // Every outcome must be common, or the comparison proves little.
        for (int n : count)
            QVERIFY(n > 1000);
    }

    // A megabyte against patterns that make a naive backtracking matcher
    // quadratic: it must return, with the right answers (speed is benchmarked).
    void longTexts() {
        QString big(1 << 20, u'a');
        QVERIFY(!Pattern(u"*a*b*c*").matches(big, true));
        QVERIFY(!Pattern(u"*aaaaaaaaab*").matches(big, true));
        QVERIFY(!Pattern(u"*a?a#*").matches(big));
        big[big.size() / 2] = u'B';
        big[big.size() - 1] = u'c';
        QVERIFY(Pattern(u"*a*b*c*").matches(big, true));
        QVERIFY(!Pattern(u"*a*b*c*").matches(big));
        QVERIFY(Pattern(u"*a[!a]a*c").matches(big));
    }
};

QTEST_APPLESS_MAIN(TestWildcard)
#include "tst_wildcard.moc"
