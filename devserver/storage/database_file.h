#pragma once
// One database: one SQLite file holding the rows and the catalog of declared types.
// A DatabaseFile is one SQLite connection, used by one thread at a time.

#include "devserver/storage/catalog.h"

#include <QString>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

struct sqlite3;

namespace ztds::storage {

// A SQLite failure that is not a constraint violation.
class StorageError : public std::runtime_error {
public:
    StorageError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }
    bool busy() const;

private:
    int code_;
};

// A row would duplicate the primary key of another.
class UniqueViolation : public std::runtime_error {
public:
    UniqueViolation() : std::runtime_error("unique violation") {}
};

struct StoredRow {
    int64_t rowid = 0;
    std::vector<Value> values;
};

class DatabaseFile {
public:
    // Opens an existing file; create: makes a new one with an empty catalog.
    static std::unique_ptr<DatabaseFile> open(const std::filesystem::path& file, bool create);
    ~DatabaseFile();
    DatabaseFile(const DatabaseFile&) = delete;
    DatabaseFile& operator=(const DatabaseFile&) = delete;

    // Each statement runs in one of these; the destructor rolls back what was not committed.
    // Inside a longer transaction (begin() below) it is a savepoint, so that a failed statement
    // undoes only its own changes.
    class Transaction {
    public:
        Transaction(DatabaseFile& db, bool write);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        DatabaseFile& db_;
        bool open_ = true;
        bool savepoint_ = false;
    };

    // A transaction over many statements: the writer's lock is taken at once, and the one
    // commit makes everything durable together.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const;

    QString meta(const QString& key) const;
    void setMeta(const QString& key, const QString& value);

    std::optional<TableDef> findTable(const QString& name) const;
    std::vector<TableDef> tables() const;
    void createTable(TableDef& table); // sets table.id
    void dropTable(const TableDef& table);

    std::vector<StoredRow> readRows(const TableDef& table) const;
    int64_t insertRow(const TableDef& table, const std::vector<Value>& values);
    void updateRow(const TableDef& table, int64_t rowid, const std::vector<Value>& values);
    void deleteRow(const TableDef& table, int64_t rowid);
    // Hands out the next identity value and remembers it as the last one.
    int64_t nextIdentity(TableDef& table);

    sqlite3* handle() const { return db_; }

private:
    explicit DatabaseFile(sqlite3* db) : db_(db) {}
    void exec(const char* sql) const;
    void initialiseCatalog();
    int64_t nextTableId() const;
    std::vector<ColumnDef> readColumns(int64_t tableId) const;
    TableDef readTableRow(class Statement& s) const;

    sqlite3* db_ = nullptr;
};

// The object id of a table's primary key constraint (sysobjects lists it).
int64_t keyObjectId(int64_t tableId);
// Folding used for every name comparison (databases, tables, columns): the collation's.
QString foldName(const QString& name);
// Copies a database file, consistent even while others write to it, into a new file.
void copyDatabaseFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Removes the write-ahead log, shared memory and rollback journal beside a database file.
void removeJournalFiles(const std::filesystem::path& file);
// Removes a database file with its journal files.
void removeDatabaseFiles(const std::filesystem::path& file);
// Moves a file in one step, failing (EEXIST) rather than replacing a file already at `to`.
void renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);
// Makes a rename or removal in the directory durable.
void syncDirectory(const std::filesystem::path& directory);
// A file name for a database name, safe on every file system and distinct per folded name.
std::filesystem::path databaseFileName(const QString& databaseName);

} // namespace ztds::storage
