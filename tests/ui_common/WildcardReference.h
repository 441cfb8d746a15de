// A slow, direct reading of the wildcard rules, used as the oracle that the
// compiled matcher is checked against (randomized test and fuzzer).
#pragma once

#include "Wildcard.h"

#include <map>
#include <optional>
#include <utility>

namespace wildcard_test {

using wildcard::Result;

// An independent, obviously correct reading of the rules: the pattern is
// interpreted directly (no compiled form) by memoised recursion over
// (pattern position, text position).
class Reference {
  public:
    explicit Reference(QStringView pattern) : p(pattern) {}

    Result run(QStringView text) {
        t = text;
        if (!valid())
            return Result::Invalid;
        memo.clear();
        return at(0, 0) ? Result::Match : Result::NoMatch;
    }

  private:
    QStringView p, t;
    std::map<std::pair<qsizetype, qsizetype>, bool> memo;

    // Reads the list opening at p[i] ('['): the index after its ']', or nothing for an
    // unclosed list or a descending range. *hit: c passes the list; *empty: "[]".
    std::optional<qsizetype> list(qsizetype i, char16_t c, bool *hit, bool *empty) const {
        qsizetype j = i + 1;
        bool negate = false;
        if (j < p.size() && p[j] == u'!') {
            negate = true;
            ++j;
        }
        bool in = false;
        *empty = true;
        while (j < p.size() && p[j] != u']') {
            *empty = false;
            if (j + 2 < p.size() && p[j + 1] == u'-' && p[j + 2] != u']') {
                if (p[j + 2] < p[j])
                    return std::nullopt;
                in = in || (c >= p[j].unicode() && c <= p[j + 2].unicode());
                j += 3;
            } else {
                in = in || c == p[j].unicode();
                ++j;
            }
        }
        if (j >= p.size())
            return std::nullopt;
        *hit = in != negate;
        if (negate)
            *empty = false;
        return j + 1;
    }

    bool valid() const {
        for (qsizetype i = 0; i < p.size(); ++i) {
            if (p[i] == u'[') {
                bool hit, empty;
                auto next = list(i, 0, &hit, &empty);
                if (!next)
                    return false;
                i = *next - 1;
            }
        }
        return true;
    }

    bool at(qsizetype i, qsizetype j) {
        const auto key = std::make_pair(i, j);
        if (auto it = memo.find(key); it != memo.end())
            return it->second;
        bool r;
        if (i == p.size()) {
            r = j == t.size();
        } else if (p[i] == u'*') {
            r = at(i + 1, j) || (j < t.size() && at(i, j + 1));
        } else if (p[i] == u'[') {
            bool hit = false, empty = false;
            const char16_t c = j < t.size() ? t[j].unicode() : 0;
            const qsizetype next = *list(i, c, &hit, &empty);
            if (empty)
                r = at(next, j);
            else
                r = j < t.size() && hit && at(next, j + 1);
        } else if (j == t.size()) {
            r = false;
        } else if (p[i] == u'?') {
            r = at(i + 1, j + 1);
        } else if (p[i] == u'#') {
            r = t[j] >= u'0' && t[j] <= u'9' && at(i + 1, j + 1);
        } else {
            r = p[i] == t[j] && at(i + 1, j + 1);
        }
        memo[key] = r;
        return r;
    }
};

} // namespace wildcard_test
