#include "accountset/operations.h"

#include "accountset/sample_fallback.h"
#include "accountset/server_databases.h"

#include "config/local_config.h"
#include "core/dialogs.h"
#include "core/failure_explanation.h"
#include "core/work_in_progress_names.h"
#include "db/sql_literal.h"
#include "schema/create_tables.h"
#include "schema/table.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <QTime>

#include <exception>
#include <iterator>

namespace zt::accountset {

namespace {

// SQL Server's "Database '...' already exists".
constexpr int databaseAlreadyExists = 1801;

QString creationCaption() {
    return QStringLiteral("新增帐套");
}
QString successCaption() {
    return QStringLiteral("新增账套");
}
QString deletionCaption() {
    return QStringLiteral("删除帐套");
}

// A plain message dialog under the application's title, no icon, one OK button.
void showNotice(const Environment& env, const QString& text) {
    env.dialogs.message(text, QStringLiteral("创建帐套"), DialogIcon::None);
}

bool confirm(const Environment& env, const QString& question) {
    return env.dialogs.message(question, QStringLiteral("Confirm"), DialogIcon::Question,
                               DialogButtons::YesNo) == DialogAnswer::Yes;
}

void inform(const Environment& env, const QString& text, const QString& caption) {
    env.dialogs.message(text, caption, DialogIcon::Information);
}

// Close, clear, one statement, then run it without rows.
void execute(db::Query& query, const QStringList& lines) {
    db::executeLines(query, lines);
}

void openSelect(db::Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.open();
}

QDateTime midnightOf(const QDate& day) {
    return QDateTime(day, QTime(0, 0));
}

// The nine lines that create the network registry; lines 3 to 8 start with a tab.
QStringList registryCreateStatement() {
    return {QStringLiteral("CREATE TABLE CHdatebase ( "),
            QStringLiteral("[id] [bigint] IDENTITY (1, 1) NOT NULL , "),
            QStringLiteral("\t[ztbh] [nvarchar] (15) COLLATE Chinese_PRC_CI_AS NULL ,"),
            QStringLiteral("\t[ztmc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL ,"),
            QStringLiteral("\t[zjmc] [nvarchar] (100) COLLATE Chinese_PRC_CI_AS NULL ,"),
            QStringLiteral("\t[net] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL ,"),
            QStringLiteral("\t[jlrq] [datetime] NULL ,"),
            QStringLiteral("\t[kl] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL "),
            QStringLiteral(") ON [PRIMARY] ")};
}

QString registryStatement() {
    return QStringLiteral("select*from CHdatebase");
}

void createRegistryIfMissing(db::Query& master, const QString& connectionString) {
    try {
        master.setConnectionString(connectionString);
        execute(master, registryCreateStatement());
    } catch (const std::exception&) {
        // The table exists already (every registration after the first), or the append
        // below reports what is wrong.
    }
}

// Appends the registration and answers the id the server gave the row.
std::optional<qint64> appendRegistryRow(db::Query& master, const Environment& env,
                                        const NewAccountSet& accountSet) {
    openSelect(master, registryStatement());
    master.append();
    master.fieldByName(QStringLiteral("ztmc")).setString(trimmedText(accountSet.name));
    master.fieldByName(QStringLiteral("jlrq")).setDateTime(midnightOf(env.today()));
    master.fieldByName(QStringLiteral("kl")).setString(trimmedText(accountSet.password));
    master.fieldByName(QStringLiteral("zjmc")).setString(trimmedText(accountSet.serverName));
    master.post();
    bool known = false;
    const qint64 id = master.fieldByName(QStringLiteral("id")).asString().toLongLong(&known);
    master.close();
    return known ? std::optional<qint64>(id) : std::nullopt;
}

// Takes back a registration of this run; the row is found by the id the server gave it.
void removeRegistryRow(db::Query& master, qint64 id) {
    try {
        execute(master, {QStringLiteral("delete from CHdatebase where id=") + QString::number(id)});
    } catch (const std::exception&) {
        // The server is gone; the failure that brought us here is what gets reported.
    }
}

void reportProgress(const Environment& env, CreationStage stage, int done, int total) {
    if (env.progress)
        env.progress(stage, done, total);
}

void discardPendingRow(db::Query& query) {
    try {
        query.cancel();
        query.close();
    } catch (const std::exception&) {
        // Nothing was pending, or the connection is gone: either way nothing to discard.
    }
}

bool checkCreationInputs(const Environment& env, const NewAccountSet& accountSet,
                         CreateOutcome& refusal) {
    if (accountSet.serverName.isEmpty()) {
        env.dialogs.beep();
        inform(env, QStringLiteral("服务器名称不能为空,请点击“上一步”获取可加用的服务器名称！"),
               creationCaption());
        refusal = CreateOutcome::EmptyServerName;
        return false;
    }
    if (accountSet.name.isEmpty()) {
        env.dialogs.beep();
        inform(env, QStringLiteral("帐套名称不能为空！"), creationCaption());
        refusal = CreateOutcome::EmptyName;
        return false;
    }
    if (const auto problem = core::serverNameProblem(accountSet.serverName)) {
        inform(env, *problem, creationCaption());
        refusal = CreateOutcome::RefusedServerName;
        return false;
    }
    if (const auto problem = core::accountSetNameProblem(accountSet.name)) {
        inform(env, *problem, creationCaption());
        refusal = CreateOutcome::RefusedName;
        return false;
    }
    if (const auto problem = core::accountPasswordProblem(accountSet.password)) {
        inform(env, *problem, creationCaption());
        refusal = CreateOutcome::RefusedPassword;
        return false;
    }
    return true;
}

// How many of the account set's tables the database that `query` is connected to holds.
int accountSetTablesPresent(db::Query& query) {
    openSelect(query, QStringLiteral("select TABLE_NAME from INFORMATION_SCHEMA.TABLES"));
    QSet<QString> present;
    for (query.first(); !query.eof(); query.next())
        present.insert(query.fieldByName(QStringLiteral("TABLE_NAME")).asString().toLower());
    query.close();
    int found = 0;
    for (const schema::Table& table : schema::accountSetTables())
        found += present.contains(table.name.toLower()) ? 1 : 0;
    return found;
}

// A database of that name exists already: when it is a half-made account set (a crash in an
// earlier version's creation), say so. Nothing is dropped: this run did not make it.
[[noreturn]] void refuseExistingDatabase(PageQueries& queries, const QString& credentialPart,
                                         const QString& serverName, const QString& name) {
    int found = -1;
    try {
        queries.newDatabase.setConnectionString(
            server::databaseConnectionString(credentialPart, name, serverName));
        found = accountSetTablesPresent(queries.newDatabase);
    } catch (const std::exception&) {
        // Not readable with this login: the name is taken all the same.
    }
    queries.newDatabase.disconnect();
    const int total = static_cast<int>(schema::accountSetTables().size());
    if (found >= 0 && found < total)
        throw core::ExplainedFailure(
            QStringLiteral("服务器上已有名为【%1】的数据库，它不是完整的帐套（%2张表中只有%3张）。")
                .arg(name)
                .arg(total)
                .arg(found));
    throw core::ExplainedFailure(
        QStringLiteral("服务器上已有名为【%1】的数据库，请换一个帐套名称。").arg(name));
}

// The new account set is built under a name that says it is unfinished, so that whatever
// stops it half-way leaves nothing under the name the user chose. What an earlier,
// interrupted creation of the same name left is cleared first. Answers the working name.
QString createUnfinishedDatabase(PageQueries& queries, const QString& credentialPart,
                                 const QString& serverName, const QString& name) {
    db::Query& serverQuery = queries.serverCreate;
    serverQuery.setConnectionString(server::serverConnectionString(credentialPart, serverName));
    if (removeInterruptedCreations(serverQuery, name))
        refuseExistingDatabase(queries, credentialPart, serverName, name);
    const QString working = core::unfinishedCreationName(name);
    execute(serverQuery, {QStringLiteral("create database ") + db::bracketedName(working)});
    return working;
}

// The finished database takes its name in one step; another creation that took the name
// meanwhile makes this one fail (1801) and this run's database is dropped by the caller.
void giveFinalName(db::Query& serverQuery, PageQueries& queries, const QString& credentialPart,
                   const QString& serverName, const QString& working, const QString& name) {
    try {
        renameDatabase(serverQuery, working, name);
    } catch (const db::DbError& refusal) {
        if (refusal.source() == db::ErrorSource::Server &&
            refusal.number() == databaseAlreadyExists)
            refuseExistingDatabase(queries, credentialPart, serverName, name);
        throw;
    }
}

// Drops a database this run made, on a fresh connection (the old one may have died with the
// failure). False when the server would not or could not drop it.
bool dropDatabaseOfThisRun(db::Query& serverQuery, db::Query& databaseQuery,
                           const QString& serverConnection, const QString& name) {
    databaseQuery.disconnect(); // a database in use cannot be dropped
    serverQuery.abandonConnection();
    try {
        serverQuery.setConnectionString(serverConnection);
        dropDatabase(serverQuery, name);
        return true;
    } catch (const std::exception&) {
        // Perhaps already gone (the step that failed took back its own work).
    }
    try {
        return !databaseExists(serverQuery, name);
    } catch (const std::exception&) {
        return false;
    }
}

// Leaves with the failure that ended the work; when what the run made could not be taken
// back, the message names the database left behind and how to clear it.
[[noreturn]] void failAfterCleanUp(const std::exception_ptr& failure, bool cleanedUp,
                                   const QString& name) {
    if (cleanedUp)
        std::rethrow_exception(failure);
    QString cause;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        cause = core::causeOf(error);
    } catch (...) {
        cause = QStringLiteral("未知错误");
    }
    QString left = QStringLiteral("数据库【%1】未能从服务器上删除，它仍留在服务器上。").arg(name);
    if (core::accountSetOfUnfinishedCreation(name))
        left += QStringLiteral("它是一次未完成的创建，不占用帐套名称；再次创建同名帐套或运行"
                               "“zt-admin clean-up”时会将它删除。");
    throw core::ExplainedFailure(cause + u'\n' + left);
}

void fillNewDatabase(PageQueries& queries, const Environment& env, const QString& credentialPart,
                     const QString& serverName, const QString& name) {
    queries.newDatabase.setConnectionString(
        server::databaseConnectionString(credentialPart, name, serverName));
    const auto tables = static_cast<int>(schema::accountSetTables().size());
    reportProgress(env, CreationStage::CreatingTables, 0, tables);
    schema::createSchema(queries.newDatabase, [&env](int created, int total) {
        reportProgress(env, CreationStage::CreatingTables, created, total);
    });
    reportProgress(env, CreationStage::WritingDefaultData, 0, 1);
    seed::seedDefaultData(queries.localSettings, queries.newDatabase, [&env](int done, int total) {
        reportProgress(env, CreationStage::WritingDefaultData, done, total);
    });
}

// "restore database" of the shipped backup under the target's name; a server that cannot
// read the backup gets the same sample built instead.
void restoreOrBuildSample(PageQueries& queries, const Environment& env,
                          const SampleTarget& target) {
    try {
        execute(queries.serverRestore,
                {QStringLiteral("restore database ") + statementNameOf(target) +
                 QStringLiteral(" from disk=") + db::quotedLiteral(env.sampleBackupPath)});
    } catch (const db::DbError& failure) {
        const QString dataFile = sampleDataFileBeside(env.sampleBackupPath);
        if (!buildsSampleInstead(failure, dataFile))
            throw;
        buildSampleAccountSet({queries.serverRestore, queries.newDatabase, queries.localSettings},
                              target, dataFile);
        queries.newDatabase.disconnect(); // the rename needs the database to itself
    }
}

RegistryRow readRegistryRow(db::Query& list) {
    RegistryRow row;
    row.id = list.fieldByName(QStringLiteral("id")).asString().toLongLong();
    row.ztmc = list.fieldByName(QStringLiteral("ztmc")).asString();
    row.zjmc = list.fieldByName(QStringLiteral("zjmc")).asString();
    row.kl = list.fieldByName(QStringLiteral("kl")).asString();
    row.jlrq = list.fieldByName(QStringLiteral("jlrq")).asDateTime();
    return row;
}

bool hasRow(const NetworkList& list, int row) {
    return list.loaded && row >= 0 && row < static_cast<int>(list.rows.size());
}

// Puts the open registry list on the given row, counted from the first.
void moveListTo(db::Query& list, int row) {
    list.first();
    for (int i = 0; i < row; ++i)
        list.next();
}

} // namespace

PageQueries::PageQueries() : connections(std::make_shared<db::SharedConnections>()) {
    for (db::Query* server :
         {&registryWriter, &serverCreate, &serverRestore, &serverDrop, &newDatabase, &registryList})
        server->shareConnections(connections);
}

QString stageText(CreationStage stage, int done, int total) {
    switch (stage) {
    case CreationStage::CreatingDatabase:
        return QStringLiteral("正在创建数据库…");
    case CreationStage::CreatingTables:
        return QStringLiteral("正在创建表 %1/%2").arg(done).arg(total);
    case CreationStage::WritingDefaultData:
        return QStringLiteral("正在写入默认数据");
    case CreationStage::Registering:
        return QStringLiteral("正在登记帐套");
    }
    return {};
}

QDate systemToday() {
    return QDate::currentDate();
}

QString sampleAccountSetName() {
    return QStringLiteral("澄桦3000商业例子帐");
}

QString defaultSampleBackupPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("data/sample.bak"));
}

QString defaultSampleDataDirectory() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\program files\\microsoft sql server\\mssql\\data");
#else
    return QStringLiteral("/var/opt/mssql/data");
#endif
}

QString readServerLogin(PageQueries& queries, const Environment& env, const QString& serverName) {
    queries.localSettings.setConnectionString(env.localConnectionString);
    return config::readCredentialPart(queries.localSettings, serverName);
}

std::optional<qint64> registerOnNetwork(PageQueries& queries, const Environment& env,
                                        const NewAccountSet& accountSet,
                                        const QString& credentialPart) {
    db::Query& master = queries.registryWriter;
    createRegistryIfMissing(master,
                            server::masterConnectionString(credentialPart, accountSet.serverName));
    try {
        return appendRegistryRow(master, env, accountSet);
    } catch (const std::exception&) {
        discardPendingRow(master);
        showNotice(env, QStringLiteral("加入网络帐套出错！"));
        return std::nullopt;
    }
}

bool recordAccountSet(PageQueries& queries, const Environment& env, const NewAccountSet& accountSet,
                      const QString& credentialPart) {
    config::AccountSetRegistration row;
    row.accountSetName = trimmedText(accountSet.name);
    row.registeredOn = env.today();
    row.password = trimmedText(accountSet.password);
    row.serverName = trimmedText(accountSet.serverName);
    db::Query& local = queries.localRegistrations;
    local.setConnectionString(env.localConnectionString);
    config::beginAccountSetRegistration(local, row);
    std::optional<qint64> registryId;
    if (accountSet.network)
        registryId = registerOnNetwork(queries, env, accountSet, credentialPart);
    try {
        // "是" only for an account set the network registry really holds.
        config::finishAccountSetRegistration(local, registryId.has_value());
    } catch (const std::exception&) {
        discardPendingRow(local);
        if (registryId)
            removeRegistryRow(queries.registryWriter, *registryId);
        throw;
    }
    return !accountSet.network || registryId.has_value();
}

std::optional<CreateOutcome> refuseCreationInputs(const Environment& env,
                                                  const NewAccountSet& accountSet) {
    CreateOutcome refusal = CreateOutcome::Created;
    if (!checkCreationInputs(env, accountSet, refusal))
        return refusal;
    return std::nullopt;
}

CreateOutcome createAccountSet(PageQueries& queries, const Environment& env,
                               const NewAccountSet& accountSet) {
    if (const auto refusal = refuseCreationInputs(env, accountSet))
        return *refusal;
    // The name is a checked identifier; its surrounding blanks would only confuse the
    // connection string.
    const QString name = trimmedText(accountSet.name);
    const QString& serverName = accountSet.serverName;
    const QString credentialPart = readServerLogin(queries, env, serverName);

    reportProgress(env, CreationStage::CreatingDatabase, 0, 1);
    const QString working = createUnfinishedDatabase(queries, credentialPart, serverName, name);
    const QString serverConnection = server::serverConnectionString(credentialPart, serverName);
    try {
        fillNewDatabase(queries, env, credentialPart, serverName, working);
        // The connection that built it leaves it and renames it itself: no other session
        // is left that the server would still count as using the database.
        giveFinalName(queries.newDatabase, queries, credentialPart, serverName, working, name);
        queries.newDatabase.disconnect();
    } catch (...) {
        const bool cleanedUp = dropDatabaseOfThisRun(queries.serverCreate, queries.newDatabase,
                                                     serverConnection, working);
        failAfterCleanUp(std::current_exception(), cleanedUp, working);
    }
    bool networkRegistered = true;
    try {
        reportProgress(env, CreationStage::Registering, 0, 1);
        networkRegistered = recordAccountSet(queries, env, accountSet, credentialPart);
    } catch (...) {
        const bool cleanedUp = dropDatabaseOfThisRun(queries.serverCreate, queries.newDatabase,
                                                     serverConnection, name);
        failAfterCleanUp(std::current_exception(), cleanedUp, name);
    }
    inform(env, QStringLiteral("帐套创建成功！"), successCaption());
    return networkRegistered ? CreateOutcome::Created : CreateOutcome::CreatedWithoutNetwork;
}

std::optional<RestoreOutcome> refuseRestoreInputs(const Environment& env,
                                                  const NewAccountSet& accountSet) {
    const QString caption = QStringLiteral("提示");
    if (accountSet.serverName.isEmpty()) {
        env.dialogs.beep();
        inform(env, QStringLiteral("服务器名称不可为空！"), caption);
        return RestoreOutcome::EmptyServerName;
    }
    if (const auto problem = core::serverNameProblem(accountSet.serverName)) {
        inform(env, *problem, caption);
        return RestoreOutcome::RefusedServerName;
    }
    if (const auto problem = core::accountPasswordProblem(accountSet.password)) {
        inform(env, *problem, caption);
        return RestoreOutcome::RefusedPassword;
    }
    return std::nullopt;
}

RestoreOutcome restoreSample(PageQueries& queries, const Environment& env,
                             const NewAccountSet& accountSet,
                             const std::function<void()>& registered) {
    if (const auto refusal = refuseRestoreInputs(env, accountSet))
        return *refusal;
    const QString caption = QStringLiteral("提示");
    NewAccountSet sample = accountSet;
    sample.name = sampleAccountSetName();
    const QString credentialPart = readServerLogin(queries, env, sample.serverName);
    QDir().mkpath(env.sampleDataDirectory); // where a backup made on Windows puts its files

    const QString serverConnection =
        server::serverConnectionString(credentialPart, sample.serverName);
    db::Query& serverQuery = queries.serverRestore;
    serverQuery.setConnectionString(serverConnection);
    // A database that was there before the restore is not this run's to drop, and the server's
    // own rules for restoring over it apply. A new sample is restored under an unfinished name
    // and takes its own name only when whole.
    const bool existedBefore = removeInterruptedCreations(serverQuery, sample.name);
    const QString target = existedBefore ? sample.name : core::unfinishedCreationName(sample.name);
    reportProgress(env, CreationStage::CreatingDatabase, 0, 1);
    try {
        restoreOrBuildSample(
            queries, env,
            {sample.serverName, credentialPart, env.localConnectionString, {}, target});
        if (target != sample.name)
            giveFinalName(queries.serverRestore, queries, credentialPart, sample.serverName, target,
                          sample.name);
    } catch (...) {
        if (target == sample.name)
            throw;
        const bool cleanedUp = dropDatabaseOfThisRun(queries.serverRestore, queries.newDatabase,
                                                     serverConnection, target);
        failAfterCleanUp(std::current_exception(), cleanedUp, target);
    }

    bool networkRegistered = true;
    try {
        reportProgress(env, CreationStage::Registering, 0, 1);
        networkRegistered = recordAccountSet(queries, env, sample, credentialPart);
    } catch (...) {
        const bool cleanedUp =
            existedBefore || dropDatabaseOfThisRun(queries.serverRestore, queries.newDatabase,
                                                   serverConnection, sample.name);
        failAfterCleanUp(std::current_exception(), cleanedUp, sample.name);
    }
    if (registered)
        registered();
    inform(env, QStringLiteral("“澄桦3000例子账套”账套创建成功！"), caption);
    return networkRegistered ? RestoreOutcome::Restored : RestoreOutcome::RestoredWithoutNetwork;
}

bool loadNetworkRegistry(PageQueries& queries, const Environment& env, NetworkList& list,
                         const QString& serverName) {
    list = NetworkList{};
    if (serverName.isEmpty())
        return false;
    try {
        const QString credentialPart = readServerLogin(queries, env, serverName);
        db::Query& registry = queries.registryList;
        registry.setConnectionString(server::masterConnectionString(credentialPart, serverName));
        openSelect(registry, registryStatement());
        for (registry.first(); !registry.eof(); registry.next())
            list.rows.push_back(readRegistryRow(registry));
        list.serverName = serverName;
        list.credentialPart = credentialPart;
        list.loaded = true;
        return true;
    } catch (const std::exception&) {
        list = NetworkList{};
        return false;
    }
}

SelectOutcome selectNetworkAccountSet(PageQueries& queries, const Environment& env,
                                      const NetworkList& list, int row) {
    if (!hasRow(list, row))
        return SelectOutcome::NothingToSelect;
    const RegistryRow& chosen = list.rows.at(static_cast<std::size_t>(row));
    db::Query& local = queries.localRegistrations;
    local.setConnectionString(env.localConnectionString);
    if (config::isAccountSetRegistered(local, chosen.ztmc, chosen.zjmc)) {
        showNotice(env, QStringLiteral("已经存在服务器名称和帐套名称相同的帐套！"));
        return SelectOutcome::AlreadyRegistered;
    }
    if (!confirm(env, QStringLiteral("确定要将网络帐套【") + chosen.ztmc +
                          QStringLiteral("】的选择引入吗？")))
        return SelectOutcome::Declined;

    config::AccountSetRegistration registration;
    registration.accountSetName = chosen.ztmc;
    registration.registeredOn = env.today();
    registration.password = chosen.kl;
    registration.serverName = chosen.zjmc;
    registration.network = true;
    config::registerAccountSet(local, registration);
    local.close();
    env.dialogs.message(QStringLiteral("网络帐套选择引入成功！"), successCaption(),
                        DialogIcon::Information);
    return SelectOutcome::Selected;
}

bool confirmNetworkDeletion(const Environment& env, const NetworkList& list, int row) {
    if (!hasRow(list, row))
        return false;
    return confirm(env, QStringLiteral("帐套删除后不可恢复，请确定帐套已经备份。"
                                       "你确定要删除帐套名称为【") +
                            list.rows.at(static_cast<std::size_t>(row)).ztmc +
                            QStringLiteral("】的账套吗？"));
}

std::optional<DeleteOutcome> refuseNetworkDeletion(const Environment& env, const NetworkList& list,
                                                   int row, const QString& typedPassword) {
    if (!hasRow(list, row))
        return DeleteOutcome::NothingToDelete;
    if (list.rows.at(static_cast<std::size_t>(row)).kl != typedPassword) {
        env.dialogs.beep();
        env.dialogs.message(QStringLiteral("帐套口令错误"), deletionCaption(), DialogIcon::Error);
        return DeleteOutcome::WrongPassword;
    }
    return std::nullopt;
}

DeleteOutcome deleteNetworkAccountSet(PageQueries& queries, const Environment& env,
                                      NetworkList& list, int row, const QString& typedPassword) {
    if (const auto refusal = refuseNetworkDeletion(env, list, row, typedPassword))
        return *refusal;
    const RegistryRow chosen = list.rows.at(static_cast<std::size_t>(row));
    try {
        // A registry name that is no plain identifier would change the drop statement.
        if (!isAcceptableAccountSetName(chosen.ztmc) || chosen.ztmc != trimmedText(chosen.ztmc))
            throw db::DbError(QStringLiteral("unsafe account-set name"));
        queries.serverDrop.setConnectionString(
            server::serverConnectionString(list.credentialPart, list.serverName));
        dropDatabase(queries.serverDrop, chosen.ztmc);
        moveListTo(queries.registryList, row);
        queries.registryList.deleteRow();
        list.rows.erase(std::next(list.rows.begin(), row));
    } catch (const std::exception&) {
        inform(env, QStringLiteral(" 帐套删除错误"), deletionCaption());
        return DeleteOutcome::Failed;
    }
    inform(env, QStringLiteral("此帐套已成功删除"), deletionCaption());
    return DeleteOutcome::Deleted;
}

} // namespace zt::accountset
