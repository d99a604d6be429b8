// TLS in zt-devserver against real clients: FreeTDS's tsql with each freetds.conf encryption
// setting, the FreeTDS ODBC driver with its defaults, and tedious (Node.js), each against
// login-only encryption (the default), --force-encryption, a given certificate and old TLS
// settings; and the PRELOGIN encryption table itself.

#include "devserver/tds/login.h"
#include "tests/devserver/protocol_odbc_client.h"
#include "tests/devserver/protocol_raw_client.h"
#include "tests/support/devserver_process.h"
#include "tests/support/private_freetds_config.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <ctime>
#include <memory>

using zt::test::DevServerProcess;
using zt::test::freeTdsConnectionString;
using zt::test::OdbcConnection;
using zt::test::PrivateFreeTdsConfig;
using zt::test::RawTdsClient;

namespace {

const QString tls10Only = QStringLiteral("NORMAL:-VERS-ALL:+VERS-TLS1.0");
const QString tripleDesOnly = QStringLiteral("NORMAL:-VERS-TLS1.3:-CIPHER-ALL:+3DES-CBC");

struct Run {
    bool finished = false;
    int exitCode = -1;
    QString output; // standard output, then standard error
};

Run runProgram(const QString& program, const QStringList& arguments, const QByteArray& input = {},
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
               int timeoutMs = 60000) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForStarted())
        return run;
    process.write(input);
    process.closeWriteChannel();
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output =
        QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return run;
}

// tsql through a private freetds.conf whose [global] says "encryption = ...".
Run tsqlSelectOne(const DevServerProcess& server, const QString& encryption,
                  const QByteArray& extraSettings = {}) {
    PrivateFreeTdsConfig config;
    if (!config.install(server.port(), QString::fromLatin1(zt::test::freeTdsDriver),
                        "\tencryption = " + encryption.toLatin1() + "\n" + extraSettings))
        return {};
    return runProgram(QStringLiteral("tsql"),
                      {QStringLiteral("-S"), QStringLiteral("ztalias"), QStringLiteral("-U"),
                       QStringLiteral("sa"), QStringLiteral("-P"), QString()},
                      "select 1 as answer\ngo\nexit\n");
}

// What the server logged about the connection's encryption: "login", "connection" or "none".
QString encryptionLogged(const QString& log) {
    if (log.contains(QStringLiteral("login encrypted")))
        return QStringLiteral("login");
    if (log.contains(QStringLiteral("connection encrypted")))
        return QStringLiteral("connection");
    return QStringLiteral("none");
}

struct KeyDeleter {
    void operator()(gnutls_x509_privkey_t key) const { gnutls_x509_privkey_deinit(key); }
};
struct CertificateDeleter {
    void operator()(gnutls_x509_crt_t certificate) const { gnutls_x509_crt_deinit(certificate); }
};
struct DatumDeleter {
    void operator()(unsigned char* data) const { gnutls_free(data); }
};

bool writeDatum(const QString& path, const gnutls_datum_t& datum) {
    const std::unique_ptr<unsigned char, DatumDeleter> owner(datum.data);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(datum.data), datum.size) == datum.size;
}

// An ECDSA P-256 certificate for 127.0.0.1 and its key, as PEM files, for --certificate/--key.
bool writeCertificate(const QString& certificatePath, const QString& keyPath) {
    gnutls_x509_privkey_t rawKey = nullptr;
    gnutls_x509_crt_t rawCertificate = nullptr;
    if (gnutls_x509_privkey_init(&rawKey) < 0 || gnutls_x509_crt_init(&rawCertificate) < 0)
        return false;
    const std::unique_ptr<gnutls_x509_privkey_int, KeyDeleter> key(rawKey);
    const std::unique_ptr<gnutls_x509_crt_int, CertificateDeleter> certificate(rawCertificate);
    const unsigned char serial[] = {0x01, 0x23};
    const char name[] = "127.0.0.1";
    const unsigned char address[] = {127, 0, 0, 1};
    const time_t now = std::time(nullptr);
    gnutls_datum_t certificatePem{};
    gnutls_datum_t keyPem{};
    const bool made =
        gnutls_x509_privkey_generate(rawKey, GNUTLS_PK_ECDSA,
                                     GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0) >= 0 &&
        gnutls_x509_crt_set_version(rawCertificate, 3) >= 0 &&
        gnutls_x509_crt_set_serial(rawCertificate, serial, sizeof serial) >= 0 &&
        gnutls_x509_crt_set_activation_time(rawCertificate, now - 3600) >= 0 &&
        gnutls_x509_crt_set_expiration_time(rawCertificate, now + 86400) >= 0 &&
        gnutls_x509_crt_set_dn_by_oid(rawCertificate, GNUTLS_OID_X520_COMMON_NAME, 0, name,
                                      sizeof name - 1) >= 0 &&
        gnutls_x509_crt_set_subject_alt_name(rawCertificate, GNUTLS_SAN_IPADDRESS, address,
                                             sizeof address, GNUTLS_FSAN_SET) >= 0 &&
        gnutls_x509_crt_set_basic_constraints(rawCertificate, 1, -1) >= 0 &&
        gnutls_x509_crt_set_key(rawCertificate, rawKey) >= 0 &&
        gnutls_x509_crt_sign2(rawCertificate, rawCertificate, rawKey, GNUTLS_DIG_SHA256, 0) >= 0 &&
        gnutls_x509_crt_export2(rawCertificate, GNUTLS_X509_FMT_PEM, &certificatePem) >= 0 &&
        gnutls_x509_privkey_export2(rawKey, GNUTLS_X509_FMT_PEM, &keyPem) >= 0;
    return made && writeDatum(certificatePath, certificatePem) && writeDatum(keyPath, keyPem);
}

// tedious in a folder of its own under the build directory, installed by npm on first use.
QString tediousModules(QString* why) {
    const QString folder = QStringLiteral(ZT_BINARY_DIR "/tedious-client");
    const QString modules = folder + QStringLiteral("/node_modules");
    if (QFile::exists(modules + QStringLiteral("/tedious/package.json")))
        return modules;
    if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("npm")).isEmpty()) {
        *why = QStringLiteral("node and npm are not installed");
        return {};
    }
    QDir().mkpath(folder);
    const Run install = runProgram(QStringLiteral("npm"),
                                   {QStringLiteral("install"), QStringLiteral("--no-audit"),
                                    QStringLiteral("--no-fund"), QStringLiteral("--prefix"), folder,
                                    QStringLiteral("tedious")},
                                   {}, QProcessEnvironment::systemEnvironment(), 300000);
    if (install.exitCode != 0 || !QFile::exists(modules + QStringLiteral("/tedious"))) {
        *why = QStringLiteral("npm install tedious failed: ") + install.output.left(300);
        return {};
    }
    return modules;
}

QStringList serverArguments(const QString& mode) {
    if (mode == u"forced")
        return {QStringLiteral("--force-encryption")};
    if (mode == u"tls1.0")
        return {QStringLiteral("--tls-priority"), tls10Only};
    if (mode == u"3des")
        return {QStringLiteral("--tls-priority"), tripleDesOnly};
    return {};
}

} // namespace

class ProtocolTlsTest : public QObject {
    Q_OBJECT

private slots:
    void preLoginAnswers_data();
    void preLoginAnswers();
    void tsqlLogsIn_data();
    void tsqlLogsIn();
    void tsqlTrustsGivenCertificate();
    void odbcDefaultsEncryptLogin_data();
    void odbcDefaultsEncryptLogin();
    void tediousLogsIn_data();
    void tediousLogsIn();
    void garbageHandshakeIsDropped();
    void silentHandshakeEndsAtLoginTimeout();
    void badTlsOptionsEndAtOnce_data();
    void badTlsOptionsEndAtOnce();
    void helpListsTlsOptions();
};

void ProtocolTlsTest::preLoginAnswers_data() {
    using ztds::tds::Encryption;
    using ztds::tds::EncryptionPolicy;
    QTest::addColumn<int>("client");
    QTest::addColumn<int>("policy");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("encryption");
    const auto row = [](const char* name, int client, EncryptionPolicy policy, int answer,
                        Encryption encryption) {
        QTest::newRow(name) << client << int(policy) << answer << int(encryption);
    };
    row("off, offered: login only", 0, EncryptionPolicy::Offered, 0, Encryption::LoginOnly);
    row("on, offered: whole", 1, EncryptionPolicy::Offered, 1, Encryption::Whole);
    row("required, offered: whole", 3, EncryptionPolicy::Offered, 1, Encryption::Whole);
    row("not supported, offered: clear", 2, EncryptionPolicy::Offered, 2, Encryption::None);
    row("off, forced: whole", 0, EncryptionPolicy::Forced, 3, Encryption::Whole);
    row("on, forced: whole", 1, EncryptionPolicy::Forced, 3, Encryption::Whole);
    row("not supported, forced: refused", 2, EncryptionPolicy::Forced, 3, Encryption::Refused);
    row("on + client certificate, offered", 0x81, EncryptionPolicy::Offered, 1, Encryption::Whole);
    row("on, no certificate: clear", 1, EncryptionPolicy::NotSupported, 2, Encryption::None);
    row("no option, offered: clear", -1, EncryptionPolicy::Offered, 2, Encryption::None);
}

void ProtocolTlsTest::preLoginAnswers() {
    QFETCH(int, client);
    QFETCH(int, policy);
    QFETCH(int, answer);
    QFETCH(int, encryption);
    // VERSION, then ENCRYPTION when the row has one.
    std::vector<uint8_t> request =
        client < 0
            ? std::vector<uint8_t>{0x00, 0x00, 0x06, 0x00, 0x06, 0xFF, 15, 0, 0, 0, 0, 0}
            : std::vector<uint8_t>{0x00, 0x00, 0x0B, 0x00, 0x06, 0x01, 0x00, 0x11, 0x00,
                                   0x01, 0xFF, 15,   0,    0,    0,    0,    0,    uint8_t(client)};
    const auto reply = ztds::tds::preLoginResponse(request, ztds::latestServerVersion(),
                                                   ztds::tds::EncryptionPolicy(policy));
    QCOMPARE(int(reply.encryption), encryption);
    // The answer's second option is ENCRYPTION; its offset is in bytes 6 and 7.
    QCOMPARE(int(reply.response.at(5)), 1);
    const size_t offset = (size_t(reply.response.at(6)) << 8) | reply.response.at(7);
    QCOMPARE(int(reply.response.at(offset)), answer);
}

void ProtocolTlsTest::tsqlLogsIn_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("encryption");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<QString>("encrypted"); // as the server logged it
    QTest::addColumn<QString>("clientError");
    QTest::addColumn<QString>("serverError");
    QTest::newRow("default, request") << "default"
                                      << "request" << true << "login"
                                      << ""
                                      << "";
    QTest::newRow("default, require") << "default"
                                      << "require" << true << "connection"
                                      << ""
                                      << "";
    QTest::newRow("default, off") << "default"
                                  << "off" << true << "none"
                                  << ""
                                  << "";
    QTest::newRow("forced, request") << "forced"
                                     << "request" << true << "connection"
                                     << ""
                                     << "";
    QTest::newRow("forced, require") << "forced"
                                     << "require" << true << "connection"
                                     << ""
                                     << "";
    // encryption = off sends ENCRYPT_NOT_SUP; the server answers ENCRYPT_REQ and closes.
    QTest::newRow("forced, off") << "forced"
                                 << "off" << false << "none"
                                 << "Adaptive Server connection failed"
                                 << "refused: encryption is required and the client cannot encrypt";
    // FreeTDS on Debian 12 (GnuTLS 3.7) still speaks TLS 1.0.
    QTest::newRow("tls1.0, request") << "tls1.0"
                                     << "request" << true << "login"
                                     << ""
                                     << "";
    QTest::newRow("tls1.0, require") << "tls1.0"
                                     << "require" << true << "connection"
                                     << ""
                                     << "";
    // It offers no 3DES cipher any more: the handshake fails.
    QTest::newRow("3des, request") << "3des"
                                   << "request" << false << "none"
                                   << "Adaptive Server connection failed"
                                   << "TLS handshake failed: No supported cipher suites";
    QTest::newRow("3des, require") << "3des"
                                   << "require" << false << "none"
                                   << "Adaptive Server connection failed"
                                   << "TLS handshake failed: No supported cipher suites";
    QTest::newRow("3des, off") << "3des"
                               << "off" << true << "none"
                               << ""
                               << "";
}

void ProtocolTlsTest::tsqlLogsIn() {
    QFETCH(QString, mode);
    QFETCH(QString, encryption);
    QFETCH(bool, loggedIn);
    QFETCH(QString, encrypted);
    QFETCH(QString, clientError);
    QFETCH(QString, serverError);
    DevServerProcess server(serverArguments(mode));
    QVERIFY(server.start());
    const Run tsql = tsqlSelectOne(server, encryption);
    QVERIFY2(tsql.finished, "tsql (freetds-bin) did not run to its end");
    if (loggedIn) {
        QVERIFY2(tsql.output.contains(QStringLiteral("(1 row affected)")), qPrintable(tsql.output));
    } else {
        QVERIFY2(tsql.output.contains(clientError), qPrintable(tsql.output));
        QTRY_VERIFY2(server.standardError().contains(serverError),
                     qPrintable(server.standardError()));
    }
    QCOMPARE(encryptionLogged(server.standardError()), encrypted);
    if (mode == u"tls1.0" && loggedIn)
        QVERIFY2(server.standardError().contains(QStringLiteral("encrypted, TLS1.0")),
                 qPrintable(server.standardError()));
}

void ProtocolTlsTest::tsqlTrustsGivenCertificate() {
    QTemporaryDir dir;
    const QString certificate = dir.filePath(QStringLiteral("server.pem"));
    const QString key = dir.filePath(QStringLiteral("server.key"));
    QVERIFY(writeCertificate(certificate, key));
    DevServerProcess server(
        {QStringLiteral("--certificate"), certificate, QStringLiteral("--key"), key});
    QVERIFY(server.start());
    // With a CA file FreeTDS checks the server's certificate and name: only the given one passes.
    const Run tsql = tsqlSelectOne(server, QStringLiteral("require"),
                                   "\tca file = " + certificate.toLocal8Bit() + "\n");
    QVERIFY2(tsql.output.contains(QStringLiteral("(1 row affected)")), qPrintable(tsql.output));
    QCOMPARE(encryptionLogged(server.standardError()), QStringLiteral("connection"));
    QVERIFY2(server.standardError().contains(QStringLiteral("ECDHE_ECDSA")),
             qPrintable(server.standardError()));
}

void ProtocolTlsTest::odbcDefaultsEncryptLogin_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("encrypted");
    QTest::newRow("default") << "default"
                             << "login";
    QTest::newRow("forced") << "forced"
                            << "connection";
}

void ProtocolTlsTest::odbcDefaultsEncryptLogin() {
    QFETCH(QString, mode);
    QFETCH(QString, encrypted);
    DevServerProcess server(serverArguments(mode));
    QVERIFY(server.start());
    PrivateFreeTdsConfig config; // nothing about encryption: the driver's defaults
    QVERIFY(config.install(server.port(), QString::fromLatin1(zt::test::freeTdsDriver), {}));
    OdbcConnection client;
    QVERIFY2(client.connect(freeTdsConnectionString(server.port())),
             qPrintable(client.diagnosticText()));
    QVERIFY2(client.execute(QStringLiteral("select 1")), qPrintable(client.diagnosticText()));
    QCOMPARE(client.rows().size(), size_t(1));
    QCOMPARE(client.rows().front().front().toString(), QStringLiteral("1"));
    QCOMPARE(encryptionLogged(server.standardError()), encrypted);
}

void ProtocolTlsTest::tediousLogsIn_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("answer"); // what the script prints
    QTest::addColumn<QString>("encrypted");
    QTest::newRow("default, encrypt") << "default" << true << "answer 1"
                                      << "connection";
    // encrypt: false sends ENCRYPT_NOT_SUP: all in clear.
    QTest::newRow("default, no encrypt") << "default" << false << "answer 1"
                                         << "none";
    QTest::newRow("forced, encrypt") << "forced" << true << "answer 1"
                                     << "connection";
    QTest::newRow("forced, no encrypt")
        << "forced" << false
        << "error: Server requires encryption, set 'encrypt' config option to true."
        << "none";
    // Node.js no longer speaks TLS 1.0 nor offers 3DES.
    QTest::newRow("tls1.0, encrypt")
        << "tls1.0" << true << "error: Failed to connect to 127.0.0.1:%1 - "
        << "none";
    QTest::newRow("3des, encrypt")
        << "3des" << true << "error: Failed to connect to 127.0.0.1:%1 - "
        << "none";
}

void ProtocolTlsTest::tediousLogsIn() {
    QFETCH(QString, mode);
    QFETCH(bool, encrypt);
    QFETCH(QString, answer);
    QFETCH(QString, encrypted);
    QString why;
    const QString modules = tediousModules(&why);
    if (modules.isEmpty())
        QSKIP(qPrintable(why));
    DevServerProcess server(serverArguments(mode));
    QVERIFY(server.start());
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NODE_PATH"), modules);
    const Run node = runProgram(QStringLiteral("node"),
                                {QStringLiteral(ZT_SOURCE_DIR "/tests/devserver/tedious_select.js"),
                                 QString::number(server.port()),
                                 encrypt ? QStringLiteral("true") : QStringLiteral("false")},
                                {}, environment);
    QVERIFY2(node.finished, qPrintable(node.output));
    const QString expected = answer.contains(u'%') ? answer.arg(server.port()) : answer;
    QVERIFY2(node.output.contains(expected), qPrintable(node.output));
    QCOMPARE(encryptionLogged(server.standardError()), encrypted);
}

void ProtocolTlsTest::garbageHandshakeIsDropped() {
    DevServerProcess server;
    QVERIFY(server.start());
    RawTdsClient raw;
    QVERIFY(raw.connect(server.port()));
    // PRELOGIN with ENCRYPT_OFF: the server answers ENCRYPT_OFF and waits for a handshake.
    auto preLogin = RawTdsClient::preLogin();
    preLogin.back() = 0x00;
    QVERIFY(raw.sendMessage(18, preLogin));
    QVERIFY(raw.readMessage());
    QVERIFY(raw.sendMessage(18, std::vector<uint8_t>(300, 0x5A)));
    QVERIFY(raw.closedByServer());
    QTRY_VERIFY2(server.standardError().contains(QStringLiteral("TLS handshake failed")),
                 qPrintable(server.standardError()));
    // The server goes on serving.
    const Run tsql = tsqlSelectOne(server, QStringLiteral("request"));
    QVERIFY2(tsql.output.contains(QStringLiteral("(1 row affected)")), qPrintable(tsql.output));
}

void ProtocolTlsTest::silentHandshakeEndsAtLoginTimeout() {
    DevServerProcess server({QStringLiteral("--login-timeout"), QStringLiteral("1")});
    QVERIFY(server.start());
    RawTdsClient raw;
    QVERIFY(raw.connect(server.port()));
    auto preLogin = RawTdsClient::preLogin();
    preLogin.back() = 0x01; // ENCRYPT_ON, then no handshake at all
    QVERIFY(raw.sendMessage(18, preLogin));
    QVERIFY(raw.readMessage());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(raw.closedByServer());
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QTRY_VERIFY2(server.standardError().contains(QStringLiteral("did not log in in time")),
                 qPrintable(server.standardError()));
}

void ProtocolTlsTest::badTlsOptionsEndAtOnce_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("certificate without key")
        << QStringList{QStringLiteral("--certificate"), QStringLiteral("/nonexistent.pem")}
        << "--certificate and --key go together";
    QTest::newRow("missing files")
        << QStringList{QStringLiteral("--certificate"), QStringLiteral("/nonexistent.pem"),
                       QStringLiteral("--key"), QStringLiteral("/nonexistent.key")}
        << "/nonexistent.pem: no such file";
    QTest::newRow("not PEM") << QStringList{QStringLiteral("--certificate"),
                                            QStringLiteral(ZT_SOURCE_DIR "/README.md"),
                                            QStringLiteral("--key"),
                                            QStringLiteral(ZT_SOURCE_DIR "/README.md")}
                             << "TLS: certificate " ZT_SOURCE_DIR "/README.md with key";
    QTest::newRow("bad priority") << QStringList{QStringLiteral("--tls-priority"),
                                                 QStringLiteral("NORMAL:+NO-SUCH-THING")}
                                  << "TLS: TLS priority 'NORMAL:+NO-SUCH-THING' is invalid";
    QTest::newRow("priority without value")
        << QStringList{QStringLiteral("--tls-priority")} << "option --tls-priority needs a value";
}

void ProtocolTlsTest::badTlsOptionsEndAtOnce() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir data;
    // The options under test come last, so that one without its value has none.
    const QStringList common{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                             QStringLiteral("--data"), data.path()};
    const Run run = runProgram(QStringLiteral(ZT_DEVSERVER_PATH), common + arguments, {},
                               QProcessEnvironment::systemEnvironment(), 20000);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.output.startsWith(QStringLiteral("zt-devserver: ")), qPrintable(run.output));
    QVERIFY2(run.output.contains(message), qPrintable(run.output));
    QCOMPARE(run.output.trimmed().count(u'\n'), 0);
}

void ProtocolTlsTest::helpListsTlsOptions() {
    const Run run = runProgram(QStringLiteral(ZT_DEVSERVER_PATH), {QStringLiteral("--help")});
    QCOMPARE(run.exitCode, 0);
    for (const char* option :
         {"--certificate FILE", "--key FILE", "--force-encryption", "--tls-priority S"})
        QVERIFY2(run.output.contains(QLatin1String(option)), option);
}

QTEST_GUILESS_MAIN(ProtocolTlsTest)
#include "tst_protocol_tls.moc"
