#include "Wildcard.h"
#include "WildcardReference.h"

#include <QRandomGenerator>
#include <QtTest>

using wildcard::Pattern;
using wildcard::Result;
using wildcard_test::Reference;

namespace {

QString randomString(QRandomGenerator &rng, const QString &alphabet, int maxLen) {
    const int len = int(rng.bounded(maxLen + 1));
    QString s;
    for (int i = 0; i < len; ++i)
        s.append(alphabet[int(rng.bounded(int(alphabet.size())))]);
    return s;
}

// A text the pattern was meant to fit: stars and wildcards filled in at random,
// list characters taken as they stand, often followed by one random change.
QString textFor(QRandomGenerator &rng, const QString &pattern, const QString &alphabet) {
    QString s;
    for (QChar c : pattern) {
        if (c == u'*')
            s += randomString(rng, alphabet, 3);
        else if (c == u'?')
            s += randomString(rng, alphabet, 1).leftJustified(1, u'x');
        else if (c == u'#')
            s += QChar(u'0' + rng.bounded(10));
        else if (c != u'[' && c != u']' && c != u'!')
            s += c;
    }
    if (rng.bounded(2) && !s.isEmpty())
        s[int(rng.bounded(int(s.size())))] = alphabet[int(rng.bounded(int(alphabet.size())))];
    return s;
}

void row(const char *name, const QString &text, const QString &pattern, bool expected) {
    QTest::newRow(name) << text << pattern << expected;
}

} // namespace

class TestWildcard : public QObject {
    Q_OBJECT
  private slots:
    void rules_data();
    void rules();
    void invalidPatterns_data();
    void invalidPatterns();
    void foldCase_data();
    void foldCase();
    void quickListSearch();
    void surrogatePairsAreTwoCharacters();
    void compiledPatternIsReusable();
    void agreesWithReference();
    void longTextsStayLinear();
};

void TestWildcard::rules_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("expected");

    row("star alone, empty text", "", "*", true);
    row("star alone, any text", "abc|def", "*", true);
    row("empty pattern, empty text", "", "", true);
    row("empty pattern, text", "a", "", false);
    row("literal is anchored", "abcd", "abc", false);
    row("literal is case-sensitive", "ABC", "abc", false);
    row("star in middle", "axxxb", "a*b", true);
    row("star needs tail", "axxxbc", "a*b", false);
    row("head and tail may not overlap", "aba", "ab*ba", false);
    row("several stars in order", "xaxbxcx", "*a*b*c*", true);
    row("several stars out of order", "xcxbxax", "*a*b*c*", false);
    row("segment found after an earlier false start", "aab", "*ab", true);
    row("question one char", "abc", "a?c", true);
    row("question not zero chars", "ac", "a?c", false);
    row("question matches Chinese", "a中c", "a?c", true);
    row("hash digit", "a5", "a#", true);
    row("hash not letter", "ab", "a#", false);
    row("hash not full-width digit", "a５", "a#", false);
    QTest::newRow("hash not Arabic-Indic digit") << QString::fromUtf16(u"a\u0663") << "a#" << false;
    row("list member", "b", "[abc]", true);
    row("list non-member", "d", "[abc]", false);
    row("range inside", "m", "[a-z]", true);
    row("range outside", "M", "[a-z]", false);
    row("range of Chinese", "中", "[一-龥]", true);
    row("single-char range", "a", "[a-a]", true);
    row("negated list excludes", "a", "[!abc]", false);
    row("negated list admits", "d", "[!abc]", true);
    row("negated list still one char", "", "[!a]", false);
    row("hyphen first is literal", "-", "[-a]", true);
    row("hyphen last is literal", "-", "[a-]", true);
    row("hyphen after bang is literal", "-", "[!-a]", false);
    row("hyphen after range is literal", "-", "[a-c-e]", true);
    row("specials in list are literal", "*?#[", "[*][?][#][[]", true);
    row("closing bracket outside is literal", "a]", "a]", true);
    row("bang outside is literal", "!a", "!a", true);
    row("empty group matches nothing", "ab", "a[]b", true);
    row("empty group takes no char", "axb", "a[]b", false);
    row("negated empty group is any char", "axb", "a[!]b", true);
    row("group then bracket", "]", "[]]", true);
    row("vertical bar is literal", "title|text", "*e|t*", true);
}

void TestWildcard::rules() {
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, expected);
    QCOMPARE(wildcard::match(text, pattern), expected ? Result::Match : Result::NoMatch);
    QCOMPARE(Reference(pattern).run(text), expected ? Result::Match : Result::NoMatch);
}

void TestWildcard::invalidPatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::newRow("lone bracket") << "[";
    QTest::newRow("quick list lone bracket") << "*[*";
    QTest::newRow("unclosed list") << "a[bc";
    QTest::newRow("unclosed negation") << "[!";
    QTest::newRow("unclosed after a valid list") << "[a]b[";
    QTest::newRow("descending range") << "[z-a]";
    QTest::newRow("descending range after star") << "*[9-0]";
}

void TestWildcard::invalidPatterns() {
    QFETCH(QString, pattern);
    for (const QString &text : {QString(), QStringLiteral("abc"), QStringLiteral("[")}) {
        QCOMPARE(wildcard::match(text, pattern), Result::Invalid);
        QCOMPARE(Reference(pattern).run(text), Result::Invalid);
    }
    const Pattern p(pattern);
    QVERIFY(!p.isValid());
    QVERIFY(!p.matches(QString()));
    QVERIFY(!p.matches(QStringLiteral("[z-a]"), true));
}

void TestWildcard::foldCase_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search"); // as typed; lowered like the quick list does
    QTest::addColumn<bool>("expected");
    row("Latin", "Hello World", "WORLD", true);
    row("Latin accented", "ÉCOLE", "école", true);
    row("Greek", "ΑΛΦΑ beta", "αλφα", true);
    row("Cyrillic", "ПРИВЕТ мир", "привет", true);
    row("Chinese as it is", "复制文本后直接双击", "文本", true);
    row("full-width Latin", "ＡＢＣ", "ａｂｃ", true);
    row("range against folded text", "Q", "[A-Z]", true);
    row("negated list against folded text", "Q", "[!q]", false);
    row("digits unaffected", "Room 42", "room ##", true);
    row("no match", "Hello", "world", false);
}

void TestWildcard::foldCase() {
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(bool, expected);
    const QString lowered = wildcard::lowerCodeUnits(search);
    const Pattern p(u'*' + lowered + u'*');
    QCOMPARE(p.matches(text, true), expected);
    QCOMPARE(Reference(u'*' + lowered + u'*').run(wildcard::lowerCodeUnits(text)) == Result::Match, expected);
}

// How the quick list uses it: lower-cased title, "|", text against "*" + search + "*".
void TestWildcard::quickListSearch() {
    const QString row = QStringLiteral("My Title|Body of the TEXT");
    auto search = [&](const QString &typed) {
        return Pattern(u'*' + wildcard::lowerCodeUnits(typed) + u'*').matches(row, true);
    };
    QVERIFY(search(QStringLiteral("ABC")) == false);
    QVERIFY(search(QStringLiteral("TITLE")));
    QVERIFY(search(QStringLiteral("title|body"))); // the joint between title and text
    QVERIFY(!search(QStringLiteral("title| body")));
    QVERIFY(search(QStringLiteral("b?dy"))); // typed wildcards keep their meaning
    QVERIFY(search(QStringLiteral("*")));
    QVERIFY(search(QString()));
    QVERIFY(!Pattern(QStringLiteral("*[*")).isValid());
    QVERIFY(search(QStringLiteral("my*text")));
    QVERIFY(!search(QStringLiteral("text*my")));
}

void TestWildcard::surrogatePairsAreTwoCharacters() {
    const QString face = QString::fromUtf16(u"\U0001F600"); // two code units
    QCOMPARE(face.size(), 2);
    QCOMPARE(wildcard::match(face, u"?"), Result::NoMatch);
    QCOMPARE(wildcard::match(face, u"??"), Result::Match);
    QCOMPARE(wildcard::match(QStringLiteral("a") + face + QStringLiteral("b"), u"a??b"), Result::Match);
    QCOMPARE(wildcard::match(face, u"[\xD800-\xDBFF][\xDC00-\xDFFF]"), Result::Match);
    QCOMPARE(wildcard::match(face, u"[!\xD83D]?"), Result::NoMatch);
    QCOMPARE(
        wildcard::match(QStringLiteral("x") + face, QStringLiteral("*") + face.left(1) + QStringLiteral("*")),
        Result::Match); // a half alone
    QVERIFY(Pattern(QStringLiteral("*") + face + QStringLiteral("*"))
                .matches(QStringLiteral("AB") + face + QStringLiteral("CD"), true));
}

void TestWildcard::compiledPatternIsReusable() {
    const Pattern p(u"*a?c*");
    QVERIFY(p.isValid());
    QVERIFY(p.matches(u"xxabcxx"));
    QVERIFY(!p.matches(u"xxacxx"));
    QVERIFY(p.matches(u"XABC", true));
    QVERIFY(!p.matches(u"XABC"));
    const Pattern copy = p;
    QVERIFY(copy.matches(u"abc"));
    const Pattern empty;
    QVERIFY(empty.isValid());
    QVERIFY(empty.matches(QString()));
    QVERIFY(!empty.matches(u"a"));
}

// Thousands of random patterns and texts over small alphabets that are rich in
// the special characters, checked against the reference reading of the rules,
// both as given and with the text folded.
void TestWildcard::agreesWithReference() {
    QRandomGenerator rng(20240517);
    const QString patternAlphabet = QString::fromUtf16(u"ab1*?#[]!-|A\xD83D\xDE00中");
    const QString textAlphabet = QString::fromUtf16(u"abAB1-|[]!*?#\xD83D\xDE00中Ω");
    int matches = 0, invalid = 0;
    for (int round = 0; round < 20000; ++round) {
        const QString pattern = randomString(rng, patternAlphabet, 8);
        const QString text =
            round % 2 ? randomString(rng, textAlphabet, 10) : textFor(rng, pattern, textAlphabet);
        const Result expected = Reference(pattern).run(text);
        const Result got = wildcard::match(text, pattern);
        if (got != expected)
            QFAIL(qPrintable(QStringLiteral("text \"%1\" pattern \"%2\": got %3, expected %4")
                                 .arg(text, pattern)
                                 .arg(int(got))
                                 .arg(int(expected))));
        const bool folded = Reference(pattern).run(wildcard::lowerCodeUnits(text)) == Result::Match;
        if (Pattern(pattern).matches(text, true) != folded)
            QFAIL(qPrintable(QStringLiteral("folded text \"%1\" pattern \"%2\"").arg(text, pattern)));
        matches += expected == Result::Match;
        invalid += expected == Result::Invalid;
    }
    // The alphabets must exercise every outcome, or the comparison proves little.
    QVERIFY(matches > 1000);
    QVERIFY(invalid > 1000);
    QVERIFY(20000 - matches - invalid > 1000);
}

// A megabyte of text against patterns that make a naive backtracking matcher
// quadratic. Only that it returns, with the right answers, is checked here;
// the speed itself is measured by the benchmarks.
void TestWildcard::longTextsStayLinear() {
    QString big(1 << 20, u'a');
    QVERIFY(!Pattern(u"*a*b*c*").matches(big));
    QVERIFY(!Pattern(u"*a*b*c*").matches(big, true));
    QVERIFY(!Pattern(u"*aaaaaaaaab*").matches(big, true));
    QVERIFY(!Pattern(u"*a?a#*").matches(big));
    big[big.size() / 2] = u'B';
    big[big.size() - 1] = u'c';
    QVERIFY(Pattern(u"*a*b*c*").matches(big, true));
    QVERIFY(!Pattern(u"*a*b*c*").matches(big));
    QVERIFY(Pattern(u"*a[!a]a*c").matches(big));
}

QTEST_APPLESS_MAIN(TestWildcard)
#include "tst_wildcard.moc"
