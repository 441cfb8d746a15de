// The record editor: the one window in which a record is added, changed or
// deleted field by field. It shows a proposal for a captured text (add mode)
// or a stored record (edit mode), and closes itself after every successful
// add, change or delete. It remembers the group and category it showed last
// and what a double-click on its text box does.
#pragma once

#include "Record.h"
#include "TeamRecord.h"
#include "editor/KeptText.h"

#include <QPointer>
#include <QWidget>

class LibraryStore;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Settings;
class TeamLibrary;

class RecordEditor : public QWidget {
    Q_OBJECT
  public:
    RecordEditor(Settings &settings, const LibraryStore &library, QWidget *parent = nullptr);

    // Add mode for a captured text: a fresh key, the text, and the title and
    // category proposed for it. The group and the common box keep what they
    // show (a half-edited record is replaced by the new proposal).
    void proposeNew(const QString &text);
    // Edit mode for a stored record.
    void showRecord(const Record &record);
    // Edit mode for a record of the team library: 更新 and 删除 go to the
    // server, and are stored only while the record is still the version
    // shown; otherwise the editor says who changed it and keeps the text.
    void showTeamRecord(TeamLibrary &team, const TeamRecord &record);
    // The record shown is the team library's.
    bool isTeamRecord() const { return !m_team.isNull(); }
    bool isAddMode() const;
    // Stands the editor immediately to the left of the anchor, top edges level
    // (a hidden anchor's place counts all the same), pulls it onto the screen
    // and shows it in front.
    void placeBeside(const QWidget *anchor);

    // The text box's contents as the text came: unedited, exactly the text
    // given; edited, with the line ends the text came with.
    QString text() const;
    // The editor's fields as a record.
    Record record() const;
    QString category() const { return m_category; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The text box's own menu, with 插入字段 for the fields of a template.
    void showTextMenu(const QPoint &globalPos);
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    void buildControls();
    void loadLists();
    void setText(const QString &text);
    void setAddMode(bool add);
    void add();
    void remove();
    void update();
    // Sends a change of the team record shown and waits for the server's
    // answer without blocking; `done` closes the editor, a failure keeps it.
    void sendToTeam(quint64 request, const QString &failed, const QString &done);
    void titleDoubleClicked();
    void textDoubleClicked();
    void fitTextBox();
    // Shortens the window to the available height of its screen.
    void fitToScreen();

    Settings &m_settings;
    const LibraryStore &m_library;

    QLabel *m_idCaption;     // "ID"
    QLabel *m_idValue;       // the record's key (red)
    QLabel *m_hint;          // the greyed hint
    QLabel *m_groupCaption;  // "文本分类"
    QComboBox *m_groupBox;   // the group, editable
    QLabel *m_actionCaption; // "文本框双击"
    QComboBox *m_doubleClickBox;
    QLabel *m_titleCaption; // "文本标题"
    QLineEdit *m_titleBox;
    QCheckBox *m_commonBox; // "常用"
    QPushButton *m_deleteButton;
    QPushButton *m_updateButton;
    QPushButton *m_addButton;
    QPlainTextEdit *m_textBox;
    KeptText m_kept;
    // The category: carried and stored, shown nowhere (the proposal's, the
    // record's own, or the one shown last).
    QString m_category;
    // The record's key, and whether it is a new record (add) or a stored one (change).
    qint64 m_id = 0;
    bool m_adding = true;
    // The team library of the record shown (none for the member's own), and
    // the version of the record the editor was opened on.
    QPointer<TeamLibrary> m_team;
    qint64 m_teamVersion = 0;
};
