// Hostile input, installers at work at once, failures half-way: every entry point refuses
// what it must before anything reaches the server, and a creation either completes or leaves
// nothing behind.

#include "accountset/creation.h"
#include "config/local_config.h"
#include "core/failure_explanation.h"
#include "core/input_checks.h"
#include "schema/create_tables.h"
#include "server/server_login.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/program_run.h"
#include "tests/support/recording_dialogs.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <vector>

using zt::accountset::CreateOutcome;
using zt::accountset::CreationStage;
using zt::accountset::Environment;
using zt::accountset::NewAccountSet;
using zt::accountset::PageQueries;
using zt::test::AccountSetFixture;
using zt::test::finishRun;
using zt::test::ProgramRun;
using zt::test::readTextFile;
using zt::test::runProgram;

namespace {

constexpr int processTimeoutMs = 180000;

QByteArray fileDigest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

bool execOnLocal(const QString& path, const QString& sql) {
    sqlite3* handle = nullptr;
    bool ok =
        sqlite3_open(path.toUtf8().constData(), &handle) == SQLITE_OK &&
        sqlite3_exec(handle, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(handle);
    return ok;
}

QStringList localNames(const QString& path) {
    zt::db::Query query(QStringLiteral("check"));
    query.setConnectionString(zt::config::localConnectionString(path));
    query.sqlAdd(QStringLiteral("select ztmc from 帐套信息表"));
    QStringList names;
    try {
        for (query.open(); !query.eof(); query.next())
            names << query.fieldByName(QStringLiteral("ztmc")).asString();
    } catch (const zt::db::DbError&) {
        // No such table in this copy: nothing registered either.
    }
    return names;
}

// A fault a test plants in the progress of a creation.
struct PlantedFault : std::runtime_error {
    PlantedFault() : std::runtime_error("planted fault") {}
};

} // namespace

class TestAccountSetSafety : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void hostileInputRefusedEverywhere_data();
    void hostileInputRefusedEverywhere();
    void parallelCreationsAllSucceed();
    void failedCreationLeavesNothing_data();
    void failedCreationLeavesNothing();
    void killedServerLeavesTheNameFree();
    void failedNetworkRegistrationExitsThree();
    void failureMessagesNameTheCause_data();
    void failureMessagesNameTheCause();

private:
    QStringList login() const { return {"--user", "sa", "--password", ""}; }
    Environment environment(zt::test::RecordingDialogs& dialogs,
                            const QString& localConnectionString) const;
    // A copy of the fixture's local database, with the login of its server stored.
    std::unique_ptr<QTemporaryDir> localCopy(QString& path) const;
    bool nothingLeftOf(const QString& name, const QString& localPath) const;

    AccountSetFixture fixture_;
};

void TestAccountSetSafety::initTestCase() {
    QVERIFY(fixture_.start());
    // The network registry as the first registration would make it, so checks can read it.
    fixture_.execServer(QStringLiteral("master"),
                        QStringLiteral("CREATE TABLE CHdatebase ([id] [bigint] IDENTITY (1, 1) "
                                       "NOT NULL, [ztbh] [nvarchar] (15) NULL, [ztmc] [nvarchar] "
                                       "(50) NULL, [zjmc] [nvarchar] (100) NULL, [net] "
                                       "[nvarchar] (10) NULL, [jlrq] [datetime] NULL, [kl] "
                                       "[nvarchar] (50) NULL)"));
}

Environment TestAccountSetSafety::environment(zt::test::RecordingDialogs& dialogs,
                                              const QString& localConnectionString) const {
    return Environment{dialogs, localConnectionString};
}

std::unique_ptr<QTemporaryDir> TestAccountSetSafety::localCopy(QString& path) const {
    auto dir = std::make_unique<QTemporaryDir>();
    path = dir->filePath(QStringLiteral("CHWHDB.mdb"));
    if (!QFile::copy(fixture_.localDatabasePath(), path))
        path.clear();
    return dir;
}

bool TestAccountSetSafety::nothingLeftOf(const QString& name, const QString& localPath) const {
    const QStringList registry = fixture_.serverColumn(
        QStringLiteral("master"), QStringLiteral("select ztmc from CHdatebase"),
        QStringLiteral("ztmc"));
    return !fixture_.databaseExists(name) && !registry.contains(name) &&
           !localNames(localPath).contains(name);
}

void TestAccountSetSafety::hostileInputRefusedEverywhere_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    const QString unsafeServer = zt::core::unsafeServerNameMessage();
    const QString badName = zt::core::badAccountSetNameMessage();
    const QString uncarriable = zt::core::uncarriableLoginMessage();
    // %1 is the real server, so that a check that lets the value through would reach it.
    QTest::newRow("server naming a catalog") << "server"
                                             << "%1;Initial Catalog=master" << unsafeServer;
    QTest::newRow("server with a quote") << "server"
                                         << "%1'" << unsafeServer;
    QTest::newRow("server with an equals sign") << "server"
                                                << "%1=x" << unsafeServer;
    QTest::newRow("server with a line break") << "server"
                                              << "%1\nx" << unsafeServer;
    QTest::newRow("name with a statement") << "name"
                                           << "S11;drop database master" << badName;
    QTest::newRow("name with an at sign") << "name"
                                          << "a@b" << badName;
    QTest::newRow("name with a dollar") << "name"
                                        << "a$b" << badName;
    QTest::newRow("temporary-table name") << "name"
                                          << "#tmp" << badName;
    QTest::newRow("system database") << "name"
                                     << "tempdb" << badName;
    QTest::newRow("probe name") << "name"
                                << "abcde12345" << badName;
    QTest::newRow("reserved word") << "name"
                                   << "select" << badName;
    QTest::newRow("digit first") << "name"
                                 << "1abc" << badName;
    QTest::newRow("closing bracket") << "name"
                                     << "a]b" << badName;
    QTest::newRow("name of 51") << "name" << QString(51, u'x') << badName;
    QTest::newRow("account password of 51")
        << "account-password" << QString(51, u'k') << zt::core::accountPasswordTooLongMessage();
    QTest::newRow("user ending a braced value") << "user"
                                                << "sa};DATABASE=master" << uncarriable;
    QTest::newRow("password with a line break") << "password"
                                                << "a\nb" << uncarriable;
    QTest::newRow("user of 129") << "user" << QString(129, u'u') << uncarriable;
}

void TestAccountSetSafety::hostileInputRefusedEverywhere() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    if (value.contains(QStringLiteral("%1")))
        value = value.arg(fixture_.serverName());
    QString localPath;
    const auto localDir = localCopy(localPath);
    QVERIFY(!localPath.isEmpty());
    const QByteArray localBefore = fileDigest(localPath);
    const QString traceBefore = readTextFile(fixture_.server().traceFile());

    QString server = fixture_.serverName();
    QString user = QStringLiteral("sa");
    QString password;
    QString name = QStringLiteral("安全帐");
    QString accountPassword;
    (field == u"server"     ? server
     : field == u"user"     ? user
     : field == u"password" ? password
     : field == u"name"     ? name
                            : accountPassword) = value;

    // zt-admin, every command that takes the value.
    const QStringList common{"--server",   server,   "--user",           user,
                             "--password", password, "--local-database", localPath};
    std::vector<QStringList> commands{QStringList{"create"} + common +
                                      QStringList{"--account-password", accountPassword, name}};
    if (field != u"name")
        commands.push_back(QStringList{"restore-sample"} + common +
                           QStringList{"--account-password", accountPassword});
    if (field != u"account-password")
        commands.push_back(QStringList{"select"} + common + QStringList{name});
    for (const QStringList& arguments : commands) {
        const ProgramRun result =
            runProgram(QStringLiteral(ZT_ADMIN_PATH), arguments, processTimeoutMs);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, message + u'\n');
    }

    // zt-make-sample, for the server and its login.
    if (field == u"server" || field == u"user" || field == u"password") {
        const QTemporaryDir scratch;
        const ProgramRun result = runProgram(
            QStringLiteral(ZT_MAKE_SAMPLE_PATH),
            {"--server", server, "--user", user, "--password", password, "--local-database",
             localPath, "--data", QStringLiteral(ZT_SOURCE_DIR "/data/sample_account_set.sql"),
             "--backup", scratch.filePath(QStringLiteral("s.bak"))},
            processTimeoutMs);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        // The probe, as the server page runs it.
        zt::db::Query probe(QStringLiteral("ADOQuery1"));
        QVERIFY_THROWS_EXCEPTION(zt::core::ExplainedFailure,
                                 zt::server::proveServer(probe, server, {false, user, password}));
    } else {
        // The operation behind the account-set page.
        zt::test::RecordingDialogs dialogs;
        PageQueries queries;
        const NewAccountSet input{server, name, accountPassword, true};
        QVERIFY(zt::accountset::createAccountSet(
                    queries, environment(dialogs, zt::config::localConnectionString(localPath)),
                    input) != CreateOutcome::Created);
        QCOMPARE(dialogs.messageTexts(), QStringList{message});
    }

    QCOMPARE(readTextFile(fixture_.server().traceFile()), traceBefore);
    QCOMPARE(fileDigest(localPath), localBefore);
}

void TestAccountSetSafety::parallelCreationsAllSucceed() {
    // A probe database of the old fixed name, as a killed run of an older version leaves it.
    try {
        fixture_.execServer(QStringLiteral("master"), QStringLiteral("create database abcde12345"));
    } catch (const std::exception& failure) {
        QFAIL(qPrintable(zt::core::causeOf(failure)));
    }
    constexpr int installers = 8;
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < installers; ++i) {
        QString localPath;
        dirs.push_back(localCopy(localPath));
        auto process = std::make_unique<QProcess>();
        process->start(QStringLiteral(ZT_ADMIN_PATH),
                       QStringList{"create", "--server", fixture_.serverName(), "--local-database",
                                   localPath, "--network", QStringLiteral("并行帐%1").arg(i)} +
                           login());
        processes.push_back(std::move(process));
    }
    for (int i = 0; i < installers; ++i) {
        const ProgramRun result = finishRun(*processes[size_t(i)], processTimeoutMs);
        QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
        int rights = -1;
        try {
            rights = fixture_.serverCount(QStringLiteral("并行帐%1").arg(i),
                                          QStringLiteral("用户权限表"));
        } catch (const std::exception& failure) {
            QFAIL(qPrintable(zt::core::causeOf(failure)));
        }
        QCOMPARE(rights, 220);
    }
    QVERIFY(fixture_.databaseExists(QStringLiteral("abcde12345")));
}

void TestAccountSetSafety::failedCreationLeavesNothing_data() {
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("done");
    QTest::addColumn<QString>("localChange");
    const QString none;
    const int tables = int(CreationStage::CreatingTables);
    QTest::newRow("after create database") << tables << 0 << none;
    QTest::newRow("after the first batch of tables")
        << tables << zt::schema::tablesPerBatch << none;
    QTest::newRow("half the tables") << tables << 54 << none;
    QTest::newRow("every table") << tables << 108 << none;
    QTest::newRow("before the default rows") << int(CreationStage::WritingDefaultData) << 0 << none;
    QTest::newRow("before registering") << int(CreationStage::Registering) << 0 << none;
    QTest::newRow("template table missing") << -1 << 0 << "drop table 打印设置表1";
    QTest::newRow("template column missing") << -1 << 0 << "alter table print_model drop column bz";
    QTest::newRow("local registration table missing") << -1 << 0 << "drop table 帐套信息表";
    QTest::newRow("local row refused after the network registration")
        << -1 << 0
        << "create trigger refuse before insert on 帐套信息表 begin select raise(abort, "
           "'refused'); end";
}

void TestAccountSetSafety::failedCreationLeavesNothing() {
    QFETCH(int, stage);
    QFETCH(int, done);
    QFETCH(QString, localChange);
    const QString name = QStringLiteral("故障帐%1").arg(QTest::currentDataTag()).remove(u' ');
    QVERIFY(zt::core::isAcceptableAccountSetName(name.left(50)));
    QString localPath;
    const auto localDir = localCopy(localPath);
    if (!localChange.isEmpty())
        QVERIFY(execOnLocal(localPath, localChange));

    zt::test::RecordingDialogs dialogs;
    PageQueries queries;
    Environment env = environment(dialogs, zt::config::localConnectionString(localPath));
    env.progress = [&](CreationStage at, int count, int) {
        if (int(at) == stage && count == done)
            throw PlantedFault();
    };
    const NewAccountSet input{fixture_.serverName(), name.left(50), QStringLiteral("k"), true};
    bool failed = false;
    try {
        zt::accountset::createAccountSet(queries, env, input);
    } catch (const std::exception&) {
        failed = true;
    }
    QVERIFY(failed);
    QVERIFY(!dialogs.messageTexts().contains(QStringLiteral("帐套创建成功！")));
    QVERIFY(nothingLeftOf(name.left(50), localPath));
}

void TestAccountSetSafety::killedServerLeavesTheNameFree() {
    AccountSetFixture own;
    QVERIFY(own.start());
    const QString name = QStringLiteral("断电帐");
    QProcess creation;
    creation.start(QStringLiteral(ZT_ADMIN_PATH),
                   QStringList{"create", "--server", own.serverName(), "--local-database",
                               own.localDatabasePath(), name} +
                       login());
    // Pull the plug while the tables are being made: the second batch of them has come in.
    const QDeadlineTimer deadline(60000);
    while (readTextFile(own.server().traceFile()).count(QStringLiteral("CREATE TABLE")) <=
               zt::schema::tablesPerBatch &&
           !deadline.hasExpired())
        QTest::qWait(2);
    own.server().kill();
    const ProgramRun interrupted = finishRun(creation, processTimeoutMs);
    QCOMPARE(interrupted.exitCode, 1);
    QVERIFY2(interrupted.err.contains(QStringLiteral("$zt_building$")) &&
                 interrupted.err.contains(QStringLiteral("不占用帐套名称")),
             qPrintable(interrupted.err));
    QVERIFY(!interrupted.err.contains(QStringLiteral("Adaptive Server")));

    QVERIFY(own.server().restart());
    QVERIFY(!own.databaseExists(name));
    const QStringList left = own.serverColumn(
        QStringLiteral("master"),
        QStringLiteral("select name from master..sysdatabases where name like N'%$zt%'"),
        QStringLiteral("name"));
    QCOMPARE(left.size(), 1);
    // A new creation of the name clears what the cut-off one left, then succeeds.
    const ProgramRun again =
        runProgram(QStringLiteral(ZT_ADMIN_PATH),
                   QStringList{"create", "--server", own.serverName(), "--local-database",
                               own.localDatabasePath(), name} +
                       login(),
                   processTimeoutMs);
    QCOMPARE(again.exitCode, 0);
    QVERIFY(own.databaseExists(name));
    QVERIFY(!own.databaseExists(left.first()));
}

void TestAccountSetSafety::failedNetworkRegistrationExitsThree() {
    AccountSetFixture restricted({"--login", "sa::sysadmin", "--login", "maker:pw:dbcreator"});
    QVERIFY(restricted.start());
    const ProgramRun result = runProgram(
        QStringLiteral(ZT_ADMIN_PATH),
        {"create", "--server", restricted.serverName(), "--user", "maker", "--password", "pw",
         "--local-database", restricted.localDatabasePath(), "--network", "受限网络帐"},
        processTimeoutMs);
    QCOMPARE(result.exitCode, 3);
    QCOMPARE(result.out, QStringLiteral("加入网络帐套出错！\n帐套创建成功！\n"));
    QVERIFY(restricted.databaseExists(QStringLiteral("受限网络帐")));
    QCOMPARE(
        restricted.localColumn(QStringLiteral("select net from 帐套信息表 where ztmc='受限网络帐'"),
                               QStringLiteral("net")),
        QStringList{QStringLiteral("否")});
}

void TestAccountSetSafety::failureMessagesNameTheCause_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("headline");
    QTest::addColumn<QString>("cause");
    const QString unreachable = QStringLiteral("连接服务器失败，请重新选择或录入服务器名称！");
    QTest::newRow("wrong password")
        << "password" << unreachable << "登录被拒绝：用户名或密码错误。";
    QTest::newRow("closed port") << "port" << unreachable << "无法连接到服务器";
    // The local file is checked first and blamed, not the server.
    QTest::newRow("unusable local file") << "local"
                                         << "本地配置数据库无法使用！"
                                         << "本地配置数据库无法使用：";
}

void TestAccountSetSafety::failureMessagesNameTheCause() {
    QFETCH(QString, situation);
    QFETCH(QString, headline);
    QFETCH(QString, cause);
    QTemporaryDir scratch;
    QString server = fixture_.serverName();
    QString password;
    QString localPath = fixture_.localDatabasePath();
    if (situation == u"password")
        password = QStringLiteral("wrong");
    if (situation == u"port") {
        zt::test::DevServerProcess stopped;
        QVERIFY(stopped.start());
        server = stopped.dataSource();
        stopped.stop();
    }
    if (situation == u"local") {
        localPath = scratch.filePath(QStringLiteral("CHWHDB.mdb"));
        QFile garbage(localPath);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
        garbage.close();
        cause += localPath;
    }
    const ProgramRun result = runProgram(QStringLiteral(ZT_ADMIN_PATH),
                                         {"list", "--server", server, "--user", "sa", "--password",
                                          password, "--local-database", localPath},
                                         processTimeoutMs);
    QCOMPARE(result.exitCode, 1);
    const QStringList lines = result.err.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.first(), headline);
    QVERIFY2(lines.last().startsWith(cause), qPrintable(lines.last()));
}

QTEST_GUILESS_MAIN(TestAccountSetSafety)
#include "tst_account_set_safety.moc"
