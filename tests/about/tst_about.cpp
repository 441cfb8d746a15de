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

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
    TestEnv env;
    FakePlatformGuard fake;
    QList<QUrl> opened;

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

    void menuItemsPerCallerInAHiddenWindow() {
        关于::popupMainMenuFor(MenuCaller::Tray, QPoint(100, 100));
        关于 *about = Forms::Form<关于>::peek();
        QVERIFY(about && about->右键菜单->isVisible());
        QVERIFY(!about->isVisible()); // the owner of the menu stays hidden
        QCOMPARE(visibleItems(about->右键菜单),
                 (QStringList{"添加新内容", "显示成屏幕图标", "设置", "-", "关于", "退出"}));
        about->右键菜单->hide();
        // Back again: the icon's items do not depend on what came before.
        about->prepareMainMenu(MenuCaller::Icon);
        QCOMPARE(visibleItems(about->右键菜单), (QStringList{"显示到系统托盘", "设置", "-", "关于", "退出"}));

        关于::showAboutWindow();
        QCOMPARE(Forms::Form<关于>::peek(), about); // the same one window
        QVERIFY(about->isVisible() && !about->isModal());
    }

    void switchingFormsStoresTheChoice() {
        关于 *about = Forms::Form<关于>::get();
        about->显示到系统托盘->trigger();
        QCOMPARE(GetSet(settings::keys::ShowInTray, QString()), QStringLiteral("True"));
        about->显示图标->trigger();
        QCOMPARE(GetSet(settings::keys::ShowInTray, QString()), QStringLiteral("False"));
    }

    void addAndSettingsItemsOpenTheirWindows() {
        mMain icon; // the icon window the editor opens beside; not started
        关于 *about = Forms::Form<关于>::get();
        for (const QString &text : {QString(), QStringLiteral("第一行\n  second line ")}) {
            text.isNull() ? QGuiApplication::clipboard()->clear()
                          : QGuiApplication::clipboard()->setText(text);
            about->添加收藏->trigger();
            QVERIFY(Forms::Form<mEdit>::loaded()); // even with an empty clipboard
            QVERIFY(Forms::Form<mEdit>::peek()->isAddMode());
            QCOMPARE(Forms::Form<mEdit>::peek()->CodeText1->toPlainText(), text); // passed on unchanged
            Forms::Form<mEdit>::unload(); // before the icon window it stands beside goes
        }

        about->设置->trigger();
        mSet *window = Forms::Form<mSet>::peek();
        QVERIFY(window && window->isVisible() && !window->isModal());
        about->设置->trigger(); // a second choice brings the same window forward
        QCOMPARE(Forms::Form<mSet>::peek(), window);
    }

    void closingAboutLetsQuickListCloseAgain() {
        关于::showAboutWindow();
        FMain::QuickListAutoClose = false; // as the quick list sets it when it opens the window
        Forms::Form<关于>::peek()->close();
        QVERIFY(FMain::QuickListAutoClose);
        QVERIFY(!Forms::Form<关于>::loaded());
    }

    void linksOpenTheShippedGuide() {
        Forms::Form<关于>::get()->openhtml(QString());
        QCOMPARE(env.boxes, QStringList{"Vemo文本收集器|路径不能为空"});
        QVERIFY(opened.isEmpty());
        env.boxes.clear();

        QFile file(关于::guideFile());
        QVERIFY2(file.open(QIODevice::ReadOnly), "the user guide must be copied beside the program");
        const QString html = QString::fromUtf8(file.readAll());
        关于 *about = Forms::Form<关于>::get();
        const QList<QPair<QLabel *, QString>> links{{about->Label4, QString()},
                                                    {about->Label5, "hotkeys"},
                                                    {about->Label6, "backup"},
                                                    {about->Label8, "faq"}};
        for (const auto &[label, anchor] : links) {
            opened.clear();
            QTest::mouseClick(label, Qt::LeftButton);
            QCOMPARE(opened.size(), 1);
            QCOMPARE(opened.first().toLocalFile(), file.fileName());
            QCOMPARE(opened.first().fragment(), anchor);
            QVERIFY2(anchor.isEmpty() || html.contains("id=\"" + anchor + "\""), qPrintable(anchor));
        }
        QVERIFY(env.boxes.isEmpty());

        opened.clear();
        QTest::mouseClick(about->Label7, Qt::LeftButton); // the newest version: a notice, no link
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(env.boxes.first().startsWith(QStringLiteral("Vemo提示您|")));
        QVERIFY(opened.isEmpty());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
