// The text the editor was given, kept so that what comes back out is exactly
// that text unless the user edited it. The text box turns every line end into
// a paragraph break (U+2029 in its raw text); an edited text gets its own line
// ends back: a break before or after the edited stretch its original one, a
// break inside it the text's most common line end (a line feed when it had none).
#pragma once

#include <QString>
#include <QStringList>

class KeptText {
  public:
    // The text given, and the text box's raw text right after it showed it.
    void keep(const QString &original, const QString &shownRaw);
    // The text for the box's raw text now.
    QString textFor(const QString &raw) const;

  private:
    QString m_original;
    QString m_shown;
    QStringList m_breaks; // the original's line ends, one for each paragraph break of m_shown
    QString m_usualBreak; // its most common line end
};
