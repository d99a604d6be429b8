#pragma once
// A small ODBC client over unixODBC and the FreeTDS driver, as the program itself connects,
// for tests and the benchmark: run statements, read rows as text, see diagnostics.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace zt::test {

inline constexpr const char* freeTdsDriver = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";

inline QString freeTdsConnectionString(quint16 port, const QString& user = QStringLiteral("sa"),
                                       const QString& password = {}, const QString& database = {},
                                       const QString& tdsVersion = QStringLiteral("7.4")) {
    QString text = QStringLiteral("DRIVER=%1;SERVER=127.0.0.1;PORT=%2;UID=%3;PWD=%4;"
                                  "TDS_Version=%5;ClientCharset=UTF-8")
                       .arg(QString::fromLatin1(freeTdsDriver))
                       .arg(port)
                       .arg(user, password, tdsVersion);
    if (!database.isEmpty())
        text += QStringLiteral(";DATABASE=%1").arg(database);
    return text;
}

struct OdbcDiagnostic {
    QString state;
    int native = 0;
    QString text;
};

struct OdbcColumn {
    QString name;
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    bool nullable = false;
};

// A bound input parameter; the buffer lives as long as the parameter.
struct OdbcParameter {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN columnSize = 0;
    SQLSMALLINT digits = 0;
    std::vector<char> buffer;
    SQLLEN indicator = 0;

    static OdbcParameter text(const QString& value);
    static OdbcParameter narrowText(const QString& value); // SQL_C_CHAR as varchar, in UTF-8
    static OdbcParameter integer(int32_t value);
    static OdbcParameter bigInteger(int64_t value);
    static OdbcParameter real(double value);
    static OdbcParameter bit(bool value);
    static OdbcParameter decimal(const QString& value, int precision, int scale);
    static OdbcParameter guid(const SQLGUID& value);
    static OdbcParameter timestamp(int year, int month, int day, int hour, int minute, int second,
                                   int millisecond = 0);
    static OdbcParameter null(SQLSMALLINT sqlType);
};

class OdbcConnection {
public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    bool connect(const QString& connectionString);
    void disconnect();
    // SQL_ATTR_AUTOCOMMIT, and SQLEndTran: how ODBC applications use transactions.
    bool setAutocommit(bool on);
    bool endTransaction(bool commit);
    // Runs a statement (with parameters: through SQLBindParameter, as sp_executesql) and keeps
    // the rows of its first result set. False when the driver reports an error.
    bool execute(const QString& sql, std::vector<OdbcParameter> parameters = {});

    // Prepares once (SQLPrepare), then executes once per set of parameters; rows are not kept.
    bool executePrepared(const QString& sql, std::vector<std::vector<OdbcParameter>> runs);

    const std::vector<OdbcDiagnostic>& diagnostics() const { return diagnostics_; }
    QString diagnosticText() const; // all diagnostics on one line, for failure messages
    bool hasNative(int number) const;
    const std::vector<OdbcColumn>& columns() const { return columns_; }
    const std::vector<QVariantList>& rows() const { return rows_; } // text or null QVariant
    SQLLEN rowCount() const { return rowCount_; }
    QString currentCatalog();

private:
    void collectDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);
    bool fetchResults(SQLHSTMT statement);
    bool fetchRows(SQLHSTMT statement, SQLSMALLINT columnCount);

    SQLHENV environment_ = SQL_NULL_HENV;
    SQLHDBC connection_ = SQL_NULL_HDBC;
    bool connected_ = false;
    std::vector<OdbcDiagnostic> diagnostics_;
    std::vector<OdbcColumn> columns_;
    std::vector<QVariantList> rows_;
    SQLLEN rowCount_ = -1;
};

} // namespace zt::test
