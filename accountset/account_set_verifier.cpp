#include "accountset/account_set_verifier.h"

#include "accountset/catalog_reader.h"
#include "core/input_checks.h"
#include "db/query.h"
#include "db/sql_literal.h"
#include "schema/create_statement.h"
#include "schema/table.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"

#include <QMap>

#include <algorithm>

namespace zt::accountset {

namespace {

const QString usersTable = QStringLiteral("用户信息表");
const QString rightsTable = QStringLiteral("用户权限表");

// ---- what the catalog says ----

struct FoundColumn {
    QString name;
    int position = 0;
    bool nullable = true;
    QString type;
    QString length; // CHARACTER_MAXIMUM_LENGTH as read; empty for NULL
    QString collation;
    bool identity = false;
};

struct FoundTable {
    std::vector<FoundColumn> columns; // by ORDINAL_POSITION
    QStringList primaryKey;           // by key ordinal
    QStringList otherConstraints;     // "UNIQUE UQ_x", "FOREIGN KEY FK_y", ...
};

using FoundTables = QMap<QString, FoundTable>;

int toInt(const QString& text) {
    return text.toInt();
}

void readTables(CatalogReader& reader, const QString& database, FoundTables& tables) {
    const CatalogReader::Rows rows = reader.select(
        QStringLiteral("select TABLE_NAME from %1.INFORMATION_SCHEMA.TABLES where TABLE_SCHEMA "
                       "= 'dbo' and TABLE_TYPE = 'BASE TABLE'")
            .arg(db::bracketedName(database)),
        {QStringLiteral("TABLE_NAME")});
    for (const QStringList& row : rows)
        tables.insert(row.at(0), FoundTable{});
}

void readColumns(CatalogReader& reader, const QString& database, FoundTables& tables) {
    const CatalogReader::Rows rows = reader.select(
        QStringLiteral(
            "select TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, IS_NULLABLE, DATA_TYPE, "
            "CHARACTER_MAXIMUM_LENGTH, COLLATION_NAME from %1.INFORMATION_SCHEMA.COLUMNS "
            "where TABLE_SCHEMA = 'dbo'")
            .arg(db::bracketedName(database)),
        {QStringLiteral("TABLE_NAME"), QStringLiteral("COLUMN_NAME"),
         QStringLiteral("ORDINAL_POSITION"), QStringLiteral("IS_NULLABLE"),
         QStringLiteral("DATA_TYPE"), QStringLiteral("CHARACTER_MAXIMUM_LENGTH"),
         QStringLiteral("COLLATION_NAME")});
    for (const QStringList& row : rows) {
        const auto table = tables.find(row.at(0));
        if (table == tables.end())
            continue; // a view's columns
        FoundColumn column;
        column.name = row.at(1);
        column.position = toInt(row.at(2));
        column.nullable = row.at(3).compare(QLatin1String("NO"), Qt::CaseInsensitive) != 0;
        column.type = row.at(4).toLower();
        column.length = row.at(5);
        column.collation = row.at(6);
        table->columns.push_back(column);
    }
    // After a dropped column the positions have gaps; only their order counts.
    for (FoundTable& table : tables)
        std::sort(
            table.columns.begin(), table.columns.end(),
            [](const FoundColumn& a, const FoundColumn& b) { return a.position < b.position; });
}

void readConstraints(CatalogReader& reader, const QString& database, FoundTables& tables) {
    const CatalogReader::Rows constraints = reader.select(
        QStringLiteral("select TABLE_NAME, CONSTRAINT_NAME, CONSTRAINT_TYPE from "
                       "%1.INFORMATION_SCHEMA.TABLE_CONSTRAINTS where TABLE_SCHEMA = 'dbo'")
            .arg(db::bracketedName(database)),
        {QStringLiteral("TABLE_NAME"), QStringLiteral("CONSTRAINT_NAME"),
         QStringLiteral("CONSTRAINT_TYPE")});
    QMap<QString, QString> primaryKeyOf; // table -> constraint name
    for (const QStringList& row : constraints) {
        const auto table = tables.find(row.at(0));
        if (table == tables.end())
            continue;
        if (row.at(2).compare(QLatin1String("PRIMARY KEY"), Qt::CaseInsensitive) == 0)
            primaryKeyOf.insert(row.at(0), row.at(1));
        else
            table->otherConstraints << row.at(2) + u' ' + row.at(1);
    }
    const CatalogReader::Rows keyColumns = reader.select(
        QStringLiteral("select TABLE_NAME, CONSTRAINT_NAME, COLUMN_NAME, ORDINAL_POSITION from "
                       "%1.INFORMATION_SCHEMA.KEY_COLUMN_USAGE where TABLE_SCHEMA = 'dbo'")
            .arg(db::bracketedName(database)),
        {QStringLiteral("TABLE_NAME"), QStringLiteral("CONSTRAINT_NAME"),
         QStringLiteral("COLUMN_NAME"), QStringLiteral("ORDINAL_POSITION")});
    QMap<QString, QMap<int, QString>> keyColumnsOf;
    for (const QStringList& row : keyColumns)
        if (primaryKeyOf.value(row.at(0)) == row.at(1) && !row.at(1).isEmpty())
            keyColumnsOf[row.at(0)].insert(toInt(row.at(3)), row.at(2));
    for (auto key = keyColumnsOf.cbegin(); key != keyColumnsOf.cend(); ++key)
        tables[key.key()].primaryKey = key.value().values();
}

// INFORMATION_SCHEMA has no identity. sysobjects and syscolumns, which every SQL Server from
// 2000 on answers (later ones as compatibility views), name a column's table only by its id;
// bit 1 of colstat marks the identity.
void readIdentities(CatalogReader& reader, const QString& database, FoundTables& tables) {
    const CatalogReader::Rows objects =
        reader.select(QStringLiteral("select id, name, xtype from %1.dbo.sysobjects")
                          .arg(db::bracketedName(database)),
                      {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("xtype")});
    QMap<QString, QString> tableOfObject;
    for (const QStringList& row : objects)
        if (row.at(2).trimmed() == u"U")
            tableOfObject.insert(row.at(0), row.at(1));
    CatalogReader::Rows identities;
    for (const QStringList& row :
         reader.select(QStringLiteral("select id, name, colstat from %1.dbo.syscolumns")
                           .arg(db::bracketedName(database)),
                       {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("colstat")}))
        if (row.at(2).toInt() & 1)
            identities.push_back(row);
    for (const QStringList& row : identities) {
        const auto table = tables.find(tableOfObject.value(row.at(0)));
        if (table == tables.end())
            continue;
        for (FoundColumn& column : table->columns)
            if (column.name == row.at(1))
                column.identity = true;
    }
}

bool databaseExists(CatalogReader& reader, const QString& database) {
    return !reader
                .select(QStringLiteral("select name from master..sysdatabases where name = %1")
                            .arg(db::unicodeLiteral(database)),
                        {QStringLiteral("name")})
                .empty();
}

FoundTables readCatalog(CatalogReader& reader, const QString& database) {
    FoundTables tables;
    try {
        readTables(reader, database, tables);
    } catch (const db::DbError&) {
        // Asked only when the first read fails, so that a good run costs nothing extra.
        if (!databaseExists(reader, database))
            throw db::DbError(QStringLiteral("帐套【%1】不存在").arg(database));
        throw;
    }
    readColumns(reader, database, tables);
    readConstraints(reader, database, tables);
    readIdentities(reader, database, tables);
    return tables;
}

// ---- comparing ----

QString nullability(bool nullable) {
    return nullable ? QStringLiteral("NULL") : QStringLiteral("NOT NULL");
}

QString identityText(bool identity) {
    return identity ? QStringLiteral("IDENTITY (1, 1)") : QString();
}

QString describe(const schema::Column& column) {
    QString text = schema::typeName(column.type);
    if (column.type == schema::ColumnType::NVarChar)
        text += QStringLiteral("(%1)").arg(column.length);
    if (column.identity)
        text += u' ' + identityText(true);
    return text + u' ' + nullability(!column.notNull);
}

QString describe(const FoundColumn& column) {
    QString text = column.type;
    if (!column.length.isEmpty() && column.type != QLatin1String("ntext"))
        text += QStringLiteral("(%1)").arg(column.length);
    if (column.identity)
        text += u' ' + identityText(true);
    return text + u' ' + nullability(column.nullable);
}

class Comparison {
public:
    explicit Comparison(std::vector<Drift>& drifts) : drifts_(drifts) {}

    void table(const schema::Table& expected, const FoundTable& found) {
        table_ = expected.name;
        for (const schema::Column& column : expected.columns)
            columnPresence(column, found);
        for (const FoundColumn& column : found.columns)
            if (!hasColumn(expected, column.name))
                add(DriftKind::ExtraColumn, column.name, {}, describe(column));
        order(expected, found);
        primaryKey(expected, found);
        for (const QString& constraint : found.otherConstraints)
            add(DriftKind::ExtraConstraint, {}, {}, constraint);
    }

private:
    void add(DriftKind kind, const QString& column, const QString& expected, const QString& found) {
        drifts_.push_back(Drift{kind, table_, column, expected, found});
    }

    static bool hasColumn(const schema::Table& table, const QString& name) {
        return std::any_of(table.columns.begin(), table.columns.end(),
                           [&](const schema::Column& c) { return c.name == name; });
    }

    void columnPresence(const schema::Column& expected, const FoundTable& found) {
        const auto match =
            std::find_if(found.columns.begin(), found.columns.end(),
                         [&](const FoundColumn& c) { return c.name == expected.name; });
        if (match == found.columns.end())
            add(DriftKind::MissingColumn, expected.name, describe(expected), {});
        else
            column(expected, *match);
    }

    void column(const schema::Column& expected, const FoundColumn& found) {
        const QString type = schema::typeName(expected.type);
        if (found.type != type) {
            add(DriftKind::ColumnType, expected.name, type, found.type);
        } else if (expected.type == schema::ColumnType::NVarChar &&
                   found.length != QString::number(expected.length)) {
            add(DriftKind::ColumnLength, expected.name, QString::number(expected.length),
                found.length);
        }
        if (found.nullable == expected.notNull)
            add(DriftKind::Nullability, expected.name, nullability(!expected.notNull),
                nullability(found.nullable));
        if (found.identity != expected.identity)
            add(DriftKind::Identity, expected.name, identityText(expected.identity),
                identityText(found.identity));
        const QString collation = schema::isCharacterType(expected.type)
                                      ? QString::fromLatin1(schema::kCharacterCollation)
                                      : QString();
        if (found.collation.compare(collation, Qt::CaseInsensitive) != 0 && found.type == type)
            add(DriftKind::Collation, expected.name, collation, found.collation);
    }

    // The columns both sides have, in each side's order.
    void order(const schema::Table& expected, const FoundTable& found) {
        QStringList wanted;
        QStringList present;
        for (const schema::Column& column : expected.columns)
            for (const FoundColumn& f : found.columns)
                if (f.name == column.name)
                    wanted << column.name;
        for (const FoundColumn& column : found.columns)
            if (wanted.contains(column.name))
                present << column.name;
        if (wanted != present)
            add(DriftKind::ColumnOrder, {}, wanted.join(u','), present.join(u','));
    }

    void primaryKey(const schema::Table& expected, const FoundTable& found) {
        QStringList key;
        for (const schema::Column& column : expected.columns)
            if (column.primaryKey)
                key << column.name;
        if (key == found.primaryKey)
            return;
        const QString column = key.isEmpty() ? found.primaryKey.join(u',') : key.join(u',');
        add(DriftKind::PrimaryKey, column, key.join(u','), found.primaryKey.join(u','));
    }

    std::vector<Drift>& drifts_;
    QString table_;
};

// "n1-n3, n7"
QString rightRanges(const std::vector<int>& numbers) {
    QStringList parts;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        parts << (i == j ? QStringLiteral("n%1").arg(numbers[i])
                         : QStringLiteral("n%1-n%2").arg(numbers[i]).arg(numbers[j]));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

bool hasColumnDrift(const std::vector<Drift>& drifts, const QString& table) {
    return std::any_of(drifts.begin(), drifts.end(), [&](const Drift& d) {
        return d.table == table && (isColumnDrift(d.kind) || d.kind == DriftKind::MissingTable);
    });
}

// The right number of "n<k>", or 0.
int rightNumber(const QString& identifier) {
    if (!identifier.startsWith(u'n'))
        return 0;
    bool ok = false;
    const int number = identifier.mid(1).toInt(&ok);
    return ok && number >= 1 && number <= seed::rightCount &&
                   identifier == QStringLiteral("n%1").arg(number)
               ? number
               : 0;
}

void checkSuperAdministrator(CatalogReader& reader, Verification& result, bool tableReadable) {
    if (tableReadable) {
        const CatalogReader::Rows rows =
            reader.select(QStringLiteral("select yhmc from %1.dbo.[%2] where yhmc = %3")
                              .arg(db::bracketedName(result.database), usersTable,
                                   db::unicodeLiteral(seed::superAdministratorName())),
                          {QStringLiteral("yhmc")});
        if (!rows.empty())
            return;
    }
    result.superAdministratorMissing = true;
    result.drifts.push_back(Drift{DriftKind::MissingSuperAdministrator,
                                  usersTable,
                                  QStringLiteral("yhmc"),
                                  seed::superAdministratorName(),
                                  {}});
}

void checkRights(CatalogReader& reader, Verification& result, bool tableReadable) {
    std::vector<bool> present(seed::rightCount + 1, false);
    std::vector<bool> granted(seed::rightCount + 1, false);
    if (tableReadable) {
        const CatalogReader::Rows rows =
            reader.select(QStringLiteral("select yhqx, pd from %1.dbo.[%2] where yhmc = %3")
                              .arg(db::bracketedName(result.database), rightsTable,
                                   db::unicodeLiteral(seed::superAdministratorName())),
                          {QStringLiteral("yhqx"), QStringLiteral("pd")});
        for (const QStringList& row : rows) {
            const int number = rightNumber(row.at(0));
            present[number] = true;
            if (row.at(1).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
                granted[number] = true;
        }
    }
    std::vector<int> notGranted;
    for (int number = 1; number <= seed::rightCount; ++number) {
        if (!present[number])
            result.missingRights.push_back(number);
        else if (!granted[number])
            notGranted.push_back(number);
    }
    const QString have = QStringLiteral("%1/%2")
                             .arg(seed::rightCount - int(result.missingRights.size()))
                             .arg(seed::rightCount);
    if (!result.missingRights.empty())
        result.drifts.push_back(Drift{DriftKind::MissingRights, rightsTable, QStringLiteral("yhqx"),
                                      rightRanges(result.missingRights), have});
    if (!notGranted.empty())
        result.drifts.push_back(Drift{DriftKind::RightNotGranted, rightsTable, QStringLiteral("pd"),
                                      QStringLiteral("true"), rightRanges(notGranted)});
}

Verification verifyWith(CatalogReader& reader, const QString& database) {
    Verification result;
    result.database = database;
    const FoundTables found = readCatalog(reader, database);
    Comparison comparison(result.drifts);
    for (const schema::Table& table : schema::accountSetTables()) {
        const auto match = found.constFind(table.name);
        if (match == found.cend()) {
            result.missingTables << table.name;
            result.drifts.push_back(Drift{DriftKind::MissingTable, table.name, {}, {}, {}});
        } else {
            comparison.table(table, *match);
        }
    }
    for (auto table = found.cbegin(); table != found.cend(); ++table)
        if (!schema::findTable(table.key()))
            result.drifts.push_back(Drift{DriftKind::ExtraTable, table.key(), {}, {}, {}});
    checkSuperAdministrator(reader, result, !hasColumnDrift(result.drifts, usersTable));
    checkRights(reader, result, !hasColumnDrift(result.drifts, rightsTable));
    result.roundTrips = reader.roundTrips();
    return result;
}

// ---- repairing ----

void execute(db::Query& query, const QStringList& lines) {
    db::executeLines(query, lines);
}

void openTable(db::Query& query, const QString& table) {
    query.close();
    query.sqlClear();
    query.sqlAdd(QStringLiteral("select*from ") + table);
    query.open();
}

void addSuperAdministrator(db::Query& target) {
    openTable(target, usersTable);
    target.append();
    target.fieldByName(QStringLiteral("yhmc")).setString(seed::superAdministratorName());
    target.post();
}

void addRights(db::Query& target, const std::vector<int>& rights) {
    openTable(target, rightsTable);
    for (int right : rights) {
        target.append();
        target.fieldByName(QStringLiteral("yhmc")).setString(seed::superAdministratorName());
        target.fieldByName(QStringLiteral("yhqx")).setString(QStringLiteral("n%1").arg(right));
        target.fieldByName(QStringLiteral("pd")).setString(QStringLiteral("true"));
        target.post();
    }
}

bool isEmpty(db::Query& target, const QString& table) {
    target.close();
    target.sqlClear();
    target.sqlAdd(QStringLiteral("select count(*) as n from ") + db::bracketedName(table));
    target.open();
    const bool empty = target.fieldByName(QStringLiteral("n")).asInteger() == 0;
    target.close();
    return empty;
}

// A creation stopped before or during the template copies leaves these tables empty; the
// business application needs their default layouts and settings.
QStringList fillEmptyTemplateTables(db::Query& target, const QString& localConnectionString) {
    QStringList filled;
    db::Query source(QStringLiteral("ADOserver"));
    source.setConnectionString(localConnectionString);
    for (const seed::TemplateTable& table : seed::templateTables()) {
        if (!isEmpty(target, table.name))
            continue;
        seed::copyTemplateTable(source, target, table);
        if (!isEmpty(target, table.name))
            filled << table.name;
    }
    source.close();
    return filled;
}

} // namespace

bool isColumnDrift(DriftKind kind) {
    switch (kind) {
    case DriftKind::MissingColumn:
    case DriftKind::ExtraColumn:
    case DriftKind::ColumnOrder:
    case DriftKind::ColumnType:
    case DriftKind::ColumnLength:
    case DriftKind::Nullability:
    case DriftKind::Identity:
    case DriftKind::PrimaryKey:
    case DriftKind::Collation:
        return true;
    default:
        return false;
    }
}

QString driftKindKey(DriftKind kind) {
    switch (kind) {
    case DriftKind::MissingTable:
        return QStringLiteral("missingTable");
    case DriftKind::ExtraTable:
        return QStringLiteral("extraTable");
    case DriftKind::MissingColumn:
        return QStringLiteral("missingColumn");
    case DriftKind::ExtraColumn:
        return QStringLiteral("extraColumn");
    case DriftKind::ColumnOrder:
        return QStringLiteral("columnOrder");
    case DriftKind::ColumnType:
        return QStringLiteral("columnType");
    case DriftKind::ColumnLength:
        return QStringLiteral("columnLength");
    case DriftKind::Nullability:
        return QStringLiteral("nullability");
    case DriftKind::Identity:
        return QStringLiteral("identity");
    case DriftKind::PrimaryKey:
        return QStringLiteral("primaryKey");
    case DriftKind::Collation:
        return QStringLiteral("collation");
    case DriftKind::ExtraConstraint:
        return QStringLiteral("extraConstraint");
    case DriftKind::MissingSuperAdministrator:
        return QStringLiteral("missingSuperAdministrator");
    case DriftKind::MissingRights:
        return QStringLiteral("missingRights");
    case DriftKind::RightNotGranted:
        return QStringLiteral("rightNotGranted");
    }
    return {};
}

QString driftKindText(DriftKind kind) {
    switch (kind) {
    case DriftKind::MissingTable:
        return QStringLiteral("缺少表");
    case DriftKind::ExtraTable:
        return QStringLiteral("多余的表");
    case DriftKind::MissingColumn:
        return QStringLiteral("缺少列");
    case DriftKind::ExtraColumn:
        return QStringLiteral("多余的列");
    case DriftKind::ColumnOrder:
        return QStringLiteral("列的次序不同");
    case DriftKind::ColumnType:
        return QStringLiteral("类型不同");
    case DriftKind::ColumnLength:
        return QStringLiteral("长度不同");
    case DriftKind::Nullability:
        return QStringLiteral("可否为空不同");
    case DriftKind::Identity:
        return QStringLiteral("标识列不同");
    case DriftKind::PrimaryKey:
        return QStringLiteral("主键不同");
    case DriftKind::Collation:
        return QStringLiteral("排序规则不同");
    case DriftKind::ExtraConstraint:
        return QStringLiteral("多余的约束");
    case DriftKind::MissingSuperAdministrator:
        return QStringLiteral("缺少超级管理员");
    case DriftKind::MissingRights:
        return QStringLiteral("缺少权限行");
    case DriftKind::RightNotGranted:
        return QStringLiteral("权限未授予");
    }
    return {};
}

int Verification::differenceCount() const {
    return int(drifts.size()) - extraTableCount();
}

int Verification::extraTableCount() const {
    return int(std::count_if(drifts.begin(), drifts.end(),
                             [](const Drift& d) { return d.kind == DriftKind::ExtraTable; }));
}

void requireStatementSafeName(const QString& name) {
    if (!core::isAcceptableAccountSetName(name) || name != core::trimmedText(name))
        throw db::DbError(
            QStringLiteral("帐套名称只能由汉字、字母、数字和下划线组成，不能以数字开头，"
                           "且不超过50个字符！"));
}

Verification verifyAccountSet(const ServerTarget& server, const QString& database) {
    requireStatementSafeName(database);
    CatalogReader reader(server);
    return verifyWith(reader, database);
}

Repair repairAccountSet(const ServerTarget& server, const QString& database,
                        const QString& localConnectionString) {
    Repair repair;
    repair.before = verifyAccountSet(server, database);
    for (const Drift& drift : repair.before.drifts)
        if (isColumnDrift(drift.kind))
            repair.refusedFor.push_back(drift);
    if (!repair.refusedFor.empty()) {
        repair.refused = true;
        return repair;
    }
    const Verification& before = repair.before;
    db::Query target(QStringLiteral("ADOcreate"));
    target.setConnectionString(
        server::databaseConnectionString(server.credentialPart, database, server.serverName));
    for (const QString& name : before.missingTables) {
        execute(target, schema::createTableLines(*schema::findTable(name)));
        repair.createdTables << name;
    }
    if (before.superAdministratorMissing) {
        addSuperAdministrator(target);
        repair.addedSuperAdministrator = true;
    }
    if (!before.missingRights.empty()) {
        addRights(target, before.missingRights);
        repair.addedRights = int(before.missingRights.size());
    }
    repair.filledTemplateTables = fillEmptyTemplateTables(target, localConnectionString);
    target.close();
    repair.after = verifyAccountSet(server, database);
    return repair;
}

} // namespace zt::accountset
