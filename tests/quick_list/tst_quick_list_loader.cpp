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
        columns[0].push_back(r.id.toInt());
        columns[1].push_back(r.group);
        columns[2].push_back(QStringLiteral("Function"));
        columns[3].push_back(r.title);
        columns[4].push_back(r.text);
        columns[5].push_back(QStringLiteral("20240101000000"));
        columns[6].push_back(r.common);
    }
    return RecordCache(DataEdit::RowArray(columns));
}

QString lastUsedOf(const QStringList &columns1to7) {
    QString value;
    for (const QString &c : columns1to7)
        value += LastUsedSeparator + c;
    return value;
}

QStringList column(const QuickListLoader &loader, int c) {
    QStringList out;
    for (int r = 0; r < loader.rowCount(); ++r)
        out << loader.text(r, c);
    return out;
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

} // namespace

class TestQuickListLoader : public QObject {
    Q_OBJECT

  private slots:
    void categoryRowsKeepCacheOrderAndNumbering();
    void lastUsedRow_data();
    void lastUsedRow();
    void categoriesInFirstSeenOrder();
    void search_data();
    void search();
    void invalidPatternStopsBeforeTheFirstRecord();
    void searchAcrossTitleAndText();
    void typingNarrowsLikeAFreshSearch();
    void plainSearchAgreesWithTheMatcher();
    void emptyLibraryGivesHintRows();
    void listedRowsSurviveACacheRefresh();
    void cacheFromStoreResult();
};

void TestQuickListLoader::categoryRowsKeepCacheOrderAndNumbering() {
    QuickListLoader loader;
    loader.setCache(cacheOf(Sample));
    QVERIFY(loader.load(CommonCategory, false, QString(), QString()));
    // Common records and the group named "常用" (not marked common), in cache order.
    QCOMPARE(column(loader, col::Id), (QStringList{"11", "12", "13"}));
    QCOMPARE(column(loader, col::Number), (QStringList{"000", "001", "002"}));
    QCOMPARE(loader.text(0, col::Detail), DetailText);
    QCOMPARE(loader.text(0, col::Time), QString());
    QCOMPARE(loader.text(1, col::Group), QStringLiteral("邮件"));
    QCOMPARE(loader.text(1, col::Common), QStringLiteral("常用"));
    QCOMPARE(loader.text(2, col::Text), QStringLiteral("not marked"));
    QCOMPARE(loader.colour(0), RowColour::Special);
    QCOMPARE(loader.colour(1), RowColour::Normal);

    // A group name is compared exactly: "SQL" does not list the group "sql".
    QVERIFY(loader.load(QStringLiteral("SQL"), false, QString(), QString()));
    QCOMPARE(column(loader, col::Id), (QStringList{"11", "14"}));

    // Past 999 the number simply grows.
    QList<Rec> many;
    for (int i = 0; i < 1001; ++i)
        many << Rec{QString::number(i), "g", "t", "x", ""};
    loader.setCache(cacheOf(many));
    loader.load(QStringLiteral("g"), false, QString(), QString());
    QCOMPARE(loader.text(1000, col::Number), QStringLiteral("1000"));
}

void TestQuickListLoader::lastUsedRow_data() {
    QTest::addColumn<QString>("lastUsed");
    QTest::addColumn<bool>("listed");
    const QStringList seven = {"上次标题", "上次内容", "", "", "SQL", "99", "详"};
    QTest::newRow("eight parts") << lastUsedOf(seven) << true;
    QTest::newRow("seven parts") << lastUsedOf(seven.mid(0, 6)) << false;
    QTest::newRow("nine parts") << lastUsedOf(seven + QStringList{"x"}) << false;
    QTest::newRow("no separator") << QStringLiteral("plain") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestQuickListLoader::lastUsedRow() {
    QFETCH(QString, lastUsed);
    QFETCH(bool, listed);
    QuickListLoader loader;
    loader.setCache(cacheOf(Sample));
    loader.load(CommonCategory, false, QString(), lastUsed);
    QCOMPARE(loader.rowCount(), listed ? 4 : 3);
    const int first = listed ? 1 : 0;
    QCOMPARE(loader.text(first, col::Id), QStringLiteral("11"));
    QCOMPARE(loader.text(first, col::Number), listed ? QStringLiteral("001") : QStringLiteral("000"));
    QCOMPARE(loader.isLastUsedRow(0), listed);
    if (listed) {
        QCOMPARE(loader.text(0, col::Number), LastUsedLabel);
        QCOMPARE(loader.text(0, col::Title), QStringLiteral("上次标题"));
        QCOMPARE(loader.text(0, col::Text), QStringLiteral("上次内容"));
        QCOMPARE(loader.text(0, col::Time), LastUsedTime);
        QCOMPARE(loader.text(0, col::Id), QStringLiteral("99"));
        QCOMPARE(loader.colour(0), RowColour::LastUsed);
        QCOMPARE(loader.recordIndex(0), -1);
        // The last-used row stays first in a search that finds nothing else.
        loader.load(QStringLiteral("*"), true, QStringLiteral("zzz-nothing"), lastUsed);
        QCOMPARE(loader.rowCount(), 1);
        QVERIFY(loader.isLastUsedRow(0));
    }
}

void TestQuickListLoader::categoriesInFirstSeenOrder() {
    QuickListLoader loader;
    loader.setCache(cacheOf(Sample));
    // Every group counts, shown or not; "常用" once; "SQL" and "sql" are two keys.
    QCOMPARE(loader.categories(), (QStringList{"常用", "SQL", "邮件", "Greek", "sql"}));
    loader.setCache(cacheOf({{"1", "B", "t", "x", ""}, {"2", "A", "t", "x", ""}, {"3", "B", "t", "x", ""}}));
    QCOMPARE(loader.categories(), (QStringList{"常用", "B", "A"}));
}

void TestQuickListLoader::search_data() {
    QTest::addColumn<QString>("searchText");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("capitals find small letters") << "SELECT" << QStringList{"11"};
    QTest::newRow("small letters find capitals") << "update" << QStringList{"14"};
    QTest::newRow("greek folds") << "αβγ" << QStringList{"15"};
    QTest::newRow("greek capitals fold too") << "ΔΕΖ" << QStringList{"15"};
    QTest::newRow("cyrillic folds") << "ПРОВЕРКА" << QStringList{"16"};
    QTest::newRow("chinese as it is") << "已收到" << QStringList{"12"};
    QTest::newRow("star alone shows all") << "*" << QStringList{"11", "12", "13", "14", "15", "16"};
    QTest::newRow("question mark") << "upd?te" << QStringList{"14"};
    QTest::newRow("hash is a digit") << "a=#" << QStringList{"14"};
    QTest::newRow("hash needs a digit") << "set #" << QStringList{};
    QTest::newRow("digits") << "20##" << QStringList{"16"};
    QTest::newRow("bracket list") << "[xu]pdate" << QStringList{"14"};
    QTest::newRow("bracket range") << "update r[a-p]w" << QStringList{"14"};
    QTest::newRow("negated list") << "回复模[!板]" << QStringList{};
    QTest::newRow("star inside") << "grouped*marked" << QStringList{"13"};
}

void TestQuickListLoader::search() {
    QFETCH(QString, searchText);
    QFETCH(QStringList, ids);
    QuickListLoader loader;
    loader.setCache(cacheOf(Sample));
    QVERIFY(loader.load(QStringLiteral("*"), true, searchText, QString()));
    QCOMPARE(column(loader, col::Id), ids);
    // Numbers run over the matches only.
    for (int r = 0; r < loader.rowCount(); ++r)
        QCOMPARE(loader.text(r, col::Number), QStringLiteral("%1").arg(r, 3, 10, QChar(u'0')));
}

void TestQuickListLoader::invalidPatternStopsBeforeTheFirstRecord() {
    QuickListLoader loader;
    loader.setCache(cacheOf(Sample));
    const QString lastUsed = lastUsedOf({"上次", "内容", "", "", "g", "1", "详"});
    QVERIFY(!loader.load(QStringLiteral("*"), true, QStringLiteral("["), lastUsed));
    QCOMPARE(loader.rowCount(), 1);
    QVERIFY(loader.isLastUsedRow(0));
    QVERIFY(!loader.load(QStringLiteral("*"), true, QStringLiteral("a[b"), QString()));
    QCOMPARE(loader.rowCount(), 0);
    // A closed bracket is fine again.
    QVERIFY(loader.load(QStringLiteral("*"), true, QStringLiteral("[u]"), QString()));
    QVERIFY(loader.rowCount() > 0);
}

void TestQuickListLoader::searchAcrossTitleAndText() {
    QuickListLoader loader;
    loader.setCache(cacheOf(
        {{"1", "g", "Alpha", "Beta", ""}, {"2", "g", "alp", "other", ""}, {"3", "g", "x", "y|z", ""}}));
    const auto ids = [&](const QString &search) {
        loader.load(QStringLiteral("*"), true, search, QString());
        return column(loader, col::Id);
    };
    // The bar joins title and text: the end of one and the start of the other.
    QCOMPARE(ids(QStringLiteral("ha|be")), QStringList{"1"});
    QCOMPARE(ids(QStringLiteral("a|b")), QStringList{"1"});
    // Wildcards may span the bar too.
    QCOMPARE(ids(QStringLiteral("pha*et")), QStringList{"1"});
    QCOMPARE(ids(QStringLiteral("ha?be")), QStringList{"1"});
    QCOMPARE(ids(QStringLiteral("ha[|]be")), QStringList{"1"});
    // Neither part alone holds these; the join without the bar would.
    QCOMPARE(ids(QStringLiteral("habe")), QStringList{});
    QCOMPARE(ids(QStringLiteral("alpha")), QStringList{"1"});
    QCOMPARE(ids(QStringLiteral("alp")), (QStringList{"1", "2"}));
    // A bar inside the text is found like any other character.
    QCOMPARE(ids(QStringLiteral("y|z")), QStringList{"3"});
}

void TestQuickListLoader::typingNarrowsLikeAFreshSearch() {
    // Every search while typing must list what a fresh search lists.
    QList<Rec> records = Sample;
    records << Rec{"21", "*", "star group", "shown for the filter itself", ""}
            << Rec{"22", "g", "SELECTED", "x", ""} << Rec{"23", "g", "sel", "ect", ""};
    QuickListLoader typing;
    typing.setCache(cacheOf(records));
    const QStringList steps = {"s",   "se",   "sel",   "SELE", "select", "sel", "s?l",
                               "sel", "elec", "sel|e", "sel",  "x",      "",    "e"};
    for (const QString &step : steps) {
        QuickListLoader fresh;
        fresh.setCache(cacheOf(records));
        fresh.load(QStringLiteral("*"), true, step, QString());
        typing.load(QStringLiteral("*"), true, step, QString());
        QCOMPARE(column(typing, col::Id), column(fresh, col::Id));
    }
    // A refreshed cache is searched afresh, not through the old matches.
    typing.load(QStringLiteral("*"), true, QStringLiteral("sel"), QString());
    records << Rec{"24", "g", "newly selected", "y", ""};
    typing.setCache(cacheOf(records));
    typing.load(QStringLiteral("*"), true, QStringLiteral("sele"), QString());
    QVERIFY(column(typing, col::Id).contains(QStringLiteral("24")));
}

void TestQuickListLoader::plainSearchAgreesWithTheMatcher() {
    // Searches without wildcards take a faster road; letters with more than
    // one raw form (Kelvin sign, dotted capital I, the three sigmas) included.
    const QString alphabet = QStringLiteral("kKKiIİσΣςabAB文本1|");
    quint32 seed = 12345;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    const auto randomText = [&](int maxLength) {
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
        const wildcard::Pattern pattern(
            wildcard::lowerCodeUnits(QStringLiteral("*") + search + QStringLiteral("*")));
        QStringList expected;
        for (const Rec &r : records)
            if (pattern.matches(QString(r.title + u'|' + r.text), true))
                expected << r.id;
        loader.load(QStringLiteral("*"), true, search, QString());
        QCOMPARE(column(loader, col::Id), expected);
    }
}

void TestQuickListLoader::emptyLibraryGivesHintRows() {
    QuickListLoader loader;
    const QString lastUsed = lastUsedOf({"上次", "内容", "", "", "g", "1", "详"});
    for (bool search : {false, true}) {
        QVERIFY(loader.load(search ? QStringLiteral("*") : CommonCategory, search, QStringLiteral("["),
                            lastUsed));
        QCOMPARE(column(loader, col::Title), (QStringList{HintLine1, HintLine2}));
        QCOMPARE(column(loader, col::Number), (QStringList{"", ""}));
        QCOMPARE(column(loader, col::Detail), (QStringList{"", ""}));
        QVERIFY(loader.isHintRow(0) && loader.isHintRow(1));
    }
    QCOMPARE(loader.categories(), QStringList{CommonCategory});
}

void TestQuickListLoader::listedRowsSurviveACacheRefresh() {
    QuickListLoader loader;
    loader.setCache(cacheOf(Sample));
    loader.load(CommonCategory, false, QString(), QString());
    // The library changed under the list (a record deleted through the menu).
    loader.setCache(cacheOf(Sample.mid(1)));
    QCOMPARE(loader.text(0, col::Id), QStringLiteral("11"));
    QCOMPARE(loader.text(2, col::Title), QStringLiteral("grouped common"));
    loader.load(CommonCategory, false, QString(), QString());
    QCOMPARE(column(loader, col::Id), (QStringList{"12", "13"}));
    // The categories follow the new cache: "SQL" now first occurs after "邮件".
    QCOMPARE(loader.categories(), (QStringList{"常用", "邮件", "SQL", "Greek", "sql"}));

    loader.clearCache();
    QCOMPARE(loader.rowCount(), 0);
    QVERIFY(!loader.cache().isArray());
}

void TestQuickListLoader::cacheFromStoreResult() {
    QVERIFY(!RecordCache(DataEdit::RowArray()).isArray());
    QVERIFY(!RecordCache().isArray());
    std::vector<std::vector<QVariant>> columns(7);
    const auto add = [&](int id, const QString &group, const QString &title, const QVariant &used) {
        columns[0].push_back(id);
        columns[1].push_back(group);
        columns[2].push_back(QStringLiteral("Function"));
        columns[3].push_back(title);
        columns[4].push_back(title + QStringLiteral(" text"));
        columns[5].push_back(QStringLiteral("20240101120000"));
        columns[6].push_back(used);
    };
    add(42, QStringLiteral("g"), QStringLiteral("★★　marked"), QStringLiteral("常用"));
    add(7, QStringLiteral("g"), QStringLiteral("plain"), QVariant()); // a NULL IsUsed
    add(8, QStringLiteral("g"), QStringLiteral("number"), QVariant());
    columns[3].back() = 1234; // a title stored as a number by another program
    const RecordCache cache{DataEdit::RowArray(columns)};
    QCOMPARE(cache.size(), 3);
    QCOMPARE(cache.title(2), QStringLiteral("1234"));
    QCOMPARE(cache.text(2), QStringLiteral("number text"));
    QCOMPARE(cache.id(0), QStringLiteral("42"));
    QCOMPARE(cache.common(0), QStringLiteral("常用"));
    QCOMPARE(cache.common(1), QString());
    QVERIFY(cache.special(0));
    QVERIFY(!cache.special(1));
    QCOMPARE(cache.text(1), QStringLiteral("plain text"));

    // A NULL IsUsed is not common: the record is listed under its group only.
    QuickListLoader loader;
    loader.setCache(cache);
    loader.load(CommonCategory, false, QString(), QString());
    QCOMPARE(column(loader, col::Id), QStringList{"42"});
}

QTEST_GUILESS_MAIN(TestQuickListLoader)
#include "tst_quick_list_loader.moc"
