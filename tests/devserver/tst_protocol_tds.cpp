// The TDS layer against real clients (the FreeTDS ODBC driver, tsql, hand-made packets), with
// scripted sessions behind it instead of the SQL engine.

#include "devserver/sql/numeric.h"
#include "tests/devserver/protocol_fake_session.h"
#include "tests/devserver/protocol_odbc_client.h"
#include "tests/devserver/protocol_raw_client.h"

#include <QProcess>
#include <QtTest/QtTest>

#include <atomic>
#include <set>

using zt::test::freeTdsConnectionString;
using zt::test::InProcessServer;
using zt::test::OdbcConnection;
using zt::test::OdbcParameter;
using zt::test::RawTdsClient;

Q_DECLARE_METATYPE(std::vector<uint8_t>)

class ProtocolTdsTest : public QObject {
    Q_OBJECT

private slots:
    void resultMetadataDescribesDeclaredTypes();
    void resultValuesReadBack();
    void loginRefusals_data();
    void loginRefusals();
    void parametersArriveTyped_data();
    void parametersArriveTyped();
    void parameterNamesComeFromDeclarations();
    void preparedStatementsRunAgain();
    void largeResultSpansPackets();
    void errorsReachTheClient();
    void useChangesTheCurrentCatalog();
    void brokenPacketsEndOnlyThatConnection_data();
    void brokenPacketsEndOnlyThatConnection();
    void attentionIsAcknowledged();
    void unknownProcedureIsRefused();
    void unknownParameterTypeIsRefused();
    void concurrentClientsAreAllServed();
    void tsqlRunsBatches_data();
    void tsqlRunsBatches();
};

void ProtocolTdsTest::resultMetadataDescribesDeclaredTypes() {
    InProcessServer server;
    OdbcConnection client;
    QVERIFY2(client.connect(freeTdsConnectionString(server.port())),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("select types")), qPrintable(client.diagnosticText()));

    const auto& columns = client.columns();
    QCOMPARE(columns.size(), size_t(9));
    QCOMPARE(columns[0].name, QStringLiteral("名称"));
    QCOMPARE(columns[0].type, SQLSMALLINT(SQL_WVARCHAR));
    QCOMPARE(columns[0].size, SQLULEN(12));
    QVERIFY(columns[0].nullable);
    QCOMPARE(columns[1].type, SQLSMALLINT(SQL_WLONGVARCHAR));
    QCOMPARE(columns[2].type, SQLSMALLINT(SQL_INTEGER));
    QVERIFY(!columns[2].nullable);
    QCOMPARE(columns[3].type, SQLSMALLINT(SQL_BIGINT));
    // money: what SQL Server's money looks like through ODBC, decimal(19,4).
    QCOMPARE(columns[4].type, SQLSMALLINT(SQL_DECIMAL));
    QCOMPARE(columns[4].size, SQLULEN(19));
    QCOMPARE(columns[4].digits, SQLSMALLINT(4));
    QCOMPARE(columns[5].type, SQLSMALLINT(SQL_TYPE_TIMESTAMP));
    QCOMPARE(columns[5].size, SQLULEN(16)); // smalldatetime: to the minute
    QCOMPARE(columns[6].type, SQLSMALLINT(SQL_TYPE_TIMESTAMP));
    QCOMPARE(columns[6].size, SQLULEN(23));             // datetime: to the millisecond
    QCOMPARE(columns[7].type, SQLSMALLINT(SQL_DOUBLE)); // how FreeTDS shows float(53)
    QCOMPARE(columns[8].type, SQLSMALLINT(SQL_BIT));
}

void ProtocolTdsTest::resultValuesReadBack() {
    InProcessServer server;
    OdbcConnection client;
    QVERIFY2(client.connect(freeTdsConnectionString(server.port())),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("select types")), qPrintable(client.diagnosticText()));
    QCOMPARE(client.rows().size(), size_t(2));
    const QVariantList expected{QStringLiteral("帐套abc"),
                                QStringLiteral("备注 memo"),
                                QStringLiteral("7"),
                                QStringLiteral("9000000000"),
                                QStringLiteral("-12345.6789"),
                                QStringLiteral("2026-12-08 13:45:00"),
                                QStringLiteral("2026-12-08 12:34:56.790"),
                                QStringLiteral("0.25"),
                                QStringLiteral("1")};
    QCOMPARE(client.rows()[0], expected);
    const QVariantList nulls{QVariant(), QVariant(), QStringLiteral("8"), QVariant(), QVariant(),
                             QVariant(), QVariant(), QVariant(),          QVariant()};
    QCOMPARE(client.rows()[1], nulls);
}

void ProtocolTdsTest::loginRefusals_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("wrong password") << "sa"
                                    << "secret"
                                    << "" << 18456 << "Login failed for user 'sa'.";
    QTest::newRow("unknown login") << "张三"
                                   << ""
                                   << "" << 18456 << "Login failed for user '张三'.";
    QTest::newRow("missing catalog")
        << "sa"
        << ""
        << "nodb" << 4060
        << "Cannot open database \"nodb\" requested by the login. The login failed.";
}

void ProtocolTdsTest::loginRefusals() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, database);
    QFETCH(int, error);
    QFETCH(QString, text);
    InProcessServer server;
    OdbcConnection client;
    QVERIFY(!client.connect(freeTdsConnectionString(server.port(), user, password, database)));
    QVERIFY2(client.hasNative(error), qPrintable(client.diagnosticText()));
    QVERIFY2(client.diagnosticText().contains(text), qPrintable(client.diagnosticText()));
}

void ProtocolTdsTest::parametersArriveTyped_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("sqlType");
    QTest::addColumn<QString>("expectedValue"); // as the engine sees it
    QTest::addColumn<QString>("echoed");        // as the client reads the echo back
    QTest::newRow("nvarchar") << 0 << int(ztds::SqlType::NVarChar) << "text:帐套 O'Brien"
                              << "帐套 O'Brien";
    QTest::newRow("int") << 1 << int(ztds::SqlType::Int) << "int:-42"
                         << "-42";
    QTest::newRow("bigint") << 2 << int(ztds::SqlType::BigInt) << "int:9000000000"
                            << "9000000000";
    QTest::newRow("float") << 3 << int(ztds::SqlType::Float) << "real:2.5"
                           << "2.5";
    QTest::newRow("bit") << 4 << int(ztds::SqlType::Bit) << "int:1"
                         << "1";
    QTest::newRow("decimal(19,4)") << 5 << int(ztds::SqlType::Numeric) << "numeric:12.3456"
                                   << "12.3456";
    QTest::newRow("datetime2") << 6 << int(ztds::SqlType::DateTime2) << "datetime:46362/45296789"
                               << "2026-12-08 12:34:56.7890000";
    QTest::newRow("null") << 7 << int(ztds::SqlType::NVarChar) << "null"
                          << "";
    QTest::newRow("decimal beyond bigint")
        << 10 << int(ztds::SqlType::Numeric) << "numeric:12345678901234567890"
        << "12345678901234567890";
    QTest::newRow("decimal of 16 digits")
        << 11 << int(ztds::SqlType::Numeric) << "numeric:1234567890123456"
        << "1234567890123456";
    QTest::newRow("uniqueidentifier")
        << 12 << int(ztds::SqlType::UniqueIdentifier) << "text:6F9619FF-8B86-D011-B42D-00C04FC964FF"
        << "6F9619FF-8B86-D011-B42D-00C04FC964FF";
    const QString longText = QString(5000, QChar(u'长'));
    QTest::newRow("nvarchar beyond 4000")
        << 8 << int(ztds::SqlType::NVarChar) << "text:" + longText << longText;
    QTest::newRow("varchar in the server's code page")
        << 9 << int(ztds::SqlType::VarChar) << "text:中文abc"
        << "中文abc";
}

namespace {

OdbcParameter parameterOfKind(int kind) {
    switch (kind) {
    case 0:
        return OdbcParameter::text(QStringLiteral("帐套 O'Brien"));
    case 1:
        return OdbcParameter::integer(-42);
    case 2:
        return OdbcParameter::bigInteger(9000000000LL);
    case 3:
        return OdbcParameter::real(2.5);
    case 4:
        return OdbcParameter::bit(true);
    case 5:
        return OdbcParameter::decimal(QStringLiteral("12.3456"), 19, 4);
    case 6:
        return OdbcParameter::timestamp(2026, 12, 8, 12, 34, 56, 789);
    case 8: {
        auto parameter = OdbcParameter::text(QString(5000, QChar(u'长')));
        parameter.sqlType = SQL_WLONGVARCHAR; // as nvarchar it would be cut to 4000 by the driver
        return parameter;
    }
    case 9:
        return OdbcParameter::narrowText(QStringLiteral("中文abc"));
    case 10:
        return OdbcParameter::decimal(QStringLiteral("12345678901234567890"), 38, 0);
    case 11:
        return OdbcParameter::decimal(QStringLiteral("1234567890123456"), 16, 0);
    case 12: {
        const SQLGUID guid{
            0x6F9619FF, 0x8B86, 0xD011, {0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF}};
        return OdbcParameter::guid(guid);
    }
    default:
        return OdbcParameter::null(SQL_WVARCHAR);
    }
}

QString describe(const ztds::Value& value) {
    if (ztds::isNull(value))
        return QStringLiteral("null");
    if (const auto* text = std::get_if<QString>(&value))
        return QStringLiteral("text:") + *text;
    if (const auto* integer = std::get_if<int64_t>(&value))
        return QStringLiteral("int:%1").arg(*integer);
    if (const auto* real = std::get_if<double>(&value))
        return QStringLiteral("real:%1").arg(*real);
    if (const auto* money = std::get_if<ztds::MoneyValue>(&value))
        return QStringLiteral("money:%1").arg(money->tenThousandths);
    if (const auto* numeric = std::get_if<ztds::NumericValue>(&value))
        return QStringLiteral("numeric:") + ztds::sql::numericText(*numeric);
    const auto& dateTime = std::get<ztds::DateTimeValue>(value);
    return QStringLiteral("datetime:%1/%2").arg(dateTime.days).arg(dateTime.msSinceMidnight);
}

} // namespace

void ProtocolTdsTest::parametersArriveTyped() {
    QFETCH(int, kind);
    QFETCH(int, sqlType);
    QFETCH(QString, expectedValue);
    QFETCH(QString, echoed);
    InProcessServer server;
    OdbcConnection client;
    QVERIFY2(client.connect(freeTdsConnectionString(server.port())),
             qPrintable(client.diagnosticText()));
    std::vector<OdbcParameter> parameters;
    parameters.push_back(parameterOfKind(kind));
    QVERIFY2(client.execute(QStringLiteral("select ? as v"), std::move(parameters)),
             qPrintable(client.diagnosticText()));

    std::lock_guard lock(server.log.mutex);
    QCOMPARE(server.log.statements.size(), 1);
    QVERIFY2(server.log.statements[0].contains(QStringLiteral("@P1")),
             qPrintable(server.log.statements[0]));
    QCOMPARE(server.log.parameters[0].size(), size_t(1));
    const auto& parameter = server.log.parameters[0][0];
    QCOMPARE(parameter.name, QStringLiteral("@P1"));
    if (kind != 7)
        QCOMPARE(int(parameter.type), sqlType);
    QString seen = describe(parameter.value);
    // The driver may round datetime to SQL Server's 1/300 s before sending.
    seen.replace(QStringLiteral("45296790"), QStringLiteral("45296789"));
    QVERIFY2(seen == expectedValue,
             qPrintable(QStringLiteral("%1 characters: %2").arg(seen.size()).arg(seen.left(80))));
    QCOMPARE(client.rows().size(), size_t(1));
    QCOMPARE(client.rows()[0].value(0).toString(), echoed);
}

void ProtocolTdsTest::parameterNamesComeFromDeclarations() {
    InProcessServer server;
    OdbcConnection client;
    QVERIFY2(client.connect(freeTdsConnectionString(server.port())),
             qPrintable(client.diagnosticText()));
    std::vector<OdbcParameter> parameters;
    parameters.push_back(OdbcParameter::integer(1));
    parameters.push_back(OdbcParameter::text(QStringLiteral("二")));
    parameters.push_back(OdbcParameter::null(SQL_INTEGER));
    QVERIFY2(
        client.execute(QStringLiteral("insert into t values (?, ?, ?)"), std::move(parameters)),
        qPrintable(client.diagnosticText()));
    std::lock_guard lock(server.log.mutex);
    QCOMPARE(server.log.parameters.size(), size_t(1));
    const auto& received = server.log.parameters[0];
    QCOMPARE(received.size(), size_t(3));
    QCOMPARE(received[0].name, QStringLiteral("@P1"));
    QCOMPARE(received[1].name, QStringLiteral("@P2"));
    QCOMPARE(received[2].name, QStringLiteral("@P3"));
    QVERIFY(ztds::isNull(received[2].value));
}

void ProtocolTdsTest::preparedStatementsRunAgain() {
    // The driver prepares with sp_prepexec and runs again with sp_execute on the handle.
    InProcessServer server;
    OdbcConnection client;
    QVERIFY2(client.connect(freeTdsConnectionString(server.port())),
             qPrintable(client.diagnosticText()));
    std::vector<std::vector<OdbcParameter>> runs(3);
    for (int i = 0; i < 3; ++i) {
        runs[size_t(i)].push_back(OdbcParameter::integer(10 + i));
        runs[size_t(i)].push_back(OdbcParameter::text(QStringLiteral("第%1").arg(i)));
    }
    QVERIFY2(client.executePrepared(QStringLiteral("insert into t (a, b) values (?, ?)"),
                                    std::move(runs)),
             qPrintable(client.diagnosticText()));
    std::lock_guard lock(server.log.mutex);
    QCOMPARE(server.log.statements,
             QStringList(3, QStringLiteral("insert into t (a, b) values (@P1, @P2)")));
    for (int i = 0; i < 3; ++i) {
        const auto& parameters = server.log.parameters[size_t(i)];
        QCOMPARE(parameters.size(), size_t(2));
        QCOMPARE(parameters[0].name, QStringLiteral("@P1"));
        QCOMPARE(std::get<int64_t>(parameters[0].value), int64_t(10 + i));
        QCOMPARE(std::get<QString>(parameters[1].value), QStringLiteral("第%1").arg(i));
    }
}

void ProtocolTdsTest::largeResultSpansPackets() {
    InProcessServer server;
    OdbcConnection client;
    QVERIFY2(client.connect(freeTdsConnectionString(server.port())),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("rows 5000")), qPrintable(client.diagnosticText()));
    QCOMPARE(client.rows().size(), size_t(5000));
    for (int i : {0, 1, 2047, 4999}) {
        QCOMPARE(client.rows()[size_t(i)].value(0).toString(), QString::number(i));
        QCOMPARE(client.rows()[size_t(i)].value(1).toString(), QStringLiteral("row %1 行").arg(i));
    }
}

void ProtocolTdsTest::errorsReachTheClient() {
    InProcessServer server;
    OdbcConnection client;
    QVERIFY2(client.connect(freeTdsConnectionString(server.port())),
             qPrintable(client.diagnosticText()));
    QVERIFY(!client.execute(QStringLiteral("fail")));
    QVERIFY2(client.hasNative(208), qPrintable(client.diagnosticText()));
    QVERIFY(client.diagnosticText().contains(QStringLiteral("Invalid object name 'nothing'.")));
    // The same error through sp_executesql.
    std::vector<OdbcParameter> parameters;
    parameters.push_back(OdbcParameter::integer(1));
    QVERIFY(!client.execute(QStringLiteral("fail"), std::move(parameters)));
    QVERIFY2(client.hasNative(208), qPrintable(client.diagnosticText()));
    // The connection is still usable.
    QVERIFY2(client.execute(QStringLiteral("rows 1")), qPrintable(client.diagnosticText()));
    QCOMPARE(client.rows().size(), size_t(1));
}

void ProtocolTdsTest::useChangesTheCurrentCatalog() {
    InProcessServer server;
    OdbcConnection client;
    QVERIFY2(client.connect(freeTdsConnectionString(server.port())),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("use 帐套001")), qPrintable(client.diagnosticText()));
    QVERIFY2(client.currentCatalog() == QStringLiteral("帐套001"),
             qPrintable(client.currentCatalog()));
}

void ProtocolTdsTest::brokenPacketsEndOnlyThatConnection_data() {
    QTest::addColumn<bool>("afterLogin");
    QTest::addColumn<std::vector<uint8_t>>("bytes");
    const QByteArray garbage("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    QTest::newRow("not TDS") << false << std::vector<uint8_t>(garbage.begin(), garbage.end());
    QTest::newRow("oversized length")
        << false << std::vector<uint8_t>{0x12, 0x01, 0xFF, 0xFF, 0, 0, 1, 0, 0, 0, 0, 0};
    QTest::newRow("length below header")
        << false << std::vector<uint8_t>{0x12, 0x01, 0x00, 0x04, 0, 0, 1, 0};
    QTest::newRow("batch before login")
        << false << std::vector<uint8_t>{0x01, 0x01, 0x00, 0x0C, 0, 0, 1, 0, 0x41, 0, 0x42, 0};
    QTest::newRow("prelogin option outside message")
        << false << std::vector<uint8_t>{0x12, 0x01, 0x00, 0x0E, 0,    0,    1,
                                         0,    0x00, 0x00, 0x40, 0x00, 0x06, 0xFF};
    QTest::newRow("login7 shorter than its fields")
        << false
        << std::vector<uint8_t>{0x10, 0x01, 0x00, 0x10, 0, 0, 1, 0, 0x08, 0, 0, 0, 4, 0, 0, 0x74};
    QTest::newRow("batch with broken headers")
        << true
        << std::vector<uint8_t>{0x01, 0x01, 0x00, 0x0E, 0, 0, 1, 0, 0xFF, 0xFF, 0, 0, 0x41, 0};
    QTest::newRow("rpc name cut short")
        << true << std::vector<uint8_t>{0x03, 0x01, 0x00, 0x12, 0, 0,    1, 0,    0x04,
                                        0,    0,    0,    0x0A, 0, 0x41, 0, 0x42, 0};
    QTest::newRow("second login") << true << std::vector<uint8_t>{0x10, 0x01, 0x00, 0x0C, 0, 0,
                                                                  1,    0,    0,    0,    0, 0};
}

void ProtocolTdsTest::brokenPacketsEndOnlyThatConnection() {
    QFETCH(bool, afterLogin);
    QFETCH(std::vector<uint8_t>, bytes);
    InProcessServer server;
    OdbcConnection bystander;
    QVERIFY2(bystander.connect(freeTdsConnectionString(server.port())),
             qPrintable(bystander.diagnosticText()));

    RawTdsClient attacker;
    if (afterLogin)
        QVERIFY(attacker.logIn(server.port()));
    else
        QVERIFY(attacker.connect(server.port()));
    QVERIFY(attacker.sendBytes(bytes));
    QVERIFY(attacker.closedByServer());

    QVERIFY2(bystander.execute(QStringLiteral("rows 2")), qPrintable(bystander.diagnosticText()));
    QCOMPARE(bystander.rows().size(), size_t(2));
    OdbcConnection newcomer;
    QVERIFY2(newcomer.connect(freeTdsConnectionString(server.port())),
             qPrintable(newcomer.diagnosticText()));
}

void ProtocolTdsTest::attentionIsAcknowledged() {
    InProcessServer server;
    RawTdsClient client;
    QVERIFY(client.logIn(server.port()));
    QVERIFY(client.sendMessage(6, {}));
    const auto answer = client.readMessage();
    QVERIFY(answer);
    // DONE with the attention flag and nothing else.
    const std::vector<uint8_t> expected{0xFD, 0x20, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};
    QCOMPARE(*answer, expected);
}

void ProtocolTdsTest::unknownProcedureIsRefused() {
    InProcessServer server;
    RawTdsClient client;
    QVERIFY(client.logIn(server.port()));
    ztds::tds::ByteWriter rpc;
    rpc.u32(22); // ALL_HEADERS: one transaction descriptor header
    rpc.u32(18);
    rpc.u16(2);
    rpc.u64(0);
    rpc.u32(1);
    rpc.usVarChar(QStringLiteral("sp_nothing"));
    rpc.u16(0);
    QVERIFY(client.sendMessage(3, rpc.data()));
    const auto answer = client.readMessage();
    QVERIFY(answer);
    ztds::tds::ByteReader reader(*answer);
    QCOMPARE(reader.u8(), uint8_t(0xAA)); // ERROR
    reader.u16();
    QCOMPARE(reader.i32(), 2812);
    reader.u8();
    QCOMPARE(reader.u8(), uint8_t(16));
    QCOMPARE(reader.usVarChar(), QStringLiteral("Could not find stored procedure 'sp_nothing'."));
}

void ProtocolTdsTest::unknownParameterTypeIsRefused() {
    InProcessServer server;
    RawTdsClient client;
    QVERIFY(client.logIn(server.port()));
    ztds::tds::ByteWriter rpc;
    rpc.u32(4); // ALL_HEADERS without headers
    rpc.u16(0xFFFF);
    rpc.u16(10); // sp_executesql
    rpc.u16(0);
    rpc.bVarChar(QString()); // @stmt as NTEXT
    rpc.u8(0);
    rpc.u8(0x63);
    rpc.u32(0x7FFFFFFF);
    rpc.bytes(std::vector<uint8_t>{0x04, 0x08, 0xD0, 0x00, 0x00});
    rpc.u32(2);
    rpc.utf16(QStringLiteral("x"));
    rpc.bVarChar(QStringLiteral("@v"));
    rpc.u8(0);
    rpc.u8(0x99); // no such type
    rpc.u8(1);
    QVERIFY(client.sendMessage(3, rpc.data()));
    const auto answer = client.readMessage();
    QVERIFY(answer);
    ztds::tds::ByteReader reader(*answer);
    QCOMPARE(reader.u8(), uint8_t(0xAA)); // ERROR
    reader.u16();
    QCOMPARE(reader.i32(), 8009);
    reader.skip(2);
    QVERIFY(reader.usVarChar().endsWith(
        QStringLiteral("Parameter 2 (\"@v\"): Data type 0x99 is unknown.")));
    // The request was read to its end, so the connection goes on.
    ztds::tds::ByteWriter batch;
    batch.u32(4);
    batch.utf16(QStringLiteral("rows 1"));
    QVERIFY(client.sendMessage(1, batch.data()));
    const auto rows = client.readMessage();
    QVERIFY(rows);
    QCOMPARE(rows->front(), uint8_t(0x81)); // COLMETADATA
}

void ProtocolTdsTest::concurrentClientsAreAllServed() {
    InProcessServer server;
    constexpr int clients = 6;
    constexpr int insertsEach = 40;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            OdbcConnection client;
            if (!client.connect(freeTdsConnectionString(server.port()))) {
                ++failures;
                return;
            }
            for (int i = 0; i < insertsEach; ++i) {
                std::vector<OdbcParameter> parameters;
                parameters.push_back(OdbcParameter::integer(c * 1000 + i));
                if (!client.execute(QStringLiteral("insert into t values (?)"),
                                    std::move(parameters)))
                    ++failures;
            }
        });
    for (auto& thread : threads)
        thread.join();
    QCOMPARE(failures.load(), 0);
    std::lock_guard lock(server.log.mutex);
    QCOMPARE(server.log.parameters.size(), size_t(clients * insertsEach));
    std::set<int64_t> seen;
    for (const auto& parameters : server.log.parameters)
        seen.insert(std::get<int64_t>(parameters.at(0).value));
    QCOMPARE(seen.size(), size_t(clients * insertsEach));
}

void ProtocolTdsTest::tsqlRunsBatches_data() {
    QTest::addColumn<QString>("tdsVersion");
    QTest::newRow("auto") << "auto";
    for (const char* version : {"7.0", "7.1", "7.2", "7.3", "7.4"})
        QTest::newRow(version) << version;
}

void ProtocolTdsTest::tsqlRunsBatches() {
    QFETCH(QString, tdsVersion);
    InProcessServer server;
    QProcess tsql;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TDSVER"), tdsVersion);
    tsql.setProcessEnvironment(environment);
    tsql.start(QStringLiteral("tsql"),
               {QStringLiteral("-H"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                QString::number(server.port()), QStringLiteral("-U"), QStringLiteral("sa"),
                QStringLiteral("-P"), QString()});
    QVERIFY2(tsql.waitForStarted(), "tsql (freetds-bin) is not installed");
    tsql.write("select types\ngo\nfail\ngo\nexit\n");
    tsql.closeWriteChannel();
    QVERIFY(tsql.waitForFinished(30000));
    const QString output =
        QString::fromUtf8(tsql.readAllStandardOutput() + tsql.readAllStandardError());
    QVERIFY2(output.contains(QStringLiteral("帐套abc\t备注 memo\t7\t9000000000\t-12345.6789")),
             qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("(2 rows affected)")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("Msg 208 (severity 16, state 1)")), qPrintable(output));
    std::lock_guard lock(server.log.mutex);
    QVERIFY(server.log.batches.contains(QStringLiteral("select types\n")));
}

QTEST_GUILESS_MAIN(ProtocolTdsTest)
#include "tst_protocol_tds.moc"
