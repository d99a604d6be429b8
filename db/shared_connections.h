#pragma once
// One open connection for the query objects of an operation that reach the same server with the
// same login, instead of a login of their own for each: over an encrypted login every
// connection costs several round trips before its first statement.

#include <QString>

#include <map>
#include <memory>

namespace zt::db {

class Provider;
struct ServerLink;

class SharedConnections {
public:
    // The connection a query object holds for the connection string, opened when none does.
    // SQL Server strings that differ only in form (the probe's and the server-level one) share
    // one, and so do those that name different databases of the server: each query object's
    // view of the connection enters its own database ("use") when the connection is in
    // another, and a view let go of leaves its database, so that it can be dropped. A
    // connection closes when the last query object lets go of it. Throws DbError when it
    // cannot be opened.
    std::shared_ptr<Provider> connect(const QString& connectionString);
    // The next connect opens a fresh connection (after a failure the old one may be dead);
    // the query objects that hold the old one keep it until they let go.
    void release(const QString& connectionString);

private:
    std::map<QString, std::weak_ptr<Provider>> files_;     // local stores, by connection string
    std::map<QString, std::weak_ptr<ServerLink>> servers_; // by connectionKey
};

// What decides whether two connection strings may share a connection: the server, the login
// and the connection's settings, not the database.
QString connectionKey(const QString& connectionString);

} // namespace zt::db
