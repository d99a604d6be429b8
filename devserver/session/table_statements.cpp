// CREATE and DROP TABLE: column declarations and their types, keys; and finding a table.

#include "devserver/session/session_impl.h"

#include "devserver/sql/errors.h"
#include "devserver/storage/collation.h"

#include <QRandomGenerator>
#include <QSet>

namespace ztds {

using sql::SqlError;
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

} // namespace

int findColumn(const TableDef& table, const QString& name) {
    const QString folded = storage::foldName(name);
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (storage::foldName(table.columns[i].name) == folded)
            return static_cast<int>(i);
    return -1;
}

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

} // namespace ztds
