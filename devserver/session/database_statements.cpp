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

} // namespace

bool SessionImpl::maySchemaChange(const QString& databaseName) const {
    if (login_.role == Role::SysAdmin)
        return true;
    return login_.role == Role::DbCreator &&
           storage::foldName(databaseName) != QLatin1String("master");
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
    if (!engine_.reserve(name))
        throw SqlError(1801, 16, 3,
                       QStringLiteral("Database '%1' already exists. Choose a different database "
                                      "name.")
                           .arg(name));
    engine_.createReserved(name);
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
            if (login_.role == Role::Public || it == engine_.databases.end() || it->second.pending)
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
        removeDatabaseFiles(file);
        storage::syncDirectory(engine_.config.dataDirectory);
        engine_.forget(name);
    }
    return {};
}

StatementResult SessionImpl::backupDatabase(const sql::Statement& s) {
    refuseInTransaction("BACKUP DATABASE");
    const QString& name = s.names.front();
    if (login_.role == Role::Public)
        throw SqlError({makeMessage(262, 14, 1,
                                    QStringLiteral("BACKUP DATABASE permission denied in database "
                                                   "'%1'.")
                                        .arg(name)),
                        terminating("BACKUP")});
    if (storage::foldName(name) == QLatin1String("tempdb"))
        throwTempdb("BACKUP");
    DatabaseLease lease = DatabaseLease::acquire(engine_, name);
    if (!lease.valid())
        throw SqlError({makeMessage(911, 16, 11,
                                    QStringLiteral("Database '%1' does not exist. Make sure that "
                                                   "the name is entered correctly.")
                                        .arg(name)),
                        terminating("BACKUP")});
    QString family;
    {
        std::lock_guard lock(engine_.mutex);
        family = engine_.databases.at(lease.key()).family;
    }
    const fs::path device = resolveDevice(engine_.config.dataDirectory, s.path);
    if (!fs::is_directory(device.parent_path()))
        throwDevice(s.path, 3, QStringLiteral("The system cannot find the path specified."),
                    "BACKUP");
    QElapsedTimer timer;
    timer.start();
    const fs::path scratch =
        engine_.config.dataDirectory /
        (".backup-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + ".tmp");
    QByteArray payload;
    try {
        payload = snapshot(lease.file(), scratch);
    } catch (...) {
        removeDatabaseFiles(scratch);
        throw;
    }
    removeDatabaseFiles(scratch);
    refuseForeignMedia(s.path, device, family, lease.name());
    QSaveFile out(QString::fromStdString(device.string()));
    if (!out.open(QIODevice::WriteOnly))
        throwDevice(s.path, 5, QStringLiteral("Access is denied."), "BACKUP");
    QByteArray header = backupMagic + '\n';
    header += "database=" + lease.name().toUtf8() + '\n';
    header += "family=" + family.toUtf8() + '\n';
    header += "backupset=" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8() + '\n';
    header += "date=" + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n\n";
    out.write(header);
    out.write(payload);
    out.flush();
    if (out.handle() >= 0)
        ::fsync(out.handle()); // the backup is complete on disk when we say so
    if (!out.commit())
        throwDevice(s.path, 112, QStringLiteral("There is not enough space on the disk."),
                    "BACKUP");
    StatementResult r;
    r.messages = progressMessages("BACKUP", lease.name(), payload.size(), timer.elapsed());
    return r;
}

StatementResult SessionImpl::restoreDatabase(const sql::Statement& s) {
    refuseInTransaction("RESTORE DATABASE");
    const QString& name = s.names.front();
    if (login_.role == Role::Public)
        throw SqlError(
            {makeMessage(262, 14, 1,
                         QStringLiteral("CREATE DATABASE permission denied in database 'master'.")),
             terminating("RESTORE")});
    QElapsedTimer timer;
    timer.start();
    const fs::path device = resolveDevice(engine_.config.dataDirectory, s.path);
    const BackupHeader backup = readBackup(s.path, device);
    const QString key = storage::foldName(name);
    if (key == QLatin1String("tempdb"))
        throwTempdb("RESTORE");
    if (isSystemDatabase(key))
        sql::throwNotSupported(QStringLiteral("Restoring a system database"));

    // Checked and marked under the mutex; the files are written without it.
    int64_t id = 0;
    bool replacing = false;
    {
        std::lock_guard lock(engine_.mutex);
        auto existing = engine_.databases.find(key);
        if (existing != engine_.databases.end()) {
            if (database_.key() == key)
                throw SqlError({makeMessage(3102, 16, 1,
                                            QStringLiteral("RESTORE cannot process database '%1' "
                                                           "because it is in use by this session. "
                                                           "It is recommended that the master "
                                                           "database be used when performing this "
                                                           "operation.")
                                                .arg(existing->second.name)),
                                terminating("RESTORE")});
            if (existing->second.leases > 0 || existing->second.pending ||
                existing->second.restoring)
                throw SqlError({makeMessage(3101, 16, 1,
                                            QStringLiteral("Exclusive access could not be "
                                                           "obtained because the database is in "
                                                           "use.")),
                                terminating("RESTORE")});
            if (!s.replace && existing->second.family != backup.family)
                throw SqlError({makeMessage(3154, 16, 4,
                                            QStringLiteral("The backup set holds a backup of a "
                                                           "database other than the existing "
                                                           "'%1' database.")
                                                .arg(existing->second.name)),
                                terminating("RESTORE")});
            existing->second.restoring = true;
            id = existing->second.id;
            replacing = true;
        } else {
            id = engine_.nextDatabaseId++;
            DatabaseEntry& entry = engine_.databases[key];
            entry.name = name;
            entry.id = id;
            entry.pending = true;
        }
    }
    const fs::path temporary =
        engine_.config.dataDirectory /
        (".restore-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + ".ztdb");
    const fs::path target = engine_.pathFor(name);
    try {
        {
            QFile out(QString::fromStdString(temporary.string()));
            if (!out.open(QIODevice::WriteOnly) ||
                out.write(backup.payload) != backup.payload.size())
                throw storage::StorageError(SQLITE_CANTOPEN, "cannot write the restored file");
            out.flush();
        }
        auto file = storage::DatabaseFile::open(temporary, false);
        storage::DatabaseFile::Transaction t(*file, true);
        file->setMeta(QStringLiteral("name"), name);
        file->setMeta(QStringLiteral("database_id"), QString::number(id));
        file->setMeta(QStringLiteral("family"), backup.family);
        file->setMeta(QStringLiteral("created"),
                      QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
        t.commit();
        file.reset();
        removeDatabaseFiles(target);
        fs::rename(temporary, target);
        storage::syncDirectory(engine_.config.dataDirectory);
    } catch (...) {
        removeDatabaseFiles(temporary);
        std::lock_guard lock(engine_.mutex);
        if (replacing)
            engine_.databases.at(key).restoring = false;
        else
            engine_.databases.erase(key);
        throw;
    }
    {
        std::lock_guard lock(engine_.mutex);
        DatabaseEntry& entry = engine_.databases.at(key);
        entry.name = name;
        entry.file = target;
        entry.id = id;
        entry.family = backup.family;
        entry.created = QDateTime::currentDateTime();
        entry.restoring = false;
        entry.pending = false;
    }

    StatementResult r;
    r.messages =
        progressMessages("RESTORE", backup.database, backup.payload.size(), timer.elapsed());
    return r;
}

} // namespace ztds
