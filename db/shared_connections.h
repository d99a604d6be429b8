#pragma once
// One open connection for the query objects of an operation that reach the same server and
// database with the same login, instead of a login of their own for each.

#include <QString>

#include <map>
#include <memory>

namespace zt::db {

class Provider;

class SharedConnections {
public:
    // The connection a query object holds for the connection string, opened when none does.
    // SQL Server strings that differ only in form (the probe's and the server-level one)
    // share one. A connection closes when the last query object lets go of it (a database
    // with no connection left on it can be dropped). Throws DbError when it cannot be opened.
    std::shared_ptr<Provider> connect(const QString& connectionString);
    // The next connect opens a fresh connection (after a failure the old one may be dead);
    // the query objects that hold the old one keep it until they let go.
    void release(const QString& connectionString);

private:
    std::map<QString, std::weak_ptr<Provider>> open_;
};

// What decides whether two connection strings may share a connection.
QString connectionKey(const QString& connectionString);

} // namespace zt::db
