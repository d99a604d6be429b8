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
};

struct Engine::Impl {
    EngineConfig config;
    std::mutex mutex;                           // guards everything below
    std::map<QString, DatabaseEntry> databases; // by folded name
    int64_t nextDatabaseId = 5;
    int nextSpid = 51;

    explicit Impl(EngineConfig c);
    void scanDataDirectory();
    // Creates the file of a new database; the caller holds the mutex.
    DatabaseEntry& createDatabaseLocked(const QString& name, const QString& family);
    std::filesystem::path pathFor(const QString& name) const;
};

// A hold on a database so that it is neither dropped nor restored while in use.
class DatabaseLease {
public:
    DatabaseLease() = default;
    // Returns an empty lease (valid() false) when the database does not exist.
    static DatabaseLease acquire(Engine::Impl& engine, const QString& name);
    ~DatabaseLease();
    DatabaseLease(DatabaseLease&& other) noexcept;
    DatabaseLease& operator=(DatabaseLease&& other) noexcept;
    DatabaseLease(const DatabaseLease&) = delete;
    DatabaseLease& operator=(const DatabaseLease&) = delete;

    bool valid() const { return engine_ != nullptr; }
    const QString& name() const { return name_; }
    const std::filesystem::path& file() const { return file_; }
    const QString& key() const { return key_; }
    void release();

private:
    Engine::Impl* engine_ = nullptr;
    QString key_;
    QString name_;
    std::filesystem::path file_;
};

std::unique_ptr<Session> makeSession(Engine::Impl& engine, const Login& login, int spid,
                                     DatabaseLease database);

} // namespace ztds
