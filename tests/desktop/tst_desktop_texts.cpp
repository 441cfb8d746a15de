// Awkward texts reach the library exactly as they came, code unit for code
// unit: copied and added through the icon, and stored, opened from the quick
// list and updated with only the title changed. The library is read back with
// the sqlite3 shell's hex().
#include "Desktop.h"

#include <QThread>
#include <QtTest>

namespace {

// A regular expression for xdotool: the plus sign is escaped.
const QString EditorTitle = QStringLiteral("^新增、修改内容---按Ctrl\\+C不放可快速新增$");
const QString AppTitle = QStringLiteral("^Vemo文本收集器$");
const QSize IconSize(48, 48);
const QSize ListSize(420, 643);

struct Sample {
    const char *name;
    QString text;
};

QString withChar(const char *before, char16_t c, const char *after) {
    return QString::fromUtf8(before) + QChar(c) + QString::fromUtf8(after);
}

QList<Sample> samples() {
    return {
        {"lone LF", QStringLiteral("Sub one()\nx = 1")},
        {"lone CR", QStringLiteral("Sub two()\rx = 2")},
        {"CR LF, trailing", QStringLiteral("Sub three()\r\nx = 3\r\n")},
        {"mixed line ends", QStringLiteral("Sub four()\rx\ny\r\nz\n\rw")},
        {"no-break space", withChar("Sub five", u'\u00a0', "x")},
        {"line separator", withChar("Sub six", u'\u2028', "x")},
        {"paragraph separator", withChar("Sub seven", u'\u2029', "x")},
        {"tabs", QStringLiteral("Sub eight\tx\t")},
        {"control character", withChar("Sub nine", u'\u0001', "x")},
        {"surrogate pair", QStringLiteral("Sub ten \U0001F600 x")},
        {"trailing LF", QStringLiteral("Sub eleven\n")},
        {"outer spaces", QStringLiteral("  Sub twelve  ")},
    };
}

QString hex(const QString &text) {
    return QString::fromLatin1(text.toUtf8().toHex().toUpper());
}

} // namespace

class DesktopTexts : public DesktopTest {
    Q_OBJECT
    QProcess *vemo = nullptr;
    QString icon;

    void key(const QString &keys) { display->xdo(QStringList{QStringLiteral("key")} + keys.split(u' ')); }
    // A click (or double-click) at a point of a window, in its own coordinates.
    void clickIn(const QString &window, int x, int y, int button = 1, int count = 1) {
        display->xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                      QString::number(y)});
        QThread::msleep(150);
        display->xdo({QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(count),
                      QStringLiteral("--delay"), QStringLiteral("80"), QString::number(button)});
    }
    QString windowOfSize(const std::function<bool(QSize)> &fits, int timeoutMs = 8000) {
        return install->waitForWindowOf(vemo, fits, timeoutMs);
    }
    static bool other(QSize s) { return s != IconSize && s != ListSize; }
    // Answers a box titled like the program once it has the keyboard.
    bool answer(const QString &keys) {
        QString box;
        const auto found = [&] {
            for (const QString &id : display
                                         ->xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                QStringLiteral("--name"), AppTitle})
                                         .split(u'\n', Qt::SkipEmptyParts))
                if (other(install->geometry(id).size()))
                    return !(box = id).isEmpty();
            return false;
        };
        if (!waitUntil(found, 8000))
            return false;
        display->xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), box});
        key(keys);
        return waitUntil([&] { return !install->windowsOf(vemo).contains(box); }, 5000);
    }

  private slots:
    void init() {
        DesktopTest::init();
        if (!install)
            return;
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        install->setSetting(QStringLiteral("Textbox双击方式"), QStringLiteral("复制内容"));
        vemo = install->start();
        icon = windowOfSize([](QSize s) { return s == IconSize; }, 15000);
        QVERIFY(!icon.isEmpty());
    }

    void copiedTextIsAddedAsItCame() {
        QStringList wrong;
        for (const Sample &s : samples()) {
            install->sql(QStringLiteral("DELETE FROM VBcode"));
            display->setClipboard(s.text);
            QVERIFY2(display->clipboard() == s.text, s.name); // xclip carries the text itself
            clickIn(icon, 24, 24, 1, 2);
            const QString editor = install->waitForWindow(EditorTitle, 8000);
            QVERIFY2(!editor.isEmpty(), s.name);
            clickIn(editor, 317, 97); // "新增"
            QVERIFY2(
                waitUntil([&] { return install->sql(QStringLiteral("SELECT count(*) FROM VBcode")) == "1"; },
                          8000),
                s.name);
            const QString stored = install->sql(QStringLiteral("SELECT hex(Code) FROM VBcode"));
            if (stored != hex(s.text))
                wrong << QStringLiteral("%1: %2 stored as %3").arg(s.name, hex(s.text), stored);
            QVERIFY(waitUntil([&] { return install->waitForWindow(EditorTitle, 100).isEmpty(); }, 5000));
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }

    void retitledRecordKeepsItsText() {
        QStringList wrong;
        int id = 0;
        for (const Sample &s : samples()) {
            ++id;
            install->sql(QStringLiteral("DELETE FROM VBcode; INSERT INTO VBcode VALUES (%1, '工具', 'Sub', "
                                        "'T%1', CAST(X'%2' AS TEXT), '20200101000000', '常用');")
                             .arg(id)
                             .arg(hex(s.text)));
            display->setClipboard(QStringLiteral("-"));
            clickIn(icon, 24, 24);
            const QString list = windowOfSize([](QSize s) { return s == ListSize; });
            QVERIFY2(!list.isEmpty(), s.name);
            clickIn(list, 192, 39, 3); // the first row
            QVERIFY2(!windowOfSize(other, 5000).isEmpty(), "no menu appeared");
            QThread::msleep(100);
            key(QStringLiteral("e")); // "修改内容"
            const QString editor = install->waitForWindow(EditorTitle, 8000);
            QVERIFY2(!editor.isEmpty(), s.name);

            // "复制内容" on a double-click: the clipboard gets the text as stored.
            clickIn(editor, 150, 250, 1, 2);
            if (!waitUntil([&] { return display->clipboard() != QLatin1String("-"); }, 3000) ||
                display->clipboard() != s.text)
                wrong << QStringLiteral("%1: %2 copied as %3")
                             .arg(s.name, hex(s.text), hex(display->clipboard()));

            clickIn(editor, 300, 71); // the title box
            key(QStringLiteral("End x"));
            clickIn(editor, 249, 97); // "更新"
            QVERIFY2(answer(QStringLiteral("y")), s.name);
            QVERIFY2(answer(QStringLiteral("Return")), s.name); // "修改完成"
            const QString title = QStringLiteral("T%1x").arg(id);
            QVERIFY2(waitUntil(
                         [&] { return install->sql(QStringLiteral("SELECT CodeName FROM VBcode")) == title; },
                         5000),
                     s.name);
            const QString stored = install->sql(QStringLiteral("SELECT hex(Code) FROM VBcode"));
            if (stored != hex(s.text))
                wrong << QStringLiteral("%1: %2 stored as %3").arg(s.name, hex(s.text), stored);

            // The next opening of the list reads the library afresh.
            const QString open = windowOfSize([](QSize s) { return s == ListSize; }, 300);
            if (!open.isEmpty()) {
                display->xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), open});
                key(QStringLiteral("Escape"));
                QVERIFY(waitUntil([&] { return !install->windowsOf(vemo).contains(open); }, 5000));
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(DesktopTexts)
#include "tst_desktop_texts.moc"
