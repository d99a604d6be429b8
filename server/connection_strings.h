#pragma once
// Every SQL Server connection string of the program, built from fixed pieces.

#include <QString>

namespace zt::server {

// P1: probe with integrated security.
QString probeIntegratedConnectionString(const QString& serverName);
// P2: probe with an SQL login.
QString probeSqlLoginConnectionString(const QString& serverName, const QString& userName,
                                      const QString& password);
// S1: server level, from the stored credential part.
QString serverConnectionString(const QString& credentialPart, const QString& serverName);
// S2: one database.
QString databaseConnectionString(const QString& credentialPart, const QString& databaseName,
                                 const QString& serverName);
// S3: the master database.
QString masterConnectionString(const QString& credentialPart, const QString& serverName);

// A server name that would change the meaning of a connection string or statement.
bool isUnsafeServerName(const QString& serverName);

} // namespace zt::server
