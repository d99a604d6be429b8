// Query objects given the same shared connections use one server session where they reach the
// same server with the same login, whatever the form of their connection strings and whichever
// database each names.

#include "config/local_config.h"
#include "db/query.h"
#include "db/shared_connections.h"
#include "server/connection_strings.h"
#include "server/server_login.h"
#include "tests/support/devserver_process.h"

#include <QTest>

#include <memory>

using zt::db::Query;

namespace {

QString sessionOf(Query& query) {
    query.close();
    query.sqlClear();
    query.sqlAdd(QStringLiteral("select @@SPID as s"));
    query.open();
    const QString session = query.fieldByName(QStringLiteral("s")).asString();
    query.close();
    return session;
}

} // namespace

class TestSharedConnections : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(server_.start()); }
    void sameServerDatabaseAndLoginShareOneSession_data();
    void sameServerDatabaseAndLoginShareOneSession();
    void abandonedConnectionIsOpenedAfresh();
    void movedQueryLetsItsDatabaseGo();
    void disconnectedQueryLeavesItsDatabaseAtOnce();

private:
    QString form(const QString& name) const {
        const QString credentials = zt::config::sqlLoginFragment(QStringLiteral("sa"), QString());
        if (name == u"probe") {
            zt::config::ServerLogin login;
            login.integratedSecurity = false;
            login.userName = QStringLiteral("sa");
            return zt::server::probeConnectionString(server_.dataSource(), login);
        }
        if (name == u"master")
            return zt::server::masterConnectionString(credentials, server_.dataSource());
        return zt::server::serverConnectionString(credentials, server_.dataSource());
    }

    // Creates the database NAME through the server query and points the database query at it,
    // both sharing the connections.
    void createDatabaseFor(Query& server, Query& database,
                           const std::shared_ptr<zt::db::SharedConnections>& connections,
                           const QString& name) const {
        server.shareConnections(connections);
        database.shareConnections(connections);
        server.setConnectionString(form(QStringLiteral("server")));
        server.sqlAdd(QStringLiteral("create database [%1]").arg(name));
        server.execSql();
        database.setConnectionString(zt::server::databaseConnectionString(
            zt::config::sqlLoginFragment(QStringLiteral("sa"), QString()), name,
            server_.dataSource()));
    }

    zt::test::DevServerProcess server_;
};

void TestSharedConnections::sameServerDatabaseAndLoginShareOneSession_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("shared");
    QTest::newRow("probe and server-level forms") << "probe"
                                                  << "server" << true;
    QTest::newRow("server level twice") << "server"
                                        << "server" << true;
    QTest::newRow("server level and master") << "server"
                                             << "master" << true;
}

void TestSharedConnections::sameServerDatabaseAndLoginShareOneSession() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, shared);
    const auto connections = std::make_shared<zt::db::SharedConnections>();
    Query one(QStringLiteral("one"));
    Query two(QStringLiteral("two"));
    one.shareConnections(connections);
    two.shareConnections(connections);
    one.setConnectionString(form(first));
    two.setConnectionString(form(second));
    QCOMPARE(sessionOf(one) == sessionOf(two), shared);
}

void TestSharedConnections::abandonedConnectionIsOpenedAfresh() {
    const auto connections = std::make_shared<zt::db::SharedConnections>();
    Query one(QStringLiteral("one"));
    Query two(QStringLiteral("two"));
    one.shareConnections(connections);
    two.shareConnections(connections);
    one.setConnectionString(form(QStringLiteral("server")));
    two.setConnectionString(form(QStringLiteral("server")));
    const QString before = sessionOf(one);
    QCOMPARE(sessionOf(two), before);
    one.disconnect();
    QCOMPARE(sessionOf(one), before);
    one.abandonConnection();
    const QString after = sessionOf(one);
    QVERIFY(after != before);
    Query three(QStringLiteral("three"));
    three.shareConnections(connections);
    three.setConnectionString(form(QStringLiteral("probe")));
    QCOMPARE(sessionOf(three), after);
}

// A database keeps no connection from a query object that has moved elsewhere, so it can be
// dropped.
void TestSharedConnections::movedQueryLetsItsDatabaseGo() {
    const auto connections = std::make_shared<zt::db::SharedConnections>();
    Query server(QStringLiteral("server"));
    Query database(QStringLiteral("database"));
    createDatabaseFor(server, database, connections, QStringLiteral("shared_gone"));
    sessionOf(database);
    database.setConnectionString(form(QStringLiteral("server")));
    QCOMPARE(sessionOf(database), sessionOf(server));
    server.close();
    server.sqlClear();
    server.sqlAdd(QStringLiteral("drop database shared_gone"));
    // The server ends the closed session on its own time; until then the database is in use.
    bool dropped = false;
    for (int attempt = 0; attempt < 100 && !dropped; ++attempt) {
        try {
            server.execSql();
            dropped = true;
        } catch (const zt::db::DbError& refusal) {
            QCOMPARE(refusal.number(), 3702);
            QTest::qWait(100);
        }
    }
    QVERIFY(dropped);
}

// The shared session leaves a database when the query object that used it lets go, so the
// database can be dropped on that same session at once.
void TestSharedConnections::disconnectedQueryLeavesItsDatabaseAtOnce() {
    const auto connections = std::make_shared<zt::db::SharedConnections>();
    Query server(QStringLiteral("server"));
    Query database(QStringLiteral("database"));
    createDatabaseFor(server, database, connections, QStringLiteral("shared_left"));
    const QString session = sessionOf(server);
    QCOMPARE(sessionOf(database), session); // the session is in shared_left now
    database.disconnect();
    server.close();
    server.sqlClear();
    server.sqlAdd(QStringLiteral("drop database shared_left"));
    server.execSql();
}

QTEST_GUILESS_MAIN(TestSharedConnections)
#include "tst_shared_connections.moc"
