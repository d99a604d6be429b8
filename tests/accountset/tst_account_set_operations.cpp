// The account-set operations without a window, against a private zt-devserver through the
// real driver: creating, registering locally and in master.CHdatebase, listing, selecting,
// deleting, restoring the sample, and the names that never reach the server. Every function
// gets a server and a local database of its own and makes the rows it needs.

#include "accountset/creation.h"
#include "accountset/network_registry.h"
#include "accountset/sample_builder.h"
#include "accountset/sample_restore.h"
#include "config/local_config.h"
#include "core/failure_explanation.h"
#include "core/input_checks.h"
#include "db/sql_literal.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/recording_dialogs.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

using zt::DialogAnswer;
using zt::DialogButtons;
using zt::DialogIcon;
using zt::accountset::CreateOutcome;
using zt::accountset::DeleteOutcome;
using zt::accountset::Environment;
using zt::accountset::NetworkList;
using zt::accountset::NewAccountSet;
using zt::accountset::PageQueries;
using zt::accountset::SelectOutcome;
using zt::db::DbError;
using zt::db::Query;
using zt::test::AccountSetFixture;
using zt::test::nullText;
using zt::test::RecordingDialogs;

namespace {

const QDate registrationDay(2026, 3, 9);

// "ztmc|kl|zjmc|net|jlrq" for every row of 帐套信息表, in table order.
QStringList localRegistrations(const AccountSetFixture& fixture) {
    Query query(QStringLiteral("check"));
    query.setConnectionString(fixture.localConnectionString());
    query.sqlAdd(QStringLiteral("select*from 帐套信息表"));
    query.open();
    QStringList rows;
    for (; !query.eof(); query.next()) {
        QStringList fields;
        for (const char* name : {"ztmc", "kl", "zjmc", "net"})
            fields << query.fieldByName(QString::fromUtf8(name)).asString();
        fields << query.fieldByName(QStringLiteral("jlrq")).asDateTime().toString(Qt::ISODate);
        rows << fields.join(u'|');
    }
    return rows;
}

// The statement that makes the registry, as other workstations' programs send it too.
QString registryCreateStatement() {
    return QStringLiteral("CREATE TABLE CHdatebase ( \n"
                          "[id] [bigint] IDENTITY (1, 1) NOT NULL , \n"
                          "\t[ztbh] [nvarchar] (15) COLLATE Chinese_PRC_CI_AS NULL ,\n"
                          "\t[ztmc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL ,\n"
                          "\t[zjmc] [nvarchar] (100) COLLATE Chinese_PRC_CI_AS NULL ,\n"
                          "\t[net] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL ,\n"
                          "\t[jlrq] [datetime] NULL ,\n"
                          "\t[kl] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL \n"
                          ") ON [PRIMARY] \nGO");
}

QString registeredOn() {
    return QDateTime(registrationDay, QTime(0, 0)).toString(Qt::ISODate);
}

} // namespace

class TestAccountSetOperations : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void acceptableNames_data();
    void acceptableNames();
    void refusedNamesNeverReachTheServer_data();
    void refusedNamesNeverReachTheServer();
    void emptyInputsBeepAndStop_data();
    void emptyInputsBeepAndStop();

    void createsSeedsAndRegistersLocally();
    void existingDatabaseFailsAtCreation();
    void listingWithoutRegistryIsEmptyAndSilent();
    void firstNetworkCreationMakesTheRegistry();
    void laterRegistrationsAppendSilently();
    void registrationRefusedForDbCreatorKeepsTheAccountSetLocal();
    void selectingAnAccountSetAlreadyHere();
    void selectingAfterNoWritesNothing();
    void selectingCopiesTheRegistryRow();
    void deletionAsksWithTheName();
    void wrongPasswordsAreRefused_data();
    void wrongPasswordsAreRefused();
    void deletionDropsDatabaseAndRegistryRow();
    void deletionOfAMissingDatabaseFails();
    void sampleRestoredTwiceIsRegisteredTwice();
    void sampleRestoreNeedsAServer();
    void sampleStatementsSkipCommentsAndBlankLines();
    void shippedSampleHoldsTheDemonstrationData();

private:
    Environment environment();
    NewAccountSet accountSet(const QString& name, bool network = false,
                             const QString& password = QString());
    QStringList registryNames();
    QString serverTrace();
    // A registry row with the password given as SQL (NULL, '').
    bool addRegistryRow(const QString& accountSetName, const QString& passwordSql);
    // 共享帐 (password Secret) made here as a network account set, then 第二帐 made on
    // another workstation: the database of the first, two registry rows, one local row.
    bool makeTwoNetworkAccountSets();

    std::unique_ptr<AccountSetFixture> fixture_;
    RecordingDialogs dialogs_;
    std::unique_ptr<PageQueries> queries_;
    std::unique_ptr<QTemporaryDir> sampleDirectory_;
};

void TestAccountSetOperations::init() {
    dialogs_.clear();
    queries_ = std::make_unique<PageQueries>();
    sampleDirectory_ = std::make_unique<QTemporaryDir>();
    QVERIFY(sampleDirectory_->isValid());
    fixture_ = std::make_unique<AccountSetFixture>();
    QVERIFY(fixture_->start());
}

void TestAccountSetOperations::cleanup() {
    queries_.reset();
    fixture_.reset();
    sampleDirectory_.reset();
}

bool TestAccountSetOperations::makeTwoNetworkAccountSets() {
    return fixture_->execServer(QStringLiteral("master"),
                                QStringLiteral("create database 共享帐")) &&
           fixture_->createRegistry() &&
           fixture_->addRegistryRow(QStringLiteral("共享帐"), QStringLiteral("Secret")) &&
           fixture_->addRegistryRow(QStringLiteral("第二帐"), QString()) &&
           fixture_->registerLocally(QStringLiteral("共享帐"), QStringLiteral("Secret"), true);
}

Environment TestAccountSetOperations::environment() {
    Environment env{dialogs_, fixture_->localConnectionString()};
    env.today = [] { return registrationDay; };
    env.sampleDataDirectory = QDir(sampleDirectory_->path()).filePath(QStringLiteral("mssql/data"));
    return env;
}

NewAccountSet TestAccountSetOperations::accountSet(const QString& name, bool network,
                                                   const QString& password) {
    return NewAccountSet{fixture_->serverName(), name, password, network};
}

QStringList TestAccountSetOperations::registryNames() {
    return fixture_->serverColumn(QStringLiteral("master"),
                                  QStringLiteral("select * from CHdatebase order by id"),
                                  QStringLiteral("ztmc"));
}

QString TestAccountSetOperations::serverTrace() {
    QFile trace(fixture_->server().traceFile());
    return trace.open(QIODevice::ReadOnly) ? QString::fromUtf8(trace.readAll()) : QString();
}

bool TestAccountSetOperations::addRegistryRow(const QString& accountSetName,
                                              const QString& passwordSql) {
    return fixture_->execServer(
        QStringLiteral("master"),
        QStringLiteral("insert into CHdatebase (ztmc, zjmc, jlrq, kl) values "
                       "(%1, %2, '2020-01-01', %3)")
            .arg(zt::db::quotedLiteral(accountSetName),
                 zt::db::quotedLiteral(fixture_->serverName()), passwordSql));
}

void TestAccountSetOperations::acceptableNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("acceptable");
    QTest::newRow("letters") << "abc" << true;
    QTest::newRow("chinese") << "澄桦3000商业例子帐" << true;
    QTest::newRow("underscore first") << "_a1" << true;
    QTest::newRow("at sign after") << "a@9" << false;
    QTest::newRow("dollar after") << "a$9" << false;
    QTest::newRow("hash after") << "a#9" << false;
    QTest::newRow("extension b ideograph") << QString::fromUtf8("\xf0\xa0\x80\x80帐_1") << true;
    QTest::newRow("system database") << "tempdb" << false;
    QTest::newRow("system database, other case") << "MASTER" << false;
    QTest::newRow("probe name") << "abcde12345" << false;
    QTest::newRow("probe name with suffix") << "abcde12345_0f" << false;
    QTest::newRow("surrounding blanks") << "  abc\t" << true;
    QTest::newRow("fifty") << QString(50, u'x') << true;
    QTest::newRow("fifty-one") << QString(51, u'x') << false;
    QTest::newRow("digit first") << "1abc" << false;
    QTest::newRow("at first") << "@abc" << false;
    QTest::newRow("inner blank") << "a b" << false;
    QTest::newRow("hyphen") << "a-b" << false;
    QTest::newRow("quote") << "a'b" << false;
    QTest::newRow("statement") << "a;drop database master" << false;
    QTest::newRow("bracket") << "a]" << false;
    QTest::newRow("reserved") << "Select" << false;
    QTest::newRow("reserved database") << "database" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("full-width blank") << "帐\u3000套" << false;
}

void TestAccountSetOperations::acceptableNames() {
    QFETCH(QString, name);
    QFETCH(bool, acceptable);
    QCOMPARE(zt::core::isAcceptableAccountSetName(name), acceptable);
}

void TestAccountSetOperations::refusedNamesNeverReachTheServer_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("digit first") << "9lives";
    QTest::newRow("blank inside") << "my books";
    QTest::newRow("quote") << "o'hara";
    QTest::newRow("reserved") << "table";
    QTest::newRow("blanks only") << "  ";
    QTest::newRow("too long") << QString(51, u'a');
}

void TestAccountSetOperations::refusedNamesNeverReachTheServer() {
    QFETCH(QString, name);
    // A closed loopback port: reaching for the server would throw.
    const NewAccountSet input{QStringLiteral("127.0.0.1,1"), name, QString(), true};
    QCOMPARE(zt::accountset::createAccountSet(*queries_, environment(), input),
             CreateOutcome::RefusedName);
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(
        dialogs_.messages.first().text,
        QStringLiteral("帐套名称只能由汉字、字母、数字和下划线组成，不能以数字开头，且不超过50个"
                       "字符！"));
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("新增帐套"));
    QCOMPARE(dialogs_.messages.first().icon, DialogIcon::Information);
}

void TestAccountSetOperations::emptyInputsBeepAndStop_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("text");
    QTest::newRow("no server") << ""
                               << "" << int(CreateOutcome::EmptyServerName)
                               << "服务器名称不能为空,请点击“上一步”获取可加用的服务器名称！";
    QTest::newRow("no name") << "127.0.0.1,1"
                             << "" << int(CreateOutcome::EmptyName) << "帐套名称不能为空！";
}

void TestAccountSetOperations::emptyInputsBeepAndStop() {
    QFETCH(QString, server);
    QFETCH(QString, name);
    QFETCH(int, outcome);
    QFETCH(QString, text);
    const NewAccountSet input{server, name, QString(), false};
    QCOMPARE(int(zt::accountset::createAccountSet(*queries_, environment(), input)), outcome);
    QCOMPARE(dialogs_.events, (QStringList{"beep", "message"}));
    QCOMPARE(dialogs_.messages.first().text, text);
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("新增帐套"));
}

void TestAccountSetOperations::createsSeedsAndRegistersLocally() {
    const int before = localRegistrations(*fixture_).size();
    QCOMPARE(zt::accountset::createAccountSet(
                 *queries_, environment(),
                 accountSet(QStringLiteral(" 本地帐 "), false, QStringLiteral(" pw1 "))),
             CreateOutcome::Created);
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages.first().text, QStringLiteral("帐套创建成功！"));
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("新增账套"));
    QCOMPARE(dialogs_.messages.first().icon, DialogIcon::Information);

    const QStringList tables = fixture_->serverColumn(
        QStringLiteral("本地帐"),
        QStringLiteral("select * from INFORMATION_SCHEMA.TABLES where TABLE_TYPE='BASE TABLE'"),
        QStringLiteral("TABLE_NAME"));
    QCOMPARE(tables.size(), 108);
    QCOMPARE(fixture_->serverCount(QStringLiteral("本地帐"), QStringLiteral("用户信息表")), 1);
    QCOMPARE(fixture_->serverCount(QStringLiteral("本地帐"), QStringLiteral("用户权限表")), 220);

    const QStringList rows = localRegistrations(*fixture_);
    QCOMPARE(rows.size(), before + 1);
    QCOMPARE(rows.last(),
             QStringLiteral("本地帐|pw1|%1|否|%2").arg(fixture_->serverName(), registeredOn()));
}

void TestAccountSetOperations::existingDatabaseFailsAtCreation() {
    QCOMPARE(zt::accountset::createAccountSet(*queries_, environment(),
                                              accountSet(QStringLiteral("twice"))),
             CreateOutcome::Created);
    const int registered = localRegistrations(*fixture_).size();
    dialogs_.clear();
    try {
        zt::accountset::createAccountSet(*queries_, environment(),
                                         accountSet(QStringLiteral("twice")));
        QFAIL("a second account set of the same name was created");
    } catch (const zt::core::ExplainedFailure& refusal) {
        QCOMPARE(refusal.message(),
                 QStringLiteral("服务器上已有名为【twice】的数据库，请换一个帐套名称。"));
    }
    QVERIFY(dialogs_.messages.isEmpty());
    QCOMPARE(localRegistrations(*fixture_).size(), registered);
}

void TestAccountSetOperations::listingWithoutRegistryIsEmptyAndSilent() {
    NetworkList list;
    QVERIFY(!zt::accountset::loadNetworkRegistry(*queries_, environment(), list,
                                                 fixture_->serverName()));
    QVERIFY(!list.loaded);
    QVERIFY(list.rows.empty());
    // Like an empty list: nothing asked, nothing written, no error.
    const int registered = localRegistrations(*fixture_).size();
    QCOMPARE(zt::accountset::selectNetworkAccountSet(*queries_, environment(), list, 0),
             SelectOutcome::NothingToSelect);
    QVERIFY(!zt::accountset::confirmNetworkDeletion(environment(), list, 0));
    QCOMPARE(zt::accountset::deleteNetworkAccountSet(*queries_, environment(), list, 0, QString()),
             DeleteOutcome::NothingToDelete);
    QVERIFY(dialogs_.events.isEmpty());
    QCOMPARE(localRegistrations(*fixture_).size(), registered);
}

void TestAccountSetOperations::firstNetworkCreationMakesTheRegistry() {
    QCOMPARE(zt::accountset::createAccountSet(
                 *queries_, environment(),
                 accountSet(QStringLiteral("共享帐"), true, QStringLiteral("Secret "))),
             CreateOutcome::Created);
    QCOMPARE(dialogs_.messageTexts(), QStringList{QStringLiteral("帐套创建成功！")});
    QVERIFY(serverTrace().contains(registryCreateStatement()));

    const QString columns =
        QStringLiteral("select * from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME='CHdatebase' "
                       "order by ORDINAL_POSITION");
    QCOMPARE(
        fixture_->serverColumn(QStringLiteral("master"), columns, QStringLiteral("COLUMN_NAME")),
        (QStringList{"id", "ztbh", "ztmc", "zjmc", "net", "jlrq", "kl"}));
    QCOMPARE(fixture_->serverColumn(QStringLiteral("master"), columns, QStringLiteral("DATA_TYPE")),
             (QStringList{"bigint", "nvarchar", "nvarchar", "nvarchar", "nvarchar", "datetime",
                          "nvarchar"}));
    QCOMPARE(fixture_->serverColumn(QStringLiteral("master"), columns,
                                    QStringLiteral("CHARACTER_MAXIMUM_LENGTH")),
             (QStringList{nullText(), "15", "50", "100", "10", nullText(), "50"}));

    const QString select = QStringLiteral("select * from CHdatebase");
    QCOMPARE(fixture_->serverColumn(QStringLiteral("master"), select, QStringLiteral("ztmc")),
             QStringList{QStringLiteral("共享帐")});
    QCOMPARE(fixture_->serverColumn(QStringLiteral("master"), select, QStringLiteral("ztbh")),
             QStringList{nullText()});
    QCOMPARE(fixture_->serverColumn(QStringLiteral("master"), select, QStringLiteral("net")),
             QStringList{nullText()});
    QCOMPARE(fixture_->serverColumn(QStringLiteral("master"), select, QStringLiteral("kl")),
             QStringList{QStringLiteral("Secret")});
    QCOMPARE(fixture_->serverColumn(QStringLiteral("master"), select, QStringLiteral("zjmc")),
             QStringList{fixture_->serverName()});
    QCOMPARE(localRegistrations(*fixture_).last(),
             QStringLiteral("共享帐|Secret|%1|是|%2").arg(fixture_->serverName(), registeredOn()));
}

void TestAccountSetOperations::laterRegistrationsAppendSilently() {
    QVERIFY(fixture_->createRegistry());
    QVERIFY(fixture_->addRegistryRow(QStringLiteral("共享帐"), QStringLiteral("Secret")));
    QCOMPARE(zt::accountset::createAccountSet(*queries_, environment(),
                                              accountSet(QStringLiteral("第二帐"), true)),
             CreateOutcome::Created);
    QCOMPARE(dialogs_.messageTexts(), QStringList{QStringLiteral("帐套创建成功！")});
    QCOMPARE(registryNames(), (QStringList{"共享帐", "第二帐"}));

    NetworkList list;
    QVERIFY(zt::accountset::loadNetworkRegistry(*queries_, environment(), list,
                                                fixture_->serverName()));
    QCOMPARE(list.rows.size(), std::size_t(2));
    QCOMPARE(list.rows.at(0).accountSetName, QStringLiteral("共享帐"));
    QCOMPARE(list.rows.at(0).password, QStringLiteral("Secret"));
    QCOMPARE(list.serverName, fixture_->serverName());
    QCOMPARE(list.credentialPart, fixture_->credentialPart());
}

void TestAccountSetOperations::registrationRefusedForDbCreatorKeepsTheAccountSetLocal() {
    AccountSetFixture restricted({"--login", "sa::sysadmin", "--login", "maker:pw:dbcreator"});
    QVERIFY(restricted.start());
    Query local(QStringLiteral("ADOQuery2"));
    local.setConnectionString(restricted.localConnectionString());
    zt::config::storeServerLogin(local, restricted.serverName(),
                                 {false, QStringLiteral("maker"), QStringLiteral("pw")});

    Environment env{dialogs_, restricted.localConnectionString()};
    env.today = [] { return registrationDay; };
    PageQueries queries;
    const NewAccountSet input{restricted.serverName(), QStringLiteral("受限帐"), QString(), true};
    QCOMPARE(zt::accountset::createAccountSet(queries, env, input),
             CreateOutcome::CreatedWithoutNetwork);

    QCOMPARE(dialogs_.messageTexts(), (QStringList{"加入网络帐套出错！", "帐套创建成功！"}));
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("创建帐套"));
    QCOMPARE(dialogs_.messages.first().icon, DialogIcon::None);
    QCOMPARE(localRegistrations(restricted).last(),
             QStringLiteral("受限帐||%1|否|%2").arg(restricted.serverName(), registeredOn()));
    QVERIFY(restricted.databaseExists(QStringLiteral("受限帐")));
    NetworkList list;
    QVERIFY(!zt::accountset::loadNetworkRegistry(queries, env, list, restricted.serverName()));
}

void TestAccountSetOperations::selectingAnAccountSetAlreadyHere() {
    QVERIFY(makeTwoNetworkAccountSets());
    NetworkList list;
    QVERIFY(zt::accountset::loadNetworkRegistry(*queries_, environment(), list,
                                                fixture_->serverName()));
    const int registered = localRegistrations(*fixture_).size();
    QCOMPARE(zt::accountset::selectNetworkAccountSet(*queries_, environment(), list, 0),
             SelectOutcome::AlreadyRegistered);
    QCOMPARE(dialogs_.messageTexts(),
             QStringList{QStringLiteral("已经存在服务器名称和帐套名称相同的帐套！")});
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("创建帐套"));
    QCOMPARE(localRegistrations(*fixture_).size(), registered);
}

void TestAccountSetOperations::selectingAfterNoWritesNothing() {
    QVERIFY(makeTwoNetworkAccountSets());
    QVERIFY(addRegistryRow(QStringLiteral("o'brien"), QStringLiteral("NULL")));
    NetworkList list;
    QVERIFY(zt::accountset::loadNetworkRegistry(*queries_, environment(), list,
                                                fixture_->serverName()));
    const int row = static_cast<int>(list.rows.size()) - 1;
    const int registered = localRegistrations(*fixture_).size();
    dialogs_.answers.push_back(DialogAnswer::No);
    QCOMPARE(zt::accountset::selectNetworkAccountSet(*queries_, environment(), list, row),
             SelectOutcome::Declined);
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages.first().text,
             QStringLiteral("确定要将网络帐套【o'brien】的选择引入吗？"));
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("Confirm"));
    QCOMPARE(dialogs_.messages.first().icon, DialogIcon::Question);
    QCOMPARE(dialogs_.messages.first().buttons, DialogButtons::YesNo);
    QCOMPARE(localRegistrations(*fixture_).size(), registered);
}

void TestAccountSetOperations::selectingCopiesTheRegistryRow() {
    QVERIFY(makeTwoNetworkAccountSets());
    QVERIFY(addRegistryRow(QStringLiteral("o'brien"), QStringLiteral("NULL")));
    // The quote in the name travels doubled through the duplicate check.
    NetworkList list;
    QVERIFY(zt::accountset::loadNetworkRegistry(*queries_, environment(), list,
                                                fixture_->serverName()));
    const int row = static_cast<int>(list.rows.size()) - 1;
    QCOMPARE(list.rows.at(static_cast<std::size_t>(row)).accountSetName, QStringLiteral("o'brien"));
    dialogs_.answers.push_back(DialogAnswer::Yes);
    QCOMPARE(zt::accountset::selectNetworkAccountSet(*queries_, environment(), list, row),
             SelectOutcome::Selected);
    QCOMPARE(dialogs_.messages.last().text, QStringLiteral("网络帐套选择引入成功！"));
    QCOMPARE(dialogs_.messages.last().caption, QStringLiteral("新增账套"));
    QCOMPARE(dialogs_.messages.last().icon, DialogIcon::Information);
    // Today's date, not the registry's; NULL password as empty.
    QCOMPARE(localRegistrations(*fixture_).last(),
             QStringLiteral("o'brien||%1|是|%2").arg(fixture_->serverName(), registeredOn()));

    dialogs_.clear();
    QCOMPARE(zt::accountset::selectNetworkAccountSet(*queries_, environment(), list, row),
             SelectOutcome::AlreadyRegistered);
}

void TestAccountSetOperations::deletionAsksWithTheName() {
    QVERIFY(makeTwoNetworkAccountSets());
    NetworkList list;
    QVERIFY(zt::accountset::loadNetworkRegistry(*queries_, environment(), list,
                                                fixture_->serverName()));
    dialogs_.answers = {DialogAnswer::No, DialogAnswer::Yes};
    QVERIFY(!zt::accountset::confirmNetworkDeletion(environment(), list, 0));
    QVERIFY(zt::accountset::confirmNetworkDeletion(environment(), list, 0));
    QCOMPARE(
        dialogs_.messages.first().text,
        QStringLiteral("帐套删除后不可恢复，请确定帐套已经备份。你确定要删除帐套名称为【共享帐】"
                       "的账套吗？"));
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("Confirm"));
}

void TestAccountSetOperations::wrongPasswordsAreRefused_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("other") << "nope";
    QTest::newRow("letter case") << "secret";
    QTest::newRow("trailing blank") << "Secret ";
    QTest::newRow("empty") << "";
}

void TestAccountSetOperations::wrongPasswordsAreRefused() {
    QFETCH(QString, typed);
    QVERIFY(makeTwoNetworkAccountSets());
    NetworkList list;
    QVERIFY(zt::accountset::loadNetworkRegistry(*queries_, environment(), list,
                                                fixture_->serverName()));
    QCOMPARE(zt::accountset::deleteNetworkAccountSet(*queries_, environment(), list, 0, typed),
             DeleteOutcome::WrongPassword);
    QCOMPARE(dialogs_.events, (QStringList{"beep", "message"}));
    QCOMPARE(dialogs_.messages.first().text, QStringLiteral("帐套口令错误"));
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("删除帐套"));
    QCOMPARE(dialogs_.messages.first().icon, DialogIcon::Error);
    QVERIFY(fixture_->databaseExists(QStringLiteral("共享帐")));
    QCOMPARE(registryNames(), (QStringList{"共享帐", "第二帐"}));
    QCOMPARE(list.rows.size(), std::size_t(2));
}

void TestAccountSetOperations::deletionDropsDatabaseAndRegistryRow() {
    QVERIFY(makeTwoNetworkAccountSets());
    NetworkList list;
    QVERIFY(zt::accountset::loadNetworkRegistry(*queries_, environment(), list,
                                                fixture_->serverName()));
    const int registered = localRegistrations(*fixture_).size();
    QCOMPARE(zt::accountset::deleteNetworkAccountSet(*queries_, environment(), list, 0,
                                                     QStringLiteral("Secret")),
             DeleteOutcome::Deleted);
    QCOMPARE(dialogs_.messageTexts(), QStringList{QStringLiteral("此帐套已成功删除")});
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("删除帐套"));
    QCOMPARE(dialogs_.messages.first().icon, DialogIcon::Information);
    QVERIFY(!fixture_->databaseExists(QStringLiteral("共享帐")));
    QCOMPARE(registryNames(), QStringList{QStringLiteral("第二帐")});
    QCOMPARE(list.rows.size(), std::size_t(1));
    QCOMPARE(list.rows.front().accountSetName, QStringLiteral("第二帐"));
    // The local rows stay.
    QCOMPARE(localRegistrations(*fixture_).size(), registered);
}

void TestAccountSetOperations::deletionOfAMissingDatabaseFails() {
    QVERIFY(fixture_->createRegistry());
    QVERIFY(addRegistryRow(QStringLiteral("gone"), QStringLiteral("''")));
    NetworkList list;
    QVERIFY(zt::accountset::loadNetworkRegistry(*queries_, environment(), list,
                                                fixture_->serverName()));
    const int row = static_cast<int>(list.rows.size()) - 1;
    QCOMPARE(
        zt::accountset::deleteNetworkAccountSet(*queries_, environment(), list, row, QString()),
        DeleteOutcome::Failed);
    QCOMPARE(dialogs_.messageTexts(), QStringList{QStringLiteral(" 帐套删除错误")});
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("删除帐套"));
    QCOMPARE(dialogs_.messages.first().icon, DialogIcon::Information);
    QVERIFY(registryNames().contains(QStringLiteral("gone")));
}

void TestAccountSetOperations::sampleRestoredTwiceIsRegisteredTwice() {
    // A backup of a small database under the sample's name, as the build makes one.
    const QString sample = zt::accountset::sampleAccountSetName();
    const QString backup = QDir(sampleDirectory_->path()).filePath(QStringLiteral("sample.bak"));
    QVERIFY(fixture_->createEmptyAccountSet(sample));
    QVERIFY(fixture_->execServer(sample,
                                 QStringLiteral("insert into 用户信息表 (yhmc) values ('演示')")));
    QVERIFY(fixture_->execServer(QStringLiteral("master"),
                                 QStringLiteral("backup database %1 to disk=%2")
                                     .arg(sample, zt::db::quotedLiteral(backup))));
    QVERIFY(
        fixture_->execServer(QStringLiteral("master"), QStringLiteral("drop database ") + sample));

    Environment env = environment();
    env.sampleBackupPath = backup;
    const int registered = localRegistrations(*fixture_).size();
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(
            zt::accountset::restoreSample(
                *queries_, env, accountSet(QStringLiteral("ignored"), false, QStringLiteral("k"))),
            zt::accountset::RestoreOutcome::Restored);
    }
    QCOMPARE(dialogs_.messageTexts(),
             (QStringList{"“澄桦3000例子账套”账套创建成功！", "“澄桦3000例子账套”账套创建成功！"}));
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("提示"));
    QVERIFY(QDir(env.sampleDataDirectory).exists());
    QCOMPARE(fixture_->serverColumn(sample, QStringLiteral("select * from 用户信息表"),
                                    QStringLiteral("yhmc")),
             QStringList{QStringLiteral("演示")});
    const QStringList rows = localRegistrations(*fixture_);
    QCOMPARE(rows.size(), registered + 2);
    const QString expected =
        QStringLiteral("%1|k|%2|否|%3").arg(sample, fixture_->serverName(), registeredOn());
    QCOMPARE(rows.mid(registered), (QStringList{expected, expected}));
}

void TestAccountSetOperations::sampleRestoreNeedsAServer() {
    QCOMPARE(zt::accountset::restoreSample(*queries_, environment(),
                                           NewAccountSet{QString(), QString(), QString(), false}),
             zt::accountset::RestoreOutcome::EmptyServerName);
    QCOMPARE(dialogs_.events, (QStringList{"beep", "message"}));
    QCOMPARE(dialogs_.messages.first().text, QStringLiteral("服务器名称不可为空！"));
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("提示"));
}

void TestAccountSetOperations::sampleStatementsSkipCommentsAndBlankLines() {
    QCOMPARE(zt::accountset::sampleStatements(
                 QStringLiteral("-- heading\n\nINSERT INTO a VALUES (1);\r\n  -- note\n"
                                "  UPDATE b SET c = N'--';  \n")),
             (QStringList{"INSERT INTO a VALUES (1);", "UPDATE b SET c = N'--';"}));
}

void TestAccountSetOperations::shippedSampleHoldsTheDemonstrationData() {
    // The build's own data/sample.bak, restored on a server that never saw the sample.
    const AccountSetFixture& fresh = *fixture_;
    Environment env{dialogs_, fresh.localConnectionString()};
    env.today = [] { return registrationDay; };
    env.sampleBackupPath = QStringLiteral(ZT_BINARY_DIR "/bin/data/sample.bak");
    env.sampleDataDirectory = QDir(sampleDirectory_->path()).filePath(QStringLiteral("fresh"));
    QCOMPARE(zt::accountset::restoreSample(
                 *queries_, env, NewAccountSet{fresh.serverName(), QString(), QString(), true}),
             zt::accountset::RestoreOutcome::Restored);
    const QString sample = zt::accountset::sampleAccountSetName();
    QCOMPARE(fresh.serverCount(sample, QStringLiteral("用户信息表")), 1);
    QCOMPARE(fresh.serverCount(sample, QStringLiteral("用户权限表")), 220);
    QCOMPARE(fresh.serverCount(sample, QStringLiteral("仓库信息表")), 3);
    QCOMPARE(fresh.serverCount(sample, QStringLiteral("货品信息表")), 5);
    QCOMPARE(fresh.serverCount(sample, QStringLiteral("往来单位信息表")), 4);
    QCOMPARE(fresh.serverCount(sample, QStringLiteral("员工信息表")), 3);
    QCOMPARE(fresh.serverCount(sample, QStringLiteral("入库信息详表")), 4);
    QCOMPARE(fresh.serverCount(sample, QStringLiteral("出库信息详表")), 4);
    QCOMPARE(fresh.serverColumn(sample, QStringLiteral("select * from 系统信息表"),
                                QStringLiteral("yhmc")),
             QStringList{QStringLiteral("澄桦商贸有限公司")});
    // Registered locally and, ticked as network, in the registry.
    QCOMPARE(localRegistrations(fresh).last(),
             QStringLiteral("%1||%2|是|%3").arg(sample, fresh.serverName(), registeredOn()));
    QCOMPARE(fresh.serverColumn(QStringLiteral("master"),
                                QStringLiteral("select * from CHdatebase"), QStringLiteral("ztmc")),
             QStringList{sample});
}

QTEST_GUILESS_MAIN(TestAccountSetOperations)
#include "tst_account_set_operations.moc"
