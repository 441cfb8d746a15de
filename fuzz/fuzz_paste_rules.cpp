// The paste keystroke rules from any text: nothing crashes, every line that is
// neither blank, a comment nor a rule is named among the malformed ones (as
// it stands, trimmed, in its order), and each class a rule names gets the
// keystroke of the first rule naming it.
#include "FuzzSupport.h"
#include "PasteKeyRules.h"

#include <algorithm>
#include <string>

namespace {

std::string trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    const PasteKeyRules rules(text);

    // The lines as the rules read them, independently.
    std::vector<std::string> malformed;
    std::vector<std::pair<std::string, platform::PasteKeys>> named;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        const size_t equals = line.rfind('=');
        std::string keys;
        for (const char c : equals == std::string::npos ? std::string() : line.substr(equals + 1))
            if (c != ' ' && c != '\t')
                keys += c;
        const std::string windowClass =
            equals == std::string::npos ? std::string() : trimmed(line.substr(0, equals));
        const platform::PasteKeys all[] = {platform::PasteKeys::CtrlV, platform::PasteKeys::CtrlShiftV,
                                           platform::PasteKeys::ShiftInsert};
        const auto match = std::find_if(std::begin(all), std::end(all), [&](platform::PasteKeys k) {
            return lower(keys) == lower(pasteKeysName(k));
        });
        if (windowClass.empty() || match == std::end(all))
            malformed.push_back(line);
        else
            named.emplace_back(windowClass, *match);
    }
    fuzz::check(rules.malformed() == malformed, "the malformed lines are not named as they stand",
                QByteArray::fromStdString(text));
    for (const auto &rule : named) {
        const std::string &windowClass = rule.first;
        const auto first = std::find_if(named.begin(), named.end(), [&](const auto &earlier) {
            return lower(earlier.first) == lower(windowClass);
        });
        for (const bool asInstance : {false, true}) {
            platform::WindowClass window;
            (asInstance ? window.instance : window.className) = windowClass;
            fuzz::check(rules.keysFor(window) == first->second, "a rule's class does not get its keystroke",
                        QByteArray::fromStdString(windowClass));
        }
    }
    return 0;
}
