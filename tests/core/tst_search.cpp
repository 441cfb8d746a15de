// The quick list search: the wildcard matcher against a slow reference reading
// of its rules, and the rows the list fills from a library read by the store.
#include "LibraryStore.h"
#include "SearchFilter.h"
#include "TestEnv.h"
#include "WildcardPattern.h"
#include "WildcardReference.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <vector>

using wildcard::Pattern;
using wildcard::Result;

namespace {

using reference::wildcardMatch;

// Every text of `yes` fits the pattern and none of `no`, for the matcher and the reference alike.
void fits(const QString &pattern, const QStringList &yes, const QStringList &no) {
    for (const QString &text : yes + no) {
        const Result want = yes.contains(text) ? Result::Match : Result::NoMatch;
        QVERIFY2(wildcard::match(text, pattern) == want && wildcardMatch(pattern, text) == want,
                 qPrintable(QStringLiteral("text \"%1\" pattern \"%2\"").arg(text, pattern)));
    }
}

QString randomText(QRandomGenerator &rng, const QString &alphabet, int maxLength) {
    QString s;
    for (int n = int(rng.bounded(maxLength + 1)); n > 0; --n)
        s += alphabet[int(rng.bounded(int(alphabet.size())))];
    return s;
}

// {ID, group, title, text, common flag}; a null flag is stored as NULL.
using Rec = QStringList;

const QList<Rec> Sample = {{"11", "SQL", "★★　select all", "SELECT * FROM t", "常用"},
                           {"12", "邮件", "回复模板", "您好，已收到。", "常用"},
                           {"13", "常用", "grouped common", "not marked", ""},
                           {"14", "SQL", "update row", "UPDATE t SET a=1", ""},
                           {"16", "sql", "Проверка", "Текст 2024", {}}};

const QString LastUsed =
    QStringList{"", "上次标题", "上次内容", "", "", "SQL", "99", "详"}.join(LastUsedSeparator);

QStringList column(const SearchFilter &filter, int c) {
    QStringList out;
    for (int r = 0; r < filter.rowCount(); ++r)
        out << filter.text(r, c);
    return out;
}

// The IDs a search of the whole cache lists.
QStringList found(SearchFilter &filter, const QString &search, const QString &lastUsed = {}) {
    filter.search(search, lastUsed);
    return column(filter, col::Id);
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT
    TestEnv env;

  private slots:
    void matcherAgreesWithTheRulesAndTheReference() {
        fits("", {""}, {"a"});
        fits("abc", {"abc"}, {"abcd", "ABC"});      // anchored, case-sensitive
        fits("ab*ba", {"abba", "abxyba"}, {"aba"}); // head and tail may not overlap
        fits("*a*b*c*", {"xaxbxcx", "abc"}, {"xcxbxax"});
        fits("a?c#", {"abc5"}, {"ac5", "abcb", "abc５"}); // "#" is 0-9 only
        fits("[abc][a-z][a-a][!abc]", {"bmad"}, {"dmad", "bMad", "bmbd", "bmaa", "bma"});
        fits("[-a][a-][!-a][a-c-e]", {"--b-", "aaze"}, {"b-b-", "---a", "aabd"}); // "-" as itself
        fits("[*][?][#][[]!a]", {"*?#[!a]"}, {"a?#[!a]"}); // so do wildcards in a list, "!" and "]" outside
        fits("a[]b[]][!]", {"ab]x"}, {"axb]x", "ab]"});    // an empty group takes no character
        const QString face = QString::fromUtf16(u"\U0001F600"); // a surrogate pair is two characters
        fits(QString::fromUtf16(u"a??b[\xD800-\xDBFF][\xDC00-\xDFFF]"), {"a" + face + "b" + face},
             {"a" + face + "xb"});
        // The search folds the text code unit by code unit; the pattern is given lower-cased.
        QCOMPARE(wildcard::lowerCodeUnits(QStringLiteral("ÉCOLE ΑΛΦΑ ПРИВЕТ 文本 Q") + face),
                 QStringLiteral("école αλφα привет 文本 q") + face);
        QVERIFY(Pattern(u"*école*[a-z][!q]").matches(u"ÉCOLE QX", true) &&
                !Pattern(u"[!q]").matches(u"Q", true));
        // An unclosed list or a descending range makes the pattern invalid, which is no mere mismatch.
        for (const QString p : {"[", "*[*", "a[bc", "[!", "[a]b[", "[z-a]", "*[9-0]"})
            QVERIFY(!Pattern(p).matches(u"[z-a]", true) && wildcard::match(u"[", p) == Result::Invalid &&
                    wildcardMatch(p, u"[") == Result::Invalid && wildcardMatch(p, u"") == Result::Invalid);

        // Random patterns and texts over alphabets rich in the wildcard characters, as given and folded.
        QRandomGenerator rng(20240517);
        const QString patternAlphabet = QString::fromUtf16(u"ab1*?#[]!-A\xD83D\xDE00");
        const QString textAlphabet = QString::fromUtf16(u"abAB1-]!*\xD83D\xDE00");
        int count[3] = {};
        for (int round = 0; round < 40000; ++round) {
            const QString pattern = randomText(rng, patternAlphabet, 6);
            const QString text = randomText(rng, textAlphabet, round % 2 ? 12 : 4);
            const Result expected = wildcardMatch(pattern, text);
            const bool folded = wildcardMatch(pattern, wildcard::lowerCodeUnits(text)) == Result::Match;
            if (wildcard::match(text, pattern) != expected || Pattern(pattern).matches(text, true) != folded)
                QFAIL(qPrintable(QStringLiteral("text \"%1\" pattern \"%2\"").arg(text, pattern)));
            ++count[int(expected)];
        }
        QVERIFY(count[0] > 1000 && count[1] > 1000 && count[2] > 1000); // or the comparison proves little
    }

    // The team's records joined after the member's own: their categories
    // after the own, every search over both (the own first), the texts and
    // marks of each side where they were.
    void teamRecordsFollowTheOwn() {
        RecordTable::Builder team;
        const QByteArray face = "\xf0\x9f\x98\x80";
        team.add(QStringLiteral("团队:7"), "团队·话术", "★★　客户回复", "select" + face + "\r\n\t", "2", {});
        team.add(QStringLiteral("团队:8"), "团队·话术", "问候", "您好 team only", "3", {});
        team.add(QStringLiteral("团队:9"), "团队·签名", "sig", "UPDATE signed", "1", {});
        const RecordTable own = env.tableOf(Sample);
        const RecordTable joined = RecordTable::joined(own, team.finish(true));
        QCOMPARE(joined.size(), int(Sample.size()) + 3);
        QVERIFY(!joined.tiesWithPrevious(int(Sample.size())));
        SearchFilter filter;
        filter.setTable(joined);
        QCOMPARE(filter.categories(), (QStringList{"常用", "SQL", "邮件", "sql", "团队·话术", "团队·签名"}));
        filter.showCategory(QStringLiteral("团队·话术"), QString());
        QCOMPARE(column(filter, col::Id), (QStringList{"团队:8", "团队:7"})); // the newest change first
        QCOMPARE(column(filter, col::Text)[1].toUtf8(), "select" + face + "\r\n\t");
        QVERIFY(filter.colour(1) == RowColour::Special);
        filter.showCategory(CommonFlag, QString());
        QCOMPARE(column(filter, col::Id), (QStringList{"11", "12", "13"})); // no team record is common
        // Both sides searched, the own first; a text held by one side only is found there only.
        QCOMPARE(found(filter, "select"), (QStringList{"11", "团队:7"}));
        QCOMPARE(found(filter, "update"), (QStringList{"14", "团队:9"}));
        QCOMPARE(found(filter, "team only"), QStringList{"团队:8"});
        QCOMPARE(found(filter, "Текст"), QStringList{"16"});
        QCOMPARE(found(filter, "s*ed"), QStringList{"团队:9"});
        QCOMPARE(found(filter, "khhf"), QStringList{"团队:7"}); // 客户回复 in pinyin
        QCOMPARE(found(filter, "hfmb"), QStringList{"12"});
        // Nothing to join: the own table as it was.
        QCOMPARE(RecordTable::joined(own, RecordTable()).categories(), own.categories());
    }

    void categoriesLastUsedAndHintRows() {
        SearchFilter filter;
        filter.setTable(env.tableOf(Sample));
        filter.showCategory(CommonFlag, QString());
        QCOMPARE(column(filter, col::Id), (QStringList{"11", "12", "13"})); // and the group named "常用"
        QVERIFY(filter.colour(0) == RowColour::Special && filter.colour(1) == RowColour::Normal);
        QCOMPARE(filter.categories(), (QStringList{"常用", "SQL", "邮件", "sql"}));
        // Only an entry of eight parts adds the last-used row before a group's records ("SQL" is not "sql").
        const QString sep = LastUsedSeparator;
        for (const QString &lastUsed :
             {LastUsed, LastUsed + sep, LastUsed.section(sep, 1), QString("plain")}) {
            filter.showCategory(QStringLiteral("SQL"), lastUsed);
            const int first = lastUsed == LastUsed ? 0 : 1;
            QCOMPARE(column(filter, col::Id), QStringList({"99", "11", "14"}).mid(first));
            QCOMPARE(column(filter, col::Number),
                     (first ? QStringList{"000", "001"} : QStringList{"最近一次", "001", "002"}));
            QCOMPARE(filter.isLastUsedRow(0), first == 0);
        }
        QCOMPARE(found(filter, "zzz", LastUsed), QStringList{"99"}); // first whatever a search finds
        QVERIFY(filter.colour(0) == RowColour::LastUsed && filter.recordIndex(0) == -1);
        QCOMPARE(found(filter, QString(200, u'e'), LastUsed), QStringList{"99"}); // longer than any entry
        // An invalid pattern stops the filling before the first record.
        QVERIFY(!filter.search(QStringLiteral("a[b"), LastUsed));
        QCOMPARE(column(filter, col::Id), QStringList{"99"});

        // The library changed under the list (a record deleted): the rows listed stay until the next filling.
        QCOMPARE(found(filter, "*"), (QStringList{"11", "12", "13", "14", "16"}));
        filter.setTable(env.tableOf(Sample.mid(1)));
        QCOMPARE(column(filter, col::Title).first(), QStringLiteral("★★　select all"));
        QCOMPARE(found(filter, "*"), (QStringList{"12", "13", "14", "16"}));
        filter.clearTable();
        QCOMPARE(filter.rowCount(), 0);
        // An empty library lists the hints, whatever is searched; one that could not be read lists nothing.
        QVERIFY(filter.search(QStringLiteral("["), LastUsed));
        QCOMPARE(column(filter, col::Title) + column(filter, col::Number),
                 (QStringList{HintLine1, HintLine2, "", ""}));
        QVERIFY(filter.isHintRow(1) && filter.categories() == QStringList{CommonFlag});
        filter.setReadFailed(true);
        filter.showCategory(CommonFlag, LastUsed);
        QCOMPARE(filter.rowCount(), 0);
    }

    // While typing, each search narrows the last one's matches; it must list what the reference finds,
    // letters with more than one raw form (Kelvin sign, dotted capital I, the three sigmas) included.
    void typingListsWhatTheReferenceFinds() {
        QRandomGenerator rng(12345);
        const QString alphabet = QStringLiteral("kKKiIİσΣςabAB文本1|");
        QList<Rec> records;
        for (int i = 0; i < 300; ++i)
            records << Rec{QString::number(i), "g", randomText(rng, alphabet, 6),
                           randomText(rng, alphabet, 12), ""};
        SearchFilter filter;
        filter.setPinyinSearch(false); // the wildcard rules alone; tst_pinyin types with pinyin on
        filter.setTable(env.tableOf(records));
        const QString typed = alphabet + alphabet + QStringLiteral("?*#[]");
        const auto lower = &wildcard::lowerCodeUnits;
        QString search;
        for (int key = 0; key < 200; ++key) { // a new word after every fourth key or so
            search = (rng.bounded(4) ? search : QString()) + typed[int(rng.bounded(int(typed.size())))];
            const QString pattern = u'*' + lower(search) + u'*';
            QStringList expected;
            for (const Rec &r : records)
                if (wildcardMatch(pattern, lower(r[2] + u'|' + r[3])) == Result::Match)
                    expected << r[0];
            QVERIFY2(found(filter, search) == expected, qPrintable(search));
        }
        // The library changed while typing: the next letter searches the new cache.
        found(filter, QStringLiteral("ab"));
        filter.setTable(env.tableOf(records << Rec{"901", "g", "newly added", "abab", ""}));
        QVERIFY(found(filter, QStringLiteral("aba")).contains(QStringLiteral("901")));
    }

    // Each record is held against a summary of its units and pairs of neighbouring units
    // before it is read, the summary of a long text being larger: no summary may turn away a
    // record that holds the search, whatever its length, fold or characters beyond the BMP.
    // Before the summaries are in, every record is read, and the search finds the same.
    void summariesTurnAwayOnlyRecordsThatCannotMatch() {
        QRandomGenerator rng(2207);
        QStringList pieces = {"k", "K", "\u212A", "i", "İ", "σ", "Σ", "ς", "a", "B", "文", "本", "1",
                              " ", "\U0001F600", "\U00020000", "é", "É"};
        const auto piecesOf = [&](int count) {
            QString s;
            for (; count > 0; --count)
                s += pieces[int(rng.bounded(int(pieces.size())))];
            return s;
        };
        QList<Rec> records;
        for (int i = 0; i < 200; ++i) {
            // Some texts long enough for the larger summaries.
            const int length = i % 10 == 0 ? 200 + int(rng.bounded(3000)) : int(rng.bounded(20));
            records << Rec{QString::number(i), "g", piecesOf(int(rng.bounded(6))), piecesOf(length), ""};
        }
        SearchFilter filter, unsummarised;
        filter.setPinyinSearch(false);
        unsummarised.setPinyinSearch(false);
        const RecordTable table = env.tableOf(records);
        QVERIFY(!table.isSummarised());
        filter.setTable(table.summarised());
        unsummarised.setTable(table);
        const auto lower = &wildcard::lowerCodeUnits;
        for (int round = 0; round < 400; ++round) {
            // Mostly a piece of a stored title or text, so that most searches find something.
            const Rec &from = records[int(rng.bounded(int(records.size())))];
            const QString source = from[rng.bounded(2) ? 3 : 2];
            QString search = piecesOf(1 + int(rng.bounded(4)));
            if (rng.bounded(4) && source.size() > 1) {
                const int at = int(rng.bounded(int(source.size()) - 1));
                search = source.mid(at, 1 + int(rng.bounded(6)));
                if (search.back().isHighSurrogate())
                    search.chop(1);
                if (!search.isEmpty() && search.front().isLowSurrogate())
                    search.remove(0, 1);
            }
            if (search.isEmpty())
                continue;
            QStringList expected;
            for (const Rec &r : records)
                if (lower(r[2]).contains(lower(search)) || lower(r[3]).contains(lower(search)))
                    expected << r[0];
            for (SearchFilter *f : {&filter, &unsummarised}) {
                f->showCategory(CommonFlag, QString()); // every search afresh
                QStringList listed = found(*f, search);
                std::sort(listed.begin(), listed.end(),
                          [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
                QVERIFY2(listed == expected, qPrintable(search));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
