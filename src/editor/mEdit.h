// The record editor: the one window in which a library record is added,
// changed or deleted field by field. Opened in add mode for a captured text
// (the icon window's showmEdit) and in edit mode for a stored record
// (gotomEdit, from the quick list menu).
#pragma once

#include "Forms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>

namespace DataEdit {
struct EditorRecord;
}

class mEdit : public FormBase {
    Q_OBJECT
  public:
    // Runs Form_Load. Obtain the window with Forms::Form<mEdit>::get().
    explicit mEdit(QWidget *parent = nullptr);

    // The controls, under their own names.
    QLabel *Label1;            // "文本分类"
    QLabel *Label2;            // "TypeName", off the window
    QLabel *Label3;            // "ID"
    QLabel *Label4;            // "文本框双击"
    QLabel *Label5;            // "文本标题"
    QLabel *ID1;               // the record's key as digits (red)
    QLabel *ts;                // the greyed hint
    QComboBox *MoudleName1;    // group, editable
    QComboBox *TypeName1;      // category, editable, off the window
    QComboBox *DBCom;          // what a double-click on the text box does, editable
    QLineEdit *CodeName1;      // title
    QPlainTextEdit *CodeText1; // the text
    QCheckBox *IsUsedCheck;    // "常用"
    QPushButton *AddCom;       // "新增"
    QPushButton *DeleteCom;    // "删除"
    QPushButton *UpdateCom;    // "更新"

    // The mode is the visibility of the buttons: add mode shows AddCom alone,
    // edit mode shows DeleteCom and UpdateCom.
    void setAddMode();
    void setEditMode();
    bool isAddMode() const;

    // Stands the editor immediately to the left of the anchor, top edges level
    // (the anchor may be hidden: its position counts all the same), pulls it
    // onto the screen and shows it modeless in front.
    void placeAgainst(QWidget *anchor);

    // The greyed hint under the caption.
    void SetTs();

    // The text box's contents as the text came: unedited, exactly the text
    // given; edited, with the line ends the text came with (the box itself
    // turns every line end into a paragraph break).
    void setCodeText(const QString &text);
    QString codeText() const;

    // The editor's fields as the store takes them.
    DataEdit::EditorRecord record() const;

    // Event handlers, named after control and event.
    void AddCom_Click();
    void DeleteCom_Click();
    void UpdateCom_Click();
    void CodeName1_DblClick();
    void CodeText1_DblClick();
    void Form_DblClick();
    void Form_Resize();

  protected:
    void Form_Load();
    void Form_Unload() override;

    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

  private:
    void buildControls();
    void applyPlacement();

    // The anchor's outer position in twips while a placement may still need
    // correcting (the window manager reports the frame only after the first show).
    bool m_placing = false;
    QString m_original;   // the text as given
    QString m_shown;      // the document's raw text right after it was given
    QStringList m_breaks; // the given text's line ends, one for each paragraph break of m_shown
    QString m_usualBreak; // its most common line end
    int m_anchorLeft = 0;
    int m_anchorTop = 0;
    QSize m_placedSize;
};

// Opens the editor in edit mode for a stored record and places it against the
// anchor (the quick list).
void gotomEdit(qint64 ID, const QString &CodeName, const QString &Code, const QString &TypeName,
               const QString &MoudleName, const QString &IsUsed, QWidget *anchor);
