#include "server/connection_strings.h"

#include "config/local_config.h"
#include "core/input_checks.h"

namespace zt::server {

namespace {
const QString kProvider = QStringLiteral("Provider=SQLOLEDB.1;");
const QString kDataSource = QStringLiteral("Data Source=");
} // namespace

QString probeIntegratedConnectionString(const QString& serverName) {
    return kProvider + QStringLiteral("Integrated Security=SSPI;Persist Security Info=False;") +
           kDataSource + serverName;
}

QString probeSqlLoginConnectionString(const QString& serverName, const QString& userName,
                                      const QString& password) {
    return kProvider + QStringLiteral("Password=") + config::connectionStringValue(password) +
           QStringLiteral(";Persist Security Info=True;User ID=") +
           config::connectionStringValue(userName) + u';' + kDataSource + serverName;
}

QString serverConnectionString(const QString& credentialPart, const QString& serverName) {
    return kProvider + credentialPart + kDataSource + serverName;
}

QString databaseConnectionString(const QString& credentialPart, const QString& databaseName,
                                 const QString& serverName) {
    return kProvider + credentialPart + QStringLiteral("Initial Catalog=") + databaseName + u';' +
           kDataSource + serverName;
}

QString masterConnectionString(const QString& credentialPart, const QString& serverName) {
    return kProvider + credentialPart + QStringLiteral("Initial Catalog=master;") + kDataSource +
           serverName;
}

bool isUnsafeServerName(const QString& serverName) {
    return core::isUnsafeServerName(serverName);
}

} // namespace zt::server
