// zt-devserver against clients that misbehave or are many, and the options that make it
// another SQL Server: connection limit, login deadline, pre-login caps, a log no client can
// forge, the IGNORE and RESETCONNECTION bits, TDS versions, transactions through FreeTDS.

#include "tests/devserver/protocol_odbc_client.h"
#include "tests/devserver/protocol_raw_client.h"
#include "tests/support/devserver_process.h"

#include <QElapsedTimer>
#include <QtTest/QtTest>

using zt::test::DevServerProcess;
using zt::test::freeTdsConnectionString;
using zt::test::OdbcConnection;
using zt::test::RawTdsClient;

class ProtocolLimitsTest : public QObject {
    Q_OBJECT

private slots:
    void connectionsBeyondTheLimitAreRefused();
    void clientThatNeverLogsInIsDisconnected();
    void oversizedPreLoginIsRefused();
    void logLinesCannotBeForged();
    void requestsAreCountedWhenTheConnectionCloses();
    void ignoredMessageIsAnswered();
    void resetConnectionRestoresTheLoginState();
    void tdsVersions_data();
    void tdsVersions();
    void delayedAnswers();
};

namespace {

bool contains(const std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> sequence) {
    return std::search(bytes.begin(), bytes.end(), sequence.begin(), sequence.end()) != bytes.end();
}

std::vector<uint8_t> batch(const QString& sql) {
    std::vector<uint8_t> payload{22, 0, 0, 0, 18, 0, 0, 0, 2, 0, 0,
                                 0,  0, 0, 0, 0,  0, 0, 1, 0, 0, 0};
    for (const QChar c : sql) {
        payload.push_back(uint8_t(c.unicode() & 0xFF));
        payload.push_back(uint8_t(c.unicode() >> 8));
    }
    return payload;
}

// A message of one packet with the given status bits.
std::vector<uint8_t> packet(uint8_t type, uint8_t status, const std::vector<uint8_t>& payload) {
    const size_t length = payload.size() + 8;
    std::vector<uint8_t> bytes{type, status, uint8_t(length >> 8), uint8_t(length & 0xFF), 0, 0,
                               1,    0};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

// The UTF-16 text of an answer, enough to look for a value in it.
QString textOf(const std::vector<uint8_t>& bytes) {
    QString text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.append(QChar(char16_t(bytes[i] | (bytes[i + 1] << 8))));
    QString odd;
    for (size_t i = 1; i + 1 < bytes.size(); i += 2)
        odd.append(QChar(char16_t(bytes[i] | (bytes[i + 1] << 8))));
    return text + u'|' + odd;
}

} // namespace

void ProtocolLimitsTest::connectionsBeyondTheLimitAreRefused() {
    DevServerProcess server({QStringLiteral("--max-connections"), QStringLiteral("2")});
    QVERIFY(server.start());
    OdbcConnection first, second, third;
    const QString connection = freeTdsConnectionString(server.port());
    QVERIFY2(first.connect(connection), qPrintable(first.diagnosticText()));
    QVERIFY2(second.connect(connection), qPrintable(second.diagnosticText()));
    QVERIFY(!third.connect(connection));
    QVERIFY2(third.hasNative(17809), qPrintable(third.diagnosticText()));
    first.disconnect();
    // The slot frees once the server has seen the first client go.
    const auto another = [&connection] {
        OdbcConnection client;
        return client.connect(connection) && client.execute(QStringLiteral("select 1"));
    };
    // Evaluated once per attempt: each attempt's own client takes the slot until the server
    // sees it go, so the answer must not be asked for a second time.
    bool served = false;
    for (int attempt = 0; attempt < 100 && !served; ++attempt) {
        served = another();
        if (!served)
            QTest::qWait(100);
    }
    QVERIFY(served);
}

void ProtocolLimitsTest::clientThatNeverLogsInIsDisconnected() {
    DevServerProcess server({QStringLiteral("--login-timeout"), QStringLiteral("1")});
    QVERIFY(server.start());
    RawTdsClient silent;
    QVERIFY(silent.connect(server.port()));
    QVERIFY(silent.sendMessage(18, RawTdsClient::preLogin()));
    QVERIFY(silent.readMessage());
    QVERIFY(silent.closedByServer()); // no LOGIN7 within the second
    RawTdsClient prompt;
    QVERIFY(prompt.logIn(server.port()));
}

void ProtocolLimitsTest::oversizedPreLoginIsRefused() {
    DevServerProcess server;
    QVERIFY(server.start());
    RawTdsClient client;
    QVERIFY(client.connect(server.port()));
    // PRELOGIN packets that never end the message: refused after a few KiB, not buffered.
    const std::vector<uint8_t> part = packet(18, 0, std::vector<uint8_t>(4000, 0));
    bool closed = false;
    for (int i = 0; i < 8 && !closed; ++i)
        closed = !client.sendBytes(part);
    QVERIFY(client.closedByServer());
    QVERIFY(server.standardError().contains(QStringLiteral("message exceeds 8192 bytes")));
}

void ProtocolLimitsTest::logLinesCannotBeForged() {
    DevServerProcess server;
    QVERIFY(server.start());
    RawTdsClient client;
    QVERIFY(client.connect(server.port()));
    QVERIFY(client.sendMessage(18, RawTdsClient::preLogin()));
    QVERIFY(client.readMessage());
    QVERIFY(client.sendMessage(16, RawTdsClient::login7(QStringLiteral("x\nzt-devserver: forged"),
                                                        QStringLiteral("?"), {})));
    QVERIFY(client.readMessage());
    QTRY_VERIFY(server.standardError().contains(QStringLiteral("x\\x0azt-devserver: forged")));
    for (const QString& line : server.standardError().split(u'\n'))
        QVERIFY2(!line.startsWith(QStringLiteral("zt-devserver: forged")), qPrintable(line));
}

void ProtocolLimitsTest::requestsAreCountedWhenTheConnectionCloses() {
    DevServerProcess server;
    QVERIFY(server.start());
    {
        RawTdsClient client;
        QVERIFY(client.logIn(server.port()));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(client.sendMessage(1, batch(QStringLiteral("select 1"))));
            QVERIFY(client.readMessage());
        }
    }
    QTRY_VERIFY(server.standardError().contains(QStringLiteral("closed after 3 requests")));
}

void ProtocolLimitsTest::ignoredMessageIsAnswered() {
    DevServerProcess server;
    QVERIFY(server.start());
    RawTdsClient client;
    QVERIFY(client.logIn(server.port()));
    // A request the client abandoned halfway: its last packet carries IGNORE with EOM.
    QVERIFY(client.sendBytes(packet(1, 0x00, batch(QStringLiteral("create database ")))));
    QVERIFY(client.sendBytes(packet(1, 0x03, {'x', 0})));
    const auto answer = client.readMessage();
    QVERIFY(answer);
    QCOMPARE(answer->front(), uint8_t(0xFD)); // DONE, and nothing was run
    QVERIFY(client.sendMessage(1, batch(QStringLiteral("use x"))));
    const auto next = client.readMessage();
    QVERIFY(next && contains(*next, {0xAA})); // 911: the withdrawn request made no database
}

void ProtocolLimitsTest::resetConnectionRestoresTheLoginState() {
    DevServerProcess server;
    QVERIFY(server.start());
    RawTdsClient client;
    QVERIFY(client.logIn(server.port()));
    QVERIFY(client.sendMessage(1, batch(QStringLiteral("create database elsewhere\nuse elsewhere\n"
                                                       "begin tran\ncreate table kept (a int)"))));
    QVERIFY(client.readMessage());
    QVERIFY(client.sendBytes(packet(1, 0x09,
                                    batch(QStringLiteral("select db_name(), "
                                                         "@@trancount")))));
    const auto answer = client.readMessage();
    QVERIFY(answer);
    QVERIFY(contains(*answer, {0xE3, 0x03, 0x00, 18, 0, 0})); // ENVCHANGE: reset acknowledged
    QVERIFY(textOf(*answer).contains(QStringLiteral("master")));
    QVERIFY(client.sendMessage(1, batch(QStringLiteral("select * from elsewhere.dbo.kept"))));
    const auto after = client.readMessage();
    QVERIFY(after && contains(*after, {0xAA})); // the table went with the rolled-back transaction
}

void ProtocolLimitsTest::tdsVersions_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("product");
    QTest::newRow("7.1") << "7.1"
                         << "SQL Server 2000";
    QTest::newRow("7.2") << "7.2"
                         << "SQL Server 2005";
    QTest::newRow("7.3") << "7.3"
                         << "SQL Server 2008 R2";
    QTest::newRow("7.4") << "7.4"
                         << "SQL Server 2019";
}

void ProtocolLimitsTest::tdsVersions() {
    QFETCH(QString, level);
    QFETCH(QString, product);
    DevServerProcess server({QStringLiteral("--tds-version"), level});
    QVERIFY(server.start());
    OdbcConnection client;
    // The driver asks for its newest version; the server answers at its own level.
    QVERIFY2(client.connect(freeTdsConnectionString(server.port(), QStringLiteral("sa"), {}, {},
                                                    QStringLiteral("auto"))),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("select @@version")),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.rows().at(0).at(0).toString().contains(product),
             qPrintable(client.rows().at(0).at(0).toString()));
    QVERIFY(client.execute(QStringLiteral("create database v\nuse v\ncreate table t (id int "
                                          "primary key, n nvarchar(10))")));
    // With autocommit off the driver opens transactions its own way at each level.
    QVERIFY2(client.setAutocommit(false), qPrintable(client.diagnosticText()));
    QVERIFY(client.execute(QStringLiteral("insert t values (1, N'甲')")));
    QVERIFY2(client.endTransaction(false), qPrintable(client.diagnosticText()));
    QVERIFY(client.execute(QStringLiteral("insert t values (2, N'乙')")));
    QVERIFY(client.execute(QStringLiteral("insert t values (2, N'dup')")) == false);
    QVERIFY2(client.endTransaction(true), qPrintable(client.diagnosticText()));
    QVERIFY(client.setAutocommit(true));
    QVERIFY(client.execute(QStringLiteral("select id, n, @@trancount from t")));
    QCOMPARE(client.rows().size(), size_t(1));
    QCOMPARE(client.rows()[0][0].toString(), QStringLiteral("2"));
    QCOMPARE(client.rows()[0][1].toString(), QStringLiteral("乙"));
    QCOMPARE(client.rows()[0][2].toString(), QStringLiteral("0"));
}

void ProtocolLimitsTest::delayedAnswers() {
    DevServerProcess server({QStringLiteral("--delay-ms"), QStringLiteral("300")});
    QVERIFY(server.start());
    RawTdsClient client;
    QVERIFY(client.logIn(server.port()));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.sendMessage(1, batch(QStringLiteral("select 1"))));
    QVERIFY(client.readMessage());
    QVERIFY(timer.elapsed() >= 300);
}

QTEST_GUILESS_MAIN(ProtocolLimitsTest)
#include "tst_protocol_limits.moc"
