#pragma once
// Text ordering of the server's collations: Chinese_PRC_CI_AS-like (case- and
// width-insensitive: Unicode case folding, full-width forms equal to their ASCII letters;
// accents count) or binary; trailing blanks never count.

#include <QChar>
#include <QStringView>

struct sqlite3;

namespace ztds::storage {

// One character as the case-insensitive collation sees it.
QChar collationFold(QChar c);
int compareCollated(QStringView a, QStringView b, bool caseInsensitive);
// Registers the collation "ZTCI" on a connection.
void registerCollation(sqlite3* db);

} // namespace ztds::storage
