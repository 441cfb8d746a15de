// libFuzzer target: the input is split at its first NUL into a pattern and a
// text (both UTF-16, so lone surrogates occur); the compiled matcher must agree
// with the reference reading of the rules, as given and with the text folded.
#include "Wildcard.h"
#include "WildcardReference.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::size_t units = size / 2;
    if (units > 64) // the reference is slow on long inputs; length adds nothing new
        return 0;
    QString all(qsizetype(units), Qt::Uninitialized);
    std::memcpy(all.data(), data, units * 2);
    const qsizetype cut = all.indexOf(QChar(0));
    const QString pattern = cut < 0 ? all : all.left(cut);
    const QString text = cut < 0 ? QString() : all.mid(cut + 1);

    const wildcard::Result expected = wildcard_test::Reference(pattern).run(text);
    if (wildcard::match(text, pattern) != expected)
        std::abort();
    const wildcard::Pattern compiled(pattern);
    const bool folded =
        wildcard_test::Reference(pattern).run(wildcard::lowerCodeUnits(text)) == wildcard::Result::Match;
    if (compiled.matches(text, true) != folded)
        std::abort();
    return 0;
}
