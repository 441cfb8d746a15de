// The main menu (its items per caller and their actions) and the About
// window (its life cycle and its links).
#include "FMain.h"
#include "FakePlatform.h"
#include "Forms.h"
#include "TestEnv.h"
#include "about/AboutWindow.h"
#include "editor/mEdit.h"
#include "icon_window/mMain.h"
#include "settings/Settings.h"
#include "settings/mSet.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QUrl>

namespace {

// The captions of the items the menu would show now, a separator as "-".
QStringList visibleItems(const QMenu *menu) {
    QStringList items;
    for (const QAction *action : menu->actions())
        if (action->isVisible())
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

QString stored(const QString &key) {
    QSettings store(QStringLiteral("VemoTools"), QStringLiteral("Vemo文本收集器"));
    return store.value(QStringLiteral("Vemo文本收集器/") + key, QStringLiteral("<absent>")).toString();
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
  public slots:
    // Stands in for the desktop's handler of file links.
    void openFile(const QUrl &url) { opened << url; }

  private slots:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openFile"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    void init() {
        env.resetSettings();
        env.boxes.clear();
        env.styles.clear();
        opened.clear();
    }
    void cleanup() {
        Forms::Form<mEdit>::unload();
        Forms::Form<mSet>::unload();
        Forms::Form<关于>::unload();
    }

    void menuItemsPerCaller();
    void menuLoadsWindowHidden();
    void switchingFormsStoresTheChoice();
    void addItemOpensEditorWithClipboardText();
    void settingsItemOpensSettingsWindow();
    void closingAboutLetsQuickListCloseAgain();
    void emptyLinkIsRefused();
    void linksOpenTheShippedGuide();
    void newestVersionNotice();
    void captionsFitTheirControls();

  private:
    TestEnv env;
    FakePlatformGuard fake;
    QList<QUrl> opened;
};

void TestAbout::menuItemsPerCaller() {
    关于 *about = Forms::Form<关于>::get();
    QCOMPARE(about->右键菜单->title(), QStringLiteral("右键菜单"));
    about->prepareMainMenu(MenuCaller::Icon);
    QCOMPARE(visibleItems(about->右键菜单), (QStringList{"显示到系统托盘", "设置", "-", "关于", "退出"}));
    about->prepareMainMenu(MenuCaller::Tray);
    QCOMPARE(visibleItems(about->右键菜单),
             (QStringList{"添加新内容", "显示成屏幕图标", "设置", "-", "关于", "退出"}));
    // Back again: the icon's visibility does not depend on what came before.
    about->prepareMainMenu(MenuCaller::Icon);
    QCOMPARE(visibleItems(about->右键菜单), (QStringList{"显示到系统托盘", "设置", "-", "关于", "退出"}));
}

void TestAbout::menuLoadsWindowHidden() {
    QVERIFY(!Forms::Form<关于>::loaded());
    关于::popupMainMenuFor(MenuCaller::Tray, QPoint(100, 100));
    QVERIFY(Forms::Form<关于>::loaded());
    关于 *about = Forms::Form<关于>::peek();
    QVERIFY(about->右键菜单->isVisible());
    QVERIFY(!about->isVisible()); // the owner of the menu stays hidden
    QCOMPARE(visibleItems(about->右键菜单).first(), QStringLiteral("添加新内容"));
    about->右键菜单->hide();

    关于::showAboutWindow();
    QCOMPARE(Forms::Form<关于>::peek(), about); // the same one window
    QVERIFY(about->isVisible());
    QVERIFY(!about->isModal());
    QCOMPARE(about->windowTitle(), QStringLiteral("关于作者"));
}

void TestAbout::switchingFormsStoresTheChoice() {
    关于 *about = Forms::Form<关于>::get();
    about->显示到系统托盘->trigger();
    QCOMPARE(stored(QStringLiteral("显示到系统托盘")), QStringLiteral("True"));
    about->显示图标->trigger();
    QCOMPARE(stored(QStringLiteral("显示到系统托盘")), QStringLiteral("False"));
    QCOMPARE(GetSet(settings::keys::ShowInTray, true), QStringLiteral("False"));
}

void TestAbout::addItemOpensEditorWithClipboardText() {
    mMain icon; // the icon window the editor opens beside; not started
    关于 *about = Forms::Form<关于>::get();

    QGuiApplication::clipboard()->clear();
    about->添加收藏->trigger();
    QVERIFY(Forms::Form<mEdit>::loaded());
    mEdit *editor = Forms::Form<mEdit>::peek();
    QVERIFY(editor->isAddMode());
    QCOMPARE(editor->CodeText1->toPlainText(), QString());
    Forms::Form<mEdit>::unload();

    const QString text = QStringLiteral("第一行\n  second line ");
    QGuiApplication::clipboard()->setText(text);
    about->添加收藏->trigger();
    QVERIFY(Forms::Form<mEdit>::loaded());
    QCOMPARE(Forms::Form<mEdit>::peek()->CodeText1->toPlainText(), text); // passed on unchanged
    Forms::Form<mEdit>::unload(); // before the icon window it stands beside goes
}

void TestAbout::settingsItemOpensSettingsWindow() {
    关于 *about = Forms::Form<关于>::get();
    about->设置->trigger();
    QVERIFY(Forms::Form<mSet>::loaded());
    mSet *window = Forms::Form<mSet>::peek();
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    QVERIFY(!about->isVisible());
    about->设置->trigger(); // a second choice brings the same window forward
    QCOMPARE(Forms::Form<mSet>::peek(), window);
}

void TestAbout::closingAboutLetsQuickListCloseAgain() {
    关于::showAboutWindow();
    FMain::QuickListAutoClose = false; // as the quick list sets it when it opens the window
    Forms::Form<关于>::peek()->close();
    QVERIFY(FMain::QuickListAutoClose);
    QVERIFY(!Forms::Form<关于>::loaded());
    // The next use of the menu loads a fresh window, hidden again.
    关于::popupMainMenuFor(MenuCaller::Icon, QPoint(10, 10));
    QVERIFY(Forms::Form<关于>::loaded());
    QVERIFY(!Forms::Form<关于>::peek()->isVisible());
    Forms::Form<关于>::peek()->右键菜单->hide();
}

void TestAbout::emptyLinkIsRefused() {
    Forms::Form<关于>::get()->openhtml(QString());
    QCOMPARE(env.boxes, QStringList{"Vemo文本收集器|路径不能为空"});
    QVERIFY(opened.isEmpty());
}

void TestAbout::linksOpenTheShippedGuide() {
    const QString guide = 关于::guideFile();
    QVERIFY2(!guide.isEmpty(), "the user guide must be copied beside the program");
    QFile file(guide);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());

    关于 *about = Forms::Form<关于>::get();
    const QList<QPair<QLabel *, QString>> links{
        {about->Label4, QString()},
        {about->Label5, QStringLiteral("hotkeys")},
        {about->Label6, QStringLiteral("backup")},
        {about->Label8, QStringLiteral("faq")},
    };
    for (const auto &[label, anchor] : links) {
        opened.clear();
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().toLocalFile(), guide);
        QCOMPARE(opened.first().fragment(), anchor);
        if (!anchor.isEmpty())
            QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(anchor)), qPrintable(anchor));
    }
    QVERIFY(env.boxes.isEmpty());
}

void TestAbout::newestVersionNotice() {
    关于 *about = Forms::Form<关于>::get();
    QTest::mouseClick(about->Label7, Qt::LeftButton);
    QCOMPARE(env.boxes.size(), 1);
    QVERIFY(env.boxes.first().startsWith(QStringLiteral("Vemo提示您|")));
    QCOMPARE(env.styles, QList<int>{64});
    QVERIFY(opened.isEmpty());
}

void TestAbout::captionsFitTheirControls() {
    关于::showAboutWindow();
    关于 *about = Forms::Form<关于>::peek();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    for (QLabel *label : about->findChildren<QLabel *>())
        QVERIFY2(label->width() >= label->sizeHint().width() && label->height() >= label->sizeHint().height(),
                 qPrintable(label->text()));
    QVERIFY(about->Frame1->width() >= about->Frame1->sizeHint().width());
    const QRect screen = about->screen()->availableGeometry();
    QVERIFY(screen.contains(about->frameGeometry()));
    const QString dir = qEnvironmentVariable("VEMO_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(about->grab().save(dir + QStringLiteral("/about_window.png")));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
