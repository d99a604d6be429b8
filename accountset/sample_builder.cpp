#include "accountset/sample_builder.h"

#include "accountset/operations.h"
#include "db/query.h"
#include "db/sql_literal.h"
#include "schema/create_tables.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"

namespace zt::accountset {

namespace {

void execute(db::Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.execSql();
}

} // namespace

QString databaseOf(const SampleTarget& target) {
    return target.databaseName.isEmpty() ? sampleAccountSetName() : target.databaseName;
}

QString statementNameOf(const SampleTarget& target) {
    const QString name = databaseOf(target);
    return name == sampleAccountSetName() ? name : db::bracketedName(name);
}

QStringList sampleStatements(const QString& fileText) {
    QStringList statements;
    for (const QString& line : fileText.split(u'\n')) {
        const QString statement = line.trimmed();
        if (!statement.isEmpty() && !statement.startsWith(QStringLiteral("--")))
            statements << statement;
    }
    return statements;
}

void fillSampleDatabase(const SampleQueries& queries, const SampleTarget& target,
                        const QStringList& statements) {
    queries.database.setConnectionString(server::databaseConnectionString(
        target.credentialPart, databaseOf(target), target.serverName));
    schema::createSchema(queries.database);
    queries.templates.setConnectionString(target.localConnectionString);
    seed::seedDefaultData(queries.templates, queries.database);
    for (const QString& statement : statements)
        execute(queries.database, statement);
}

void buildSampleBackup(const SampleTarget& target, const QStringList& statements) {
    const QString name = sampleAccountSetName();
    db::Query serverLevel(QStringLiteral("ADOQuery4"));
    serverLevel.setConnectionString(
        server::serverConnectionString(target.credentialPart, target.serverName));
    execute(serverLevel, QStringLiteral("create database ") + name);
    {
        db::Query database(QStringLiteral("ADOcreate"));
        db::Query templates(QStringLiteral("ADOserver"));
        fillSampleDatabase({serverLevel, database, templates}, target, statements);
    } // the database's connection goes before the backup and the drop
    execute(serverLevel, QStringLiteral("backup database ") + name + QStringLiteral(" to disk=") +
                             db::quotedLiteral(target.backupPath));
    execute(serverLevel, QStringLiteral("drop database ") + name);
}

} // namespace zt::accountset
