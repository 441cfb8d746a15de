// The main menu's items per caller, and the About window's link into the user guide.
#include "WindowTest.h"
#include "about/AboutWindow.h"
#include "icon/MainMenu.h"

#include <QDesktopServices>

class TestAbout : public QObject {
    Q_OBJECT
    QList<QUrl> opened;

  public slots:
    void openFile(const QUrl &url) { opened << url; } // stands in for the desktop's file handler

  private slots:
    void menuItemsPerCaller() {
        MainMenu menu;
        const auto items = [&] {
            QStringList shown;
            for (const QAction *action : menu.actions())
                if (action->isVisible())
                    shown << (action->isSeparator() ? QStringLiteral("-") : action->text());
            return shown;
        };
        menu.prepareFor(MainMenu::Caller::Tray);
        QCOMPARE(items(), (QStringList{"添加新内容", "显示成屏幕图标", "设置", "导出文本库…", "导入文本库…",
                                       "-", "关于", "退出"}));
        menu.prepareFor(MainMenu::Caller::Icon); // whatever came before
        QCOMPARE(items(),
                 (QStringList{"显示到系统托盘", "设置", "导出文本库…", "导入文本库…", "-", "关于", "退出"}));
    }

    void linkOpensTheGuideAtItsPart() {
        TestEnv env;
        QFile guide(AboutWindow::guideFile());
        QVERIFY2(guide.open(QIODevice::ReadOnly), "the user guide must be copied beside the program");
        AboutWindow about;
        about.present();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openFile");
        for (QLabel *label : about.findChildren<QLabel *>())
            if (label->text() == QStringLiteral("快捷键说明"))
                QTest::mouseClick(label, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(opened.value(0).toString(), QUrl::fromLocalFile(guide.fileName()).toString() + "#hotkeys");
        QVERIFY(QString::fromUtf8(guide.readAll()).contains(QStringLiteral("id=\"hotkeys\"")));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
