// The notification-area icon: by choice the program lives there instead of
// showing its floating icon. A left click asks for the quick list, a right
// click for the main menu.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

class QSystemTrayIcon;

class TrayIcon : public QObject {
    Q_OBJECT
  public:
    explicit TrayIcon(QObject *parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop has a notification area at all.
    static bool available();
    void show();
    void hide();
    bool isShown() const;
    // Where the icon is on the screen (empty when it is not shown).
    QRect geometry() const;

  signals:
    // The left button was released on the icon.
    void clicked();
    void menuRequested(const QPoint &globalPos);

  private:
    void emitClickOnRelease(int attemptsLeft);

    QSystemTrayIcon *m_icon = nullptr;
};
