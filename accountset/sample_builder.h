#pragma once
// Making the sample account set's backup: a fresh database under the sample name with this
// program's schema and default rows, the demonstration data loaded, then "backup database".
// The build runs it on a temporary zt-devserver; pointed at a real SQL Server it makes a real
// SQL Server backup.

#include <QString>
#include <QStringList>

namespace zt::db {
class Query;
}

namespace zt::accountset {

// The statements of a sample data file: one a line; empty lines and "--" comments skipped.
QStringList sampleStatements(const QString& fileText);

struct SampleTarget {
    QString serverName;
    QString credentialPart;        // as stored in 系统路径表
    QString localConnectionString; // where the template rows come from
    QString backupPath;            // as the server sees it
    QString databaseName;          // where the sample is built; empty: the sample's own name
};

// The database the target names: its databaseName, else the sample's own name.
QString databaseOf(const SampleTarget& target);
// That name as a statement takes it: the sample's own name as it is, any other bracketed.
QString statementNameOf(const SampleTarget& target);

// The query objects that make the sample: one at server level, one in the sample database,
// one on the local configuration database for the template rows.
struct SampleQueries {
    db::Query& serverLevel;
    db::Query& database;
    db::Query& templates;
};

// Into the sample database that "create database" has just made: this program's schema,
// the default rows and the demonstration data statements. Throws db::DbError at the first
// failing step.
void fillSampleDatabase(const SampleQueries& queries, const SampleTarget& target,
                        const QStringList& statements);

// Creates the sample database (it must not exist), fills it, backs it up and drops it again.
// Throws db::DbError; a failure after the creation leaves the database for inspection.
void buildSampleBackup(const SampleTarget& target, const QStringList& statements);

} // namespace zt::accountset
