// The quick list: a borderless popup with the category list, the record list,
// the search box and the status line. It shows the rows its feed
// (QuickListFeed) holds and forwards searches and category choices to it. Its
// menu names an action and a record; ListActions carries it out. Choosing an
// entry hides the list and hands its text over (entryChosen); the list then
// closes, unless the user keeps it open (it then copies the text).
#pragma once

#include "Record.h"
#include "TeamRecord.h"
#include "quick_list/QuickListControls.h"
#include "quick_list/QuickListFeed.h"
#include "quick_list/RowPlace.h"

#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class BalloonTipWindow;
class CategoryListModel;
class LibraryStore;
class ListActions;
class ListMenu;
class OutsideClickWatch;
class QuickListInput;
class RecordListModel;
class RecordLoader;
class Settings;

class QuickListWindow : public QWidget {
    Q_OBJECT
  public:
    QuickListWindow(Settings &settings, const LibraryStore &library, RecordLoader &loader,
                    QWidget *parent = nullptr);
    ~QuickListWindow() override;

    // While a hold lives, the list neither closes on a click outside it nor
    // reacts to hovering: one of its menus, a box, the editor or the About
    // window is in use. A hold releases itself when its last copy goes.
    using Hold = std::shared_ptr<const void>;
    Hold keepOpen();

    // Tells whether a screen position lies on one of the program's icons:
    // presses there are no clicks outside the list.
    void setOwnIconTest(std::function<bool(const QPoint &)> test);

    // Places the list at the right edge of the screen under the pointer
    // (opened from an icon), or its top-left corner at a screen position.
    void placeAtRightEdge() { m_ui.placeAtRightEdge(); }
    void placeAt(const QPoint &globalPos) { m_ui.placeAt(globalPos); }
    // Shows the list in front, with the keyboard in the search box.
    void present();

    // The X time of the hotkey press that brought the list up (0: unknown).
    void setCalledUpAt(quint64 time) { m_calledUpAt = time; }
    // The library changed elsewhere: it is read again and "常用" shown (while
    // the list is held, once the hold ends).
    void libraryChanged();

  signals:
    // An entry was chosen while the list closes by itself: its text goes
    // into the target or onto the clipboard; the list closes right after.
    void entryChosen(const QString &text);
    // "新 增": take the clipboard text into the record editor.
    void addRequested();
    // "Vemo": show the About window.
    void aboutRequested();
    // "修改内容": open the record in the editor.
    void editRequested(const Record &record);
    // "修改内容" on a team record: open it in the editor, to be stored on the server.
    void editTeamRequested(const TeamRecord &record);
    // An Esc pressed before the hotkey that brought the list up reached it
    // after: the list closes, and the call-up is to open it again.
    void closedBeforeCallUp();

  protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    bool isHeld() const { return m_holds > 0; }
    void connectControls();
    void rowsAboutToChange(QuickListFeed::Change change);
    void rowsChanged(QuickListFeed::Change change, int row);
    void categoriesRead(const QStringList &names, const QString &shown);
    // The rows wait for the whole library: the status line says so until they come.
    void showWaiting(bool waiting);
    void setStatus(const QString &text);
    void searchChanged();
    void showCategory(int row);
    int selectedRow() const;
    void executeSelected();
    void hoverOver(const QModelIndex &index);
    void releasedOver(Qt::MouseButton button, const QModelIndex &index, const QPoint &globalPos);
    void doubleClicked();
    void showBalloon(int delayMs);
    void removeBalloon();
    void openMenu(const QPoint &globalPos);
    void escapePressed(quint64 timestamp);

    Settings &m_settings;
    QuickListFeed *m_feed;
    RecordListModel *m_recordModel;
    CategoryListModel *m_categoryModel;
    QuickListControls m_ui;
    QuickListInput *m_input;
    OutsideClickWatch *m_outsideClicks;

    ListMenu *m_listMenu;
    ListActions *m_actions;

    BalloonTipWindow *m_balloon;
    int m_balloonRow = -1;
    int m_balloonDelay = 0;
    int m_hoverColumn = 0;
    bool m_closesItself = true;
    bool m_executing = false;
    int m_holds = 0;
    RowPlace m_placeBeforeGrowing;
    std::optional<QString> m_statusBeforeWaiting;
    quint64 m_calledUpAt = 0;
};
