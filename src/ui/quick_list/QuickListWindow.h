// The quick list: a borderless popup with the category list, the record list,
// the search box and the status line. It opens on its first screen of rows
// and the categories, read alone; the whole library follows from the record
// loader's thread (or at once, when the loader still holds it unchanged), and
// every search or category choice refills the record list from that copy in
// memory. What the user types or clicks before it is in waits for it.
// Choosing an entry hides the list and hands its text over (entryChosen); the
// list closes right after, unless the user keeps it open (it then copies the
// text).
#pragma once

#include "Record.h"
#include "SearchFilter.h"
#include "StoreOutcome.h"

#include <QPoint>
#include <QTableView>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class BalloonTip;
class BalloonTipWindow;
class ClickLabel;
class CategoryListModel;
class LibraryStore;
class ListMenu;
class QLabel;
class QLineEdit;
class QScreen;
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
    bool isHeld() const { return m_holds > 0; }

    // Tells whether a screen position lies on one of the program's icons:
    // presses there are no clicks outside the list.
    void setOwnIconTest(std::function<bool(const QPoint &)> test) { m_isOwnIcon = std::move(test); }

    // Places the list at the right edge of the screen under the pointer,
    // 3000 twips from its top (opened from an icon).
    void placeAtRightEdge();
    // Places its top-left corner at a screen position, pulled onto the screen.
    void placeAt(const QPoint &globalPos);
    // Fits the list's height to the screen's available area.
    void fitTo(const QScreen *screen);
    // Shows the list in front, with the keyboard in the search box.
    void present();

    // The list closes by itself after an execution and on a click outside;
    // otherwise it stays open, above other windows.
    bool closesItself() const { return m_closesItself; }

    // What the list shows, for its menu and its tests.
    const SearchFilter &filter() const { return m_filter; }
    const RecordTable &records() const { return m_filter.table(); }
    // Whether the whole library is still being read: the searches and
    // category choices made meanwhile wait for it.
    bool isReading() const { return m_reading; }
    RecordListModel *recordModel() const { return m_recordModel; }
    CategoryListModel *categoryModel() const { return m_categoryModel; }
    QTableView *recordList() const { return m_recordList; }
    QTableView *categoryList() const { return m_categoryList; }
    QLineEdit *searchBox() const { return m_searchBox; }
    QLabel *statusLabel() const { return m_statusLabel; }
    ListMenu *listMenu() const { return m_listMenu; }
    // The balloon now attached to the record list, if any.
    BalloonTipWindow *balloon() const;

    // The row clicks, the menu and an execution act on; -1 without rows.
    int selectedRow() const;
    // The row that shows a record, by its ID as the list holds it; a record
    // row is preferred to the last-used row. -1 when no row shows it.
    int rowShowing(const QString &idText) const;
    void selectRow(int row);
    // Shows a category by its row in the category list, highlighted.
    void showCategory(int row);
    // Executes the selected row.
    void executeSelected();
    void setStatus(const QString &text);
    // The X time of the hotkey press that brought the list up (0: unknown).
    void setCalledUpAt(quint64 time) { m_calledUpAt = time; }

    // Changes of the rows after the library changed through the list menu.
    // The library is read again (the next filling, which waits for the read,
    // shows what it holds now); the rows shown change only as asked. While
    // the list is held, the read and the refilling wait for the hold's end.
    void reload();
    void refill();
    void removeRow(int row);
    void setRowTitle(int row, const QString &title);
    void clearRows();
    void removeBalloon();

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
    // Esc was pressed before the hotkey press that brought the list up last,
    // but reached the list after it: the list closes, and the call-up is to
    // open it again, in the order the user pressed the keys.
    void closedBeforeCallUp();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void createControls();
    // Moves the window so that its frame lies inside the area.
    void keepInside(const QRect &area);
    void setUpLists();
    // Fills the record list for a category (search false) or the search text;
    // false when the search text is not a valid pattern.
    bool fill(const QString &category, bool search);
    // The whole library arrived from the loader.
    void recordsArrived(const Outcome<RecordTable> &records);
    void showReadFailure(StoreError error);
    // Reads the first screen of rows, once the list is on its way to the screen.
    void readFirstScreen();
    // The rows wait for the whole library: the status line says so until they come.
    void showWaiting(bool waiting);
    void released();
    void searchChanged();
    void hoverOver(const QPoint &pos);
    void releasedOver(Qt::MouseButton button, const QPoint &pos, const QPoint &globalPos);
    void doubleClicked();
    void showBalloon(int delayMs);
    void checkOutsideClick();
    void openMenu(const QPoint &globalPos);
    bool handleKey(QKeyEvent *event);
    void escapePressed(const QKeyEvent *event);

    Settings &m_settings;
    const LibraryStore &m_library;
    RecordLoader &m_loader;

    ClickLabel *m_closeLabel;
    QLabel *m_searchLabel;
    QLineEdit *m_searchBox;
    ClickLabel *m_aboutLabel;
    QTableView *m_categoryList;
    QTableView *m_recordList;
    ClickLabel *m_addLabel;
    QLabel *m_statusLabel;
    ListMenu *m_listMenu;
    QTimer m_outsideCheck;

    SearchFilter m_filter;
    RecordListModel *m_recordModel = nullptr;
    CategoryListModel *m_categoryModel = nullptr;
    std::unique_ptr<BalloonTip> m_balloon;
    int m_balloonRow = -1;
    int m_balloonDelay = 0;
    int m_hoverColumn = 0;
    bool m_closesItself = true;
    bool m_executing = false;
    // The whole library is being read; a filling asked for meanwhile, and
    // the keys for the rows it will bring, wait for it.
    bool m_reading = false;
    struct Filling {
        QString category;
        bool search = false;
    };
    std::optional<Filling> m_waitingFill;
    Filling m_lastFill;
    QList<int> m_waitingKeys;
    int m_holds = 0;
    // The whole library arrived while the list was held: the rows stay as
    // the user sees them until the hold ends.
    std::optional<Outcome<RecordTable>> m_heldRecords;
    // The library was changed, or the rows asked to be filled again, while
    // the list was held: done when the hold ends.
    bool m_readWhenReleased = false;
    bool m_refillWhenReleased = false;
    std::optional<QString> m_statusBeforeWaiting;
    quint64 m_calledUpAt = 0;
    bool m_firstScreenPending = false;
    std::function<bool(const QPoint &)> m_isOwnIcon;
};
