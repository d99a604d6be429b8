#pragma once
// Proving a server and remembering how to log in to it: the work behind "下一步&N", without
// a window, so that every front end does it the same way.

#include "config/local_config.h"

#include <QString>

#include <optional>

namespace zt::db {
class Query;
}

namespace zt::server {

// What is wrong with a server name or login before anything is sent: the message to show.
std::optional<QString> serverInputProblem(const QString& serverName,
                                          const config::ServerLogin& login);

// The probe connection string (P1 or P2) for a login.
QString probeConnectionString(const QString& serverName, const config::ServerLogin& login);

// Connects with the probe string and creates, then drops, a probe database of this attempt's
// own ("abcde12345_" and a random suffix), each as its own statement, so that installers at
// work at once never meet and a leftover of a killed run blocks nobody. Throws
// core::ExplainedFailure for input refused before contact, db::DbError otherwise.
void proveServer(db::Query& probeQuery, const QString& serverName,
                 const config::ServerLogin& login);

// proveServer, then stores the login in 系统路径表 (localQuery carries the local connection
// string). Throws db::DbError; what was done before a failure stays done.
void proveAndStoreServer(db::Query& probeQuery, db::Query& localQuery, const QString& serverName,
                         const config::ServerLogin& login);

// proveServer for a login that is to be stored in the local configuration database at
// localDatabasePath: refused input first, then the file is checked
// (config::requireUsableLocalDatabase), so that a login the file could not keep never reaches
// the server. A fault of the file throws db::DbError of ErrorSource::LocalStore
// (core::isLocalDatabaseFailure tells it from the server's failures).
void proveServerForLocalDatabase(db::Query& probeQuery, const QString& localDatabasePath,
                                 const QString& serverName, const config::ServerLogin& login);

// proveServerForLocalDatabase, then stores the login as proveAndStoreServer does.
void proveAndStoreServer(db::Query& probeQuery, db::Query& localQuery,
                         const QString& localDatabasePath, const QString& serverName,
                         const config::ServerLogin& login);

} // namespace zt::server
