// Pinyin search: the matcher on the cases users meet and against a slow
// reference that tries every spelling, and the quick list's rows with it.
#include "LibraryStore.h"
#include "PinyinMatcher.h"
#include "PinyinReference.h"
#include "SearchFilter.h"
#include "TestEnv.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
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
            // Spaces and apostrophes end a syllable, in either width; Chinese characters stand for
            // themselves; ü is v.
            {"会议纪要模板",
             {"hui yi", "hy jy", "hui'yi", "HUI YI", "hui　yi", "hui’yi", " hy", "hy ", "会议jy", "会yjy",
              "议jiyao"},
             {"hu iyi", "h uiyi", "会议jx", "会jy", "huiy ijy"}},
            {"西安地图", {"xi'an", "Xi'An", "xi an", "xian", "xa", "西an", "xi安"}, {"xia'n", "x'ian"}},
            {"先生", {"xian", "xians", "xi'", "xi"}, {"xi'an", "xi an", "xia'n"}},
            {"重庆火锅", {"chong qing", "重qing", "cq", "zhongqing", "重庆hg"}, {"重q ing", "庆重"}},
            {"绿色", {"lü", "lǜse", "LÜ", "lv se"}, {"lüe"}},
            // Spaces and punctuation in a title, full-width or not, are passed over.
            {"微信号：abc", {"wxhabc", "wxh abc", "xhab", "wxh"}, {"wxhbc"}},
            {"微信号: abc。", {"wxhabc", "habc"}, {"wxhac"}},
            {"重要 会议", {"zyhy", "zhongyaohuiyi"}, {}},
            // Today's readings only (not 合 ge + 肥 bi, 省 xian, 洋 xiang, 离 chi), every one of them.
            {"合肥", {"hf", "hefei", "gf"}, {"gb", "hb"}},
            {"省长", {"sz", "xz", "shengchang", "xingzhang"}, {"xian", "xianz"}},
            {"刘洋", {"ly", "liuyang"}, {"xian", "lx"}},
            {"离职交接清单", {"lzjjqd", "qingdan", "qingchan", "jjqs"}, {"cq", "czj", "jc"}},
        };
        for (const auto &c : cases) {
            for (const QString &search : c.yes + c.no) {
                const PinyinMatcher matcher(search);
                const bool want = c.yes.contains(search);
                QVERIFY2(want == (matcher.isActive() && matcher.matches(c.title)),
                         qPrintable(QStringLiteral("\"%1\" in \"%2\"").arg(search, c.title)));
            }
        }
        const struct {
            char16_t character;
            QStringList readings;
        } readings[] = {
            {u'行', {"hang", "heng", "xing"}},
            {u'略', {"lve"}},
            {u'会', {"hui", "kuai"}},
            {u'乐', {"le", "yue"}},
            {u'重', {"chong", "zhong"}},
            {u'单', {"chan", "dan", "shan"}},
            {u'合', {"ge", "he"}},
            {u'肥', {"fei"}},
            {u'省', {"sheng", "xing"}},
            {u'〇', {}},
            {u'a', {}},
        };
        for (const auto &r : readings)
            QVERIFY2(PinyinMatcher::readings(r.character) == r.readings,
                     qPrintable(QString(QChar(r.character)) + ": " +
                                PinyinMatcher::readings(r.character).join(',')));
        // No reading is longer than the bound the search relies on.
        for (char16_t c = 0x3400; c <= 0x9FFF; ++c)
            for (const QString &reading : PinyinMatcher::readings(c))
                QVERIFY(reading.size() <= PinyinMatcher::LongestReading);
        // Pinyin needs a letter or digit, and only letters, breaks and Chinese characters besides.
        for (const QString search : {"", " ", "'", "hy*", "h?", "会议", "hy-jy", "a+b", "〇a", "ｈ！"})
            QVERIFY2(!PinyinMatcher(search).isActive() && !PinyinMatcher(search).matches(u"会议"),
                     qPrintable(search));
    }

    // Random titles over polyphones, ü, one-letter readings, Latin letters in both widths
    // and characters outside the table, and searches that mostly spell a run of them.
    void agreesWithTheReference() {
        QRandomGenerator rng(2024);
        QStringList alphabet;
        for (const char32_t c : U"会行重长乐绿女略儿阿嗯双庄银要aAhHｈＵv1１ -〇：\U00020000\U0001F600")
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
            // Letters, breaks (a space or an apostrophe, anywhere), ü and a Chinese character.
            const QString letters = QStringLiteral("ahuinvgxeHU1 'ü会");
            if (!longRound && (rng.bounded(3) == 0 || title.isEmpty())) {
                for (int n = 1 + int(rng.bounded(5)); n > 0; --n)
                    search += letters[rng.bounded(int(letters.size()))];
            } else {
                for (qsizetype i = longRound ? 0 : rng.bounded(int(title.size())); i < title.size(); ++i) {
                    const QStringList ways = spellings(title[i]);
                    if (!longRound && rng.bounded(3) == 0)
                        break;
                    if (!ways.isEmpty())
                        search += ways[int(rng.bounded(int(ways.size())))];
                    if (rng.bounded(4) == 0)
                        search += letters[12 + rng.bounded(2)];
                }
                if (!search.isEmpty() && longRound && rng.bounded(2))
                    search[rng.bounded(int(search.size()))] = letters[rng.bounded(12)];
            }
            const PinyinMatcher matcher(search);
            const bool active = reference::pinyinActive(search);
            QCOMPARE(matcher.isActive(), active);
            const bool want = pinyinMatch(title, search);
            // The title's letters, worked out once per title, never turn away a title that spells it.
            if (want && !matcher.maySpell(PinyinMatcher::spellingMask(title.join(QString()))))
                QFAIL(qPrintable(QStringLiteral("prefilter: \"%1\" in \"%2\"").arg(search, title.join(QString()))));
            if (matcher.matches(title.join(QString())) != want ||
                matcher.matchesAtStart(title.join(QString())) != pinyinMatch(title, search, true))
                QFAIL(qPrintable(QStringLiteral("\"%1\" in \"%2\"").arg(search, title.join(QString()))));
            ++counts[want];
        }
        QVERIFY(counts[0] > 3000 && counts[1] > 3000);
    }

    // What a title can spell, held against a search before the title is walked: letters of
    // any reading, ü of a reading as "u" or "v", first letters where the search starts or
    // breaks, Latin letters and digits in both widths; Chinese characters of the search
    // need no letter.
    void titleLettersTurnAwayOnlyTitlesThatCannotSpell() {
        const struct {
            const char16_t *title, *search;
            bool may;
        } cases[] = {
            {u"绿色", u"lu", true},     {u"绿色", u"lvs", true},     {u"绿色", u"lü", true},
            {u"女儿", u"nu'e", true},   {u"会议纪要", u"会议jy", true}, {u"重庆", u"重qing", true},
            {u"重庆", u"zq", true},     {u"重庆", u"cq", true},      {u"重庆", u"qc", true},
            {u"ＶＢ代码", u"vbdm", true}, {u"表１", u"b1", true},      {u"表1", u"b１", true},
            {u"会议", u"uy", false},     {u"会议", u"hui'i", false},  {u"会议", u"hy2", false},
            {u"绿色", u"v", false},      {u"VB", u"vbx", false},      {u"西安", u"xi an", true},
        };
        for (const auto &c : cases) {
            const QString title = QString::fromUtf16(c.title), search = QString::fromUtf16(c.search);
            const PinyinMatcher matcher(search);
            QVERIFY2(matcher.maySpell(PinyinMatcher::spellingMask(title)) == c.may,
                     qPrintable(search + QStringLiteral(" in ") + title));
        }
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
            filter.search(search, lastUsed);
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

    // Among records the library's order leaves unordered (the same common flag and change
    // stamp), a title that starts with the search comes first; the order stays otherwise.
    void titlesStartingWithTheSearchComeFirstAmongTies() {
        RecordTable::Builder builder;
        const struct {
            int id;
            const char *title, *stamp, *flag;
        } records[] = {
            {1, "陕西西安", "20240101000000", "常用"}, {2, "西安地图", "20240101000000", "常用"},
            {3, "我的西安", "20230101000000", ""},     {4, "Xian notes", "20230101000000", ""},
            {5, "西安旅游", "20230101000000", ""},     {6, "西安行程", "20220101000000", ""},
            {7, "去西安", "20220101000000", ""},       {8, "老西安", "20210101000000", ""},
            {9, "  ：西安小吃", "20200101000000", ""},
        };
        for (const auto &r : records)
            builder.add(r.id, "g", QByteArray(r.title), "", QString::fromLatin1(r.stamp),
                        QString::fromUtf8(r.flag));
        SearchFilter filter;
        filter.setTable(builder.finish(true));
        const auto found = [&](const QString &search) {
            filter.search(search, QString());
            QStringList ids;
            for (int r = 0; r < filter.rowCount(); ++r)
                ids << filter.text(r, col::Id);
            return ids.join(' ');
        };
        QCOMPARE(found("xian"), QStringLiteral("2 1 4 5 3 6 7 8 9"));
        QCOMPARE(found("西安"), QStringLiteral("2 1 5 3 6 7 8 9"));
        QCOMPARE(found("xi'an"), QStringLiteral("2 1 4 5 3 6 7 8 9"));
        QCOMPARE(found("xian"), QStringLiteral("2 1 4 5 3 6 7 8 9")); // Backspace: the same order
        QCOMPARE(found("an"), QStringLiteral("1 2 3 4 5 6 7 8 9"));   // no title starts with it
    }

    // Typing on, Backspace and edits anywhere reuse what the searches before found: the rows
    // are always those of the same search made afresh.
    void searchesAsTypedListWhatAFreshSearchLists() {
        QRandomGenerator rng(22);
        const QStringList words = {"会议", "纪要", "西安", "先", "重庆", "hui",
                                   "xian", "Q",    "：",   " ",  "乐",   "绿"};
        QList<Rec> records;
        for (int i = 0; i < 80; ++i) {
            QString title;
            for (int n = 1 + int(rng.bounded(4)); n > 0; --n)
                title += words[int(rng.bounded(int(words.size())))];
            records.push_back({QString::number(i + 1), title, rng.bounded(4) == 0 ? "hy jy xi'an" : ""});
        }
        const RecordTable table = tableOf(records);
        SearchFilter typed;
        typed.setTable(table);
        const auto rows = [](const SearchFilter &f) {
            QStringList ids;
            for (int r = 0; r < f.rowCount(); ++r)
                ids << f.text(r, col::Id);
            return ids;
        };
        const QString keys = QStringLiteral("huiyjxaq '会重乐lv*");
        QString text;
        bool pinyinOn = true;
        for (int step = 0; step < 3000; ++step) {
            const int what = int(rng.bounded(10));
            if (what < 6)
                text += keys[int(rng.bounded(int(keys.size())))];
            else if (what < 9)
                text.chop(1);
            else if (!text.isEmpty())
                text.remove(int(rng.bounded(int(text.size()))), 1);
            if (rng.bounded(50) == 0)
                typed.setPinyinSearch(pinyinOn = !pinyinOn);
            typed.search(text, QString());
            SearchFilter fresh;
            fresh.setTable(table);
            fresh.setPinyinSearch(pinyinOn);
            fresh.search(text, QString());
            QCOMPARE(rows(typed).join(' '), rows(fresh).join(' '));
        }
    }
};

QTEST_GUILESS_MAIN(TestPinyin)
#include "tst_pinyin.moc"
