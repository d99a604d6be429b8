#pragma once
// Where the local configuration database lives and how it comes to be: beside the program
// when it is there (a build tree, a copied folder), otherwise, for an installed program, per
// user under the XDG data directory. It is made from the template shipped beside the program
// only when missing; after that the file belongs to the site: a template of a higher version
// (PRAGMA user_version) only adds the tables the file lacks, and nothing in it is ever
// changed or deleted.

#include <QString>
#include <QStringList>

#include <chrono>

namespace zt::config {

// <program directory>/data/CHWHDB.template.mdb, the shipped template.
QString templateDatabasePath(const QString& programDirectory);

// The database for a program in programDirectory: <programDirectory>/data/CHWHDB.mdb when it
// exists or no template is shipped there; otherwise <dataHome>/zhangtao/CHWHDB.mdb.
QString chooseLocalDatabasePath(const QString& programDirectory, const QString& dataHome);

// Copies the template to databasePath when there is no file there (making its directory).
// An existing file is written only when the template's user_version is greater than the
// file's (what it was last brought up to; 0 for files older than the versions): then, in one
// transaction, the template's tables it lacks are added with their rows and its user_version
// becomes the template's. Rows are never added to a table the file has, changed or deleted.
// Throws db::DbError when the file cannot be made or read.
void prepareLocalDatabase(const QString& databasePath, const QString& templatePath);

// The tables the program reads in the file: its own two and the eleven template tables every
// new account set is given rows from.
const QStringList& requiredLocalTables();

// Checks the file before anything depends on it: it exists (it is never created here), opens
// read-write, holds the required tables with readable rows, and takes the write lock (taken
// and given back at once). A lock held by another program is waited for busyTimeout.
// Throws db::DbError of ErrorSource::LocalStore with SQLite's result code (extended codes
// included: compare code & 0xff) and the path; a missing table as core::missingLocalTable
// with the table's name as its text.
void requireUsableLocalDatabase(const QString& databasePath,
                                std::chrono::milliseconds busyTimeout = std::chrono::seconds(3));

} // namespace zt::config
