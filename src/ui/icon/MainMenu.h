// The main menu that the floating icon and the notification-area icon pop up
// on a right click. Which items show depends on where it is opened.
#pragma once

#include <QMenu>

class MainMenu : public QMenu {
    Q_OBJECT
  public:
    enum class Caller { Icon, Tray };

    explicit MainMenu(QWidget *parent = nullptr);

    // The icon shows 显示到系统托盘; the tray shows 添加新内容 and
    // 显示成屏幕图标; the other items (设置, 导出文本库…, 导入文本库…, 关于,
    // 退出) always show.
    void prepareFor(Caller caller);
    void popupFor(Caller caller, const QPoint &globalPos);

    QAction *const addText;       // "添加新内容"
    QAction *const showIcon;      // "显示成屏幕图标"
    QAction *const moveToTray;    // "显示到系统托盘"
    QAction *const openSettings;  // "设置"
    QAction *const exportLibrary; // "导出文本库…"
    QAction *const importLibrary; // "导入文本库…"
    QAction *const openAbout;     // "关于"
    QAction *const exitProgram;   // "退出"
};
