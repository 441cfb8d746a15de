// A slow, direct reading of the wildcard rules, the oracle for the matcher in
// the tests and the fuzz targets. Steps are a star, or one character within
// one of the ranges (outside all of them when negated); an empty group "[]"
// is none.
#pragma once

#include "WildcardPattern.h"

#include <QStringView>
#include <algorithm>
#include <utility>
#include <vector>

namespace reference {

inline wildcard::Result wildcardMatch(QStringView p, QStringView text) {
    using wildcard::Result;
    struct Step {
        bool star = false, negate = false;
        std::vector<std::pair<char16_t, char16_t>> ranges;
    };
    std::vector<Step> steps;
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
                    return Result::Invalid;
                j += range ? 2 : 0;
            }
            if (j == p.size())
                return Result::Invalid;
            if (list.negate || !list.ranges.empty())
                steps.push_back(list);
            i = j;
        }
    }
    const auto accepts = [](const Step &step, char16_t t) {
        return step.negate != std::any_of(step.ranges.begin(), step.ranges.end(),
                                          [t](auto r) { return t >= r.first && t <= r.second; });
    };
    // fits[s][j]: the steps from s on match the text from j on.
    const qsizetype n = text.size();
    std::vector<std::vector<char>> fits(steps.size() + 1, std::vector<char>(n + 1, 0));
    fits[steps.size()][n] = 1;
    for (qsizetype s = qsizetype(steps.size()) - 1; s >= 0; --s)
        for (qsizetype j = n; j >= 0; --j)
            fits[s][j] = steps[s].star ? fits[s + 1][j] || (j < n && fits[s][j + 1])
                                       : j < n && accepts(steps[s], text[j].unicode()) && fits[s + 1][j + 1];
    return fits[0][0] ? Result::Match : Result::NoMatch;
}

} // namespace reference
