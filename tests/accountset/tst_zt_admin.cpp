// zt-admin end to end: the executable run against a private zt-devserver and a local
// configuration database in a temporary directory.

#include "tests/seed/account_set_fixture.h"
#include "tests/support/program_run.h"

#include <QDate>
#include <QTest>

using zt::test::AccountSetFixture;
using zt::test::ProgramRun;

class TestZtAdmin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void usageErrors_data();
    void usageErrors();
    void unreachableServerFails();
    void refusedNameFails();
    void createListSelectDelete();

private:
    ProgramRun run(const QStringList& arguments);

    AccountSetFixture fixture_;
};

void TestZtAdmin::initTestCase() {
    QVERIFY(fixture_.start());
}

// Stopped here rather than on destruction, so that a bad end of the server is a failure.
void TestZtAdmin::cleanupTestCase() {
    fixture_.server().stop();
}

ProgramRun TestZtAdmin::run(const QStringList& arguments) {
    return zt::test::runProgram(QStringLiteral(ZT_ADMIN_PATH), arguments);
}

void TestZtAdmin::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"frob", "--server", "s"};
    QTest::newRow("no server") << QStringList{"create", "x"};
    QTest::newRow("no name") << QStringList{"create", "--server", "s"};
    QTest::newRow("two names") << QStringList{"select", "--server", "s", "a", "b"};
    QTest::newRow("delete without password") << QStringList{"delete", "--server", "s", "a"};
    QTest::newRow("unknown option") << QStringList{"list", "--server", "s", "--frob"};
    QTest::newRow("password without user")
        << QStringList{"list", "--server", "s", "--password", "p"};
}

void TestZtAdmin::usageErrors() {
    QFETCH(QStringList, arguments);
    const ProgramRun result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(QStringLiteral("--help")));
}

void TestZtAdmin::unreachableServerFails() {
    const ProgramRun result = run({"list", "--server", "127.0.0.1,1", "--user", "sa",
                                   "--local-database", fixture_.localDatabasePath()});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(
        result.err.startsWith(QStringLiteral("连接服务器失败，请重新选择或录入服务器名称！\n")));
    QVERIFY(result.err.contains(QStringLiteral("无法连接到服务器")));
}

void TestZtAdmin::refusedNameFails() {
    const ProgramRun result =
        run(QStringList{"create"} + fixture_.adminOptions() + QStringList{"1abc"});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.startsWith(QStringLiteral("帐套名称只能由汉字、字母、数字和下划线组成")));
    QVERIFY(!fixture_.databaseExists(QStringLiteral("1abc")));
}

void TestZtAdmin::createListSelectDelete() {
    // zt-admin dates the registration by its own clock while create runs: the day the run
    // began or, across midnight, the day it ended.
    const QDate before = QDate::currentDate();
    ProgramRun result = run(QStringList{"create"} + fixture_.adminOptions() +
                            QStringList{"--account-password", "k1", "--network", "脚本帐"});
    QCOMPARE(result.err, QString());
    QCOMPARE(result.out, QStringLiteral("帐套创建成功！\n"));
    QCOMPARE(result.exitCode, 0);
    QVERIFY(fixture_.databaseExists(QStringLiteral("脚本帐")));
    QCOMPARE(fixture_.serverCount(QStringLiteral("脚本帐"), QStringLiteral("用户权限表")), 220);

    const QDate after = QDate::currentDate();
    const auto listed = [&](const QDate& day) {
        return QStringLiteral("脚本帐\t%1\t%2\n")
            .arg(fixture_.serverName(), day.toString(Qt::ISODate));
    };

    result = run(QStringList{"list"} + fixture_.adminOptions());
    QCOMPARE(result.exitCode, 0);
    if (result.out != listed(before))
        QCOMPARE(result.out, listed(after));

    result = run(QStringList{"select"} + fixture_.adminOptions() + QStringList{"脚本帐"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QStringLiteral("已经存在服务器名称和帐套名称相同的帐套！\n"));

    result = run(QStringList{"select"} + fixture_.adminOptions() + QStringList{"无此帐"});
    QCOMPARE(result.exitCode, 1);

    result = run(QStringList{"delete"} + fixture_.adminOptions() +
                 QStringList{"--account-password", "K1", "脚本帐"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err, QStringLiteral("帐套口令错误\n"));
    QVERIFY(fixture_.databaseExists(QStringLiteral("脚本帐")));

    result = run(QStringList{"delete"} + fixture_.adminOptions() +
                 QStringList{"--account-password", "k1", "脚本帐"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QStringLiteral("此帐套已成功删除\n"));
    QVERIFY(!fixture_.databaseExists(QStringLiteral("脚本帐")));
    QCOMPARE(run(QStringList{"list"} + fixture_.adminOptions()).out, QString());
}

QTEST_GUILESS_MAIN(TestZtAdmin)
#include "tst_zt_admin.moc"
