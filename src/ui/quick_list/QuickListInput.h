// What the user does on the quick list's rows and in its search box, turned
// into what it means for the list: a row hovered or clicked, a menu asked
// for, Esc, Return. The arrows and Page keys move through the rows while the
// search box keeps the focus; keys for rows that are not in yet are kept by
// the feed and come back through replay().
#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

class QKeyEvent;
class QModelIndex;
class QuickListFeed;
struct QuickListControls;

class QuickListInput : public QObject {
    Q_OBJECT
  public:
    QuickListInput(const QuickListControls &ui, QuickListFeed &feed, QObject *parent);

    // Esc and Return, wherever they were pressed in the list; false for other keys.
    bool handleKey(QKeyEvent *event);
    // The keys kept while the rows were not in act on the rows they were meant for.
    void replay(const QList<int> &keys);

  signals:
    void hovered(const QModelIndex &index);
    // A button let go over the rows, after the record list has handled it.
    void released(Qt::MouseButton button, const QModelIndex &index, const QPoint &globalPos);
    void doubleClicked();
    void menuRequested(const QPoint &globalPos);
    void escapePressed(quint64 timestamp);
    void executeRequested();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    bool viewportEvent(QEvent *event);
    bool searchBoxKey(QKeyEvent *event);
    void keyboardMenu();

    const QuickListControls &m_ui;
    QuickListFeed &m_feed;
};
