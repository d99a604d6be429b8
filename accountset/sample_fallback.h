#pragma once
// The sample account set on a server that cannot read the shipped backup: one on another
// machine (the path is the workstation's), or a real SQL Server (the backup is in the
// development server's format). Such a server gets the same account set built statement by
// statement from the sample data file shipped beside the backup.

#include "accountset/sample_builder.h"

#include <QString>

namespace zt::db {
class DbError;
}

namespace zt::accountset {

// <directory of backupPath>/sample_account_set.sql
QString sampleDataFileBeside(const QString& backupPath);

// Whether a failed restore says that the server cannot read the backup: it cannot open or
// read the device (3201, 3203), the file is no backup it understands (3241 to 3243, 3266),
// or the restore ended abnormally without saying more (3013).
bool cannotReadBackup(const db::DbError& failure);

// Whether to build the sample instead: the server cannot read the backup and the sample
// data file is there to build from.
bool buildsSampleInstead(const db::DbError& restoreFailure, const QString& dataFile);

// Creates the sample account set from dataFile (database, schema, default rows,
// demonstration data). All or nothing: a failure after "create database" drops the database
// again and is thrown on as db::DbError.
void buildSampleAccountSet(const SampleQueries& queries, const SampleTarget& target,
                           const QString& dataFile);

} // namespace zt::accountset
