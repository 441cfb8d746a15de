// The pinyin matcher against the slow reference that tries every spelling.
// The input becomes a text (see textOf); its first line is the search text,
// the rest the title. The matcher must agree with the reference and take no
// more than a bound of processor time per input.
#include "FuzzSupport.h"
#include "FuzzTime.h"
#include "PinyinMatcher.h"
#include "PinyinReference.h"

namespace {

constexpr double BoundMs = 200;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString all = fuzz::textOf(data, size);
    const qsizetype cut = all.indexOf(u'\n');
    const QString search = cut < 0 ? all : all.left(cut);
    const QString title = cut < 0 ? QString() : all.mid(cut + 1);

    const double start = fuzz::threadMs();
    const PinyinMatcher matcher(search);
    const bool found = matcher.matches(title);
    const double took = fuzz::threadMs() - start;
    fuzz::check(took < BoundMs, "the matcher took too long", QByteArray::number(took) + " ms");

    const QByteArray detail = "search \"" + search.toUtf8() + "\" title \"" + title.toUtf8() + "\"";
    fuzz::check(!found || matcher.isActive(), "an inactive matcher matched", detail);
    const QStringList characters = reference::characters(title);
    fuzz::check(found == reference::pinyinMatch(characters, search), "the matcher and the reference disagree",
                detail);
    fuzz::check(matcher.matchesAtStart(title) == reference::pinyinMatch(characters, search, true),
                "the matcher and the reference disagree on a match at the start", detail);
    return 0;
}
