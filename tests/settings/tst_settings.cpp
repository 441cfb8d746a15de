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

    void freshStoreGivesEveryDefault() {
        const QList<QPair<QString, QString>> defaults = {{"Vemo_left", "12000"},
                                                         {"Vemo_Top", "200"},
                                                         {"显示到系统托盘", "True"},
                                                         {"小图标双击", "识别剪贴板内容"},
                                                         {"连续两次Ctrl+C新增", "1"},
                                                         {"呼出快捷键", "(默认)Ctrl+E"},
                                                         {"呼出快捷键值", "69"},
                                                         {"开机启动", "0"},
                                                         {"快捷方式", "0"},
                                                         {"列表执行方式", "单击执行"},
                                                         {"窗体自动关闭", "1"},
                                                         {"最近一次记录", ""},
                                                         {"ChangeCode MoudleName", ""},
                                                         {"ChangeCode TypeName", "Sub"},
                                                         {"Textbox双击方式", "清空内容"}};
        QCOMPARE(settings::allKeys().size(), defaults.size());
        for (const auto &[key, expected] : defaults) {
            const settings::Key *known = settings::findKey(key);
            QVERIFY2(known, qPrintable(key));
            QCOMPARE(GetSet(key, QString::fromUtf8(known->defaultValue)), expected);
        }
        // Defaults handed over as numbers and Booleans arrive in their text form.
        QCOMPARE(GetSet(settings::keys::VemoLeft, 12000), QStringLiteral("12000"));
        QCOMPARE(GetSet(settings::keys::ShowInTray, true), QStringLiteral("True"));
    }

    // A value another version or a hand edit left in the wrong form counts as absent.
    void valueOutOfFormIsTreatedAsAbsent() {
        const QList<std::tuple<QString, QString, QVariant, QString>> cases = {
            {"窗体自动关闭", "yes", 1, "1"},
            {"开机启动", "2", 0, "0"},
            {"显示到系统托盘", "maybe", true, "True"},
            {"呼出快捷键", "Ctrl+E", "(默认)Ctrl+E", "(默认)Ctrl+E"},
            {"呼出快捷键", "ctrl+a", "(默认)Ctrl+E", "(默认)Ctrl+E"},
            {"Vemo_left", "abc", 12000, "12000"},
            {"Vemo_Top", "", 200, "200"}};
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
