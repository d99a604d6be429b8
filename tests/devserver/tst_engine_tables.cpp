// CREATE TABLE in the forms the wizard sends, catalog views and result metadata.

#include "engine_fixture.h"

using namespace zt::test;
using ztds::SqlType;
using ztds::StatementResult;

namespace {

// The registry table as the wizard sends it: nine lines, tabs, trailing blanks.
const char* const registryTable = "CREATE TABLE CHdatebase ( \n"
                                  "[id] [bigint] IDENTITY (1, 1) NOT NULL , \n"
                                  "\t[ztbh] [nvarchar] (15) COLLATE Chinese_PRC_CI_AS NULL ,\n"
                                  "\t[ztmc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL ,\n"
                                  "\t[zjmc] [nvarchar] (100) COLLATE Chinese_PRC_CI_AS NULL ,\n"
                                  "\t[net] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL ,\n"
                                  "\t[jlrq] [datetime] NULL ,\n"
                                  "\t[kl] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL \n"
                                  ") ON [PRIMARY] ";

const char* const goodsTable =
    "CREATE TABLE [dbo].[货品信息表] (\n"
    "[ID] [int] IDENTITY (1, 1) NOT NULL , \n"
    "[bm] [nvarchar] (30) COLLATE Chinese_PRC_CI_AS NOT NULL Primary Key, \n"
    "[pm] [nvarchar] (100) COLLATE Chinese_PRC_CI_AS NULL , \n"
    "[jj] [money] NULL , \n"
    "[sl] [float] NOT NULL , \n"
    "[rq] [smalldatetime] NULL , \n"
    "[yesno] [bit] NULL , \n"
    "[bz] [ntext] COLLATE Chinese_PRC_CI_AS NULL \n"
    ") ON [PRIMARY]";

} // namespace

class EngineTablesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void registryTableAsSent();
    void schemaStyleTable();
    void numericAndChineseColumnNames();
    void bareTypesAndCompactLayout();
    void existingTable();
    void missingTableAndColumn();
    void badDefinitions_data();
    void badDefinitions();
    void informationSchemaColumns();
    void keyConstraintViews();
    void resultMetadata();
    void catalogOfAnotherDatabase();
    void columnPropertyAndObjectId();
    void dropTable();
    void catalogPerPersona_data();
    void catalogPerPersona();
    void sysColumnsDescribeColumns_data();
    void sysColumnsDescribeColumns();
    void sysObjectsListsSystemTables();
    void typesPerPersona_data();
    void typesPerPersona();
    void collationsKept_data();
    void collationsKept();

private:
    std::unique_ptr<EngineFixture> fixture_;
    std::unique_ptr<ztds::Session> s_;
};

void EngineTablesTest::init() {
    fixture_ = std::make_unique<EngineFixture>();
    s_ = fixture_->login();
    ZT_EXEC(*s_, "create database acct; use acct");
}

void EngineTablesTest::cleanup() {
    s_.reset();
    fixture_.reset();
}

void EngineTablesTest::registryTableAsSent() {
    ZT_EXEC(*s_, "use master");
    ZT_EXEC(*s_, registryTable);
    const StatementResult r = run(*s_, "select*from chdatebase");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    const auto& c = r.resultSet->columns;
    QCOMPARE(c.size(), size_t(7));
    QCOMPARE(c[0].name, QStringLiteral("id"));
    QCOMPARE(c[0].type, SqlType::BigInt);
    QVERIFY(c[0].identity);
    QVERIFY(!c[0].nullable);
    QCOMPARE(c[3].name, QStringLiteral("zjmc"));
    QCOMPARE(c[3].type, SqlType::NVarChar);
    QCOMPARE(c[3].length, 100);
    QVERIFY(c[3].nullable);
    QCOMPARE(c[5].type, SqlType::DateTime);
    // The second registration's CREATE is refused, as the wizard expects.
    const StatementResult again = run(*s_, registryTable);
    QCOMPARE(firstError(again), 2714);
    QCOMPARE(firstErrorText(again),
             QStringLiteral("There is already an object named 'CHdatebase' in the database."));
}

void EngineTablesTest::schemaStyleTable() {
    ZT_EXEC(*s_, goodsTable);
    const StatementResult r = run(*s_, "select * from [dbo].[货品信息表]");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    const auto& c = r.resultSet->columns;
    QCOMPARE(c.size(), size_t(8));
    QCOMPARE(c[1].name, QStringLiteral("bm"));
    QVERIFY(!c[1].nullable); // key columns are NOT NULL
    QCOMPARE(c[3].type, SqlType::Money);
    QCOMPARE(c[4].type, SqlType::Float);
    QCOMPARE(c[5].type, SqlType::SmallDateTime);
    QCOMPARE(c[6].type, SqlType::Bit);
    QCOMPARE(c[7].type, SqlType::NText);
}

void EngineTablesTest::numericAndChineseColumnNames() {
    ZT_EXEC(*s_, "CREATE TABLE [dbo].[打印内容表] (\n[ID] [int] IDENTITY (1, 1) NOT NULL , \n"
                 "[1] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , \n"
                 "[28] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , \n"
                 "[名称] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL \n) ON [PRIMARY]");
    ZT_EXEC(*s_, "insert into 打印内容表 ([1], [28], [名称]) values (N'一', N'二十八', N'名')");
    const StatementResult r = run(*s_, "select [28], 名称, [1] from 打印内容表 where [1] = N'一'");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(r.resultSet->columns[0].name, QStringLiteral("28"));
    QCOMPARE(r.resultSet->columns[1].name, QStringLiteral("名称"));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("二十八"));
    QCOMPARE(textAt(r, 0, 1), QStringLiteral("名"));
}

void EngineTablesTest::bareTypesAndCompactLayout() {
    ZT_EXEC(*s_, "create table plain(a int primary key,b nvarchar(5) not null,"
                 "\"c\" datetime,d bigint)");
    const StatementResult r = run(*s_, "select * from plain");
    QCOMPARE(r.resultSet->columns.size(), size_t(4));
    QCOMPARE(r.resultSet->columns[1].length, 5);
    QCOMPARE(r.resultSet->columns[2].name, QStringLiteral("c"));
}

void EngineTablesTest::existingTable() {
    ZT_EXEC(*s_, "create table pay (djbh nvarchar(25) not null primary key)");
    // Table names compare without regard to case.
    const StatementResult r = run(*s_, "CREATE TABLE [dbo].[PAY] ([x] [int] NULL) ON [PRIMARY]");
    QCOMPARE(firstError(r), 2714);
    QCOMPARE(firstErrorText(r),
             QStringLiteral("There is already an object named 'PAY' in the database."));
}

void EngineTablesTest::missingTableAndColumn() {
    ZT_EXEC(*s_, "create table t (a int)");
    StatementResult r = run(*s_, "select*from 系统路径表 where zjmc='x'");
    QCOMPARE(firstError(r), 208);
    QCOMPARE(firstErrorText(r), QStringLiteral("Invalid object name '系统路径表'."));
    r = run(*s_, "select nope from t");
    QCOMPARE(firstError(r), 207);
    QCOMPARE(firstErrorText(r), QStringLiteral("Invalid column name 'nope'."));
    QCOMPARE(firstError(run(*s_, "select * from t where nope = 1")), 207);
    QCOMPARE(firstError(run(*s_, "insert into t (nope) values (1)")), 207);
    QCOMPARE(firstError(run(*s_, "update t set nope = 1")), 207);
    QCOMPARE(firstErrorText(run(*s_, "select * from other.t")),
             QStringLiteral("Invalid object name 'other.t'."));
}

void EngineTablesTest::badDefinitions_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("number");
    QTest::newRow("unknown type") << "create table x (a nosuchtype)" << 2715;
    QTest::newRow("unsupported type") << "create table x (a xml)" << 40515;
    QTest::newRow("two identities") << "create table x (a int identity, b int identity)" << 2744;
    QTest::newRow("text identity") << "create table x (a nvarchar(5) identity)" << 2749;
    QTest::newRow("duplicate column") << "create table x (a int, A int)" << 2705;
    QTest::newRow("two keys") << "create table x (a int primary key, b int primary key)" << 8110;
    QTest::newRow("nullable key") << "create table x (a int null primary key)" << 8111;
    QTest::newRow("too wide") << "create table x (a nvarchar(4001))" << 131;
    QTest::newRow("missing parenthesis") << "create table x (a int" << 102;
}

void EngineTablesTest::badDefinitions() {
    QFETCH(QString, statement);
    QFETCH(int, number);
    const StatementResult r = run(*s_, statement);
    QVERIFY(r.failed);
    QCOMPARE(firstError(r), number);
    QCOMPARE(firstError(run(*s_, "select * from x")), 208);
}

void EngineTablesTest::informationSchemaColumns() {
    ZT_EXEC(*s_, goodsTable);
    const StatementResult r =
        run(*s_, "SELECT COLUMN_NAME, ORDINAL_POSITION, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
                 "IS_NULLABLE, COLLATION_NAME FROM INFORMATION_SCHEMA.COLUMNS "
                 "WHERE TABLE_NAME = N'货品信息表' ORDER BY ORDINAL_POSITION");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(r.resultSet->rows.size(), size_t(8));
    QCOMPARE(textAt(r, 1, 0), QStringLiteral("bm"));
    QCOMPARE(textAt(r, 1, 2), QStringLiteral("nvarchar"));
    QCOMPARE(textAt(r, 1, 3), QStringLiteral("30"));
    QCOMPARE(textAt(r, 1, 4), QStringLiteral("NO"));
    QCOMPARE(textAt(r, 1, 5), QStringLiteral("Chinese_PRC_CI_AS"));
    QCOMPARE(textAt(r, 3, 2), QStringLiteral("money"));
    QCOMPARE(textAt(r, 3, 3), QStringLiteral("NULL"));
    QCOMPARE(textAt(r, 3, 5), QStringLiteral("NULL"));
    QCOMPARE(textAt(r, 7, 2), QStringLiteral("ntext"));
    const StatementResult tables =
        run(*s_, "select TABLE_NAME, TABLE_TYPE, TABLE_SCHEMA, TABLE_CATALOG "
                 "from information_schema.tables");
    QCOMPARE(tables.resultSet->rows.size(), size_t(1));
    QCOMPARE(textAt(tables, 0, 1), QStringLiteral("BASE TABLE"));
    QCOMPARE(textAt(tables, 0, 2), QStringLiteral("dbo"));
    QCOMPARE(textAt(tables, 0, 3), QStringLiteral("acct"));
}

void EngineTablesTest::keyConstraintViews() {
    ZT_EXEC(*s_, goodsTable);
    const StatementResult c = run(*s_, "select CONSTRAINT_NAME, CONSTRAINT_TYPE, TABLE_NAME from "
                                       "INFORMATION_SCHEMA.TABLE_CONSTRAINTS");
    QCOMPARE(c.resultSet->rows.size(), size_t(1));
    QVERIFY(textAt(c, 0, 0).startsWith(QStringLiteral("PK__货品信息表__")));
    QCOMPARE(textAt(c, 0, 1), QStringLiteral("PRIMARY KEY"));
    const StatementResult k = run(*s_, "select COLUMN_NAME, CONSTRAINT_NAME from "
                                       "INFORMATION_SCHEMA.KEY_COLUMN_USAGE where table_name = "
                                       "'货品信息表'");
    QCOMPARE(k.resultSet->rows.size(), size_t(1));
    QCOMPARE(textAt(k, 0, 0), QStringLiteral("bm"));
    QCOMPARE(textAt(k, 0, 1), textAt(c, 0, 0));
}

void EngineTablesTest::resultMetadata() {
    ZT_EXEC(*s_, goodsTable);
    StatementResult r = run(*s_, "select count(*) from 货品信息表");
    QCOMPARE(r.resultSet->columns[0].type, SqlType::Int);
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("0"));
    r = run(*s_, "select @@version");
    QCOMPARE(r.resultSet->columns[0].type, SqlType::NVarChar);
    QVERIFY(textAt(r, 0, 0).contains(QStringLiteral("zt-devserver")));
    r = run(*s_, "select 1, N'abc' as t, @@spid");
    QCOMPARE(r.resultSet->columns[0].type, SqlType::Int);
    QCOMPARE(r.resultSet->columns[1].name, QStringLiteral("t"));
    QCOMPARE(r.resultSet->columns[1].length, 3);
    QCOMPARE(textAt(r, 0, 2), QString::number(s_->spid()));
    r = run(*s_, "select pm as 名字, jj from 货品信息表");
    QCOMPARE(r.resultSet->columns[0].name, QStringLiteral("名字"));
    QCOMPARE(r.resultSet->columns[0].length, 100);
    QCOMPARE(r.resultSet->columns[1].type, SqlType::Money);
}

void EngineTablesTest::catalogOfAnotherDatabase() {
    ZT_EXEC(*s_, "create table only_here (a int)");
    ZT_EXEC(*s_, "use master");
    StatementResult r = run(*s_, "select TABLE_NAME from acct.INFORMATION_SCHEMA.TABLES");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("only_here"));
    r = run(*s_, "select name, database_id from master.sys.databases where name = 'ACCT'");
    QCOMPARE(r.resultSet->rows.size(), size_t(1));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("acct"));
    r = run(*s_, "select name from master..sysdatabases where dbid > 4");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("acct"));
    r = run(*s_, "select name from acct..sysobjects where xtype = 'U'");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("only_here"));
}

void EngineTablesTest::columnPropertyAndObjectId() {
    ZT_EXEC(*s_, goodsTable);
    StatementResult r = run(*s_, "select COLUMNPROPERTY(OBJECT_ID('货品信息表'),'ID','IsIdentity'),"
                                 " COLUMNPROPERTY(OBJECT_ID('dbo.货品信息表'),'bm','IsIdentity'),"
                                 " OBJECT_ID('nothing')");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("1"));
    QCOMPARE(textAt(r, 0, 1), QStringLiteral("0"));
    QCOMPARE(textAt(r, 0, 2), QStringLiteral("NULL"));
}

void EngineTablesTest::dropTable() {
    ZT_EXEC(*s_, "create table gone (a int)");
    ZT_EXEC(*s_, "drop table gone");
    QCOMPARE(firstError(run(*s_, "select * from gone")), 208);
    QCOMPARE(firstError(run(*s_, "drop table gone")), 3701);
    ZT_EXEC(*s_, "create table gone (b nvarchar(3))");
}

namespace {

// An engine at the persona of one --tds-version, with a database acct and a keyed table.
struct PersonaEngine {
    explicit PersonaEngine(const QString& level)
        : fixture(*ztds::serverVersionFor(level.toStdString())), session(fixture.login()) {}
    bool prepare() {
        const auto r = run(*session, "create database acct; use acct; create table t (id int "
                                     "identity(1,1) not null primary key, n nvarchar(10) null)");
        return !r.failed;
    }
    EngineFixture fixture;
    std::unique_ptr<ztds::Session> session;
};

} // namespace

void EngineTablesTest::catalogPerPersona_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    for (const char* level : {"7.1", "7.2", "7.4"}) {
        const auto row = [&](const char* name, const char* query, int error = 0,
                             const char* text = "") {
            QTest::addRow("%s %s", level, name)
                << QString::fromLatin1(level) << query << error << QString::fromLatin1(text);
        };
        // What every version has: the system tables and INFORMATION_SCHEMA.
        row("master..sysdatabases", "select name, dbid, cmptlevel from master..sysdatabases");
        row("sysobjects", "select name from sysobjects where xtype = 'U'");
        row("db..sysobjects", "select id from acct..sysobjects where name = 't'");
        row("db.dbo.syscolumns", "select name from acct.dbo.syscolumns where id = object_id('t')");
        row("TABLES", "select TABLE_NAME from INFORMATION_SCHEMA.TABLES");
        row("COLUMNS", "select COLUMN_NAME from acct.INFORMATION_SCHEMA.COLUMNS");
        row("TABLE_CONSTRAINTS",
            "select CONSTRAINT_NAME from INFORMATION_SCHEMA.TABLE_CONSTRAINTS");
        row("KEY_COLUMN_USAGE", "select COLUMN_NAME from INFORMATION_SCHEMA.KEY_COLUMN_USAGE");
        const bool sql2000 = QByteArray(level) == "7.1";
        if (sql2000) {
            // SQL Server 2000 keeps sysdatabases in master alone, and has no sys schema.
            row("sysdatabases outside master", "select name from sysdatabases", 208,
                "Invalid object name 'sysdatabases'.");
            row("sys.databases", "select name from sys.databases", 208,
                "Invalid object name 'sys.databases'.");
            row("sys.tables", "select name from sys.tables", 208,
                "Invalid object name 'sys.tables'.");
            row("sys.columns", "select name from acct.sys.columns", 208,
                "Invalid object name 'acct.sys.columns'.");
            row("sys.objects", "select name from acct.sys.objects", 208,
                "Invalid object name 'acct.sys.objects'.");
        } else {
            row("sysdatabases outside master", "select name from sysdatabases");
            row("sys.databases", "select name from sys.databases");
            row("sys.tables", "select name from sys.tables");
            row("sys.columns", "select name from acct.sys.columns");
            row("sys.objects", "select name from acct.sys.objects");
        }
    }
}

void EngineTablesTest::catalogPerPersona() {
    QFETCH(QString, level);
    QFETCH(QString, query);
    QFETCH(int, error);
    QFETCH(QString, text);
    PersonaEngine e(level);
    QVERIFY(e.prepare());
    const StatementResult r = run(*e.session, query);
    QCOMPARE(firstError(r), error);
    if (error) {
        QCOMPARE(firstErrorText(r), text);
        QCOMPARE(int(r.messages.front().severity), 16);
        return;
    }
    QVERIFY(!r.resultSet->rows.empty());
}

void EngineTablesTest::sysColumnsDescribeColumns_data() {
    QTest::addColumn<QString>("level");
    QTest::newRow("7.1") << "7.1";
    QTest::newRow("7.4") << "7.4";
}

// syscolumns as SQL Server 2000 has it: colstat bit 1 and status 0x80 for the identity,
// status 0x08 and isnullable for a nullable column, length in bytes.
void EngineTablesTest::sysColumnsDescribeColumns() {
    QFETCH(QString, level);
    PersonaEngine e(level);
    QVERIFY(e.prepare());
    const StatementResult r =
        run(*e.session, "select name, colid, xtype, length, isnullable, colstat, status, id "
                        "from syscolumns where id = object_id('t') order by colid");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(r.resultSet->rows.size(), size_t(2));
    const QStringList identity{"id", "1", "56", "4", "0", "1", "128"};
    const QStringList nullable{"n", "2", "231", "20", "1", "0", "8"};
    for (int c = 0; c < identity.size(); ++c) {
        QCOMPARE(textAt(r, 0, size_t(c)), identity[c]);
        QCOMPARE(textAt(r, 1, size_t(c)), nullable[c]);
    }
    const StatementResult table = run(*e.session, "select id from sysobjects where name = 't'");
    QCOMPARE(textAt(r, 0, 7), textAt(table, 0, 0));
}

// sysobjects lists each database's system tables (xtype S) beside the user tables and their
// primary keys, whose parent is the table.
void EngineTablesTest::sysObjectsListsSystemTables() {
    PersonaEngine e(QStringLiteral("7.1"));
    QVERIFY(e.prepare());
    const StatementResult own =
        run(*e.session, "select name, id from sysobjects where xtype = 'S' order by id");
    QVERIFY2(!own.failed, qPrintable(describe(own)));
    QCOMPARE(own.resultSet->rows.size(), size_t(2));
    QCOMPARE(textAt(own, 0, 0), QStringLiteral("sysobjects"));
    QCOMPARE(textAt(own, 0, 1), QStringLiteral("1"));
    QCOMPARE(textAt(own, 1, 0), QStringLiteral("syscolumns"));
    const StatementResult master =
        run(*e.session, "select name from master..sysobjects where type = 'S' and name = "
                        "'sysdatabases'");
    QCOMPARE(master.resultSet->rows.size(), size_t(1));
    const StatementResult key = run(*e.session, "select parent_obj, type from sysobjects where "
                                                "xtype = 'PK'");
    QCOMPARE(key.resultSet->rows.size(), size_t(1));
    const StatementResult table = run(*e.session, "select object_id('t')");
    QCOMPARE(textAt(key, 0, 0), textAt(table, 0, 0));
    QCOMPARE(textAt(key, 0, 1), QStringLiteral("K "));
    const StatementResult user = run(*e.session, "select count(*) from sysobjects where "
                                                 "xtype = 'U' and id = object_id('t')");
    QCOMPARE(textAt(user, 0, 0), QStringLiteral("1"));
}

void EngineTablesTest::typesPerPersona_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    const auto table = [](const char* type) {
        return QStringLiteral("create table m (a %1)").arg(QLatin1String(type));
    };
    for (const char* type : {"varchar(max)", "nvarchar(max)", "varbinary(max)"}) {
        // SQL Server 2000's parser knows no MAX there.
        QTest::addRow("7.1 %s", type)
            << "7.1" << table(type) << 170 << "Line 1: Incorrect syntax near 'max'.";
        QTest::addRow("7.2 %s", type) << "7.2" << table(type) << 0 << "";
    }
    // Nor in a conversion; the whole batch is refused, naming the line.
    QTest::newRow("7.1 cast to varchar(max)") << "7.1"
                                              << "select 1\nselect cast('a' as varchar(max))" << 170
                                              << "Line 2: Incorrect syntax near 'max'.";
    QTest::newRow("7.1 convert to nvarchar(max)")
        << "7.1"
        << "select convert(nvarchar(max), N'a')" << 170 << "Line 1: Incorrect syntax near 'max'.";
    QTest::newRow("7.2 cast to varchar(max)") << "7.2"
                                              << "select cast('a' as varchar(max))" << 0 << "";
    QTest::newRow("7.1 datetime2") << "7.1" << table("datetime2") << 2715
                                   << "Column or parameter #1: Cannot find data type datetime2.";
    QTest::newRow("7.2 datetime2")
        << "7.2" << table("datetime2(0)") << 2715
        << "Column, parameter, or variable #1: Cannot find data type datetime2.";
    QTest::newRow("7.3 datetime2") << "7.3" << table("datetime2(3)") << 0 << "";
}

void EngineTablesTest::typesPerPersona() {
    QFETCH(QString, level);
    QFETCH(QString, statement);
    QFETCH(int, error);
    QFETCH(QString, text);
    PersonaEngine e(level);
    QVERIFY(e.prepare());
    const StatementResult r = run(*e.session, statement);
    QCOMPARE(firstError(r), error);
    if (error)
        QCOMPARE(firstErrorText(r), text);
}

void EngineTablesTest::collationsKept_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    const auto refused = [](const char* collation, int codePage) {
        return QStringLiteral("Collation '%1' (code page %2) for char and varchar data is not "
                              "supported by zt-devserver.")
            .arg(QLatin1String(collation))
            .arg(codePage);
    };
    // char and varchar are kept in code page 936: text of another would not survive.
    QTest::newRow("varchar Hebrew") << "create table c (a varchar(10) collate Hebrew_CI_AI)"
                                    << 40515 << refused("Hebrew_CI_AI", 1255);
    QTest::newRow("char Latin1") << "create table c (a char(4) COLLATE Latin1_General_CI_AS)"
                                 << 40515 << refused("Latin1_General_CI_AS", 1252);
    QTest::newRow("varchar Cyrillic")
        << "create table c (a varchar(10) collate Cyrillic_General_CI_AS)" << 40515
        << refused("Cyrillic_General_CI_AS", 1251);
    QTest::newRow("varchar SQL collation")
        << "create table c (a varchar(10) collate SQL_Latin1_General_CP1_CI_AS)" << 40515
        << refused("SQL_Latin1_General_CP1_CI_AS", 1252);
    QTest::newRow("database Latin1") << "create database c collate Latin1_General_CI_AS" << 40515
                                     << refused("Latin1_General_CI_AS", 1252);
    QTest::newRow("unknown name") << "create table c (a varchar(10) collate Klingon)" << 448
                                  << "Invalid collation 'Klingon'.";
    // Unicode text is the same in any collation; 936 ones keep char and varchar.
    QTest::newRow("nvarchar Hebrew")
        << "create table c (a nvarchar(10) collate Hebrew_CI_AI)" << 0 << "";
    QTest::newRow("varchar Chinese_PRC_CS_AS")
        << "create table c (a varchar(10) collate Chinese_PRC_CS_AS)" << 0 << "";
    QTest::newRow("database Chinese") << "create database c collate Chinese_PRC_CI_AS" << 0 << "";
}

void EngineTablesTest::collationsKept() {
    QFETCH(QString, statement);
    QFETCH(int, error);
    QFETCH(QString, text);
    const StatementResult r = run(*s_, statement);
    QCOMPARE(firstError(r), error);
    if (error)
        QCOMPARE(firstErrorText(r), text);
}

QTEST_GUILESS_MAIN(EngineTablesTest)
#include "tst_engine_tables.moc"
