// Fields in an executed entry's text: before the paste the fields are filled
// in (the fill-in window asks for the prompts first; cancelling it sends
// nothing), and after it the caret goes back to where {{光标}} stood. A text
// without fields goes to the paste as it is, the same string.
#pragma once

#include "Paste.h"
#include "fill_in/FillInWindow.h"
#include "platform.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class TextTemplate;
class Settings;

class TemplatePaste : public QObject {
    Q_OBJECT
  public:
    TemplatePaste(Settings &settings, PasteRuleReader &rules, QObject *parent = nullptr);
    ~TemplatePaste() override;

    // The list was called up: what the clipboard holds now is what
    // {{剪贴板}} gives, whatever the program puts there later.
    void noteCallUp();

    // Fills the text's fields and hands the result to paste (which puts it on
    // the clipboard and, for a target, into it), then moves the caret. With
    // prompts this returns at once and the rest follows the fill-in window.
    using PasteFunction = std::function<PasteOutcome(const QString &text)>;
    void paste(const QString &text, platform::WindowId target, const PasteFunction &pasteText);

    // The fill-in window while it asks, else nullptr.
    FillInWindow *fillIn() const { return m_fillIn; }

    // How long the target has for the paste before the caret moves.
    static constexpr int CaretDelayMs = 200;

  private:
    QString clipboardText() const;
    // Expands, pastes, and after a paste into a target moves its caret.
    void finish(const TextTemplate &found, const QString &clipboard, const QHash<QString, QString> &answers,
                platform::WindowId target, const PasteFunction &pasteText);

    Settings &m_settings;
    PasteRuleReader &m_rules;
    // At the call-up: whether the clipboard was this program's, and its text then.
    bool m_ownedAtCallUp = false;
    QString m_ownTextAtCallUp;
    QPointer<FillInWindow> m_fillIn;
};
