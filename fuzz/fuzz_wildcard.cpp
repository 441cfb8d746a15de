// The wildcard matcher against the slow reference reading of its rules. The
// first byte chooses how the rest becomes text (bit 0: UTF-16 code units, so
// lone surrogates occur; otherwise UTF-8, see textOf); the first line is the pattern, the
// rest the text. The matcher must agree with the reference as given and
// folded, keep its promises about the shortest match and the literal every
// match holds, and take no more than a bound of processor time per input, so
// that a pattern that makes it backtrack exponentially is found.
#include "FuzzSupport.h"
#include "FuzzTime.h"
#include "WildcardPattern.h"
#include "WildcardReference.h"

using wildcard::Result;

namespace {

// Generous for the longest input (see wildcard.options) under the sanitizers:
// a quadratic matcher takes a few milliseconds there.
constexpr double BoundMs = 200;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const QString all = fuzz::textOf(data, size);
    const qsizetype cut = all.indexOf(u'\n');
    const QString pattern = cut < 0 ? all : all.left(cut);
    const QString text = cut < 0 ? QString() : all.mid(cut + 1);
    const QString folded = wildcard::lowerCodeUnits(text);

    const double start = fuzz::threadMs();
    const Result given = wildcard::match(text, pattern);
    const wildcard::Pattern compiled(pattern);
    const bool foldedMatch = compiled.matches(text, true);
    const double took = fuzz::threadMs() - start;
    fuzz::check(took < BoundMs, "the matcher took too long", QByteArray::number(took) + " ms");

    const QByteArray detail = "pattern \"" + pattern.toUtf8() + "\" text \"" + text.toUtf8() + "\"";
    fuzz::check(given == reference::wildcardMatch(pattern, text), "the matcher and the reference disagree",
                detail);
    fuzz::check(foldedMatch == (reference::wildcardMatch(pattern, folded) == Result::Match),
                "the folded match and the reference disagree", detail);
    fuzz::check(compiled.isValid() == (given != Result::Invalid), "validity differs", detail);
    if (given == Result::Match || foldedMatch) {
        fuzz::check(text.size() >= compiled.minimumLength(), "a match is shorter than the minimum length",
                    detail);
        for (const bool noBar : {false, true}) {
            const QString literal = compiled.longestLiteral(noBar);
            fuzz::check(!noBar || !literal.contains(u'|'), "the literal holds a bar", detail);
            fuzz::check((given == Result::Match ? text : folded).contains(literal),
                        "a match lacks the literal every match holds",
                        detail + " literal \"" + literal.toUtf8() + "\"");
        }
    }
    return 0;
}
