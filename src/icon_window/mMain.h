// The floating icon window: the program's start-up object. A small picture
// without a frame that stays above all other windows; it lives for the run.
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <optional>

class QMenu;

class mMain : public QWidget {
    Q_OBJECT
  public:
    explicit mMain(QWidget *parent = nullptr);
    ~mMain() override;

    // The one icon window of the process (nullptr before it exists).
    static mMain *instance();

    // The start-up sequence. False when another instance already runs: the
    // notice has been shown and the caller ends the process.
    bool Form_Load();

    // Open the record editor in add mode for a text, beside the icon.
    void showmEdit(const QString &text);
    // Open the quick list at the right edge of the screen (call-up mode "双击").
    void ShowListForm();

    QLabel *Picture1;
    QTimer *Timer1;

    // Pops up the main menu for the notification area at the pointer.
    void requestTrayMenu();

    // Saved left: the window's Left in twips after the last placement.
    int savedLeft() const { return m_savedLeft; }

    // Event handlers, named after control and event.
    void Picture1_MouseDown(int button);
    void Picture1_MouseUp(int button);
    void Picture1_DblClick();
    void Picture1_OLEDragDrop(const QString &text);
    void Timer1_Timer();

  signals:
    // A right click on the icon (fromTray false) or on the notification-area
    // icon (fromTray true) asks for the main menu at a screen position.
    void mainMenuRequested(const QPoint &globalPos, bool fromTray);

  protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

  private:
    int m_savedLeft = 0;
    int m_pressedButton = 0;
    std::optional<QPoint> m_pressedAt; // the press's place on the screen
    QString m_holdCounter; // the Ctrl+C hold counter: one "B" per qualifying tick
    QTimer m_helpNotice;   // the empty-library notice, due after the double-click time
};

// The orderly end of the program: the hotkey is released, every window
// unloaded, the notification-area icon removed, and the process ends.
void ExitProgram();
