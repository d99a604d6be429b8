#include "config/local_config.h"

#include "config/local_database_file.h"
#include "db/query.h"
#include "db/sql_literal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTime>

namespace zt::config {

namespace {

const QString kServerLoginTable = QStringLiteral("系统路径表");
const QString kAccountSetTable = QStringLiteral("帐套信息表");

// Replaces the statement of a query and opens it.
void openStatement(db::Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.open();
}

// Columns `1` and `2` as the chosen authentication requires: exactly one holds a fragment.
void writeLoginColumns(db::Query& query, const ServerLogin& login) {
    const bool integrated = login.integratedSecurity;
    query.fieldByName(QStringLiteral("1"))
        .setString(integrated ? integratedSecurityFragment() : QString());
    query.fieldByName(QStringLiteral("2"))
        .setString(integrated ? QString() : sqlLoginFragment(login.userName, login.password));
}

} // namespace

QString localDatabasePath() {
    // Decided and made ready once per process: every later call names the same file.
    static const QString path = [] {
        const QString programDirectory = QCoreApplication::applicationDirPath();
        const QString chosen = chooseLocalDatabasePath(
            programDirectory,
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
        const QString shipped = templateDatabasePath(programDirectory);
        if (QFileInfo::exists(shipped)) {
            try {
                prepareLocalDatabase(chosen, shipped);
            } catch (const db::DbError&) {
                // Not fatal here: requireUsableLocalDatabase, before anything depends on the
                // file, names it and what is wrong with it (missing, unreadable, read-only).
            }
        }
        return chosen;
    }();
    return path;
}

QString localConnectionString(const QString& databasePath) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + databasePath +
           QStringLiteral(";Persist Security Info=False");
}

QString integratedSecurityFragment() {
    return QStringLiteral("integrated security=sspi;persist security info=false;");
}

QString connectionStringValue(const QString& value) {
    const bool padded = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    const bool hasDoubleQuote = value.contains(u'"');
    const bool hasSingleQuote = value.contains(u'\'');
    if (!padded && !hasDoubleQuote && !hasSingleQuote && !value.contains(u';'))
        return value;
    if (!hasDoubleQuote)
        return u'"' + value + u'"';
    if (!hasSingleQuote)
        return u'\'' + value + u'\'';
    QString doubled = value;
    doubled.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

QString sqlLoginFragment(const QString& userName, const QString& password) {
    return QStringLiteral("password=") + connectionStringValue(password) +
           QStringLiteral(";persist security info=true;user id=") +
           connectionStringValue(userName) + u';';
}

QString serverRowStatement(const QString& serverName) {
    return QStringLiteral("select*from ") + kServerLoginTable + QStringLiteral(" where zjmc=") +
           db::quotedLiteral(serverName);
}

QString readCredentialPart(db::Query& localQuery, const QString& serverName) {
    openStatement(localQuery, serverRowStatement(serverName));
    if (localQuery.eof())
        return {};
    return localQuery.fieldByName(QStringLiteral("1")).asString() +
           localQuery.fieldByName(QStringLiteral("2")).asString();
}

void storeServerLogin(db::Query& localQuery, const QString& serverName, const ServerLogin& login) {
    openStatement(localQuery, serverRowStatement(serverName));
    if (!localQuery.eof()) {
        // The first row found keeps its server name as first written.
        localQuery.edit();
        writeLoginColumns(localQuery, login);
    } else {
        localQuery.append();
        writeLoginColumns(localQuery, login);
        localQuery.fieldByName(QStringLiteral("zjmc")).setString(serverName);
    }
    localQuery.post();
}

void beginAccountSetRegistration(db::Query& localQuery, const AccountSetRegistration& row) {
    openStatement(localQuery, QStringLiteral("select*from ") + kAccountSetTable);
    localQuery.append();
    localQuery.fieldByName(QStringLiteral("ztmc")).setString(row.accountSetName);
    localQuery.fieldByName(QStringLiteral("jlrq"))
        .setDateTime(QDateTime(row.registeredOn, QTime(0, 0)));
    localQuery.fieldByName(QStringLiteral("kl")).setString(row.password);
    localQuery.fieldByName(QStringLiteral("zjmc")).setString(row.serverName);
}

void finishAccountSetRegistration(db::Query& localQuery, bool network) {
    localQuery.fieldByName(QStringLiteral("net"))
        .setString(network ? QStringLiteral("是") : QStringLiteral("否"));
    localQuery.post();
    localQuery.close();
}

void registerAccountSet(db::Query& localQuery, const AccountSetRegistration& row) {
    beginAccountSetRegistration(localQuery, row);
    finishAccountSetRegistration(localQuery, row.network);
}

bool isAccountSetRegistered(db::Query& localQuery, const QString& accountSetName,
                            const QString& serverName) {
    openStatement(localQuery, QStringLiteral("select*from ") + kAccountSetTable +
                                  QStringLiteral(" where ztmc=") +
                                  db::quotedLiteral(accountSetName) + QStringLiteral(" and zjmc=") +
                                  db::quotedLiteral(serverName));
    return !localQuery.eof();
}

} // namespace zt::config
