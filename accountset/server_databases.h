#pragma once
// The server-level statements on whole databases that creation, the sample restore, deletion
// and clean-up share: whether a database exists, dropping and renaming it (each retried while
// the server still counts a just-closed session as using the database), and finding what an
// interrupted creation left.

#include <QString>
#include <QStringList>

namespace zt::db {
class Query;
}

namespace zt::accountset {

// master..sysdatabases, which every SQL Server from 2000 on answers.
bool databaseExists(db::Query& serverQuery, const QString& name);

// "drop database [name]", tried again a while when the server answers that it is in use.
void dropDatabase(db::Query& serverQuery, const QString& name);
// One try only: a database that is in use belongs to work still going on. False when refused.
bool dropIfUnused(db::Query& serverQuery, const QString& name);

// "exec sp_renamedb N'from', N'to'" (every version from 2000 on has it), tried again a while
// when the database cannot yet be locked for it (5030). Throws db::DbError otherwise, 1801
// when a database named `to` exists.
void renameDatabase(db::Query& serverQuery, const QString& from, const QString& to);

// What the server holds under an account set's name, read in one look-up.
struct DatabasesOfName {
    bool exists = false;    // a database of the account set's own name
    QStringList unfinished; // what interrupted creations of it left (their unfinished names)
};
DatabasesOfName databasesOfName(db::Query& serverQuery, const QString& accountSetName);

// Drops what interrupted creations of the account set left, leaving any still in use (another
// installer's creation at work) and any the server refuses: a new creation works under a name
// of its own either way. Answers whether a database of the account set's own name exists.
bool removeInterruptedCreations(db::Query& serverQuery, const QString& accountSetName);

} // namespace zt::accountset
