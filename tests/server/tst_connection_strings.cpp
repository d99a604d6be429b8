#include "server/connection_strings.h"
#include "server/server_login.h"

#include <QtTest/QtTest>

using namespace zt;

class ConnectionStringsTest : public QObject {
    Q_OBJECT

private slots:
    void probeIntegrated();
    void probeSqlLogin_data();
    void probeSqlLogin();
    void probeFollowsChosenAuthentication();
    void composedFromCredentialPart();
    void unsafeServerNames_data();
    void unsafeServerNames();
};

void ConnectionStringsTest::probeIntegrated() {
    QCOMPARE(server::probeIntegratedConnectionString(QStringLiteral("DBSRV")),
             QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;"
                            "Persist Security Info=False;Data Source=DBSRV"));
}

void ConnectionStringsTest::probeSqlLogin_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");
    QTest::newRow("sa, empty password")
        << "sa"
        << ""
        << "Provider=SQLOLEDB.1;Password=;Persist Security Info=True;User ID=sa;"
           "Data Source=127.0.0.1,1433";
    QTest::newRow("ordinary")
        << "bob"
        << "pw1"
        << "Provider=SQLOLEDB.1;Password=pw1;Persist Security Info=True;User ID=bob;"
           "Data Source=127.0.0.1,1433";
    QTest::newRow("semicolon quoted")
        << "bob"
        << "a;Initial Catalog=master"
        << "Provider=SQLOLEDB.1;Password=\"a;Initial Catalog=master\";Persist Security Info=True;"
           "User ID=bob;Data Source=127.0.0.1,1433";
    QTest::newRow("quote in user name")
        << "o'neil"
        << ""
        << "Provider=SQLOLEDB.1;Password=;Persist Security Info=True;User ID=\"o'neil\";"
           "Data Source=127.0.0.1,1433";
}

void ConnectionStringsTest::probeSqlLogin() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    QCOMPARE(
        server::probeSqlLoginConnectionString(QStringLiteral("127.0.0.1,1433"), user, password),
        expected);
}

void ConnectionStringsTest::probeFollowsChosenAuthentication() {
    QCOMPARE(server::probeConnectionString(QStringLiteral("s"), config::ServerLogin{}),
             server::probeIntegratedConnectionString(QStringLiteral("s")));
    const config::ServerLogin sqlLogin{false, QStringLiteral("u"), QStringLiteral("p")};
    QCOMPARE(server::probeConnectionString(QStringLiteral("s"), sqlLogin),
             server::probeSqlLoginConnectionString(QStringLiteral("s"), QStringLiteral("u"),
                                                   QStringLiteral("p")));
}

void ConnectionStringsTest::composedFromCredentialPart() {
    const QString integrated =
        QStringLiteral("integrated security=sspi;persist security info=false;");
    const QString sqlLogin = QStringLiteral("password=;persist security info=true;user id=sa;");
    QCOMPARE(server::serverConnectionString(integrated, QStringLiteral("DB")),
             QStringLiteral("Provider=SQLOLEDB.1;integrated security=sspi;"
                            "persist security info=false;Data Source=DB"));
    QCOMPARE(
        server::databaseConnectionString(sqlLogin, QStringLiteral("books"), QStringLiteral("DB")),
        QStringLiteral("Provider=SQLOLEDB.1;password=;persist security info=true;user id=sa;"
                       "Initial Catalog=books;Data Source=DB"));
    QCOMPARE(server::masterConnectionString(sqlLogin, QStringLiteral("DB")),
             QStringLiteral("Provider=SQLOLEDB.1;password=;persist security info=true;user id=sa;"
                            "Initial Catalog=master;Data Source=DB"));
    // A server without a stored row: no credentials at all.
    QCOMPARE(server::serverConnectionString(QString(), QStringLiteral("DB")),
             QStringLiteral("Provider=SQLOLEDB.1;Data Source=DB"));
}

void ConnectionStringsTest::unsafeServerNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("unsafe");
    QTest::newRow("plain") << "DBSRV" << false;
    QTest::newRow("instance and port") << "DBSRV\\SQL2000,1433" << false;
    QTest::newRow("blanks") << "  " << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("chinese") << "服务器一" << false;
    QTest::newRow("semicolon") << "a;b" << true;
    QTest::newRow("single quote") << "a'b" << true;
    QTest::newRow("double quote") << "\"ab" << true;
    QTest::newRow("equals") << "a=b" << true;
}

void ConnectionStringsTest::unsafeServerNames() {
    QFETCH(QString, name);
    QFETCH(bool, unsafe);
    QCOMPARE(server::isUnsafeServerName(name), unsafe);
}

QTEST_GUILESS_MAIN(ConnectionStringsTest)
#include "tst_connection_strings.moc"
