// Batches and transactions as SQL Server runs them: which errors end a statement and which
// end the batch, BEGIN/COMMIT/ROLLBACK, XACT_ABORT, implicit transactions, disconnects.

#include "tests/devserver/engine_fixture.h"

using namespace zt::test;
using ztds::StatementResult;
using Change = ztds::StatementResult::TransactionChange;

class EngineTransactionsTest : public QObject {
    Q_OBJECT

private slots:
    void statementErrorLetsBatchGoOn_data();
    void statementErrorLetsBatchGoOn();
    void conversionErrorEndsBatch();
    void commitKeepsRollbackUndoes();
    void nestedCountsAndOuterCommit();
    void unmatchedCommitOrRollback_data();
    void unmatchedCommitOrRollback();
    void failedStatementUndoesOnlyItself();
    void abortingErrorsRollBack_data();
    void abortingErrorsRollBack();
    void implicitTransactions();
    void tableCreatedInTransactionRollsBack();
    void disconnectRollsBack();
    void othersSeeOnlyCommittedRows();
    void transactionWritesInOneDatabase();
    void useInsideTransaction();
    void databaseStatementsRefused_data();
    void databaseStatementsRefused();
    void resetRollsBackAndReturnsHome();
};

namespace {

// A session in a new database holding the table t; a failed set-up shows in the first check.
std::unique_ptr<ztds::Session> loginWithTable(EngineFixture& f, const QString& database) {
    auto s = f.login();
    run(*s, QStringLiteral("create database %1").arg(database));
    run(*s, QStringLiteral("use %1\ncreate table t (id int primary key, n nvarchar(4) not null)")
                .arg(database));
    return s;
}

QString count(ztds::Session& s, const QString& table = QStringLiteral("t")) {
    const StatementResult r = run(s, QStringLiteral("select count(*) from %1").arg(table));
    return r.failed ? describe(r) : textAt(r, 0, 0);
}

QString tranCount(ztds::Session& s) {
    return textAt(run(s, QStringLiteral("select @@trancount")), 0, 0);
}

} // namespace

void EngineTransactionsTest::statementErrorLetsBatchGoOn_data() {
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("number");
    QTest::newRow("duplicate key") << "insert t values (1, N'b')" << 2627;
    QTest::newRow("null into not null") << "insert t values (5, null)" << 515;
    QTest::newRow("truncation") << "insert t values (5, N'abcdef')" << 8152;
    QTest::newRow("missing table") << "insert nothere values (1)" << 208;
    QTest::newRow("missing column") << "update t set nothere = 1" << 207;
    QTest::newRow("existing table") << "create table t (a int)" << 2714;
}

void EngineTransactionsTest::statementErrorLetsBatchGoOn() {
    QFETCH(QString, failing);
    QFETCH(int, number);
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("goon"));
    const auto results = s->executeBatch(
        QStringLiteral("insert t values (1, N'a')\n%1\ninsert t values (2, N'c')\nselect id from "
                       "t order by id")
            .arg(failing));
    QCOMPARE(results.size(), size_t(4));
    QCOMPARE(firstError(results[1]), number);
    QCOMPARE(results[1].messages.front().line, 2);
    QVERIFY(!results[2].failed);
    QCOMPARE(results[3].resultSet->rows.size(), size_t(2));
}

void EngineTransactionsTest::conversionErrorEndsBatch() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("convend"));
    const auto results =
        s->executeBatch(QStringLiteral("insert t values (N'x', N'a')\ninsert t values (2, N'c')"));
    QCOMPARE(results.size(), size_t(1));
    QCOMPARE(firstError(results[0]), 245);
    QCOMPARE(count(*s), QStringLiteral("0"));
}

void EngineTransactionsTest::commitKeepsRollbackUndoes() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("tranbasic"));
    auto results = s->executeBatch(
        QStringLiteral("begin tran\ninsert t values (1, N'a')\nselect @@trancount\nrollback"));
    QCOMPARE(results.size(), size_t(4));
    QCOMPARE(results[0].transactionChange, Change::Began);
    QCOMPARE(textAt(results[2], 0, 0), QStringLiteral("1"));
    QCOMPARE(results[3].transactionChange, Change::RolledBack);
    QCOMPARE(count(*s), QStringLiteral("0"));
    QCOMPARE(tranCount(*s), QStringLiteral("0"));

    // Across batches, as a client sends them one by one.
    ZT_EXEC(*s, "BEGIN TRANSACTION");
    ZT_EXEC(*s, "insert t values (1, N'a')");
    ZT_EXEC(*s, "insert t values (2, N'b')");
    results = s->executeBatch(QStringLiteral("COMMIT TRANSACTION"));
    QCOMPARE(results.back().transactionChange, Change::Committed);
    QCOMPARE(count(*s), QStringLiteral("2"));
    s.reset();
    f.restart(); // committed means on disk
    s = f.login(QStringLiteral("sa"), QString(), QStringLiteral("tranbasic"));
    QCOMPARE(count(*s), QStringLiteral("2"));
}

void EngineTransactionsTest::nestedCountsAndOuterCommit() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("nested"));
    ZT_EXEC(*s, "begin tran outer_one\ninsert t values (1, N'a')\nbegin transaction\n"
                "insert t values (2, N'b')");
    QCOMPARE(tranCount(*s), QStringLiteral("2"));
    const auto inner = s->executeBatch(QStringLiteral("commit tran"));
    QCOMPARE(inner.back().transactionChange, Change::None); // only the count drops
    QCOMPARE(tranCount(*s), QStringLiteral("1"));
    QCOMPARE(firstError(run(*s, "rollback tran other_name")), 6401);
    ZT_EXEC(*s, "rollback tran outer_one"); // undoes the inner "commit" too
    QCOMPARE(tranCount(*s), QStringLiteral("0"));
    QCOMPARE(count(*s), QStringLiteral("0"));
}

void EngineTransactionsTest::unmatchedCommitOrRollback_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("number");
    QTest::newRow("commit") << "commit" << 3902;
    QTest::newRow("commit work") << "COMMIT WORK" << 3902;
    QTest::newRow("rollback") << "rollback transaction" << 3903;
    QTest::newRow("driver's commit") << "IF @@TRANCOUNT > 0 COMMIT TRAN" << 0;
    QTest::newRow("driver's rollback") << "IF @@TRANCOUNT > 0 ROLLBACK" << 0;
}

void EngineTransactionsTest::unmatchedCommitOrRollback() {
    QFETCH(QString, statement);
    QFETCH(int, number);
    EngineFixture f;
    auto s = f.login();
    const auto results = s->executeBatch(statement + QStringLiteral("\nselect 1"));
    QCOMPARE(firstError(results.front()), number);
    QCOMPARE(results.size(), size_t(2)); // the batch goes on
}

void EngineTransactionsTest::failedStatementUndoesOnlyItself() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("partial"));
    // A multi-row insert that fails on its second row leaves none of its rows.
    const auto results = s->executeBatch(
        QStringLiteral("begin tran\ninsert t values (1, N'a')\ninsert t values (2, N'b'), (1, "
                       "N'c')\ninsert t values (3, N'd')\ncommit"));
    QCOMPARE(results.size(), size_t(5));
    QCOMPARE(firstError(results[2]), 2627);
    QCOMPARE(results[4].transactionChange, Change::Committed);
    const StatementResult r = run(*s, "select id from t order by id");
    QCOMPARE(r.resultSet->rows.size(), size_t(2));
    QCOMPARE(textAt(r, 1, 0), QStringLiteral("3"));
}

void EngineTransactionsTest::abortingErrorsRollBack_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("failing");
    QTest::newRow("xact_abort, duplicate key") << "set xact_abort on"
                                               << "insert t values (1, N'b')";
    QTest::newRow("conversion failure") << "set xact_abort off"
                                        << "insert t values ('x', N'b')";
}

void EngineTransactionsTest::abortingErrorsRollBack() {
    QFETCH(QString, setting);
    QFETCH(QString, failing);
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("aborts"));
    ZT_EXEC(*s, setting);
    const auto results = s->executeBatch(
        QStringLiteral("begin tran\ninsert t values (1, N'a')\n%1\ninsert t values (2, N'c')")
            .arg(failing));
    QCOMPARE(results.size(), size_t(3));
    QCOMPARE(results[2].transactionChange, Change::RolledBack);
    QCOMPARE(tranCount(*s), QStringLiteral("0"));
    QCOMPARE(count(*s), QStringLiteral("0"));
}

void EngineTransactionsTest::implicitTransactions() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("implicit"));
    ZT_EXEC(*s, "SET IMPLICIT_TRANSACTIONS ON");
    QCOMPARE(tranCount(*s), QStringLiteral("0")); // a select without a table starts nothing
    const auto results = s->executeBatch(QStringLiteral("insert t values (1, N'a')"));
    QCOMPARE(results.back().transactionChange, Change::Began);
    QCOMPARE(tranCount(*s), QStringLiteral("1"));
    ZT_EXEC(*s, "IF @@TRANCOUNT > 0 ROLLBACK");
    QCOMPARE(count(*s), QStringLiteral("0"));
    ZT_EXEC(*s, "insert t values (2, N'b')\nIF @@TRANCOUNT > 0 COMMIT");
    ZT_EXEC(*s, "SET IMPLICIT_TRANSACTIONS OFF");
    QCOMPARE(count(*s), QStringLiteral("1"));
    QCOMPARE(tranCount(*s), QStringLiteral("0"));
}

void EngineTransactionsTest::tableCreatedInTransactionRollsBack() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("ddl"));
    ZT_EXEC(*s, "begin tran\ncreate table made (a int)\ninsert made values (1)");
    QCOMPARE(count(*s, QStringLiteral("made")), QStringLiteral("1"));
    QCOMPARE(textAt(run(*s, "select count(*) from information_schema.tables where table_name = "
                            "'made'"),
                    0, 0),
             QStringLiteral("1"));
    ZT_EXEC(*s, "rollback");
    QCOMPARE(firstError(run(*s, "select * from made")), 208);
}

void EngineTransactionsTest::disconnectRollsBack() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("gone"));
    ZT_EXEC(*s, "begin tran\ninsert t values (1, N'a')");
    s.reset();
    auto other = f.login(QStringLiteral("sa"), QString(), QStringLiteral("gone"));
    QCOMPARE(count(*other), QStringLiteral("0"));
    ZT_EXEC(*other, "insert t values (1, N'b')"); // and the lock went with it
}

void EngineTransactionsTest::othersSeeOnlyCommittedRows() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("seen"));
    auto other = f.login(QStringLiteral("sa"), QString(), QStringLiteral("seen"));
    ZT_EXEC(*s, "begin tran\ninsert t values (1, N'a')");
    QCOMPARE(count(*s), QStringLiteral("1"));
    QCOMPARE(count(*other), QStringLiteral("0"));
    ZT_EXEC(*s, "commit");
    QCOMPARE(count(*other), QStringLiteral("1"));
}

void EngineTransactionsTest::transactionWritesInOneDatabase() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("first"));
    ZT_EXEC(*s, "create database second\ncreate table second.dbo.u (a int)");
    ZT_EXEC(*s, "begin tran\ninsert t values (1, N'a')");
    const StatementResult r = run(*s, "insert second.dbo.u values (1)");
    QCOMPARE(firstError(r), 40515);
    QVERIFY2(firstErrorText(r).contains(QStringLiteral("more than one database")),
             qPrintable(firstErrorText(r)));
    QCOMPARE(count(*s, QStringLiteral("second.dbo.u")), QStringLiteral("0")); // reading is fine
    ZT_EXEC(*s, "commit");
    QCOMPARE(count(*s), QStringLiteral("1"));
}

void EngineTransactionsTest::useInsideTransaction() {
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("travel"));
    ZT_EXEC(*s, "begin tran\ninsert t values (1, N'a')\nuse master");
    QCOMPARE(count(*s, QStringLiteral("travel.dbo.t")), QStringLiteral("1"));
    ZT_EXEC(*s, "insert travel.dbo.t values (2, N'b')\nuse travel\ninsert t values (3, N'c')");
    QCOMPARE(count(*s), QStringLiteral("3"));
    ZT_EXEC(*s, "rollback");
    QCOMPARE(count(*s), QStringLiteral("0"));
}

void EngineTransactionsTest::databaseStatementsRefused_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("number");
    QTest::newRow("create") << "create database inside" << 226;
    QTest::newRow("drop") << "drop database refused" << 226;
    QTest::newRow("backup") << "backup database refused to disk = 'x.bak'" << 3021;
}

void EngineTransactionsTest::databaseStatementsRefused() {
    QFETCH(QString, statement);
    QFETCH(int, number);
    EngineFixture f;
    auto s = loginWithTable(f, QStringLiteral("refused"));
    ZT_EXEC(*s, "use master\nbegin tran");
    QCOMPARE(firstError(run(*s, statement)), number);
    ZT_EXEC(*s, "rollback");
    QVERIFY(!run(*s, statement).failed); // the same statement outside a transaction
}

void EngineTransactionsTest::resetRollsBackAndReturnsHome() {
    EngineFixture f;
    auto setup = loginWithTable(f, QStringLiteral("home"));
    setup.reset();
    auto s = f.login(QStringLiteral("sa"), QString(), QStringLiteral("home"));
    ZT_EXEC(*s, "set xact_abort on\nbegin tran\ninsert t values (1, N'a')\nuse master");
    s->reset(false);
    QCOMPARE(s->currentDatabase(), QStringLiteral("home"));
    QCOMPARE(tranCount(*s), QStringLiteral("0"));
    QCOMPARE(count(*s), QStringLiteral("0"));
    // XACT_ABORT is off again: a duplicate key no longer ends the batch.
    const auto results =
        s->executeBatch(QStringLiteral("insert t values (1, N'a')\ninsert t values (1, N'a')\n"
                                       "select 1"));
    QCOMPARE(results.size(), size_t(3));
}

QTEST_GUILESS_MAIN(EngineTransactionsTest)
#include "tst_engine_transactions.moc"
