// The floating icon: a small picture without a frame that stays above all
// other windows for the whole run. The user drags it anywhere, clicks it for
// the quick list, double-clicks it or drops text on it to capture a text, and
// right-clicks it for the main menu. It keeps its own place in the settings.
#pragma once

#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <optional>

class QLabel;
class Settings;

class IconWindow : public QWidget {
    Q_OBJECT
  public:
    explicit IconWindow(Settings &settings, QWidget *parent = nullptr);

    // Puts the window at its saved place, pulled onto the screens.
    void restorePlace();
    // The help for an empty library, or another notice of a click, after
    // the double-click time (a double-click that opens the editor cancels it).
    void scheduleHelpNotice();
    void scheduleNotice(const QString &text);
    void cancelHelpNotice();

  signals:
    // A left click that was no drag.
    void clicked();
    void doubleClicked();
    void textDropped(const QString &text);
    // A right click that was no drag, at this screen position.
    void menuRequested(const QPoint &globalPos);

  protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

  private:
    Settings &m_settings;
    QLabel *m_picture;
    Qt::MouseButton m_pressedButton = Qt::NoButton;
    QPoint m_placeAtPress; // where the press found the window
    QTimer m_helpNotice;
    QString m_noticeText;
};
