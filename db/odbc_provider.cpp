#include "db/odbc_provider.h"

#include "db/query.h"
#include "db/row_statements.h"
#include "db/sql_literal.h"

#include <QDateTime>
#include <QRegularExpression>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace zt::db {

namespace {

constexpr SQLULEN defaultLoginTimeoutSeconds = 15;
constexpr SQLULEN statementTimeoutSeconds = 30;
constexpr SQLULEN longestNVarChar = 4000;

static_assert(std::is_same_v<SQLWCHAR, ushort>, "unixODBC must use UTF-16 SQLWCHAR");

SQLWCHAR* wide(const QString& text) {
    return const_cast<SQLWCHAR*>(text.utf16());
}

QString fromWide(const SQLWCHAR* text, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

// One ODBC handle, freed with its own type.
template <SQLSMALLINT Type> class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT, SQLHANDLE input) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(Type, input, &handle_)))
            throw DbError(QStringLiteral("Cannot allocate an ODBC handle."));
    }
    ~Handle() {
        if (handle_ != nullptr)
            SQLFreeHandle(Type, handle_);
    }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    SQLHANDLE get() const { return handle_; }

private:
    SQLHANDLE handle_ = nullptr;
};

using EnvHandle = Handle<SQL_HANDLE_ENV>;
using DbcHandle = Handle<SQL_HANDLE_DBC>;
using StmtHandle = Handle<SQL_HANDLE_STMT>;

// A statement handle owned by its connection.
struct StatementRef {
    SQLHSTMT handle;
    SQLHSTMT get() const { return handle; }
};

struct Diagnostic {
    QString text;
    int number = 0;
    QString state;
};

std::vector<Diagnostic> diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diagnostic> records;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(4096);
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                                            SQLSMALLINT(message.size()), &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        const qsizetype usable = qMin<qsizetype>(length, qsizetype(message.size()) - 1);
        records.push_back(
            {serverMessageText(fromWide(message.data(), usable)), int(native), fromWide(state, 5)});
    }
    return records;
}

// FreeTDS numbers its own messages from 20000 (client library) or not at all; every other
// number is the server's.
bool isDriverMessage(const Diagnostic& record) {
    return record.number == 0 || (record.number >= 20000 && record.number < 21000);
}

[[noreturn]] void throwDiagnostic(const Diagnostic& record) {
    const ErrorSource source =
        isDriverMessage(record) ? ErrorSource::Connection : ErrorSource::Server;
    throw DbError(record.text, record.number, source, record.state);
}

[[noreturn]] void fail(SQLSMALLINT type, SQLHANDLE handle) {
    const auto records = diagnostics(type, handle);
    for (const Diagnostic& record : records) {
        if (!record.state.startsWith(QStringLiteral("01")))
            throwDiagnostic(record);
    }
    if (!records.empty())
        throwDiagnostic(records.front());
    throw DbError(QStringLiteral("The ODBC driver reported an error without a message."), 0,
                  ErrorSource::Connection);
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle) {
    if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE)
        fail(type, handle);
}

// Parameter values must stay alive and in place until the statement has run.
struct BoundValue {
    QString text;
    qint64 integer = 0;
    qint32 integer32 = 0;
    double number = 0;
    unsigned char flag = 0;
    QByteArray bytes;
    SQLLEN indicator = 0;
};

void bindParameter(SQLHSTMT statement, SQLUSMALLINT position, const Parameter& parameter,
                   BoundValue& bound) {
    const QVariant& value = parameter.value;
    const bool isNull = !value.isValid() || value.isNull();
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN size = 1;
    SQLPOINTER data = nullptr;
    SQLLEN bufferLength = 0;
    bound.indicator = isNull ? SQL_NULL_DATA : 0;

    const int typeId = isNull ? QMetaType::UnknownType : value.typeId();
    if (typeId == QMetaType::Bool) {
        cType = SQL_C_BIT;
        sqlType = SQL_BIT;
        bound.flag = value.toBool() ? 1 : 0;
        data = &bound.flag;
    } else if (typeId == QMetaType::LongLong || typeId == QMetaType::Int) {
        bound.integer = value.toLongLong();
        if (bound.integer >= std::numeric_limits<qint32>::min() &&
            bound.integer <= std::numeric_limits<qint32>::max()) {
            cType = SQL_C_SLONG;
            sqlType = SQL_INTEGER;
            bound.integer32 = qint32(bound.integer);
            data = &bound.integer32;
        } else {
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            data = &bound.integer;
        }
    } else if (typeId == QMetaType::Double) {
        cType = SQL_C_DOUBLE;
        sqlType = SQL_DOUBLE;
        size = 15;
        bound.number = value.toDouble();
        data = &bound.number;
    } else if (typeId == QMetaType::QByteArray) {
        cType = SQL_C_BINARY;
        sqlType = SQL_VARBINARY;
        bound.bytes = value.toByteArray();
        size = qMax<SQLULEN>(1, SQLULEN(bound.bytes.size()));
        data = bound.bytes.data();
        bufferLength = SQLLEN(bound.bytes.size());
        bound.indicator = bufferLength;
    } else if (!isNull) {
        // Texts, and dates in the form SQL Server reads whatever its date format setting.
        bound.text = typeId == QMetaType::QDateTime
                         ? value.toDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz"))
                         : value.toString();
        size = qMax<SQLULEN>(1, SQLULEN(bound.text.size()));
        if (size > longestNVarChar)
            sqlType = SQL_WLONGVARCHAR;
        data = wide(bound.text);
        bufferLength = SQLLEN(bound.text.size() * 2);
        bound.indicator = bufferLength;
    } else {
        // A NULL travels with the type of its column, so the server needs no conversion.
        switch (parameter.kind) {
        case ColumnKind::Integer:
            cType = SQL_C_SLONG;
            sqlType = SQL_INTEGER;
            data = &bound.integer32;
            break;
        case ColumnKind::Boolean:
            cType = SQL_C_BIT;
            sqlType = SQL_BIT;
            data = &bound.flag;
            break;
        case ColumnKind::Float:
        case ColumnKind::Money:
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            size = 15;
            data = &bound.number;
            break;
        default:
            data = wide(bound.text);
            break;
        }
    }
    check(SQLBindParameter(statement, position, SQL_PARAM_INPUT, cType, sqlType, size, 0, data,
                           bufferLength, &bound.indicator),
          SQL_HANDLE_STMT, statement);
}

ColumnKind kindOfSqlType(SQLSMALLINT type, SQLULEN size, SQLSMALLINT scale) {
    switch (type) {
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIGINT:
        return ColumnKind::Integer;
    case SQL_BIT:
        return ColumnKind::Boolean;
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
        return ColumnKind::Float;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return (scale == 4 && (size == 19 || size == 10)) ? ColumnKind::Money : ColumnKind::Float;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_DATETIME:
        return ColumnKind::DateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return ColumnKind::Binary;
    default:
        return ColumnKind::Text;
    }
}

Column describeColumn(SQLHSTMT statement, SQLUSMALLINT index) {
    SQLWCHAR name[512] = {};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT scale = 0;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
    check(SQLDescribeColW(statement, index, name, SQLSMALLINT(std::size(name)), &nameLength, &type,
                          &size, &scale, &nullable),
          SQL_HANDLE_STMT, statement);
    SQLLEN autoIncrement = SQL_FALSE;
    SQLColAttributeW(statement, index, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr,
                     &autoIncrement);

    Column column;
    column.name = fromWide(name, qMin<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
    column.kind = kindOfSqlType(type, size, scale);
    const bool longText = type == SQL_WLONGVARCHAR || type == SQL_LONGVARCHAR;
    if (column.kind == ColumnKind::Text && !longText && size > 0 && size < (1u << 30))
        column.width = int(size);
    column.nullable = nullable != SQL_NO_NULLS;
    column.identity = autoIncrement == SQL_TRUE;
    return column;
}

// Reads a long text or binary value in pieces.
template <typename Unit>
std::optional<std::vector<Unit>> readPieces(SQLHSTMT statement, SQLUSMALLINT index,
                                            SQLSMALLINT cType) {
    std::vector<Unit> all;
    std::vector<Unit> piece(4096);
    const SQLLEN terminator = cType == SQL_C_BINARY ? 0 : SQLLEN(sizeof(Unit));
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(statement, index, cType, piece.data(),
                                        SQLLEN(piece.size() * sizeof(Unit)), &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc, SQL_HANDLE_STMT, statement);
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        const SQLLEN capacity = SQLLEN(piece.size() * sizeof(Unit)) - terminator;
        const SQLLEN bytes =
            (indicator == SQL_NO_TOTAL || indicator > capacity) ? capacity : indicator;
        all.insert(all.end(), piece.begin(), piece.begin() + bytes / SQLLEN(sizeof(Unit)));
        if (rc == SQL_SUCCESS)
            break;
    }
    return all;
}

template <typename T>
std::optional<T> readFixed(SQLHSTMT statement, SQLUSMALLINT index, SQLSMALLINT cType) {
    T value{};
    SQLLEN indicator = 0;
    check(SQLGetData(statement, index, cType, &value, sizeof(value), &indicator), SQL_HANDLE_STMT,
          statement);
    if (indicator == SQL_NULL_DATA)
        return std::nullopt;
    return value;
}

QVariant readValue(SQLHSTMT statement, SQLUSMALLINT index, const Column& column) {
    switch (column.kind) {
    case ColumnKind::Integer:
        if (auto v = readFixed<SQLBIGINT>(statement, index, SQL_C_SBIGINT))
            return qlonglong(*v);
        return {};
    case ColumnKind::Boolean:
        if (auto v = readFixed<unsigned char>(statement, index, SQL_C_BIT))
            return *v != 0;
        return {};
    case ColumnKind::Float:
    case ColumnKind::Money:
        if (auto v = readFixed<double>(statement, index, SQL_C_DOUBLE))
            return *v;
        return {};
    case ColumnKind::DateTime:
        if (auto v = readFixed<SQL_TIMESTAMP_STRUCT>(statement, index, SQL_C_TYPE_TIMESTAMP))
            return QDateTime(QDate(v->year, v->month, v->day),
                             QTime(v->hour, v->minute, v->second, int(v->fraction / 1000000)));
        return {};
    case ColumnKind::Binary:
        if (auto v = readPieces<char>(statement, index, SQL_C_BINARY))
            return QByteArray(v->data(), qsizetype(v->size()));
        return {};
    case ColumnKind::Text:
        break;
    }
    if (auto v = readPieces<SQLWCHAR>(statement, index, SQL_C_WCHAR))
        return fromWide(v->data(), qsizetype(v->size()));
    return {};
}

// Moves to the next result that has columns; false when there is none.
bool seekResultWithColumns(SQLHSTMT statement) {
    for (;;) {
        SQLSMALLINT columns = 0;
        check(SQLNumResultCols(statement, &columns), SQL_HANDLE_STMT, statement);
        if (columns > 0)
            return true;
        const SQLRETURN rc = SQLMoreResults(statement);
        if (rc == SQL_NO_DATA)
            return false;
        check(rc, SQL_HANDLE_STMT, statement);
    }
}

// Reads the remaining results so that errors raised by later statements are not lost.
void drainResults(SQLHSTMT statement) {
    for (;;) {
        const SQLRETURN rc = SQLMoreResults(statement);
        if (rc == SQL_NO_DATA)
            return;
        check(rc, SQL_HANDLE_STMT, statement);
    }
}

ResultSet fetchResult(SQLHSTMT statement) {
    ResultSet result;
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(statement, &count), SQL_HANDLE_STMT, statement);
    for (SQLSMALLINT i = 1; i <= count; ++i)
        result.columns.append(describeColumn(statement, SQLUSMALLINT(i)));
    for (;;) {
        const SQLRETURN rc = SQLFetch(statement);
        if (rc == SQL_NO_DATA)
            break;
        check(rc, SQL_HANDLE_STMT, statement);
        Row row;
        row.values.reserve(count);
        for (SQLSMALLINT i = 1; i <= count; ++i)
            row.values.append(readValue(statement, SQLUSMALLINT(i), result.columns[i - 1]));
        result.rows.append(std::move(row));
    }
    return result;
}

void requireWritable(const ResultSet& result) {
    if (result.baseTable.isEmpty())
        throw DbError(QStringLiteral("Current Recordset does not support updating. This may be "
                                     "a limitation of the provider, or of the selected locktype."));
}

Statement identifyingCondition(const ResultSet& keyed, const Row& row) {
    Statement condition = rowCondition(keyed, row, bracketedName);
    if (condition.sql.isEmpty())
        throw DbError(QStringLiteral("Key column information is insufficient or incorrect."));
    return condition;
}

void requireRowFound(SQLLEN changes) {
    if (changes == 0)
        throw DbError(QStringLiteral("Row cannot be located for updating. Some values may have "
                                     "been changed since it was last read."));
}

} // namespace

QString serverMessageText(const QString& diagnosticText) {
    static const QRegularExpression prefixes(QStringLiteral(R"(^(?:\[[^\]]*\])+)"));
    QString text = diagnosticText;
    text.remove(prefixes);
    return text;
}

struct OdbcProvider::Handles {
    EnvHandle environment;
    DbcHandle connection;
    bool connected = false;

    ~Handles() {
        statement = StmtHandle(); // a statement goes before its connection
        if (connected)
            SQLDisconnect(connection.get());
    }

    // One statement handle per connection, reset before each use: each result is read to its
    // end before the next statement runs.
    StmtHandle statement;

    // Runs `sql` with its parameters bound; returns the statement positioned on its first result.
    StatementRef run(const Statement& sql) {
        if (!statement.get()) {
            statement = StmtHandle(SQL_HANDLE_STMT, connection.get());
            SQLSetStmtAttr(statement.get(), SQL_ATTR_QUERY_TIMEOUT,
                           reinterpret_cast<SQLPOINTER>(statementTimeoutSeconds), 0);
        }
        SQLHSTMT handle = statement.get();
        SQLFreeStmt(handle, SQL_CLOSE);
        SQLFreeStmt(handle, SQL_RESET_PARAMS);
        std::vector<BoundValue> bound(size_t(sql.parameters.size()));
        for (qsizetype i = 0; i < sql.parameters.size(); ++i)
            bindParameter(handle, SQLUSMALLINT(i + 1), sql.parameters[i], bound[size_t(i)]);
        QString text = sql.sql;
        const SQLRETURN rc = SQLExecDirectW(handle, wide(text), SQLINTEGER(text.size()));
        if (rc != SQL_NO_DATA)
            check(rc, SQL_HANDLE_STMT, handle);
        return StatementRef{handle};
    }

    SQLLEN runCounting(const Statement& sql) {
        const StatementRef handle = run(sql);
        SQLLEN changes = 0;
        check(SQLRowCount(handle.get(), &changes), SQL_HANDLE_STMT, handle.get());
        drainResults(handle.get());
        return changes;
    }
};

namespace {

// FreeTDS's own numbers for a server that ended the connection during the login.
constexpr int unexpectedEof = 20017;
constexpr int connectionFailed = 20002;
constexpr int firstClientLibraryNumber = 20000;

// The server was reached but broke the login off without saying why, as a server does that
// does not speak the TDS version asked for. A refused login or an unknown database (the
// server says why), a host that cannot be reached or a login that timed out would fail the
// same way at every version.
bool mayRefuseTdsVersion(const std::vector<Diagnostic>& records) {
    const auto any = [&records](auto predicate) {
        return std::any_of(records.begin(), records.end(), predicate);
    };
    const bool brokenOff = any([](const Diagnostic& record) {
        return record.number == unexpectedEof || record.number == connectionFailed;
    });
    const bool serverSaidWhy = any([](const Diagnostic& record) {
        return record.number > 0 && record.number < firstClientLibraryNumber;
    });
    const bool timedOut = any(
        [](const Diagnostic& record) { return record.state.startsWith(QStringLiteral("HYT")); });
    return brokenOff && !serverSaidWhy && !timedOut;
}

} // namespace

OdbcProvider::OdbcProvider(const ConnectionProperties& properties)
    : handles_(std::make_unique<Handles>()) {
    handles_->environment = EnvHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(handles_->environment.get(), SQL_ATTR_ODBC_VERSION,
                  reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);

    bool ok = false;
    const int timeout = properties.value(QStringLiteral("Connect Timeout")).toInt(&ok);
    const SQLULEN loginTimeout = ok && timeout > 0 ? SQLULEN(timeout) : defaultLoginTimeoutSeconds;

    // Newest TDS version first; an alias or data source brings its own, so it is tried once.
    const QStringList versions = tdsVersionLadder();
    const QString first = odbcConnectionString(properties, versions.front());
    const bool versionInString = first != odbcConnectionString(properties, versions.back());
    for (qsizetype attempt = 0;; ++attempt) {
        handles_->connection = DbcHandle(SQL_HANDLE_DBC, handles_->environment.get());
        SQLHDBC dbc = handles_->connection.get();
        SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(loginTimeout),
                          0);
        QString odbc = attempt == 0 ? first : odbcConnectionString(properties, versions[attempt]);
        SQLWCHAR out[1024];
        SQLSMALLINT outLength = 0;
        const SQLRETURN rc =
            SQLDriverConnectW(dbc, nullptr, wide(odbc), SQLSMALLINT(odbc.size()), out,
                              SQLSMALLINT(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
        if (SQL_SUCCEEDED(rc))
            break;
        const bool lastAttempt = !versionInString || attempt + 1 >= versions.size();
        if (lastAttempt || !mayRefuseTdsVersion(diagnostics(SQL_HANDLE_DBC, dbc)))
            fail(SQL_HANDLE_DBC, dbc);
    }
    handles_->connected = true;
}

OdbcProvider::~OdbcProvider() = default;

ResultSet OdbcProvider::select(const QString& sql) {
    const StatementRef statement = handles_->run({sql, {}});
    if (!seekResultWithColumns(statement.get()))
        throw DbError(QStringLiteral("CommandText does not return a result set."));
    ResultSet result = fetchResult(statement.get());
    drainResults(statement.get());
    result.baseTable = baseTableOf(sql);
    return result;
}

ResultSet OdbcProvider::selectEvery(const QString& sql) {
    const StatementRef statement = handles_->run({sql, {}});
    if (!seekResultWithColumns(statement.get()))
        throw DbError(QStringLiteral("CommandText does not return a result set."));
    ResultSet all = fetchResult(statement.get());
    for (;;) {
        const SQLRETURN rc = SQLMoreResults(statement.get());
        if (rc == SQL_NO_DATA)
            return all;
        check(rc, SQL_HANDLE_STMT, statement.get());
        if (!seekResultWithColumns(statement.get()))
            return all;
        all.rows += fetchResult(statement.get()).rows;
    }
}

void OdbcProvider::execute(const QString& sql) {
    const StatementRef statement = handles_->run({sql, {}});
    drainResults(statement.get());
}

void OdbcProvider::insertRow(const ResultSet& result, Row& row, const QVector<bool>& assigned) {
    requireWritable(result);
    Statement insert = insertStatement(result, row, assigned, bracketedName);
    qsizetype identityColumn = -1;
    for (qsizetype i = 0; i < result.columns.size(); ++i) {
        if (result.columns[i].identity && !assigned[i])
            identityColumn = i;
    }
    if (identityColumn < 0) {
        handles_->runCounting(insert);
        return;
    }
    // The identity is read in the same call: SCOPE_IDENTITY() sees only its own scope.
    insert.sql += QStringLiteral("; SELECT SCOPE_IDENTITY()");
    const StatementRef statement = handles_->run(insert);
    if (seekResultWithColumns(statement.get())) {
        if (SQLFetch(statement.get()) == SQL_SUCCESS) {
            if (auto id = readFixed<SQLBIGINT>(statement.get(), 1, SQL_C_SBIGINT))
                row.values[identityColumn] = qlonglong(*id);
        }
        SQLCloseCursor(statement.get());
    }
    drainResults(statement.get());
}

QString OdbcProvider::currentDatabase() const {
    SQLWCHAR name[256];
    SQLINTEGER length = 0;
    const SQLRETURN rc = SQLGetConnectAttrW(handles_->connection.get(), SQL_ATTR_CURRENT_CATALOG,
                                            name, SQLINTEGER(sizeof name), &length);
    if (!SQL_SUCCEEDED(rc) || length < 0)
        return {};
    return fromWide(name, std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)),
                                              qsizetype(std::size(name)) - 1));
}

QStringList OdbcProvider::primaryKeyOf(const QString& table) {
    // One connection may serve several databases, each with its own tables of a name.
    const QString key = currentDatabase() + u'\n' + table;
    if (const auto found = primaryKeys_.constFind(key); found != primaryKeys_.constEnd())
        return *found;
    const Parameter name{table, ColumnKind::Text};
    const StatementRef constraints = handles_->run(
        {QStringLiteral("SELECT CONSTRAINT_NAME FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS "
                        "WHERE TABLE_NAME = ? AND CONSTRAINT_TYPE = 'PRIMARY KEY'"),
         {name}});
    QStringList columns;
    if (seekResultWithColumns(constraints.get())) {
        const ResultSet found = fetchResult(constraints.get());
        drainResults(constraints.get());
        if (!found.rows.isEmpty()) {
            const Parameter constraint{found.rows.front().values.front(), ColumnKind::Text};
            const StatementRef keys = handles_->run(
                {QStringLiteral("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE "
                                "WHERE TABLE_NAME = ? AND CONSTRAINT_NAME = ? "
                                "ORDER BY ORDINAL_POSITION"),
                 {name, constraint}});
            if (seekResultWithColumns(keys.get())) {
                for (const Row& row : fetchResult(keys.get()).rows)
                    columns << row.values.front().toString();
                drainResults(keys.get());
            }
        }
    }
    primaryKeys_.insert(key, columns);
    return columns;
}

// The result's columns and base table, with the primary key marked when there is no identity.
ResultSet OdbcProvider::withKeyColumns(const ResultSet& result) {
    ResultSet keyed;
    keyed.baseTable = result.baseTable;
    keyed.columns = result.columns;
    const bool hasIdentity = std::any_of(keyed.columns.begin(), keyed.columns.end(),
                                         [](const Column& c) { return c.identity; });
    if (hasIdentity)
        return keyed;
    const QStringList key = primaryKeyOf(result.baseTable);
    for (Column& column : keyed.columns)
        column.primaryKey = key.contains(column.name, Qt::CaseInsensitive);
    return keyed;
}

void OdbcProvider::updateRow(const ResultSet& result, const Row& original, const Row& changed,
                             const QVector<bool>& assigned) {
    requireWritable(result);
    const ResultSet keyed = withKeyColumns(result);
    const Statement update = updateStatement(keyed, changed, assigned,
                                             identifyingCondition(keyed, original), bracketedName);
    if (update.sql.isEmpty())
        return;
    requireRowFound(handles_->runCounting(update));
}

void OdbcProvider::deleteRow(const ResultSet& result, const Row& row) {
    requireWritable(result);
    const ResultSet keyed = withKeyColumns(result);
    requireRowFound(handles_->runCounting(
        deleteStatement(keyed, identifyingCondition(keyed, row), bracketedName)));
}

} // namespace zt::db
