// Pinyin search: the matcher on the cases users meet and against a slow
// reference that tries every spelling, and the quick list's rows with it.
#include "LibraryStore.h"
#include "PinyinMatcher.h"
#include "PinyinReference.h"
#include "SearchFilter.h"
#include "TestEnv.h"

#include <QRandomGenerator>
#include <QTest>
#include <vector>

namespace {

using reference::pinyinMatch;
const auto spellings = reference::pinyinSpellings;

struct Rec {
    QString id, title, text;
};

} // namespace

class TestPinyin : public QObject {
    Q_OBJECT
    TestEnv env;

    RecordTable tableOf(const QList<Rec> &records) {
        QList<QStringList> rows;
        for (const Rec &r : records)
            rows << QStringList{r.id, "g", r.title, r.text, ""};
        return env.tableOf(rows);
    }

  private slots:
    void matchesTheCasesUsersMeet() {
        const QString longRun = QString(20, u'双');
        const struct {
            QString title;
            QStringList yes, no;
        } cases[] = {
            {"会议纪要模板",
             {"hyjy", "huiyi", "huiyijiyao", "hyjiyao", "huiyjy", "HYJY", "yjym", "huiyijiyaomoban"},
             {"hjy", "uiyi", "hyjyx", "hyjymbm"}},
            {"★★　重要", {"zy", "zhongyao", "chongyao", "zhy"}, {"zzy", "zhongyaoo"}},
            // Every reading counts: 行 háng and xíng, 会 kuài, 乐 yuè, 长 cháng.
            {"银行卡号", {"yh", "yx", "yinhang", "yinxing", "hangkahao"}, {"yk", "yhx"}},
            {"会计音乐长短", {"kj", "kuaiji", "yy", "yinyue", "cd", "zd"}, {"kjl", "ll"}},
            {"SQL语句", {"sqlyj", "sqly", "qlyu", "SqLyJ", "ｓｑｌｙｊ"}, {"sqlj", "sqyj"}},
            {"VB代码", {"vb", "vbdm", "vbdaima", "ｖｂ"}, {"vd", "bvdm"}},
            // Tones and ü are ignored: 绿 lǜ/lù, 女 nǚ, 略 lüè.
            {"绿女略", {"lv", "lu", "lvnv", "lunu", "lvnvlve", "lunulue"}, {"v", "lvv", "lvu"}},
            {"路", {"lu"}, {"lv"}},
            // Outside the table, as themselves: 〇, a Greek letter, the surrogate pairs of
            // U+20000 (read hē elsewhere) and of an emoji, which break a run.
            {"二〇二四Ω", {"er", "e"}, {"erl", "eel", "o"}},
            {QString::fromUtf16(u"\U00020000会议"), {"hy"}, {"hhy"}},
            {QString::fromUtf16(u"会\U0001F600议"), {"hu", "yi"}, {"hy"}},
            // Full-width Latin letters and digits as their ASCII forms; digits as themselves.
            {"ＳＱＬ语句２", {"sqlyj", "ju2", "Ｓｑ"}, {"sqlyj3"}},
            {"2024年计划", {"2024njh", "4n"}, {"2024jh"}},
            {"", {}, {"a", "h"}},
            // Longer than a machine word: 66 and 70 letters.
            {longRun, {QString("shuang").repeated(11), QString(20, u's')}, {QString("shuang").repeated(21)}},
        };
        for (const auto &c : cases) {
            for (const QString &search : c.yes + c.no) {
                const PinyinMatcher matcher(search);
                const bool want = c.yes.contains(search);
                QVERIFY2(want == (matcher.isActive() && matcher.matches(c.title)),
                         qPrintable(QStringLiteral("\"%1\" in \"%2\"").arg(search, c.title)));
            }
        }
        QCOMPARE(PinyinMatcher::readings(u'行'), (QStringList{"hang", "heng", "xing"}));
        QCOMPARE(PinyinMatcher::readings(u'略'), QStringList{"lve"});
        QVERIFY(PinyinMatcher::readings(u'〇').isEmpty() && PinyinMatcher::readings(u'a').isEmpty());
        // Pinyin applies to Latin letters and digits alone.
        for (const QString search : {"", "hy ", "hy*", "h?", "会议", "hy-jy", "ｈ　"})
            QVERIFY2(!PinyinMatcher(search).isActive() && !PinyinMatcher(search).matches(u"会议"),
                     qPrintable(search));
    }

    // Random titles over polyphones, ü, one-letter readings, Latin letters in both widths
    // and characters outside the table, and searches that mostly spell a run of them.
    void agreesWithTheReference() {
        QRandomGenerator rng(2024);
        QStringList alphabet;
        for (const char32_t c : U"会行重长乐绿女略儿阿嗯双庄银要aAhHｈＵv1１ -〇\U00020000\U0001F600")
            if (c)
                alphabet << QString::fromUcs4(&c, 1);
        int counts[2] = {};
        for (int round = 0; round < 20000; ++round) {
            // Every 20th round a long title of Chinese characters spelled from its start, longer
            // than a machine word of positions, one letter changed in half of them.
            const bool longRound = round % 20 == 0;
            QStringList title;
            for (int n = longRound ? 30 + int(rng.bounded(10)) : int(rng.bounded(9)); n > 0; --n)
                title << alphabet[int(rng.bounded(longRound ? 15 : int(alphabet.size())))];
            QString search;
            const QString letters = QStringLiteral("ahuinvgxeHU1");
            if (!longRound && (rng.bounded(3) == 0 || title.isEmpty())) {
                for (int n = 1 + int(rng.bounded(5)); n > 0; --n)
                    search += letters[rng.bounded(12)];
            } else {
                for (qsizetype i = longRound ? 0 : rng.bounded(int(title.size())); i < title.size(); ++i) {
                    const QStringList ways = spellings(title[i]);
                    if (ways.isEmpty() || (!longRound && rng.bounded(3) == 0))
                        break;
                    search += ways[int(rng.bounded(int(ways.size())))];
                }
                if (longRound && rng.bounded(2))
                    search[rng.bounded(int(search.size()))] = letters[rng.bounded(12)];
            }
            const bool want = pinyinMatch(title, search);
            if (PinyinMatcher(search).matches(title.join(QString())) != want)
                QFAIL(qPrintable(QStringLiteral("\"%1\" in \"%2\"").arg(search, title.join(QString()))));
            ++counts[want];
        }
        QVERIFY(counts[0] > 3000 && counts[1] > 3000);
    }

    // The union of the wildcard and the pinyin matches, in list order, each record once,
    // after the last-used row; typing narrows the last search only where that is sound.
    void searchListsTheUnionInListOrder() {
        SearchFilter filter;
        filter.setTable(tableOf({{"1", "会议纪要模板", "周一"},
                                 {"2", "VB代码", "Dim a"},
                                 {"3", "普通", "remember hyjy"},
                                 {"4", "★★　重要", ""},
                                 {"5", "银行卡号", "6222"}}));
        const QString lastUsed =
            QStringList{"", "上次", "内容", "", "", "g", "99", "详"}.join(LastUsedSeparator);
        const auto found = [&](const QString &search) {
            filter.load(QStringLiteral("*"), true, search, lastUsed);
            QStringList ids;
            for (int r = 0; r < filter.rowCount(); ++r)
                ids << filter.text(r, col::Id);
            return ids;
        };
        QCOMPARE(found("hyjy"), (QStringList{"99", "1", "3"}));
        QCOMPARE(filter.text(2, col::Number), QStringLiteral("002"));
        QCOMPARE(found("zy"), (QStringList{"99", "4"}));
        QCOMPARE(found("VB"), (QStringList{"99", "2"}));
        QCOMPARE(found("hy*"), (QStringList{"99", "3"})); // wildcards: no pinyin
        // A longer search that does not begin with the last one is no narrowing of it.
        QCOMPARE(found("ui"), (QStringList{"99"}));
        QCOMPARE(found("hui"), (QStringList{"99", "1"}));
        filter.setPinyinSearch(false);
        QCOMPARE(found("hy"), (QStringList{"99", "3"}));
        filter.setPinyinSearch(true); // nor one made without pinyin
        QCOMPARE(found("hyj"), (QStringList{"99", "1", "3"}));
        QCOMPARE(found("yh"), (QStringList{"99", "5"}));
        // Pinyin may spell more letters than any entry has characters.
        filter.setTable(tableOf({{"1", "会议纪要", ""}}));
        QCOMPARE(found("huiyijiyao"), (QStringList{"99", "1"}));
    }
};

QTEST_GUILESS_MAIN(TestPinyin)
#include "tst_pinyin.moc"
