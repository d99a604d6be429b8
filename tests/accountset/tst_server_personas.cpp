// The program's whole road against every server zt-devserver presents itself as: SQL Server
// 2000 (no sys. catalog views), 2005 and 2019; and a creation over each way of encrypting.

#include "tests/seed/account_set_fixture.h"
#include "tests/support/program_run.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using zt::test::AccountSetFixture;
using zt::test::ProgramRun;

class TestServerPersonas : public QObject {
    Q_OBJECT

private slots:
    void wholeRoadOnEveryPersona_data();
    void wholeRoadOnEveryPersona();
    void creationOverEachEncryptionMode_data();
    void creationOverEachEncryptionMode();
};

namespace {

ProgramRun admin(const QStringList& arguments) {
    return zt::test::runProgram(QStringLiteral(ZT_ADMIN_PATH), arguments);
}

} // namespace

void TestServerPersonas::wholeRoadOnEveryPersona_data() {
    QTest::addColumn<QString>("tdsVersion");
    QTest::newRow("SQL Server 2000") << "7.1";
    QTest::newRow("SQL Server 2005") << "7.2";
    QTest::newRow("SQL Server 2008 R2") << "7.3";
    QTest::newRow("SQL Server 2019") << "7.4";
}

void TestServerPersonas::wholeRoadOnEveryPersona() {
    QFETCH(QString, tdsVersion);
    AccountSetFixture own({"--tds-version", tdsVersion});
    QVERIFY(own.start());
    const QStringList server = own.adminOptions();
    const QString name = QStringLiteral("版本帐");
    auto check = [](const ProgramRun& run, int expected) {
        return run.exitCode == expected ? QString()
                                        : QString::number(run.exitCode) + u' ' + run.out + run.err;
    };

    QString failed = check(admin(QStringList{"create", "--network", "--account-password", "k"} +
                                 server + QStringList{name}),
                           0);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    failed = check(admin(QStringList{"verify"} + server + QStringList{name}), 0);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    const ProgramRun scan = admin(QStringList{"scan", "--json"} + server);
    QVERIFY2(scan.exitCode == 0, qPrintable(scan.err));
    bool listed = false;
    for (const QJsonValue& d :
         QJsonDocument::fromJson(scan.out.toUtf8()).object().value("databases").toArray())
        listed = listed || (d.toObject().value("name").toString() == name &&
                            d.toObject().value("status").toString() == u"complete");
    QVERIFY2(listed, qPrintable(scan.out));
    failed = check(admin(QStringList{"restore-sample", "--network"} + server), 0);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    const ProgramRun list = admin(QStringList{"list"} + server);
    QVERIFY2(list.out.contains(name) && list.out.contains(QStringLiteral("澄桦3000商业例子帐")),
             qPrintable(list.out + list.err));
    failed = check(
        admin(QStringList{"delete", "--account-password", "k"} + server + QStringList{name}), 0);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    QVERIFY(!own.databaseExists(name));
    failed = check(admin(QStringList{"clean-up", "--yes"} + server), 0);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
}

void TestServerPersonas::creationOverEachEncryptionMode_data() {
    QTest::addColumn<QStringList>("serverArgs");
    QTest::addColumn<QString>("log"); // what the server logs of the connection; empty: fails
    QTest::newRow("login encrypted (the default)") << QStringList{} << "login encrypted";
    QTest::newRow("forced encryption")
        << QStringList{"--force-encryption"} << "connection encrypted";
    // An old server that offers only what this computer's TLS library refuses.
    QTest::newRow("3DES only") << QStringList{"--tls-priority",
                                              "NORMAL:-VERS-TLS1.3:-CIPHER-ALL:+3DES-CBC"}
                               << "";
}

void TestServerPersonas::creationOverEachEncryptionMode() {
    QFETCH(QStringList, serverArgs);
    QFETCH(QString, log);
    AccountSetFixture own(serverArgs);
    QVERIFY(own.start());
    const ProgramRun run =
        admin(QStringList{"create"} + own.adminOptions() + QStringList{QStringLiteral("加密帐")});
    if (!log.isEmpty()) {
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
        QVERIFY2(own.server().standardError().contains(log),
                 qPrintable(own.server().standardError()));
        return;
    }
    QCOMPARE(run.exitCode, 1);
    const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("连接服务器失败，请重新选择或录入服务器名称！"));
    QVERIFY2(lines.value(1).contains(QStringLiteral("加密握手失败")), qPrintable(run.err));
    QVERIFY(!run.err.contains(QStringLiteral("Adaptive Server")));
}

QTEST_GUILESS_MAIN(TestServerPersonas)
#include "tst_server_personas.moc"
