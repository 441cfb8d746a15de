// The settings window: what it writes back on closing, and what its system boxes ask for.
#include "Parts.h"
#include "Program.h"
#include "WindowTest.h"
#include "settings/SettingsWindow.h"

#include <QCheckBox>
#include <QComboBox>
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
                                    "拼音搜索=1"}));
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
