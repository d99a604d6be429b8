#pragma once
// Reading OLE DB connection strings ("Provider=...;Data Source=...") and turning the SQL Server
// ones into what the FreeTDS ODBC driver understands.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

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
    // The same items without `key`.
    ConnectionProperties without(const QString& key) const;

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

// The TDS versions a connection to a host tries, newest first: a server that refuses one
// at login is asked again with the next (SQL Server 2000 speaks 7.1, 2005 7.2, 2008 7.3).
QStringList tdsVersionLadder();

// "KEY=value" for the ODBC connection string, the value in braces when it holds ';'; throws
// DbError for a value that the driver cannot read back unchanged.
QString odbcItem(const QString& key, const QString& value);

// The ODBC connection string for the FreeTDS driver from an SQLOLEDB connection string. A
// Data Source that names a freetds.conf section goes as SERVERNAME=, one that names a
// FreeTDS data source as DSN=; their own settings apply. Any other is a host, asked for
// tdsVersion. Throws DbError when the driver is missing.
QString odbcConnectionString(const ConnectionProperties& properties,
                             const QString& tdsVersion = QStringLiteral("7.4"));

} // namespace zt::db
