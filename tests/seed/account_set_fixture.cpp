#include "tests/seed/account_set_fixture.h"

#include "config/local_config.h"
#include "db/sql_literal.h"
#include "schema/create_tables.h"
#include "server/connection_strings.h"
#include "tests/support/no_throw.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

namespace zt::test {

namespace {

void runStatement(db::Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.execSql();
}

// The column's values; one "<error> ..." value when the select fails.
QStringList columnOf(db::Query& query, const QString& select, const QString& column) {
    QStringList values;
    const bool read = succeeds("select", [&] {
        query.close();
        query.sqlClear();
        query.sqlAdd(select);
        query.open();
        for (; !query.eof(); query.next()) {
            db::Field field = query.fieldByName(column);
            values << (field.isNull() ? nullText() : field.asString());
        }
        query.close();
    });
    return read ? values : QStringList{QStringLiteral("<error> ") + select};
}

} // namespace

AccountSetFixture::AccountSetFixture(const QStringList& serverArgs) : server_(serverArgs) {}

QString AccountSetFixture::credentialPart() const {
    return config::sqlLoginFragment(QStringLiteral("sa"), QString());
}

QString AccountSetFixture::localDatabasePath() const {
    return QDir(dir_.path()).filePath(QStringLiteral("data/CHWHDB.mdb"));
}

QStringList AccountSetFixture::adminOptions() const {
    return {QStringLiteral("--server"),         serverName(),
            QStringLiteral("--user"),           QStringLiteral("sa"),
            QStringLiteral("--local-database"), localDatabasePath()};
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
    if (!execLocal(QString::fromUtf8(script.readAll())))
        return false;
    return succeeds("store the sa login", [&] {
        db::Query local(QStringLiteral("ADOQuery2"));
        local.setConnectionString(localConnectionString());
        config::ServerLogin login;
        login.integratedSecurity = false;
        login.userName = QStringLiteral("sa");
        config::storeServerLogin(local, serverName(), login);
    });
}

bool AccountSetFixture::execLocal(const QString& sql) const {
    sqlite3* handle = nullptr;
    const QByteArray path = localDatabasePath().toUtf8();
    int rc = sqlite3_open(path.constData(), &handle);
    char* error = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(handle, sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK)
        qWarning("execLocal: %s", error ? error : sqlite3_errstr(rc));
    sqlite3_free(error);
    sqlite3_close(handle);
    return rc == SQLITE_OK;
}

QStringList AccountSetFixture::localColumn(const QString& select, const QString& column) const {
    db::Query query(QStringLiteral("check"));
    query.setConnectionString(localConnectionString());
    return columnOf(query, select, column);
}

bool AccountSetFixture::execServer(const QString& database, const QString& statement) const {
    return succeeds(qPrintable(statement), [&] {
        db::Query query(QStringLiteral("check"));
        query.setConnectionString(
            server::databaseConnectionString(credentialPart(), database, serverName()));
        runStatement(query, statement);
    });
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
        database, QStringLiteral("select count(*) as n from ") + db::bracketedName(table),
        QStringLiteral("n"));
    bool number = false;
    const int count = counts.value(0).toInt(&number);
    return number ? count : -1;
}

bool AccountSetFixture::databaseExists(const QString& database) const {
    // A login that names a missing database is refused.
    try {
        db::Query query(QStringLiteral("check"));
        query.setConnectionString(
            server::databaseConnectionString(credentialPart(), database, serverName()));
        query.sqlAdd(QStringLiteral("select 1 as n"));
        query.open();
        return true;
    } catch (const db::DbError&) {
        return false;
    }
}

bool AccountSetFixture::createEmptyAccountSet(const QString& database) const {
    return execServer(QStringLiteral("master"), QStringLiteral("create database ") + database) &&
           succeeds("create the tables", [&] {
               db::Query create(QStringLiteral("ADOcreate"));
               create.setConnectionString(
                   server::databaseConnectionString(credentialPart(), database, serverName()));
               schema::createSchema(create);
           });
}

bool AccountSetFixture::createRegistry() const {
    return execServer(
        QStringLiteral("master"),
        QStringLiteral("create table CHdatebase ([id] bigint identity(1, 1) not null, "
                       "ztbh nvarchar(15) null, ztmc nvarchar(50) null, zjmc nvarchar(100) null, "
                       "net nvarchar(10) null, jlrq datetime null, kl nvarchar(50) null)"));
}

bool AccountSetFixture::addRegistryRow(const QString& accountSet, const QString& password) const {
    return execServer(QStringLiteral("master"),
                      QStringLiteral("insert into CHdatebase (ztmc, zjmc, jlrq, kl) values "
                                     "(%1, %2, '2020-01-01', %3)")
                          .arg(db::quotedLiteral(accountSet), db::quotedLiteral(serverName()),
                               db::quotedLiteral(password)));
}

bool AccountSetFixture::registerLocally(const QString& accountSet, const QString& password,
                                        bool network) const {
    return succeeds("register locally", [&] {
        db::Query local(QStringLiteral("ADOQuery2"));
        local.setConnectionString(localConnectionString());
        config::registerAccountSet(
            local, {accountSet, QDate(2020, 1, 1), password, serverName(), network});
    });
}

} // namespace zt::test
