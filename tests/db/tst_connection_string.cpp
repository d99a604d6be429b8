#include "db/connection_string.h"
#include "db/freetds_config.h"
#include "db/query.h"

#include <QTest>

using zt::db::ConnectionProperties;
using zt::db::DbError;

class TestConnectionString : public QObject {
    Q_OBJECT
private slots:
    void readsItems_data();
    void readsItems();
    void refusesMalformedStrings_data();
    void refusesMalformedStrings();
    void laterItemWins();
    void choosesProvider_data();
    void choosesProvider();
    void readsDataSource_data();
    void readsDataSource();
    void buildsOdbcStringForSqlLogin();
    void buildsOdbcStringForIntegratedSecurity();
    void bracesOdbcValues_data();
    void bracesOdbcValues();
    void refusesValueThatWouldEndItsItem();
};

void TestConnectionString::readsItems_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const QString jet = QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/zt/data/CHWHDB.mdb;Persist Security "
        "Info=False");
    QTest::newRow("jet path") << jet << "Data Source"
                              << "/opt/zt/data/CHWHDB.mdb";
    QTest::newRow("jet provider") << jet << "provider"
                                  << "Microsoft.Jet.OLEDB.4.0";
    const QString s1 = QStringLiteral("Provider=SQLOLEDB.1;password=pw;persist security "
                                      "info=true;user id=sa;Data Source=SERVER\\INST");
    QTest::newRow("lower-case key") << s1 << "User ID"
                                    << "sa";
    QTest::newRow("password") << s1 << "PASSWORD"
                              << "pw";
    QTest::newRow("instance") << s1 << "data source"
                              << "SERVER\\INST";
    QTest::newRow("blanks around key") << "  Initial Catalog  = 帐套一 ;Data Source=."
                                       << "initial catalog"
                                       << "帐套一";
    QTest::newRow("blanks around value") << "Password=  secret  ;"
                                         << "Password"
                                         << "secret";
    QTest::newRow("single quotes with ;") << "Password='a;b';User ID=sa"
                                          << "Password"
                                          << "a;b";
    QTest::newRow("double quotes with ;") << "Password=\"x;y;z\""
                                          << "password"
                                          << "x;y;z";
    QTest::newRow("doubled single quote") << "Password='it''s;'"
                                          << "Password"
                                          << "it's;";
    QTest::newRow("doubled double quote") << "Password=\"say \"\"hi\"\"\""
                                          << "Password"
                                          << "say \"hi\"";
    QTest::newRow("other quote inside") << "Password='say \"x\"'"
                                        << "Password"
                                        << "say \"x\"";
    QTest::newRow("empty value") << "Password=;User ID=sa"
                                 << "Password"
                                 << "";
    QTest::newRow("absent key") << "User ID=sa"
                                << "Password"
                                << "";
    QTest::newRow("odd case") << "pRoViDeR=SQLOLEDB.1;iNtEgRaTeD sEcUrItY=SSPI"
                              << "Integrated Security"
                              << "SSPI";
    QTest::newRow("equals in key") << "a==b=1"
                                   << "a=b"
                                   << "1";
    QTest::newRow("equals in value") << "Password=a=b"
                                     << "Password"
                                     << "a=b";
}

void TestConnectionString::readsItems() {
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(ConnectionProperties::parse(text).value(key), value);
}

void TestConnectionString::refusesMalformedStrings_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("unterminated quote") << "Password='abc;User ID=sa";
    QTest::newRow("text after quote") << "Password='abc'x;User ID=sa";
    QTest::newRow("item without =") << "Provider=SQLOLEDB.1;garbage;Data Source=x";
    QTest::newRow("empty key") << "=value";
}

void TestConnectionString::refusesMalformedStrings() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(DbError, ConnectionProperties::parse(text));
}

void TestConnectionString::laterItemWins() {
    const auto properties = ConnectionProperties::parse("User ID=a;user id=b");
    QCOMPARE(properties.value("User ID"), "b");
    QCOMPARE(properties.items().size(), 1);
}

void TestConnectionString::choosesProvider_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::newRow("jet") << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x"
                         << int(zt::db::ProviderKind::Jet);
    QTest::newRow("sqloledb") << "Provider=SQLOLEDB.1;Data Source=x"
                              << int(zt::db::ProviderKind::SqlServer);
    QTest::newRow("sqloledb lower")
        << "provider=sqloledb;Data Source=x" << int(zt::db::ProviderKind::SqlServer);
}

void TestConnectionString::choosesProvider() {
    QFETCH(QString, text);
    QFETCH(int, kind);
    QCOMPARE(int(zt::db::providerKind(ConnectionProperties::parse(text))), kind);
}

void TestConnectionString::readsDataSource_data() {
    QTest::addColumn<QString>("dataSource");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("instance");
    QTest::addColumn<int>("port"); // 0: none

    QTest::newRow("host") << "DBHOST"
                          << "DBHOST"
                          << "" << 0;
    QTest::newRow("host,port") << "127.0.0.1,14330"
                               << "127.0.0.1"
                               << "" << 14330;
    QTest::newRow("host, port with blanks") << "127.0.0.1 , 1500"
                                            << "127.0.0.1"
                                            << "" << 1500;
    QTest::newRow("instance") << "DBHOST\\SQLEXPRESS"
                              << "DBHOST"
                              << "SQLEXPRESS" << 0;
    QTest::newRow("(local)") << "(local)"
                             << "127.0.0.1"
                             << "" << 0;
    QTest::newRow("(LOCAL) instance") << "(LOCAL)\\SQL2000"
                                      << "127.0.0.1"
                                      << "SQL2000" << 0;
    QTest::newRow("dot") << "."
                         << "127.0.0.1"
                         << "" << 0;
    QTest::newRow("dot instance") << ".\\SQLEXPRESS"
                                  << "127.0.0.1"
                                  << "SQLEXPRESS" << 0;
    QTest::newRow("tcp:host,port") << "tcp:127.0.0.1,1433"
                                   << "127.0.0.1"
                                   << "" << 1433;
    QTest::newRow("TCP:host") << "TCP:dbhost"
                              << "dbhost"
                              << "" << 0;
}

void TestConnectionString::readsDataSource() {
    QFETCH(QString, dataSource);
    QFETCH(QString, host);
    QFETCH(QString, instance);
    QFETCH(int, port);
    const auto address = zt::db::parseDataSource(dataSource);
    QCOMPARE(address.host, host);
    QCOMPARE(address.instance, instance);
    QCOMPARE(address.port.value_or(0), port);
}

void TestConnectionString::buildsOdbcStringForSqlLogin() {
    const auto properties = ConnectionProperties::parse(
        "Provider=SQLOLEDB.1;password='p;w}';persist security info=true;user id=sa;Initial "
        "Catalog=帐套;Data Source=tcp:127.0.0.1,14333");
    const QString odbc = zt::db::odbcConnectionString(properties);
    QVERIFY(odbc.contains(";SERVER=127.0.0.1;PORT=14333;"));
    QVERIFY(odbc.contains(";DATABASE=帐套;"));
    QVERIFY(odbc.contains(";UID=sa;PWD={p;w}};"));
    QVERIFY(!odbc.contains("Trusted_Connection"));
    QVERIFY(odbc.contains(";TDS_Version=7.4;"));
}

void TestConnectionString::buildsOdbcStringForIntegratedSecurity() {
    const auto properties = ConnectionProperties::parse(
        "Provider=SQLOLEDB.1;integrated security=sspi;persist security info=false;Initial "
        "Catalog=master;Data Source=DBHOST\\INST");
    const QString odbc = zt::db::odbcConnectionString(properties);
    QVERIFY(odbc.startsWith("DRIVER={" + zt::db::freeTdsDriver() + "};"));
    QVERIFY(odbc.contains(";SERVER=DBHOST\\INST;"));
    QVERIFY(odbc.contains(";DATABASE=master;"));
    QVERIFY(odbc.contains(";Trusted_Connection=Yes;"));
    QVERIFY(!odbc.contains("UID="));
    QVERIFY(!odbc.contains("PORT="));
    QVERIFY(odbc.contains(";ClientCharset=UTF-8;"));
}

void TestConnectionString::bracesOdbcValues_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("item");
    QTest::newRow("plain") << "secret"
                           << "PWD=secret";
    QTest::newRow("empty") << ""
                           << "PWD=";
    QTest::newRow("semicolon") << "a;b"
                               << "PWD={a;b}";
    QTest::newRow("closing brace alone") << "a}b"
                                         << "PWD=a}b";
    QTest::newRow("semicolon and final brace") << "a;b}"
                                               << "PWD={a;b}}";
    QTest::newRow("opening brace first") << "{x"
                                         << "PWD={{x}";
    QTest::newRow("leading blank") << " a"
                                   << "PWD={ a}";
    QTest::newRow("chinese") << "帐套"
                             << "PWD=帐套";
}

void TestConnectionString::bracesOdbcValues() {
    QFETCH(QString, value);
    QFETCH(QString, item);
    QCOMPARE(zt::db::odbcItem("PWD", value), item);
}

void TestConnectionString::refusesValueThatWouldEndItsItem() {
    // Read back by the driver as "x" followed by a SERVER item: never passed on.
    QVERIFY_THROWS_EXCEPTION(DbError, zt::db::odbcItem("PWD", "x};SERVER=elsewhere"));
}

QTEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connection_string.moc"
