// The title and category proposed for a captured text. Character classes are
// tested on UTF-16 code units by hand: the CJK range U+4E00..U+FA29 then also
// takes in surrogate halves and private-use characters, as a regular
// expression over code units would, and a surrogate pair is never split
// (both halves always fall on the same side of every class).
#include "TextRules.h"

#include <QRegularExpression>
#include <QStringView>

namespace textrules {

namespace {

inline bool isHan(char16_t c) {
    return c >= 0x4E00 && c <= 0xFA29;
}

// A-Z, '_', a-z, U+4E00..U+FA29, 0-9, space, apostrophe.
inline bool isTitleChar(char16_t c) {
    return (c >= u'A' && c <= u'Z') || c == u'_' || (c >= u'a' && c <= u'z') || isHan(c) ||
           (c >= u'0' && c <= u'9') || c == u' ' || c == u'\'';
}

// The first non-empty run of characters that pass `in`, or an empty view.
template <typename Pred> QStringView firstRun(QStringView text, Pred in) {
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n && !in(text[start].unicode()))
        ++start;
    qsizetype end = start;
    while (end < n && in(text[end].unicode()))
        ++end;
    return text.sliced(start, end - start);
}

// Leading and trailing spaces only (U+0020), as the classic Trim removes.
QStringView trimSpaces(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.sliced(b, e - b);
}

bool containsHan(QStringView s) {
    for (QChar c : s) {
        if (isHan(c.unicode()))
            return true;
    }
    return false;
}

bool hasLoneSurrogate(QStringView s) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (s[i].isSurrogate())
            return true;
    }
    return false;
}

// The keyword removal done by hand, the same left-to-right scan as the regular
// expression. Only for text with a lone surrogate half, which the regular
// expression engine refuses to scan and would hand back with the keywords left in.
QString stripKeywords(QStringView s) {
    static const QStringView keywords[] = {u"Sub ", u"Function ", u"()", u"Public ", u"Private "};
    QString out;
    out.reserve(s.size());
    qsizetype i = 0;
    while (i < s.size()) {
        qsizetype skip = 0;
        for (QStringView k : keywords) {
            if (s.sliced(i).startsWith(k)) {
                skip = k.size();
                break;
            }
        }
        if (skip) {
            i += skip;
        } else {
            out.append(s[i]);
            ++i;
        }
    }
    return out;
}

const QRegularExpression &keywordPattern() {
    static const QRegularExpression pattern(QStringLiteral(R"(Sub |Function |[\(][\)]|Public |Private )"));
    return pattern;
}

} // namespace

QString proposeTitle(const QString &text) {
    QString title;
    const QStringView run = firstRun(QStringView(text), isTitleChar);
    if (!run.isEmpty()) {
        const QString stripped =
            hasLoneSurrogate(run) ? stripKeywords(run) : run.toString().remove(keywordPattern());
        title = trimSpaces(stripped).toString();
    }
    if (!containsHan(title)) {
        const QStringView han = firstRun(QStringView(text), isHan);
        if (!han.isEmpty())
            title = title.isEmpty() ? han.toString() : title + QChar(u' ') + han.toString();
    }
    return title;
}

QString proposeCategory(const QString &text) {
    if (text.contains(QStringView(u"Function")))
        return QStringLiteral("Function");
    if (text.contains(QStringView(u"Sub")))
        return QStringLiteral("Sub");
    if (text.contains(QStringView(u"Class")))
        return QStringLiteral("Class");
    if (text.contains(QStringView(u"Declare")))
        return QStringLiteral("API");
    return QString();
}

} // namespace textrules
