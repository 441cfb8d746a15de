// The settings window: the call-up hotkey, how the quick list executes an
// entry, whether it closes by itself, the Ctrl+C gesture, start with the
// system and the desktop shortcut. Shows the stored values when it opens and
// writes all of them back when it closes.
#pragma once

#include "Forms.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

class mSet : public FormBase {
  public:
    explicit mSet(QWidget *parent = nullptr);

    // The 38 entries of the hotkey list in order: display text and the
    // virtual-key code used with Ctrl.
    static QList<QPair<QString, int>> hotkeyEntries();
    // The help text shown at the bottom of the window (CR LF line breaks).
    static QString helpText();

    // The key code the hotkey map gives for a display text (0 when unknown).
    int hotkeyCode(const QString &text) const { return m_hotkeyMap.value(text, 0); }
    // The values the window writes when it closes, as key and value, in the
    // order they are written.
    QList<QPair<QString, QVariant>> valuesToSave() const;

    void SetTs();

    QGroupBox *Frame1;
    QLabel *Label1;
    QComboBox *ListClick_Com;
    QGroupBox *Frame4;
    QCheckBox *Chk_双击关闭;
    QCheckBox *DoubleCtrlC;
    QCheckBox *mShortCut;
    QCheckBox *mBootStart;
    QGroupBox *Frame3;
    QLabel *Label5;
    QComboBox *HotKeyList;
    QLabel *ts;

  protected:
    void Form_Unload() override;

  private:
    void Form_Load();
    void mBootStart_Click();
    void mShortCut_Click();
    void buildControls();
    void centerOnScreen();

    QHash<QString, int> m_hotkeyMap;
};
