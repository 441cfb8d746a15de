// A slow, direct reading of the wildcard rules: the oracle the compiled matcher
// is checked against.
#pragma once

#include "Wildcard.h"

#include <algorithm>
#include <vector>

namespace wildcard_test {

// One step of a pattern: a star, or one character of the text that must lie in
// one of the ranges (outside all of them when negated).
struct Step {
    bool star = false, negate = false;
    std::vector<std::pair<char16_t, char16_t>> ranges;
    bool accepts(char16_t t) const {
        return negate != std::any_of(ranges.begin(), ranges.end(),
                                     [t](auto r) { return t >= r.first && t <= r.second; });
    }
};

// The pattern as steps; false for an unclosed list or a descending range. The
// empty group "[]" takes no character and gives no step.
inline bool readSteps(QStringView p, std::vector<Step> &steps) {
    for (qsizetype i = 0; i < p.size(); ++i) {
        const char16_t c = p[i].unicode();
        if (c == u'*' || c == u'?') {
            steps.push_back({c == u'*', true, {}});
        } else if (c != u'[') {
            steps.push_back({false, false, {c == u'#' ? std::pair(u'0', u'9') : std::pair(c, c)}});
        } else {
            Step list{false, i + 1 < p.size() && p[i + 1] == u'!', {}};
            qsizetype j = i + 1 + list.negate;
            for (; j < p.size() && p[j] != u']'; ++j) {
                const bool range = j + 2 < p.size() && p[j + 1] == u'-' && p[j + 2] != u']';
                list.ranges.emplace_back(p[j].unicode(), p[range ? j + 2 : j].unicode());
                if (list.ranges.back().second < list.ranges.back().first)
                    return false;
                j += range ? 2 : 0;
            }
            if (j == p.size())
                return false;
            if (list.negate || !list.ranges.empty())
                steps.push_back(list);
            i = j;
        }
    }
    return true;
}

inline wildcard::Result reference(QStringView pattern, QStringView text) {
    std::vector<Step> steps;
    if (!readSteps(pattern, steps))
        return wildcard::Result::Invalid;
    // fits[s][j]: the steps from s on match the text from j on.
    const qsizetype n = text.size();
    std::vector<std::vector<char>> fits(steps.size() + 1, std::vector<char>(n + 1, 0));
    fits[steps.size()][n] = 1;
    for (qsizetype s = qsizetype(steps.size()) - 1; s >= 0; --s) {
        for (qsizetype j = n; j >= 0; --j) {
            if (steps[s].star)
                fits[s][j] = fits[s + 1][j] || (j < n && fits[s][j + 1]);
            else
                fits[s][j] = j < n && steps[s].accepts(text[j].unicode()) && fits[s + 1][j + 1];
        }
    }
    return fits[0][0] ? wildcard::Result::Match : wildcard::Result::NoMatch;
}

} // namespace wildcard_test
