#include "accountset/creation.h"

#include "accountset/server_databases.h"

#include "core/dialogs.h"
#include "core/input_checks.h"
#include "core/work_in_progress_names.h"
#include "db/sql_literal.h"
#include "schema/create_tables.h"
#include "schema/table.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"

#include <exception>

namespace zt::accountset {

using namespace steps;

namespace {

QString creationCaption() {
    return QStringLiteral("新增帐套");
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
    db::executeLines(serverQuery,
                     {QStringLiteral("create database ") + db::bracketedName(working)});
    return working;
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

} // namespace

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
    const QString name = core::trimmedText(accountSet.name);
    const QString& serverName = accountSet.serverName;
    const QString credentialPart = readCredentialPart(queries, env, serverName);

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

} // namespace zt::accountset
