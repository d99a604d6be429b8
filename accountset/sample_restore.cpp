#include "accountset/sample_restore.h"

#include "accountset/sample_builder.h"
#include "accountset/sample_fallback.h"
#include "accountset/server_databases.h"

#include "core/dialogs.h"
#include "core/input_checks.h"
#include "core/work_in_progress_names.h"
#include "db/sql_literal.h"
#include "server/connection_strings.h"

#include <QDir>

#include <exception>

namespace zt::accountset {

using namespace steps;

namespace {

// "restore database" of the shipped backup under the target's name; a server that cannot
// read the backup gets the same sample built instead.
void restoreOrBuildSample(PageQueries& queries, const Environment& env,
                          const SampleTarget& target) {
    try {
        db::executeLines(queries.serverRestore,
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

} // namespace

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
    const QString credentialPart = readCredentialPart(queries, env, sample.serverName);
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

} // namespace zt::accountset
