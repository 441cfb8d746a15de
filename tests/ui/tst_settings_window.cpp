// The settings window: what it writes back on closing, and what its system boxes ask for.
#include "Parts.h"
#include "Program.h"
#include "WindowTest.h"
#include "settings/SettingsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

class TestSettingsWindow : public QObject {
    Q_OBJECT
    TestEnv env;
    Settings settings;

    static QString stored(const QString &key) {
        return QSettings(program::Organization, program::Name).value(program::Name + "/" + key).toString();
    }

  private slots:
    void init() { env.resetSettings(); }

    void freshStoreWritesEveryKeyInOrder() {
        SettingsWindow window(settings);
        window.load();
        QSignalSpy written(&settings, &Settings::changed);
        window.close();
        QStringList keys;
        for (const QList<QVariant> &signal : written)
            keys << signal.at(0).toString() + "=" + stored(signal.at(0).toString());
        QCOMPARE(keys, (QStringList{"呼出快捷键=(默认)Ctrl+E", "开机启动=0", "快捷方式=0", "呼出快捷键值=69",
                                    "列表执行方式=单击执行", "连续两次Ctrl+C新增=1", "窗体自动关闭=1",
                                    "拼音搜索=1", "团队文本库="}));
    }

    // Any other click mode means neither click executes: it is kept as it is.
    void unknownClickModeSurvives() {
        settings.setValue(setting::ListClickMode, QStringLiteral("三击执行"));
        SettingsWindow window(settings);
        window.load();
        QCOMPARE(part<QComboBox>(&window, "clickModeBox")->currentText(), QStringLiteral("三击执行"));
        window.close();
        QCOMPARE(stored("列表执行方式"), QStringLiteral("三击执行"));
    }

    // The team library's connection string is stored as typed, but never with a password: then the
    // window says why and stays open with the text.
    void teamConnectionKeepsNoPassword() {
        SettingsWindow window(settings);
        window.load();
        window.show();
        window.teamConnectionBox()->setText(QStringLiteral("host=db user=alice password=secret"));
        window.close();
        QVERIFY(window.isVisible());
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(env.boxes[0].contains(QStringLiteral("不能写密码")));
        QCOMPARE(stored("团队文本库"), QString());
        window.teamConnectionBox()->setText(QStringLiteral(" host=db user=alice "));
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(stored("团队文本库"), QStringLiteral("host=db user=alice"));
    }

    // The test runs off the window's thread and ends in words.
    void testConnectionSaysWhatHappened() {
        SettingsWindow window(settings);
        window.load();
        window.teamConnectionBox()->setText(QStringLiteral("host=%1 dbname=none user=nobody").arg(env.dir()));
        window.testConnectionButton()->click();
        QVERIFY(!window.testConnectionButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(window.testConnectionButton()->isEnabled(), 15000);
        QVERIFY2(window.teamResultLabel()->text().startsWith(QStringLiteral("连接不上服务器")),
                 qPrintable(window.teamResultLabel()->text()));
    }

    // The system boxes act at once, also when loading checks them.
    void systemBoxesAskAtOnce() {
        settings.setValue(setting::StartWithSystem, true);
        settings.setValue(setting::Shortcuts, true);
        SettingsWindow window(settings);
        QSignalSpy start(&window, &SettingsWindow::startWithSystemChanged);
        QSignalSpy shortcuts(&window, &SettingsWindow::shortcutsRequested);
        window.load();
        window.startWithSystemBox()->click();
        QCOMPARE(start, (QList<QList<QVariant>>{{true}, {false}}));
        QCOMPARE(shortcuts.count(), 1);
        window.shortcutsBox()->click(); // unchecking leaves the shortcuts alone
        QCOMPARE(shortcuts.count(), 1);
        window.shortcutsBox()->click();
        QCOMPARE(shortcuts.count(), 2);
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settings_window.moc"
