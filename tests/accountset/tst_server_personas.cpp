// The program's whole road against every server zt-devserver presents itself as: SQL Server
// 2000 (no sys. catalog views), 2005 and 2019.

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

QTEST_GUILESS_MAIN(TestServerPersonas)
#include "tst_server_personas.moc"
