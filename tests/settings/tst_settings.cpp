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

// Writes a raw value the way another version or a hand edit could leave it.
void storeRaw(const QString &key, const QString &value) {
    QSettings store(QStringLiteral("VemoTools"), QStringLiteral("Vemo文本收集器"));
    store.setValue(QStringLiteral("Vemo文本收集器/") + key, value);
}

std::string utf8(const QString &s) {
    return s.toUtf8().toStdString();
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
  private slots:
    void init() { env.resetSettings(); }

    void freshStoreGivesEveryDefault_data();
    void freshStoreGivesEveryDefault();
    void valueOutOfFormIsTreatedAsAbsent_data();
    void valueOutOfFormIsTreatedAsAbsent();
    void valuesInFormAreKept();
    void writtenFormsOfBooleansAndNumbers();
    void freeTextSurvivesTheStoreUnchanged();

    void bootStartNamesTheRunningProgram();
    void shortcutDropsLnkAndPointsIntoProgramFolder();

  private:
    TestEnv env;
};

void TestSettings::freshStoreGivesEveryDefault_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    // What the program passes as default at its read sites, and what comes back.
    QTest::newRow("left") << "Vemo_left"
                          << "12000";
    QTest::newRow("top") << "Vemo_Top"
                         << "200";
    QTest::newRow("tray") << "显示到系统托盘"
                          << "True";
    QTest::newRow("icon double-click") << "小图标双击"
                                       << "识别剪贴板内容";
    QTest::newRow("ctrl+c") << "连续两次Ctrl+C新增"
                            << "1";
    QTest::newRow("hotkey text") << "呼出快捷键"
                                 << "(默认)Ctrl+E";
    QTest::newRow("hotkey value") << "呼出快捷键值"
                                  << "69";
    QTest::newRow("boot") << "开机启动"
                          << "0";
    QTest::newRow("shortcut") << "快捷方式"
                              << "0";
    QTest::newRow("click mode") << "列表执行方式"
                                << "单击执行";
    QTest::newRow("auto close") << "窗体自动关闭"
                                << "1";
    QTest::newRow("last record") << "最近一次记录"
                                 << "";
    QTest::newRow("editor group") << "ChangeCode MoudleName"
                                  << "";
    QTest::newRow("editor type") << "ChangeCode TypeName"
                                 << "Sub";
    QTest::newRow("editor dblclick") << "Textbox双击方式"
                                     << "清空内容";
}

void TestSettings::freshStoreGivesEveryDefault() {
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const settings::Key *known = settings::findKey(key);
    QVERIFY2(known, qPrintable(key));
    QCOMPARE(QString::fromUtf8(known->defaultValue), expected);
    QCOMPARE(GetSet(key, QString::fromUtf8(known->defaultValue)), expected);
    // Defaults handed over as numbers and Booleans arrive in their text form.
    QCOMPARE(GetSet(settings::keys::VemoLeft, 12000), QStringLiteral("12000"));
    QCOMPARE(GetSet(settings::keys::ShowInTray, true), QStringLiteral("True"));
    QCOMPARE(settings::allKeys().size(), 15);
}

void TestSettings::valueOutOfFormIsTreatedAsAbsent_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QVariant>("fallback");
    QTest::addColumn<QString>("expected");
    QTest::newRow("check state yes") << "窗体自动关闭"
                                     << "yes" << QVariant(1) << "1";
    QTest::newRow("check state 2") << "开机启动"
                                   << "2" << QVariant(0) << "0";
    QTest::newRow("boolean maybe") << "显示到系统托盘"
                                   << "maybe" << QVariant(true) << "True";
    QTest::newRow("hotkey not in list") << "呼出快捷键"
                                        << "Ctrl+E" << QVariant("(默认)Ctrl+E") << "(默认)Ctrl+E";
    QTest::newRow("hotkey lower case") << "呼出快捷键"
                                       << "ctrl+a" << QVariant("(默认)Ctrl+E") << "(默认)Ctrl+E";
    QTest::newRow("number letters") << "Vemo_left"
                                    << "abc" << QVariant(12000) << "12000";
    QTest::newRow("number empty") << "Vemo_Top"
                                  << "" << QVariant(200) << "200";
}

void TestSettings::valueOutOfFormIsTreatedAsAbsent() {
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QVariant, fallback);
    QFETCH(QString, expected);
    storeRaw(key, stored);
    QCOMPARE(GetSet(key, fallback), expected);
}

void TestSettings::valuesInFormAreKept() {
    SaveSet(settings::keys::HotkeyText, QStringLiteral("Ctrl+F5"));
    SaveSet(settings::keys::HotkeyValue, 116);
    SaveSet(settings::keys::ListAutoClose, QStringLiteral("0"));
    SaveSet(settings::keys::VemoLeft, -450);
    // Any text is a click mode: other texts mean "neither click executes".
    SaveSet(settings::keys::ListClickMode, QStringLiteral("从不"));
    QCOMPARE(GetSet(settings::keys::HotkeyText, QStringLiteral("(默认)Ctrl+E")), QStringLiteral("Ctrl+F5"));
    QCOMPARE(GetSet(settings::keys::HotkeyValue, 69), QStringLiteral("116"));
    QCOMPARE(GetSet(settings::keys::ListAutoClose, 1), QStringLiteral("0"));
    QCOMPARE(GetSet(settings::keys::VemoLeft, 12000), QStringLiteral("-450"));
    QCOMPARE(GetSet(settings::keys::ListClickMode, QStringLiteral("单击执行")), QStringLiteral("从不"));
}

void TestSettings::writtenFormsOfBooleansAndNumbers() {
    SaveSet(settings::keys::ShowInTray, false);
    QCOMPARE(GetSet(settings::keys::ShowInTray, true), QStringLiteral("False"));
    SaveSet(settings::keys::ShowInTray, true);
    QCOMPARE(GetSet(settings::keys::ShowInTray, false), QStringLiteral("True"));

    // Window coordinates come from floating-point twips: whole values without a fraction.
    SaveSet(settings::keys::VemoLeft, 13500.0f);
    QCOMPARE(GetSet(settings::keys::VemoLeft, 12000), QStringLiteral("13500"));
    SaveSet(settings::keys::VemoTop, 3000.0);
    QCOMPARE(GetSet(settings::keys::VemoTop, 200), QStringLiteral("3000"));
    SaveSet(settings::keys::VemoTop, 1234.5);
    QCOMPARE(GetSet(settings::keys::VemoTop, 200), QStringLiteral("1234.5"));
}

void TestSettings::freeTextSurvivesTheStoreUnchanged() {
    // The last-used entry separates its columns with U+0008 and may hold any
    // text the user collected: line breaks, INI punctuation, quotes, Chinese.
    const QChar bs(0x0008);
    const QString value = QString(bs) + QStringLiteral("★★　标题; = [组]") + bs +
                          QStringLiteral("第一行\r\n第二行\t\"引号\"\\") + bs + bs + QStringLiteral("常用") +
                          bs + QStringLiteral("  前后空格  ") + bs + QStringLiteral("42") + bs;
    SaveSet(settings::keys::LastRecord, value);
    const QString back = GetSet(settings::keys::LastRecord, QString());
    QCOMPARE(back, value);
    QCOMPARE(back.split(bs).size(), 8);
}

void TestSettings::bootStartNamesTheRunningProgram() {
    FakePlatformGuard fake;
    const QString path = QCoreApplication::applicationFilePath();
    const QString name = QFileInfo(path).completeBaseName();
    UsedCode::AddBootStart();
    UsedCode::RemoveBootStart();
    UsedCode::RemoveBootStart(); // removing a missing entry is harmless and silent
    const std::vector<std::string> expected{"boot+:" + utf8(name) + ":" + utf8(path), "boot-:" + utf8(name),
                                            "boot-:" + utf8(name)};
    QCOMPARE(fake->log, expected);
    QCOMPARE(name, QStringLiteral("tst_settings"));
    QVERIFY(env.boxes.isEmpty());
}

void TestSettings::shortcutDropsLnkAndPointsIntoProgramFolder() {
    FakePlatformGuard fake;
    const QString folder = QCoreApplication::applicationDirPath();
    QCOMPARE(UsedCode::ProgramFolder(), folder);
    UsedCode::MakeShortcut(QStringLiteral("Vemo文本收集器.lnk"), QStringLiteral("vemo"),
                           QStringLiteral("/x/a.ico"));
    UsedCode::MakeShortcut(QStringLiteral("Other.LNK"), QStringLiteral("vemo"), QStringLiteral("/x/a.ico"));
    // The program's own: the running executable with the icon file shipped beside it.
    UsedCode::MakeProgramShortcut();
    const std::vector<std::string> expected{
        "shortcut:Vemo文本收集器:" + utf8(folder) + "/vemo:/x/a.ico",
        "shortcut:Other:" + utf8(folder) + "/vemo:/x/a.ico",
        "shortcut:Vemo文本收集器:" + utf8(folder) + "/tst_settings:" + utf8(folder) + "/Vemo文本收集器.ico",
    };
    QCOMPARE(fake->log, expected);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
