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
    // The open connection for the connection string, opened when there is none. SQL Server
    // strings that differ only in form (the probe's and the server-level one) share one.
    // Throws DbError when the connection cannot be opened.
    std::shared_ptr<Provider> connect(const QString& connectionString);
    // Closes it for every query object that shares it, once the last one lets go.
    void release(const QString& connectionString);

private:
    std::map<QString, std::shared_ptr<Provider>> open_;
};

// What decides whether two connection strings may share a connection.
QString connectionKey(const QString& connectionString);

} // namespace zt::db
