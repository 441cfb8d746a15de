// The About window: what the program is and where its documents are. It also
// owns the main menu that the floating icon and the notification-area icon
// pop up on a right click; for that it is loaded hidden and shown only when
// the user asks for it.
#pragma once

#include "Forms.h"

#include <QPoint>
#include <QString>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;

// Where the main menu is opened from: the items that switch between the two
// forms of the program, and the add item, depend on it.
enum class MenuCaller { Icon, Tray };

class 关于 : public FormBase {
  public:
    // Runs Form_Load; the window stays hidden. Obtain it with Forms::Form<关于>::get().
    explicit 关于(QWidget *parent = nullptr);

    // Loads the window hidden when needed and pops the main menu up for the caller.
    static void popupMainMenuFor(MenuCaller caller, const QPoint &globalPos);
    // Loads the window when needed and shows it, not modal, in front.
    static void showAboutWindow();

    // Sets the items' visibility for the caller and pops the menu up at the position.
    void popupMainMenu(MenuCaller caller, const QPoint &globalPos);
    // Only the visibility: the icon shows 显示到系统托盘, the tray the add and
    // 显示成屏幕图标 items; the other items always show.
    void prepareMainMenu(MenuCaller caller);

    // Opens a link with the system's handler; an empty link is refused with a notice.
    void openhtml(const QString &mUrl);
    // The file:// link of the user guide shipped beside the program, at an
    // anchor (none when empty); empty when the guide is not there.
    static QString guideLink(const QString &anchor = QString());
    // The guide's path beside the program, or empty when it is missing.
    static QString guideFile();

    // The main menu and its items.
    QMenu *右键菜单;
    QAction *添加收藏;
    QAction *显示图标;
    QAction *显示到系统托盘;
    QAction *设置;
    QAction *ff;
    QAction *About;
    QAction *mExit;

    // The information part.
    QLabel *Picture1;
    QLabel *Label1; // author line
    QLabel *Label2; // version and contact
    QLabel *Label3;
    QGroupBox *Frame1;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label8;
    QLabel *Label7;
    QLabel *Label9;

    void 添加收藏_Click();
    void 显示图标_Click();
    void 显示到系统托盘_Click();
    void 设置_Click();
    void About_Click();
    void mExit_Click();
    void Label4_Click();
    void Label5_Click();
    void Label6_Click();
    void Label7_Click();
    void Label8_Click();

  protected:
    void Form_Load();
    void Form_Unload() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void buildMenu();
    void buildInformation();
    void openGuide(const QString &anchor);
    void centerOnScreen();
};
