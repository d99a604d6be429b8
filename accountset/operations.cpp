#include "accountset/operations.h"

#include "accountset/sample_fallback.h"

#include "app/dialogs.h"
#include "config/local_config.h"
#include "schema/create_tables.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <QTime>

#include <iterator>

namespace zt::accountset {

namespace {

constexpr int longestAccountSetName = 50; // width of ztmc in the network registry

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
    query.close();
    query.sqlClear();
    for (const QString& line : lines)
        query.sqlAdd(line);
    query.execSql();
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

const QSet<QString>& reservedWords() {
    // Transact-SQL's reserved keywords; a database named like one needs quoting everywhere.
    static const QSet<QString> words = {"ADD",
                                        "ALL",
                                        "ALTER",
                                        "AND",
                                        "ANY",
                                        "AS",
                                        "ASC",
                                        "AUTHORIZATION",
                                        "BACKUP",
                                        "BEGIN",
                                        "BETWEEN",
                                        "BREAK",
                                        "BROWSE",
                                        "BULK",
                                        "BY",
                                        "CASCADE",
                                        "CASE",
                                        "CHECK",
                                        "CHECKPOINT",
                                        "CLOSE",
                                        "CLUSTERED",
                                        "COALESCE",
                                        "COLLATE",
                                        "COLUMN",
                                        "COMMIT",
                                        "COMPUTE",
                                        "CONSTRAINT",
                                        "CONTAINS",
                                        "CONTAINSTABLE",
                                        "CONTINUE",
                                        "CONVERT",
                                        "CREATE",
                                        "CROSS",
                                        "CURRENT",
                                        "CURRENT_DATE",
                                        "CURRENT_TIME",
                                        "CURRENT_TIMESTAMP",
                                        "CURRENT_USER",
                                        "CURSOR",
                                        "DATABASE",
                                        "DBCC",
                                        "DEALLOCATE",
                                        "DECLARE",
                                        "DEFAULT",
                                        "DELETE",
                                        "DENY",
                                        "DESC",
                                        "DISK",
                                        "DISTINCT",
                                        "DISTRIBUTED",
                                        "DOUBLE",
                                        "DROP",
                                        "DUMP",
                                        "ELSE",
                                        "END",
                                        "ERRLVL",
                                        "ESCAPE",
                                        "EXCEPT",
                                        "EXEC",
                                        "EXECUTE",
                                        "EXISTS",
                                        "EXIT",
                                        "EXTERNAL",
                                        "FETCH",
                                        "FILE",
                                        "FILLFACTOR",
                                        "FOR",
                                        "FOREIGN",
                                        "FREETEXT",
                                        "FREETEXTTABLE",
                                        "FROM",
                                        "FULL",
                                        "FUNCTION",
                                        "GOTO",
                                        "GRANT",
                                        "GROUP",
                                        "HAVING",
                                        "HOLDLOCK",
                                        "IDENTITY",
                                        "IDENTITY_INSERT",
                                        "IDENTITYCOL",
                                        "IF",
                                        "IN",
                                        "INDEX",
                                        "INNER",
                                        "INSERT",
                                        "INTERSECT",
                                        "INTO",
                                        "IS",
                                        "JOIN",
                                        "KEY",
                                        "KILL",
                                        "LEFT",
                                        "LIKE",
                                        "LINENO",
                                        "LOAD",
                                        "MERGE",
                                        "NATIONAL",
                                        "NOCHECK",
                                        "NONCLUSTERED",
                                        "NOT",
                                        "NULL",
                                        "NULLIF",
                                        "OF",
                                        "OFF",
                                        "OFFSETS",
                                        "ON",
                                        "OPEN",
                                        "OPENDATASOURCE",
                                        "OPENQUERY",
                                        "OPENROWSET",
                                        "OPENXML",
                                        "OPTION",
                                        "OR",
                                        "ORDER",
                                        "OUTER",
                                        "OVER",
                                        "PERCENT",
                                        "PIVOT",
                                        "PLAN",
                                        "PRECISION",
                                        "PRIMARY",
                                        "PRINT",
                                        "PROC",
                                        "PROCEDURE",
                                        "PUBLIC",
                                        "RAISERROR",
                                        "READ",
                                        "READTEXT",
                                        "RECONFIGURE",
                                        "REFERENCES",
                                        "REPLICATION",
                                        "RESTORE",
                                        "RESTRICT",
                                        "RETURN",
                                        "REVERT",
                                        "REVOKE",
                                        "RIGHT",
                                        "ROLLBACK",
                                        "ROWCOUNT",
                                        "ROWGUIDCOL",
                                        "RULE",
                                        "SAVE",
                                        "SCHEMA",
                                        "SECURITYAUDIT",
                                        "SELECT",
                                        "SEMANTICKEYPHRASETABLE",
                                        "SEMANTICSIMILARITYDETAILSTABLE",
                                        "SEMANTICSIMILARITYTABLE",
                                        "SESSION_USER",
                                        "SET",
                                        "SETUSER",
                                        "SHUTDOWN",
                                        "SOME",
                                        "STATISTICS",
                                        "SYSTEM_USER",
                                        "TABLE",
                                        "TABLESAMPLE",
                                        "TEXTSIZE",
                                        "THEN",
                                        "TO",
                                        "TOP",
                                        "TRAN",
                                        "TRANSACTION",
                                        "TRIGGER",
                                        "TRUNCATE",
                                        "TRY_CONVERT",
                                        "TSEQUAL",
                                        "UNION",
                                        "UNIQUE",
                                        "UNPIVOT",
                                        "UPDATE",
                                        "UPDATETEXT",
                                        "USE",
                                        "USER",
                                        "VALUES",
                                        "VARYING",
                                        "VIEW",
                                        "WAITFOR",
                                        "WHEN",
                                        "WHERE",
                                        "WHILE",
                                        "WITH",
                                        "WRITETEXT"};
    return words;
}

bool isIdentifierStart(QChar c) {
    return c.isLetter() || c == u'_';
}

bool isIdentifierPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'$' || c == u'#';
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

void appendRegistryRow(db::Query& master, const Environment& env, const NewAccountSet& accountSet) {
    openSelect(master, registryStatement());
    master.append();
    master.fieldByName(QStringLiteral("ztmc")).setString(trimmedText(accountSet.name));
    master.fieldByName(QStringLiteral("jlrq")).setDateTime(midnightOf(env.today()));
    master.fieldByName(QStringLiteral("kl")).setString(trimmedText(accountSet.password));
    master.fieldByName(QStringLiteral("zjmc")).setString(trimmedText(accountSet.serverName));
    master.post();
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
    if (!isAcceptableAccountSetName(accountSet.name)) {
        inform(env,
               QStringLiteral("帐套名称只能由汉字、字母、数字和下划线组成，不能以数字开头，"
                              "且不超过50个字符！"),
               creationCaption());
        refusal = CreateOutcome::RefusedName;
        return false;
    }
    return true;
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

QString trimmedText(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

bool isAcceptableAccountSetName(const QString& name) {
    const QString trimmed = trimmedText(name);
    if (trimmed.isEmpty() || trimmed.size() > longestAccountSetName)
        return false;
    if (!isIdentifierStart(trimmed.front()))
        return false;
    for (QChar c : trimmed)
        if (!isIdentifierPart(c))
            return false;
    return !reservedWords().contains(trimmed.toUpper());
}

QString readServerLogin(PageQueries& queries, const Environment& env, const QString& serverName) {
    queries.ADOserver.setConnectionString(env.localConnectionString);
    return config::readCredentialPart(queries.ADOserver, serverName);
}

bool ActnetExecute(PageQueries& queries, const Environment& env, const NewAccountSet& accountSet,
                   const QString& credentialPart) {
    db::Query& master = queries.ADOQuery2;
    createRegistryIfMissing(master,
                            server::masterConnectionString(credentialPart, accountSet.serverName));
    try {
        appendRegistryRow(master, env, accountSet);
        return true;
    } catch (const std::exception&) {
        discardPendingRow(master);
        showNotice(env, QStringLiteral("加入网络帐套出错！"));
        return false;
    }
}

void ActpostExecute(PageQueries& queries, const Environment& env, const NewAccountSet& accountSet,
                    const QString& credentialPart) {
    if (accountSet.network)
        ActnetExecute(queries, env, accountSet, credentialPart);
    config::AccountSetRegistration row;
    row.accountSetName = trimmedText(accountSet.name);
    row.registeredOn = env.today();
    row.password = trimmedText(accountSet.password);
    row.serverName = trimmedText(accountSet.serverName);
    row.network = accountSet.network;
    queries.ADOQuery1.setConnectionString(env.localConnectionString);
    config::registerAccountSet(queries.ADOQuery1, row);
    queries.ADOQuery1.close();
}

CreateOutcome createAccountSet(PageQueries& queries, const Environment& env,
                               const NewAccountSet& accountSet) {
    CreateOutcome refusal = CreateOutcome::Created;
    if (!checkCreationInputs(env, accountSet, refusal))
        return refusal;
    // The name is a checked identifier; its surrounding blanks would only confuse the
    // connection string.
    const QString name = trimmedText(accountSet.name);
    const QString credentialPart = readServerLogin(queries, env, accountSet.serverName);

    queries.ADOQuery3.setConnectionString(
        server::serverConnectionString(credentialPart, accountSet.serverName));
    execute(queries.ADOQuery3, {QStringLiteral("create database ") + name});

    queries.ADOcreate.setConnectionString(
        server::databaseConnectionString(credentialPart, name, accountSet.serverName));
    schema::ActcreatExecute(queries.ADOcreate);
    seed::ActxzrrExecute(queries.ADOserver, queries.ADOcreate);

    ActpostExecute(queries, env, accountSet, credentialPart);
    inform(env, QStringLiteral("帐套创建成功！"), successCaption());
    return CreateOutcome::Created;
}

RestoreOutcome restoreSample(PageQueries& queries, const Environment& env,
                             const NewAccountSet& accountSet,
                             const std::function<void()>& registered) {
    if (accountSet.serverName.isEmpty()) {
        env.dialogs.beep();
        inform(env, QStringLiteral("服务器名称不可为空！"), QStringLiteral("提示"));
        return RestoreOutcome::EmptyServerName;
    }
    NewAccountSet sample = accountSet;
    sample.name = sampleAccountSetName();
    const QString credentialPart = readServerLogin(queries, env, sample.serverName);
    QDir().mkpath(env.sampleDataDirectory); // where a backup made on Windows puts its files

    queries.ADOQuery4.setConnectionString(
        server::serverConnectionString(credentialPart, sample.serverName));
    try {
        execute(queries.ADOQuery4,
                {QStringLiteral("restore database ") + sample.name + QStringLiteral(" from disk=") +
                 db::quotedLiteral(env.sampleBackupPath)});
    } catch (const db::DbError& failure) {
        // A server that cannot read the shipped backup gets the same sample built instead.
        const QString dataFile = sampleDataFileBeside(env.sampleBackupPath);
        if (!buildsSampleInstead(failure, dataFile))
            throw;
        buildSampleAccountSet({queries.ADOQuery4, queries.ADOcreate, queries.ADOserver},
                              {sample.serverName, credentialPart, env.localConnectionString, {}},
                              dataFile);
    }

    ActpostExecute(queries, env, sample, credentialPart);
    if (registered)
        registered();
    inform(env, QStringLiteral("“澄桦3000例子账套”账套创建成功！"), QStringLiteral("提示"));
    return RestoreOutcome::Restored;
}

bool ActnetztExecute(PageQueries& queries, const Environment& env, NetworkList& list,
                     const QString& serverName) {
    list = NetworkList{};
    if (serverName.isEmpty())
        return false;
    try {
        const QString credentialPart = readServerLogin(queries, env, serverName);
        db::Query& registry = queries.ADOztgl;
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
    db::Query& local = queries.ADOQuery1;
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

DeleteOutcome deleteNetworkAccountSet(PageQueries& queries, const Environment& env,
                                      NetworkList& list, int row, const QString& typedPassword) {
    if (!hasRow(list, row))
        return DeleteOutcome::NothingToDelete;
    const RegistryRow chosen = list.rows.at(static_cast<std::size_t>(row));
    if (chosen.kl != typedPassword) {
        env.dialogs.beep();
        env.dialogs.message(QStringLiteral("帐套口令错误"), deletionCaption(), DialogIcon::Error);
        return DeleteOutcome::WrongPassword;
    }
    try {
        // A registry name that is no plain identifier would change the drop statement.
        if (!isAcceptableAccountSetName(chosen.ztmc) || chosen.ztmc != trimmedText(chosen.ztmc))
            throw db::DbError(QStringLiteral("unsafe account-set name"));
        queries.ADOQuery5.setConnectionString(
            server::serverConnectionString(list.credentialPart, list.serverName));
        execute(queries.ADOQuery5, {QStringLiteral("drop database ") + chosen.ztmc});
        moveListTo(queries.ADOztgl, row);
        queries.ADOztgl.deleteRow();
        list.rows.erase(std::next(list.rows.begin(), row));
    } catch (const std::exception&) {
        inform(env, QStringLiteral(" 帐套删除错误"), deletionCaption());
        return DeleteOutcome::Failed;
    }
    inform(env, QStringLiteral("此帐套已成功删除"), deletionCaption());
    return DeleteOutcome::Deleted;
}

} // namespace zt::accountset
