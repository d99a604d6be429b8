#pragma once
// Text ordering of the server's collations: Chinese_PRC_CI_AS-like (case-insensitive by
// Unicode case folding, full-width letters included) or binary; trailing blanks never count.

#include <QStringView>

struct sqlite3;

namespace ztds::storage {

int compareCollated(QStringView a, QStringView b, bool caseInsensitive);
// Registers the collation "ZTCI" on a connection.
void registerCollation(sqlite3* db);

} // namespace ztds::storage
