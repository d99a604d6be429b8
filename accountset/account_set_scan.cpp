#include "accountset/account_set_scan.h"

#include "accountset/catalog_reader.h"
#include "config/local_config.h"
#include "core/input_checks.h"
#include "core/work_in_progress_names.h"
#include "db/sql_literal.h"
#include "schema/table.h"
#include "seed/default_data.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>

namespace zt::accountset {

namespace {

// Selects per batch: a few round trips for hundreds of databases, batches of a size any
// server takes.
constexpr int databasesPerBatch = 50;
constexpr int databaseInUse = 3702;

struct Contents {
    int ours = 0;   // of the 108, in dbo
    int others = 0; // any other table
    int users = 0;  // super administrator rows
    int rights = 0; // its rights rows
    QString error;  // the tables could not be read
};

using ContentsByName = QHash<QString, Contents>;

int accountSetTableCount() {
    return int(schema::accountSetTables().size());
}

QStringList userDatabases(CatalogReader& reader) {
    QStringList names;
    for (const QStringList& row : reader.select(
             QStringLiteral("select name from master..sysdatabases"), {QStringLiteral("name")}))
        if (!core::isSystemDatabaseName(row.at(0)))
            names << row.at(0);
    return names;
}

QString tablesSelect(const QString& database) {
    return QStringLiteral("select %1 as db, TABLE_SCHEMA, TABLE_NAME from "
                          "%2.INFORMATION_SCHEMA.TABLES where TABLE_TYPE = 'BASE TABLE'")
        .arg(db::unicodeLiteral(database), db::bracketedName(database));
}

void countTables(const CatalogReader::Rows& rows, ContentsByName& contents) {
    for (const QStringList& row : rows) {
        Contents& c = contents[row.at(0)];
        const bool ours = row.at(1).compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0 &&
                          schema::findTable(row.at(2)) != nullptr;
        ++(ours ? c.ours : c.others);
    }
}

// The selects of a group go in one batch; a group one of whose databases cannot be read is
// read again one by one, so that only that database is marked unreadable.
void readTables(CatalogReader& reader, const QStringList& names, ContentsByName& contents) {
    const QStringList columns = {QStringLiteral("db"), QStringLiteral("TABLE_SCHEMA"),
                                 QStringLiteral("TABLE_NAME")};
    for (qsizetype first = 0; first < names.size(); first += databasesPerBatch) {
        const QStringList group = names.mid(first, databasesPerBatch);
        QStringList selects;
        for (const QString& name : group)
            selects << tablesSelect(name);
        try {
            countTables(reader.selectEvery(selects.join(u'\n'), columns), contents);
            continue;
        } catch (const db::DbError&) {
            // Looked at one by one below.
        }
        for (const QString& name : group) {
            try {
                countTables(reader.select(tablesSelect(name), columns), contents);
            } catch (const db::DbError& failure) {
                contents[name].error = failure.text();
            }
        }
    }
}

QString rowsSelect(const QString& database, const QString& what, const QString& table) {
    return QStringLiteral("select %1 as db, %2 as what, count(*) as n from %3.dbo.%4 where "
                          "yhmc = %5")
        .arg(db::unicodeLiteral(database), db::unicodeLiteral(what), db::bracketedName(database),
             db::bracketedName(table), db::unicodeLiteral(seed::superAdministratorName()));
}

// The super administrator and its rights, for the databases that have all 108 tables.
void readDefaultRows(CatalogReader& reader, const QStringList& names, ContentsByName& contents) {
    for (qsizetype first = 0; first < names.size(); first += databasesPerBatch) {
        QStringList selects;
        for (const QString& name : names.mid(first, databasesPerBatch))
            selects << rowsSelect(name, QStringLiteral("users"), QStringLiteral("用户信息表"))
                    << rowsSelect(name, QStringLiteral("rights"), QStringLiteral("用户权限表"));
        const CatalogReader::Rows rows =
            reader.selectEvery(selects.join(u'\n'),
                               {QStringLiteral("db"), QStringLiteral("what"), QStringLiteral("n")});
        for (const QStringList& row : rows) {
            Contents& c = contents[row.at(0)];
            (row.at(1) == u"users" ? c.users : c.rights) = row.at(2).toInt();
        }
    }
}

struct RegistryRow {
    qint64 id = 0;
    QString name;
};

// The rows of the network registry; false when there is none.
bool readRegistry(CatalogReader& reader, std::vector<RegistryRow>& rows) {
    if (!networkRegistryExists(reader))
        return false;
    for (const QStringList& row :
         reader.select(QStringLiteral("select id, ztmc from master.dbo.CHdatebase"),
                       {QStringLiteral("id"), QStringLiteral("ztmc")}))
        rows.push_back({row.at(0).toLongLong(), core::trimmedText(row.at(1))});
    return true;
}

std::optional<DatabaseKind> kindOf(const QString& name, const Contents& c) {
    if (core::accountSetOfUnfinishedCreation(name))
        return DatabaseKind::UnfinishedCreation;
    if (core::isProbeDatabaseName(name))
        return DatabaseKind::Probe;
    if (!c.error.isEmpty())
        return DatabaseKind::Unreadable;
    if (c.ours == 0)
        return c.others == 0 ? std::optional(DatabaseKind::Empty) : std::nullopt;
    const bool defaultRows = c.users > 0 && c.rights >= seed::rightCount;
    return c.ours == accountSetTableCount() && defaultRows ? DatabaseKind::AccountSet
                                                           : DatabaseKind::Incomplete;
}

bool locallyRegistered(const QString& localConnectionString, const QString& database,
                       const QString& serverName) {
    db::Query local(QStringLiteral("ADOQuery1"));
    local.setConnectionString(localConnectionString);
    const bool registered =
        config::isAccountSetRegistered(local, database, core::trimmedText(serverName));
    local.close();
    return registered;
}

// Whether a named database may go: leftovers always; a half-made or empty database only
// when neither registry names it.
DropOutcome judgeNamedDrop(const ScannedDatabase* d, const QString& localConnectionString,
                           const QString& serverName) {
    if (!d)
        return DropOutcome::NotFound;
    switch (d->kind) {
    case DatabaseKind::UnfinishedCreation:
    case DatabaseKind::Probe:
        return DropOutcome::Dropped;
    case DatabaseKind::Unreadable:
        return DropOutcome::Unreadable;
    case DatabaseKind::AccountSet:
        return DropOutcome::Complete;
    case DatabaseKind::Incomplete:
    case DatabaseKind::Empty:
        break;
    }
    if (d->registered)
        return DropOutcome::Registered;
    if (locallyRegistered(localConnectionString, d->name, serverName))
        return DropOutcome::RegisteredLocally;
    return DropOutcome::Dropped;
}

// One try: a database in use belongs to work still going on.
DropOutcome drop(CatalogReader& reader, const QString& name) {
    try {
        reader.execute(QStringLiteral("drop database ") + db::bracketedName(name));
        return DropOutcome::Dropped;
    } catch (const db::DbError& refusal) {
        if (refusal.number() == databaseInUse)
            return DropOutcome::InUse;
        throw;
    }
}

Scan scanWith(CatalogReader& reader, const QStringList& names, const QStringList& present) {
    Scan scan;
    std::vector<RegistryRow> registry;
    scan.registryExists = readRegistry(reader, registry);
    ContentsByName contents;
    readTables(reader, names, contents);
    QStringList whole;
    for (const QString& name : names)
        if (contents.value(name).ours == accountSetTableCount())
            whole << name;
    readDefaultRows(reader, whole, contents);

    QSet<QString> registered;
    for (const RegistryRow& row : registry)
        registered.insert(row.name.toCaseFolded());
    for (const QString& name : names) {
        const Contents c = contents.value(name);
        const auto kind = kindOf(name, c);
        if (!kind)
            continue;
        scan.databases.push_back({name, *kind, c.ours, c.others,
                                  c.users > 0 && c.rights >= seed::rightCount, c.error,
                                  registered.contains(name.toCaseFolded())});
    }
    QSet<QString> existing;
    for (const QString& name : present)
        existing.insert(name.toCaseFolded());
    for (const RegistryRow& row : registry)
        if (!existing.contains(row.name.toCaseFolded()))
            scan.orphanRegistryRows.push_back({row.id, row.name});
    return scan;
}

const ScannedDatabase* findScanned(const Scan& scan, const QString& name) {
    const auto it =
        std::find_if(scan.databases.begin(), scan.databases.end(), [&](const ScannedDatabase& d) {
            return d.name.compare(name, Qt::CaseInsensitive) == 0;
        });
    return it == scan.databases.end() ? nullptr : &*it;
}

} // namespace

bool ScannedDatabase::leftover() const {
    return kind == DatabaseKind::UnfinishedCreation || kind == DatabaseKind::Probe;
}

Scan scanServer(const ServerTarget& server) {
    CatalogReader reader(server);
    const QStringList names = userDatabases(reader);
    Scan scan = scanWith(reader, names, names);
    scan.roundTrips = reader.roundTrips();
    return scan;
}

DropResult dropIncompleteAccountSet(const ServerTarget& server, const QString& database,
                                    const QString& localConnectionString) {
    const bool leftover =
        core::accountSetOfUnfinishedCreation(database) || core::isProbeDatabaseName(database);
    if (!leftover)
        requireStatementSafeName(database);
    CatalogReader reader(server);
    const QStringList names = userDatabases(reader);
    const auto it = std::find_if(names.begin(), names.end(), [&](const QString& name) {
        return name.compare(database, Qt::CaseInsensitive) == 0;
    });
    if (it == names.end())
        return {DropOutcome::NotFound, 0};
    const Scan scan = scanWith(reader, {*it}, names);
    const ScannedDatabase* found = findScanned(scan, *it);
    const int tables = found ? found->tables : 0;
    if (!found)
        return {DropOutcome::NotAnAccountSet, 0};
    const DropOutcome judged = judgeNamedDrop(found, localConnectionString, server.serverName);
    if (judged != DropOutcome::Dropped)
        return {judged, tables};
    return {drop(reader, found->name), tables};
}

CleanUp cleanUpServer(const ServerTarget& server, const QStringList& namedDatabases,
                      const QString& localConnectionString, bool apply) {
    CatalogReader reader(server);
    const QStringList names = userDatabases(reader);
    const Scan scan = scanWith(reader, names, names);
    CleanUp result;
    result.applied = apply;
    for (const ScannedDatabase& d : scan.databases)
        if (d.leftover())
            result.items.push_back({d.name, d.kind, false, 0, false, DropOutcome::Dropped});
    for (const OrphanRegistryRow& row : scan.orphanRegistryRows)
        result.items.push_back(
            {row.name, DatabaseKind::Empty, true, row.id, false, DropOutcome::Dropped});
    for (const QString& name : namedDatabases) {
        const ScannedDatabase* d = findScanned(scan, name);
        if (d && d->leftover())
            continue; // already on the list
        const DropOutcome judged = judgeNamedDrop(d, localConnectionString, server.serverName);
        result.items.push_back(
            {d ? d->name : name, d ? d->kind : DatabaseKind::Empty, false, 0, true, judged});
    }
    if (apply) {
        for (CleanUpItem& item : result.items) {
            if (item.outcome != DropOutcome::Dropped)
                continue;
            if (item.registryRow)
                reader.execute(QStringLiteral("delete from master.dbo.CHdatebase where id = ") +
                               QString::number(item.registryId));
            else
                item.outcome = drop(reader, item.name);
        }
    }
    result.roundTrips = reader.roundTrips();
    return result;
}

} // namespace zt::accountset
