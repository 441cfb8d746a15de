// The quick list: a borderless popup with the category list L2, the record
// list L1, the search box and the status line. It reads the whole library
// when it loads, and every search or category choice refills L1 from that
// copy in memory.
#pragma once

#include "Forms.h"
#include "quick_list/QuickListLoader.h"
#include "quick_list/QuickListModel.h"

#include <QPoint>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <functional>
#include <memory>

class CTooltip;
class QLabel;
class QLineEdit;

namespace quicklist {
class ClickLabel;
}

class FavList : public FormBase {
    Q_OBJECT
  public:
    FavList();
    ~FavList() override;

    // Controls, under the names the rest of the program knows them by.
    quicklist::ClickLabel *Label4; // "关闭"
    QLabel *Label1;                // "搜 索"
    QLineEdit *SearchT;            // the search text
    quicklist::ClickLabel *Label3; // "Vemo"
    QTableView *L2;                // categories
    QTableView *L1;                // records
    quicklist::ClickLabel *Label2; // "新 增"
    QLabel *ts;                    // status line
    QPushButton *Command2;         // cancel button outside the window: Esc
    QPushButton *Command1;         // executes, reachable by keyboard focus only
    QTimer *Timer1;                // the outside-click check

    void InitializationListView();
    // Reads the library into the record cache when asked to (ArrKg) or when
    // the cache holds nothing yet.
    void setArr(bool ArrKg = false);
    // Refills L1 for a category (search false) or for the search text ("*",
    // true), and L2 when it is still empty. False when the search text is
    // not a valid pattern; L1 then holds at most the last-used row.
    bool 加载列表(const QString &filter, bool search);

    void ShowItemTip(int delay);
    void DelTip();
    // Executes the selected row: into the target window, or onto the
    // clipboard when the list stays open.
    void ExecuteEntry();

    // Event handlers.
    void SearchT_Change();
    void SearchT_DblClick();
    void L2_Click(int row);
    void Timer1_Timer();
    void Label4_Click();
    void Command2_Click();
    void Command1_Click();
    void Label2_Click();
    void Label3_Click();

    // The row clicks, the menu and ExecuteEntry act on; -1 without rows.
    int selectedRow() const;
    void selectRow(int row);
    // Changes of single rows made by the list menu after the library changed;
    // the other rows keep their numbers and a row stays selected.
    void removeRow(int row);
    void setRowTitle(int row, const QString &title, quicklist::RowColour colour);
    void clearRows();
    // The L1 column the mouse was last over.
    int hoverColumn() const { return m_hoverColumn; }
    // Index (from 1) of the highlighted category; 0 for none.
    int selectedCategory() const { return m_selectedCategory; }
    bool autoCloseMode() const { return m_autoClose; }
    const quicklist::QuickListLoader &loader() const { return m_loader; }
    quicklist::RecordModel *recordModel() const { return m_records; }
    quicklist::CategoryModel *categoryModel() const { return m_categories; }
    // The balloon now attached to L1, if any.
    CTooltip *tip() const { return m_tip.get(); }
    // Tells whether a screen position lies on one of the program's icons (the
    // floating icon, the notification-area icon): presses there are no
    // outside clicks.
    void setOwnIconTest(std::function<bool(const QPoint &)> test) { m_isOwnIcon = std::move(test); }

  signals:
    // "新 增": take the clipboard text into the record editor.
    void addRequested();
    // "Vemo": show the About window (the auto-close permission is already off).
    void aboutRequested();
    // Right button released over L1 with rows, at this screen position.
    void listMenuRequested(QPoint globalPos);

  protected:
    bool Form_QueryUnload() override;
    void Form_Unload() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

  private:
    void Form_Load();
    void createControls();
    void L1_MouseMove(const QPoint &pos);
    void L1_MouseUp(Qt::MouseButton button, const QPoint &pos, const QPoint &globalPos);
    void L1_DblClick();
    bool handleListKey(QKeyEvent *event);

    quicklist::QuickListLoader m_loader;
    quicklist::RecordModel *m_records = nullptr;
    quicklist::CategoryModel *m_categories = nullptr;
    std::unique_ptr<CTooltip> m_tip;
    int m_tipRow = -1;
    int m_tipDelay = 0;
    int m_selectedCategory = 0;
    int m_hoverColumn = 0;
    bool m_autoClose = true;
    bool m_executing = false;
    std::function<bool(const QPoint &)> m_isOwnIcon;
};
