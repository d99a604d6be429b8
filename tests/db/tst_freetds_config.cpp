// How a server name reaches FreeTDS: an alias of freetds.conf by SERVERNAME=, a FreeTDS data
// source by DSN=, anything else as a host; the driver found by its registered name or in the
// multiarch directories; the TDS versions tried against a server that breaks a login off.

#include "db/connection_string.h"
#include "db/freetds_config.h"
#include "db/query.h"
#include "tests/support/devserver_process.h"
#include "tests/support/private_freetds_config.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using zt::db::ConnectionProperties;
using zt::db::DbError;
using zt::db::FreeTdsRoute;
using zt::db::Query;

Q_DECLARE_METATYPE(zt::db::FreeTdsRoute)

namespace {

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text), text.size());
}

QString sqlLogin(const QString& dataSource) {
    return QStringLiteral("Provider=SQLOLEDB.1;password=;persist security info=true;user id=sa;"
                          "Data Source=") +
           dataSource;
}

// A loopback listener that counts the connections it takes, within a bounded time. It closes
// each at once, as a server does that will not speak the client's TDS version, or, silent,
// holds each open without a word, as a server that hangs.
class ClosingListener {
public:
    explicit ClosingListener(bool silent = false) : silent_(silent) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(socket_, 8) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~ClosingListener() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (socket_ >= 0)
            ::close(socket_);
    }
    ClosingListener(const ClosingListener&) = delete;
    ClosingListener& operator=(const ClosingListener&) = delete;

    quint16 port() const { return port_; }
    int accepted() const { return accepted_; }

private:
    void serve() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!stop_ && std::chrono::steady_clock::now() < deadline) {
            pollfd waiting{socket_, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0)
                continue;
            const int client = ::accept(socket_, nullptr, nullptr);
            if (client < 0)
                continue;
            ++accepted_;
            if (silent_) {
                held_.push_back(client);
                continue;
            }
            char buffer[512];
            pollfd reading{client, POLLIN, 0};
            if (::poll(&reading, 1, 2000) > 0)
                (void)::recv(client, buffer, sizeof buffer, 0); // the client's first packet
            ::close(client);
        }
        for (const int client : held_)
            ::close(client);
    }

    bool silent_ = false;
    std::vector<int> held_;

    int socket_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread thread_;
};

} // namespace

class TestFreeTdsConfig : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void routes_data();
    void routes();
    void odbcStringByRoute();
    void connectsAsListed_data();
    void connectsAsListed();
    void choosesDriver_data();
    void choosesDriver();
    void noDriverNamesThePackage();
    void triesEachTdsVersionWhenTheServerBreaksOff();
    void asksASilentServerOnce();
    void worksAtEachTdsVersion_data();
    void worksAtEachTdsVersion();

private:
    zt::test::PrivateFreeTdsConfig config_;
    zt::test::DevServerProcess server_;
};

// unixODBC reads its configuration once per process: everything is in place before the
// first ODBC call, with the development server's port in it.
void TestFreeTdsConfig::initTestCase() {
    QVERIFY(server_.start());
    const QString library =
        zt::db::chooseFreeTdsDriver(QString(), zt::db::freeTdsLibraryDirectories());
    QVERIFY(config_.install(server_.port(), library,
                            "[egServer50]\n"
                            "\thost = symachine.domain.com\n"
                            "\tport = 5000\n"));
}

void TestFreeTdsConfig::routes_data() {
    QTest::addColumn<QString>("dataSource");
    QTest::addColumn<FreeTdsRoute>("route");
    QTest::newRow("alias") << "ztalias" << FreeTdsRoute::Alias;
    QTest::newRow("alias typed in capitals") << "ZTALIAS" << FreeTdsRoute::Alias;
    QTest::newRow("data source") << "ZtDsn" << FreeTdsRoute::DataSource;
    QTest::newRow("stock example is no alias") << "egServer50" << FreeTdsRoute::Host;
    QTest::newRow("alias with a port is a host") << "ztalias,1433" << FreeTdsRoute::Host;
    QTest::newRow("address and port") << "127.0.0.1,1433" << FreeTdsRoute::Host;
    QTest::newRow("unknown name") << "DBHOST" << FreeTdsRoute::Host;
}

void TestFreeTdsConfig::routes() {
    QFETCH(QString, dataSource);
    QFETCH(FreeTdsRoute, route);
    QCOMPARE(zt::db::freeTdsRoute(dataSource), route);
}

void TestFreeTdsConfig::odbcStringByRoute() {
    const auto odbc = [](const QString& dataSource) {
        return zt::db::odbcConnectionString(ConnectionProperties::parse(sqlLogin(dataSource)),
                                            QStringLiteral("7.2"));
    };
    // The alias's own port and TDS version apply: none given beside it.
    const QString alias = odbc(QStringLiteral("ztalias"));
    QVERIFY2(alias.contains(";SERVERNAME=ztalias;"), qPrintable(alias));
    QVERIFY(!alias.contains("PORT=") && !alias.contains("TDS_Version") &&
            !alias.contains(";SERVER="));
    const QString dataSource = odbc(QStringLiteral("ZtDsn"));
    QVERIFY2(dataSource.startsWith("DSN=ZtDsn;"), qPrintable(dataSource));
    QVERIFY(!dataSource.contains("DRIVER=") && !dataSource.contains("TDS_Version"));
    const QString host = odbc(QStringLiteral("127.0.0.1,14333"));
    QVERIFY2(host.contains(";SERVER=127.0.0.1;PORT=14333;TDS_Version=7.2;"), qPrintable(host));
}

void TestFreeTdsConfig::connectsAsListed_data() {
    QTest::addColumn<QString>("dataSource");
    QTest::newRow("alias") << "ztalias";
    QTest::newRow("alias typed in capitals") << "ZTALIAS";
    QTest::newRow("data source") << "ZtDsn";
    QTest::newRow("host and port") << server_.dataSource();
}

void TestFreeTdsConfig::connectsAsListed() {
    QFETCH(QString, dataSource);
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(sqlLogin(dataSource));
    query.sqlAdd(QStringLiteral("select name from master..sysdatabases where name='master'"));
    query.open();
    QCOMPARE(query.fieldByName(QStringLiteral("name")).asString(), QStringLiteral("master"));
}

void TestFreeTdsConfig::choosesDriver_data() {
    QTest::addColumn<QString>("registered");  // Driver= of [FreeTDS]; "@" stands for the lib dir
    QTest::addColumn<QStringList>("present"); // libraries in the second directory
    QTest::addColumn<QString>("chosen");      // "@" stands for the second directory
    QTest::newRow("registered by file name")
        << "libtdsodbc.so" << QStringList{"libtdsodbc.so"} << "FreeTDS";
    QTest::newRow("registered by path")
        << "@/libtdsodbc.so" << QStringList{"libtdsodbc.so"} << "FreeTDS";
    QTest::newRow("registered library missing")
        << "/nowhere/libtdsodbc.so" << QStringList{"libtdsodbc.so"} << "@/libtdsodbc.so";
    QTest::newRow("not registered") << "" << QStringList{"libtdsodbc.so"} << "@/libtdsodbc.so";
}

void TestFreeTdsConfig::choosesDriver() {
    QFETCH(QString, registered);
    QFETCH(QStringList, present);
    QFETCH(QString, chosen);
    const QTemporaryDir empty;
    const QTemporaryDir libraries;
    for (const QString& name : present)
        writeFile(QDir(libraries.path()).filePath(name), "ELF");
    registered.replace(u'@', libraries.path());
    chosen.replace(u'@', libraries.path());
    QCOMPARE(zt::db::chooseFreeTdsDriver(registered, {empty.path(), libraries.path()}), chosen);
}

void TestFreeTdsConfig::noDriverNamesThePackage() {
    const QTemporaryDir empty;
    try {
        zt::db::chooseFreeTdsDriver(QStringLiteral("libtdsodbc.so"), {empty.path()});
        QFAIL("a machine without the driver must be told so");
    } catch (const DbError& failure) {
        QCOMPARE(failure.text(), zt::db::missingDriverMessage());
        QVERIFY(failure.text().contains(QStringLiteral("tdsodbc")));
    }
}

void TestFreeTdsConfig::triesEachTdsVersionWhenTheServerBreaksOff() {
    ClosingListener listener;
    QVERIFY(listener.port() != 0);
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(sqlLogin(QStringLiteral("127.0.0.1,%1").arg(listener.port())) +
                              QStringLiteral(";Connect Timeout=5"));
    query.sqlAdd(QStringLiteral("select 1 as one"));
    QVERIFY_THROWS_EXCEPTION(DbError, query.open());
    QCOMPARE(listener.accepted(), int(zt::db::tdsVersionLadder().size()));
}

// A login that times out would time out at every version: one wait, not four.
void TestFreeTdsConfig::asksASilentServerOnce() {
    ClosingListener listener(true);
    QVERIFY(listener.port() != 0);
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(sqlLogin(QStringLiteral("127.0.0.1,%1").arg(listener.port())) +
                              QStringLiteral(";Connect Timeout=2"));
    query.sqlAdd(QStringLiteral("select 1 as one"));
    QVERIFY_THROWS_EXCEPTION(DbError, query.open());
    QCOMPARE(listener.accepted(), 1);
}

void TestFreeTdsConfig::worksAtEachTdsVersion_data() {
    QTest::addColumn<QString>("version");
    for (const char* version : {"7.1", "7.2", "7.3", "7.4"})
        QTest::newRow(version) << QString::fromLatin1(version);
}

// A server that speaks only an older TDS version is reached all the same, Chinese intact.
void TestFreeTdsConfig::worksAtEachTdsVersion() {
    QFETCH(QString, version);
    zt::test::DevServerProcess server({QStringLiteral("--tds-version"), version});
    QVERIFY(server.start());
    const QString database = QStringLiteral("版本") + QString(version).remove(u'.');
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(sqlLogin(server.dataSource()));
    query.sqlAdd(QStringLiteral("create database ") + database);
    query.execSql();
    Query inside(QStringLiteral("ADOcreate"));
    inside.setConnectionString(
        QStringLiteral("Provider=SQLOLEDB.1;password=;persist security info=true;user id=sa;"
                       "Initial Catalog=%1;Data Source=%2")
            .arg(database, server.dataSource()));
    inside.sqlAdd(QStringLiteral("create table 货品 (bm nvarchar(20), qm nvarchar(50))"));
    inside.execSql();
    inside.sqlClear();
    inside.sqlAdd(QStringLiteral("insert into 货品 (bm, qm) values (N'A01', N'矿泉水')"));
    inside.execSql();
    inside.sqlClear();
    inside.sqlAdd(QStringLiteral("select*from 货品"));
    inside.open();
    QCOMPARE(inside.fieldByName(QStringLiteral("qm")).asString(), QStringLiteral("矿泉水"));
}

QTEST_GUILESS_MAIN(TestFreeTdsConfig)
#include "tst_freetds_config.moc"
