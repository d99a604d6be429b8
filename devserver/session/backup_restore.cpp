// BACKUP and RESTORE DATABASE: a backup file is a short text header and the database's
// SQLite file.

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
using storage::removeDatabaseFiles;

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

} // namespace

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
