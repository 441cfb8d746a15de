// The small window that asks, before a paste, for the answers to a text's
// fill-in prompts: one box a prompt, in the text's order, each offering the
// answer given last time. Return moves to the next box (on the last one it
// finishes), Shift+Return or Ctrl+Return breaks the line, Esc cancels the
// whole paste. Many prompts scroll.
#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

class FillInWindow : public QDialog {
    Q_OBJECT
  public:
    // offered: the answers to show at first, by prompt.
    FillInWindow(const QStringList &prompts, const QHash<QString, QString> &offered,
                 QWidget *parent = nullptr);

    // The answers as they stand, by prompt.
    QHash<QString, QString> answers() const;
    QList<QPlainTextEdit *> answerBoxes() const { return m_boxes; }
    QPushButton *okButton() const { return m_okButton; }

    // Shows the window in front of every other, centred on the screen under
    // the pointer, with the keyboard in the first box.
    void present();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void moveOn(QPlainTextEdit *from);

    QStringList m_prompts;
    QList<QPlainTextEdit *> m_boxes;
    QPushButton *m_okButton;
};
