#include "server/server_login.h"

#include "config/local_database_file.h"
#include "core/failure_explanation.h"
#include "core/input_checks.h"
#include "db/query.h"
#include "server/connection_strings.h"

namespace zt::server {

namespace {

void executeStatement(db::Query& query, const QString& statement) {
    db::executeLines(query, {statement});
}

} // namespace

QString probeConnectionString(const QString& serverName, const config::ServerLogin& login) {
    if (login.integratedSecurity)
        return probeIntegratedConnectionString(serverName);
    return probeSqlLoginConnectionString(serverName, login.userName, login.password);
}

std::optional<QString> serverInputProblem(const QString& serverName,
                                          const config::ServerLogin& login) {
    if (auto problem = core::serverNameProblem(serverName))
        return problem;
    if (!login.integratedSecurity)
        return core::sqlLoginProblem(login.userName, login.password);
    return std::nullopt;
}

namespace {

// A login refused or never completed: with integrated security the usual cause on this
// platform is a missing Kerberos ticket, which the driver's words do not say.
bool isLoginFailure(const db::DbError& failure) {
    constexpr int loginFailed = 18456;
    constexpr int untrustedDomain = 18452;
    if (failure.source() == db::ErrorSource::Server)
        return failure.number() == loginFailed || failure.number() == untrustedDomain;
    return failure.source() == db::ErrorSource::Connection;
}

} // namespace

void proveServer(db::Query& probeQuery, const QString& serverName,
                 const config::ServerLogin& login) {
    if (auto problem = serverInputProblem(serverName, login))
        throw core::ExplainedFailure(*problem);
    const QString database = core::uniqueProbeDatabaseName();
    probeQuery.setConnectionString(probeConnectionString(serverName, login));
    try {
        executeStatement(probeQuery, QStringLiteral("create database ") + database);
    } catch (const db::DbError& failure) {
        if (!login.integratedSecurity || !isLoginFailure(failure))
            throw;
        throw core::ExplainedFailure(core::causeOf(failure) + u'\n' +
                                     core::integratedSecurityAdvice());
    }
    executeStatement(probeQuery, QStringLiteral("drop database ") + database);
}

void proveAndStoreServer(db::Query& probeQuery, db::Query& localQuery, const QString& serverName,
                         const config::ServerLogin& login) {
    proveServer(probeQuery, serverName, login);
    config::storeServerLogin(localQuery, serverName, login);
}

void proveServerForLocalDatabase(db::Query& probeQuery, const QString& localDatabasePath,
                                 const QString& serverName, const config::ServerLogin& login) {
    if (auto problem = serverInputProblem(serverName, login))
        throw core::ExplainedFailure(*problem);
    config::requireUsableLocalDatabase(localDatabasePath);
    proveServer(probeQuery, serverName, login);
}

void proveAndStoreServer(db::Query& probeQuery, db::Query& localQuery,
                         const QString& localDatabasePath, const QString& serverName,
                         const config::ServerLogin& login) {
    proveServerForLocalDatabase(probeQuery, localDatabasePath, serverName, login);
    config::storeServerLogin(localQuery, serverName, login);
}

} // namespace zt::server
