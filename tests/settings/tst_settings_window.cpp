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

std::string bootAdd() {
    const QString path = QCoreApplication::applicationFilePath();
    return "boot+:" + utf8(QFileInfo(path).completeBaseName()) + ":" + utf8(path);
}

std::string bootRemove() {
    return "boot-:" + utf8(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

std::string programShortcut() {
    const QString folder = QCoreApplication::applicationDirPath();
    return "shortcut:Vemo文本收集器:" + utf8(folder) + "/" +
           utf8(QFileInfo(QCoreApplication::applicationFilePath()).fileName()) + ":" + utf8(folder) +
           "/Vemo文本收集器.ico";
}

QString stored(const QString &key) {
    QSettings store(QStringLiteral("VemoTools"), QStringLiteral("Vemo文本收集器"));
    return store.value(QStringLiteral("Vemo文本收集器/") + key, QStringLiteral("<absent>")).toString();
}

void closeWindow(mSet *window) {
    window->close();
    QVERIFY(!Forms::Form<mSet>::loaded());
}

} // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        env.resetSettings();
        FMain::DoubleCtrlC = true;
    }
    void cleanup() { Forms::Form<mSet>::unload(); }

    void freshStoreWritesSevenKeysInOrder();
    void hotkeyListAndMap();
    void choosingHotkeyStoresTextAndCode();
    void showsStoredValues();
    void bootStartActsAtOnce();
    void shortcutBoxCreatesButNeverRemoves();
    void ctrlCFlagFollowsBoxOnClose();
    void helpTextIsExact();
    void captionsFitTheirControls();

  private:
    TestEnv env;
};

void TestSettingsWindow::freshStoreWritesSevenKeysInOrder() {
    FakePlatformGuard fake;
    mSet *window = Forms::Form<mSet>::get();
    QVERIFY(!window->isModal());

    const QList<QPair<QString, QVariant>> values = window->valuesToSave();
    QStringList keys, texts;
    for (const auto &[key, value] : values) {
        keys << key;
        texts << settings::toText(value);
    }
    QCOMPARE(keys, (QStringList{"呼出快捷键", "开机启动", "快捷方式", "呼出快捷键值", "列表执行方式",
                                "连续两次Ctrl+C新增", "窗体自动关闭"}));
    QCOMPARE(texts, (QStringList{"(默认)Ctrl+E", "0", "0", "69", "单击执行", "1", "1"}));

    // Nothing reaches the store before the window closes.
    for (const QString &key : keys)
        QCOMPARE(stored(key), QStringLiteral("<absent>"));
    closeWindow(window);
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(stored(keys[i]), texts[i]);

    // Nothing was on: no system chore ran and nothing was said.
    QVERIFY(fake->log.empty());
    QVERIFY(env.boxes.isEmpty());
}

void TestSettingsWindow::hotkeyListAndMap() {
    const auto entries = mSet::hotkeyEntries();
    QCOMPARE(entries.size(), 38);
    QStringList texts;
    int codesOfE = 0;
    for (const auto &[text, code] : entries) {
        texts << text;
        codesOfE += code == 69;
        QVERIFY2(text != QLatin1String("Ctrl+E"), "E must appear only as the default entry");
    }
    QCOMPARE(codesOfE, 1);
    QCOMPARE(texts.removeDuplicates(), 0);
    // The store accepts exactly the texts the window offers.
    QCOMPARE(texts, settings::hotkeyChoices());

    mSet *window = Forms::Form<mSet>::get();
    QCOMPARE(window->HotKeyList->count(), 38);
    QVERIFY(!window->HotKeyList->isEditable());
    QCOMPARE(window->hotkeyCode(QStringLiteral("(默认)Ctrl+E")), 69);
    QCOMPARE(window->hotkeyCode(QStringLiteral("Ctrl+A")), 65);
    QCOMPARE(window->hotkeyCode(QStringLiteral("Ctrl+F5")), 116);
}

void TestSettingsWindow::choosingHotkeyStoresTextAndCode() {
    FakePlatformGuard fake;
    mSet *window = Forms::Form<mSet>::get();
    window->HotKeyList->setCurrentText(QStringLiteral("Ctrl+A"));
    closeWindow(window);
    QCOMPARE(stored(QStringLiteral("呼出快捷键")), QStringLiteral("Ctrl+A"));
    QCOMPARE(stored(QStringLiteral("呼出快捷键值")), QStringLiteral("65"));
    // The running hotkey is left alone until the next start.
    QVERIFY(fake->log.empty());

    window = Forms::Form<mSet>::get();
    QCOMPARE(window->HotKeyList->currentText(), QStringLiteral("Ctrl+A"));
    window->HotKeyList->setCurrentText(QStringLiteral("Ctrl+F5"));
    closeWindow(window);
    QCOMPARE(stored(QStringLiteral("呼出快捷键值")), QStringLiteral("116"));
}

void TestSettingsWindow::showsStoredValues() {
    FakePlatformGuard fake;
    SaveSet(settings::keys::HotkeyText, QStringLiteral("Ctrl+F12"));
    SaveSet(settings::keys::ListClickMode, QStringLiteral("双击执行"));
    SaveSet(settings::keys::DoubleCtrlC, 0);
    SaveSet(settings::keys::ListAutoClose, 0);
    mSet *window = Forms::Form<mSet>::get();
    QCOMPARE(window->HotKeyList->currentText(), QStringLiteral("Ctrl+F12"));
    QCOMPARE(window->ListClick_Com->currentText(), QStringLiteral("双击执行"));
    QCOMPARE(window->ListClick_Com->count(), 2);
    QVERIFY(!window->DoubleCtrlC->isChecked());
    QVERIFY(!window->Chk_双击关闭->isChecked());
    QVERIFY(!window->mBootStart->isChecked());
    QVERIFY(!window->mShortCut->isChecked());
    closeWindow(window);

    // A hotkey text the list does not offer is the default; an unknown click
    // mode shows (and then saves) the default mode.
    env.resetSettings();
    QSettings raw(QStringLiteral("VemoTools"), QStringLiteral("Vemo文本收集器"));
    raw.setValue(QStringLiteral("Vemo文本收集器/呼出快捷键"), QStringLiteral("Ctrl+E"));
    raw.setValue(QStringLiteral("Vemo文本收集器/列表执行方式"), QStringLiteral("三击执行"));
    raw.sync();
    window = Forms::Form<mSet>::get();
    QCOMPARE(window->HotKeyList->currentText(), QStringLiteral("(默认)Ctrl+E"));
    QCOMPARE(window->ListClick_Com->currentText(), QStringLiteral("单击执行"));
}

void TestSettingsWindow::bootStartActsAtOnce() {
    FakePlatformGuard fake;
    mSet *window = Forms::Form<mSet>::get();
    window->mBootStart->click();
    QCOMPARE(fake->log, std::vector<std::string>{bootAdd()});
    window->mBootStart->click();
    QCOMPARE(fake->log, (std::vector<std::string>{bootAdd(), bootRemove()}));
    // The store only learns of it when the window closes.
    QCOMPARE(stored(QStringLiteral("开机启动")), QStringLiteral("<absent>"));
    closeWindow(window);
    QCOMPARE(stored(QStringLiteral("开机启动")), QStringLiteral("0"));
    QCOMPARE(fake->log.size(), size_t(2));

    // Opening while it is on writes the entry again, once, before anything is touched.
    fake->log.clear();
    SaveSet(settings::keys::BootStart, 1);
    window = Forms::Form<mSet>::get();
    QVERIFY(window->mBootStart->isChecked());
    QCOMPARE(fake->log, std::vector<std::string>{bootAdd()});
    closeWindow(window);
    QCOMPARE(fake->log, std::vector<std::string>{bootAdd()});
    QCOMPARE(stored(QStringLiteral("开机启动")), QStringLiteral("1"));
}

void TestSettingsWindow::shortcutBoxCreatesButNeverRemoves() {
    FakePlatformGuard fake;
    mSet *window = Forms::Form<mSet>::get();
    window->mShortCut->click();
    QCOMPARE(fake->log, std::vector<std::string>{programShortcut()});
    window->mShortCut->click(); // unchecking leaves the shortcuts alone
    QCOMPARE(fake->log.size(), size_t(1));
    window->mShortCut->click();
    closeWindow(window);
    QCOMPARE(stored(QStringLiteral("快捷方式")), QStringLiteral("1"));
    QCOMPARE(fake->log.size(), size_t(2));

    // Opening again with the shortcut on makes the shortcuts again, once.
    fake->log.clear();
    window = Forms::Form<mSet>::get();
    QCOMPARE(fake->log, std::vector<std::string>{programShortcut()});
}

void TestSettingsWindow::ctrlCFlagFollowsBoxOnClose() {
    FakePlatformGuard fake;
    mSet *window = Forms::Form<mSet>::get();
    QVERIFY(window->DoubleCtrlC->isChecked());
    window->DoubleCtrlC->click();
    QVERIFY(FMain::DoubleCtrlC); // the flag follows only when the window closes
    closeWindow(window);
    QVERIFY(!FMain::DoubleCtrlC);
    QCOMPARE(stored(QStringLiteral("连续两次Ctrl+C新增")), QStringLiteral("0"));

    window = Forms::Form<mSet>::get();
    QVERIFY(!window->DoubleCtrlC->isChecked());
    window->DoubleCtrlC->click();
    closeWindow(window);
    QVERIFY(FMain::DoubleCtrlC);
}

void TestSettingsWindow::helpTextIsExact() {
    mSet *window = Forms::Form<mSet>::get();
    const QString expected = QStringLiteral(
        "功能介绍:\r\n\r\n 该工具可以收藏经常要使用的文本，方便后续使用。\r\n\r\n"
        " 1、新增的方法： 复制文本后，双击小图标可以快速收藏 或 直接按住鼠标不放拖动文本到小图标\r\n\r\n"
        " 2、导出的方法：在任何窗口中，按快捷键可以快速调用菜单实现快速导出收藏的文本\r\n\r\n"
        " 3、编辑的方法：单击小图标，弹出收藏列表，右键列表可以编辑      ");
    QCOMPARE(window->ts->text(), expected);
    QVERIFY(!window->ts->isEnabled());
    QCOMPARE(window->windowTitle(), QStringLiteral("设置"));
}

void TestSettingsWindow::captionsFitTheirControls() {
    mSet *window = Forms::Form<mSet>::get();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // Every caption is shown whole: no control is narrower than its text needs.
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(w) == window->ts)
            continue; // the help text wraps
        if (w->isVisible() &&
            (qobject_cast<QLabel *>(w) || qobject_cast<QCheckBox *>(w) || qobject_cast<QComboBox *>(w)))
            QVERIFY2(w->width() >= w->sizeHint().width(),
                     qPrintable(w->objectName() + ": " + w->metaObject()->className()));
    }
    QVERIFY(window->ts->height() >= window->ts->heightForWidth(window->ts->width()));
    // The window fits on the screen and opens in its middle.
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY(screen.contains(window->frameGeometry()));
    QVERIFY((window->frameGeometry().center() - screen.center()).manhattanLength() <=
            6); // frame margins come after placing
    const QString dir = qEnvironmentVariable("VEMO_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(window->grab().save(dir + QStringLiteral("/settings_window.png")));
}

QTEST_MAIN(TestSettingsWindow)
#include "tst_settings_window.moc"
