// Query objects over SQL Server through unixODBC and the FreeTDS driver, against zt-devserver.
// Every function gets a server of its own and makes the database and rows it needs.
#include "db/batches.h"
#include "db/odbc_provider.h"
#include "db/query.h"
#include "db/sql_literal.h"
#include "tests/support/devserver_process.h"
#include "tests/support/no_throw.h"

#include <QFile>
#include <QTest>

#include <functional>
#include <memory>

using zt::db::DbError;
using zt::db::Query;

namespace {

struct Failure {
    QString text;
    int number = -1;
};

Failure failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DbError& error) {
        return {error.text(), error.number()};
    }
    return {QStringLiteral("<no error>"), -1};
}

const QString kDatabase = QStringLiteral("帐套测试");

// The last statement the server traced that starts with `start`.
QString lastTraced(const zt::test::DevServerProcess& server, const QString& start) {
    QFile trace(server.traceFile());
    if (!trace.open(QIODevice::ReadOnly))
        return {};
    const QStringList batches =
        QString::fromUtf8(trace.readAll()).split(QStringLiteral("\nGO\n"), Qt::SkipEmptyParts);
    for (auto it = batches.crbegin(); it != batches.crend(); ++it) {
        if (it->trimmed().startsWith(start))
            return it->trimmed();
    }
    return {};
}

} // namespace

class TestQueryOdbc : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void stripsDriverPrefixes_data();
    void stripsDriverPrefixes();
    void createsDatabaseAndTables();
    void duplicateDatabaseCarriesServerError();
    void missingTableCarriesServerError();
    void appendsWithIdentityReadBack();
    void appendsAssignOnlyGivenColumns();
    void editsAndDeletesByIdentity();
    void editsAndDeletesByPrimaryKey();
    void editsAndDeletesByAllValuesWithoutKey();
    void transferRulesFollowColumnMetadata();
    void unconvertibleDateStops();
    void valuesTravelAsParameters();
    void closedQueryCountFails();
    void failedLoginCarriesServerError();
    void passwordWithSemicolonAndBraceLogsIn();
    void unreachableServerFails();
    void integratedSecurityIsRefusedByThisServer();
    void connectionIsReopenedWhenStringChanges();
    void transactionOfBatchesFailsWhole_data();
    void transactionOfBatchesFailsWhole();

private:
    QString credentials() const {
        return QStringLiteral("password=;persist security info=true;user id=sa;");
    }
    QString serverLevel() const {
        return "Provider=SQLOLEDB.1;" + credentials() + "Data Source=" + server_->dataSource();
    }
    QString oneDatabase() const {
        return "Provider=SQLOLEDB.1;" + credentials() + "Initial Catalog=" + kDatabase +
               ";Data Source=" + server_->dataSource();
    }
    void exec(Query& query, const QString& sql) {
        query.close();
        query.sqlClear();
        query.sqlAdd(sql);
        query.execSql();
    }
    void open(Query& query, const QString& sql) {
        query.close();
        query.sqlClear();
        query.sqlAdd(sql);
        query.open();
    }
    // The test database with 打印设置表1 (an identity), CHdatebase (a primary key) and
    // 无键表 (no key), all empty.
    bool createDatabaseAndTables();
    // Rows 模板1 to 模板3 of 打印设置表1, ids 1 to 3, column 2 holding 10, 20 and 30.
    bool addTemplateRows();

    std::unique_ptr<zt::test::DevServerProcess> server_;
};

void TestQueryOdbc::init() {
    server_ = std::make_unique<zt::test::DevServerProcess>();
    QVERIFY(server_->start());
}

void TestQueryOdbc::cleanup() {
    server_.reset();
}

bool TestQueryOdbc::createDatabaseAndTables() {
    return zt::test::succeeds("create the test database", [this] {
        Query server(QStringLiteral("ADOQuery3"));
        server.setConnectionString(serverLevel());
        exec(server, "create database " + kDatabase);

        Query create(QStringLiteral("ADOcreate"));
        create.setConnectionString(oneDatabase());
        exec(create, QStringLiteral("CREATE TABLE [dbo].[打印设置表1] (\n"
                                    "[id] [int] IDENTITY (1, 1) NOT NULL , \n"
                                    "[model] [nvarchar] (12) COLLATE Chinese_PRC_CI_AS NULL , \n"
                                    "[1] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , \n"
                                    "[2] [int] NULL , \n"
                                    "[yesno] [bit] NOT NULL , \n"
                                    "[qyrq] [smalldatetime] NULL , \n"
                                    "[mrzk] [float] NULL , \n"
                                    "[je] [money] NULL \n"
                                    ") ON [PRIMARY]"));
        exec(create, QStringLiteral("CREATE TABLE [dbo].[CHdatebase] (\n"
                                    "[ztmc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NOT NULL "
                                    "Primary Key, \n"
                                    "[kl] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , \n"
                                    "[zjmc] [nvarchar] (100) COLLATE Chinese_PRC_CI_AS NULL \n"
                                    ") ON [PRIMARY]"));
        exec(create, QStringLiteral("CREATE TABLE [dbo].[无键表] (\n"
                                    "[mc] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , \n"
                                    "[sl] [int] NULL \n"
                                    ") ON [PRIMARY]"));
    });
}

bool TestQueryOdbc::addTemplateRows() {
    return zt::test::succeeds("add the template rows", [this] {
        Query query(QStringLiteral("check"));
        query.setConnectionString(oneDatabase());
        for (int i = 1; i <= 3; ++i)
            exec(query, QStringLiteral("insert into 打印设置表1 (model, [1], [2], yesno) "
                                       "values (N'模板%1', N'第一列', %2, %3)")
                            .arg(i)
                            .arg(i * 10)
                            .arg(i % 2));
    });
}

void TestQueryOdbc::stripsDriverPrefixes_data() {
    QTest::addColumn<QString>("diagnostic");
    QTest::addColumn<QString>("text");
    QTest::newRow("server") << "[FreeTDS][SQL Server]Invalid object name 'x'."
                            << "Invalid object name 'x'.";
    QTest::newRow("driver manager") << "[unixODBC][FreeTDS][SQL Server]Login failed for user 'sa'."
                                    << "Login failed for user 'sa'.";
    QTest::newRow("bracket inside text") << "[FreeTDS][SQL Server]Invalid column name '[a]'."
                                         << "Invalid column name '[a]'.";
    QTest::newRow("none") << "plain"
                          << "plain";
}

void TestQueryOdbc::stripsDriverPrefixes() {
    QFETCH(QString, diagnostic);
    QFETCH(QString, text);
    QCOMPARE(zt::db::serverMessageText(diagnostic), text);
}

void TestQueryOdbc::createsDatabaseAndTables() {
    QVERIFY(createDatabaseAndTables());
    Query create(QStringLiteral("ADOcreate"));
    create.setConnectionString(oneDatabase());
    open(create, QStringLiteral("select*from 打印设置表1"));
    QCOMPARE(create.recordCount(), 0);
    QVERIFY(create.eof());
    QCOMPARE(create.fieldNames(),
             QStringList({"id", "model", "1", "2", "yesno", "qyrq", "mrzk", "je"}));
}

void TestQueryOdbc::duplicateDatabaseCarriesServerError() {
    QVERIFY(createDatabaseAndTables());
    Query server(QStringLiteral("ADOQuery3"));
    server.setConnectionString(serverLevel());
    const Failure failure = failureOf([&] { exec(server, "create database " + kDatabase); });
    QCOMPARE(failure.number, 1801);
    QCOMPARE(failure.text,
             "Database '" + kDatabase + "' already exists. Choose a different database name.");
}

void TestQueryOdbc::missingTableCarriesServerError() {
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(oneDatabase());
    const Failure failure = failureOf([&] { open(query, QStringLiteral("select*from 不存在")); });
    QCOMPARE(failure.number, 208);
    QCOMPARE(failure.text, "Invalid object name '不存在'.");
    QVERIFY(!query.isActive());
}

void TestQueryOdbc::appendsWithIdentityReadBack() {
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(oneDatabase());
    open(query, QStringLiteral("select*from 打印设置表1"));
    for (int i = 1; i <= 3; ++i) {
        query.append();
        query.fieldByName("model").setString(QStringLiteral("模板%1").arg(i));
        query.fieldByName("1").setString(QStringLiteral("第一列"));
        query.fieldByName("2").setInteger(i * 10);
        query.fieldByName("yesno").setBoolean(i % 2 == 1);
        query.post();
        QCOMPARE(query.fieldByName("id").asInteger(), i);
    }
    QCOMPARE(query.recordCount(), 3);

    Query check(QStringLiteral("check"));
    check.setConnectionString(oneDatabase());
    open(check, QStringLiteral("select*from 打印设置表1 where model='模板2'"));
    QCOMPARE(check.recordCount(), 1);
    QCOMPARE(check.fieldByName("id").asInteger(), 2);
    QCOMPARE(check.fieldByName("1").asString(), "第一列");
    QCOMPARE(check.fieldByName("2").asInteger(), 20);
    QCOMPARE(check.fieldByName("yesno").asBoolean(), false);
    QVERIFY(check.fieldByName("qyrq").isNull());
}

void TestQueryOdbc::appendsAssignOnlyGivenColumns() {
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(oneDatabase());
    open(query, QStringLiteral("select*from 打印设置表1"));
    query.append();
    query.fieldByName("model").setString(QStringLiteral("空"));
    query.fieldByName("yesno").setBoolean(false);
    query.post();
    const int id = query.fieldByName("id").asInteger();

    Query check(QStringLiteral("check"));
    check.setConnectionString(oneDatabase());
    open(check, QStringLiteral("select*from 打印设置表1 where id=%1").arg(id));
    QVERIFY(check.fieldByName("1").isNull());
    QCOMPARE(check.fieldByName("2").asInteger(), 0); // NULL reads as 0
    QCOMPARE(check.fieldByName("1").asString(), QString());
}

void TestQueryOdbc::editsAndDeletesByIdentity() {
    QVERIFY(createDatabaseAndTables());
    QVERIFY(addTemplateRows());
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(oneDatabase());
    open(query, QStringLiteral("select*from 打印设置表1 where model like '模板%'"));
    QCOMPARE(query.recordCount(), 3);
    query.next();
    query.edit();
    query.fieldByName("2").setInteger(99);
    query.post();
    QCOMPARE(lastTraced(*server_, "UPDATE"), "UPDATE [打印设置表1] SET [2] = @P1 WHERE [id] = @P2");
    query.deleteRow(); // "模板2" goes; the position moves to "模板3"
    QCOMPARE(lastTraced(*server_, "DELETE"), "DELETE FROM [打印设置表1] WHERE [id] = @P1");
    QCOMPARE(query.fieldByName("model").asString(), "模板3");
    QCOMPARE(query.recordCount(), 2);

    Query check(QStringLiteral("check"));
    check.setConnectionString(oneDatabase());
    open(check, QStringLiteral("select*from 打印设置表1 where model like '模板%'"));
    QCOMPARE(check.recordCount(), 2);
    QCOMPARE(check.fieldByName("model").asString(), "模板1");
    QCOMPARE(check.fieldByName("2").asInteger(), 10);
    check.next();
    QCOMPARE(check.fieldByName("model").asString(), "模板3");
}

void TestQueryOdbc::editsAndDeletesByPrimaryKey() {
    QVERIFY(createDatabaseAndTables());
    Query registry(QStringLiteral("ADOQuery1"));
    registry.setConnectionString(oneDatabase());
    open(registry, QStringLiteral("select*from CHdatebase"));
    for (const QString& name : {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")}) {
        registry.append();
        registry.fieldByName("ztmc").setString(name);
        registry.fieldByName("kl").setString(QStringLiteral("口令"));
        registry.fieldByName("zjmc").setString(server_->dataSource());
        registry.post();
    }
    open(registry, QStringLiteral("select*from CHdatebase where ztmc='乙'"));
    registry.fieldByName("kl").setString(QStringLiteral("新口令")); // implicit edit
    registry.post();
    open(registry, QStringLiteral("select*from CHdatebase where ztmc='乙'"));
    QCOMPARE(registry.fieldByName("kl").asString(), "新口令");
    QCOMPARE(lastTraced(*server_, "UPDATE"),
             "UPDATE [CHdatebase] SET [kl] = @P1 WHERE [ztmc] = @P2");
    registry.deleteRow();
    QVERIFY(registry.eof());
    QCOMPARE(lastTraced(*server_, "DELETE"), "DELETE FROM [CHdatebase] WHERE [ztmc] = @P1");
    open(registry, QStringLiteral("select*from CHdatebase"));
    QCOMPARE(registry.recordCount(), 2);
}

void TestQueryOdbc::editsAndDeletesByAllValuesWithoutKey() {
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(oneDatabase());
    open(query, QStringLiteral("select*from 无键表"));
    query.append();
    query.fieldByName("mc").setString(QStringLiteral("一"));
    query.post();
    query.append();
    query.fieldByName("mc").setString(QStringLiteral("二"));
    query.fieldByName("sl").setInteger(2);
    query.post();
    query.first();
    query.edit();
    query.fieldByName("sl").setInteger(1); // the original sl is NULL
    query.post();
    QCOMPARE(lastTraced(*server_, "UPDATE"),
             "UPDATE [无键表] SET [sl] = @P1 WHERE [mc] = @P2 AND [sl] IS NULL");
    query.next();
    query.deleteRow();
    QCOMPARE(lastTraced(*server_, "DELETE"),
             "DELETE FROM [无键表] WHERE [mc] = @P1 AND [sl] = @P2");
    open(query, QStringLiteral("select*from 无键表"));
    QCOMPARE(query.recordCount(), 1);
    QCOMPARE(query.fieldByName("mc").asString(), "一");
    QCOMPARE(query.fieldByName("sl").asInteger(), 1);
}

void TestQueryOdbc::transferRulesFollowColumnMetadata() {
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(oneDatabase());
    open(query, QStringLiteral("select*from 打印设置表1"));
    query.append();
    query.fieldByName("model").setString(QStringLiteral("ABCDEFGHIJKLMNO")); // nvarchar(12)
    query.fieldByName("1").setString(QString());                             // stays empty
    query.fieldByName("2").setString(QString());                             // int: NULL
    query.fieldByName("yesno").setBoolean(true);
    query.fieldByName("qyrq").setString(QStringLiteral("2026-03-01"));
    query.fieldByName("mrzk").setString(QStringLiteral("0.95"));
    query.fieldByName("je").setString(QStringLiteral("12.5"));
    query.post();
    const int id = query.fieldByName("id").asInteger();

    Query check(QStringLiteral("check"));
    check.setConnectionString(oneDatabase());
    open(check, QStringLiteral("select*from 打印设置表1 where id=%1").arg(id));
    QCOMPARE(check.fieldByName("model").asString(), "ABCDEFGHIJKL");
    QVERIFY(!check.fieldByName("1").isNull());
    QCOMPARE(check.fieldByName("1").asString(), QString());
    QVERIFY(check.fieldByName("2").isNull());
    QCOMPARE(check.fieldByName("2").asInteger(), 0);
    QCOMPARE(check.fieldByName("yesno").asBoolean(), true);
    QCOMPARE(check.fieldByName("qyrq").asDateTime(), QDateTime(QDate(2026, 3, 1), QTime(0, 0)));
    QCOMPARE(check.fieldByName("mrzk").asString(), "0.95");
    QCOMPARE(check.fieldByName("je").asString(), "12.5");
}

void TestQueryOdbc::unconvertibleDateStops() {
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(oneDatabase());
    open(query, QStringLiteral("select*from 打印设置表1"));
    const int before = query.recordCount();
    query.append();
    const Failure failure =
        failureOf([&] { query.fieldByName("qyrq").setString(QStringLiteral("明天")); });
    QVERIFY2(failure.text.contains("qyrq") && failure.text.contains("明天"),
             qPrintable(failure.text));
    query.cancel();
    open(query, QStringLiteral("select*from 打印设置表1"));
    QCOMPARE(query.recordCount(), before);
}

void TestQueryOdbc::valuesTravelAsParameters() {
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(oneDatabase());
    open(query, QStringLiteral("select*from 无键表"));
    const QString tricky = QStringLiteral("x'); drop table 无键表;--");
    query.append();
    query.fieldByName("mc").setString(tricky);
    query.post();
    QCOMPARE(lastTraced(*server_, "INSERT"), "INSERT INTO [无键表] ([mc]) VALUES (@P1)");
    open(query, "select*from 无键表 where mc=" + zt::db::quotedLiteral(tricky.left(20)));
    QCOMPARE(query.recordCount(), 1);
    QCOMPARE(query.fieldByName("mc").asString(), tricky.left(20));
}

void TestQueryOdbc::closedQueryCountFails() {
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(oneDatabase());
    open(query, QStringLiteral("select*from 无键表"));
    query.close();
    QCOMPARE(failureOf([&] { query.recordCount(); }).text,
             "ADOQuery1: Cannot perform this operation on a closed dataset");
}

void TestQueryOdbc::failedLoginCarriesServerError() {
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString("Provider=SQLOLEDB.1;Password=wrong;Persist Security Info=True;"
                              "User ID=sa;Data Source=" +
                              server_->dataSource());
    const Failure failure = failureOf([&] { exec(query, "create database abcde12345"); });
    QCOMPARE(failure.number, 18456);
    QCOMPARE(failure.text, "Login failed for user 'sa'.");
}

void TestQueryOdbc::passwordWithSemicolonAndBraceLogsIn() {
    zt::test::DevServerProcess server({QStringLiteral("--login"), QStringLiteral("张三:p;w}")});
    QVERIFY(server.start());
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString("Provider=SQLOLEDB.1;Password='p;w}';Persist Security Info=True;"
                              "User ID=张三;Data Source=" +
                              server.dataSource());
    open(query, QStringLiteral("select db_name()"));
    QCOMPARE(query.textAt(0, query.fieldNames().first()), "master");
}

void TestQueryOdbc::unreachableServerFails() {
    zt::test::DevServerProcess stopped;
    QVERIFY(stopped.start());
    const QString dataSource = stopped.dataSource();
    stopped.stop();
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString("Provider=SQLOLEDB.1;Password=;Persist Security Info=True;"
                              "User ID=sa;Data Source=" +
                              dataSource);
    const Failure failure = failureOf([&] { exec(query, "create database abcde12345"); });
    QVERIFY2(failure.text != "<no error>" && !failure.text.isEmpty(), qPrintable(failure.text));
}

void TestQueryOdbc::integratedSecurityIsRefusedByThisServer() {
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                              "Info=False;Data Source=" +
                              server_->dataSource());
    const Failure failure = failureOf([&] { exec(query, "create database abcde12345"); });
    QVERIFY2(failure.text != "<no error>", "an SSPI login must not succeed here");
}

void TestQueryOdbc::connectionIsReopenedWhenStringChanges() {
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOQuery3"));
    query.setConnectionString(serverLevel());
    open(query, QStringLiteral("select db_name()"));
    QCOMPARE(query.fieldNames().size(), 1);
    QCOMPARE(query.textAt(0, query.fieldNames().first()), "master");
    query.setConnectionString(oneDatabase());
    open(query, QStringLiteral("select db_name()"));
    QCOMPARE(query.textAt(0, query.fieldNames().first()), kDatabase);
}

void TestQueryOdbc::transactionOfBatchesFailsWhole_data() {
    QTest::addColumn<QString>("bad");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("perBatch");
    const QString duplicate = QStringLiteral("insert into CHdatebase (ztmc) values (N'甲')");
    const QString nullIntoNotNull = QStringLiteral("insert into 打印设置表1 (model) values (N'x')");
    const QString tooLong =
        QStringLiteral("insert into 打印设置表1 (model, yesno) values (N'%1', 1)")
            .arg(QString(13, u'长'));
    // Statement-level errors: without XACT_ABORT the server would go on and commit the rest.
    for (const int perBatch : {100, 1}) {
        QTest::addRow("duplicate key, %d a batch", perBatch) << duplicate << 2627 << perBatch;
        QTest::addRow("NULL into NOT NULL, %d a batch", perBatch)
            << nullIntoNotNull << 515 << perBatch;
        QTest::addRow("cut text, %d a batch", perBatch) << tooLong << 8152 << perBatch;
    }
}

void TestQueryOdbc::transactionOfBatchesFailsWhole() {
    QFETCH(QString, bad);
    QFETCH(int, number);
    QFETCH(int, perBatch);
    QVERIFY(createDatabaseAndTables());
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(oneDatabase());
    const QStringList statements = {
        QStringLiteral("insert into CHdatebase (ztmc) values (N'甲')"),
        QStringLiteral("insert into 打印设置表1 (model, yesno) values (N'ok', 1)"), bad,
        QStringLiteral("insert into 无键表 (mc) values (N'after')")};
    zt::db::BatchPlan plan;
    plan.statementsPerBatch = perBatch;
    plan.transaction = true;
    QCOMPARE(failureOf([&] { zt::db::executeInBatches(query, statements, plan); }).number, number);
    for (const char* table : {"CHdatebase", "打印设置表1", "无键表"}) {
        open(query, QStringLiteral("select count(*) as n from ") + QString::fromUtf8(table));
        QCOMPARE(query.fieldByName(QStringLiteral("n")).asInteger(), 0);
    }
}

QTEST_GUILESS_MAIN(TestQueryOdbc)
#include "tst_query_odbc.moc"
