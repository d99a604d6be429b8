#include "accountset/account_set_scan.h"

#include "accountset/catalog_reader.h"
#include "accountset/operations.h"
#include "config/local_config.h"
#include "schema/table.h"

#include <QSet>

#include <algorithm>

namespace zt::accountset {

namespace {

bool isSystemDatabase(const QString& name) {
    static const QStringList system = {QStringLiteral("master"), QStringLiteral("tempdb"),
                                       QStringLiteral("model"), QStringLiteral("msdb")};
    return system.contains(name, Qt::CaseInsensitive);
}

bool isStatementSafe(const QString& name) {
    return isAcceptableAccountSetName(name) && name == trimmedText(name);
}

int accountSetTablesIn(CatalogReader& reader, const QString& database) {
    const CatalogReader::Rows rows = reader.select(
        QStringLiteral("select TABLE_NAME from %1.INFORMATION_SCHEMA.TABLES where TABLE_SCHEMA "
                       "= 'dbo' and TABLE_TYPE = 'BASE TABLE'")
            .arg(bracketed(database)),
        {QStringLiteral("TABLE_NAME")});
    return int(std::count_if(rows.begin(), rows.end(), [](const QStringList& row) {
        return schema::findTable(row.at(0)) != nullptr;
    }));
}

ScannedDatabase look(CatalogReader& reader, const QString& database) {
    ScannedDatabase scanned;
    scanned.name = database;
    try {
        scanned.tables = accountSetTablesIn(reader, database);
    } catch (const db::DbError& failure) {
        scanned.readable = false;
        scanned.error = failure.text();
    }
    return scanned;
}

// The names in the network registry, trimmed and case-folded; false when there is no registry.
bool readRegistry(CatalogReader& reader, QSet<QString>& names) {
    const CatalogReader::Rows exists = reader.select(
        QStringLiteral("select TABLE_NAME from master.INFORMATION_SCHEMA.TABLES where "
                       "TABLE_SCHEMA = 'dbo' and TABLE_NAME = 'CHdatebase'"),
        {QStringLiteral("TABLE_NAME")});
    if (exists.empty())
        return false;
    const CatalogReader::Rows rows = reader.select(
        QStringLiteral("select ztmc from master.dbo.CHdatebase"), {QStringLiteral("ztmc")});
    for (const QStringList& row : rows)
        names.insert(trimmedText(row.at(0)).toCaseFolded());
    return true;
}

QStringList userDatabases(CatalogReader& reader) {
    QStringList names;
    for (const QStringList& row :
         reader.select(QStringLiteral("select name from sys.databases"), {QStringLiteral("name")}))
        if (!isSystemDatabase(row.at(0)))
            names << row.at(0);
    return names;
}

bool locallyRegistered(const QString& localConnectionString, const QString& database,
                       const QString& serverName) {
    db::Query local(QStringLiteral("ADOQuery1"));
    local.setConnectionString(localConnectionString);
    const bool registered = config::isAccountSetRegistered(local, database, serverName);
    local.close();
    return registered;
}

} // namespace

bool ScannedDatabase::complete() const {
    return readable && tables == int(schema::accountSetTables().size());
}

Scan scanServer(const ServerTarget& server) {
    CatalogReader reader(server);
    Scan scan;
    QSet<QString> registered;
    scan.registryExists = readRegistry(reader, registered);
    for (const QString& name : userDatabases(reader)) {
        if (!isStatementSafe(name)) {
            scan.skipped << name;
            continue;
        }
        ScannedDatabase scanned = look(reader, name);
        scanned.registered = registered.contains(name.toCaseFolded());
        if (scanned.tables > 0 || !scanned.readable)
            scan.databases.push_back(scanned);
    }
    scan.exchanges = reader.exchanges();
    return scan;
}

DropResult dropIncompleteAccountSet(const ServerTarget& server, const QString& database,
                                    const QString& localConnectionString) {
    requireStatementSafeName(database);
    CatalogReader reader(server);
    const QStringList databases = userDatabases(reader);
    if (!databases.contains(database, Qt::CaseInsensitive))
        return {DropOutcome::NotFound, 0};
    const ScannedDatabase scanned = look(reader, database);
    if (!scanned.readable)
        return {DropOutcome::Unreadable, 0};
    if (scanned.tables == 0)
        return {DropOutcome::NotAnAccountSet, 0};
    if (scanned.complete())
        return {DropOutcome::Complete, scanned.tables};
    QSet<QString> registered;
    readRegistry(reader, registered);
    if (registered.contains(database.toCaseFolded()))
        return {DropOutcome::Registered, scanned.tables};
    if (locallyRegistered(localConnectionString, database, server.serverName))
        return {DropOutcome::RegisteredLocally, scanned.tables};
    reader.execute(QStringLiteral("drop database ") + database);
    return {DropOutcome::Dropped, scanned.tables};
}

} // namespace zt::accountset
