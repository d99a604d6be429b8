#include "tests/seed/account_set_fixture.h"

#include "config/local_config.h"
#include "schema/create_tables.h"
#include "server/connection_strings.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sqlite3.h>

namespace zt::test {

namespace {

void runStatement(db::Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.execSql();
}

QStringList columnOf(db::Query& query, const QString& select, const QString& column) {
    query.close();
    query.sqlClear();
    query.sqlAdd(select);
    query.open();
    QStringList values;
    for (; !query.eof(); query.next()) {
        db::Field field = query.fieldByName(column);
        values << (field.isNull() ? nullText() : field.asString());
    }
    query.close();
    return values;
}

} // namespace

AccountSetFixture::AccountSetFixture(const QStringList& serverArgs) : server_(serverArgs) {}

QString AccountSetFixture::credentialPart() const {
    return config::sqlLoginFragment(QStringLiteral("sa"), QString());
}

QString AccountSetFixture::localDatabasePath() const {
    return QDir(dir_.path()).filePath(QStringLiteral("data/CHWHDB.mdb"));
}

QString AccountSetFixture::localConnectionString() const {
    return config::localConnectionString(localDatabasePath());
}

bool AccountSetFixture::start() {
    if (!dir_.isValid() || !QDir(dir_.path()).mkpath(QStringLiteral("data")) || !server_.start())
        return false;
    QFile script(QStringLiteral(ZT_SOURCE_DIR "/data/CHWHDB.sql"));
    if (!script.open(QIODevice::ReadOnly))
        return false;
    execLocal(QString::fromUtf8(script.readAll()));
    db::Query local(QStringLiteral("ADOQuery2"));
    local.setConnectionString(localConnectionString());
    config::ServerLogin login;
    login.integratedSecurity = false;
    login.userName = QStringLiteral("sa");
    config::storeServerLogin(local, serverName(), login);
    return true;
}

void AccountSetFixture::execLocal(const QString& sql) const {
    sqlite3* handle = nullptr;
    const QByteArray path = localDatabasePath().toUtf8();
    if (sqlite3_open(path.constData(), &handle) != SQLITE_OK) {
        sqlite3_close(handle);
        QFAIL("cannot open the local database");
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(handle, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = QString::fromUtf8(error ? error : "");
    sqlite3_free(error);
    sqlite3_close(handle);
    QVERIFY2(rc == SQLITE_OK, qPrintable(message));
}

QStringList AccountSetFixture::localColumn(const QString& select, const QString& column) const {
    db::Query query(QStringLiteral("check"));
    query.setConnectionString(localConnectionString());
    return columnOf(query, select, column);
}

void AccountSetFixture::execServer(const QString& database, const QString& statement) const {
    db::Query query(QStringLiteral("check"));
    query.setConnectionString(
        server::databaseConnectionString(credentialPart(), database, serverName()));
    runStatement(query, statement);
}

QStringList AccountSetFixture::serverColumn(const QString& database, const QString& select,
                                            const QString& column) const {
    db::Query query(QStringLiteral("check"));
    query.setConnectionString(
        server::databaseConnectionString(credentialPart(), database, serverName()));
    return columnOf(query, select, column);
}

int AccountSetFixture::serverCount(const QString& database, const QString& table) const {
    const QStringList counts = serverColumn(
        database, QStringLiteral("select count(*) as n from [%1]").arg(table), QStringLiteral("n"));
    return counts.isEmpty() ? -1 : counts.first().toInt();
}

bool AccountSetFixture::databaseExists(const QString& database) const {
    // A login that names a missing database is refused.
    try {
        serverColumn(database, QStringLiteral("select 1 as n"), QStringLiteral("n"));
        return true;
    } catch (const db::DbError&) {
        return false;
    }
}

void AccountSetFixture::createEmptyAccountSet(const QString& database) const {
    execServer(QStringLiteral("master"), QStringLiteral("create database ") + database);
    db::Query create(QStringLiteral("ADOcreate"));
    create.setConnectionString(
        server::databaseConnectionString(credentialPart(), database, serverName()));
    schema::ActcreatExecute(create);
}

} // namespace zt::test
