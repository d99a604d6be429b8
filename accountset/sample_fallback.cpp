#include "accountset/sample_fallback.h"

#include "accountset/operations.h"
#include "accountset/server_databases.h"
#include "db/query.h"
#include "server/connection_strings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace zt::accountset {

namespace {

QString readDataFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw db::DbError(QStringLiteral("无法读取例子帐套数据文件 %1").arg(path));
    return QString::fromUtf8(file.readAll());
}

void run(db::Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.execSql();
}

// Best effort: the failure that got us here is the one to report. The drop is tried again
// while the server still ends the session of the connection just closed.
void dropQuietly(const SampleQueries& queries, const SampleTarget& target) {
    // Off the sample database first: a database in use cannot be dropped.
    queries.database.setConnectionString(
        server::serverConnectionString(target.credentialPart, target.serverName));
    try {
        dropDatabase(queries.database, databaseOf(target));
    } catch (const db::DbError&) {
        // Still in use after the retries, or gone with the connection: nothing more to do.
    }
}

} // namespace

QString sampleDataFileBeside(const QString& backupPath) {
    return QFileInfo(backupPath).dir().filePath(QStringLiteral("sample_account_set.sql"));
}

bool cannotReadBackup(const db::DbError& failure) {
    static constexpr std::array unreadable{3201, 3203, 3241, 3242, 3243, 3266, 3013};
    return std::find(unreadable.begin(), unreadable.end(), failure.number()) != unreadable.end();
}

bool buildsSampleInstead(const db::DbError& restoreFailure, const QString& dataFile) {
    return cannotReadBackup(restoreFailure) && QFileInfo(dataFile).isFile();
}

void buildSampleAccountSet(const SampleQueries& queries, const SampleTarget& target,
                           const QString& dataFile) {
    const QStringList statements = sampleStatements(readDataFile(dataFile));
    queries.serverLevel.setConnectionString(
        server::serverConnectionString(target.credentialPart, target.serverName));
    run(queries.serverLevel, QStringLiteral("create database ") + statementNameOf(target));
    try {
        fillSampleDatabase(queries, target, statements);
    } catch (...) {
        dropQuietly(queries, target);
        throw;
    }
}

} // namespace zt::accountset
