// CREATE and DROP DATABASE, and who may enter a database and use its tables.

#include "devserver/session/session_impl.h"

#include "devserver/sql/errors.h"

namespace ztds {

namespace fs = std::filesystem;
using sql::SqlError;

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
        storage::removeDatabaseFiles(file);
        storage::syncDirectory(engine_.config.dataDirectory);
        engine_.forget(name);
    }
    return {};
}

} // namespace ztds
