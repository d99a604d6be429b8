// INFORMATION_SCHEMA and sys views, built from the catalog of each database file.

#include "devserver/session/session_impl.h"

#include "devserver/sql/datetime.h"
#include "devserver/sql/errors.h"

namespace ztds {

namespace {

ColumnInfo column(const char* name, SqlType type, int length = 0, bool nullable = true) {
    ColumnInfo c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    c.length = type == SqlType::NVarChar ? length : 0;
    c.nullable = nullable;
    return c;
}

ColumnInfo name128(const char* name, bool nullable = true) {
    return column(name, SqlType::NVarChar, 128, nullable);
}

Value text(const QString& s) {
    return s;
}
Value integer(int64_t v) {
    return v;
}
const Value null{};

// NUMERIC_PRECISION, NUMERIC_PRECISION_RADIX, NUMERIC_SCALE, DATETIME_PRECISION
std::array<Value, 4> numericFacts(SqlType t) {
    switch (t) {
    case SqlType::TinyInt:
        return {integer(3), integer(10), integer(0), null};
    case SqlType::SmallInt:
        return {integer(5), integer(10), integer(0), null};
    case SqlType::Real:
        return {integer(24), integer(2), null, null};
    case SqlType::DateTime2:
        return {null, null, null, integer(7)};
    case SqlType::Int:
        return {integer(10), integer(10), integer(0), null};
    case SqlType::BigInt:
        return {integer(19), integer(10), integer(0), null};
    case SqlType::Money:
        return {integer(19), integer(10), integer(4), null};
    case SqlType::Float:
        return {integer(53), integer(2), null, null};
    case SqlType::DateTime:
        return {null, null, null, integer(3)};
    case SqlType::SmallDateTime:
        return {null, null, null, integer(0)};
    default:
        return {null, null, null, null};
    }
}

// sys.columns.max_length: bytes, -1 for (max).
int storedLength(const storage::ColumnDef& c) {
    if (c.length == ztds::maxLength)
        return -1;
    switch (c.type) {
    case SqlType::NVarChar:
    case SqlType::NChar:
        return c.length * 2;
    case SqlType::VarChar:
    case SqlType::Char:
    case SqlType::VarBinary:
        return c.length;
    case SqlType::NText:
    case SqlType::UniqueIdentifier:
        return 16;
    case SqlType::Int:
    case SqlType::Real:
    case SqlType::SmallDateTime:
        return 4;
    case SqlType::Bit:
    case SqlType::TinyInt:
        return 1;
    case SqlType::SmallInt:
        return 2;
    case SqlType::Numeric:
        return 17;
    case SqlType::DateTime2:
        return c.fractionalDigits <= 2 ? 6 : c.fractionalDigits <= 4 ? 7 : 8;
    default:
        return 8;
    }
}

// systypes.xtype: the type's number in syscolumns.
int typeNumber(SqlType t) {
    switch (t) {
    case SqlType::NVarChar:
        return 231;
    case SqlType::NText:
        return 99;
    case SqlType::Int:
        return 56;
    case SqlType::BigInt:
        return 127;
    case SqlType::Money:
        return 60;
    case SqlType::SmallDateTime:
        return 58;
    case SqlType::DateTime:
        return 61;
    case SqlType::Float:
        return 62;
    case SqlType::Bit:
        return 104;
    case SqlType::TinyInt:
        return 48;
    case SqlType::SmallInt:
        return 52;
    case SqlType::Real:
        return 59;
    case SqlType::Char:
        return 175;
    case SqlType::VarChar:
        return 167;
    case SqlType::NChar:
        return 239;
    case SqlType::VarBinary:
        return 165;
    case SqlType::Numeric:
        return 108;
    case SqlType::UniqueIdentifier:
        return 36;
    case SqlType::DateTime2:
        return 42;
    }
    return 231;
}

// systypes.prec and .scale as syscolumns repeats them (xprec, xscale).
std::pair<int, int> typePrecision(const storage::ColumnDef& c) {
    switch (c.type) {
    case SqlType::Int:
        return {10, 0};
    case SqlType::BigInt:
    case SqlType::Money:
        return {19, c.type == SqlType::Money ? 4 : 0};
    case SqlType::SmallInt:
        return {5, 0};
    case SqlType::TinyInt:
        return {3, 0};
    case SqlType::Bit:
        return {1, 0};
    case SqlType::Float:
        return {53, 0};
    case SqlType::Real:
        return {24, 0};
    case SqlType::DateTime:
        return {23, 3};
    case SqlType::SmallDateTime:
        return {16, 0};
    case SqlType::DateTime2:
        return {c.fractionalDigits == 0 ? 19 : 20 + c.fractionalDigits, c.fractionalDigits};
    default:
        return {0, 0};
    }
}

DateTimeValue asDateTime(const QDateTime& t) {
    return DateTimeValue{static_cast<int32_t>(sql::dateTimeEpoch().daysTo(t.date())),
                         t.time().msecsSinceStartOfDay()};
}

// A creation time, or now when none is known.
DateTimeValue sqlDateTime(const QDateTime& t) {
    return asDateTime(t.isValid() ? t : QDateTime::currentDateTime());
}

// The system tables each database lists in sysobjects: the ones this server answers.
struct SystemTable {
    const char* name;
    int64_t id; // as SQL Server numbers them
    bool masterOnly;
};
constexpr SystemTable systemTables[] = {
    {"sysobjects", 1, false}, {"syscolumns", 3, false}, {"sysdatabases", 30, true}};

storage::StoredRow row(std::vector<Value> values) {
    return storage::StoredRow{0, std::move(values)};
}

} // namespace

namespace {

bool named(const QString& name, const char* candidate) {
    return name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0;
}

// SQL Server 2000's system tables, compatibility views since 2005: sysobjects and syscolumns
// in every database, sysdatabases in master.
bool isSystemTable(const QString& name) {
    return named(name, "sysdatabases") || named(name, "sysobjects") || named(name, "syscolumns");
}

} // namespace

std::optional<RowSource> SessionImpl::catalogView(const sql::ObjectName& name) {
    const QString schema = name.schema();
    const ServerVersion& version = engine_.config.version;
    const bool information = named(schema, "INFORMATION_SCHEMA");
    const bool legacy = (schema.isEmpty() || named(schema, "dbo")) && isSystemTable(name.name());
    // Before SQL Server 2005 there is no sys schema: a sys view is an unknown object (208).
    const bool modern = version.sysCatalogViews && named(schema, "sys");
    if (!information && !legacy && !modern)
        return std::nullopt;
    sql::ObjectName databaseOnly = name;
    DatabaseUse db = useFor(databaseOnly);
    if (legacy && !version.sysCatalogViews && named(name.name(), "sysdatabases") &&
        db.key != QLatin1String("master"))
        sql::throwInvalidObject(name.text());
    storage::DatabaseFile::Transaction t(*db.file, false);
    RowSource src = information ? informationSchema(db, name.name().toUpper(), name.text())
                                : systemView(db, name.name().toLower(), name.text());
    src.qualifiers << name.name() << name.text()
                   << QStringLiteral("%1.%2").arg(schema, name.name());
    return src;
}

std::vector<storage::TableDef> SessionImpl::visibleTables(DatabaseUse& db) const {
    return seesTablesOf(db) ? db.file->tables() : std::vector<storage::TableDef>{};
}

namespace {

using Tables = std::vector<storage::TableDef>;
const QString dbo = QStringLiteral("dbo");

RowSource informationSchemaTables(const QString& database, const Tables& tables) {
    RowSource src;
    src.columns = {name128("TABLE_CATALOG"), name128("TABLE_SCHEMA"), name128("TABLE_NAME", false),
                   column("TABLE_TYPE", SqlType::NVarChar, 10)};
    for (const auto& t : tables)
        src.rows.push_back(
            row({text(database), text(dbo), text(t.name), text(QStringLiteral("BASE TABLE"))}));
    return src;
}

// CHARACTER_MAXIMUM_LENGTH and CHARACTER_OCTET_LENGTH: NULL for all but character and
// binary types.
std::pair<Value, Value> characterLengths(const storage::ColumnDef& c) {
    if (c.length == ztds::maxLength)
        return {integer(-1), integer(-1)};
    if (c.type == SqlType::NVarChar || c.type == SqlType::NChar)
        return {integer(c.length), integer(c.length * 2)};
    if (c.type == SqlType::VarChar || c.type == SqlType::Char || c.type == SqlType::VarBinary)
        return {integer(c.length), integer(c.length)};
    if (c.type == SqlType::NText)
        return {integer(1073741823), integer(2147483646)};
    return {null, null};
}

storage::StoredRow informationSchemaColumn(const QString& database, const storage::TableDef& t,
                                           size_t i) {
    const auto& c = t.columns[i];
    const bool isText = sql::isText(sql::tagOf(c.type));
    const bool unicode =
        c.type == SqlType::NVarChar || c.type == SqlType::NChar || c.type == SqlType::NText;
    const auto facts = numericFacts(c.type);
    const auto [charLength, octetLength] = characterLengths(c);
    return row({text(database),
                text(dbo),
                text(t.name),
                text(c.name),
                integer(static_cast<int64_t>(i + 1)),
                null,
                text(c.nullable ? QStringLiteral("YES") : QStringLiteral("NO")),
                text(QString::fromLatin1(sqlTypeName(c.type))),
                charLength,
                octetLength,
                facts[0],
                facts[1],
                facts[2],
                facts[3],
                null,
                null,
                isText ? text(unicode ? QStringLiteral("UNICODE") : QStringLiteral("cp936")) : null,
                null,
                null,
                isText ? text(c.collation) : null,
                null,
                null,
                null});
}

RowSource informationSchemaColumns(const QString& database, const Tables& tables) {
    RowSource src;
    src.columns = {name128("TABLE_CATALOG"),
                   name128("TABLE_SCHEMA"),
                   name128("TABLE_NAME", false),
                   name128("COLUMN_NAME"),
                   column("ORDINAL_POSITION", SqlType::Int),
                   column("COLUMN_DEFAULT", SqlType::NVarChar, 4000),
                   column("IS_NULLABLE", SqlType::NVarChar, 3),
                   name128("DATA_TYPE"),
                   column("CHARACTER_MAXIMUM_LENGTH", SqlType::Int),
                   column("CHARACTER_OCTET_LENGTH", SqlType::Int),
                   column("NUMERIC_PRECISION", SqlType::Int),
                   column("NUMERIC_PRECISION_RADIX", SqlType::Int),
                   column("NUMERIC_SCALE", SqlType::Int),
                   column("DATETIME_PRECISION", SqlType::Int),
                   name128("CHARACTER_SET_CATALOG"),
                   name128("CHARACTER_SET_SCHEMA"),
                   name128("CHARACTER_SET_NAME"),
                   name128("COLLATION_CATALOG"),
                   name128("COLLATION_SCHEMA"),
                   name128("COLLATION_NAME"),
                   name128("DOMAIN_CATALOG"),
                   name128("DOMAIN_SCHEMA"),
                   name128("DOMAIN_NAME")};
    for (const auto& t : tables)
        for (size_t i = 0; i < t.columns.size(); ++i)
            src.rows.push_back(informationSchemaColumn(database, t, i));
    return src;
}

// The six names both key views begin with: the constraint's and its table's.
std::vector<ColumnInfo> primaryKeyNameColumns() {
    return {name128("CONSTRAINT_CATALOG"),     name128("CONSTRAINT_SCHEMA"),
            name128("CONSTRAINT_NAME", false), name128("TABLE_CATALOG"),
            name128("TABLE_SCHEMA"),           name128("TABLE_NAME", false)};
}

std::vector<Value> primaryKeyNames(const QString& database, const storage::TableDef& t) {
    return {text(database), text(dbo), text(t.primaryKeyName),
            text(database), text(dbo), text(t.name)};
}

RowSource informationSchemaTableConstraints(const QString& database, const Tables& tables) {
    RowSource src;
    src.columns = primaryKeyNameColumns();
    src.columns.push_back(column("CONSTRAINT_TYPE", SqlType::NVarChar, 11));
    src.columns.push_back(column("IS_DEFERRABLE", SqlType::NVarChar, 2, false));
    src.columns.push_back(column("INITIALLY_DEFERRED", SqlType::NVarChar, 2, false));
    for (const auto& t : tables)
        if (!t.primaryKeyName.isEmpty()) {
            std::vector<Value> values = primaryKeyNames(database, t);
            values.insert(values.end(), {text(QStringLiteral("PRIMARY KEY")),
                                         text(QStringLiteral("NO")), text(QStringLiteral("NO"))});
            src.rows.push_back(row(std::move(values)));
        }
    return src;
}

RowSource informationSchemaKeyColumnUsage(const QString& database, const Tables& tables) {
    RowSource src;
    src.columns = primaryKeyNameColumns();
    src.columns.push_back(name128("COLUMN_NAME"));
    src.columns.push_back(column("ORDINAL_POSITION", SqlType::Int, 0, false));
    for (const auto& t : tables) {
        const auto key = t.primaryKeyColumns();
        for (size_t k = 0; k < key.size(); ++k) {
            std::vector<Value> values = primaryKeyNames(database, t);
            values.insert(values.end(), {text(t.columns[static_cast<size_t>(key[k])].name),
                                         integer(static_cast<int64_t>(k + 1))});
            src.rows.push_back(row(std::move(values)));
        }
    }
    return src;
}

// The views over the tables of one database, by name.
using TablesView = RowSource (*)(const QString& database, const Tables& tables);

TablesView informationSchemaView(const QString& view) {
    static const std::pair<const char*, TablesView> views[] = {
        {"TABLES", informationSchemaTables},
        {"COLUMNS", informationSchemaColumns},
        {"TABLE_CONSTRAINTS", informationSchemaTableConstraints},
        {"KEY_COLUMN_USAGE", informationSchemaKeyColumnUsage}};
    for (const auto& [name, function] : views)
        if (view == QLatin1String(name))
            return function;
    return nullptr;
}

// sys.tables and sys.objects: the user tables.
RowSource catalogTables(const QString&, const Tables& tables) {
    RowSource src;
    src.columns = {name128("name", false),
                   column("object_id", SqlType::Int, 0, false),
                   column("schema_id", SqlType::Int, 0, false),
                   column("type", SqlType::NVarChar, 2),
                   column("type_desc", SqlType::NVarChar, 60),
                   column("create_date", SqlType::DateTime, 0, false)};
    for (const auto& t : tables)
        src.rows.push_back(row({text(t.name), integer(t.id), integer(1), text(QStringLiteral("U ")),
                                text(QStringLiteral("USER_TABLE")),
                                asDateTime(QDateTime::fromString(t.created, Qt::ISODateWithMs))}));
    return src;
}

RowSource catalogColumns(const QString&, const Tables& tables) {
    RowSource src;
    src.columns = {
        column("object_id", SqlType::Int, 0, false),  name128("name"),
        column("column_id", SqlType::Int, 0, false),  name128("type_name"),
        column("max_length", SqlType::Int, 0, false), column("is_nullable", SqlType::Bit),
        column("is_identity", SqlType::Bit),          name128("collation_name")};
    for (const auto& t : tables)
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const auto& c = t.columns[i];
            src.rows.push_back(
                row({integer(t.id), text(c.name), integer(static_cast<int64_t>(i + 1)),
                     text(QString::fromLatin1(sqlTypeName(c.type))), integer(storedLength(c)),
                     integer(c.nullable ? 1 : 0), integer(c.identity ? 1 : 0),
                     c.collation.isEmpty() ? null : text(c.collation)}));
        }
    return src;
}

TablesView systemTablesView(const QString& view) {
    static const std::pair<const char*, TablesView> views[] = {
        {"tables", catalogTables}, {"objects", catalogTables}, {"columns", catalogColumns}};
    for (const auto& [name, function] : views)
        if (view == QLatin1String(name))
            return function;
    return nullptr;
}

} // namespace

RowSource SessionImpl::informationSchema(DatabaseUse& db, const QString& view,
                                         const QString& writtenName) {
    const auto tables = visibleTables(db);
    if (const TablesView function = informationSchemaView(view))
        return function(db.name, tables);
    sql::throwInvalidObject(writtenName);
}

// The views of the server's databases come first: they need no tables of this one.
RowSource SessionImpl::systemView(DatabaseUse& db, const QString& view,
                                  const QString& writtenName) {
    using ServerView = RowSource (SessionImpl::*)(DatabaseUse & db);
    static const std::pair<const char*, ServerView> serverViews[] = {
        {"sysdatabases", &SessionImpl::sysDatabases},
        {"sysobjects", &SessionImpl::sysObjects},
        {"syscolumns", &SessionImpl::sysColumns},
        {"databases", &SessionImpl::catalogDatabases}};
    for (const auto& [name, function] : serverViews)
        if (view == QLatin1String(name))
            return (this->*function)(db);
    const auto tables = visibleTables(db);
    if (const TablesView function = systemTablesView(view))
        return function(db.name, tables);
    sql::throwInvalidObject(writtenName);
}

// SQL Server 2000's sysdatabases: sys.databases' first columns and the file.
RowSource SessionImpl::sysDatabases(DatabaseUse& db) {
    RowSource src;
    src.columns = {name128("name"), column("dbid", SqlType::Int, 0, false),
                   column("crdate", SqlType::DateTime, 0, false),
                   column("cmptlevel", SqlType::Int, 0, false),
                   column("filename", SqlType::NVarChar, 260)};
    RowSource modern = catalogDatabases(db);
    std::lock_guard lock(engine_.mutex);
    for (auto& r : modern.rows) {
        const auto it = engine_.databases.find(storage::foldName(std::get<QString>(r.values[0])));
        const QString file = it == engine_.databases.end()
                                 ? QString()
                                 : QString::fromStdString(it->second.file.string());
        src.rows.push_back(row({r.values[0], r.values[1], r.values[2], r.values[3], file}));
    }
    return src;
}

// sys.databases: every database but those being created or dropped, by id.
RowSource SessionImpl::catalogDatabases(DatabaseUse&) {
    RowSource src;
    src.columns = {name128("name"),
                   column("database_id", SqlType::Int, 0, false),
                   column("create_date", SqlType::DateTime, 0, false),
                   column("compatibility_level", SqlType::Int, 0, false),
                   name128("collation_name"),
                   column("user_access", SqlType::Int),
                   column("user_access_desc", SqlType::NVarChar, 60),
                   column("is_read_only", SqlType::Bit),
                   column("state", SqlType::Int),
                   column("state_desc", SqlType::NVarChar, 60),
                   column("recovery_model", SqlType::Int),
                   column("recovery_model_desc", SqlType::NVarChar, 60)};
    std::vector<std::pair<int64_t, storage::StoredRow>> rows;
    std::lock_guard lock(engine_.mutex);
    for (const auto& [key, d] : engine_.databases) {
        if (d.pending && !d.restoring) // being created or dropped
            continue;
        rows.emplace_back(
            d.id, row({text(d.name), integer(d.id), sqlDateTime(d.created),
                       integer(engine_.config.version.compatibilityLevel),
                       text(QStringLiteral("Chinese_PRC_CI_AS")), integer(0),
                       text(QStringLiteral("MULTI_USER")), integer(0), integer(d.restoring ? 1 : 0),
                       text(d.restoring ? QStringLiteral("RESTORING") : QStringLiteral("ONLINE")),
                       integer(3), text(QStringLiteral("SIMPLE"))}));
    }
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& r : rows)
        src.rows.push_back(std::move(r.second));
    return src;
}

RowSource SessionImpl::sysObjects(DatabaseUse& db) {
    RowSource src;
    src.columns = {name128("name", false),
                   column("id", SqlType::Int, 0, false),
                   column("xtype", SqlType::NVarChar, 2, false),
                   column("uid", SqlType::SmallInt),
                   column("status", SqlType::Int),
                   column("parent_obj", SqlType::Int, 0, false),
                   column("crdate", SqlType::DateTime, 0, false),
                   column("type", SqlType::NVarChar, 2),
                   column("refdate", SqlType::DateTime, 0, false)};
    QDateTime databaseCreated;
    {
        std::lock_guard lock(engine_.mutex);
        const auto it = engine_.databases.find(db.key);
        if (it != engine_.databases.end())
            databaseCreated = it->second.created;
    }
    const DateTimeValue systemDate = sqlDateTime(databaseCreated);
    const auto add = [&](const QString& name, int64_t id, const char* xtype, const char* type,
                         int64_t parent, const DateTimeValue& created) {
        src.rows.push_back(
            row({text(name), integer(id), text(QLatin1String(xtype)), integer(1), integer(0),
                 integer(parent), created, text(QLatin1String(type)), created}));
    };
    for (const auto& t : systemTables)
        if (!t.masterOnly || db.key == QLatin1String("master"))
            add(QLatin1String(t.name), t.id, "S ", "S ", 0, systemDate);
    for (const auto& t : visibleTables(db)) {
        const DateTimeValue created =
            sqlDateTime(QDateTime::fromString(t.created, Qt::ISODateWithMs));
        add(t.name, t.id, "U ", "U ", 0, created);
        if (!t.primaryKeyName.isEmpty())
            add(t.primaryKeyName, storage::keyObjectId(t.id), "PK", "K ", t.id, created);
    }
    return src;
}

RowSource SessionImpl::sysColumns(DatabaseUse& db) {
    RowSource src;
    src.columns = {name128("name"),
                   column("id", SqlType::Int, 0, false),
                   column("xtype", SqlType::TinyInt, 0, false),
                   column("xusertype", SqlType::SmallInt),
                   column("length", SqlType::SmallInt, 0, false),
                   column("xprec", SqlType::TinyInt, 0, false),
                   column("xscale", SqlType::TinyInt, 0, false),
                   column("colid", SqlType::SmallInt),
                   column("colstat", SqlType::SmallInt, 0, false),
                   column("cdefault", SqlType::Int, 0, false),
                   column("domain", SqlType::Int, 0, false),
                   column("number", SqlType::SmallInt),
                   column("colorder", SqlType::SmallInt),
                   column("status", SqlType::TinyInt),
                   column("prec", SqlType::SmallInt),
                   column("scale", SqlType::Int),
                   column("iscomputed", SqlType::Int),
                   column("isoutparam", SqlType::Int),
                   column("isnullable", SqlType::Int),
                   name128("collation")};
    for (const auto& t : visibleTables(db)) {
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const auto& c = t.columns[i];
            const auto [xprec, xscale] = typePrecision(c);
            const bool isText = sql::isText(sql::tagOf(c.type));
            const int64_t type = typeNumber(c.type);
            const auto colid = static_cast<int64_t>(i + 1);
            // status: 0x08 allows NULL, 0x80 identity; colstat: 1 identity.
            const int64_t status = (c.nullable ? 0x08 : 0) | (c.identity ? 0x80 : 0);
            const Value prec = isText ? (c.length == ztds::maxLength ? integer(-1)
                                         : c.type == SqlType::NText  ? integer(1073741823)
                                                                     : integer(c.length))
                                      : integer(xprec);
            src.rows.push_back(row({text(c.name),
                                    integer(t.id),
                                    integer(type),
                                    integer(type),
                                    integer(storedLength(c)),
                                    integer(xprec),
                                    integer(xscale),
                                    integer(colid),
                                    integer(c.identity ? 1 : 0),
                                    integer(0),
                                    integer(0),
                                    integer(0),
                                    integer(colid),
                                    integer(status),
                                    prec,
                                    isText ? null : integer(xscale),
                                    integer(0),
                                    integer(0),
                                    integer(c.nullable ? 1 : 0),
                                    isText ? text(c.collation) : null}));
        }
    }
    return src;
}

} // namespace ztds
