#pragma once
// The names under which this program does work that a crash can cut off: an account set is
// built under a name that says it is unfinished and renamed to its own name in one step at the
// end; a server is proved with a probe database. Whatever an interruption leaves is then
// recognisable by its name alone, never blocks the name a user chose, and can be cleared.

#include <QString>

#include <optional>

namespace zt::core {

// "<account set>$zt_building$<8 hex digits>": '$' never appears in an account-set name, so no
// user's database can look like one.
QString unfinishedCreationName(const QString& accountSetName);
// The account set an unfinished creation was for, or nothing for any other name.
std::optional<QString> accountSetOfUnfinishedCreation(const QString& databaseName);
// A LIKE pattern that every unfinished creation's name matches (its '_' matches any character:
// accountSetOfUnfinishedCreation makes the exact test).
QString unfinishedCreationPattern();

// "abcde12345_" followed by the 16 hex digits of uniqueProbeDatabaseName().
bool isProbeDatabaseName(const QString& databaseName);

} // namespace zt::core
