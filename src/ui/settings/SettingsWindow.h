// The settings window: the call-up hotkey, how the quick list executes an
// entry, its pinyin search, whether it closes by itself, the Ctrl+C gesture,
// start with the system, the desktop shortcut and the team library's server
// (with a button that tries it on a worker thread and says what happened). It shows the stored values
// when it opens and writes all of them back when it closes. The two system boxes act at
// once, through the program (startWithSystemChanged, shortcutsRequested).
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Settings;

class SettingsWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SettingsWindow(Settings &settings, QWidget *parent = nullptr);

    // Shows the stored values. A system box checked here acts on the system
    // again, so the program connects the window's signals first.
    void load();

    // The program reports a system box whose action failed: the box shows
    // what the system now has (unticked when the entry could not be written,
    // ticked when it could not be removed) without acting again, so closing
    // stores nothing false, and a notice says why.
    void startWithSystemFailed(bool wanted, const QString &why);
    void shortcutsFailed(const QString &why);

    // The help text at the bottom of the window (CR LF line breaks).
    static QString helpText();

    QCheckBox *shortcutsBox() const { return m_shortcuts; }
    QCheckBox *startWithSystemBox() const { return m_startWithSystem; }
    QLineEdit *teamConnectionBox() const { return m_teamConnection; }
    QPushButton *testConnectionButton() const { return m_testConnection; }
    QLabel *teamResultLabel() const { return m_teamResult; }

  signals:
    void startWithSystemChanged(bool on);
    // The shortcuts are made when the box is checked; unchecking leaves them.
    void shortcutsRequested();

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    void buildControls();
    QWidget *buildTeamFrame();
    // Connects to the server in the box on a worker thread and says what happened.
    void testConnection();

    Settings &m_settings;
    QComboBox *m_clickMode;
    QComboBox *m_hotkey; // choice only, no typing
    QCheckBox *m_pinyinSearch;
    QCheckBox *m_closesItself;
    QCheckBox *m_holdCtrlC;
    QCheckBox *m_shortcuts;
    QCheckBox *m_startWithSystem;
    QLabel *m_help;
    QLineEdit *m_teamConnection;
    QPushButton *m_testConnection;
    QLabel *m_teamResult;
};
