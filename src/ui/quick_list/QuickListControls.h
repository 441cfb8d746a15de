// The quick list's controls as designed: their places in twips, fonts and
// colours, the record list's columns, and the frame the window draws.
#pragma once

class ClickLabel;
class QAbstractItemModel;
class QLabel;
class QLineEdit;
class QScreen;
class QTableView;
class QWidget;

struct QuickListControls {
    // Builds the controls on the window, the lists over their models.
    QuickListControls(QWidget *window, QAbstractItemModel *records, QAbstractItemModel *categories);
    // Fits the window's height to the screen's available area.
    void fitTo(const QScreen *screen);
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
