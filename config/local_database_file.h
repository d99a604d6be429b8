#pragma once
// Where the local configuration database lives and how it comes to be: beside the program
// when it is there (a build tree, a copied folder), otherwise, for an installed program, per
// user under the XDG data directory. It is made from the template shipped beside the program
// only when missing; a newer template only adds what is missing. Nothing a user stored is
// ever overwritten.

#include <QString>

namespace zt::config {

// <program directory>/data/CHWHDB.template.mdb, the shipped template.
QString templateDatabasePath(const QString& programDirectory);

// The database for a program in programDirectory: <programDirectory>/data/CHWHDB.mdb when it
// exists or no template is shipped there; otherwise <dataHome>/zhangtao/CHWHDB.mdb.
QString chooseLocalDatabasePath(const QString& programDirectory, const QString& dataHome);

// Copies the template to databasePath when there is no file there (making its directory);
// otherwise adds the template's tables that the database lacks, with their rows, and to the
// tables both have the template rows the database lacks. Existing rows are never changed.
// Throws db::DbError when the file cannot be made or read.
void prepareLocalDatabase(const QString& databasePath, const QString& templatePath);

} // namespace zt::config
