#include "accountset/server_databases.h"

#include "accountset/catalog_reader.h"

#include "core/input_checks.h"
#include "core/work_in_progress_names.h"
#include "db/query.h"
#include "db/sql_literal.h"

#include <QThread>

#include <exception>

namespace zt::accountset {

namespace {

constexpr int databaseInUse = 3702;
constexpr int cannotLockDatabase = 5030;
// The server ends the session of a connection closed just before on its own time: a few
// seconds of retries, bounded in count.
constexpr int attempts = 30;
constexpr unsigned long retryPauseMs = 100;

QStringList firstColumn(db::Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.open();
    QStringList values;
    for (query.first(); !query.eof(); query.next())
        values << query.fieldByName(QStringLiteral("name")).asString();
    query.close();
    return values;
}

// Runs the statement, again after a pause while the server answers `busyNumber`.
void executeRetrying(db::Query& query, const QString& statement, int busyNumber) {
    for (int attempt = 1;; ++attempt) {
        try {
            db::executeLines(query, {statement});
            return;
        } catch (const db::DbError& refusal) {
            if (refusal.number() != busyNumber || attempt == attempts)
                throw;
        }
        QThread::msleep(retryPauseMs);
    }
}

// An account set's own name goes in as it is (a checked identifier); the names of unfinished
// work hold a '$' and go between brackets.
QString dropStatement(const QString& name) {
    const bool plain = core::isAcceptableAccountSetName(name) && name == core::trimmedText(name);
    return QStringLiteral("drop database ") + (plain ? name : db::bracketedName(name));
}

} // namespace

bool databaseExists(db::Query& serverQuery, const QString& name) {
    return !firstColumn(serverQuery, QStringLiteral("select name from master..sysdatabases where "
                                                    "name=") +
                                         db::unicodeLiteral(name))
                .isEmpty();
}

void dropDatabase(db::Query& serverQuery, const QString& name) {
    executeRetrying(serverQuery, dropStatement(name), databaseInUse);
}

bool dropIfUnused(db::Query& serverQuery, const QString& name) {
    try {
        db::executeLines(serverQuery, {dropStatement(name)});
        return true;
    } catch (const db::DbError&) {
        return false;
    }
}

void renameDatabase(db::Query& serverQuery, const QString& from, const QString& to) {
    // From master: a connection may rename the database it was in once it has left it.
    executeRetrying(serverQuery,
                    QStringLiteral("use master\nexec sp_renamedb ") + db::unicodeLiteral(from) +
                        QStringLiteral(", ") + db::unicodeLiteral(to),
                    cannotLockDatabase);
}

DatabasesOfName databasesOfName(db::Query& serverQuery, const QString& accountSetName) {
    // The server compares the account set's own name under its collation, as "create
    // database" would; both selects go in one exchange.
    serverQuery.close();
    serverQuery.sqlClear();
    serverQuery.sqlAdd(
        QStringLiteral("select name, 1 as own from master..sysdatabases where name=") +
        db::unicodeLiteral(accountSetName));
    serverQuery.sqlAdd(
        QStringLiteral("select name, 0 as own from master..sysdatabases where name like ") +
        db::unicodeLiteral(core::unfinishedCreationPattern()));
    serverQuery.openEvery();
    DatabasesOfName found;
    for (serverQuery.first(); !serverQuery.eof(); serverQuery.next()) {
        const QString name = serverQuery.fieldByName(QStringLiteral("name")).asString();
        if (serverQuery.fieldByName(QStringLiteral("own")).asString() == u"1") {
            found.exists = true;
            continue;
        }
        const auto owner = core::accountSetOfUnfinishedCreation(name);
        if (owner && owner->compare(accountSetName, Qt::CaseInsensitive) == 0)
            found.unfinished << name;
    }
    serverQuery.close();
    return found;
}

bool removeInterruptedCreations(db::Query& serverQuery, const QString& accountSetName) {
    const DatabasesOfName found = databasesOfName(serverQuery, accountSetName);
    for (const QString& name : found.unfinished)
        dropIfUnused(serverQuery, name);
    return found.exists;
}

} // namespace zt::accountset
