#include "editor/KeptText.h"

#include <algorithm>
#include <iterator>

namespace {

// The length of the line end at i, or 0. The text box breaks a paragraph
// where it finds one: at CR LF, LF, CR, U+2029 and the frame marks U+FDD0 and
// U+FDD1.
qsizetype lineEndAt(const QString &text, qsizetype i) {
    switch (text.at(i).unicode()) {
    case u'\r':
        return i + 1 < text.size() && text.at(i + 1) == u'\n' ? 2 : 1;
    case u'\n':
    case QChar::ParagraphSeparator:
    case 0xfdd0:
    case 0xfdd1:
        return 1;
    default:
        return 0;
    }
}

} // namespace

void KeptText::keep(const QString &original, const QString &shownRaw) {
    m_original = original;
    m_shown = shownRaw;
    m_breaks.clear();
    for (qsizetype i = 0; i < original.size();) {
        const qsizetype n = lineEndAt(original, i);
        if (n > 0)
            m_breaks << original.mid(i, n);
        i += std::max<qsizetype>(n, 1);
    }
    // The most common line end; of two as common, the one that got there first.
    const QString kinds[] = {QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r"),
                             QString(QChar::ParagraphSeparator)};
    qsizetype counts[std::size(kinds)] = {};
    qsizetype most = 0;
    m_usualBreak = kinds[1];
    for (const QString &end : std::as_const(m_breaks)) {
        for (size_t kind = 0; kind < std::size(kinds); ++kind) {
            if (end == kinds[kind] && ++counts[kind] > most) {
                most = counts[kind];
                m_usualBreak = end;
            }
        }
    }
}

QString KeptText::textFor(const QString &raw) const {
    if (raw == m_shown)
        return m_original;
    const qsizetype common = std::min(raw.size(), m_shown.size());
    qsizetype head = 0;
    while (head < common && raw.at(head) == m_shown.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < common - head && raw.at(raw.size() - 1 - tail) == m_shown.at(m_shown.size() - 1 - tail))
        ++tail;
    const qsizetype breaks = raw.count(QChar::ParagraphSeparator);
    QString text;
    text.reserve(raw.size() + breaks);
    qsizetype k = 0; // breaks so far
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw.at(i) != QChar::ParagraphSeparator) {
            text += raw.at(i);
            continue;
        }
        qsizetype original = -1;
        if (i < head)
            original = k;
        else if (i >= raw.size() - tail)
            original = m_breaks.size() - (breaks - k);
        text += original >= 0 && original < m_breaks.size() ? m_breaks.at(original) : m_usualBreak;
        ++k;
    }
    return text;
}
