#include "devserver/sql/like_pattern.h"

#include "devserver/storage/collation.h"

#include <vector>

namespace ztds::sql {

namespace {

struct LikeElement {
    enum Kind { Literal, AnyOne, AnySequence, Set } kind = Literal;
    QChar ch;
    QString members; // single characters of a [set]
    std::vector<std::pair<QChar, QChar>> ranges;
    bool negated = false;
};

QChar fold(QChar c, bool ci) {
    return ci ? storage::collationFold(c) : c;
}

std::vector<LikeElement> compileLike(const QString& pattern, bool ci, std::optional<QChar> escape) {
    std::vector<LikeElement> out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        LikeElement e;
        if (escape && c == *escape && i + 1 < pattern.size()) {
            e.ch = fold(pattern.at(++i), ci);
        } else if (c == u'%') {
            e.kind = LikeElement::AnySequence;
        } else if (c == u'_') {
            e.kind = LikeElement::AnyOne;
        } else if (c == u'[' && pattern.indexOf(u']', i + 1) > i + 1) {
            const qsizetype end = pattern.indexOf(u']', i + 1);
            QString body = pattern.mid(i + 1, end - i - 1);
            i = end;
            e.kind = LikeElement::Set;
            if (body.startsWith(u'^') && body.size() > 1) {
                e.negated = true;
                body = body.mid(1);
            }
            for (qsizetype k = 0; k < body.size(); ++k) {
                if (k + 2 < body.size() && body.at(k + 1) == u'-') {
                    e.ranges.emplace_back(fold(body.at(k), ci), fold(body.at(k + 2), ci));
                    k += 2;
                } else {
                    e.members.append(fold(body.at(k), ci));
                }
            }
        } else {
            e.ch = fold(c, ci);
        }
        out.push_back(std::move(e));
    }
    return out;
}

bool elementMatches(const LikeElement& e, QChar c) {
    switch (e.kind) {
    case LikeElement::Literal:
        return e.ch == c;
    case LikeElement::AnyOne:
        return true;
    case LikeElement::Set: {
        bool in = e.members.contains(c);
        for (const auto& [lo, hi] : e.ranges)
            in = in || (c >= lo && c <= hi);
        return in != e.negated;
    }
    case LikeElement::AnySequence:
        return true;
    }
    return false;
}

} // namespace

bool likeMatch(const QString& text, const QString& pattern, bool ci, std::optional<QChar> escape) {
    const auto elements = compileLike(pattern, ci, escape);
    QString subject;
    subject.reserve(text.size());
    for (QChar c : text)
        subject.append(fold(c, ci));
    // reachable[j]: the first i elements can match the first j characters.
    std::vector<char> reachable(subject.size() + 1, 0);
    reachable[0] = 1;
    for (const auto& e : elements) {
        std::vector<char> next(subject.size() + 1, 0);
        if (e.kind == LikeElement::AnySequence) {
            char any = 0;
            for (qsizetype j = 0; j <= subject.size(); ++j) {
                any = any || reachable[j];
                next[j] = any;
            }
        } else {
            for (qsizetype j = 0; j < subject.size(); ++j)
                next[j + 1] = reachable[j] && elementMatches(e, subject.at(j));
        }
        reachable = std::move(next);
    }
    return reachable[subject.size()] != 0;
}

} // namespace ztds::sql
