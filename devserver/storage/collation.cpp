#include "devserver/storage/collation.h"

#include <QString>

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

int compareCollated(QStringView a, QStringView b, bool caseInsensitive) {
    const int c = withoutTrailingBlanks(a).compare(
        withoutTrailingBlanks(b), caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void registerCollation(sqlite3* db) {
    sqlite3_create_collation_v2(db, "ZTCI", SQLITE_UTF16_ALIGNED, nullptr, compareUtf16, nullptr);
}

} // namespace ztds::storage
