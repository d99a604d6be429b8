#pragma once
// Text ordering of the server's collations: Chinese_PRC_CI_AS-like (case- and
// width-insensitive: Unicode case folding, full-width forms equal to their ASCII letters;
// accents count) or binary; trailing blanks never count.

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringView>

struct sqlite3;

namespace ztds::storage {

// One character as the case-insensitive collation sees it.
QChar collationFold(QChar c);
int compareCollated(QStringView a, QStringView b, bool caseInsensitive);
// char/varchar/text data in the collation's code page (936, GBK): what SQL Server keeps and
// sends for the single-byte types. A character the code page lacks becomes '?', as there.
QByteArray toCodePage(QStringView text);
QString fromCodePage(const QByteArray& bytes);
// Bytes of the text in the code page: the length that char(n)/varchar(n) count.
int codePageLength(QStringView text);
// The longest prefix of the text that fits in the given number of code-page bytes.
QString leftCodePageBytes(const QString& text, int bytes);

// The code page a SQL Server collation keeps char/varchar in, by its name's family
// (Chinese_PRC_CI_AS: 936, Latin1_General_CI_AS: 1252, Hebrew_CI_AI: 1255 ...); 0 for a name
// of no family known here.
int collationCodePage(const QString& name);
// The code page every char/varchar value is kept in.
inline constexpr int storedCodePage = 936;

// Registers the collation "ZTCI" on a connection.
void registerCollation(sqlite3* db);

} // namespace ztds::storage
