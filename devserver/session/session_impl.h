#pragma once
// One connection's session: runs parsed statements against the databases.

#include "devserver/session/engine_impl.h"
#include "devserver/sql/ast.h"
#include "devserver/sql/evaluator.h"

namespace ztds {

// Rows and their description, from a table or a catalog view.
struct RowSource {
    std::vector<ColumnInfo> columns;
    std::vector<storage::StoredRow> rows;
    QStringList qualifiers;
};

// The database a statement works in: the session's current one or one it names.
struct DatabaseUse {
    storage::DatabaseFile* file = nullptr;
    QString name;
    QString key; // folded name
    std::shared_ptr<storage::DatabaseFile> owned;
    DatabaseLease lease;
};

// BEGIN TRANSACTION .. COMMIT: the count SQL Server reports as @@TRANCOUNT and, once the
// transaction first writes, the database connection that holds it. A transaction writes in
// one database only (SQL Server would allow more).
struct UserTransaction {
    int count = 0;
    QString name; // BEGIN TRANSACTION's name, for ROLLBACK TRANSACTION name
    QString key;  // folded name of the database it writes in; empty until the first write
    std::shared_ptr<storage::DatabaseFile> file;
    DatabaseLease lease;
};

// A collation a column or database is declared with: 448 for a name of no collation's form;
// for char and varchar data (singleByte), refused unless its code page is the one kept.
void requireKeptCollation(const QString& name, bool singleByte);

// The column of that name, any case; -1 when the table has none.
int findColumn(const storage::TableDef& table, const QString& name);

class SessionImpl : public Session {
public:
    SessionImpl(Engine::Impl& engine, const Login& login, int spid, DatabaseLease database);

    QString userName() const override { return login_.name; }
    ~SessionImpl() override;
    QString currentDatabase() const override { return database_.name(); }
    int spid() const override { return spid_; }
    int transactionCount() const override { return transaction_.count; }
    void reset(bool keepTransaction) override;
    std::vector<StatementResult> executeBatch(const QString& sql) override;
    std::vector<StatementResult> executeSql(const QString& sql,
                                            const std::vector<RpcParameter>& params) override;

private:
    std::vector<StatementResult> run(const QString& sql, const std::vector<RpcParameter>& params);
    StatementResult execute(sql::Statement& s);
    StatementResult dispatch(sql::Statement& s);

    // transactions (transactions.cpp)
    StatementResult beginTransaction(const sql::Statement& s);
    StatementResult commitTransaction(const sql::Statement& s);
    StatementResult rollbackTransaction(const sql::Statement& s);
    void rollbackAll();
    // A statement's own transaction in db; inside a user transaction, a savepoint in it.
    storage::DatabaseFile::Transaction statementTransaction(DatabaseUse& db, bool write);
    // Whether the failure of a statement ends the batch (and rolls back the transaction).
    bool abortsBatch(const StatementResult& failed) const;
    bool startsImplicitTransaction(const sql::Statement& s) const;
    void refuseInTransaction(const char* statement) const;

    // databases (database_statements.cpp; BACKUP and RESTORE in backup_restore.cpp)
    StatementResult createDatabase(const sql::Statement& s);
    StatementResult dropDatabase(const sql::Statement& s);
    StatementResult useDatabase(const sql::Statement& s);
    StatementResult backupDatabase(const sql::Statement& s);
    StatementResult restoreDatabase(const sql::Statement& s);
    // ALTER DATABASE .. MODIFY NAME and sp_renamedb (rename_database.cpp)
    StatementResult renameDatabase(const sql::Statement& s);
    std::pair<QString, QString> renameArguments(const sql::Statement& s);

    // tables (table_statements.cpp) and rows (row_statements.cpp)
    StatementResult createTable(sql::Statement& s);
    StatementResult dropTable(sql::Statement& s);
    StatementResult select(sql::Statement& s); // select_statement.cpp
    RowSource selectSource(const sql::Statement& s);
    StatementResult insert(sql::Statement& s);
    std::optional<int64_t> insertRows(DatabaseUse& db, storage::TableDef& table, sql::Statement& s,
                                      const std::vector<int>& targets);
    StatementResult update(sql::Statement& s);
    StatementResult remove(sql::Statement& s);
    StatementResult setOption(const sql::Statement& s);
    // SET TEXTSIZE: cuts text, ntext and (n)varchar(max) values of a result to so many bytes.
    void applyTextSize(ResultSet& result) const;
    void setTextSize(const QString& value);

    DatabaseUse useFor(const sql::ObjectName& name);
    // Refuses a database that exists but is being restored (927).
    static void refuseWhileRestoring(const DatabaseLease& refused, const QString& database);
    storage::TableDef requireTable(DatabaseUse& db, const sql::ObjectName& name);
    RowSource tableSource(const storage::TableDef& table, std::vector<storage::StoredRow> rows,
                          const sql::ObjectName& name, const QString& alias) const;
    std::optional<RowSource> catalogView(const sql::ObjectName& name);
    // INSERT, UPDATE and DELETE may not touch the catalog views.
    void refuseCatalogWrite(const sql::ObjectName& name);
    RowSource informationSchema(DatabaseUse& db, const QString& view, const QString& writtenName);
    RowSource systemView(DatabaseUse& db, const QString& view, const QString& writtenName);
    // The views of the server's databases and of this one's objects; each takes the
    // database so that systemView can look them up by name.
    RowSource sysDatabases(DatabaseUse& db);
    RowSource catalogDatabases(DatabaseUse& db);
    RowSource sysObjects(DatabaseUse& db);
    RowSource sysColumns(DatabaseUse& db);
    // The user tables the catalog shows this login (see seesTablesOf).
    std::vector<storage::TableDef> visibleTables(DatabaseUse& db) const;
    std::vector<Value> assignRow(const storage::TableDef& table, const QString& databaseName,
                                 std::vector<std::optional<sql::TypedValue>> values, bool isInsert);
    std::vector<ServerMessage> duplicateKey(const storage::TableDef& table,
                                            const std::vector<Value>& row) const;
    // permissions (database_statements.cpp): dbo (sysadmin, or the owner) may do anything in
    // a database; any other login is guest in master, tempdb and msdb and nobody elsewhere.
    bool maySchemaChange(const QString& databaseName) const;
    bool ownsDatabase(const QString& key) const;
    void requireEntry(const QString& key, const QString& name) const; // 916
    // SELECT, INSERT, UPDATE, DELETE on a user table: dbo only, as nothing is granted to guest.
    void requireTableRight(const DatabaseUse& db, const storage::TableDef& table,
                           const char* verb) const; // 229
    // Whether the catalog views show the database's user tables to this login.
    bool seesTablesOf(const DatabaseUse& db) const;

    // built-in functions and @@ variables (builtins.cpp)
    struct Builtin;
    static const Builtin* builtinFunction(const QString& name);
    static const Builtin* builtinVariable(const QString& name);
    sql::EvalEnv environment(const std::vector<RpcParameter>* params);
    QString databaseUserName() const;
    sql::TypedValue databaseNameOf(const std::vector<sql::TypedValue>& args);
    sql::TypedValue databaseIdOf(const std::vector<sql::TypedValue>& args);
    sql::TypedValue identityCurrent(const std::vector<sql::TypedValue>& args);
    sql::TypedValue serverProperty(const std::vector<sql::TypedValue>& args) const;
    sql::TypedValue isServerRoleMember(const std::vector<sql::TypedValue>& args) const;
    sql::TypedValue columnProperty(const std::vector<sql::TypedValue>& args);
    std::optional<int64_t> objectId(const QString& name);

    Engine::Impl& engine_;
    Login login_;
    int spid_;
    DatabaseLease database_;
    QString initialDatabase_; // where the login started, for a connection reset
    std::shared_ptr<storage::DatabaseFile> file_;
    UserTransaction transaction_;
    bool xactAbort_ = false;
    bool implicitTransactions_ = false;
    const std::vector<RpcParameter>* params_ = nullptr;
    bool nocount_ = false;
    std::optional<int64_t> textSize_; // bytes; unset: no limit
    bool fmtOnly_ = false;
    std::optional<int64_t> lastIdentity_;  // @@IDENTITY
    std::optional<int64_t> scopeIdentity_; // SCOPE_IDENTITY(): this batch or call only
    int64_t lastRowCount_ = 0;
};

} // namespace ztds
