#pragma once
// The server's sessions: logins, the current database, permissions, statement execution.
// The TDS layer turns packets into calls here and the results back into tokens.

#include "devserver/values/server_version.h"
#include "devserver/values/values.h"

#include <QString>

#include <filesystem>
#include <memory>
#include <vector>

namespace ztds {

enum class Role { Public, DbCreator, SysAdmin };

struct Login {
    QString name;
    QString password;
    Role role = Role::SysAdmin;
};

struct EngineConfig {
    std::filesystem::path dataDirectory;
    std::vector<Login> logins;
    std::filesystem::path traceFile; // empty: no trace
    ServerVersion version = latestServerVersion();
    // For tests only: while this file exists, the file work of CREATE DATABASE, DROP DATABASE,
    // BACKUP, RESTORE and RENAME (a database's rename) waits (outside the engine's lock), after
    // appending "VERB name" to the file of the same name plus ".held". Empty: never waits.
    std::filesystem::path holdFileWork;
};

class Session;

// One per server process; thread-safe. Owns the databases and knows which session uses which.
class Engine {
public:
    explicit Engine(EngineConfig config); // throws std::runtime_error on an unusable data directory
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    struct LoginOutcome {
        std::unique_ptr<Session> session;    // null when the login failed
        std::vector<ServerMessage> messages; // the errors to send when it failed (18456, 4060, ...)
    };
    // user/password from LOGIN7; database is the requested initial catalog (empty: master).
    // integratedSecurity: the client asked for an SSPI login, which this server refuses.
    LoginOutcome login(const QString& user, const QString& password, const QString& database,
                       bool integratedSecurity);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// One per connection; used by one thread at a time. Must be destroyed before its Engine.
class Session {
public:
    virtual ~Session() = default;
    virtual QString userName() const = 0;
    virtual QString currentDatabase() const = 0;
    // The server process id the session reports (@@SPID), for the TDS header.
    virtual int spid() const { return 0; }
    // @@TRANCOUNT: open BEGIN TRANSACTIONs.
    virtual int transactionCount() const { return 0; }
    // The client asked for a fresh connection state (TDS reset-connection): rolls back an open
    // transaction (unless keepTransaction), returns to the login's database and forgets the SET
    // options.
    virtual void reset(bool keepTransaction) { (void)keepTransaction; }
    // A SQL batch; statements run in order. A failed statement ends the batch only for errors
    // SQL Server treats as batch-aborting (or under SET XACT_ABORT ON).
    virtual std::vector<StatementResult> executeBatch(const QString& sql) = 0;
    // sp_executesql: the statement text and its typed parameters.
    virtual std::vector<StatementResult> executeSql(const QString& sql,
                                                    const std::vector<RpcParameter>& params) = 0;
};

} // namespace ztds
