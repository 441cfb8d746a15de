// The quick list's rows and categories, built from a record cache without widgets.
#include "Wildcard.h"
#include "quick_list/QuickListLoader.h"
#include "store/DataEdit.h"

#include <QTest>

using namespace quicklist;

namespace {

struct Rec {
    QString id, group, title, text, common;
};

RecordCache cacheOf(const QList<Rec> &records) {
    std::vector<std::vector<QVariant>> columns(7);
    for (const Rec &r : records) {
        const QVariantList values{r.id.toInt(), r.group,          "Function", r.title,
                                  r.text,       "20240101000000", r.common};
        for (int c = 0; c < 7; ++c)
            columns[size_t(c)].push_back(values[c]);
    }
    return RecordCache(DataEdit::RowArray(columns));
}

QString lastUsedOf(const QStringList &columns1to7) {
    return LastUsedSeparator + columns1to7.join(LastUsedSeparator);
}

QStringList column(const QuickListLoader &loader, int c) {
    QStringList out;
    for (int r = 0; r < loader.rowCount(); ++r)
        out << loader.text(r, c);
    return out;
}

// Lists the IDs a search of the whole cache finds.
QStringList found(QuickListLoader &loader, const QString &search) {
    loader.load(QStringLiteral("*"), true, search, QString());
    return column(loader, col::Id);
}

// The library of most cases: common records first, as the store orders them.
const QList<Rec> Sample = {
    {"11", "SQL", "★★　select all", "SELECT * FROM t", "常用"},
    {"12", "邮件", "回复模板", "您好，已收到。", "常用"},
    {"13", "常用", "grouped common", "not marked", ""},
    {"14", "SQL", "update row", "UPDATE t SET a=1", ""},
    {"15", "Greek", "ΑΒΓ title", "ΔΕΖ body", ""},
    {"16", "sql", "Проверка", "Текст 2024", ""},
};

const QString LastUsed = lastUsedOf({"上次标题", "上次内容", "", "", "SQL", "99", "详"});

} // namespace

class TestQuickListLoader : public QObject {
    Q_OBJECT

  private slots:
    void categoryRowsKeepCacheOrderAndNumbering() {
        QuickListLoader loader;
        loader.setCache(cacheOf(Sample));
        QVERIFY(loader.load(CommonCategory, false, QString(), QString()));
        // Common records and the group named "常用" (not marked common), in cache order.
        QCOMPARE(column(loader, col::Id), (QStringList{"11", "12", "13"}));
        QCOMPARE(column(loader, col::Number), (QStringList{"000", "001", "002"}));
        QCOMPARE(loader.colour(0), RowColour::Special);
        QCOMPARE(loader.colour(1), RowColour::Normal);
        // A group name is compared exactly: "SQL" does not list the group "sql".
        QVERIFY(loader.load(QStringLiteral("SQL"), false, QString(), QString()));
        QCOMPARE(column(loader, col::Id), (QStringList{"11", "14"}));
        // Every group counts for the categories, shown or not; "常用" once; "SQL" and "sql" are two.
        QCOMPARE(loader.categories(), (QStringList{"常用", "SQL", "邮件", "Greek", "sql"}));

        // Past 999 the number simply grows.
        QList<Rec> many;
        for (int i = 0; i < 1001; ++i)
            many << Rec{QString::number(i), "g", "t", "x", ""};
        loader.setCache(cacheOf(many));
        loader.load(QStringLiteral("g"), false, QString(), QString());
        QCOMPARE(loader.text(1000, col::Number), QStringLiteral("1000"));
    }

    // Only an entry of exactly eight parts adds the last-used row.
    void lastUsedRow() {
        const QStringList seven = {"上次标题", "上次内容", "", "", "SQL", "99", "详"};
        const QList<QPair<QString, bool>> entries = {{LastUsed, true},
                                                     {lastUsedOf(seven.mid(0, 6)), false},
                                                     {lastUsedOf(seven + QStringList{"x"}), false},
                                                     {QStringLiteral("plain"), false},
                                                     {QString(), false}};
        QuickListLoader loader;
        loader.setCache(cacheOf(Sample));
        for (const auto &[lastUsed, listed] : entries) {
            loader.load(CommonCategory, false, QString(), lastUsed);
            QCOMPARE(column(loader, col::Id),
                     listed ? QStringList({"99", "11", "12", "13"}) : QStringList({"11", "12", "13"}));
            QCOMPARE(loader.text(listed ? 1 : 0, col::Number), listed ? "001" : "000");
            QCOMPARE(loader.isLastUsedRow(0), listed);
        }
        loader.load(CommonCategory, false, QString(), LastUsed);
        QCOMPARE(loader.text(0, col::Number), LastUsedLabel);
        QCOMPARE(loader.text(0, col::Title), QStringLiteral("上次标题"));
        QCOMPARE(loader.text(0, col::Text), QStringLiteral("上次内容"));
        QCOMPARE(loader.colour(0), RowColour::LastUsed);
        QCOMPARE(loader.recordIndex(0), -1);
        // The last-used row stays first in a search that finds nothing else.
        loader.load(QStringLiteral("*"), true, QStringLiteral("zzz-nothing"), LastUsed);
        QCOMPARE(column(loader, col::Id), QStringList{"99"});
    }

    void search() {
        // Latin, Greek and Cyrillic fold both ways, Chinese stays as it is; "#" is one digit.
        const QList<QPair<QString, QStringList>> cases = {{"SELECT", {"11"}},
                                                          {"update", {"14"}},
                                                          {"αβγ", {"15"}},
                                                          {"ΔΕΖ", {"15"}},
                                                          {"ПРОВЕРКА", {"16"}},
                                                          {"已收到", {"12"}},
                                                          {"*", {"11", "12", "13", "14", "15", "16"}},
                                                          {"upd?te", {"14"}},
                                                          {"a=#", {"14"}},
                                                          {"set #", {}},
                                                          {"20##", {"16"}},
                                                          {"[xu]pdate", {"14"}},
                                                          {"update r[a-p]w", {"14"}},
                                                          {"回复模[!板]", {}},
                                                          {"grouped*marked", {"13"}}};
        QuickListLoader loader;
        loader.setCache(cacheOf(Sample));
        for (const auto &[search, ids] : cases) {
            QVERIFY(loader.load(QStringLiteral("*"), true, search, QString()));
            QVERIFY2(column(loader, col::Id) == ids, qPrintable(search));
        }
        // Numbers run over the matches only.
        found(loader, QStringLiteral("t"));
        QCOMPARE(column(loader, col::Number).mid(0, 3), (QStringList{"000", "001", "002"}));
    }

    void invalidPatternStopsBeforeTheFirstRecord() {
        QuickListLoader loader;
        loader.setCache(cacheOf(Sample));
        QVERIFY(!loader.load(QStringLiteral("*"), true, QStringLiteral("["), LastUsed));
        QCOMPARE(column(loader, col::Id), QStringList{"99"});
        QVERIFY(!loader.load(QStringLiteral("*"), true, QStringLiteral("a[b"), QString()));
        QCOMPARE(loader.rowCount(), 0);
        QVERIFY(loader.load(QStringLiteral("*"), true, QStringLiteral("[u]"), QString())); // closed is fine
        QVERIFY(loader.rowCount() > 0);
    }

    // The search runs over "title|text": the end of one and the start of the other.
    void searchAcrossTitleAndText() {
        QuickListLoader loader;
        loader.setCache(cacheOf(
            {{"1", "g", "Alpha", "Beta", ""}, {"2", "g", "alp", "other", ""}, {"3", "g", "x", "y|z", ""}}));
        const QList<QPair<QString, QStringList>>
            cases =
                {
                    {"ha|be", {"1"}},   {"a|b", {"1"}}, {"pha*et", {"1"}}, {"ha?be", {"1"}},
                    {"ha[|]be", {"1"}}, {"habe", {}},   {"alpha", {"1"}},  {"alp", {"1", "2"}},
                    {"y|z", {"3"}}, // a bar inside the text is found like any other character
                };
        for (const auto &[search, ids] : cases)
            QVERIFY2(found(loader, search) == ids, qPrintable(search));
    }

    // While typing, each search narrows the last one's matches; it must list
    // what a fresh search lists, also after the cache was refreshed.
    void typingNarrowsLikeAFreshSearch() {
        QList<Rec> records = Sample;
        records << Rec{"21", "*", "star group", "shown for the filter itself", ""}
                << Rec{"22", "g", "SELECTED", "x", ""} << Rec{"23", "g", "sel", "ect", ""};
        QuickListLoader typing;
        typing.setCache(cacheOf(records));
        for (const char *step :
             {"s", "se", "sel", "SELE", "select", "sel", "s?l", "sel", "elec", "sel|e", "x", "", "e"}) {
            QuickListLoader fresh;
            fresh.setCache(cacheOf(records));
            QCOMPARE(found(typing, step), found(fresh, step));
        }
        found(typing, QStringLiteral("sel"));
        records << Rec{"24", "g", "newly selected", "y", ""};
        typing.setCache(cacheOf(records));
        QVERIFY(found(typing, QStringLiteral("sele")).contains(QStringLiteral("24")));
    }

    // Searches without wildcards take a faster road; letters with more than
    // one raw form (Kelvin sign, dotted capital I, the three sigmas) included.
    void plainSearchAgreesWithTheMatcher() {
        const QString alphabet = QStringLiteral("kKKiIİσΣςabAB文本1|");
        quint32 seed = 12345;
        const auto randomText = [&](int maxLength) {
            const auto next = [&] { return ((seed = seed * 1103515245u + 12345u) >> 16) & 0x7fffu; };
            QString t;
            for (int n = int(next() % quint32(maxLength + 1)); n > 0; --n)
                t += alphabet[qsizetype(next() % quint32(alphabet.size()))];
            return t;
        };
        QList<Rec> records;
        for (int i = 0; i < 300; ++i)
            records << Rec{QString::number(i), "g", randomText(6), randomText(12), ""};
        QuickListLoader loader;
        loader.setCache(cacheOf(records));
        for (int s = 0; s < 200; ++s) {
            const QString search = randomText(3);
            const wildcard::Pattern pattern(wildcard::lowerCodeUnits("*" + search + "*"));
            QStringList expected;
            for (const Rec &r : records)
                if (pattern.matches(QString(r.title + u'|' + r.text), true))
                    expected << r.id;
            QCOMPARE(found(loader, search), expected);
        }
    }

    void emptyLibraryGivesHintRows() {
        QuickListLoader loader;
        for (bool search : {false, true}) {
            QVERIFY(loader.load(search ? QStringLiteral("*") : CommonCategory, search, QStringLiteral("["),
                                LastUsed));
            QCOMPARE(column(loader, col::Title), (QStringList{HintLine1, HintLine2}));
            QCOMPARE(column(loader, col::Number) + column(loader, col::Detail),
                     (QStringList{"", "", "", ""}));
            QVERIFY(loader.isHintRow(0) && loader.isHintRow(1));
        }
        QCOMPARE(loader.categories(), QStringList{CommonCategory});
    }

    // The library changed under the list (a record deleted through the menu):
    // the listed rows stay readable until the list is loaded again.
    void listedRowsSurviveACacheRefresh() {
        QuickListLoader loader;
        loader.setCache(cacheOf(Sample));
        loader.load(CommonCategory, false, QString(), QString());
        loader.setCache(cacheOf(Sample.mid(1)));
        QCOMPARE(column(loader, col::Title), (QStringList{"★★　select all", "回复模板", "grouped common"}));
        loader.load(CommonCategory, false, QString(), QString());
        QCOMPARE(column(loader, col::Id), (QStringList{"12", "13"}));
        QCOMPARE(loader.categories(), (QStringList{"常用", "邮件", "SQL", "Greek", "sql"}));
        loader.clearCache();
        QCOMPARE(loader.rowCount(), 0);
    }

    // Values as another program may have stored them: a NULL flag, a number as title.
    void cacheFromStoreResult() {
        QVERIFY(!RecordCache(DataEdit::RowArray()).isArray());
        std::vector<std::vector<QVariant>> columns = {
            {42, 7},    {"g", "g"}, {"Sub", "Sub"},      {"★★　marked", 1234},
            {"a", "b"}, {"t", "t"}, {"常用", QVariant()}};
        const RecordCache cache{DataEdit::RowArray(columns)};
        QCOMPARE(cache.size(), 2);
        QCOMPARE(cache.id(0), QStringLiteral("42"));
        QCOMPARE(cache.title(1), QStringLiteral("1234"));
        QCOMPARE(cache.common(1), QString());
        QVERIFY(cache.special(0) && !cache.special(1));
        // A NULL flag is not common: the record is listed under its group only.
        QuickListLoader loader;
        loader.setCache(cache);
        loader.load(CommonCategory, false, QString(), QString());
        QCOMPARE(column(loader, col::Id), QStringList{"42"});
    }
};

QTEST_GUILESS_MAIN(TestQuickListLoader)
#include "tst_quick_list_loader.moc"
