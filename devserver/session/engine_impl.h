#pragma once
// The engine's shared state: the databases of the data directory and who is using them.

#include "devserver/session/session.h"
#include "devserver/storage/database_file.h"

#include <QDateTime>

#include <map>
#include <mutex>

namespace ztds {

struct DatabaseEntry {
    QString name; // as created
    std::filesystem::path file;
    int64_t id = 0;
    QString family; // identifies the database across backup and restore
    QDateTime created;
    int leases = 0; // sessions (or statements) using it
    bool restoring = false;
    bool pending = false; // being created, dropped or renamed: its file is not ready for use
    // The login that created or restored it, kept in the file's meta; empty for the system
    // databases and older files, which belong to sa.
    QString owner;
};

// Whether the login is dbo in the database: sysadmin everywhere, else the database's owner.
bool isOwner(const Login& login, const DatabaseEntry& db);
// master, tempdb and msdb let any login in as their guest user; the other databases only
// their owner (and sysadmin), as guest is off in a database made from model.
bool hasGuestUser(const QString& foldedName);

// master, tempdb, model and msdb: always there, never created or dropped by a statement.
bool isSystemDatabase(const QString& foldedName);

struct Engine::Impl {
    EngineConfig config;
    std::mutex mutex;                           // guards everything below
    std::map<QString, DatabaseEntry> databases; // by folded name
    int64_t nextDatabaseId = 5;
    int nextSpid = 51;

    explicit Impl(EngineConfig c);
    void scanDataDirectory();
    void createSystemDatabases();
    // Creating a database: the name is taken under the mutex, the file is written without it
    // (so that logins and other databases do not wait), then the entry is made usable.
    // reserve() returns false when the name is taken.
    bool reserve(const QString& name, int64_t id = 0);
    // Writes the file (a copy of model's tables for a user database); on failure the name is
    // free again and the exception passes on.
    void createReserved(const QString& name, const QString& owner = {});
    void forget(const QString& name); // gives up a reserved or pending entry
    // Called without the mutex, in the middle of a statement's file work: see
    // EngineConfig::holdFileWork. Gives up waiting after a minute, so nothing hangs for good.
    void holdFileWork(const char* verb, const QString& name) const;
    std::filesystem::path pathFor(const QString& name) const;
};

// A hold on a database so that it is neither dropped nor restored while in use.
class DatabaseLease {
public:
    DatabaseLease() = default;
    // Returns an empty lease (valid() false) when the database does not exist or cannot be
    // opened yet; beingRestored() tells the one in the middle of a RESTORE apart.
    static DatabaseLease acquire(Engine::Impl& engine, const QString& name);
    ~DatabaseLease();
    DatabaseLease(DatabaseLease&& other) noexcept;
    DatabaseLease& operator=(DatabaseLease&& other) noexcept;
    DatabaseLease(const DatabaseLease&) = delete;
    DatabaseLease& operator=(const DatabaseLease&) = delete;

    bool valid() const { return engine_ != nullptr; }
    bool beingRestored() const { return beingRestored_; }
    const QString& name() const { return name_; }
    const std::filesystem::path& file() const { return file_; }
    const QString& key() const { return key_; }
    void release();
    // The database it holds was renamed (its entry and file moved) by the lease's own session.
    void follow(const QString& key, const QString& name, const std::filesystem::path& file);

private:
    Engine::Impl* engine_ = nullptr;
    bool beingRestored_ = false;
    QString key_;
    QString name_;
    std::filesystem::path file_;
};

// Whether the login may use the database (by folded name) at all: as dbo or as guest.
bool mayEnter(Engine::Impl& engine, const Login& login, const QString& key);

std::unique_ptr<Session> makeSession(Engine::Impl& engine, const Login& login, int spid,
                                     DatabaseLease database);

} // namespace ztds
