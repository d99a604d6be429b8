// CREATE/DROP TABLE and the row statements INSERT, UPDATE, DELETE (SELECT has a file of its own).

#include "devserver/session/session_impl.h"

#include "devserver/sql/errors.h"
#include "devserver/storage/collation.h"
#include "devserver/values/wire_constants.h"

#include <QRandomGenerator>
#include <QSet>

#include <algorithm>

namespace ztds {

using sql::Expr;
using sql::makeMessage;
using sql::SqlError;
using sql::TypedValue;
using sql::TypeTag;
using storage::ColumnDef;
using storage::TableDef;

namespace {

std::optional<SqlType> supportedType(const QString& name) {
    static const std::pair<const char*, SqlType> types[] = {
        {"nvarchar", SqlType::NVarChar},
        {"ntext", SqlType::NText},
        {"int", SqlType::Int},
        {"bigint", SqlType::BigInt},
        {"money", SqlType::Money},
        {"smalldatetime", SqlType::SmallDateTime},
        {"datetime", SqlType::DateTime},
        {"float", SqlType::Float},
        {"bit", SqlType::Bit},
        {"tinyint", SqlType::TinyInt},
        {"smallint", SqlType::SmallInt},
        {"real", SqlType::Real},
        {"char", SqlType::Char},
        {"varchar", SqlType::VarChar},
        {"nchar", SqlType::NChar},
        {"varbinary", SqlType::VarBinary},
        {"uniqueidentifier", SqlType::UniqueIdentifier},
        {"datetime2", SqlType::DateTime2}};
    for (const auto& [text, type] : types)
        if (name.compare(QLatin1String(text), Qt::CaseInsensitive) == 0)
            return type;
    return std::nullopt;
}

bool isKnownSqlServerType(const QString& name) {
    static const QSet<QString> known{QStringLiteral("varchar"),
                                     QStringLiteral("char"),
                                     QStringLiteral("nchar"),
                                     QStringLiteral("text"),
                                     QStringLiteral("decimal"),
                                     QStringLiteral("numeric"),
                                     QStringLiteral("smallint"),
                                     QStringLiteral("tinyint"),
                                     QStringLiteral("real"),
                                     QStringLiteral("date"),
                                     QStringLiteral("time"),
                                     QStringLiteral("datetime2"),
                                     QStringLiteral("datetimeoffset"),
                                     QStringLiteral("uniqueidentifier"),
                                     QStringLiteral("image"),
                                     QStringLiteral("varbinary"),
                                     QStringLiteral("binary"),
                                     QStringLiteral("smallmoney"),
                                     QStringLiteral("xml"),
                                     QStringLiteral("sql_variant"),
                                     QStringLiteral("timestamp"),
                                     QStringLiteral("rowversion"),
                                     QStringLiteral("sysname")};
    return known.contains(name.toLower());
}

// What a column declaration is checked against: the persona's types and the statement's line.
struct Declaration {
    const ServerVersion& version;
    int line = 1;
};

// SQL Server before 2005 knows no (max): its parser stops at the word.
[[noreturn]] void throwMaxUnknown(const Declaration& at) {
    if (at.version.rewordedMessages)
        throw SqlError(102, 15, 1, QStringLiteral("Incorrect syntax near 'max'."));
    throw SqlError(170, 15, 1,
                   QStringLiteral("Line %1: Incorrect syntax near 'max'.").arg(at.line));
}

[[noreturn]] void throwTypeUnknown(const Declaration& at, int position, const QString& typeName) {
    throw SqlError(2715, 16, 6,
                   (at.version.rewordedMessages
                        ? QStringLiteral("Column, parameter, or variable #%1: Cannot find data "
                                         "type %2.")
                        : QStringLiteral("Column or parameter #%1: Cannot find data type %2."))
                       .arg(position)
                       .arg(typeName));
}

bool isSizedType(SqlType type) {
    return type == SqlType::NVarChar || type == SqlType::NChar || type == SqlType::VarChar ||
           type == SqlType::Char || type == SqlType::VarBinary;
}

// The length a column keeps: characters for nvarchar/nchar (up to 4000), bytes for the
// single-byte and binary types (up to 8000), -1 for (max) where the type allows it.
int declaredLength(const sql::ColumnDefinition& d, SqlType type, int position,
                   const Declaration& at) {
    if (!isSizedType(type)) {
        if (d.length && type != SqlType::Float && type != SqlType::DateTime2)
            throw SqlError(2716, 16, 1,
                           QStringLiteral("Column, parameter, or variable #%1: Cannot specify a "
                                          "column width on data type %2.")
                               .arg(position)
                               .arg(d.typeName));
        return 0;
    }
    const int length = d.length.value_or(1);
    const bool unicode = type == SqlType::NVarChar || type == SqlType::NChar;
    const bool variable = type != SqlType::NChar && type != SqlType::Char;
    if (length == maxLength && !at.version.maxTypes)
        throwMaxUnknown(at);
    if (length == maxLength && variable)
        return maxLength;
    if (length <= 0)
        throw SqlError(
            1001, 15, 1,
            QStringLiteral("Line 1: Length or precision specification %1 is invalid.").arg(length));
    const int limit = unicode ? 4000 : 8000;
    if (length > limit)
        throw SqlError(131, 15, 2,
                       QStringLiteral("The size (%1) given to the column '%2' exceeds the "
                                      "maximum allowed for any data type (%3).")
                           .arg(length)
                           .arg(d.name)
                           .arg(limit));
    return length;
}

// datetime2(n): 0 to 7 digits of the second, 7 when not given.
int declaredFractionalDigits(const sql::ColumnDefinition& d) {
    const int digits = d.length.value_or(7);
    if (digits < 0 || digits > 7)
        throw SqlError(1002, 15, 1,
                       QStringLiteral("Line 1: Specified scale %1 is invalid.").arg(digits));
    return digits;
}

ColumnDef columnFromDefinition(const sql::ColumnDefinition& d, int position,
                               const QString& tableName, const Declaration& at) {
    const auto type = supportedType(d.typeName);
    if (type == SqlType::DateTime2 && !at.version.dateTime2)
        throwTypeUnknown(at, position, d.typeName);
    if (!type) {
        if (isKnownSqlServerType(d.typeName))
            sql::throwNotSupported(QStringLiteral("Data type '%1'").arg(d.typeName));
        throwTypeUnknown(at, position, d.typeName);
    }
    ColumnDef c;
    c.name = d.name;
    c.type = *type;
    c.length = declaredLength(d, *type, position, at);
    if (*type == SqlType::DateTime2)
        c.fractionalDigits = declaredFractionalDigits(d);
    const bool isTextType = sql::isText(sql::tagOf(*type));
    if (!d.collation.isEmpty()) {
        if (!isTextType)
            throw SqlError(447, 16, 1,
                           QStringLiteral("Expression type %1 is invalid for COLLATE clause.")
                               .arg(d.typeName.toLower()));
        requireKeptCollation(d.collation, sql::isSingleByteText(sql::tagOf(*type)));
    }
    c.collation = isTextType
                      ? (d.collation.isEmpty() ? QStringLiteral("Chinese_PRC_CI_AS") : d.collation)
                      : QString();
    if (d.identity) {
        if (*type != SqlType::Int && *type != SqlType::BigInt)
            throw SqlError(2749, 16, 2,
                           QStringLiteral("Identity column '%1' must be of data type int, bigint, "
                                          "smallint, tinyint, or decimal or numeric with a scale "
                                          "of 0, and constrained to be nonnullable.")
                               .arg(d.name));
        if (d.nullable.value_or(false))
            throw SqlError(8147, 16, 1,
                           QStringLiteral("Could not create IDENTITY attribute on nullable column "
                                          "'%1', table '%2'.")
                               .arg(d.name, tableName));
        c.identity = true;
    }
    c.nullable = d.nullable.value_or(!d.identity && !d.primaryKey);
    return c;
}

QString generatedKeyName(const QString& table) {
    const quint64 random = QRandomGenerator::global()->generate64();
    return QStringLiteral("PK__%1__%2")
        .arg(table.left(8), QString::number(random, 16).toUpper().rightJustified(16, u'0'));
}

bool isDataError(const SqlError& e) {
    if (e.messages().empty())
        return false;
    const int n = e.messages().front().number;
    return n == 515 || n == 2627 || n == 8152 || n == 8115 || n == 2628;
}

int findColumn(const TableDef& table, const QString& name) {
    const QString folded = storage::foldName(name);
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (storage::foldName(table.columns[i].name) == folded)
            return static_cast<int>(i);
    return -1;
}

// datetime2(n) keeps n digits of the second (the engine keeps milliseconds): rounded, as
// SQL Server rounds, into the next day if need be.
void roundToDigits(DateTimeValue& t, int digits) {
    if (digits >= 3)
        return;
    int64_t unit = 1;
    for (int d = digits; d < 3; ++d)
        unit *= 10;
    t.msSinceMidnight = (t.msSinceMidnight + unit / 2) / unit * unit;
    if (t.msSinceMidnight >= msPerDay) {
        t.msSinceMidnight -= msPerDay;
        ++t.days;
    }
}

// A value stored into a column: datetime2 rounded to its digits; character and binary data
// fitted to the length, losing nothing but trailing blanks.
void fitToColumn(const ColumnDef& c, TypedValue& v) {
    if (isNull(v.value) || c.length == maxLength)
        return;
    if (c.type == SqlType::DateTime2) {
        if (auto* t = std::get_if<DateTimeValue>(&v.value))
            roundToDigits(*t, c.fractionalDigits);
        return;
    }
    sql::fitToLength(v, sql::tagOf(c.type), c.length, sql::Truncation::BlanksOnly);
}

} // namespace

void requireKeptCollation(const QString& name, bool singleByte) {
    const bool wellFormed = name.contains(QLatin1String("_CI"), Qt::CaseInsensitive) ||
                            name.contains(QLatin1String("_CS"), Qt::CaseInsensitive) ||
                            name.contains(QLatin1String("_BIN"), Qt::CaseInsensitive);
    if (!wellFormed)
        throw SqlError(448, 16, 1, QStringLiteral("Invalid collation '%1'.").arg(name));
    if (!singleByte)
        return; // Unicode text is the same in every collation
    // char and varchar are kept in code page 936 only; another code page's text would be
    // stored as something else.
    const int codePage = storage::collationCodePage(name);
    if (codePage == storage::storedCodePage)
        return;
    sql::throwNotSupported(
        codePage ? QStringLiteral("Collation '%1' (code page %2) for char and varchar data")
                       .arg(name)
                       .arg(codePage)
                 : QStringLiteral("Collation '%1' for char and varchar data").arg(name));
}

DatabaseUse SessionImpl::useFor(const sql::ObjectName& name) {
    DatabaseUse use;
    const QString db = name.database();
    if (db.isEmpty() || storage::foldName(db) == database_.key()) {
        use.file = file_.get();
        use.name = database_.name();
        use.key = database_.key();
        return use;
    }
    use.lease = DatabaseLease::acquire(engine_, db);
    if (!use.lease.valid()) {
        refuseWhileRestoring(use.lease, db);
        sql::throwInvalidObject(name.text());
    }
    use.key = use.lease.key();
    requireEntry(use.key, use.lease.name());
    if (transaction_.file && transaction_.key == use.key)
        use.owned = transaction_.file; // sees the transaction's own changes
    else
        use.owned = storage::DatabaseFile::open(use.lease.file(), false);
    use.file = use.owned.get();
    use.name = use.lease.name();
    return use;
}

TableDef SessionImpl::requireTable(DatabaseUse& db, const sql::ObjectName& name) {
    const QString schema = name.schema();
    if (!schema.isEmpty() && schema.compare(QLatin1String("dbo"), Qt::CaseInsensitive) != 0)
        sql::throwInvalidObject(name.text());
    auto table = db.file->findTable(name.name());
    if (!table)
        sql::throwInvalidObject(name.text());
    return *table;
}

RowSource SessionImpl::tableSource(const TableDef& table, std::vector<storage::StoredRow> rows,
                                   const sql::ObjectName& name, const QString& alias) const {
    RowSource src;
    for (const auto& c : table.columns) {
        ColumnInfo info;
        info.name = c.name;
        info.type = c.type;
        info.length = c.length;
        info.nullable = c.nullable;
        info.identity = c.identity;
        info.caseInsensitive = c.caseInsensitive();
        info.fractionalDigits = static_cast<uint8_t>(c.fractionalDigits);
        src.columns.push_back(info);
    }
    src.rows = std::move(rows);
    if (alias.isEmpty()) {
        src.qualifiers << table.name << name.name() << name.text()
                       << QStringLiteral("dbo.") + table.name;
    } else {
        src.qualifiers << alias;
    }
    return src;
}

namespace {

// The name of a table to create: in dbo, not temporary, at most 128 characters.
QString creatableTableName(const sql::ObjectName& name) {
    const QString schema = name.schema();
    if (!schema.isEmpty() && schema.compare(QLatin1String("dbo"), Qt::CaseInsensitive) != 0)
        throw SqlError(2760, 16, 1,
                       QStringLiteral("The specified schema name \"%1\" either does not exist or "
                                      "you do not have permission to use it.")
                           .arg(schema));
    const QString tableName = name.name();
    if (tableName.startsWith(u'#'))
        sql::throwNotSupported(QStringLiteral("A temporary table"));
    if (tableName.size() > 128)
        throw SqlError(103, 15, 4,
                       QStringLiteral("The identifier that starts with '%1' is too long. Maximum "
                                      "length is 128.")
                           .arg(tableName.left(128)));
    return tableName;
}

[[noreturn]] void throwNullableKey(const QString& tableName) {
    throw SqlError(8111, 16, 1,
                   QStringLiteral("Cannot define PRIMARY KEY constraint on nullable column in "
                                  "table '%1'.")
                       .arg(tableName));
}

// The columns as declared: unique names, one identity at most; a column's own PRIMARY KEY.
// Returns how many PRIMARY KEY constraints the definition holds.
int addDeclaredColumns(TableDef& table, const sql::Statement& s, const ServerVersion& version) {
    const Declaration at{version, s.line};
    QSet<QString> seen;
    int identities = 0;
    int keys = s.tablePrimaryKey.isEmpty() ? 0 : 1;
    for (size_t i = 0; i < s.columns.size(); ++i) {
        const auto& d = s.columns[i];
        if (seen.contains(storage::foldName(d.name)))
            throw SqlError(2705, 16, 3,
                           QStringLiteral("Column names in each table must be unique. Column name "
                                          "'%1' in table '%2' is specified more than once.")
                               .arg(d.name, table.name));
        seen.insert(storage::foldName(d.name));
        ColumnDef c = columnFromDefinition(d, static_cast<int>(i + 1), table.name, at);
        if (c.identity && ++identities > 1)
            throw SqlError(2744, 16, 2,
                           QStringLiteral("Multiple identity columns specified for table '%1'. "
                                          "Only one identity column per table is allowed.")
                               .arg(table.name));
        if (c.identity) {
            table.identitySeed = d.seed;
            table.identityIncrement = d.increment;
        }
        if (d.primaryKey) {
            ++keys;
            c.primaryKeyOrdinal = 1;
        }
        table.columns.push_back(std::move(c));
    }
    return keys;
}

// PRIMARY KEY (a, b, ...) after the columns: each named column becomes part of the key.
void applyTableKey(TableDef& table, const sql::Statement& s) {
    for (qsizetype k = 0; k < s.tablePrimaryKey.size(); ++k) {
        const int index = findColumn(table, s.tablePrimaryKey.at(k));
        if (index < 0)
            throw SqlError(1911, 16, 1,
                           QStringLiteral("Column name '%1' does not exist in the target table or "
                                          "view.")
                               .arg(s.tablePrimaryKey.at(k)));
        if (s.columns[static_cast<size_t>(index)].nullable.value_or(false))
            throwNullableKey(table.name);
        auto& c = table.columns[static_cast<size_t>(index)];
        c.nullable = false;
        c.primaryKeyOrdinal = static_cast<int>(k + 1);
    }
}

void requireKeyColumnsUsable(const TableDef& table, const sql::Statement& s) {
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const auto& c = table.columns[i];
        if (c.primaryKeyOrdinal == 0)
            continue;
        if (s.columns[i].nullable.value_or(false))
            throwNullableKey(table.name);
        if (c.type == SqlType::NText)
            throw SqlError(1919, 16, 1,
                           QStringLiteral("Column '%1' in table '%2' is of a type that is invalid "
                                          "for use as a key column in an index.")
                               .arg(c.name, table.name));
    }
}

} // namespace

StatementResult SessionImpl::createTable(sql::Statement& s) {
    DatabaseUse db = useFor(s.table);
    if (!maySchemaChange(db.name))
        throw SqlError(
            262, 14, 1,
            QStringLiteral("CREATE TABLE permission denied in database '%1'.").arg(db.name));
    TableDef table;
    table.name = creatableTableName(s.table);
    const int keys = addDeclaredColumns(table, s, engine_.config.version);
    if (keys > 1)
        throw SqlError(8110, 16, 0,
                       QStringLiteral("Cannot add multiple PRIMARY KEY constraints to table '%1'.")
                           .arg(table.name));
    applyTableKey(table, s);
    requireKeyColumnsUsable(table, s);
    if (keys > 0)
        table.primaryKeyName =
            s.primaryKeyName.isEmpty() ? generatedKeyName(table.name) : s.primaryKeyName;

    auto t = statementTransaction(db, true);
    if (db.file->findTable(table.name))
        throw SqlError(2714, 16, 6,
                       QStringLiteral("There is already an object named '%1' in the database.")
                           .arg(table.name));
    db.file->createTable(table);
    t.commit();
    return {};
}

StatementResult SessionImpl::dropTable(sql::Statement& s) {
    DatabaseUse db = useFor(s.table);
    auto refuse = [&s]() {
        throw SqlError(3701, 11, 5,
                       QStringLiteral("Cannot drop the table '%1', because it does not exist or "
                                      "you do not have permission.")
                           .arg(s.table.text()));
    };
    if (!maySchemaChange(db.name))
        refuse();
    auto t = statementTransaction(db, true);
    const auto table = db.file->findTable(s.table.name());
    const QString schema = s.table.schema();
    if (!table ||
        (!schema.isEmpty() && schema.compare(QLatin1String("dbo"), Qt::CaseInsensitive))) {
        if (s.replace) // IF EXISTS
            return {};
        refuse();
    }
    db.file->dropTable(*table);
    t.commit();
    return {};
}

std::vector<Value> SessionImpl::assignRow(const TableDef& table, const QString& databaseName,
                                          std::vector<std::optional<TypedValue>> values,
                                          bool isInsert) {
    std::vector<Value> row(table.columns.size());
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& c = table.columns[i];
        if (c.identity && isInsert)
            continue; // handed out once the row is known to be valid
        TypedValue v = values[i] ? sql::convert(*values[i], sql::tagOf(c.type)) : TypedValue{};
        fitToColumn(c, v);
        if (isNull(v.value) && !c.nullable)
            throw SqlError(
                515, 16, 2,
                QStringLiteral("Cannot insert the value NULL into column '%1', table "
                               "'%2.dbo.%3'; column does not allow nulls. %4 fails.")
                    .arg(c.name, databaseName, table.name,
                         isInsert ? QStringLiteral("INSERT") : QStringLiteral("UPDATE")));
        row[i] = std::move(v.value);
    }
    return row;
}

std::vector<ServerMessage> SessionImpl::duplicateKey(const TableDef& table,
                                                     const std::vector<Value>& row) const {
    QStringList values;
    for (int k : table.primaryKeyColumns()) {
        const auto& c = table.columns[static_cast<size_t>(k)];
        const Value& v = row[static_cast<size_t>(k)];
        values << (isNull(v) ? QStringLiteral("<NULL>")
                             : sql::toText(TypedValue{sql::tagOf(c.type), v}));
    }
    return {
        makeMessage(2627, 14, 1,
                    QStringLiteral("Violation of PRIMARY KEY constraint '%1'. Cannot insert "
                                   "duplicate key in object 'dbo.%2'. The duplicate key value "
                                   "is (%3).")
                        .arg(table.primaryKeyName, table.name, values.join(QStringLiteral(", ")))),
        sql::statementTerminated()};
}

void SessionImpl::refuseCatalogWrite(const sql::ObjectName& name) {
    if (catalogView(name))
        throw SqlError(259, 16, 1,
                       QStringLiteral("Ad hoc updates to system catalogs are not allowed."));
}

namespace {

// Without a column list: every column but the identity, and each row must fill them all.
std::vector<int> implicitInsertTargets(const TableDef& table, const sql::Statement& s) {
    std::vector<int> targets;
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (!table.columns[i].identity)
            targets.push_back(static_cast<int>(i));
    for (const auto& row : s.valueRows)
        if (row.size() != targets.size() && !row.empty())
            throw SqlError(213, 16, 1,
                           QStringLiteral("Column name or number of supplied values does not "
                                          "match table definition."));
    return targets;
}

void requireRowsMatchColumnList(const sql::Statement& s, size_t columns) {
    for (const auto& row : s.valueRows) {
        if (row.size() < columns)
            throw SqlError(109, 15, 1,
                           QStringLiteral("There are more columns in the INSERT statement than "
                                          "values specified in the VALUES clause. The number of "
                                          "values in the VALUES clause must match the number of "
                                          "columns specified in the INSERT statement."));
        if (row.size() > columns)
            throw SqlError(110, 15, 1,
                           QStringLiteral("There are fewer columns in the INSERT statement than "
                                          "values specified in the VALUES clause. The number of "
                                          "values in the VALUES clause must match the number of "
                                          "columns specified in the INSERT statement."));
    }
}

// With a column list: each column named once, never the identity.
std::vector<int> namedInsertTargets(const TableDef& table, const sql::Statement& s) {
    std::vector<int> targets;
    for (const QString& name : s.insertColumns) {
        const int index = findColumn(table, name);
        if (index < 0)
            sql::throwInvalidColumn(name);
        if (std::find(targets.begin(), targets.end(), index) != targets.end())
            throw SqlError(264, 16, 1,
                           QStringLiteral("The column name '%1' is specified more than once in "
                                          "the SET clause or column list of an INSERT. A column "
                                          "cannot be assigned more than one value in the same "
                                          "clause. Modify the clause to make sure that a column "
                                          "is updated only once. If this statement updates or "
                                          "inserts columns into a view, column aliasing can "
                                          "conceal the duplication in your code.")
                               .arg(name));
        targets.push_back(index);
    }
    for (int index : targets)
        if (table.columns[static_cast<size_t>(index)].identity)
            throw SqlError(544, 16, 1,
                           QStringLiteral("Cannot insert explicit value for identity column in "
                                          "table '%1' when IDENTITY_INSERT is set to OFF.")
                               .arg(table.name));
    requireRowsMatchColumnList(s, targets.size());
    return targets;
}

int64_t nextIdentityValue(storage::DatabaseFile& file, TableDef& table) {
    const int64_t value = file.nextIdentity(table);
    const bool isInt =
        table.columns[static_cast<size_t>(table.identityColumn())].type == SqlType::Int;
    if (isInt && value > 2147483647LL)
        throw SqlError(8115, 16, 1,
                       QStringLiteral("Arithmetic overflow error converting IDENTITY to data "
                                      "type int."));
    return value;
}

} // namespace

// Stores each VALUES row; returns the last identity value given, if the table has one.
std::optional<int64_t> SessionImpl::insertRows(DatabaseUse& db, TableDef& table, sql::Statement& s,
                                               const std::vector<int>& targets) {
    const sql::EvalEnv env = environment(params_);
    for (auto& row : s.valueRows)
        for (auto& e : row)
            sql::bindColumns(*e, nullptr);
    const int identityColumn = table.identityColumn();
    std::optional<int64_t> lastIdentity;
    for (auto& row : s.valueRows) {
        std::vector<std::optional<TypedValue>> values(table.columns.size());
        for (size_t k = 0; k < row.size(); ++k)
            values[static_cast<size_t>(targets[k])] = sql::evaluate(*row[k], nullptr, nullptr, env);
        std::vector<Value> stored = assignRow(table, db.name, std::move(values), true);
        if (identityColumn >= 0) {
            lastIdentity = nextIdentityValue(*db.file, table);
            stored[static_cast<size_t>(identityColumn)] = *lastIdentity;
        }
        try {
            db.file->insertRow(table, stored);
        } catch (const storage::UniqueViolation&) {
            throw SqlError(duplicateKey(table, stored));
        }
    }
    return lastIdentity;
}

StatementResult SessionImpl::insert(sql::Statement& s) {
    refuseCatalogWrite(s.table);
    DatabaseUse db = useFor(s.table);
    auto t = statementTransaction(db, true);
    TableDef table = requireTable(db, s.table);
    requireTableRight(db, table, "INSERT");
    const std::vector<int> targets =
        s.insertColumns.isEmpty() ? implicitInsertTargets(table, s) : namedInsertTargets(table, s);
    std::optional<int64_t> lastIdentity;
    try {
        lastIdentity = insertRows(db, table, s, targets);
    } catch (SqlError& e) {
        if (isDataError(e) && e.messages().back().number != 3621)
            e.messages().push_back(sql::statementTerminated());
        throw;
    }
    t.commit();
    if (lastIdentity) {
        lastIdentity_ = lastIdentity;
        scopeIdentity_ = lastIdentity;
    }
    StatementResult r;
    r.rowCount = static_cast<int64_t>(s.valueRows.size());
    return r;
}

StatementResult SessionImpl::update(sql::Statement& s) {
    refuseCatalogWrite(s.table);
    DatabaseUse db = useFor(s.table);
    auto t = statementTransaction(db, true);
    const TableDef table = requireTable(db, s.table);
    requireTableRight(db, table, "UPDATE");
    const RowSource src = tableSource(table, db.file->readRows(table), s.table, {});
    const sql::Scope scope{&src.columns, src.qualifiers};
    std::vector<int> targets;
    for (auto& [name, expr] : s.assignments) {
        const int index = findColumn(table, name);
        if (index < 0)
            sql::throwInvalidColumn(name);
        if (table.columns[static_cast<size_t>(index)].identity)
            throw SqlError(8102, 16, 1,
                           QStringLiteral("Cannot update identity column '%1'.")
                               .arg(table.columns[static_cast<size_t>(index)].name));
        if (std::find(targets.begin(), targets.end(), index) != targets.end())
            throw SqlError(264, 16, 1,
                           QStringLiteral("The column name '%1' is specified more than once in the "
                                          "SET clause or column list of an INSERT. A column cannot "
                                          "be assigned more than one value in the same clause. "
                                          "Modify the clause to make sure that a column is updated "
                                          "only once. If this statement updates or inserts columns "
                                          "into a view, column aliasing can conceal the "
                                          "duplication in your code.")
                               .arg(name));
        targets.push_back(index);
        sql::bindColumns(*expr, &scope);
    }
    if (s.where) {
        sql::bindColumns(*s.where, &scope);
        sql::requirePredicate(*s.where);
    }
    const sql::EvalEnv env = environment(params_);
    int64_t count = 0;
    try {
        std::vector<std::pair<int64_t, std::vector<Value>>> changes;
        for (const auto& row : src.rows) {
            if (s.where && !sql::isTrue(*s.where, &row.values, &scope, env))
                continue;
            std::vector<std::optional<TypedValue>> values(table.columns.size());
            for (size_t i = 0; i < table.columns.size(); ++i)
                values[i] = sql::typedColumn(src.columns[i], row.values[i]);
            for (size_t k = 0; k < targets.size(); ++k)
                values[static_cast<size_t>(targets[k])] =
                    sql::evaluate(*s.assignments[k].second, &row.values, &scope, env);
            changes.emplace_back(row.rowid, assignRow(table, db.name, std::move(values), false));
        }
        for (const auto& [rowid, values] : changes) {
            try {
                db.file->updateRow(table, rowid, values);
            } catch (const storage::UniqueViolation&) {
                throw SqlError(duplicateKey(table, values));
            }
        }
        count = static_cast<int64_t>(changes.size());
    } catch (SqlError& e) {
        if (isDataError(e) && e.messages().back().number != 3621)
            e.messages().push_back(sql::statementTerminated());
        throw;
    }
    t.commit();
    StatementResult r;
    r.rowCount = count;
    return r;
}

StatementResult SessionImpl::remove(sql::Statement& s) {
    refuseCatalogWrite(s.table);
    DatabaseUse db = useFor(s.table);
    auto t = statementTransaction(db, true);
    const TableDef table = requireTable(db, s.table);
    requireTableRight(db, table, "DELETE");
    const RowSource src = tableSource(table, db.file->readRows(table), s.table, {});
    const sql::Scope scope{&src.columns, src.qualifiers};
    if (s.where) {
        sql::bindColumns(*s.where, &scope);
        sql::requirePredicate(*s.where);
    }
    const sql::EvalEnv env = environment(params_);
    int64_t count = 0;
    for (const auto& row : src.rows) {
        if (s.where && !sql::isTrue(*s.where, &row.values, &scope, env))
            continue;
        db.file->deleteRow(table, row.rowid);
        ++count;
    }
    t.commit();
    StatementResult r;
    r.rowCount = count;
    return r;
}

} // namespace ztds
