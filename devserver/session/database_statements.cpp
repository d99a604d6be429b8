// CREATE/DROP DATABASE, BACKUP and RESTORE.

#include "devserver/session/session_impl.h"

#include "devserver/sql/errors.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QUuid>

#include <sqlite3.h>

#include <unistd.h>

namespace ztds {

namespace fs = std::filesystem;
using sql::makeMessage;
using sql::SqlError;

namespace {

const QByteArray backupMagic = QByteArrayLiteral("ZTDS-BACKUP 1");

struct BackupHeader {
    QString database;
    QString family;
    QString backupSet;
    QByteArray payload; // the SQLite file
};

ServerMessage terminating(const char* verb) {
    return makeMessage(
        3013, 16, 1,
        QStringLiteral("%1 DATABASE is terminating abnormally.").arg(QLatin1String(verb)));
}

using storage::removeDatabaseFiles;

[[noreturn]] void throwTempdb(const char* verb) {
    throw SqlError({makeMessage(3147, 16, 1,
                                QStringLiteral("Backup and restore operations are not allowed on "
                                               "database tempdb.")),
                    terminating(verb)});
}

[[noreturn]] void throwDevice(const QString& path, int osError, const QString& osText,
                              const char* verb) {
    throw SqlError({makeMessage(3201, 16, 2,
                                QStringLiteral("Cannot open backup device '%1'. Operating system "
                                               "error %2(%3).")
                                    .arg(path)
                                    .arg(osError)
                                    .arg(osText)),
                    terminating(verb)});
}

std::vector<ServerMessage> progressMessages(const char* verb, const QString& database, qint64 bytes,
                                            qint64 elapsedMs) {
    const int dataPages = static_cast<int>(std::max<qint64>(8, bytes / 8192));
    const int logPages = 2;
    const double seconds = std::max<qint64>(elapsedMs, 1) / 1000.0;
    const double rate = (dataPages + logPages) * 8192.0 / (1024.0 * 1024.0) / seconds;
    return {
        makeMessage(4035, 0, 1,
                    QStringLiteral("Processed %1 pages for database '%2', file '%2' on file 1.")
                        .arg(dataPages)
                        .arg(database)),
        makeMessage(4035, 0, 1,
                    QStringLiteral("Processed %1 pages for database '%2', file '%2_log' on file 1.")
                        .arg(logPages)
                        .arg(database)),
        makeMessage(3014, 0, 1,
                    QStringLiteral("%1 DATABASE successfully processed %2 pages in %3 seconds "
                                   "(%4 MB/sec).")
                        .arg(QLatin1String(verb))
                        .arg(dataPages + logPages)
                        .arg(seconds, 0, 'f', 3)
                        .arg(rate, 0, 'f', 3))};
}

QByteArray snapshot(const fs::path& source, const fs::path& scratch) {
    auto from = storage::DatabaseFile::open(source, false);
    {
        auto to = storage::DatabaseFile::open(scratch, true);
        sqlite3_backup* backup = sqlite3_backup_init(to->handle(), "main", from->handle(), "main");
        if (!backup)
            throw storage::StorageError(sqlite3_errcode(to->handle()),
                                        sqlite3_errmsg(to->handle()));
        const int rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            throw storage::StorageError(rc, sqlite3_errstr(rc));
        // A single file, whatever the journal mode, so the payload is complete by itself.
        sqlite3_exec(to->handle(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    }
    QFile file(QString::fromStdString(scratch.string()));
    if (!file.open(QIODevice::ReadOnly))
        throw storage::StorageError(SQLITE_CANTOPEN, "cannot read the backup snapshot");
    return file.readAll();
}

BackupHeader readBackup(const QString& path, const fs::path& resolved) {
    QFile file(QString::fromStdString(resolved.string()));
    if (!file.exists())
        throwDevice(path, 2, QStringLiteral("The system cannot find the file specified."),
                    "RESTORE");
    if (!file.open(QIODevice::ReadOnly))
        throwDevice(path, 5, QStringLiteral("Access is denied."), "RESTORE");
    const QByteArray all = file.readAll();
    const qsizetype end = all.indexOf("\n\n");
    const QList<QByteArray> lines = all.left(std::max<qsizetype>(end, 0)).split('\n');
    BackupHeader header;
    if (end < 0 || lines.isEmpty() || lines.front() != backupMagic)
        throw SqlError({makeMessage(3241, 16, 0,
                                    QStringLiteral("The media family on device '%1' is incorrectly "
                                                   "formed. SQL Server cannot process this media "
                                                   "family.")
                                        .arg(path)),
                        terminating("RESTORE")});
    for (const QByteArray& line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "database")
            header.database = value;
        else if (key == "family")
            header.family = value;
        else if (key == "backupset")
            header.backupSet = value;
    }
    header.payload = all.mid(end + 2);
    return header;
}

// BACKUP replaces only an earlier backup of the same database; any other file stays as it is.
void refuseForeignMedia(const QString& path, const fs::path& device, const QString& family,
                        const QString& database) {
    std::error_code ec;
    if (!fs::exists(device, ec))
        return;
    QFile file(QString::fromStdString(device.string()));
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(4096);
    const QList<QByteArray> lines =
        head.left(std::max<qsizetype>(head.indexOf("\n\n"), 0)).split('\n');
    if (!lines.isEmpty() && lines.front() == backupMagic) {
        for (const QByteArray& line : lines)
            if (line == "family=" + family.toUtf8())
                return;
        throw SqlError({makeMessage(50000, 16, 1,
                                    QStringLiteral("Backup device '%1' holds a backup of another "
                                                   "database; zt-devserver writes over a backup of "
                                                   "'%2' only.")
                                        .arg(path, database)),
                        terminating("BACKUP")});
    }
    throw SqlError(
        {makeMessage(3266, 16, 1,
                     QStringLiteral("The backup data at the end of \"%1\" is incorrectly "
                                    "formatted. Backup sets on the media might be "
                                    "damaged and unusable. To determine the backup "
                                    "sets on the media, use RESTORE HEADERONLY. To "
                                    "determine the usability of the backup sets, run "
                                    "RESTORE VERIFYONLY. If all of the backup sets are "
                                    "incomplete, reformat the media using BACKUP WITH "
                                    "FORMAT, which destroys all the backup sets.")
                         .arg(path)),
         terminating("BACKUP")});
}

fs::path resolveDevice(const fs::path& dataDirectory, const QString& path) {
    fs::path p(path.toStdString());
    return p.is_absolute() ? p : dataDirectory / p;
}

// BACKUP, stage by stage.

void checkBackupRequest(Role role, const QString& name) {
    if (role == Role::Public)
        throw SqlError({makeMessage(262, 14, 1,
                                    QStringLiteral("BACKUP DATABASE permission denied in database "
                                                   "'%1'.")
                                        .arg(name)),
                        terminating("BACKUP")});
    if (storage::foldName(name) == QLatin1String("tempdb"))
        throwTempdb("BACKUP");
}

// The lease keeps the database from being dropped or restored while it is read.
DatabaseLease leaseForBackup(Engine::Impl& engine, const QString& name) {
    DatabaseLease lease = DatabaseLease::acquire(engine, name);
    if (!lease.valid())
        throw SqlError({makeMessage(911, 16, 11,
                                    QStringLiteral("Database '%1' does not exist. Make sure that "
                                                   "the name is entered correctly.")
                                        .arg(name)),
                        terminating("BACKUP")});
    return lease;
}

QString familyOf(Engine::Impl& engine, const QString& key) {
    std::lock_guard lock(engine.mutex);
    return engine.databases.at(key).family;
}

void refuseMissingDirectory(const QString& path, const fs::path& device) {
    if (!fs::is_directory(device.parent_path()))
        throwDevice(path, 3, QStringLiteral("The system cannot find the path specified."),
                    "BACKUP");
}

// The database as one SQLite file, taken through a scratch file that does not outlive the call.
QByteArray readSnapshot(const fs::path& dataDirectory, const fs::path& database) {
    const fs::path scratch =
        dataDirectory /
        (".backup-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + ".tmp");
    QByteArray payload;
    try {
        payload = snapshot(database, scratch);
    } catch (...) {
        removeDatabaseFiles(scratch);
        throw;
    }
    removeDatabaseFiles(scratch);
    return payload;
}

QByteArray backupHeader(const QString& database, const QString& family) {
    QByteArray header = backupMagic + '\n';
    header += "database=" + database.toUtf8() + '\n';
    header += "family=" + family.toUtf8() + '\n';
    header += "backupset=" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8() + '\n';
    header += "date=" + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n\n";
    return header;
}

// Replaces the device file as a whole, so that a failed BACKUP leaves the old backup intact.
void writeBackupFile(const QString& path, const fs::path& device, const QByteArray& header,
                     const QByteArray& payload) {
    QSaveFile out(QString::fromStdString(device.string()));
    if (!out.open(QIODevice::WriteOnly))
        throwDevice(path, 5, QStringLiteral("Access is denied."), "BACKUP");
    out.write(header);
    out.write(payload);
    out.flush();
    if (out.handle() >= 0)
        ::fsync(out.handle()); // the backup is complete on disk when we say so
    if (!out.commit())
        throwDevice(path, 112, QStringLiteral("There is not enough space on the disk."), "BACKUP");
}

// RESTORE, stage by stage.

void checkRestoreRequest(Role role) {
    if (role == Role::Public)
        throw SqlError(
            {makeMessage(262, 14, 1,
                         QStringLiteral("CREATE DATABASE permission denied in database 'master'.")),
             terminating("RESTORE")});
}

void refuseSystemTarget(const QString& key) {
    if (key == QLatin1String("tempdb"))
        throwTempdb("RESTORE");
    if (isSystemDatabase(key))
        sql::throwNotSupported(QStringLiteral("Restoring a system database"));
}

// The database a RESTORE writes, taken under the mutex so that nobody uses, creates, drops or
// restores it until the RESTORE ends.
struct RestoreClaim {
    QString key;
    QString name; // as the statement writes it
    int64_t id = 0;
    bool replacing = false; // over an existing database; else a new one, pending until done
};

void refuseRestoreOver(const DatabaseEntry& existing, bool inUseByThisSession,
                       const QString& backupFamily, bool replace) {
    if (inUseByThisSession)
        throw SqlError({makeMessage(3102, 16, 1,
                                    QStringLiteral("RESTORE cannot process database '%1' because "
                                                   "it is in use by this session. It is "
                                                   "recommended that the master database be used "
                                                   "when performing this operation.")
                                        .arg(existing.name)),
                        terminating("RESTORE")});
    if (existing.leases > 0 || existing.pending || existing.restoring)
        throw SqlError({makeMessage(3101, 16, 1,
                                    QStringLiteral("Exclusive access could not be obtained "
                                                   "because the database is in use.")),
                        terminating("RESTORE")});
    if (!replace && existing.family != backupFamily)
        throw SqlError({makeMessage(3154, 16, 4,
                                    QStringLiteral("The backup set holds a backup of a database "
                                                   "other than the existing '%1' database.")
                                        .arg(existing.name)),
                        terminating("RESTORE")});
}

// dbcreator restores over its own databases only.
void refuseRestoreByOther(const Login& login, const DatabaseEntry& existing) {
    if (!isOwner(login, existing))
        throw SqlError({makeMessage(3110, 14, 1,
                                    QStringLiteral("User does not have permission to RESTORE "
                                                   "database '%1'.")
                                        .arg(existing.name)),
                        terminating("RESTORE")});
}

RestoreClaim claimRestoreTarget(Engine::Impl& engine, const QString& name, const Login& login,
                                const QString& sessionDatabaseKey, const BackupHeader& backup,
                                bool replace) {
    RestoreClaim claim{storage::foldName(name), name};
    std::lock_guard lock(engine.mutex);
    auto existing = engine.databases.find(claim.key);
    if (existing == engine.databases.end()) {
        claim.id = engine.nextDatabaseId++;
        DatabaseEntry& entry = engine.databases[claim.key];
        entry.name = name;
        entry.id = claim.id;
        entry.pending = true;   // no file yet
        entry.restoring = true; // and said to be in the middle of a restore
        return claim;
    }
    refuseRestoreByOther(login, existing->second);
    refuseRestoreOver(existing->second, sessionDatabaseKey == claim.key, backup.family, replace);
    existing->second.restoring = true;
    claim.id = existing->second.id;
    claim.replacing = true;
    return claim;
}

void abandonRestore(Engine::Impl& engine, const RestoreClaim& claim) {
    std::lock_guard lock(engine.mutex);
    if (claim.replacing)
        engine.databases.at(claim.key).restoring = false;
    else
        engine.databases.erase(claim.key);
}

// The backed-up file under a temporary name, stamped as the database it now is.
void writeStampedCopy(const fs::path& temporary, const RestoreClaim& claim,
                      const BackupHeader& backup, const QString& owner) {
    {
        QFile out(QString::fromStdString(temporary.string()));
        if (!out.open(QIODevice::WriteOnly) || out.write(backup.payload) != backup.payload.size())
            throw storage::StorageError(SQLITE_CANTOPEN, "cannot write the restored file");
        out.flush();
    }
    auto file = storage::DatabaseFile::open(temporary, false);
    storage::DatabaseFile::Transaction t(*file, true);
    file->setMeta(QStringLiteral("name"), claim.name);
    file->setMeta(QStringLiteral("database_id"), QString::number(claim.id));
    file->setMeta(QStringLiteral("family"), backup.family);
    file->setMeta(QStringLiteral("owner"), owner); // who restored it, as SQL Server records
    file->setMeta(QStringLiteral("created"),
                  QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    t.commit();
}

// Without the mutex: the claim keeps others away. Returns the database's file; on failure
// the claim is given up and the exception passes on.
fs::path writeRestoredFile(Engine::Impl& engine, const RestoreClaim& claim,
                           const BackupHeader& backup, const QString& owner) {
    const fs::path temporary =
        engine.config.dataDirectory /
        (".restore-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + ".ztdb");
    const fs::path target = engine.pathFor(claim.name);
    try {
        writeStampedCopy(temporary, claim, backup, owner);
        engine.holdFileWork("RESTORE", claim.name);
        // The old file stays until the rename replaces it in one step, so a crash leaves
        // the old database or the restored one, never neither. Its journal files must go
        // first: SQLite would replay a stale log onto the restored file.
        storage::removeJournalFiles(target);
        fs::rename(temporary, target);
        storage::syncDirectory(engine.config.dataDirectory);
    } catch (...) {
        removeDatabaseFiles(temporary);
        abandonRestore(engine, claim);
        throw;
    }
    return target;
}

void registerRestoredDatabase(Engine::Impl& engine, const RestoreClaim& claim, const fs::path& file,
                              const QString& family, const QString& owner) {
    std::lock_guard lock(engine.mutex);
    DatabaseEntry& entry = engine.databases.at(claim.key);
    entry.name = claim.name;
    entry.file = file;
    entry.id = claim.id;
    entry.family = family;
    entry.owner = owner;
    entry.created = QDateTime::currentDateTime();
    entry.restoring = false;
    entry.pending = false;
}

// ALTER DATABASE .. MODIFY NAME and sp_renamedb, stage by stage.

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

bool SessionImpl::ownsDatabase(const QString& key) const {
    if (login_.role == Role::SysAdmin)
        return true;
    std::lock_guard lock(engine_.mutex);
    const auto it = engine_.databases.find(key);
    return it != engine_.databases.end() && isOwner(login_, it->second);
}

bool SessionImpl::maySchemaChange(const QString& databaseName) const {
    return ownsDatabase(storage::foldName(databaseName));
}

void SessionImpl::requireEntry(const QString& key, const QString& name) const {
    if (mayEnter(engine_, login_, key))
        return;
    if (engine_.config.version.rewordedMessages)
        throw SqlError(916, 14, 1,
                       QStringLiteral("The server principal \"%1\" is not able to access the "
                                      "database \"%2\" under the current security context.")
                           .arg(login_.name, name));
    throw SqlError(916, 14, 1,
                   QStringLiteral("Server user '%1' is not a valid user in database '%2'.")
                       .arg(login_.name, name));
}

void SessionImpl::requireTableRight(const DatabaseUse& db, const storage::TableDef& table,
                                    const char* verb) const {
    if (ownsDatabase(db.key))
        return;
    const QString permission = QLatin1String(verb);
    if (engine_.config.version.rewordedMessages)
        throw SqlError(229, 14, 5,
                       QStringLiteral("The %1 permission was denied on the object '%2', database "
                                      "'%3', schema 'dbo'.")
                           .arg(permission, table.name, db.name));
    throw SqlError(229, 14, 1,
                   QStringLiteral("%1 permission denied on object '%2', database '%3', owner "
                                  "'dbo'.")
                       .arg(permission, table.name, db.name));
}

bool SessionImpl::seesTablesOf(const DatabaseUse& db) const {
    return !engine_.config.version.metadataVisibility || ownsDatabase(db.key);
}

StatementResult SessionImpl::createDatabase(const sql::Statement& s) {
    refuseInTransaction("CREATE DATABASE");
    const QString& name = s.names.front();
    if (login_.role == Role::Public)
        throw SqlError(262, 14, 1,
                       QStringLiteral("CREATE DATABASE permission denied in database 'master'."));
    if (name.size() > 128)
        throw SqlError(103, 15, 4,
                       QStringLiteral("The identifier that starts with '%1' is too long. Maximum "
                                      "length is 128.")
                           .arg(name.left(128)));
    if (!s.collation.isEmpty())
        requireKeptCollation(s.collation, true); // its char and varchar columns' default
    if (!engine_.reserve(name))
        throw SqlError(1801, 16, 3,
                       QStringLiteral("Database '%1' already exists. Choose a different database "
                                      "name.")
                           .arg(name));
    engine_.createReserved(name, login_.name);
    return {};
}

StatementResult SessionImpl::dropDatabase(const sql::Statement& s) {
    refuseInTransaction("DROP DATABASE");
    for (const QString& name : s.names) {
        const QString key = storage::foldName(name);
        if (isSystemDatabase(key))
            throw SqlError(3708, 16, 2,
                           QStringLiteral("Cannot drop the database '%1' because it is a system "
                                          "database.")
                               .arg(name));
        fs::path file;
        {
            std::lock_guard lock(engine_.mutex);
            auto it = engine_.databases.find(key);
            // dbcreator drops only its own databases, as CONTROL on a database is its owner's.
            if (it == engine_.databases.end() || it->second.pending || !isOwner(login_, it->second))
                throw SqlError(3701, 11, 1,
                               QStringLiteral("Cannot drop the database '%1', because it does not "
                                              "exist or you do not have permission.")
                                   .arg(name));
            if (it->second.leases > 0 || it->second.restoring)
                throw SqlError(3702, 16, 4,
                               QStringLiteral("Cannot drop database \"%1\" because it is "
                                              "currently in use.")
                                   .arg(name));
            it->second.pending = true; // no new lease from here on
            file = it->second.file;
        }
        engine_.holdFileWork("DROP", name);
        removeDatabaseFiles(file);
        storage::syncDirectory(engine_.config.dataDirectory);
        engine_.forget(name);
    }
    return {};
}

StatementResult SessionImpl::backupDatabase(const sql::Statement& s) {
    refuseInTransaction("BACKUP DATABASE");
    checkBackupRequest(login_.role, s.names.front());
    if (!ownsDatabase(storage::foldName(s.names.front())))
        throw SqlError({makeMessage(262, 14, 1,
                                    QStringLiteral("BACKUP DATABASE permission denied in database "
                                                   "'%1'.")
                                        .arg(s.names.front())),
                        terminating("BACKUP")});
    const DatabaseLease lease = leaseForBackup(engine_, s.names.front());
    const QString family = familyOf(engine_, lease.key());
    const fs::path device = resolveDevice(engine_.config.dataDirectory, s.path);
    refuseMissingDirectory(s.path, device);
    QElapsedTimer timer;
    timer.start();
    const QByteArray payload = readSnapshot(engine_.config.dataDirectory, lease.file());
    engine_.holdFileWork("BACKUP", lease.name());
    refuseForeignMedia(s.path, device, family, lease.name());
    writeBackupFile(s.path, device, backupHeader(lease.name(), family), payload);
    StatementResult r;
    r.messages = progressMessages("BACKUP", lease.name(), payload.size(), timer.elapsed());
    return r;
}

StatementResult SessionImpl::restoreDatabase(const sql::Statement& s) {
    refuseInTransaction("RESTORE DATABASE");
    checkRestoreRequest(login_.role);
    QElapsedTimer timer;
    timer.start();
    const BackupHeader backup =
        readBackup(s.path, resolveDevice(engine_.config.dataDirectory, s.path));
    const QString& name = s.names.front();
    refuseSystemTarget(storage::foldName(name));
    const RestoreClaim claim =
        claimRestoreTarget(engine_, name, login_, database_.key(), backup, s.replace);
    const fs::path file = writeRestoredFile(engine_, claim, backup, login_.name);
    registerRestoredDatabase(engine_, claim, file, backup.family, login_.name);
    StatementResult r;
    r.messages =
        progressMessages("RESTORE", backup.database, backup.payload.size(), timer.elapsed());
    return r;
}

} // namespace ztds

namespace ztds {

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
