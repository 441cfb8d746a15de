// Fields inside a stored text, filled in when the text is given back from the
// quick list. A field is a Chinese name between double braces, so that the
// braces of code ({}, ${x}, {{ x }} of web templates) are never taken for one:
//   {{日期}} {{日期:格式}}   today's date, 2026-12-07, or in a Qt date format
//   {{时间}} {{时间:格式}}   the time of day, 14:05, or in a Qt time format
//   {{星期}}                 the day of the week, 星期一
//   {{剪贴板}}               the clipboard's text from before the list opened
//   {{光标}}                 where the caret is left (the first one; the others go)
//   {{输入:提示}}            the answer the user typed to the prompt
// Anything else between double braces stays as written; a backslash right
// before a field keeps that field as written and goes itself. A text without
// fields comes back as the very same string, not a copy.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

struct TemplateExpansion {
    QString text;
    // Where the caret goes, as an index into text; -1 leaves it after the text.
    qsizetype caret = -1;
};

class TextTemplate {
  public:
    // Finds the fields; the text is shared, not copied.
    explicit TextTemplate(const QString &text);

    // Whether expanding changes anything (a field or an escaped one).
    bool hasFields() const { return !m_fields.empty(); }
    // The distinct prompts of the fill-ins, in the order they first appear.
    QStringList prompts() const;
    // Whether a {{剪贴板}} field is there.
    bool usesClipboard() const;

    // The text with every field filled in. A prompt without an answer gets
    // the empty string; answers are pasted as typed, line breaks included.
    TemplateExpansion expand(const QDateTime &now, const QString &clipboard,
                             const QHash<QString, QString> &answers) const;

    enum class Kind { Date, Time, Weekday, Clipboard, Caret, FillIn, Escaped };
    struct Field {
        qsizetype begin = 0; // the first brace, or the escaping backslash
        qsizetype end = 0;   // just after the closing braces
        Kind kind = Kind::Escaped;
        QStringView argument; // after the colon: a format or a prompt
        bool hasArgument = false;
    };
    const std::vector<Field> &fields() const { return m_fields; }

  private:
    QString m_text;
    std::vector<Field> m_fields;
};

// The whole expansion in one call: text, the time now, the clipboard's text
// and the answers to the prompts give the text to paste and the caret's place.
TemplateExpansion expandTemplate(const QString &text, const QDateTime &now, const QString &clipboard,
                                 const QHash<QString, QString> &answers);

// How many characters, as a text box counts them when the Left key moves over
// them, lie between the caret and the end of the text: a letter with its
// accents, a surrogate pair and a CR LF line break are one each.
int charactersAfter(QStringView text, qsizetype caret);

// The fields as the editor offers them: what its menu says and what it inserts.
struct TemplateFieldChoice {
    QString label;
    QString field;
};
const QList<TemplateFieldChoice> &templateFieldChoices();

// The date and time forms a field falls back to, and the weekday's names.
namespace template_form {
inline const QString Date = QStringLiteral("yyyy-MM-dd");
inline const QString Time = QStringLiteral("HH:mm");
// Formats a moment by a Qt date-time format with Chinese names of days and
// months; an empty format or one with an ASCII letter that is no format
// letter (outside quotes) or an unclosed quote gives the fallback form.
QString format(const QDateTime &now, QStringView format, const QString &fallback);
QString weekday(const QDate &date);
} // namespace template_form
