#include "tests/devserver/protocol_odbc_client.h"

#include <cstring>

namespace zt::test {

namespace {

std::vector<SQLWCHAR> wide(const QString& text) {
    std::vector<SQLWCHAR> buffer(size_t(text.size()) + 1, 0);
    for (qsizetype i = 0; i < text.size(); ++i)
        buffer[size_t(i)] = text[i].unicode();
    return buffer;
}

QString fromWide(const SQLWCHAR* text, size_t length) {
    return QString(reinterpret_cast<const QChar*>(text), qsizetype(length));
}

template <typename T> OdbcParameter fixed(SQLSMALLINT cType, SQLSMALLINT sqlType, T value) {
    OdbcParameter parameter;
    parameter.cType = cType;
    parameter.sqlType = sqlType;
    parameter.buffer.resize(sizeof value);
    std::memcpy(parameter.buffer.data(), &value, sizeof value);
    parameter.indicator = sizeof value;
    return parameter;
}

} // namespace

OdbcParameter OdbcParameter::text(const QString& value) {
    OdbcParameter parameter;
    parameter.cType = SQL_C_WCHAR;
    parameter.sqlType = SQL_WVARCHAR;
    parameter.columnSize = SQLULEN(std::max<qsizetype>(value.size(), 1));
    const auto buffer = wide(value);
    parameter.buffer.resize(buffer.size() * sizeof(SQLWCHAR));
    std::memcpy(parameter.buffer.data(), buffer.data(), parameter.buffer.size());
    parameter.indicator = SQLLEN(value.size() * sizeof(SQLWCHAR));
    return parameter;
}

OdbcParameter OdbcParameter::narrowText(const QString& value) {
    OdbcParameter parameter;
    parameter.cType = SQL_C_CHAR;
    parameter.sqlType = SQL_VARCHAR;
    const QByteArray text = value.toUtf8();
    parameter.columnSize = SQLULEN(std::max<qsizetype>(text.size(), 1));
    parameter.buffer.assign(text.begin(), text.end());
    parameter.buffer.push_back('\0');
    parameter.indicator = text.size();
    return parameter;
}

OdbcParameter OdbcParameter::integer(int32_t value) {
    return fixed(SQL_C_SLONG, SQL_INTEGER, SQLINTEGER(value));
}

OdbcParameter OdbcParameter::bigInteger(int64_t value) {
    return fixed(SQL_C_SBIGINT, SQL_BIGINT, SQLBIGINT(value));
}

OdbcParameter OdbcParameter::real(double value) {
    auto parameter = fixed(SQL_C_DOUBLE, SQL_DOUBLE, SQLDOUBLE(value));
    parameter.columnSize = 15;
    return parameter;
}

OdbcParameter OdbcParameter::bit(bool value) {
    return fixed(SQL_C_BIT, SQL_BIT, SQLCHAR(value ? 1 : 0));
}

OdbcParameter OdbcParameter::decimal(const QString& value, int precision, int scale) {
    OdbcParameter parameter;
    parameter.cType = SQL_C_CHAR;
    parameter.sqlType = SQL_DECIMAL;
    parameter.columnSize = SQLULEN(precision);
    parameter.digits = SQLSMALLINT(scale);
    const QByteArray text = value.toLatin1();
    parameter.buffer.assign(text.begin(), text.end());
    parameter.buffer.push_back('\0');
    parameter.indicator = text.size();
    return parameter;
}

OdbcParameter OdbcParameter::guid(const SQLGUID& value) {
    OdbcParameter parameter;
    parameter.cType = SQL_C_GUID;
    parameter.sqlType = SQL_GUID;
    parameter.columnSize = 16;
    const auto* bytes = reinterpret_cast<const char*>(&value);
    parameter.buffer.assign(bytes, bytes + sizeof value);
    parameter.indicator = sizeof value;
    return parameter;
}

OdbcParameter OdbcParameter::timestamp(int year, int month, int day, int hour, int minute,
                                       int second, int millisecond) {
    SQL_TIMESTAMP_STRUCT value{};
    value.year = SQLSMALLINT(year);
    value.month = SQLUSMALLINT(month);
    value.day = SQLUSMALLINT(day);
    value.hour = SQLUSMALLINT(hour);
    value.minute = SQLUSMALLINT(minute);
    value.second = SQLUSMALLINT(second);
    value.fraction = SQLUINTEGER(millisecond) * 1000000;
    auto parameter = fixed(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, value);
    parameter.columnSize = 23;
    parameter.digits = 3;
    return parameter;
}

OdbcParameter OdbcParameter::null(SQLSMALLINT sqlType) {
    OdbcParameter parameter;
    parameter.cType = SQL_C_WCHAR;
    parameter.sqlType = sqlType;
    parameter.columnSize = 1;
    parameter.buffer.resize(sizeof(SQLWCHAR), 0);
    parameter.indicator = SQL_NULL_DATA;
    return parameter;
}

OdbcConnection::OdbcConnection() {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_);
    SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_);
}

OdbcConnection::~OdbcConnection() {
    if (connected_)
        SQLDisconnect(connection_);
    SQLFreeHandle(SQL_HANDLE_DBC, connection_);
    SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

bool OdbcConnection::connect(const QString& connectionString) {
    diagnostics_.clear();
    auto text = wide(connectionString);
    const SQLRETURN result =
        SQLDriverConnectW(connection_, nullptr, text.data(), SQLSMALLINT(text.size() - 1), nullptr,
                          0, nullptr, SQL_DRIVER_NOPROMPT);
    collectDiagnostics(SQL_HANDLE_DBC, connection_);
    connected_ = SQL_SUCCEEDED(result);
    return connected_;
}

void OdbcConnection::disconnect() {
    if (connected_)
        SQLDisconnect(connection_);
    connected_ = false;
}

bool OdbcConnection::setAutocommit(bool on) {
    diagnostics_.clear();
    const SQLRETURN result = SQLSetConnectAttrW(
        connection_, SQL_ATTR_AUTOCOMMIT,
        reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
    collectDiagnostics(SQL_HANDLE_DBC, connection_);
    return SQL_SUCCEEDED(result);
}

bool OdbcConnection::endTransaction(bool commit) {
    diagnostics_.clear();
    const SQLRETURN result =
        SQLEndTran(SQL_HANDLE_DBC, connection_, commit ? SQL_COMMIT : SQL_ROLLBACK);
    collectDiagnostics(SQL_HANDLE_DBC, connection_);
    return SQL_SUCCEEDED(result);
}

bool OdbcConnection::execute(const QString& sql, std::vector<OdbcParameter> parameters) {
    diagnostics_.clear();
    columns_.clear();
    rows_.clear();
    rowCount_ = -1;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement))) {
        collectDiagnostics(SQL_HANDLE_DBC, connection_);
        return false;
    }
    for (size_t i = 0; i < parameters.size(); ++i) {
        auto& parameter = parameters[i];
        SQLBindParameter(statement, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, parameter.cType,
                         parameter.sqlType, parameter.columnSize, parameter.digits,
                         parameter.buffer.data(), SQLLEN(parameter.buffer.size()),
                         &parameter.indicator);
    }
    auto text = wide(sql);
    const SQLRETURN result = SQLExecDirectW(statement, text.data(), SQLINTEGER(text.size() - 1));
    collectDiagnostics(SQL_HANDLE_STMT, statement);
    bool ok = SQL_SUCCEEDED(result) || result == SQL_NO_DATA;
    if (SQL_SUCCEEDED(result))
        ok = fetchResults(statement) && ok;
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return ok;
}

bool OdbcConnection::executePrepared(const QString& sql,
                                     std::vector<std::vector<OdbcParameter>> runs) {
    diagnostics_.clear();
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement))) {
        collectDiagnostics(SQL_HANDLE_DBC, connection_);
        return false;
    }
    auto text = wide(sql);
    bool ok = SQL_SUCCEEDED(SQLPrepareW(statement, text.data(), SQLINTEGER(text.size() - 1)));
    collectDiagnostics(SQL_HANDLE_STMT, statement);
    for (auto& parameters : runs) {
        if (!ok)
            break;
        for (size_t i = 0; i < parameters.size(); ++i) {
            auto& parameter = parameters[i];
            SQLBindParameter(statement, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, parameter.cType,
                             parameter.sqlType, parameter.columnSize, parameter.digits,
                             parameter.buffer.data(), SQLLEN(parameter.buffer.size()),
                             &parameter.indicator);
        }
        const SQLRETURN result = SQLExecute(statement);
        collectDiagnostics(SQL_HANDLE_STMT, statement);
        ok = SQL_SUCCEEDED(result) || result == SQL_NO_DATA;
        SQLFreeStmt(statement, SQL_CLOSE);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return ok;
}

bool OdbcConnection::fetchResults(SQLHSTMT statement) {
    SQLRowCount(statement, &rowCount_);
    SQLSMALLINT columnCount = 0;
    SQLNumResultCols(statement, &columnCount);
    for (SQLSMALLINT i = 1; i <= columnCount; ++i) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        OdbcColumn column;
        SQLSMALLINT nullable = 0;
        SQLDescribeColW(statement, SQLUSMALLINT(i), name, 256, &nameLength, &column.type,
                        &column.size, &column.digits, &nullable);
        column.name = fromWide(name, size_t(std::min<SQLSMALLINT>(nameLength, 255)));
        column.nullable = nullable == SQL_NULLABLE;
        columns_.push_back(column);
    }
    if (columnCount > 0 && !fetchRows(statement, columnCount))
        return false;
    // Later results are drained so that their errors are seen too.
    for (;;) {
        const SQLRETURN more = SQLMoreResults(statement);
        if (more == SQL_NO_DATA)
            return true;
        collectDiagnostics(SQL_HANDLE_STMT, statement);
        if (!SQL_SUCCEEDED(more))
            return false;
    }
}

bool OdbcConnection::fetchRows(SQLHSTMT statement, SQLSMALLINT columnCount) {
    for (;;) {
        const SQLRETURN fetched = SQLFetch(statement);
        if (fetched == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(fetched)) {
            collectDiagnostics(SQL_HANDLE_STMT, statement);
            return false;
        }
        QVariantList row;
        for (SQLSMALLINT i = 1; i <= columnCount; ++i) {
            QString value;
            SQLLEN indicator = 0;
            bool null = false;
            for (;;) {
                SQLWCHAR chunk[1024] = {};
                const SQLRETURN got = SQLGetData(statement, SQLUSMALLINT(i), SQL_C_WCHAR, chunk,
                                                 sizeof chunk, &indicator);
                if (got == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(got)) {
                    collectDiagnostics(SQL_HANDLE_STMT, statement);
                    return false;
                }
                if (indicator == SQL_NULL_DATA) {
                    null = true;
                    break;
                }
                const size_t available = sizeof chunk / sizeof(SQLWCHAR) - 1;
                const size_t length =
                    indicator == SQL_NO_TOTAL
                        ? available
                        : std::min(available, size_t(indicator) / sizeof(SQLWCHAR));
                value += fromWide(chunk, length);
                if (got == SQL_SUCCESS)
                    break;
            }
            row << (null ? QVariant() : QVariant(value));
        }
        rows_.push_back(row);
    }
    return true;
}

void OdbcConnection::collectDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[2048] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(
                SQLGetDiagRecW(handleType, handle, record, state, &native, text, 2048, &length)))
            return;
        diagnostics_.push_back({fromWide(state, 5), int(native),
                                fromWide(text, size_t(std::min<SQLSMALLINT>(length, 2047)))});
    }
}

QString OdbcConnection::diagnosticText() const {
    QStringList parts;
    for (const auto& diagnostic : diagnostics_)
        parts << QStringLiteral("[%1 %2] %3")
                     .arg(diagnostic.state)
                     .arg(diagnostic.native)
                     .arg(diagnostic.text);
    return parts.join(QStringLiteral("; "));
}

QString OdbcConnection::currentCatalog() {
    SQLWCHAR name[256] = {};
    SQLINTEGER length = 0;
    if (!SQL_SUCCEEDED(
            SQLGetConnectAttrW(connection_, SQL_ATTR_CURRENT_CATALOG, name, sizeof name, &length)))
        return {};
    return fromWide(name, size_t(std::min<SQLINTEGER>(length, sizeof name - 2)) / sizeof(SQLWCHAR));
}

bool OdbcConnection::hasNative(int number) const {
    for (const auto& diagnostic : diagnostics_)
        if (diagnostic.native == number)
            return true;
    return false;
}

} // namespace zt::test
