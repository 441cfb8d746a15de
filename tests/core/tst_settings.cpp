// The settings store: a value out of its key's form counts as absent; a value written reads back as it was.
#include "Program.h"
#include "Settings.h"
#include "TestEnv.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>

class TestSettings : public QObject {
    Q_OBJECT
    TestEnv env;
    Settings settings;

    template <typename T> T read(const SettingKey<T> &key, const QString &stored) {
        QSettings(program::Organization, program::Name).setValue(program::Name + '/' + key.name, stored);
        return settings.value(key);
    }
    QString stored(const char *name) {
        return QSettings(program::Organization, program::Name).value(program::Name + '/' + name).toString();
    }

  private slots:
    void init() { env.resetSettings(); }

    // A value another version or a hand edit left in the wrong form counts as absent.
    void valuesAndTheirForms() {
        // Numbers the program could not turn into an int, too.
        for (const char *absent : {"abc", "", " ", "12px", "nan", "inf", "-infinity", "1e30", "2147483648"})
            QVERIFY2(read(setting::IconLeft, absent) == 12000, absent);
        QVERIFY(read(setting::HotkeyKey, "1e3") == 1000 && read(setting::IconTop, "-2147483648") == INT_MIN);
        // Check boxes are "0" or "1", Booleans "True" or "False".
        QVERIFY(read(setting::StartWithSystem, "1") && !read(setting::ListClosesItself, "0"));
        QVERIFY(!read(setting::ShowInTray, "False") && read(setting::ShowInTray, "True"));
        for (const char *absent : {"yes", "2", "False"})
            QVERIFY2(read(setting::ListClosesItself, absent), absent);
        for (const char *absent : {"maybe", "0", "1"})
            QVERIFY2(read(setting::ShowInTray, absent), absent);
        // Only the entries of the hotkey list count; any text is a text.
        QCOMPARE(read(setting::HotkeyChoice, "Ctrl+F5"), QStringLiteral("Ctrl+F5"));
        for (const char *absent : {"Ctrl+E", "ctrl+a", "Ctrl+F13"})
            QCOMPARE(read(setting::HotkeyChoice, absent), QStringLiteral("(默认)Ctrl+E"));
        // Lines: a list the user wrote (commas in the INI file) reads as its items, one a line.
        QSettings(program::Organization, program::Name)
            .setValue(program::Name + "/粘贴按键规则", QStringList{"foot = Ctrl+Shift+V", " st = Ctrl+V"});
        QCOMPARE(settings.value(setting::PasteKeyLines), QStringLiteral("foot = Ctrl+Shift+V\n st = Ctrl+V"));

        // Values are written in their key's form and read back as they were.
        QSignalSpy changed(&settings, &Settings::changed);
        for (const bool on : {false, true}) {
            settings.setValue(setting::ShowInTray, on);
            settings.setValue(setting::ListClosesItself, on);
            settings.setValue(setting::IconLeft, on ? 13500 : -450);
            QCOMPARE(stored("显示到系统托盘") + stored("窗体自动关闭") + stored("Vemo_left"),
                     on ? "True113500" : "False0-450");
            QVERIFY(settings.value(setting::ShowInTray) == on &&
                    settings.value(setting::ListClosesItself) == on &&
                    settings.value(setting::IconLeft) == (on ? 13500 : -450));
        }
        // The last-used entry: columns parted by U+0008, line breaks, INI punctuation, quotes, Chinese.
        const QString lastUsed =
            QStringLiteral("\b★★　标题; = [组]\b第一行\r\n第二行\t\"引号\"\\#\b\b常用\b  前后空格  \b42\b");
        // It is written soon after the paste: read at once, stored a moment later.
        settings.setValueSoon(setting::LastUsedEntry, lastUsed);
        QCOMPARE(changed.size(), 7);
        QCOMPARE(changed.last().first().toString(), QStringLiteral("最近一次记录"));
        QCOMPARE(settings.value(setting::LastUsedEntry), lastUsed);
        QVERIFY(stored("最近一次记录").isEmpty());
        QTRY_COMPARE(stored("最近一次记录"), lastUsed);
        // A value written at once wins over one still waiting; one still
        // waiting when the settings go is stored then.
        settings.setValueSoon(setting::EditorGroup, "waiting");
        settings.setValue(setting::EditorGroup, "at once");
        QTest::qWait(700);
        QCOMPARE(stored("ChangeCode MoudleName"), QStringLiteral("at once"));
        {
            Settings going;
            going.setValueSoon(setting::EditorGroup, "on the way out");
        }
        QCOMPARE(stored("ChangeCode MoudleName"), QStringLiteral("on the way out"));
        // Read back from the file by a store that has not seen the write.
        const QString file = QSettings(program::Organization, program::Name).fileName();
        QVERIFY(QFile::copy(file, file + ".copy"));
        QCOMPARE(
            QSettings(file + ".copy", QSettings::IniFormat).value(program::Name + "/最近一次记录").toString(),
            lastUsed);
        QCOMPARE(settings.value(setting::LastUsedEntry), lastUsed);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
