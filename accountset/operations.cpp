#include "accountset/operations.h"

#include "accountset/server_databases.h"

#include "config/local_config.h"
#include "core/dialogs.h"
#include "core/failure_explanation.h"
#include "core/input_checks.h"
#include "core/work_in_progress_names.h"
#include "schema/table.h"
#include "server/connection_strings.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <QStringList>
#include <QTime>

#include <exception>

namespace zt::accountset {

using namespace steps;

namespace {

// SQL Server's "Database '...' already exists".
constexpr int databaseAlreadyExists = 1801;

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

void createRegistryIfMissing(db::Query& master, const QString& connectionString) {
    try {
        master.setConnectionString(connectionString);
        db::executeLines(master, registryCreateStatement());
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
    master.fieldByName(QStringLiteral("ztmc")).setString(core::trimmedText(accountSet.name));
    master.fieldByName(QStringLiteral("jlrq")).setDateTime(midnightOf(env.today()));
    master.fieldByName(QStringLiteral("kl")).setString(core::trimmedText(accountSet.password));
    master.fieldByName(QStringLiteral("zjmc")).setString(core::trimmedText(accountSet.serverName));
    master.post();
    bool known = false;
    const qint64 id = master.fieldByName(QStringLiteral("id")).asString().toLongLong(&known);
    master.close();
    return known ? std::optional<qint64>(id) : std::nullopt;
}

// Takes back a registration of this run; the row is found by the id the server gave it.
void removeRegistryRow(db::Query& master, qint64 id) {
    try {
        db::executeLines(
            master, {QStringLiteral("delete from CHdatebase where id=") + QString::number(id)});
    } catch (const std::exception&) {
        // The server is gone; the failure that brought us here is what gets reported.
    }
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

} // namespace

namespace steps {

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

QString successCaption() {
    return QStringLiteral("新增账套");
}

void openSelect(db::Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.open();
}

QString registryStatement() {
    return QStringLiteral("select*from CHdatebase");
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

} // namespace steps

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

QString readCredentialPart(PageQueries& queries, const Environment& env,
                           const QString& serverName) {
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
    row.accountSetName = core::trimmedText(accountSet.name);
    row.registeredOn = env.today();
    row.password = core::trimmedText(accountSet.password);
    row.serverName = core::trimmedText(accountSet.serverName);
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

} // namespace zt::accountset
