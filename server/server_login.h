#pragma once
// Proving a server and remembering how to log in to it: the work behind "下一步&N", without
// a window, so that every front end does it the same way.

#include "config/local_config.h"

#include <QString>

namespace zt::db {
class Query;
}

namespace zt::server {

// The database created and dropped at once to prove the login may create databases.
inline constexpr auto kProbeDatabase = "abcde12345";

// The probe connection string (P1 or P2) for a login.
QString probeConnectionString(const QString& serverName, const config::ServerLogin& login);

// Connects with the probe string and runs "create database abcde12345", then
// "drop database abcde12345", each as its own statement. Throws db::DbError.
void proveServer(db::Query& probeQuery, const QString& serverName,
                 const config::ServerLogin& login);

// proveServer, then stores the login in 系统路径表 (localQuery carries the local connection
// string). Throws db::DbError; what was done before a failure stays done.
void proveAndStoreServer(db::Query& probeQuery, db::Query& localQuery, const QString& serverName,
                         const config::ServerLogin& login);

} // namespace zt::server
