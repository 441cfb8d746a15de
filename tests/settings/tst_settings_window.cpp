// The settings window: what it shows for the stored values, what it writes
// back on closing and in which order, and the system chores its boxes run.
#include "FMain.h"
#include "FakePlatform.h"
#include "Forms.h"
#include "TestEnv.h"
#include "settings/Settings.h"
#include "settings/mSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTest>

namespace {

std::string utf8(const QString &s) {
    return s.toUtf8().toStdString();
}

QString stored(const QString &key) {
    QSettings store(QStringLiteral("VemoTools"), QStringLiteral("Vemo文本收集器"));
    return store.value(QStringLiteral("Vemo文本收集器/") + key, QStringLiteral("<absent>")).toString();
}

mSet *reopen(mSet *window) {
    window->close();
    return Forms::Form<mSet>::get();
}

} // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT
    TestEnv env;
    const std::string bootAdd = "boot+:tst_settings_window:" + utf8(QCoreApplication::applicationFilePath());
    const std::string bootRemove = "boot-:tst_settings_window";
    const std::string shortcut = "shortcut:Vemo文本收集器:" + utf8(QCoreApplication::applicationFilePath()) +
                                 ":" + utf8(QCoreApplication::applicationDirPath()) + "/Vemo文本收集器.ico";

  private slots:
    void init() {
        env.resetSettings();
        FMain::DoubleCtrlC = true;
    }
    void cleanup() { Forms::Form<mSet>::unload(); }

    void freshStoreWritesSevenKeysInOrder() {
        FakePlatformGuard fake;
        mSet *window = Forms::Form<mSet>::get();
        QStringList keys, texts;
        for (const auto &[key, value] : window->valuesToSave()) {
            keys << key;
            texts << settings::toText(value);
        }
        QCOMPARE(keys, (QStringList{"呼出快捷键", "开机启动", "快捷方式", "呼出快捷键值", "列表执行方式",
                                    "连续两次Ctrl+C新增", "窗体自动关闭"}));
        QCOMPARE(texts, (QStringList{"(默认)Ctrl+E", "0", "0", "69", "单击执行", "1", "1"}));
        QCOMPARE(stored(keys[0]), QStringLiteral("<absent>")); // nothing is stored before closing
        window->close();
        QVERIFY(!Forms::Form<mSet>::loaded());
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(stored(keys[i]), texts[i]);
        // Nothing was on: no system chore ran and nothing was said.
        QVERIFY(fake->log.empty());
        QVERIFY(env.boxes.isEmpty());
    }

    void hotkeyListAndMap() {
        FakePlatformGuard fake;
        QStringList texts;
        int codesOfE = 0;
        for (const auto &[text, code] : mSet::hotkeyEntries()) {
            texts << text;
            codesOfE += code == 69;
        }
        QCOMPARE(texts.size(), 38);
        QCOMPARE(codesOfE, 1); // E only as the default entry
        QCOMPARE(texts.removeDuplicates(), 0);
        QCOMPARE(texts, settings::hotkeyChoices()); // the store accepts exactly the offered texts

        mSet *window = Forms::Form<mSet>::get();
        QCOMPARE(window->HotKeyList->count(), 38);
        QCOMPARE(window->hotkeyCode(QStringLiteral("(默认)Ctrl+E")), 69);
        QCOMPARE(window->hotkeyCode(QStringLiteral("Ctrl+F5")), 116);
        window->HotKeyList->setCurrentText(QStringLiteral("Ctrl+A"));
        window = reopen(window);
        QCOMPARE(stored(QStringLiteral("呼出快捷键")), QStringLiteral("Ctrl+A"));
        QCOMPARE(stored(QStringLiteral("呼出快捷键值")), QStringLiteral("65"));
        QCOMPARE(window->HotKeyList->currentText(), QStringLiteral("Ctrl+A"));
        QVERIFY(fake->log.empty()); // the running hotkey is left alone until the next start
    }

    void showsStoredValues() {
        FakePlatformGuard fake;
        SaveSet(settings::keys::HotkeyText, QStringLiteral("Ctrl+F12"));
        SaveSet(settings::keys::ListClickMode, QStringLiteral("双击执行"));
        SaveSet(settings::keys::DoubleCtrlC, 0);
        SaveSet(settings::keys::ListAutoClose, 0);
        mSet *window = Forms::Form<mSet>::get();
        QCOMPARE(window->HotKeyList->currentText(), QStringLiteral("Ctrl+F12"));
        QCOMPARE(window->ListClick_Com->currentText(), QStringLiteral("双击执行"));
        QVERIFY(!window->DoubleCtrlC->isChecked());
        QVERIFY(!window->Chk_双击关闭->isChecked());
        QVERIFY(!window->mBootStart->isChecked() && !window->mShortCut->isChecked());

        // A hotkey text the list does not offer shows the default; so does an unknown click mode.
        window->close();
        QSettings raw(QStringLiteral("VemoTools"), QStringLiteral("Vemo文本收集器"));
        raw.setValue(QStringLiteral("Vemo文本收集器/呼出快捷键"), QStringLiteral("Ctrl+E"));
        raw.setValue(QStringLiteral("Vemo文本收集器/列表执行方式"), QStringLiteral("三击执行"));
        raw.sync();
        window = Forms::Form<mSet>::get();
        QCOMPARE(window->HotKeyList->currentText(), QStringLiteral("(默认)Ctrl+E"));
        // An unknown click mode (neither click executes) is shown and written back as it is.
        QCOMPARE(window->ListClick_Com->currentText(), QStringLiteral("三击执行"));
        window->close();
        QCOMPARE(raw.value(QStringLiteral("Vemo文本收集器/列表执行方式")).toString(),
                 QStringLiteral("三击执行"));
    }

    // Start with the system acts at once; the store learns of it on closing.
    void bootStartActsAtOnce() {
        FakePlatformGuard fake;
        mSet *window = Forms::Form<mSet>::get();
        window->mBootStart->click();
        window->mBootStart->click();
        QCOMPARE(fake->log, (std::vector<std::string>{bootAdd, bootRemove}));
        QCOMPARE(stored(QStringLiteral("开机启动")), QStringLiteral("<absent>"));
        window->mBootStart->click();
        fake->log.clear();
        // Opening while it is on writes the entry again, once.
        window = reopen(window);
        QCOMPARE(stored(QStringLiteral("开机启动")), QStringLiteral("1"));
        QVERIFY(window->mBootStart->isChecked());
        QCOMPARE(fake->log, std::vector<std::string>{bootAdd});
    }

    void shortcutBoxCreatesButNeverRemoves() {
        FakePlatformGuard fake;
        mSet *window = Forms::Form<mSet>::get();
        window->mShortCut->click();
        QCOMPARE(fake->log, std::vector<std::string>{shortcut});
        window->mShortCut->click(); // unchecking leaves the shortcuts alone
        QCOMPARE(fake->log.size(), size_t(1));
        window->mShortCut->click();
        QCOMPARE(fake->log.size(), size_t(2));
        fake->log.clear();
        // Opening again with the shortcut on makes the shortcuts again, once.
        reopen(window);
        QCOMPARE(stored(QStringLiteral("快捷方式")), QStringLiteral("1"));
        QCOMPARE(fake->log, std::vector<std::string>{shortcut});
    }

    void ctrlCFlagFollowsBoxOnClose() {
        FakePlatformGuard fake;
        mSet *window = Forms::Form<mSet>::get();
        window->DoubleCtrlC->click();
        QVERIFY(FMain::DoubleCtrlC); // the flag follows only when the window closes
        window = reopen(window);
        QVERIFY(!FMain::DoubleCtrlC);
        QCOMPARE(stored(QStringLiteral("连续两次Ctrl+C新增")), QStringLiteral("0"));
        QVERIFY(!window->DoubleCtrlC->isChecked());
        window->DoubleCtrlC->click();
        window->close();
        QVERIFY(FMain::DoubleCtrlC);
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settings_window.moc"
