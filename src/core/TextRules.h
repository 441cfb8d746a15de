// The title and category proposed for a captured text. Character classes are
// tested on UTF-16 code units, case-sensitively.
#pragma once

#include <QString>

namespace textrules {

// The first run of letters, digits, "_", blanks, apostrophes and Chinese
// characters, without the keywords "Sub ", "Function ", "()", "Public " and
// "Private " and without surrounding blanks; a run of Chinese characters is
// added when it holds none. Empty when the text has none of these.
QString proposeTitle(const QString &text);
// "Function", "Sub", "Class" or "API" (for "Declare") by the first that the
// text contains, otherwise "".
QString proposeCategory(const QString &text);

} // namespace textrules
