#pragma once
// Reading OLE DB connection strings ("Provider=...;Data Source=...") and turning the SQL Server
// ones into what the FreeTDS ODBC driver understands.

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace zt::db {

// The items of an OLE DB connection string. Keys compare without regard to case; when a key
// appears twice the last one wins, as OLE DB has it.
class ConnectionProperties {
public:
    // Throws DbError on a malformed string (unterminated quote, item without '=').
    static ConnectionProperties parse(const QString& connectionString);

    bool contains(const QString& key) const;
    QString value(const QString& key) const; // empty when absent
    const QList<QPair<QString, QString>>& items() const { return items_; }

private:
    QList<QPair<QString, QString>> items_; // key as written (trimmed), value unquoted
};

enum class ProviderKind { Jet, SqlServer };

// Which provider a connection string names; throws DbError for an unknown provider.
ProviderKind providerKind(const ConnectionProperties& properties);

// Where a SQL Server "Data Source" points.
struct ServerAddress {
    QString host;     // "127.0.0.1" for (local) and "."
    QString instance; // named instance, empty for the default one
    std::optional<int> port;
};
ServerAddress parseDataSource(const QString& dataSource);

// The path of the FreeTDS ODBC driver library (Debian's tdsodbc).
QString freeTdsDriverPath();

// "KEY=value" for the ODBC connection string, the value in braces when it holds ';'; throws
// DbError for a value that the driver cannot read back unchanged.
QString odbcItem(const QString& key, const QString& value);

// The ODBC connection string for the FreeTDS driver from an SQLOLEDB connection string.
QString odbcConnectionString(const ConnectionProperties& properties);

} // namespace zt::db
