// Fields in stored texts: what each expands to, what stays as written, the
// caret's place and how a text box counts the characters after it.
#include "TextTemplate.h"

#include <QTest>

namespace {
// Monday 7 December 2026, 14:05:09.
const QDateTime Now(QDate(2026, 12, 7), QTime(14, 5, 9));
} // namespace

class TestTemplate : public QObject {
    Q_OBJECT
  private slots:
    void expansion_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("caret"); // -1: after the text
        auto row = [](const char *name, const QString &text, const QString &expected, int caret = -1) {
            QTest::newRow(name) << text << expected << caret;
        };
        row("date", "{{日期}}", "2026-12-07");
        row("date format", "{{日期:yyyy年M月d日}}", "2026年12月7日");
        row("date with day name", "{{日期:M月d日 dddd}}", "12月7日 星期一");
        row("date quoted letters", "{{日期:'Day' d}}", "Day 7");
        row("time", "{{时间}}", "14:05");
        row("time format", "{{时间:H点mm分ss秒}}", "14点05分09秒");
        row("time with ap", "{{时间:h:mm ap}}",
            QLocale(QLocale::Chinese, QLocale::China).toString(Now, u"h:mm ap"));
        row("weekday", "今天是{{星期}}", "今天是星期一");
        row("clipboard", "引用：{{剪贴板}}。", "引用：剪\n贴。");
        row("fill-in", "{{输入:姓名}}你好", "张三你好");
        row("same prompt twice", "{{输入:姓名}}/{{输入:姓名}}", "张三/张三");
        row("unanswered prompt", "[{{输入:电话}}]", "[]");
        row("answer with line breaks", "{{输入:地址}}!", "一行\r\n二行!");
        row("fill-in without prompt", "{{输入}}", "无提示");
        row("caret", "ab{{光标}}cd", "abcd", 2);
        row("second caret goes", "a{{光标}}b{{光标}}c", "abc", 1);
        row("adjacent fields", "{{日期}}{{时间}}{{星期}}{{光标}}{{输入:姓名}}", "2026-12-0714:05星期一张三",
            18);
        row("issue example", "{{日期}}|{{输入:姓名}}|{{光标}}!", "2026-12-07|张三|!", 14);
        row("empty format falls back", "{{日期:}} {{时间:}}", "2026-12-07 14:05");
        row("unknown letters fall back", "{{日期:yyyy-qq}} {{时间:HH:mm:xx}}", "2026-12-07 14:05");
        row("unclosed quote falls back", "{{日期:'yyyy}}", "2026-12-07");
        row("non-letter format", "{{日期:-}}", "2026-12-07");
        row("escaped field", "\\{{日期}} {{日期}}", "{{日期}} 2026-12-07");
        row("escaped caret", "a\\{{光标}}b", "a{{光标}}b");
        row("lone backslash stays", "C:\\dir {{星期}}", "C:\\dir 星期一");
        // Only the names above are fields; the braces of code stay as they are.
        row("unknown name", "{{名字}} {{date}} {{日期}}", "{{名字}} {{date}} 2026-12-07");
        row("web template", "{{ 日期 }} {{ x }} ${x} #{y} {}", "{{ 日期 }} {{ x }} ${x} #{y} {}");
        row("argument where none is taken", "{{星期:x}}{{光标:1}}{{剪贴板:}}",
            "{{星期:x}}{{光标:1}}{{剪贴板:}}");
        row("triple braces", "{{{日期}}}", "{2026-12-07}");
        row("unclosed", "{{日期", "{{日期");
        row("unclosed then field", "{{日期 {{时间}}", "{{日期 14:05");
        row("nested opening", "{{日期:{{时间}}}}", "{{日期:14:05}}");
        row("argument across lines", "{{输入:a\nb}}", "{{输入:a\nb}}");
        row("closing only", "}}{{光标}}}}", "}}}}", 2);
        row("surrogates around", "\U0001F600{{光标}}\U0001F600", "\U0001F600\U0001F600", 2);
    }
    void expansion() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(int, caret);
        const QHash<QString, QString> answers = {
            {"姓名", "张三"}, {"地址", "一行\r\n二行"}, {"输入", "无提示"}};
        const TemplateExpansion out = expandTemplate(text, Now, "剪\n贴", answers);
        QCOMPARE(out.text, expected);
        QCOMPARE(out.caret, qsizetype(caret));
    }

    void prompts() {
        const TextTemplate t(
            "{{输入:姓名}}{{输入:日期}}\\{{输入:转义}}{{输入:姓名}}{{输入}}{{输入:}}{{剪贴板}}");
        QCOMPARE(t.prompts(), QStringList({"姓名", "日期", "输入"}));
        QVERIFY(t.usesClipboard());
        QVERIFY(!TextTemplate("{{剪贴板:x}} \\{{剪贴板}}").usesClipboard());
    }

    // A text without fields is handed back as the same string: nothing is
    // copied, so a long one costs a scan for "{{" and no more.
    void textWithoutFieldsIsNotCopied() {
        const QString plain = QString("Sub x() ' {} ${a} {{ b }}\r\n").repeated(10 * 1024 * 1024 / 26);
        const TextTemplate t(plain);
        QVERIFY(!t.hasFields());
        const TemplateExpansion out = t.expand(Now, "clip", {});
        QVERIFY(out.text.constData() == plain.constData());
        QCOMPARE(out.caret, qsizetype(-1));
        QVERIFY(TextTemplate("\\{{日期}}").hasFields()); // the backslash goes
    }

    void charactersAfterTheCaret_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("count");
        QTest::newRow("plain") << "abcdef" << 2 << 4;
        QTest::newRow("at the end") << "abc" << 3 << 0;
        QTest::newRow("none") << "abc" << -1 << 0;
        QTest::newRow("CR LF is one") << "a\r\nb\nc" << 1 << 4;
        QTest::newRow("surrogate pair is one") << "x\U0001F600y" << 1 << 2;
        QTest::newRow("combining accent") << "xe\u0301" << 1 << 1;
        QTest::newRow("Chinese") << "张三，你好" << 2 << 3;
    }
    void charactersAfterTheCaret() {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(int, count);
        QCOMPARE(charactersAfter(text, caret), count);
    }

    void everyOfferedFieldExpands() {
        for (const TemplateFieldChoice &choice : templateFieldChoices()) {
            const TextTemplate t(choice.field);
            QVERIFY2(t.hasFields(), qPrintable(choice.field));
            QVERIFY2(!t.expand(Now, "c", {{"提示", "p"}}).text.contains(u"{{"), qPrintable(choice.field));
        }
    }
};

QTEST_APPLESS_MAIN(TestTemplate)
#include "tst_template.moc"
