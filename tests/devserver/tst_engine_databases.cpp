// Logins, databases, permissions, backup and restore, durability: the Engine called directly.

#include "engine_fixture.h"

#include "devserver/storage/database_file.h"

#include <QFile>

using namespace zt::test;
using ztds::StatementResult;

class EngineDatabasesTest : public QObject {
    Q_OBJECT

private slots:
    void loginRefusals_data();
    void loginRefusals();
    void loginNamesIgnoreCase();
    void createUseDropDatabase();
    void databaseNamesIgnoreCase();
    void unquotedNameRules_data();
    void unquotedNameRules();
    void existingDatabase();
    void dropMissingAndInUse();
    void useMissing();
    void rolePermissions_data();
    void rolePermissions();
    void guestInMaster_data();
    void guestInMaster();
    void guestSeesCatalog_data();
    void guestSeesCatalog();
    void ownerIsWhoCreatedOrRestored();
    void chineseDatabaseNameRoundTrip();
    void restartKeepsData();
    void backupAndRestore();
    void restoreMissingFile();
    void restoreOverAnotherDatabase();
    void restoreRefusedWhileInUse();
    void syntaxErrorStopsWholeBatch();
    void failedUseLetsBatchGoOn();
    void systemDatabases_data();
    void systemDatabases();
    void modelTablesInEveryNewDatabase();
    void tempdbStartsEmpty();
    void backupOverwritesOnlyItsOwnBackup_data();
    void backupOverwritesOnlyItsOwnBackup();
    void sessionBuiltins_data();
    void sessionBuiltins();
    void renameForms_data();
    void renameForms();
    void renameRefusals_data();
    void renameRefusals();
    void renameRefusedWhileInUse();
    void renameOwnCurrentDatabase();
    void renameChangesCaseOnly();
    void renameSurvivesRestart();
    void renameCutShortIsSettled();
    void createKeepsFileInTheWay();
};

void EngineDatabasesTest::loginRefusals_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");
    QTest::addColumn<bool>("integrated");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QString>("lastText");
    QTest::newRow("wrong password")
        << "sa"
        << "x"
        << "" << false << QList<int>{18456} << "Login failed for user 'sa'.";
    QTest::newRow("unknown user") << "nobody"
                                  << ""
                                  << "" << false << QList<int>{18456}
                                  << "Login failed for user 'nobody'.";
    QTest::newRow("password case counts")
        << "bob"
        << "PW"
        << "" << false << QList<int>{18456} << "Login failed for user 'bob'.";
    QTest::newRow("integrated security") << ""
                                         << ""
                                         << "" << true << QList<int>{18452}
                                         << "Login failed. The login is from an untrusted domain "
                                            "and cannot be used with Integrated authentication.";
    QTest::newRow("missing catalog")
        << "sa"
        << ""
        << "nosuchdb" << false << QList<int>{4060, 18456} << "Login failed for user 'sa'.";
}

void EngineDatabasesTest::loginRefusals() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, database);
    QFETCH(bool, integrated);
    QFETCH(QList<int>, numbers);
    QFETCH(QString, lastText);
    EngineFixture f;
    auto outcome = f.engine->login(user, password, database, integrated);
    QVERIFY(!outcome.session);
    QList<int> got;
    for (const auto& m : outcome.messages)
        got << m.number;
    QCOMPARE(got, numbers);
    QCOMPARE(outcome.messages.back().text, lastText);
    QCOMPARE(int(outcome.messages.back().severity), 14);
    if (numbers.size() == 2)
        QCOMPARE(outcome.messages.front().text,
                 QStringLiteral("Cannot open database \"nosuchdb\" requested by the login. The "
                                "login failed."));
}

void EngineDatabasesTest::loginNamesIgnoreCase() {
    EngineFixture f;
    auto s = f.login(QStringLiteral("SA"), QString(), QStringLiteral("MASTER"));
    QVERIFY(s);
    QCOMPARE(s->currentDatabase(), QStringLiteral("master"));
}

void EngineDatabasesTest::createUseDropDatabase() {
    EngineFixture f;
    auto s = f.login();
    QCOMPARE(s->currentDatabase(), QStringLiteral("master"));
    ZT_EXEC(*s, "create database abcde12345");
    ZT_EXEC(*s, "drop database abcde12345");
    ZT_EXEC(*s, "create database Books");
    const StatementResult use = run(*s, "use books");
    QVERIFY(!use.failed);
    QCOMPARE(use.newDatabase.value_or(QString()), QStringLiteral("Books"));
    QCOMPARE(use.messages.size(), size_t(1));
    QCOMPARE(use.messages[0].number, 5701);
    QCOMPARE(int(use.messages[0].severity), 0);
    QCOMPARE(use.messages[0].text, QStringLiteral("Changed database context to 'Books'."));
    QCOMPARE(s->currentDatabase(), QStringLiteral("Books"));
    const StatementResult name = run(*s, "SELECT DB_NAME()");
    QCOMPARE(textAt(name, 0, 0), QStringLiteral("Books"));
}

void EngineDatabasesTest::databaseNamesIgnoreCase() {
    EngineFixture f;
    auto s = f.login();
    ZT_EXEC(*s, "create database [Ａbc]");
    // Full-width letters fold like others, so this is the same database.
    QCOMPARE(firstError(run(*s, "create database [ａBC]")), 1801);
    QCOMPARE(firstError(run(*s, "create database ABC")), 1801);
    ZT_EXEC(*s, "use [ａbc]");
    QCOMPARE(s->currentDatabase(), QStringLiteral("Ａbc"));
}

void EngineDatabasesTest::unquotedNameRules_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("blank") << "create database my books" << 102 << "Incorrect syntax near 'books'.";
    QTest::newRow("leading digit")
        << "create database 2024books" << 102 << "Incorrect syntax near '2024'.";
    QTest::newRow("keyword") << "create database table" << 156
                             << "Incorrect syntax near the keyword 'table'.";
    QTest::newRow("nothing") << "create database" << 156
                             << "Incorrect syntax near the keyword 'database'.";
    QTest::newRow("empty brackets")
        << "create database []" << 1038
        << "An object or column name is missing or empty. For SELECT INTO statements, verify each "
           "column has a name. For other statements, look for empty alias names. Aliases defined "
           "as \"\" or [] are not allowed. Change the alias to a valid name.";
    QTest::newRow("unclosed bracket")
        << "create database [abc" << 105
        << "Unclosed quotation mark after the character string 'abc'.";
}

void EngineDatabasesTest::unquotedNameRules() {
    QFETCH(QString, statement);
    QFETCH(int, number);
    QFETCH(QString, text);
    EngineFixture f;
    auto s = f.login();
    const StatementResult r = run(*s, statement);
    QVERIFY(r.failed);
    QCOMPARE(r.messages.front().number, number);
    QCOMPARE(r.messages.front().text, text);
    QCOMPARE(int(r.messages.front().severity), 15);
    // Quoted, the same names are fine.
    ZT_EXEC(*s, "create database [my books]");
    ZT_EXEC(*s, "create database [2024books]");
    ZT_EXEC(*s, "create database 澄桦3000商业例子帐");
}

void EngineDatabasesTest::existingDatabase() {
    EngineFixture f;
    auto s = f.login();
    ZT_EXEC(*s, "create database shop");
    const StatementResult r = run(*s, "create database SHOP");
    QCOMPARE(firstError(r), 1801);
    QCOMPARE(firstErrorText(r),
             QStringLiteral("Database 'SHOP' already exists. Choose a different database name."));
    QCOMPARE(firstError(run(*s, "create database master")), 1801);
}

void EngineDatabasesTest::dropMissingAndInUse() {
    EngineFixture f;
    auto s = f.login();
    StatementResult r = run(*s, "drop database nothere");
    QCOMPARE(firstError(r), 3701);
    QCOMPARE(firstErrorText(r), QStringLiteral("Cannot drop the database 'nothere', because it "
                                               "does not exist or you do not have permission."));
    ZT_EXEC(*s, "create database busy");
    auto other = f.login(QStringLiteral("sa"), QString(), QStringLiteral("busy"));
    QVERIFY(other);
    r = run(*s, "drop database busy");
    QCOMPARE(firstError(r), 3702);
    QCOMPARE(firstErrorText(r),
             QStringLiteral("Cannot drop database \"busy\" because it is currently in use."));
    ZT_EXEC(*other, "use master");
    ZT_EXEC(*s, "drop database busy");
    QCOMPARE(firstError(run(*s, "use busy")), 911);
}

void EngineDatabasesTest::useMissing() {
    EngineFixture f;
    auto s = f.login();
    const StatementResult r = run(*s, "use nowhere");
    QCOMPARE(firstError(r), 911);
    QCOMPARE(firstErrorText(r), QStringLiteral("Database 'nowhere' does not exist. Make sure that "
                                               "the name is entered correctly."));
    QVERIFY(!r.newDatabase);
    QCOMPARE(s->currentDatabase(), QStringLiteral("master"));
}

void EngineDatabasesTest::rolePermissions_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    const QString noDb = "CREATE DATABASE permission denied in database 'master'.";
    const QString noTableMaster = "CREATE TABLE permission denied in database 'master'.";
    QTest::newRow("public create database") << "bob"
                                            << "create database x1" << 262 << noDb;
    QTest::newRow("public create table in master")
        << "bob"
        << "create table t (a int)" << 262 << noTableMaster;
    // shop is sa's, and guest is off in a database made from model.
    QTest::newRow("public uses another's database")
        << "bob"
        << "use shop" << 916
        << "The server principal \"bob\" is not able to access the database \"shop\" under "
           "the current security context.";
    QTest::newRow("public drop database")
        << "bob"
        << "drop database shop" << 3701
        << "Cannot drop the database 'shop', because it does not exist or you do not have "
           "permission.";
    QTest::newRow("public backup") << "bob"
                                   << "backup database shop to disk='x.bak'" << 262
                                   << "BACKUP DATABASE permission denied in database 'shop'.";
    QTest::newRow("dbcreator create table in master")
        << "creator"
        << "create table t (a int)" << 262 << noTableMaster;
    QTest::newRow("dbcreator create database") << "creator"
                                               << "create database x2" << 0 << "";
    QTest::newRow("dbcreator is dbo in its own database")
        << "creator"
        << "create database mine; use mine; create table t2 (a int); insert into t2 values (1);"
           "select * from t2; update t2 set a = 2; delete from t2; drop table t2"
        << 0 << "";
    QTest::newRow("dbcreator drops its own database")
        << "creator"
        << "create database x3; drop database x3" << 0 << "";
    QTest::newRow("dbcreator drop another's database")
        << "creator"
        << "drop database shop" << 3701
        << "Cannot drop the database 'shop', because it does not exist or you do not have "
           "permission.";
    QTest::newRow("dbcreator rename another's database")
        << "creator"
        << "alter database shop modify name = shop2" << 5011
        << "User does not have permission to alter database 'shop', the database does not "
           "exist, or the database is not in a state that allows access checks.";
    QTest::newRow("dbcreator backup another's database")
        << "creator"
        << "backup database shop to disk='y.bak'" << 262
        << "BACKUP DATABASE permission denied in database 'shop'.";
    QTest::newRow("dbcreator three-part name into another's database")
        << "creator"
        << "select * from shop.dbo.t" << 916
        << "The server principal \"creator\" is not able to access the database \"shop\" "
           "under the current security context.";
}

void EngineDatabasesTest::rolePermissions() {
    QFETCH(QString, user);
    QFETCH(QString, statement);
    QFETCH(int, number);
    QFETCH(QString, text);
    EngineFixture f;
    {
        auto admin = f.login();
        ZT_EXEC(*admin, "create database shop; use shop; create table t (a int)");
    }
    auto s = f.login(user, QStringLiteral("pw"));
    QVERIFY(s);
    const auto results = s->executeBatch(statement);
    const StatementResult& r = results.back();
    QCOMPARE(firstError(r), number);
    if (number) {
        QCOMPARE(firstErrorText(r), text);
        QVERIFY(r.failed);
    }
}

void EngineDatabasesTest::chineseDatabaseNameRoundTrip() {
    EngineFixture f;
    auto s = f.login();
    ZT_EXEC(*s, "create database 测试帐套");
    ZT_EXEC(*s, "create database [帐套 2024]");
    s.reset(); // sessions never outlive their engine
    f.restart();
    s = f.login(QStringLiteral("sa"), QString(), QStringLiteral("测试帐套"));
    QVERIFY(s);
    QCOMPARE(s->currentDatabase(), QStringLiteral("测试帐套"));
    const StatementResult r = run(*s, "select name from sys.databases order by name");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QStringList names;
    for (size_t i = 0; i < r.resultSet->rows.size(); ++i)
        names << textAt(r, i, 0);
    QVERIFY(names.contains(QStringLiteral("测试帐套")));
    QVERIFY(names.contains(QStringLiteral("帐套 2024")));
    QVERIFY(names.contains(QStringLiteral("master")));
}

void EngineDatabasesTest::restartKeepsData() {
    EngineFixture f;
    {
        auto s = f.login();
        ZT_EXEC(*s, "create database keep; use keep;"
                    "create table t (id int identity(1,1) not null, name nvarchar(10) null)");
        ZT_EXEC(*s, "insert into t (name) values (N'一'); insert into t (name) values (N'二')");
    }
    f.restart();
    auto s = f.login(QStringLiteral("sa"), QString(), QStringLiteral("keep"));
    QVERIFY(s);
    StatementResult r = run(*s, "select id, name from t order by id");
    QCOMPARE(r.resultSet->rows.size(), size_t(2));
    QCOMPARE(textAt(r, 1, 1), QStringLiteral("二"));
    // Identity numbering carries on after the restart.
    ZT_EXEC(*s, "insert into t (name) values (N'三')");
    r = run(*s, "select max(id) from t");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("3"));
}

void EngineDatabasesTest::backupAndRestore() {
    EngineFixture f;
    auto s = f.login();
    const QString bak = f.path("shop.bak");
    ZT_EXEC(*s, "create database shop; use shop; create table t (a int); insert into t values (7)");
    ZT_EXEC(*s, "use master");
    StatementResult r = run(*s, QStringLiteral("backup database shop to disk='%1'").arg(bak));
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QVERIFY(QFile::exists(bak));
    QCOMPARE(r.messages.back().number, 3014);
    QVERIFY(r.messages.back().text.startsWith("BACKUP DATABASE successfully processed "));
    QCOMPARE(int(r.messages.back().severity), 0);
    ZT_EXEC(*s, "use shop; delete from t; insert into t values (8); use master");
    // The same database from its own backup needs no REPLACE.
    r = run(*s, QStringLiteral("restore database shop from disk='%1'").arg(bak));
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QVERIFY(r.messages.back().text.startsWith("RESTORE DATABASE successfully processed "));
    r = run(*s, "select a from shop.dbo.t");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("7"));
    // Restoring under a new name creates that database.
    ZT_EXEC(*s, QStringLiteral("restore database 澄桦3000商业例子帐 from disk='%1'").arg(bak));
    r = run(*s, "use 澄桦3000商业例子帐; select count(*) from t");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("1"));
}

void EngineDatabasesTest::restoreMissingFile() {
    EngineFixture f;
    auto s = f.login();
    const QString missing = f.path("none.bak");
    const StatementResult r =
        run(*s, QStringLiteral("restore database x from disk='%1'").arg(missing));
    QVERIFY(r.failed);
    QCOMPARE(r.messages.size(), size_t(2));
    QCOMPARE(r.messages[0].number, 3201);
    QCOMPARE(r.messages[0].text,
             QStringLiteral("Cannot open backup device '%1'. Operating system error 2(The system "
                            "cannot find the file specified.).")
                 .arg(missing));
    QCOMPARE(r.messages[1].number, 3013);
    QCOMPARE(r.messages[1].text, QStringLiteral("RESTORE DATABASE is terminating abnormally."));
    QCOMPARE(firstError(run(*s, "use x")), 911);
}

void EngineDatabasesTest::restoreOverAnotherDatabase() {
    EngineFixture f;
    auto s = f.login();
    const QString bak = f.path("a.bak");
    ZT_EXEC(*s, "create database a; create database b");
    ZT_EXEC(*s, "use b; create table mark (x int); use master");
    ZT_EXEC(*s, QStringLiteral("backup database a to disk='%1'").arg(bak));
    StatementResult r = run(*s, QStringLiteral("restore database b from disk='%1'").arg(bak));
    QCOMPARE(firstError(r), 3154);
    QCOMPARE(firstErrorText(r), QStringLiteral("The backup set holds a backup of a database other "
                                               "than the existing 'b' database."));
    QCOMPARE(r.messages.back().number, 3013);
    QVERIFY(!run(*s, "select * from b.dbo.mark").failed); // b untouched
    r = run(*s, QStringLiteral("restore database b from disk='%1' with replace").arg(bak));
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(firstError(run(*s, "select * from b.dbo.mark")), 208);
}

void EngineDatabasesTest::restoreRefusedWhileInUse() {
    EngineFixture f;
    auto s = f.login();
    const QString bak = f.path("c.bak");
    ZT_EXEC(*s, "create database c");
    ZT_EXEC(*s, QStringLiteral("backup database c to disk='%1'").arg(bak));
    auto other = f.login(QStringLiteral("sa"), QString(), QStringLiteral("c"));
    QCOMPARE(firstError(run(*s, QStringLiteral("restore database c from disk='%1'").arg(bak))),
             3101);
    QCOMPARE(firstError(run(*other, QStringLiteral("restore database c from disk='%1'").arg(bak))),
             3102);
}

void EngineDatabasesTest::syntaxErrorStopsWholeBatch() {
    EngineFixture f;
    auto s = f.login();
    const auto results = s->executeBatch("create database early\ncreate database 9late");
    QCOMPARE(results.size(), size_t(1));
    QCOMPARE(firstError(results[0]), 102);
    QCOMPARE(results[0].messages[0].line, 2);
    QCOMPARE(firstError(run(*s, "use early")), 911);
}

void EngineDatabasesTest::failedUseLetsBatchGoOn() {
    EngineFixture f;
    auto s = f.login();
    const auto results = s->executeBatch("create database one\nuse nothere\ncreate database two");
    QCOMPARE(results.size(), size_t(3));
    QCOMPARE(firstError(results[1]), 911);
    QCOMPARE(results[1].messages[0].line, 2);
    QVERIFY(!run(*s, "use two").failed);
    QVERIFY(!run(*s, "use one").failed);
}

void EngineDatabasesTest::systemDatabases_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("number");
    for (const char* name : {"master", "tempdb", "model", "msdb"}) {
        QTest::addRow("create %s", name) << QStringLiteral("create database %1").arg(name) << 1801;
        QTest::addRow("drop %s", name) << QStringLiteral("drop database %1").arg(name) << 3708;
    }
}

void EngineDatabasesTest::systemDatabases() {
    QFETCH(QString, statement);
    QFETCH(int, number);
    EngineFixture f;
    auto s = f.login();
    QCOMPARE(firstError(run(*s, statement)), number);
    const StatementResult r = run(*s, "select name, database_id from sys.databases order by 2");
    QCOMPARE(r.resultSet->rows.size(), size_t(4));
    QCOMPARE(textAt(r, 1, 0), QStringLiteral("tempdb"));
    QCOMPARE(textAt(r, 2, 0), QStringLiteral("model"));
    QCOMPARE(textAt(r, 3, 0), QStringLiteral("msdb"));
}

void EngineDatabasesTest::modelTablesInEveryNewDatabase() {
    EngineFixture f;
    auto s = f.login();
    ZT_EXEC(*s, "create table model.dbo.inherited (a int)\ninsert model.dbo.inherited values (5)");
    ZT_EXEC(*s, "create database heir");
    StatementResult r = run(*s, "select a from heir.dbo.inherited");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("5"));
    // How "table already exists" happens on a server whose model holds a user table.
    QCOMPARE(firstError(run(*s, "create table heir.dbo.inherited (b int)")), 2714);
    r = run(*s, "select db_name(database_id) from sys.databases where name = 'heir'");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("heir")); // its own name, not model's
}

void EngineDatabasesTest::tempdbStartsEmpty() {
    EngineFixture f;
    auto s = f.login();
    ZT_EXEC(*s, "create table tempdb.dbo.scratch (a int)");
    s.reset();
    f.restart();
    s = f.login();
    QCOMPARE(firstError(run(*s, "select * from tempdb.dbo.scratch")), 208);
}

void EngineDatabasesTest::backupOverwritesOnlyItsOwnBackup_data() {
    QTest::addColumn<QByteArray>("existing"); // empty: an earlier backup of the same database
    QTest::addColumn<int>("number");
    QTest::newRow("own backup") << QByteArray() << 0;
    QTest::newRow("ordinary file") << QByteArray("keep me\n") << 3266;
    QTest::newRow("other database's backup") << QByteArray("other") << 50000;
}

void EngineDatabasesTest::backupOverwritesOnlyItsOwnBackup() {
    QFETCH(QByteArray, existing);
    QFETCH(int, number);
    EngineFixture f;
    auto s = f.login();
    const QString device = f.path("device.bak");
    ZT_EXEC(*s, "create database mine\ncreate database other");
    if (existing == "other" || existing.isEmpty()) {
        ZT_EXEC(*s, QStringLiteral("backup database %1 to disk='%2'")
                        .arg(existing.isEmpty() ? QStringLiteral("mine") : QStringLiteral("other"),
                             device));
    } else {
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(existing);
    }
    QFile before(device);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray content = before.readAll();
    const StatementResult r =
        run(*s, QStringLiteral("backup database mine to disk='%1'").arg(device));
    QCOMPARE(firstError(r), number);
    QFile after(device);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll() == content, number != 0); // refused: untouched
    if (number != 0)
        QCOMPARE(r.messages.back().number, 3013);
}

void EngineDatabasesTest::sessionBuiltins_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("type"); // SqlType the result column is described with
    QTest::addColumn<QString>("value");
    const int text = int(ztds::SqlType::NVarChar);
    const int integer = int(ztds::SqlType::Int);
    const int bigint = int(ztds::SqlType::BigInt);
    QTest::newRow("login") << "SUSER_SNAME()" << text << "sa";
    QTest::newRow("database user") << "USER_NAME()" << text << "dbo";
    QTest::newRow("schema") << "SCHEMA_NAME()" << text << "dbo";
    QTest::newRow("database") << "DB_NAME()" << text << "master";
    QTest::newRow("database id") << "DB_ID('master')" << integer << "1";
    QTest::newRow("collation") << "SERVERPROPERTY('Collation')" << text << "Chinese_PRC_CI_AS";
    QTest::newRow("role") << "IS_SRVROLEMEMBER('sysadmin')" << integer << "1";
    QTest::newRow("no identity yet") << "SCOPE_IDENTITY()" << bigint << "NULL";
    QTest::newRow("transactions") << "@@TRANCOUNT" << integer << "0";
    QTest::newRow("precision") << "@@MAX_PRECISION" << integer << "38";
    QTest::newRow("language") << "@@LANGUAGE" << text << "us_english";
}

// Each built-in the session answers is described with the type its value has.
void EngineDatabasesTest::sessionBuiltins() {
    QFETCH(QString, expression);
    QFETCH(int, type);
    QFETCH(QString, value);
    EngineFixture f;
    auto s = f.login();
    const StatementResult r = run(*s, QStringLiteral("select ") + expression);
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QVERIFY(r.resultSet && r.resultSet->rows.size() == 1);
    QCOMPARE(int(r.resultSet->columns.at(0).type), type);
    QCOMPARE(textAt(r, 0, 0), value);
    QCOMPARE(firstError(run(*s, "select NO_SUCH_FUNCTION()")), 195);
}

// A database "Old" with a table of two rows.
static void createOld(ztds::Session& s) {
    ZT_EXEC(s, "create database Old; use Old; create table t (a int not null);"
               "insert into t values (1); insert into t values (2); use master");
}

static QString countIn(ztds::Session& s, const QString& database) {
    const StatementResult r = run(s, QStringLiteral("select count(*) from %1.dbo.t").arg(database));
    return r.failed ? describe(r) : textAt(r, 0, 0);
}

void EngineDatabasesTest::renameForms_data() {
    QTest::addColumn<QString>("statement");
    QTest::newRow("alter") << "alter database Old modify name = New";
    QTest::newRow("alter bracketed") << "ALTER DATABASE [Old] MODIFY NAME = [New];";
    QTest::newRow("exec unicode") << "exec sp_renamedb N'Old', N'New'";
    QTest::newRow("execute plain") << "EXECUTE sp_renamedb 'Old', 'New'";
    QTest::newRow("named") << "EXEC sp_renamedb @dbname = N'Old', @newname = N'New'";
    QTest::newRow("named reversed") << "exec sp_renamedb @newname = N'New', @dbname = N'Old'";
    QTest::newRow("bare procedure") << "sp_renamedb N'Old', N'New'";
    QTest::newRow("qualified") << "exec master..sp_renamedb N'Old', N'New'";
}

// The renamed database keeps its tables and rows and answers to its new name only.
void EngineDatabasesTest::renameForms() {
    QFETCH(QString, statement);
    EngineFixture f;
    auto s = f.login();
    createOld(*s);
    ZT_EXEC(*s, statement);
    QCOMPARE(countIn(*s, QStringLiteral("New")), QStringLiteral("2"));
    QCOMPARE(firstError(run(*s, "use Old")), 911);
    const StatementResult listed =
        run(*s, "select name from sys.databases where name in ('Old', 'New')");
    QCOMPARE(listed.resultSet->rows.size(), size_t(1));
    QCOMPARE(textAt(listed, 0, 0), QStringLiteral("New"));
    ZT_EXEC(*s, "create database Old"); // the old name is free again
    QCOMPARE(countIn(*s, QStringLiteral("New")), QStringLiteral("2"));
}

void EngineDatabasesTest::renameRefusals_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QString>("text");
    const QString sa = QStringLiteral("sa");
    QTest::newRow("new name taken")
        << sa << "alter database Old modify name = OTHER" << QList<int>{1801}
        << "Database 'OTHER' already exists. Choose a different database name.";
    QTest::newRow("new name taken, procedure")
        << sa << "exec sp_renamedb N'Old', N'other'" << QList<int>{1801}
        << "Database 'other' already exists. Choose a different database name.";
    QTest::newRow("missing") << sa << "alter database Gone modify name = New" << QList<int>{911}
                             << "Database 'Gone' does not exist. Make sure that the name is "
                                "entered correctly.";
    QTest::newRow("missing, procedure")
        << sa << "exec sp_renamedb N'Gone', N'New'" << QList<int>{15010}
        << "The database 'Gone' does not exist. Supply a valid database name. To see available "
           "databases, use sys.databases.";
    QTest::newRow("system database")
        << sa << "alter database master modify name = boss" << QList<int>{5058}
        << "Option 'MODIFY NAME' cannot be set in database 'master'.";
    QTest::newRow("system database, procedure")
        << sa << "exec sp_renamedb 'tempdb', 'scratch'" << QList<int>{5058}
        << "Option 'MODIFY NAME' cannot be set in database 'tempdb'.";
    QTest::newRow("public login") << "bob"
                                  << "exec sp_renamedb N'Old', N'New'" << QList<int>{5011, 5069}
                                  << "ALTER DATABASE statement failed.";
    QTest::newRow("in a transaction")
        << sa << "begin tran; alter database Old modify name = New" << QList<int>{226}
        << "ALTER DATABASE statement not allowed within multi-statement transaction.";
    QTest::newRow("parameter missing")
        << sa << "exec sp_renamedb N'Old'" << QList<int>{201}
        << "Procedure or function 'sp_renamedb' expects parameter '@newname', which was not "
           "supplied.";
    QTest::newRow("unknown parameter")
        << sa << "exec sp_renamedb @db = N'Old', @newname = N'New'" << QList<int>{8145}
        << "@db is not a parameter for procedure sp_renamedb.";
}

void EngineDatabasesTest::renameRefusals() {
    QFETCH(QString, user);
    QFETCH(QString, statement);
    QFETCH(QList<int>, numbers);
    QFETCH(QString, text);
    EngineFixture f;
    auto s = f.login();
    createOld(*s);
    ZT_EXEC(*s, "create database Other");
    auto caller = user == QLatin1String("sa") ? std::move(s) : f.login(user, QStringLiteral("pw"));
    QVERIFY(caller);
    const StatementResult r = run(*caller, statement);
    QList<int> got;
    for (const auto& m : r.messages)
        got << m.number;
    QCOMPARE(got, numbers);
    QCOMPARE(r.messages.back().text, text);
    ZT_EXEC(*caller, "if @@trancount > 0 rollback");
    auto sa = f.login();
    QCOMPARE(countIn(*sa, QStringLiteral("Old")), QStringLiteral("2"));
}

void EngineDatabasesTest::renameRefusedWhileInUse() {
    EngineFixture f;
    auto s = f.login();
    createOld(*s);
    auto other = f.login(QStringLiteral("sa"), QString(), QStringLiteral("Old"));
    QVERIFY(other);
    for (const char* statement :
         {"alter database Old modify name = New", "exec sp_renamedb N'Old', N'New'"}) {
        const StatementResult r = run(*s, QString::fromLatin1(statement));
        QCOMPARE(firstError(r), 5030);
        QCOMPARE(int(r.messages.front().severity), 16);
        QCOMPARE(int(r.messages.front().state), 2);
        QCOMPARE(firstErrorText(r), QStringLiteral("The database could not be exclusively locked "
                                                   "to perform the operation."));
    }
    QCOMPARE(countIn(*other, QStringLiteral("Old")), QStringLiteral("2"));
    ZT_EXEC(*other, "use master");
    ZT_EXEC(*other, "alter database Old modify name = New"); // a dbcreator may rename
    QCOMPARE(countIn(*s, QStringLiteral("New")), QStringLiteral("2"));
}

// As on SQL Server, the session that is in the database may rename it when no one else uses it.
void EngineDatabasesTest::renameOwnCurrentDatabase() {
    EngineFixture f;
    auto s = f.login();
    createOld(*s);
    ZT_EXEC(*s, "use Old; alter database Old modify name = New");
    QCOMPARE(s->currentDatabase(), QStringLiteral("New"));
    QCOMPARE(textAt(run(*s, "select db_name()"), 0, 0), QStringLiteral("New"));
    ZT_EXEC(*s, "insert into t values (3)");
    QCOMPARE(textAt(run(*s, "select count(*) from t"), 0, 0), QStringLiteral("3"));
    ZT_EXEC(*s, "use master");
    ZT_EXEC(*s, "drop database New"); // the session's lease moved with the name and is gone
}

void EngineDatabasesTest::renameChangesCaseOnly() {
    EngineFixture f;
    {
        auto s = f.login();
        createOld(*s);
        ZT_EXEC(*s, "exec sp_renamedb N'Old', N'OLD'");
        QCOMPARE(textAt(run(*s, "select name from sys.databases where name = 'old'"), 0, 0),
                 QStringLiteral("OLD"));
    }
    f.restart();
    auto s = f.login();
    QCOMPARE(textAt(run(*s, "select name from sys.databases where name = 'old'"), 0, 0),
             QStringLiteral("OLD"));
    QCOMPARE(countIn(*s, QStringLiteral("old")), QStringLiteral("2"));
}

void EngineDatabasesTest::renameSurvivesRestart() {
    EngineFixture f;
    {
        auto s = f.login();
        createOld(*s);
        ZT_EXEC(*s, "alter database Old modify name = [新帐套]");
    }
    f.restart();
    auto s = f.login();
    QCOMPARE(countIn(*s, QStringLiteral("[新帐套]")), QStringLiteral("2"));
    QCOMPARE(firstError(run(*s, "use Old")), 911);
    ZT_EXEC(*s, "create database Old");
    QCOMPARE(firstError(run(*s, "select count(*) from Old.dbo.t")), 208);
}

// A crash after the new name went into the file but before the file moved leaves it at the
// old name's path: the next start finds it under its new name only, and the old name is free.
void EngineDatabasesTest::renameCutShortIsSettled() {
    EngineFixture f;
    {
        auto s = f.login();
        createOld(*s);
    }
    f.engine.reset();
    const auto oldPath = f.dataDirectory() / ztds::storage::databaseFileName(QStringLiteral("Old"));
    {
        auto file = ztds::storage::DatabaseFile::open(oldPath, false);
        ztds::storage::DatabaseFile::Transaction t(*file, true);
        file->setMeta(QStringLiteral("name"), QStringLiteral("New"));
        t.commit();
    }
    f.start();
    auto s = f.login();
    QCOMPARE(countIn(*s, QStringLiteral("New")), QStringLiteral("2"));
    QCOMPARE(firstError(run(*s, "use Old")), 911);
    ZT_EXEC(*s, "create database Old");
    QCOMPARE(countIn(*s, QStringLiteral("New")), QStringLiteral("2"));
    s.reset();
    f.restart();
    s = f.login();
    QCOMPARE(countIn(*s, QStringLiteral("New")), QStringLiteral("2"));
    QCOMPARE(firstError(run(*s, "select count(*) from Old.dbo.t")), 208);
}

// CREATE DATABASE does not write over a file it does not know at the new database's path.
void EngineDatabasesTest::createKeepsFileInTheWay() {
    EngineFixture f;
    const auto path = f.dataDirectory() / ztds::storage::databaseFileName(QStringLiteral("Stray"));
    {
        QFile stray(QString::fromStdString(path.string()));
        QVERIFY(stray.open(QIODevice::WriteOnly));
        stray.write("not a database");
    }
    auto s = f.login();
    const StatementResult r = run(*s, "create database Stray");
    QList<int> got;
    for (const auto& m : r.messages)
        got << m.number;
    QCOMPARE(got, (QList<int>{5170, 1802}));
    QFile stray(QString::fromStdString(path.string()));
    QVERIFY(stray.open(QIODevice::ReadOnly));
    QCOMPARE(stray.readAll(), QByteArray("not a database"));
    QCOMPARE(firstError(run(*s, "use Stray")), 911);
}

void EngineDatabasesTest::guestInMaster_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    const char* const statements[][2] = {
        {"INSERT", "insert into CHdatebase (ztbh) values (N'001')"},
        {"SELECT", "select * from master.dbo.CHdatebase"},
        {"UPDATE", "update CHdatebase set ztbh = N'002'"},
        {"DELETE", "delete from dbo.CHdatebase"}};
    for (const auto& [verb, statement] : statements) {
        QTest::addRow("%s", verb) << "7.4" << statement << 229
                                  << QStringLiteral("The %1 permission was denied on the object "
                                                    "'CHdatebase', database 'master', schema "
                                                    "'dbo'.")
                                         .arg(QLatin1String(verb));
        QTest::addRow("7.1 %s", verb) << "7.1" << statement << 229
                                      << QStringLiteral("%1 permission denied on object "
                                                        "'CHdatebase', database 'master', owner "
                                                        "'dbo'.")
                                             .arg(QLatin1String(verb));
    }
    for (const char* level : {"7.1", "7.4"}) {
        QTest::addRow("%s create table", level)
            << level << "create table t (a int)" << 262
            << "CREATE TABLE permission denied in database 'master'.";
        QTest::addRow("%s sysdatabases", level)
            << level << "select name from master..sysdatabases" << 0 << "";
        QTest::addRow("%s INFORMATION_SCHEMA", level)
            << level << "select TABLE_NAME from INFORMATION_SCHEMA.COLUMNS" << 0 << "";
    }
    QTest::newRow("7.4 sys.databases") << "7.4"
                                       << "select name from sys.databases" << 0 << "";
}

// A dbcreator login is guest in master: it reads the catalog, but nothing was granted to it
// on sa's registry table, and CREATE TABLE there is dbo's.
void EngineDatabasesTest::guestInMaster() {
    QFETCH(QString, level);
    QFETCH(QString, statement);
    QFETCH(int, number);
    QFETCH(QString, text);
    EngineFixture f(*ztds::serverVersionFor(level.toStdString()));
    {
        auto admin = f.login();
        ZT_EXEC(*admin, "create table CHdatebase (id bigint identity(1,1) not null, ztbh "
                        "nvarchar(15) null); insert into CHdatebase (ztbh) values (N'000')");
    }
    auto s = f.login(QStringLiteral("creator"), QStringLiteral("pw"));
    QVERIFY(s);
    const StatementResult r = run(*s, statement);
    QCOMPARE(firstError(r), number);
    if (number) {
        QCOMPARE(firstErrorText(r), text);
        QCOMPARE(int(r.messages.front().severity), 14);
    }
    auto admin = f.login();
    const StatementResult rows = run(*admin, "select ztbh from CHdatebase");
    QCOMPARE(rows.resultSet->rows.size(), size_t(1)); // nothing changed
    QCOMPARE(textAt(rows, 0, 0), QStringLiteral("000"));
}

void EngineDatabasesTest::guestSeesCatalog_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<int>("tables");
    QTest::newRow("7.1 shows all") << "7.1" << 1;
    QTest::newRow("7.2 shows what may be used") << "7.2" << 0;
    QTest::newRow("7.4 shows what may be used") << "7.4" << 0;
}

// SQL Server 2005 and later show a login only the metadata of what it may use.
void EngineDatabasesTest::guestSeesCatalog() {
    QFETCH(QString, level);
    QFETCH(int, tables);
    EngineFixture f(*ztds::serverVersionFor(level.toStdString()));
    {
        auto admin = f.login();
        ZT_EXEC(*admin, "create table CHdatebase (id int not null)");
    }
    auto s = f.login(QStringLiteral("bob"), QStringLiteral("pw"));
    for (const char* query : {"select name from sysobjects where xtype = 'U'",
                              "select TABLE_NAME from INFORMATION_SCHEMA.TABLES",
                              "select name from syscolumns where name = 'id'"}) {
        const StatementResult r = run(*s, QString::fromLatin1(query));
        QVERIFY2(!r.failed, qPrintable(describe(r)));
        QCOMPARE(int(r.resultSet->rows.size()), tables);
    }
}

// The login that creates or restores a database owns it (dbo there), also after a restart;
// to a database of sa's it has no way in: 916 on USE and three-part names, 4060 at login.
void EngineDatabasesTest::ownerIsWhoCreatedOrRestored() {
    EngineFixture f;
    {
        auto admin = f.login();
        ZT_EXEC(*admin, "create database shop");
    }
    auto creator = f.login(QStringLiteral("creator"), QStringLiteral("pw"));
    ZT_EXEC(*creator, "create database mine; use mine; create table t (a int); insert into t "
                      "values (1)");
    QCOMPARE(textAt(run(*creator, "select user_name()"), 0, 0), QStringLiteral("dbo"));
    const QString bak = f.path(QStringLiteral("mine.bak"));
    ZT_EXEC(*creator, QStringLiteral("use master; backup database mine to disk='%1'").arg(bak));
    ZT_EXEC(*creator, QStringLiteral("restore database copy from disk='%1'").arg(bak));
    QCOMPARE(textAt(run(*creator, "select a from copy.dbo.t"), 0, 0), QStringLiteral("1"));
    QCOMPARE(textAt(run(*creator, "select user_name()"), 0, 0), QStringLiteral("guest"));
    const StatementResult use = run(*creator, "use shop");
    QCOMPARE(firstError(use), 916);
    QCOMPARE(int(use.messages.front().severity), 14);
    const StatementResult over =
        run(*creator, QStringLiteral("restore database shop from disk='%1' with replace").arg(bak));
    QCOMPARE(firstError(over), 3110);
    QCOMPARE(firstErrorText(over),
             QStringLiteral("User does not have permission to RESTORE database 'shop'."));
    creator.reset();
    f.restart();
    QVERIFY(f.login(QStringLiteral("creator"), QStringLiteral("pw"), QStringLiteral("mine")));
    QVERIFY(f.login(QStringLiteral("creator"), QStringLiteral("pw"), QStringLiteral("copy")));
    const auto refused = f.engine->login(QStringLiteral("creator"), QStringLiteral("pw"),
                                         QStringLiteral("shop"), false);
    QVERIFY(!refused.session);
    QCOMPARE(refused.messages.front().number, 4060);
    // At SQL Server 2000 the same refusal reads as it did then.
    EngineFixture old(*ztds::serverVersionFor("7.1"));
    ZT_EXEC(*old.login(), "create database shop");
    const StatementResult oldUse =
        run(*old.login(QStringLiteral("creator"), QStringLiteral("pw")), "use shop");
    QCOMPARE(firstError(oldUse), 916);
    QCOMPARE(firstErrorText(oldUse),
             QStringLiteral("Server user 'creator' is not a valid user in database 'shop'."));
}

QTEST_GUILESS_MAIN(EngineDatabasesTest)
#include "tst_engine_databases.moc"
