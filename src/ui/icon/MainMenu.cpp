#include "icon/MainMenu.h"

MainMenu::MainMenu(QWidget *parent)
    : QMenu(QStringLiteral("右键菜单"), parent), addText(addAction(QStringLiteral("添加新内容"))),
      showIcon(addAction(QStringLiteral("显示成屏幕图标"))),
      moveToTray(addAction(QStringLiteral("显示到系统托盘"))),
      openSettings(addAction(QStringLiteral("设置"))),
      exportLibrary(addAction(QStringLiteral("导出文本库…"))),
      importLibrary(addAction(QStringLiteral("导入文本库…"))),
      openAbout((addSeparator(), addAction(QStringLiteral("关于")))),
      exitProgram(addAction(QStringLiteral("退出"))) {}

void MainMenu::prepareFor(Caller caller) {
    const bool tray = caller == Caller::Tray;
    addText->setVisible(tray);
    showIcon->setVisible(tray);
    moveToTray->setVisible(!tray);
}

void MainMenu::popupFor(Caller caller, const QPoint &globalPos) {
    prepareFor(caller);
    popup(globalPos);
}
