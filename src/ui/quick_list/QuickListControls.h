// The quick list's controls as designed: their places in twips, fonts and
// colours, the record list's columns, and the frame the window draws.
#pragma once

class ClickLabel;
class QAbstractItemModel;
class QLabel;
class QLineEdit;
class QPoint;
class QScreen;
class QTableView;
class QWidget;

struct QuickListControls {
    // Builds the controls on the window, the lists over their models.
    QuickListControls(QWidget *window, QAbstractItemModel *records, QAbstractItemModel *categories);
    // Fits the window's height to the screen's available area.
    void fitTo(const QScreen *screen);
    // Places the window at the right edge of the screen under the pointer,
    // 3000 twips from its top (opened from an icon).
    void placeAtRightEdge();
    // Places its top-left corner at a screen position, pulled onto the screen.
    void placeAt(const QPoint &globalPos);
    // Draws the frames around the search box and the window (from its paintEvent).
    void paintFrame() const;

    QWidget *window;
    ClickLabel *closeLabel;
    QLabel *searchLabel;
    QLineEdit *searchBox;
    ClickLabel *aboutLabel;
    QTableView *categoryList;
    QTableView *recordList;
    ClickLabel *addLabel;
    QLabel *statusLabel;

  private:
    void setUpLists();
};
