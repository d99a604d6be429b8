#include "devserver/storage/collation.h"

#include <QString>

#include <algorithm>

#include <sqlite3.h>

namespace ztds::storage {

namespace {

QStringView withoutTrailingBlanks(QStringView s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == u' ')
        --n;
    return s.left(n);
}

int compareUtf16(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const QStringView left(static_cast<const QChar*>(a), lengthA / 2);
    const QStringView right(static_cast<const QChar*>(b), lengthB / 2);
    return compareCollated(left, right, true);
}

} // namespace

QChar collationFold(QChar c) {
    char16_t u = c.unicode();
    if (u >= 0xFF01 && u <= 0xFF5E) // full-width ASCII forms
        u = static_cast<char16_t>(u - 0xFEE0);
    else if (u == 0x3000) // ideographic space
        u = u' ';
    return QChar(u).toCaseFolded();
}

int compareCollated(QStringView a, QStringView b, bool caseInsensitive) {
    const QStringView left = withoutTrailingBlanks(a);
    const QStringView right = withoutTrailingBlanks(b);
    if (!caseInsensitive) {
        const int c = left.compare(right, Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    const qsizetype common = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t x = collationFold(left.at(i)).unicode();
        const char16_t y = collationFold(right.at(i)).unicode();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return left.size() == right.size() ? 0 : (left.size() < right.size() ? -1 : 1);
}

void registerCollation(sqlite3* db) {
    sqlite3_create_collation_v2(db, "ZTCI", SQLITE_UTF16_ALIGNED, nullptr, compareUtf16, nullptr);
}

} // namespace ztds::storage
