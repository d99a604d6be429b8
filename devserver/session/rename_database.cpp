// ALTER DATABASE .. MODIFY NAME and sp_renamedb, stage by stage.

#include "devserver/session/session_impl.h"

#include "devserver/sql/errors.h"

#include <sqlite3.h>

namespace ztds {

namespace fs = std::filesystem;
using sql::makeMessage;
using sql::SqlError;

namespace {

const QString renameProcedure = QStringLiteral("sp_renamedb");

[[noreturn]] void throwMayNotAlter(const QString& name) {
    throw SqlError({makeMessage(5011, 14, 5,
                                QStringLiteral("User does not have permission to alter database "
                                               "'%1', the database does not exist, or the "
                                               "database is not in a state that allows access "
                                               "checks.")
                                    .arg(name)),
                    makeMessage(5069, 16, 1, QStringLiteral("ALTER DATABASE statement failed."))});
}

void checkRenameRequest(Role role, const QString& oldName, const QString& newName) {
    if (role == Role::Public) // sysadmin and dbcreator may rename
        throwMayNotAlter(oldName);
    if (isSystemDatabase(storage::foldName(oldName)))
        throw SqlError(
            5058, 16, 5,
            QStringLiteral("Option 'MODIFY NAME' cannot be set in database '%1'.").arg(oldName));
    if (newName.size() > 128)
        throw SqlError(103, 15, 4,
                       QStringLiteral("The identifier that starts with '%1' is too long. Maximum "
                                      "length is 128.")
                           .arg(newName.left(128)));
}

[[noreturn]] void throwMissingForRename(const QString& name, bool procedure) {
    if (procedure)
        throw SqlError(15010, 16, 1,
                       QStringLiteral("The database '%1' does not exist. Supply a valid database "
                                      "name. To see available databases, use sys.databases.")
                           .arg(name));
    throw SqlError(911, 16, 1,
                   QStringLiteral("Database '%1' does not exist. Make sure that the name is "
                                  "entered correctly.")
                       .arg(name));
}

// The database being renamed, taken under the mutex: pending under its old name (no new
// lease), and its new name held by a pending entry, so that nobody creates, restores or
// renames another database to it meanwhile.
struct RenameClaim {
    QString oldKey;
    QString newKey;
    QString oldName; // as created
    QString newName;
    fs::path from;
    fs::path to;
};

void refuseRenameOf(const DatabaseEntry& db, int ownLeases) {
    // A database being created, dropped or restored, or used by any other session, cannot be
    // locked exclusively; the caller's own use of it does not count, as on SQL Server.
    if (db.pending || db.restoring || db.leases > ownLeases)
        throw SqlError(5030, 16, 2,
                       QStringLiteral("The database could not be exclusively locked to perform "
                                      "the operation."));
}

RenameClaim claimRename(Engine::Impl& engine, const QString& oldName, const QString& newName,
                        const QString& sessionDatabaseKey, bool procedure) {
    RenameClaim claim;
    claim.oldKey = storage::foldName(oldName);
    claim.newKey = storage::foldName(newName);
    std::lock_guard lock(engine.mutex);
    auto it = engine.databases.find(claim.oldKey);
    if (it == engine.databases.end())
        throwMissingForRename(oldName, procedure);
    if (claim.newKey != claim.oldKey && engine.databases.contains(claim.newKey))
        throw SqlError(1801, 16, 3,
                       QStringLiteral("Database '%1' already exists. Choose a different database "
                                      "name.")
                           .arg(newName));
    DatabaseEntry& db = it->second;
    refuseRenameOf(db, sessionDatabaseKey == claim.oldKey ? 1 : 0);
    claim.oldName = db.name;
    claim.newName = newName;
    claim.from = db.file;
    claim.to = engine.pathFor(newName);
    std::error_code ec;
    if (claim.to != claim.from && fs::exists(claim.to, ec))
        throw SqlError(50000, 16, 1,
                       QStringLiteral("zt-devserver cannot rename database '%1': the file %2 is "
                                      "in its data directory but is no database it knows.")
                           .arg(db.name, QString::fromStdString(claim.to.string())));
    db.pending = true;
    if (claim.newKey != claim.oldKey) {
        DatabaseEntry& reserved = engine.databases[claim.newKey];
        reserved.name = newName;
        reserved.id = db.id;
        reserved.pending = true;
    }
    return claim;
}

void abandonRename(Engine::Impl& engine, const RenameClaim& claim) {
    std::lock_guard lock(engine.mutex);
    if (claim.newKey != claim.oldKey)
        engine.databases.erase(claim.newKey);
    engine.databases.at(claim.oldKey).pending = false;
}

void writeNameIntoFile(const fs::path& file, const QString& name) {
    auto db = storage::DatabaseFile::open(file, false);
    storage::DatabaseFile::Transaction t(*db, true);
    db->setMeta(QStringLiteral("name"), name);
    t.commit();
    // Everything into the main file, so that nothing is left in a log beside the old path.
    sqlite3_exec(db->handle(), "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
}

// Without the mutex: the claim keeps others away, and no connection has the file open. The
// file says its new name before it moves, so a crash in between leaves it at the old path
// under the new name, which the next start moves to its own path (scanDataDirectory).
void moveRenamedFile(Engine::Impl& engine, const RenameClaim& claim) {
    bool named = false;
    try {
        writeNameIntoFile(claim.from, claim.newName);
        named = true;
        engine.holdFileWork("RENAME", claim.oldName);
        if (claim.to != claim.from) { // else a change of case only: same file name
            storage::removeJournalFiles(claim.to);
            storage::renameWithoutReplacing(claim.from, claim.to);
            storage::removeJournalFiles(claim.from);
        }
        storage::syncDirectory(engine.config.dataDirectory);
    } catch (...) {
        if (named) {
            try {
                writeNameIntoFile(claim.from, claim.oldName);
            } catch (const std::exception&) {
                // Left under the new name at the old path: the next start settles it there.
            }
        }
        abandonRename(engine, claim);
        throw;
    }
}

void registerRenamed(Engine::Impl& engine, const RenameClaim& claim) {
    std::lock_guard lock(engine.mutex);
    DatabaseEntry db = std::move(engine.databases.at(claim.oldKey));
    engine.databases.erase(claim.oldKey);
    db.name = claim.newName;
    db.file = claim.to;
    db.pending = false;
    engine.databases[claim.newKey] = std::move(db);
}

} // namespace

// sp_renamedb [@dbname =] 'old', [@newname =] 'new'; ALTER DATABASE carries its names itself.
std::pair<QString, QString> SessionImpl::renameArguments(const sql::Statement& s) {
    if (!s.names.isEmpty())
        return {s.names.at(0), s.names.at(1)};
    static const QString parameters[] = {QStringLiteral("@dbname"), QStringLiteral("@newname")};
    std::optional<QString> values[2];
    if (s.arguments.size() > 2)
        throw SqlError(8144, 16, 2,
                       QStringLiteral("Procedure or function %1 has too many arguments "
                                      "specified.")
                           .arg(renameProcedure));
    const sql::EvalEnv env = environment(params_);
    for (size_t i = 0; i < s.arguments.size(); ++i) {
        const auto& [name, expr] = s.arguments[i];
        size_t slot = i;
        if (!name.isEmpty()) {
            slot = name.compare(parameters[0], Qt::CaseInsensitive) == 0   ? 0
                   : name.compare(parameters[1], Qt::CaseInsensitive) == 0 ? 1
                                                                           : 2;
            if (slot == 2)
                throw SqlError(8145, 16, 1,
                               QStringLiteral("%1 is not a parameter for procedure %2.")
                                   .arg(name, renameProcedure));
        }
        const sql::TypedValue value = sql::evaluate(*expr, nullptr, nullptr, env);
        values[slot] = value.type == sql::TypeTag::Null ? QString() : sql::toText(value);
    }
    for (int i = 0; i < 2; ++i)
        if (!values[i])
            throw SqlError(201, 16, 4,
                           QStringLiteral("Procedure or function '%1' expects parameter '%2', "
                                          "which was not supplied.")
                               .arg(renameProcedure, parameters[i]));
    return {*values[0], *values[1]};
}

StatementResult SessionImpl::renameDatabase(const sql::Statement& s) {
    refuseInTransaction("ALTER DATABASE");
    const auto [oldName, newName] = renameArguments(s);
    checkRenameRequest(login_.role, oldName, newName);
    if (!ownsDatabase(storage::foldName(oldName))) {
        std::lock_guard lock(engine_.mutex);
        if (engine_.databases.contains(storage::foldName(oldName)))
            throwMayNotAlter(oldName); // dbcreator alters only its own databases
    }
    const RenameClaim claim =
        claimRename(engine_, oldName, newName, database_.key(), s.names.isEmpty());
    // The session's own connection to the file closes while the file moves.
    const bool own = database_.key() == claim.oldKey;
    if (own)
        file_.reset();
    try {
        moveRenamedFile(engine_, claim);
    } catch (...) {
        if (own)
            file_ = storage::DatabaseFile::open(database_.file(), false);
        throw;
    }
    registerRenamed(engine_, claim);
    if (own) {
        database_.follow(claim.newKey, claim.newName, claim.to);
        file_ = storage::DatabaseFile::open(claim.to, false);
    }
    return {};
}

} // namespace ztds
