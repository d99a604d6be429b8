// Proving existing account sets against a private zt-devserver through the real driver: drift
// made by hand is reported as its kind, repair restores what is missing and refuses changed
// columns, scan finds half-made databases, drop-incomplete drops nothing else. The zt-admin
// cases run the executable itself.

#include "accountset/account_set_scan.h"
#include "accountset/account_set_verifier.h"
#include "core/input_checks.h"
#include "db/sql_literal.h"
#include "schema/create_tables.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/program_run.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using zt::accountset::DriftKind;
using zt::accountset::DropOutcome;
using zt::accountset::ServerTarget;
using zt::accountset::Verification;
using zt::test::AccountSetFixture;
using zt::test::ProgramRun;

Q_DECLARE_METATYPE(zt::accountset::DriftKind)

namespace {

// The bank table of the definitions, with one thing changed per drift.
QString bankTable(const QString& id, const QString& zhmc, const QString& je = "[je] [money] NULL",
                  const QString& tail = "[zhje] [money] NULL , [bz] [nvarchar] (20) COLLATE "
                                        "Chinese_PRC_CI_AS NULL") {
    return QStringLiteral("CREATE TABLE [dbo].[bank] (%1 , %2 , %3 , %4) ON [PRIMARY]")
        .arg(id, zhmc, je, tail);
}

const QString bankId = QStringLiteral("[ID] [int] IDENTITY (1, 1) NOT NULL");
const QString bankZhmc = QStringLiteral("[zhmc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL");

} // namespace

class TestVerifyRepair : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void freshAccountSetVerifiesClean();
    void driftIsReportedAsItsKind_data();
    void driftIsReportedAsItsKind();
    void extraTableIsShownButMatches();
    void missingDatabaseFails();
    void repairRestoresDroppedTableAndRights();
    void repairRefusesChangedColumn();
    void repairCompletesHalfMadeDatabase();
    void scanFindsHalfMadeDatabase();
    void dropIncompleteDropsOnlyUnregisteredIncomplete_data();
    void dropIncompleteDropsOnlyUnregisteredIncomplete();
    void cleanUpRemovesOnlyWhatThisProgramLeft();
    void registerAdoptsOnlyACompleteAccountSet();
    void adminVerifyReportsAndExits();
    void catalogCommandsFailInChinese_data();
    void catalogCommandsFailInChinese();
    void adminUsageErrors_data();
    void adminUsageErrors();

private:
    ServerTarget target() const { return {fixture_.serverName(), fixture_.credentialPart()}; }
    void makeAccountSet(const QString& name) const;
    void makeHalfMadeDatabase(const QString& name, int tables) const;
    void registerInNetwork(const QString& name) const;
    // missing, empty, half (12 tables), rowless (108 tables), whole, other (a table of its own)
    void make(const QString& name, const QString& made) const;
    ProgramRun admin(const QStringList& arguments) const;

    AccountSetFixture fixture_;
};

void TestVerifyRepair::initTestCase() {
    QVERIFY(fixture_.start());
}

void TestVerifyRepair::makeAccountSet(const QString& name) const {
    fixture_.createEmptyAccountSet(name);
    zt::db::Query source(QStringLiteral("ADOserver"));
    source.setConnectionString(fixture_.localConnectionString());
    zt::db::Query target(QStringLiteral("ADOcreate"));
    target.setConnectionString(zt::server::databaseConnectionString(fixture_.credentialPart(), name,
                                                                    fixture_.serverName()));
    zt::seed::seedDefaultData(source, target);
}

void TestVerifyRepair::makeHalfMadeDatabase(const QString& name, int tables) const {
    fixture_.execServer(QStringLiteral("master"), QStringLiteral("create database ") + name);
    zt::db::Query create(QStringLiteral("ADOcreate"));
    create.setConnectionString(zt::server::databaseConnectionString(fixture_.credentialPart(), name,
                                                                    fixture_.serverName()));
    // The first tables of the creation order, as a creation stopped there leaves them.
    for (const QString& statement : zt::schema::createTableStatements().mid(0, tables)) {
        create.close();
        create.sqlClear();
        create.sqlAdd(statement);
        create.execSql();
    }
}

void TestVerifyRepair::registerInNetwork(const QString& name) const {
    const QString master = QStringLiteral("master");
    if (fixture_
            .serverColumn(master,
                          QStringLiteral("select TABLE_NAME from INFORMATION_SCHEMA.TABLES "
                                         "where TABLE_NAME = 'CHdatebase'"),
                          QStringLiteral("TABLE_NAME"))
            .isEmpty())
        fixture_.execServer(master, QStringLiteral("CREATE TABLE CHdatebase ([id] [bigint] "
                                                   "IDENTITY (1, 1) NOT NULL, [ztmc] [nvarchar] "
                                                   "(50) COLLATE Chinese_PRC_CI_AS NULL)"));
    fixture_.execServer(master, QStringLiteral("insert into CHdatebase (ztmc) values (%1)")
                                    .arg(zt::db::unicodeLiteral(name)));
}

ProgramRun TestVerifyRepair::admin(const QStringList& arguments) const {
    return zt::test::runProgram(QStringLiteral(ZT_ADMIN_PATH), arguments);
}

void TestVerifyRepair::freshAccountSetVerifiesClean() {
    makeAccountSet(QStringLiteral("核对_新帐"));
    const Verification v = zt::accountset::verifyAccountSet(target(), QStringLiteral("核对_新帐"));
    QVERIFY2(v.drifts.empty(), qPrintable(v.drifts.empty() ? QString() : v.drifts.front().table));
    QVERIFY(v.matches());
    // One statement per catalog view and row set, never one per table.
    QVERIFY(v.roundTrips.statements <= 8);
}

void TestVerifyRepair::driftIsReportedAsItsKind_data() {
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<DriftKind>("kind");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");

    const QString dropBank = QStringLiteral("drop table [bank]");
    QTest::newRow("dropped table") << QStringList{dropBank} << DriftKind::MissingTable << "bank"
                                   << "";
    QTest::newRow("dropped column")
        << QStringList{dropBank,
                       bankTable(bankId, bankZhmc, "[je] [money] NULL", "[zhje] [money] NULL")}
        << DriftKind::MissingColumn << "bank"
        << "bz";
    QTest::newRow("changed type") << QStringList{dropBank,
                                                 bankTable(bankId, bankZhmc, "[je] [float] NULL")}
                                  << DriftKind::ColumnType << "bank"
                                  << "je";
    QTest::newRow("changed length")
        << QStringList{dropBank,
                       bankTable(bankId, "[zhmc] [nvarchar] (40) COLLATE Chinese_PRC_CI_AS NULL")}
        << DriftKind::ColumnLength << "bank"
        << "zhmc";
    QTest::newRow("nullability")
        << QStringList{dropBank,
                       bankTable(bankId, "[zhmc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NOT "
                                         "NULL")}
        << DriftKind::Nullability << "bank"
        << "zhmc";
    QTest::newRow("identity") << QStringList{dropBank, bankTable("[ID] [int] NOT NULL", bankZhmc)}
                              << DriftKind::Identity << "bank"
                              << "ID";
    QTest::newRow("collation")
        << QStringList{dropBank,
                       bankTable(bankId,
                                 "[zhmc] [nvarchar] (50) COLLATE Latin1_General_CI_AS NULL")}
        << DriftKind::Collation << "bank"
        << "zhmc";
    QTest::newRow("column order") << QStringList{dropBank,
                                                 bankTable(bankId, "[je] [money] NULL", bankZhmc)}
                                  << DriftKind::ColumnOrder << "bank"
                                  << "";
    QTest::newRow("extra column")
        << QStringList{dropBank, bankTable(bankId, bankZhmc, "[je] [money] NULL",
                                           "[zhje] [money] NULL , [bz] [nvarchar] (20) COLLATE "
                                           "Chinese_PRC_CI_AS NULL , [xx] [int] NULL")}
        << DriftKind::ExtraColumn << "bank"
        << "xx";
    QTest::newRow("dropped key")
        << QStringList{"drop table [仓库信息表]",
                       "CREATE TABLE [dbo].[仓库信息表] ([ID] [int] IDENTITY (1, 1) NOT NULL , "
                       "[ckmc] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NOT NULL , [ckwz] "
                       "[nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , [ckdz] [nvarchar] (50) "
                       "COLLATE Chinese_PRC_CI_AS NULL , [bz] [nvarchar] (255) COLLATE "
                       "Chinese_PRC_CI_AS NULL) ON [PRIMARY]"}
        << DriftKind::PrimaryKey << "仓库信息表"
        << "ckmc";
    QTest::newRow("missing rights")
        << QStringList{"delete from [用户权限表] where yhqx = 'n7' or yhqx = 'n8'"}
        << DriftKind::MissingRights << "用户权限表"
        << "yhqx";
    QTest::newRow("right not granted")
        << QStringList{"update [用户权限表] set pd = 'false' where yhqx = 'n9'"}
        << DriftKind::RightNotGranted << "用户权限表"
        << "pd";
    QTest::newRow("missing super administrator")
        << QStringList{"delete from [用户信息表]"} << DriftKind::MissingSuperAdministrator
        << "用户信息表"
        << "yhmc";
}

void TestVerifyRepair::driftIsReportedAsItsKind() {
    QFETCH(QStringList, statements);
    QFETCH(DriftKind, kind);
    QFETCH(QString, table);
    QFETCH(QString, column);
    const QString name =
        QStringLiteral("drift_") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_');
    makeAccountSet(name);
    for (const QString& statement : statements)
        fixture_.execServer(name, statement);

    const Verification v = zt::accountset::verifyAccountSet(target(), name);
    QCOMPARE(v.differenceCount(), 1);
    QCOMPARE(int(v.drifts.size()), 1);
    const zt::accountset::Drift& drift = v.drifts.front();
    QCOMPARE(drift.kind, kind);
    QCOMPARE(drift.table, table);
    QCOMPARE(drift.column, column);
}

void TestVerifyRepair::extraTableIsShownButMatches() {
    const QString name = QStringLiteral("extra_table");
    makeAccountSet(name);
    fixture_.execServer(name, QStringLiteral("create table [备注] ([x] [int] NULL)"));
    const Verification v = zt::accountset::verifyAccountSet(target(), name);
    QVERIFY(v.matches());
    QCOMPARE(v.extraTableCount(), 1);
    QCOMPARE(v.drifts.front().table, QStringLiteral("备注"));
}

void TestVerifyRepair::missingDatabaseFails() {
    try {
        zt::accountset::verifyAccountSet(target(), QStringLiteral("无此帐套"));
        QFAIL("a missing database verified");
    } catch (const zt::db::DbError& error) {
        QCOMPARE(error.text(), QStringLiteral("帐套【无此帐套】不存在"));
    }
    try {
        zt::accountset::scanServer({fixture_.serverName() + ";Database=x", {}});
        QFAIL("an unsafe server name was used");
    } catch (const zt::db::DbError& error) {
        QCOMPARE(error.text(), QStringLiteral("连接服务器失败，请重新选择或录入服务器名称！"));
    }
    // A name that is no plain identifier never reaches a statement.
    QVERIFY_THROWS_EXCEPTION(zt::db::DbError,
                             zt::accountset::verifyAccountSet(target(), QStringLiteral("a]--")));
}

void TestVerifyRepair::repairRestoresDroppedTableAndRights() {
    const QString name = QStringLiteral("repair_rows");
    makeAccountSet(name);
    fixture_.execServer(name, QStringLiteral("drop table [print_model]"));
    fixture_.execServer(name, QStringLiteral("delete from [用户权限表] where ID > 99"));
    fixture_.execServer(name, QStringLiteral("delete from [col_num]"));

    const zt::accountset::Repair r =
        zt::accountset::repairAccountSet(target(), name, fixture_.localConnectionString());
    QVERIFY(!r.refused);
    QCOMPARE(r.createdTables, QStringList{"print_model"});
    QCOMPARE(r.filledTemplateTables, (QStringList{"col_num", "print_model"}));
    QCOMPARE(r.addedRights, 121);
    QVERIFY(!r.addedSuperAdministrator);
    QVERIFY(r.after.matches());
    QVERIFY(zt::accountset::verifyAccountSet(target(), name).matches());
    QCOMPARE(fixture_.serverCount(name, QStringLiteral("用户权限表")), 220);
    QCOMPARE(fixture_.serverCount(name, QStringLiteral("print_model")),
             fixture_
                 .localColumn(QStringLiteral("select count(*) as n from print_model"),
                              QStringLiteral("n"))
                 .value(0)
                 .toInt());
}

void TestVerifyRepair::repairRefusesChangedColumn() {
    const QString name = QStringLiteral("repair_refused");
    makeAccountSet(name);
    fixture_.execServer(name, QStringLiteral("drop table [bank]"));
    fixture_.execServer(name,
                        bankTable(bankId, "[zhmc] [nvarchar] (40) COLLATE Chinese_PRC_CI_AS NULL"));
    fixture_.execServer(name, QStringLiteral("drop table [pay]"));

    const zt::accountset::Repair r =
        zt::accountset::repairAccountSet(target(), name, fixture_.localConnectionString());
    QVERIFY(r.refused);
    QCOMPARE(int(r.refusedFor.size()), 1);
    QCOMPARE(r.refusedFor.front().kind, DriftKind::ColumnLength);
    QVERIFY(r.createdTables.isEmpty());
    // Nothing was done: the dropped table is still missing.
    const Verification v = zt::accountset::verifyAccountSet(target(), name);
    QCOMPARE(v.missingTables, QStringList{"pay"});
}

void TestVerifyRepair::repairCompletesHalfMadeDatabase() {
    const QString name = QStringLiteral("repair_half");
    makeHalfMadeDatabase(name, 40);
    const zt::accountset::Repair r =
        zt::accountset::repairAccountSet(target(), name, fixture_.localConnectionString());
    QCOMPARE(r.createdTables.size(), 68);
    QVERIFY(r.addedSuperAdministrator);
    QCOMPARE(r.addedRights, 220);
    QCOMPARE(r.filledTemplateTables.size(), qsizetype(zt::seed::templateTables().size()));
    QVERIFY(r.after.matches());
}

void TestVerifyRepair::scanFindsHalfMadeDatabase() {
    makeHalfMadeDatabase(QStringLiteral("scan_half"), 40);
    makeAccountSet(QStringLiteral("scan_whole"));
    registerInNetwork(QStringLiteral("scan_whole"));
    fixture_.execServer(QStringLiteral("master"), QStringLiteral("create database scan_other"));
    fixture_.execServer(QStringLiteral("scan_other"),
                        QStringLiteral("create table [t] ([x] [int] NULL)"));

    const zt::accountset::Scan scan = zt::accountset::scanServer(target());
    QVERIFY(scan.registryExists);
    auto find = [&](const QString& name) -> const zt::accountset::ScannedDatabase* {
        for (const auto& d : scan.databases)
            if (d.name == name)
                return &d;
        return nullptr;
    };
    const auto* half = find(QStringLiteral("scan_half"));
    QVERIFY(half);
    QCOMPARE(half->tables, 40);
    QVERIFY(!half->complete());
    QVERIFY(!half->registered);
    const auto* whole = find(QStringLiteral("scan_whole"));
    QVERIFY(whole);
    QVERIFY(whole->complete());
    QVERIFY(whole->registered);
    QVERIFY(!find(QStringLiteral("scan_other")));

    const ProgramRun run = admin(QStringList{"scan", "--json"} + fixture_.adminOptions());
    QCOMPARE(run.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
    bool seen = false;
    for (const QJsonValue& value : json.value("databases").toArray()) {
        const QJsonObject d = value.toObject();
        if (d.value("name").toString() == u"scan_half") {
            seen = true;
            QCOMPARE(d.value("status").toString(), QStringLiteral("incomplete"));
            QCOMPARE(d.value("tables").toInt(), 40);
            QCOMPARE(d.value("registered").toBool(), false);
        }
    }
    QVERIFY(seen);
}

void TestVerifyRepair::dropIncompleteDropsOnlyUnregisteredIncomplete_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("made"); // missing, empty, half, rowless, whole, other
    QTest::addColumn<bool>("registered");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("incomplete") << "drop_half"
                                << "half" << false << "dropped" << 0;
    QTest::newRow("tables without default rows") << "drop_rowless"
                                                 << "rowless" << false << "dropped" << 0;
    QTest::newRow("empty") << "drop_empty"
                           << "empty" << false << "dropped" << 0;
    QTest::newRow("complete") << "drop_whole"
                              << "whole" << false << "complete" << 1;
    QTest::newRow("registered") << "drop_registered"
                                << "half" << true << "registered" << 1;
    QTest::newRow("someone else's") << "drop_other"
                                    << "other" << false << "notAnAccountSet" << 1;
    QTest::newRow("missing") << "drop_missing"
                             << "missing" << false << "notFound" << 1;
}

void TestVerifyRepair::make(const QString& name, const QString& made) const {
    if (made == u"whole")
        makeAccountSet(name);
    else if (made == u"half")
        makeHalfMadeDatabase(name, 12);
    else if (made == u"rowless")
        fixture_.createEmptyAccountSet(name);
    else if (made == u"empty" || made == u"other")
        fixture_.execServer(QStringLiteral("master"),
                            QStringLiteral("create database ") + zt::db::bracketedName(name));
    if (made == u"other")
        fixture_.execServer(name, QStringLiteral("create table [t] ([x] [int] NULL)"));
}

void TestVerifyRepair::dropIncompleteDropsOnlyUnregisteredIncomplete() {
    QFETCH(QString, name);
    QFETCH(QString, made);
    QFETCH(bool, registered);
    QFETCH(QString, outcome);
    QFETCH(int, exitCode);
    make(name, made);
    if (registered)
        registerInNetwork(name);

    QCOMPARE(admin(QStringList{"drop-incomplete"} + fixture_.adminOptions() + QStringList{name})
                 .exitCode,
             2);
    const ProgramRun run = admin(QStringList{"drop-incomplete", "--json"} +
                                 fixture_.adminOptions() + QStringList{name, "--yes"});
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8()).object().value("outcome").toString(),
             outcome);
    QCOMPARE(fixture_.databaseExists(name), made != u"missing" && outcome != u"dropped");
}

void TestVerifyRepair::cleanUpRemovesOnlyWhatThisProgramLeft() {
    const QString unfinished = QStringLiteral("cu_kept$zt_building$0123abcd");
    const QString probe = QStringLiteral("abcde12345_00000000000000c1");
    make(unfinished, QStringLiteral("half"));
    make(probe, QStringLiteral("empty"));
    make(QStringLiteral("cu_whole"), QStringLiteral("whole"));
    make(QStringLiteral("cu_named"), QStringLiteral("rowless"));
    make(QStringLiteral("cu_registered"), QStringLiteral("half"));
    make(QStringLiteral("cu_other"), QStringLiteral("other"));
    registerInNetwork(QStringLiteral("cu_registered"));
    registerInNetwork(QStringLiteral("cu_gone")); // names no database
    const QStringList named = {"cu_named", "cu_registered", "cu_whole"};

    // Without --yes it only lists.
    ProgramRun run = admin(QStringList{"clean-up", "--json"} + fixture_.adminOptions() + named);
    QStringList listed;
    for (const QJsonValue& item :
         QJsonDocument::fromJson(run.out.toUtf8()).object().value("items").toArray())
        listed << item.toObject().value("name").toString() + u'=' +
                      item.toObject().value("outcome").toString();
    for (const QString& expected :
         {unfinished + "=dropped", probe + "=dropped", QStringLiteral("cu_gone=dropped"),
          QStringLiteral("cu_named=dropped"), QStringLiteral("cu_registered=registered"),
          QStringLiteral("cu_whole=complete")})
        QVERIFY2(listed.contains(expected), qPrintable(listed.join(u' ')));
    QVERIFY(fixture_.databaseExists(unfinished) && fixture_.databaseExists(probe));

    run = admin(QStringList{"clean-up", "--yes"} + fixture_.adminOptions() + named);
    QCOMPARE(run.exitCode, 1); // two named ones were refused
    for (const QString& gone : {unfinished, probe, QStringLiteral("cu_named")})
        QVERIFY2(!fixture_.databaseExists(gone), qPrintable(gone));
    for (const char* kept : {"cu_whole", "cu_registered", "cu_other"})
        QVERIFY2(fixture_.databaseExists(QString::fromUtf8(kept)), kept);
    QVERIFY(!fixture_
                 .serverColumn(QStringLiteral("master"),
                               QStringLiteral("select ztmc from CHdatebase"),
                               QStringLiteral("ztmc"))
                 .contains(QStringLiteral("cu_gone")));
}

void TestVerifyRepair::registerAdoptsOnlyACompleteAccountSet() {
    make(QStringLiteral("adopt_half"), QStringLiteral("rowless"));
    make(QStringLiteral("adopt_whole"), QStringLiteral("whole"));
    auto registerArgs = [&](const char* name) {
        // (The network registry of this fixture is a narrow one; the fault test registers there.)
        return QStringList{"register", "--account-password", "k"} + fixture_.adminOptions() +
               QStringList{QString::fromUtf8(name)};
    };
    ProgramRun run = admin(registerArgs("adopt_half"));
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.out.contains(QStringLiteral("zt-admin repair")), qPrintable(run.out));
    QCOMPARE(admin(registerArgs("adopt_missing")).exitCode, 1);

    run = admin(registerArgs("adopt_whole"));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(fixture_.localColumn(QStringLiteral("select kl, net from 帐套信息表 where "
                                                 "ztmc='adopt_whole'"),
                                  QStringLiteral("net")),
             QStringList{QStringLiteral("否")});
    run = admin(registerArgs("adopt_whole"));
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.contains(QStringLiteral("已经登记")));
}

void TestVerifyRepair::adminVerifyReportsAndExits() {
    const QString name = QStringLiteral("admin_verify");
    makeAccountSet(name);
    ProgramRun run = admin(QStringList{"verify"} + fixture_.adminOptions() + QStringList{name});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith(QStringLiteral("帐套【admin_verify】与定义相符")));

    fixture_.execServer(name, QStringLiteral("drop table [yjc]"));
    run = admin(QStringList{"verify"} + fixture_.adminOptions() + QStringList{name});
    QCOMPARE(run.exitCode, 4);
    QVERIFY(run.out.contains(QStringLiteral("缺少表")));
    QVERIFY(run.out.contains(QStringLiteral("帐套【admin_verify】与定义不符：1 处不同。")));

    run = admin(QStringList{"repair", "--json"} + fixture_.adminOptions() + QStringList{name});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(json.value("createdTables").toArray(), QJsonArray{"yjc"});
    QCOMPARE(json.value("after").toObject().value("matches").toBool(), true);

    run =
        admin(QStringList{"verify", "--json"} + fixture_.adminOptions() + QStringList{"无此帐套"});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("帐套【无此帐套】不存在\n"));
}

void TestVerifyRepair::catalogCommandsFailInChinese_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("server"); // "closed": a port nobody listens on
    QTest::addColumn<QString>("first");  // the first line of the message
    for (const char* command : {"scan", "verify", "repair"}) {
        QTest::addRow("%s, closed port", command) << command << "closed"
                                                  << "连接服务器失败，请重新选择或录入服务器名称！";
        QTest::addRow("%s, unsafe name", command)
            << command << "x;Database=master" << zt::core::unsafeServerNameMessage();
    }
}

void TestVerifyRepair::catalogCommandsFailInChinese() {
    QFETCH(QString, command);
    QFETCH(QString, server);
    QFETCH(QString, first);
    if (server == u"closed") {
        zt::test::DevServerProcess stopped;
        QVERIFY(stopped.start());
        server = stopped.dataSource();
        stopped.stop();
    }
    QStringList arguments{command,  "--json", "--server",         server,
                          "--user", "sa",     "--local-database", fixture_.localDatabasePath()};
    if (command != u"scan")
        arguments << QStringLiteral("帐套");
    const ProgramRun run = admin(arguments);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err.section(u'\n', 0, 0), first);
    QVERIFY2(!run.err.contains(QStringLiteral("Adaptive Server")) &&
                 !run.err.contains(QStringLiteral("Unable to connect")),
             qPrintable(run.err));
    // A script still gets its result object.
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(json.value("ok").toBool(true), false);
    QCOMPARE(json.value("command").toString(), command);
    QVERIFY(json.value("error").toString().startsWith(first));
}

void TestVerifyRepair::adminUsageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("verify without name") << QStringList{"verify", "--server", "s"};
    QTest::newRow("scan with a name") << QStringList{"scan", "--server", "s", "x"};
    QTest::newRow("verify without server") << QStringList{"verify", "x"};
    QTest::newRow("yes outside drop") << QStringList{"repair", "--server", "s", "x", "--yes"};
    QTest::newRow("clean-up without server") << QStringList{"clean-up", "--yes"};
    QTest::newRow("drop without yes") << QStringList{"drop-incomplete", "--server", "s", "x"};
    QTest::newRow("unknown option") << QStringList{"scan", "--server", "s", "--frob"};
}

void TestVerifyRepair::adminUsageErrors() {
    QFETCH(QStringList, arguments);
    const ProgramRun run = admin(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains(QStringLiteral("--help")));
}

QTEST_GUILESS_MAIN(TestVerifyRepair)
#include "tst_verify_repair.moc"
