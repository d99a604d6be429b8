// Query objects over the local configuration store (SQLite file behind the Jet connection string).
#include "db/query.h"
#include "db/query_table_model.h"
#include "db/sql_literal.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using zt::db::DbError;
using zt::db::Query;

namespace {

// Runs statements through SQLite itself; false (with SQLite's message) on failure.
bool runScript(const QString& path, const QString& script) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* message = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, script.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        qWarning("runScript: %s", message ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

QString jet(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Persist Security "
                          "Info=False")
        .arg(path);
}

QString errorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const DbError& error) {
        return error.text();
    }
    return QStringLiteral("<no error>");
}

} // namespace

class TestQuerySqlite : public QObject {
    Q_OBJECT
private slots:
    void init();

    void opensOnFirstRowIgnoringLetterCase();
    void letterCaseIsIgnoredBeyondAscii();
    void emptyResultIsEofAndReadsNull();
    void appendPostsAtOnce();
    void editRewritesOnlyAssignedColumns();
    void settingFieldInBrowseModeEntersEdit();
    void cancelDiscardsChanges();
    void deleteRemovesRowAndMovesToNeighbour();
    void nextWalksToEof();
    void statementLinesJoinWithLineBreaks();
    void transferRulesApply();
    void datesRoundTrip();
    void closedQueryCountFailsWithObjectName();
    void missingFileIsAnErrorAndNotCreated();
    void missingTableCarriesProviderText();
    void missingFieldNamesColumn();
    void fieldKeptFromEarlierResultFailsCleanly();
    void openOfNonSelectFails();
    void connectionFollowsConnectionString();
    void quotedLiteralDoublesQuotes();
    void tableModelFollowsCurrentRow();
    void queryOutlivesItsModel();

private:
    QTemporaryDir dir_;
    QString path_;
};

void TestQuerySqlite::init() {
    path_ = dir_.filePath(QStringLiteral("CHWHDB-%1.mdb").arg(QTest::currentTestFunction()));
    QVERIFY(runScript(path_, QStringLiteral(R"(
        CREATE TABLE 系统路径表 (zjmc TEXT(100) COLLATE NOCASE, "1" TEXT(255) COLLATE NOCASE,
                                 "2" TEXT(255) COLLATE NOCASE);
        INSERT INTO 系统路径表 VALUES ('Server1', 'integrated security=sspi;persist security info=false;', '');
        INSERT INTO 系统路径表 VALUES ('服务器二', '', 'password=x;persist security info=true;user id=sa;');
        CREATE TABLE 帐套信息表 (ztmc TEXT(50) COLLATE NOCASE, jlrq DATETIME, kl TEXT(50) COLLATE NOCASE,
                                 zjmc TEXT(100) COLLATE NOCASE, net TEXT(2) COLLATE NOCASE);
        CREATE TABLE line_yesno (id INTEGER PRIMARY KEY AUTOINCREMENT, mc VARCHAR(12) COLLATE NOCASE,
                                 zd VARCHAR(12), yesno BIT, lk INTEGER, mrzk FLOAT);
        INSERT INTO line_yesno (mc, zd, yesno, lk, mrzk) VALUES ('a', 'x', NULL, NULL, NULL);
        INSERT INTO line_yesno (mc, zd, yesno, lk, mrzk) VALUES ('b', 'y', 1, 5, 0.5);
        INSERT INTO line_yesno (mc, zd, yesno, lk, mrzk) VALUES ('c', 'z', 0, 6, 1.5);
    )")));
}

void TestQuerySqlite::opensOnFirstRowIgnoringLetterCase() {
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(path_));
    query.sqlClear();
    query.sqlAdd(QStringLiteral("select*from 系统路径表 where zjmc='SERVER1'"));
    query.open();
    QVERIFY(query.isActive());
    QCOMPARE(query.recordCount(), 1);
    QVERIFY(!query.eof());
    QCOMPARE(query.fieldByName("zjmc").asString(), "Server1");
    QCOMPARE(query.fieldByName("1").asString() + query.fieldByName("2").asString(),
             "integrated security=sspi;persist security info=false;");
    QCOMPARE(query.fieldNames(), QStringList({"zjmc", "1", "2"}));
}

void TestQuerySqlite::letterCaseIsIgnoredBeyondAscii() {
    QVERIFY(runScript(path_,
                      QStringLiteral("INSERT INTO 系统路径表 VALUES ('ÄRGER-ΣΕΡΒΕΡ', '', '');")));
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 系统路径表 where zjmc='ärger-σερβερ'"));
    query.open();
    QCOMPARE(query.recordCount(), 1);
    QCOMPARE(query.fieldByName("zjmc").asString(), "ÄRGER-ΣΕΡΒΕΡ");
}

void TestQuerySqlite::emptyResultIsEofAndReadsNull() {
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 系统路径表 where zjmc='nobody'"));
    query.open();
    QCOMPARE(query.recordCount(), 0);
    QVERIFY(query.eof());
    QCOMPARE(query.currentRow(), -1);
    QCOMPARE(query.fieldByName("1").asString(), QString());
    QCOMPARE(query.fieldByName("2").asInteger(), 0);
    QVERIFY(query.fieldByName("2").isNull());
}

void TestQuerySqlite::appendPostsAtOnce() {
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 系统路径表 where zjmc='127.0.0.1,1433'"));
    query.open();
    QVERIFY(query.eof());
    query.append();
    QVERIFY(!query.eof());
    query.fieldByName("1").setString(QString());
    query.fieldByName("2").setString("password=;persist security info=true;user id=sa;");
    query.fieldByName("zjmc").setString("127.0.0.1,1433");
    query.post();
    QCOMPARE(query.recordCount(), 1);
    QCOMPARE(query.fieldByName("zjmc").asString(), "127.0.0.1,1433");

    Query other(QStringLiteral("ADOserver"));
    other.setConnectionString(jet(path_));
    other.sqlAdd(QStringLiteral("select*from 系统路径表 where zjmc='127.0.0.1,1433'"));
    other.open();
    QCOMPARE(other.recordCount(), 1);
    QCOMPARE(other.fieldByName("2").asString(), "password=;persist security info=true;user id=sa;");
    QVERIFY(!other.fieldByName("1").isNull()); // an empty text stays empty, not NULL
}

void TestQuerySqlite::editRewritesOnlyAssignedColumns() {
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 系统路径表 where zjmc='server1'"));
    query.open();
    query.edit();
    query.fieldByName("1").setString(QString());
    query.fieldByName("2").setString("password=pw;persist security info=true;user id=bob;");
    query.post();

    Query check(QStringLiteral("check"));
    check.setConnectionString(jet(path_));
    check.sqlAdd(QStringLiteral("select*from 系统路径表"));
    check.open();
    QCOMPARE(check.recordCount(), 2);
    QCOMPARE(check.fieldByName("zjmc").asString(), "Server1"); // keeps its first letter case
    QCOMPARE(check.fieldByName("1").asString(), QString());
    QCOMPARE(check.fieldByName("2").asString(),
             "password=pw;persist security info=true;user id=bob;");
    check.next();
    QCOMPARE(check.fieldByName("zjmc").asString(), "服务器二");
    QCOMPARE(check.fieldByName("2").asString(),
             "password=x;persist security info=true;user id=sa;");
}

void TestQuerySqlite::settingFieldInBrowseModeEntersEdit() {
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 系统路径表 where zjmc='服务器二'"));
    query.open();
    QCOMPARE(query.state(), Query::State::Browse);
    query.fieldByName("1").setString("x;");
    QCOMPARE(query.state(), Query::State::Edit);
    query.post();
    QCOMPARE(query.state(), Query::State::Browse);
    query.close();
    query.open();
    QCOMPARE(query.fieldByName("1").asString(), "x;");
}

void TestQuerySqlite::cancelDiscardsChanges() {
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 系统路径表"));
    query.open();
    query.edit();
    query.fieldByName("zjmc").setString("changed");
    query.cancel();
    QCOMPARE(query.fieldByName("zjmc").asString(), "Server1");
    query.append();
    query.fieldByName("zjmc").setString("new");
    query.cancel();
    QCOMPARE(query.recordCount(), 2);
    query.close();
    query.open();
    QCOMPARE(query.recordCount(), 2);
}

void TestQuerySqlite::deleteRemovesRowAndMovesToNeighbour() {
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from line_yesno"));
    query.open();
    query.next(); // on "b"
    query.deleteRow();
    QCOMPARE(query.recordCount(), 2);
    QCOMPARE(query.fieldByName("mc").asString(), "c"); // the next row
    query.deleteRow();
    QCOMPARE(query.fieldByName("mc").asString(), "a"); // the new last row
    query.deleteRow();
    QVERIFY(query.eof());
    QCOMPARE(query.recordCount(), 0);
    QVERIFY_THROWS_EXCEPTION(DbError, query.deleteRow());

    query.close();
    query.open();
    QCOMPARE(query.recordCount(), 0);
}

void TestQuerySqlite::nextWalksToEof() {
    Query query(QStringLiteral("ADOserver"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from line_yesno"));
    query.open();
    QStringList seen;
    while (!query.eof()) {
        seen << query.fieldByName("mc").asString();
        query.next();
    }
    QCOMPARE(seen, QStringList({"a", "b", "c"}));
    QCOMPARE(query.fieldByName("mc").asString(), QString()); // past the end reads as NULL
    query.first();
    QCOMPARE(query.fieldByName("mc").asString(), "a");
}

void TestQuerySqlite::statementLinesJoinWithLineBreaks() {
    Query query(QStringLiteral("ADOserver"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from line_yesno"));
    query.sqlAdd(QStringLiteral("where mc='B'"));
    QCOMPARE(query.sqlText(), "select*from line_yesno\nwhere mc='B'");
    query.open();
    QCOMPARE(query.recordCount(), 1);
    query.sqlClear(); // replacing the text closes the query
    QVERIFY(!query.isActive());
    QCOMPARE(query.sqlText(), QString());
}

void TestQuerySqlite::transferRulesApply() {
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from line_yesno"));
    query.open();
    QCOMPARE(query.fieldByName("yesno").asBoolean(), false); // NULL
    QCOMPARE(query.fieldByName("lk").asInteger(), 0);        // NULL
    query.append();
    query.fieldByName("mc").setString("ABCDEFGHIJKLMNO");
    query.fieldByName("lk").setString(QString());
    query.fieldByName("yesno").setBoolean(true);
    query.fieldByName("mrzk").setString("0.95");
    query.post();
    QCOMPARE(query.fieldByName("mc").asString(), "ABCDEFGHIJKL");
    QVERIFY(query.fieldByName("lk").isNull());
    QVERIFY(query.fieldByName("id").asInteger() > 3); // numbered by the store, read back

    QVERIFY_THROWS_EXCEPTION(DbError, query.fieldByName("lk").setString("abc"));

    query.close();
    query.open();
    while (query.fieldByName("mc").asString() != "ABCDEFGHIJKL")
        query.next();
    QVERIFY(query.fieldByName("lk").isNull());
    QCOMPARE(query.fieldByName("yesno").asBoolean(), true);
    QCOMPARE(query.fieldByName("mrzk").asString(), "0.95");
}

void TestQuerySqlite::datesRoundTrip() {
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 帐套信息表"));
    query.open();
    query.append();
    query.fieldByName("ztmc").setString("帐套一");
    query.fieldByName("jlrq").setDateTime(QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
    query.fieldByName("kl").setString(QString());
    query.fieldByName("zjmc").setString("Server1");
    query.fieldByName("net").setString("是");
    query.post();
    query.close();
    query.sqlClear();
    query.sqlAdd(QStringLiteral("select*from 帐套信息表 where ztmc='帐套一' and zjmc='SERVER1'"));
    query.open();
    QCOMPARE(query.recordCount(), 1);
    QCOMPARE(query.fieldByName("jlrq").asDateTime(), QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
    QCOMPARE(query.fieldByName("net").asString(), "是");
    QVERIFY_THROWS_EXCEPTION(DbError, query.fieldByName("jlrq").setString("2026-13-45"));
}

void TestQuerySqlite::closedQueryCountFailsWithObjectName() {
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(path_));
    QCOMPARE(errorText([&] { query.recordCount(); }),
             "ADOQuery2: Cannot perform this operation on a closed dataset");
    query.sqlAdd(QStringLiteral("select*from 系统路径表"));
    query.open();
    query.close();
    QCOMPARE(errorText([&] { query.recordCount(); }),
             "ADOQuery2: Cannot perform this operation on a closed dataset");
}

void TestQuerySqlite::missingFileIsAnErrorAndNotCreated() {
    const QString missing = dir_.filePath(QStringLiteral("absent/CHWHDB.mdb"));
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(missing));
    query.sqlAdd(QStringLiteral("select*from 系统路径表"));
    QVERIFY(errorText([&] { query.open(); }) != "<no error>");
    QVERIFY(!QFile::exists(missing));
    const QString sibling = dir_.filePath(QStringLiteral("none.mdb"));
    query.setConnectionString(jet(sibling));
    QVERIFY_THROWS_EXCEPTION(DbError, query.open());
    QVERIFY(!QFile::exists(sibling));
}

void TestQuerySqlite::missingTableCarriesProviderText() {
    Query query(QStringLiteral("ADOserver"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 打印设置表1"));
    try {
        query.open();
        QFAIL("no error");
    } catch (const DbError& error) {
        QCOMPARE(error.text(), "no such table: 打印设置表1");
        QCOMPARE(error.number(), SQLITE_ERROR);
    }
    QVERIFY(!query.isActive());
}

void TestQuerySqlite::missingFieldNamesColumn() {
    Query query(QStringLiteral("ADOserver"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 系统路径表"));
    query.open();
    QCOMPARE(errorText([&] { query.fieldByName("3"); }), "ADOserver: Field '3' not found");
    QCOMPARE(query.fieldByName("ZJMC").asString(), "Server1"); // names ignore letter case
}

void TestQuerySqlite::fieldKeptFromEarlierResultFailsCleanly() {
    Query query(QStringLiteral("ADOserver"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from line_yesno"));
    query.open();
    const zt::db::Field last = query.fieldByName("mrzk"); // the sixth column
    QCOMPARE(last.asString(), QString());
    query.close();
    QCOMPARE(errorText([&] { last.asString(); }),
             "ADOserver: Cannot perform this operation on a closed dataset");
    query.sqlClear();
    query.sqlAdd(QStringLiteral("select mc from line_yesno"));
    query.open();
    QCOMPARE(errorText([&] { last.asString(); }),
             "ADOserver: Field no longer belongs to the open result");
}

void TestQuerySqlite::openOfNonSelectFails() {
    Query query(QStringLiteral("ADOserver"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("update line_yesno set lk = 1"));
    QVERIFY_THROWS_EXCEPTION(DbError, query.open());
    QVERIFY(!query.isActive());
    query.execSql();
    query.sqlClear();
    query.sqlAdd(QStringLiteral("select*from line_yesno where lk = 1"));
    query.open();
    QCOMPARE(query.recordCount(), 3);
}

void TestQuerySqlite::connectionFollowsConnectionString() {
    const QString second = dir_.filePath(QStringLiteral("second.mdb"));
    QVERIFY(runScript(
        second, QStringLiteral("CREATE TABLE 系统路径表 (zjmc TEXT, \"1\" TEXT, \"2\" TEXT);")));
    Query query(QStringLiteral("ADOQuery2"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from 系统路径表"));
    query.open();
    QCOMPARE(query.recordCount(), 2);
    query.setConnectionString(jet(second));
    QVERIFY(!query.isActive());
    query.open();
    QCOMPARE(query.recordCount(), 0);
}

void TestQuerySqlite::quotedLiteralDoublesQuotes() {
    QCOMPARE(zt::db::quotedLiteral("O'Brien"), "'O''Brien'");
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("insert into 系统路径表 (zjmc) values (%1)")
                     .arg(zt::db::quotedLiteral("it's")));
    query.execSql();
    query.sqlClear();
    query.sqlAdd("select*from 系统路径表 where zjmc=" + zt::db::quotedLiteral("IT'S"));
    query.open();
    QCOMPARE(query.recordCount(), 1);
}

void TestQuerySqlite::tableModelFollowsCurrentRow() {
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from line_yesno"));
    zt::db::QueryTableModel model(query, QStringLiteral("mc"));
    QCOMPARE(model.rowCount(), 0);
    QSignalSpy moved(&model, &zt::db::QueryTableModel::currentRowChanged);

    query.open();
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 1);
    QCOMPARE(model.data(model.index(1, 0)).toString(), "b");
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), "mc");
    QCOMPARE(model.currentRow(), 0);

    query.next();
    QCOMPARE(moved.last().first().toInt(), 1);
    model.setCurrentRow(2);
    QCOMPARE(query.fieldByName("mc").asString(), "c");

    query.deleteRow();
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.currentRow(), 1);
    QCOMPARE(model.data(model.index(1, 0)).toString(), "b");
    query.close();
    QCOMPARE(model.rowCount(), 0);
}

void TestQuerySqlite::queryOutlivesItsModel() {
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(jet(path_));
    query.sqlAdd(QStringLiteral("select*from line_yesno"));
    {
        zt::db::QueryTableModel model(query, QStringLiteral("mc"));
        query.open();
        QCOMPARE(model.rowCount(), 3);
    }
    query.next(); // nobody to tell any more
    query.close();
    query.open();
    QCOMPARE(query.recordCount(), 3);
}

QTEST_GUILESS_MAIN(TestQuerySqlite)
#include "tst_query_sqlite.moc"
