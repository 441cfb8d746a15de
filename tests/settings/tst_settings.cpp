// The settings store (defaults, value forms, round trips) and the start-with-
// the-system and shortcut chores that go through the platform layer.
#include "FakePlatform.h"
#include "TestEnv.h"
#include "settings/Settings.h"
#include "settings/StartEntries.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

namespace {

std::string utf8(const QString &s) {
    return s.toUtf8().toStdString();
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
    TestEnv env;

  private slots:
    void init() { env.resetSettings(); }

    // A value another version or a hand edit left in the wrong form counts as absent.
    void valueOutOfFormIsTreatedAsAbsent() {
        const QList<std::tuple<QString, QString, QVariant, QString>> cases = {
            {"窗体自动关闭", "yes", 1, "1"},
            {"开机启动", "2", 0, "0"},
            {"显示到系统托盘", "maybe", true, "True"},
            {"呼出快捷键", "Ctrl+E", "(默认)Ctrl+E", "(默认)Ctrl+E"},
            {"呼出快捷键", "ctrl+a", "(默认)Ctrl+E", "(默认)Ctrl+E"},
            {"Vemo_left", "abc", 12000, "12000"},
            {"Vemo_Top", "", 200, "200"},
            // Numbers the program could not turn into an int.
            {"Vemo_left", "nan", 12000, "12000"},
            {"Vemo_left", "inf", 12000, "12000"},
            {"Vemo_Top", "-infinity", 200, "200"},
            {"Vemo_Top", "1e30", 200, "200"},
            {"呼出快捷键值", "2147483648", 69, "69"},
            {"呼出快捷键值", "1e3", 69, "1e3"},
            {"Vemo_left", "-2147483648", 12000, "-2147483648"}};
        for (const auto &[key, stored, fallback, expected] : cases) {
            QSettings(QStringLiteral("VemoTools"), QStringLiteral("Vemo文本收集器"))
                .setValue(QStringLiteral("Vemo文本收集器/") + key, stored);
            QCOMPARE(GetSet(key, fallback), expected);
        }
    }

    void valuesInFormAreKeptInTheirWrittenForm() {
        // The last-used entry separates its columns with U+0008 and may hold any
        // text the user collected: line breaks, INI punctuation, quotes, Chinese.
        const QString lastUsed =
            QStringLiteral("\b★★　标题; = [组]\b第一行\r\n第二行\t\"引号\"\\\b\b常用\b  前后空格  \b42\b");
        const QList<std::tuple<QString, QVariant, QString>> cases = {
            {settings::keys::HotkeyText, "Ctrl+F5", "Ctrl+F5"},
            {settings::keys::HotkeyValue, 116, "116"},
            {settings::keys::ListAutoClose, "0", "0"},
            {settings::keys::VemoLeft, -450, "-450"},
            {settings::keys::ListClickMode, "从不", "从不"}, // other texts mean "neither click executes"
            {settings::keys::ShowInTray, false, "False"},
            {settings::keys::ShowInTray, true, "True"},
            // Window coordinates come from floating-point twips: whole values without a fraction.
            {settings::keys::VemoLeft, 13500.0f, "13500"},
            {settings::keys::VemoTop, 3000.0, "3000"},
            {settings::keys::VemoTop, 1234.5, "1234.5"},
            {settings::keys::LastRecord, lastUsed, lastUsed}};
        for (const auto &[key, value, expected] : cases) {
            SaveSet(key, value);
            QCOMPARE(GetSet(key, QStringLiteral("<absent>")), expected);
        }
        QCOMPARE(GetSet(settings::keys::LastRecord, QString()).split(u'\b').size(), 8);
    }

    void bootStartNamesTheRunningProgram() {
        FakePlatformGuard fake;
        const QString path = QCoreApplication::applicationFilePath();
        UsedCode::AddBootStart();
        UsedCode::RemoveBootStart();
        UsedCode::RemoveBootStart(); // removing a missing entry is harmless and silent
        const std::vector<std::string> expected{"boot+:tst_settings:" + utf8(path), "boot-:tst_settings",
                                                "boot-:tst_settings"};
        QCOMPARE(fake->log, expected);
        QVERIFY(env.boxes.isEmpty());
    }

    void shortcutDropsLnkAndPointsIntoProgramFolder() {
        FakePlatformGuard fake;
        const std::string folder = utf8(QCoreApplication::applicationDirPath());
        QCOMPARE(UsedCode::ProgramFolder(), QCoreApplication::applicationDirPath());
        UsedCode::MakeShortcut(QStringLiteral("Vemo文本收集器.lnk"), QStringLiteral("vemo"),
                               QStringLiteral("/x/a.ico"));
        UsedCode::MakeShortcut(QStringLiteral("Other.LNK"), QStringLiteral("vemo"),
                               QStringLiteral("/x/a.ico"));
        // The program's own: the running executable with the icon file shipped beside it.
        UsedCode::MakeProgramShortcut();
        const std::vector<std::string> expected{
            "shortcut:Vemo文本收集器:" + folder + "/vemo:/x/a.ico",
            "shortcut:Other:" + folder + "/vemo:/x/a.ico",
            "shortcut:Vemo文本收集器:" + folder + "/tst_settings:" + folder + "/Vemo文本收集器.ico",
        };
        QCOMPARE(fake->log, expected);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
