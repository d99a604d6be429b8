// zt-devserver as a program: its command line, logins, trace, robustness, concurrency and
// durability, through the FreeTDS ODBC driver and FreeTDS's own tsql.

#include "tests/devserver/protocol_odbc_client.h"
#include "tests/devserver/protocol_raw_client.h"
#include "tests/support/devserver_process.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>

using zt::test::DevServerProcess;
using zt::test::freeTdsConnectionString;
using zt::test::OdbcConnection;
using zt::test::OdbcParameter;
using zt::test::RawTdsClient;

namespace {

struct Outcome {
    int exitCode = -1;
    QString output;
    QString errors;
};

Outcome runDevServer(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(ZT_DEVSERVER_PATH), arguments);
    Outcome outcome;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.output = QString::fromUtf8(process.readAllStandardOutput());
    outcome.errors = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

// Holds a loopback port so that the server cannot listen on it.
class PortHolder {
public:
    PortHolder() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 1);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~PortHolder() { ::close(fd_); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    quint16 port() const { return port_; }

private:
    int fd_;
    quint16 port_ = 0;
};

bool connectTo(OdbcConnection& client, const DevServerProcess& server,
               const QString& database = {}) {
    return client.connect(
        freeTdsConnectionString(server.port(), QStringLiteral("sa"), QString(), database));
}

} // namespace

class ProtocolDevServerTest : public QObject {
    Q_OBJECT

private slots:
    void helpPrintsUsage();
    void badCommandLinesExitWithStatus2_data();
    void badCommandLinesExitWithStatus2();
    void busyPortExitsWithStatus2();
    void logins_data();
    void logins();
    void traceRecordsEveryStatement();
    void brokenPacketLeavesServerRunning();
    void concurrentClientsLoseNoRows();
    void committedRowsSurviveRestart();
    void tsqlCreatesAndReadsBack();
    void sigtermStopsCleanly();
    void typesReachTheClient_data();
    void typesReachTheClient();
    void maxTypesTravelWhole_data();
    void maxTypesTravelWhole();
    void typedParametersComeBack_data();
    void typedParametersComeBack();
    void decimalParametersKeepTheirValue_data();
    void decimalParametersKeepTheirValue();
    void notNullColumnsReadBack_data();
    void notNullColumnsReadBack();
};

void ProtocolDevServerTest::helpPrintsUsage() {
    const Outcome outcome = runDevServer({QStringLiteral("--help")});
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY2(outcome.output.contains(QStringLiteral("--listen HOST:PORT")),
             qPrintable(outcome.output));
    QVERIFY(outcome.output.contains(QStringLiteral("--trace FILE")));
    QVERIFY(outcome.output.contains(QStringLiteral("--hold-file-work PATH")));
}

void ProtocolDevServerTest::badCommandLinesExitWithStatus2_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--port", "1"} << "unknown option '--port'";
    QTest::newRow("missing value") << QStringList{"--listen"} << "needs a value";
    QTest::newRow("port out of range")
        << QStringList{"--listen", "127.0.0.1:70000"} << "invalid port";
    QTest::newRow("no port") << QStringList{"--listen", "127.0.0.1"} << "HOST:PORT";
    QTest::newRow("login without password") << QStringList{"--login", "bob"} << "NAME:PASSWORD";
    QTest::newRow("unknown role") << QStringList{"--login", "bob:pw:king"} << "unknown role 'king'";
    QTest::newRow("data directory is a file")
        << QStringList{"--data", "@FILE@"} << "data directory";
}

void ProtocolDevServerTest::badCommandLinesExitWithStatus2() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("plain-file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    arguments.replaceInStrings(QStringLiteral("@FILE@"), file.fileName());
    // Usable defaults first, so that only the case's own arguments can be at fault.
    arguments = QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                            QStringLiteral("--data"), dir.filePath(QStringLiteral("data"))} +
                arguments;
    const Outcome outcome = runDevServer(arguments);
    QCOMPARE(outcome.exitCode, 2);
    QVERIFY2(outcome.errors.contains(message), qPrintable(outcome.errors));
    QCOMPARE(outcome.errors.trimmed().count(QLatin1Char('\n')), 0); // one line
}

void ProtocolDevServerTest::busyPortExitsWithStatus2() {
    PortHolder holder;
    QTemporaryDir dir;
    const Outcome outcome =
        runDevServer({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(holder.port()),
                      QStringLiteral("--data"), dir.filePath(QStringLiteral("data"))});
    QCOMPARE(outcome.exitCode, 2);
    QVERIFY2(
        outcome.errors.contains(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(holder.port())),
        qPrintable(outcome.errors));
}

void ProtocolDevServerTest::logins_data() {
    QTest::addColumn<QStringList>("serverArguments");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");
    QTest::addColumn<int>("error"); // 0: the login succeeds
    QTest::addColumn<QString>("text");
    QTest::newRow("default sa") << QStringList() << "sa"
                                << ""
                                << "" << 0 << "";
    QTest::newRow("sa into master") << QStringList() << "sa"
                                    << ""
                                    << "master" << 0 << "";
    QTest::newRow("wrong password") << QStringList() << "sa"
                                    << "x"
                                    << "" << 18456 << "Login failed for user 'sa'.";
    QTest::newRow("unknown login") << QStringList() << "bob"
                                   << ""
                                   << "" << 18456 << "Login failed for user 'bob'.";
    QTest::newRow("missing catalog")
        << QStringList() << "sa"
        << ""
        << "nosuchdb" << 4060
        << "Cannot open database \"nosuchdb\" requested by the login. The login failed.";
    QTest::newRow("configured login") << QStringList{"--login", "bob:p:w:public"} << "bob"
                                      << "p:w"
                                      << "" << 0 << "";
    QTest::newRow("sa gone when logins are given") << QStringList{"--login", "bob:pw"} << "sa"
                                                   << ""
                                                   << "" << 18456 << "Login failed for user 'sa'.";
}

void ProtocolDevServerTest::logins() {
    QFETCH(QStringList, serverArguments);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, database);
    QFETCH(int, error);
    QFETCH(QString, text);
    DevServerProcess server(serverArguments);
    QVERIFY(server.start());
    OdbcConnection client;
    const bool connected =
        client.connect(freeTdsConnectionString(server.port(), user, password, database));
    if (error == 0) {
        QVERIFY2(connected, qPrintable(client.diagnosticText()));
        QVERIFY2(client.execute(QStringLiteral("SELECT DB_NAME()")),
                 qPrintable(client.diagnosticText()));
        QCOMPARE(client.rows().at(0).value(0).toString(),
                 database.isEmpty() ? QStringLiteral("master") : database);
        return;
    }
    QVERIFY(!connected);
    QVERIFY2(client.hasNative(error), qPrintable(client.diagnosticText()));
    QVERIFY2(client.diagnosticText().contains(text), qPrintable(client.diagnosticText()));
}

void ProtocolDevServerTest::traceRecordsEveryStatement() {
    DevServerProcess server;
    QVERIFY(server.start());
    OdbcConnection client;
    QVERIFY2(connectTo(client, server), qPrintable(client.diagnosticText()));
    const QString batch = QStringLiteral("create database [跟踪]\r\n");
    QVERIFY2(client.execute(batch), qPrintable(client.diagnosticText()));
    std::vector<OdbcParameter> parameters;
    parameters.push_back(OdbcParameter::text(QStringLiteral("跟踪")));
    QVERIFY2(client.execute(QStringLiteral("select name from sys.databases where name = ?"),
                            std::move(parameters)),
             qPrintable(client.diagnosticText()));
    QFile trace(server.traceFile());
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(trace.readAll());
    QVERIFY2(text.contains(QStringLiteral("\ncreate database [跟踪]\r\nGO\n")) ||
                 text.startsWith(QStringLiteral("create database [跟踪]\r\nGO\n")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("select name from sys.databases where name = @P1\nGO\n")),
             qPrintable(text));
}

void ProtocolDevServerTest::brokenPacketLeavesServerRunning() {
    DevServerProcess server;
    QVERIFY(server.start());
    OdbcConnection bystander;
    QVERIFY2(connectTo(bystander, server), qPrintable(bystander.diagnosticText()));
    RawTdsClient attacker;
    QVERIFY(attacker.connect(server.port()));
    QVERIFY(attacker.sendBytes({0x12, 0x01, 0xFF, 0xFF, 0, 0, 1, 0, 1, 2, 3, 4}));
    QVERIFY(attacker.closedByServer());
    QVERIFY2(bystander.execute(QStringLiteral("SELECT DB_NAME()")),
             qPrintable(bystander.diagnosticText()));
    OdbcConnection newcomer;
    QVERIFY2(connectTo(newcomer, server), qPrintable(newcomer.diagnosticText()));
    QTRY_VERIFY2(server.standardError().contains(QStringLiteral("too large")),
                 qPrintable(server.standardError()));
}

void ProtocolDevServerTest::concurrentClientsLoseNoRows() {
    DevServerProcess server;
    QVERIFY(server.start());
    OdbcConnection setup;
    QVERIFY2(connectTo(setup, server), qPrintable(setup.diagnosticText()));
    QVERIFY2(setup.execute(QStringLiteral("create database shared")),
             qPrintable(setup.diagnosticText()));
    QVERIFY2(setup.execute(
                 QStringLiteral("use shared; CREATE TABLE [dbo].[log] ([id] int IDENTITY (1, 1) "
                                "NOT NULL Primary Key, [writer] int NOT NULL, [n] int NOT NULL)")),
             qPrintable(setup.diagnosticText()));
    constexpr int writers = 4;
    constexpr int rowsEach = 50;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w)
        threads.emplace_back([&, w] {
            OdbcConnection client;
            if (!connectTo(client, server, QStringLiteral("shared"))) {
                ++failures;
                return;
            }
            for (int i = 0; i < rowsEach; ++i) {
                std::vector<OdbcParameter> parameters;
                parameters.push_back(OdbcParameter::integer(w));
                parameters.push_back(OdbcParameter::integer(i));
                if (!client.execute(QStringLiteral("insert into log (writer, n) values (?, ?)"),
                                    std::move(parameters)))
                    ++failures;
            }
        });
    for (auto& thread : threads)
        thread.join();
    QCOMPARE(failures.load(), 0);
    QVERIFY2(setup.execute(QStringLiteral("select id, writer, n from log")),
             qPrintable(setup.diagnosticText()));
    QCOMPARE(setup.rows().size(), size_t(writers * rowsEach));
    std::set<QString> ids;
    std::set<QString> pairs;
    for (const auto& row : setup.rows()) {
        ids.insert(row.value(0).toString());
        pairs.insert(row.value(1).toString() + u'/' + row.value(2).toString());
    }
    QCOMPARE(ids.size(), size_t(writers * rowsEach));
    QCOMPARE(pairs.size(), size_t(writers * rowsEach));
}

void ProtocolDevServerTest::committedRowsSurviveRestart() {
    DevServerProcess server;
    QVERIFY(server.start());
    {
        OdbcConnection client;
        QVERIFY2(connectTo(client, server), qPrintable(client.diagnosticText()));
        QVERIFY2(client.execute(QStringLiteral("create database 持久")),
                 qPrintable(client.diagnosticText()));
        QVERIFY2(client.execute(QStringLiteral(
                     "use 持久; create table t ([名称] nvarchar(20) NULL, [1] int NULL)")),
                 qPrintable(client.diagnosticText()));
        std::vector<OdbcParameter> parameters;
        parameters.push_back(OdbcParameter::text(QStringLiteral("留下")));
        parameters.push_back(OdbcParameter::integer(7));
        QVERIFY2(
            client.execute(QStringLiteral("insert into t values (?, ?)"), std::move(parameters)),
            qPrintable(client.diagnosticText()));
        QCOMPARE(client.rowCount(), SQLLEN(1)); // the count of the DONE token
    }
    QVERIFY(server.restart());
    OdbcConnection client;
    QVERIFY2(connectTo(client, server, QStringLiteral("持久")),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("select [名称], [1] from t")),
             qPrintable(client.diagnosticText()));
    QCOMPARE(client.rows().size(), size_t(1));
    QCOMPARE(client.rows()[0], (QVariantList{QStringLiteral("留下"), QStringLiteral("7")}));
}

void ProtocolDevServerTest::tsqlCreatesAndReadsBack() {
    DevServerProcess server;
    QVERIFY(server.start());
    QProcess tsql;
    tsql.start(QStringLiteral("tsql"),
               {QStringLiteral("-H"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                QString::number(server.port()), QStringLiteral("-U"), QStringLiteral("sa"),
                QStringLiteral("-P"), QString()});
    QVERIFY2(tsql.waitForStarted(), "tsql (freetds-bin) is not installed");
    tsql.write(
        "create database 帐套\ngo\n"
        "use 帐套\ngo\n"
        "CREATE TABLE [dbo].[货品] ([编号] int IDENTITY (1, 1) NOT NULL, [名称] nvarchar(12) "
        "COLLATE Chinese_PRC_CI_AS NULL, [2024] money NULL) ON [PRIMARY]\ngo\n"
        "insert into 货品 ([名称], [2024]) values (N'螺丝', 1.5)\ngo\n"
        "select * from 货品\ngo\n"
        "create table 货品 (x int)\ngo\n"
        "exit\n");
    tsql.closeWriteChannel();
    QVERIFY(tsql.waitForFinished(30000));
    const QString output =
        QString::fromUtf8(tsql.readAllStandardOutput() + tsql.readAllStandardError());
    QVERIFY2(output.contains(QStringLiteral("编号\t名称\t2024")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("1\t螺丝\t1.5000")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("Msg 2714")), qPrintable(output));
    QVERIFY2(
        output.contains(QStringLiteral("There is already an object named '货品' in the database.")),
        qPrintable(output));
}

void ProtocolDevServerTest::sigtermStopsCleanly() {
    DevServerProcess server;
    QVERIFY(server.start());
    OdbcConnection client; // an idle client must not keep the server alive
    QVERIFY2(connectTo(client, server), qPrintable(client.diagnosticText()));
    server.stop();
    const QString log = server.standardError();
    QVERIFY2(log.endsWith(QStringLiteral("zt-devserver: stopped\n")), qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("Sanitizer")) &&
                 !log.contains(QStringLiteral("runtime error")),
             qPrintable(log));
}

void ProtocolDevServerTest::typesReachTheClient_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("odbcType");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("tinyint") << "cast(255 as tinyint)" << int(SQL_TINYINT) << 3 << "255";
    QTest::newRow("smallint") << "cast(-2 as smallint)" << int(SQL_SMALLINT) << 5 << "-2";
    QTest::newRow("real") << "cast(1.5 as real)" << int(SQL_REAL) << 24 << "1.5";
    QTest::newRow("char") << "cast('ab' as char(4))" << int(SQL_CHAR) << 4 << "ab  ";
    QTest::newRow("char in the code page")
        << "cast('中文' as char(6))" << int(SQL_CHAR) << 6 << "中文  ";
    QTest::newRow("varchar") << "cast('中文' as varchar(10))" << int(SQL_VARCHAR) << 10 << "中文";
    QTest::newRow("nchar") << "cast(N'x' as nchar(3))" << int(SQL_WCHAR) << 3 << "x  ";
    QTest::newRow("nvarchar") << "cast(N'abcdef' as nvarchar(4))" << int(SQL_WVARCHAR) << 4
                              << "abcd";
    QTest::newRow("binary constant") << "0xC280C290" << int(SQL_VARBINARY) << 4 << "c280c290";
    QTest::newRow("empty binary") << "0x" << int(SQL_VARBINARY) << 1 << "";
    QTest::newRow("decimal constant")
        << "900000000000000.1234" << int(SQL_NUMERIC) << 19 << "900000000000000.1234";
    QTest::newRow("uniqueidentifier")
        << "cast('6f9619ff-8b86-d011-b42d-00c04fc964ff' as uniqueidentifier)" << int(SQL_GUID) << 36
        << "6F9619FF-8B86-D011-B42D-00C04FC964FF";
}

void ProtocolDevServerTest::typesReachTheClient() {
    QFETCH(QString, expression);
    QFETCH(int, odbcType);
    QFETCH(int, size);
    QFETCH(QString, text);
    DevServerProcess server;
    QVERIFY(server.start());
    OdbcConnection client;
    QVERIFY2(connectTo(client, server), qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("select %1").arg(expression)),
             qPrintable(client.diagnosticText()));
    QCOMPARE(client.columns().size(), size_t(1));
    QCOMPARE(int(client.columns()[0].type), odbcType);
    QCOMPARE(int(client.columns()[0].size), size);
    QCOMPARE(client.rows()[0].value(0).toString(), text);
}

void ProtocolDevServerTest::maxTypesTravelWhole_data() {
    QTest::addColumn<QString>("tdsVersion");
    QTest::addColumn<int>("narrowType"); // as the driver reports (max) or text
    QTest::addColumn<int>("wideType");
    QTest::addColumn<int>("narrowSize");
    QTest::addColumn<int>("wideSize");
    // The driver reports (n)varchar(max) as (n)varchar of size 0, as it does for SQL Server.
    QTest::newRow("7.4: PLP") << "7.4" << int(SQL_VARCHAR) << int(SQL_WVARCHAR) << 0 << 0;
    QTest::newRow("7.1: text and ntext")
        << "7.1" << int(SQL_LONGVARCHAR) << int(SQL_WLONGVARCHAR) << 2147483647 << 1073741823;
}

void ProtocolDevServerTest::maxTypesTravelWhole() {
    QFETCH(QString, tdsVersion);
    QFETCH(int, narrowType);
    QFETCH(int, wideType);
    QFETCH(int, narrowSize);
    QFETCH(int, wideSize);
    DevServerProcess server;
    QVERIFY(server.start());
    OdbcConnection client;
    QVERIFY2(client.connect(
                 freeTdsConnectionString(server.port(), QStringLiteral("sa"), {}, {}, tdsVersion)),
             qPrintable(client.diagnosticText()));
    QVERIFY(client.execute(QStringLiteral("create database big")));
    QVERIFY(client.execute(QStringLiteral("create table big.dbo.memo (v varchar(max), "
                                          "nv nvarchar(max))")));
    const QString longText = QStringLiteral("中文abcdef").repeated(2000);
    QVERIFY2(client.execute(
                 QStringLiteral("insert into big.dbo.memo values ('%1', N'%1')").arg(longText)),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("select v, nv from big.dbo.memo")),
             qPrintable(client.diagnosticText()));
    QCOMPARE(int(client.columns()[0].type), narrowType);
    QCOMPARE(int(client.columns()[1].type), wideType);
    QCOMPARE(int(client.columns()[0].size), narrowSize);
    QCOMPARE(int(client.columns()[1].size), wideSize);
    QCOMPARE(client.rows()[0].value(0).toString(), longText);
    QCOMPARE(client.rows()[0].value(1).toString(), longText);
    // SET TEXTSIZE counts bytes: 10 of varchar are 2 Chinese and 6 Latin characters.
    QVERIFY(client.execute(QStringLiteral("set textsize 10")));
    QVERIFY2(client.execute(QStringLiteral("select v, nv from big.dbo.memo")),
             qPrintable(client.diagnosticText()));
    QCOMPARE(client.rows()[0].value(0).toString(), longText.left(8));
    QCOMPARE(client.rows()[0].value(1).toString(), longText.left(5));
}

void ProtocolDevServerTest::typedParametersComeBack_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("odbcType");
    QTest::addColumn<QString>("text");
    QTest::newRow("uniqueidentifier")
        << 0 << int(SQL_GUID) << "6F9619FF-8B86-D011-B42D-00C04FC964FF";
    QTest::newRow("varchar") << 1 << int(SQL_VARCHAR) << "中文abc";
    QTest::newRow("datetime2") << 2 << int(SQL_TYPE_TIMESTAMP) << "2026-12-08 12:34:56.7890000";
}

void ProtocolDevServerTest::typedParametersComeBack() {
    QFETCH(int, kind);
    QFETCH(int, odbcType);
    QFETCH(QString, text);
    DevServerProcess server;
    QVERIFY(server.start());
    OdbcConnection client;
    QVERIFY2(connectTo(client, server), qPrintable(client.diagnosticText()));
    std::vector<OdbcParameter> parameters;
    if (kind == 0) {
        const SQLGUID guid{
            0x6F9619FF, 0x8B86, 0xD011, {0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF}};
        parameters.push_back(OdbcParameter::guid(guid));
    } else if (kind == 1) {
        parameters.push_back(OdbcParameter::narrowText(QStringLiteral("中文abc")));
    } else {
        parameters.push_back(OdbcParameter::timestamp(2026, 12, 8, 12, 34, 56, 789));
    }
    QVERIFY2(client.execute(QStringLiteral("select ? as v"), std::move(parameters)),
             qPrintable(client.diagnosticText()));
    QCOMPARE(int(client.columns()[0].type), odbcType);
    QCOMPARE(client.rows()[0].value(0).toString(), text);
}

void ProtocolDevServerTest::decimalParametersKeepTheirValue_data() {
    QTest::addColumn<QString>("column");  // the type of the column it is stored in
    QTest::addColumn<QString>("decimal"); // the parameter, as decimal(precision, scale)
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("stored"); // as read back; "#N": refused with error N
    QTest::newRow("15 digits into money") << "money"
                                          << "123456789012345" << 15 << 0 << "123456789012345.0000";
    QTest::newRow("16 digits into float") << "float"
                                          << "1234567890123456" << 16 << 0 << "1234567890123456";
    QTest::newRow("money-like into money") << "money"
                                           << "12.3456" << 19 << 4 << "12.3456";
    QTest::newRow("38 digits into bigint") << "bigint"
                                           << "12345678901234567890" << 38 << 0 << "#8115";
    QTest::newRow("beyond money") << "money"
                                  << "922337203685478" << 15 << 0 << "#8115";
}

// A decimal parameter arrives exact and converts like a numeric value (it once went through
// bigint or float on the way).
void ProtocolDevServerTest::decimalParametersKeepTheirValue() {
    QFETCH(QString, column);
    QFETCH(QString, decimal);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(QString, stored);
    DevServerProcess server;
    QVERIFY(server.start());
    OdbcConnection client;
    QVERIFY2(connectTo(client, server), qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("create table amounts (v %1)").arg(column)),
             qPrintable(client.diagnosticText()));
    std::vector<OdbcParameter> parameters;
    parameters.push_back(OdbcParameter::decimal(decimal, precision, scale));
    const bool inserted =
        client.execute(QStringLiteral("insert into amounts values (?)"), std::move(parameters));
    if (stored.startsWith(u'#')) {
        QVERIFY2(!inserted, "the value was stored");
        QVERIFY2(client.hasNative(stored.mid(1).toInt()), qPrintable(client.diagnosticText()));
        return;
    }
    QVERIFY2(inserted, qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("select v from amounts")),
             qPrintable(client.diagnosticText()));
    QCOMPARE(client.rows()[0].value(0).toString(), stored);
}

void ProtocolDevServerTest::notNullColumnsReadBack_data() {
    QTest::addColumn<QString>("tdsVersion");
    QTest::newRow("7.4") << "7.4";
    QTest::newRow("7.1") << "7.1";
}

// NOT NULL columns travel in the fixed-length types and datetime2(0) with its scale; the
// driver reads them back as it reads SQL Server's.
void ProtocolDevServerTest::notNullColumnsReadBack() {
    QFETCH(QString, tdsVersion);
    DevServerProcess server;
    QVERIFY(server.start());
    OdbcConnection client;
    QVERIFY2(client.connect(
                 freeTdsConnectionString(server.port(), QStringLiteral("sa"), {}, {}, tdsVersion)),
             qPrintable(client.diagnosticText()));
    QVERIFY(client.execute(QStringLiteral("create database fixed")));
    QVERIFY2(client.execute(QStringLiteral(
                 "create table fixed.dbo.f (a int not null, b bigint not null, c bit not null, "
                 "d float not null, e datetime not null, g money not null, h smallint not null,"
                 " i tinyint not null, j datetime2(0) not null, k int null)")),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral(
                 "insert into fixed.dbo.f values (-7, 9000000000, 1, 0.5, '2024-01-02 03:04:05',"
                 " 12.5, -2, 250, '2024-01-02 03:04:05.678', null)")),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("select * from fixed.dbo.f")),
             qPrintable(client.diagnosticText()));
    QCOMPARE(client.rows().size(), size_t(1));
    const QVariantList& row = client.rows()[0];
    QCOMPARE(row.value(0).toString(), QStringLiteral("-7"));
    QCOMPARE(row.value(1).toString(), QStringLiteral("9000000000"));
    QCOMPARE(row.value(2).toString(), QStringLiteral("1"));
    QCOMPARE(row.value(3).toString(), QStringLiteral("0.5"));
    QVERIFY2(row.value(4).toString().startsWith(QStringLiteral("2024-01-02 03:04:05")),
             qPrintable(row.value(4).toString()));
    QCOMPARE(row.value(5).toString(), QStringLiteral("12.5000"));
    QCOMPARE(row.value(6).toString(), QStringLiteral("-2"));
    QCOMPARE(row.value(7).toString(), QStringLiteral("250"));
    // Rounded to the second; a TDS 7.1 client gets datetime instead.
    QVERIFY2(row.value(8).toString().startsWith(QStringLiteral("2024-01-02 03:04:06")),
             qPrintable(row.value(8).toString()));
    QVERIFY(row.value(9).isNull());
    QVERIFY(!client.columns()[0].nullable);
    QVERIFY(client.columns()[9].nullable);
    if (tdsVersion == QLatin1String("7.4"))
        QCOMPARE(int(client.columns()[8].digits), 0);
}

QTEST_GUILESS_MAIN(ProtocolDevServerTest)
#include "tst_protocol_devserver.moc"
