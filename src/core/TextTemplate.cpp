#include "TextTemplate.h"

#include <QLocale>
#include <QTextBoundaryFinder>

namespace {

constexpr QStringView Open = u"{{";
constexpr QStringView Close = u"}}";

struct Name {
    QStringView text;
    TextTemplate::Kind kind;
    bool takesArgument;
};
// 日期, 时间 and 输入 take an argument after a colon; the others take none.
constexpr Name Names[] = {
    {u"日期", TextTemplate::Kind::Date, true},     {u"时间", TextTemplate::Kind::Time, true},
    {u"星期", TextTemplate::Kind::Weekday, false}, {u"剪贴板", TextTemplate::Kind::Clipboard, false},
    {u"光标", TextTemplate::Kind::Caret, false},   {u"输入", TextTemplate::Kind::FillIn, true},
};

// The field whose braces open at `at`, if the text there is one.
bool readField(QStringView text, qsizetype at, TextTemplate::Field &field) {
    const qsizetype inner = at + Open.size();
    const qsizetype close = text.indexOf(Close, inner);
    if (close < 0)
        return false;
    const QStringView body = text.sliced(inner, close - inner);
    // An argument never spans lines or holds another opening.
    if (body.contains(Open) || body.contains(u'\n') || body.contains(u'\r'))
        return false;
    const qsizetype colon = body.indexOf(u':');
    const QStringView name = colon < 0 ? body : body.first(colon);
    for (const Name &known : Names) {
        if (name != known.text)
            continue;
        if (colon >= 0 && !known.takesArgument)
            return false;
        field.begin = at;
        field.end = close + Close.size();
        field.kind = known.kind;
        field.hasArgument = colon >= 0;
        field.argument = colon >= 0 ? body.sliced(colon + 1) : QStringView();
        return true;
    }
    return false;
}

QString promptOf(const TextTemplate::Field &field) {
    // {{输入}} and {{输入:}} ask with the field's own name.
    return field.argument.isEmpty() ? QStringLiteral("输入") : field.argument.toString();
}

// Whether a Qt date-time format is one: it has a format letter, every ASCII
// letter outside quotes is one, and every quote is closed.
bool isValidFormat(QStringView format) {
    bool quoted = false;
    bool formatLetter = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted || c.unicode() > 127 || !c.isLetter())
            continue;
        static constexpr QStringView Letters = u"dMyhHmszaAt";
        // "ap" and "AP": the p belongs to the a before it.
        const bool amPm =
            (c == u'p' || c == u'P') && i > 0 && (format[i - 1] == u'a' || format[i - 1] == u'A');
        if (!Letters.contains(c) && !amPm)
            return false;
        formatLetter = true;
    }
    return formatLetter && !quoted;
}

} // namespace

TextTemplate::TextTemplate(const QString &text) : m_text(text) {
    const QStringView view(m_text);
    qsizetype at = view.indexOf(Open);
    while (at >= 0) {
        Field field;
        if (!readField(view, at, field)) {
            at = view.indexOf(Open, at + 1);
            continue;
        }
        if (at > 0 && view[at - 1] == u'\\') {
            field.begin = at - 1;
            field.kind = Kind::Escaped;
        }
        m_fields.push_back(field);
        at = view.indexOf(Open, field.end);
    }
}

QStringList TextTemplate::prompts() const {
    QStringList prompts;
    for (const Field &field : m_fields)
        if (field.kind == Kind::FillIn) {
            const QString prompt = promptOf(field);
            if (!prompts.contains(prompt))
                prompts << prompt;
        }
    return prompts;
}

bool TextTemplate::usesClipboard() const {
    for (const Field &field : m_fields)
        if (field.kind == Kind::Clipboard)
            return true;
    return false;
}

TemplateExpansion TextTemplate::expand(const QDateTime &now, const QString &clipboard,
                                       const QHash<QString, QString> &answers) const {
    if (m_fields.empty())
        return {m_text, -1};
    const QStringView view(m_text);
    TemplateExpansion out;
    out.text.reserve(m_text.size());
    qsizetype copied = 0;
    for (const Field &field : m_fields) {
        out.text += view.sliced(copied, field.begin - copied);
        copied = field.end;
        switch (field.kind) {
        case Kind::Date:
            out.text += template_form::format(now, field.argument, template_form::Date);
            break;
        case Kind::Time:
            out.text += template_form::format(now, field.argument, template_form::Time);
            break;
        case Kind::Weekday:
            out.text += template_form::weekday(now.date());
            break;
        case Kind::Clipboard:
            out.text += clipboard;
            break;
        case Kind::Caret:
            if (out.caret < 0)
                out.caret = out.text.size();
            break;
        case Kind::FillIn:
            out.text += answers.value(promptOf(field));
            break;
        case Kind::Escaped:
            out.text += view.sliced(field.begin + 1, field.end - field.begin - 1);
            break;
        }
    }
    out.text += view.sliced(copied);
    return out;
}

TemplateExpansion expandTemplate(const QString &text, const QDateTime &now, const QString &clipboard,
                                 const QHash<QString, QString> &answers) {
    return TextTemplate(text).expand(now, clipboard, answers);
}

int charactersAfter(QStringView text, qsizetype caret) {
    if (caret < 0 || caret >= text.size())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.sliced(caret));
    int count = 0;
    while (finder.toNextBoundary() >= 0)
        ++count;
    return count;
}

const QList<TemplateFieldChoice> &templateFieldChoices() {
    static const QList<TemplateFieldChoice> choices = {
        {QStringLiteral("今天的日期"), QStringLiteral("{{日期}}")},
        {QStringLiteral("日期，自定格式"), QStringLiteral("{{日期:yyyy年M月d日}}")},
        {QStringLiteral("现在的时间"), QStringLiteral("{{时间}}")},
        {QStringLiteral("星期几"), QStringLiteral("{{星期}}")},
        {QStringLiteral("剪贴板内容"), QStringLiteral("{{剪贴板}}")},
        {QStringLiteral("粘贴后光标位置"), QStringLiteral("{{光标}}")},
        {QStringLiteral("粘贴前填写"), QStringLiteral("{{输入:提示}}")},
    };
    return choices;
}

namespace template_form {

QString format(const QDateTime &now, QStringView format, const QString &fallback) {
    static const QLocale chinese(QLocale::Chinese, QLocale::China);
    return chinese.toString(now, isValidFormat(format) ? format : QStringView(fallback));
}

QString weekday(const QDate &date) {
    static const QString Names[] = {QStringLiteral("星期一"), QStringLiteral("星期二"),
                                    QStringLiteral("星期三"), QStringLiteral("星期四"),
                                    QStringLiteral("星期五"), QStringLiteral("星期六"),
                                    QStringLiteral("星期日")};
    const int day = date.dayOfWeek();
    return day >= 1 && day <= 7 ? Names[day - 1] : QString();
}

} // namespace template_form
