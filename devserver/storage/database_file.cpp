#include "devserver/storage/database_file.h"

#include "devserver/storage/collation.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace ztds::storage {

// A prepared SQLite statement, finalised when it goes.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql) : db_(db) {
        const QByteArray utf8 = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()),
                                          &stmt_, nullptr);
        if (rc != SQLITE_OK)
            throw StorageError(rc, sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QString& text) {
        if (text.isNull()) {
            sqlite3_bind_null(stmt_, index);
            return;
        }
        sqlite3_bind_text16(stmt_, index, text.utf16(), static_cast<int>(text.size() * 2),
                            SQLITE_TRANSIENT);
    }
    void bind(int index, int64_t v) { sqlite3_bind_int64(stmt_, index, v); }
    void bind(int index, double v) { sqlite3_bind_double(stmt_, index, v); }
    void bind(int index, const QByteArray& bytes) {
        sqlite3_bind_blob(stmt_, index, bytes.constData(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
    }
    void bindNull(int index) { sqlite3_bind_null(stmt_, index); }

    // true while there is a row
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        if ((rc & 0xff) == SQLITE_CONSTRAINT)
            throw UniqueViolation();
        throw StorageError(rc, sqlite3_errmsg(db_));
    }

    bool isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    double real(int column) const { return sqlite3_column_double(stmt_, column); }
    QByteArray blob(int column) const {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return QByteArray(data, sqlite3_column_bytes(stmt_, column));
    }
    QString text(int column) const {
        const auto* data = static_cast<const QChar*>(sqlite3_column_text16(stmt_, column));
        const int bytes = sqlite3_column_bytes16(stmt_, column);
        if (!data)
            return isNull(column) ? QString() : QStringLiteral("");
        return QString(data, bytes / 2);
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

namespace {

const QDate& epoch() {
    static const QDate date(1900, 1, 1);
    return date;
}

QString encodeDateTime(const DateTimeValue& v) {
    const QDate d = epoch().addDays(v.days);
    const int64_t ms = v.msSinceMidnight;
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%03d", d.year(), d.month(), d.day(),
                             static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                             static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
}

DateTimeValue decodeDateTime(const QString& s) {
    const QDate d(s.mid(0, 4).toInt(), s.mid(5, 2).toInt(), s.mid(8, 2).toInt());
    const int64_t ms = ((s.mid(11, 2).toLongLong() * 60 + s.mid(14, 2).toLongLong()) * 60 +
                        s.mid(17, 2).toLongLong()) *
                           1000 +
                       s.mid(20, 3).toLongLong();
    return DateTimeValue{static_cast<int32_t>(epoch().daysTo(d)), ms};
}

SqlType typeFromText(const QString& s) {
    static const SqlType all[] = {SqlType::NVarChar,  SqlType::NText,    SqlType::Int,
                                  SqlType::BigInt,    SqlType::Money,    SqlType::SmallDateTime,
                                  SqlType::DateTime,  SqlType::Float,    SqlType::Bit,
                                  SqlType::TinyInt,   SqlType::SmallInt, SqlType::Real,
                                  SqlType::Char,      SqlType::VarChar,  SqlType::NChar,
                                  SqlType::VarBinary, SqlType::Numeric,  SqlType::UniqueIdentifier,
                                  SqlType::DateTime2};
    for (SqlType t : all)
        if (s == QLatin1String(sqlTypeName(t)))
            return t;
    return SqlType::NVarChar;
}

const char* storageType(const ColumnDef& c) {
    switch (c.type) {
    case SqlType::NVarChar:
    case SqlType::NText:
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
        return c.caseInsensitive() ? "TEXT COLLATE ZTCI" : "TEXT COLLATE BINARY";
    case SqlType::UniqueIdentifier:
        return "TEXT COLLATE NOCASE";
    case SqlType::Float:
    case SqlType::Real:
        return "REAL";
    case SqlType::VarBinary:
        return "BLOB";
    case SqlType::SmallDateTime:
    case SqlType::DateTime:
    case SqlType::DateTime2:
        return "TEXT";
    default:
        return "INTEGER";
    }
}

QString tableSqlName(int64_t id) {
    return QStringLiteral("\"t%1\"").arg(id);
}
QString columnSqlName(size_t index) {
    return QStringLiteral("\"c%1\"").arg(index + 1);
}

void bindValue(Statement& s, int index, const Value& v) {
    if (std::holds_alternative<std::monostate>(v))
        s.bindNull(index);
    else if (const auto* i = std::get_if<int64_t>(&v))
        s.bind(index, *i);
    else if (const auto* d = std::get_if<double>(&v))
        s.bind(index, *d);
    else if (const auto* t = std::get_if<QString>(&v))
        s.bind(index, t->isNull() ? QStringLiteral("") : *t); // '' is a value, not NULL
    else if (const auto* dt = std::get_if<DateTimeValue>(&v))
        s.bind(index, encodeDateTime(*dt));
    else if (const auto* m = std::get_if<MoneyValue>(&v))
        s.bind(index, m->tenThousandths);
    else if (const auto* b = std::get_if<QByteArray>(&v))
        s.bind(index, *b);
    else if (std::holds_alternative<NumericValue>(v))
        throw StorageError(SQLITE_MISMATCH, "numeric values are not stored");
}

Value readValue(const Statement& s, int column, SqlType type) {
    if (s.isNull(column))
        return std::monostate{};
    switch (type) {
    case SqlType::NVarChar:
    case SqlType::NText:
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::UniqueIdentifier:
        return s.text(column);
    case SqlType::Float:
    case SqlType::Real:
        return s.real(column);
    case SqlType::Money:
        return MoneyValue{s.integer(column)};
    case SqlType::VarBinary:
        return s.blob(column);
    case SqlType::SmallDateTime:
    case SqlType::DateTime:
    case SqlType::DateTime2:
        return decodeDateTime(s.text(column));
    default:
        return s.integer(column);
    }
}

} // namespace

bool StorageError::busy() const {
    return (code_ & 0xff) == SQLITE_BUSY || (code_ & 0xff) == SQLITE_LOCKED;
}

bool ColumnDef::caseInsensitive() const {
    return collation.isEmpty() || collation.contains(QLatin1String("_CI"), Qt::CaseInsensitive);
}

int TableDef::identityColumn() const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].identity)
            return static_cast<int>(i);
    return -1;
}

std::vector<int> TableDef::primaryKeyColumns() const {
    std::vector<std::pair<int, int>> keyed;
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].primaryKeyOrdinal > 0)
            keyed.emplace_back(columns[i].primaryKeyOrdinal, static_cast<int>(i));
    std::sort(keyed.begin(), keyed.end());
    std::vector<int> out;
    for (const auto& k : keyed)
        out.push_back(k.second);
    return out;
}

std::unique_ptr<DatabaseFile> DatabaseFile::open(const std::filesystem::path& file, bool create) {
    sqlite3* raw = nullptr;
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(file.string().c_str(), &raw, flags, nullptr);
    std::unique_ptr<DatabaseFile> db(new DatabaseFile(raw));
    if (rc != SQLITE_OK)
        throw StorageError(rc, raw ? sqlite3_errmsg(raw) : "cannot open database file");
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, 30000);
    registerCollation(raw);
    db->exec("PRAGMA journal_mode=WAL");
    // Every commit reaches the disk before the statement's answer is sent.
    db->exec("PRAGMA synchronous=FULL");
    if (create)
        db->initialiseCatalog();
    return db;
}

DatabaseFile::~DatabaseFile() {
    sqlite3_close_v2(db_);
}

void DatabaseFile::exec(const char* sql) const {
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const std::string text = error ? error : sqlite3_errstr(rc);
        sqlite3_free(error);
        throw StorageError(rc, text);
    }
}

void DatabaseFile::initialiseCatalog() {
    Transaction t(*this, true);
    exec("CREATE TABLE IF NOT EXISTS zt_meta (key TEXT PRIMARY KEY, value TEXT);"
         "CREATE TABLE IF NOT EXISTS zt_tables (id INTEGER PRIMARY KEY AUTOINCREMENT,"
         " name TEXT NOT NULL, folded TEXT NOT NULL UNIQUE, pk_name TEXT,"
         " identity_seed INTEGER NOT NULL DEFAULT 1, identity_increment INTEGER NOT NULL DEFAULT 1,"
         " identity_last INTEGER, created TEXT);"
         "CREATE TABLE IF NOT EXISTS zt_columns (table_id INTEGER NOT NULL,"
         " ordinal INTEGER NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,"
         " length INTEGER NOT NULL, nullable INTEGER NOT NULL, is_identity INTEGER NOT NULL,"
         " pk_ordinal INTEGER NOT NULL, collation TEXT, PRIMARY KEY (table_id, ordinal));");
    t.commit();
}

DatabaseFile::Transaction::Transaction(DatabaseFile& db, bool write) : db_(db) {
    if (!sqlite3_get_autocommit(db_.db_)) {
        savepoint_ = true;
        db_.exec("SAVEPOINT zt_statement");
        return;
    }
    db_.exec(write ? "BEGIN IMMEDIATE" : "BEGIN");
}

DatabaseFile::Transaction::~Transaction() {
    if (!open_)
        return;
    if (savepoint_) {
        sqlite3_exec(db_.db_, "ROLLBACK TO zt_statement; RELEASE zt_statement", nullptr, nullptr,
                     nullptr);
        return;
    }
    sqlite3_exec(db_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void DatabaseFile::Transaction::commit() {
    if (!open_)
        return;
    db_.exec(savepoint_ ? "RELEASE zt_statement" : "COMMIT");
    open_ = false;
}

void DatabaseFile::begin() {
    exec("BEGIN IMMEDIATE");
}

void DatabaseFile::commit() {
    exec("COMMIT");
}

void DatabaseFile::rollback() {
    if (!sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool DatabaseFile::inTransaction() const {
    return !sqlite3_get_autocommit(db_);
}

QString DatabaseFile::meta(const QString& key) const {
    Statement s(db_, QStringLiteral("SELECT value FROM zt_meta WHERE key = ?"));
    s.bind(1, key);
    return s.step() ? s.text(0) : QString();
}

void DatabaseFile::setMeta(const QString& key, const QString& value) {
    Statement s(db_, QStringLiteral("INSERT OR REPLACE INTO zt_meta (key, value) VALUES (?, ?)"));
    s.bind(1, key);
    s.bind(2, value);
    s.step();
}

TableDef DatabaseFile::readTableRow(Statement& s) const {
    TableDef t;
    t.id = s.integer(0);
    t.name = s.text(1);
    t.primaryKeyName = s.isNull(2) ? QString() : s.text(2);
    t.identitySeed = s.integer(3);
    t.identityIncrement = s.integer(4);
    if (!s.isNull(5))
        t.identityLast = s.integer(5);
    t.created = s.text(6);
    t.columns = readColumns(t.id);
    return t;
}

namespace {

// datetime2 keeps its fractional digits in the length, plus one: files from before the digits
// were kept hold 0 there, which stays datetime2(7).
int64_t storedLength(const ColumnDef& c) {
    return c.type == SqlType::DateTime2 ? c.fractionalDigits + 1 : c.length;
}

void readLength(ColumnDef& c) {
    if (c.type != SqlType::DateTime2)
        return;
    c.fractionalDigits = c.length == 0 ? 7 : c.length - 1;
    c.length = 0;
}

} // namespace

std::vector<ColumnDef> DatabaseFile::readColumns(int64_t tableId) const {
    Statement s(db_,
                QStringLiteral("SELECT name, type, length, nullable, is_identity, pk_ordinal,"
                               " collation FROM zt_columns WHERE table_id = ? ORDER BY ordinal"));
    s.bind(1, tableId);
    std::vector<ColumnDef> columns;
    while (s.step()) {
        ColumnDef c;
        c.name = s.text(0);
        c.type = typeFromText(s.text(1));
        c.length = static_cast<int>(s.integer(2));
        readLength(c);
        c.nullable = s.integer(3) != 0;
        c.identity = s.integer(4) != 0;
        c.primaryKeyOrdinal = static_cast<int>(s.integer(5));
        c.collation = s.isNull(6) ? QString() : s.text(6);
        columns.push_back(std::move(c));
    }
    return columns;
}

static const char* const tableColumns =
    "SELECT id, name, pk_name, identity_seed, identity_increment, identity_last, created"
    " FROM zt_tables";

std::optional<TableDef> DatabaseFile::findTable(const QString& name) const {
    Statement s(db_, QString::fromLatin1(tableColumns) + QStringLiteral(" WHERE folded = ?"));
    s.bind(1, foldName(name));
    if (!s.step())
        return std::nullopt;
    return readTableRow(s);
}

std::vector<TableDef> DatabaseFile::tables() const {
    Statement s(db_, QString::fromLatin1(tableColumns) + QStringLiteral(" ORDER BY id"));
    std::vector<TableDef> out;
    while (s.step())
        out.push_back(readTableRow(s));
    return out;
}

namespace {

// User tables get ids in the range SQL Server gives them, clear of the system tables' small
// ids (sysobjects is 1, syscolumns 3) that sysobjects lists beside them, and two apart: the
// one between is the table's primary key's (keyObjectId). Files from before keep their ids.
constexpr int64_t firstUserObjectId = 2073058421;

} // namespace

int64_t DatabaseFile::nextTableId() const {
    Statement s(db_, QStringLiteral("SELECT COALESCE(MAX(id), 0) FROM zt_tables"));
    s.step();
    return std::max(s.integer(0) + 2, firstUserObjectId);
}

int64_t keyObjectId(int64_t tableId) {
    return tableId + 1;
}

void DatabaseFile::createTable(TableDef& table) {
    table.id = nextTableId();
    {
        Statement s(db_, QStringLiteral("INSERT INTO zt_tables (name, folded, pk_name, "
                                        "identity_seed, identity_increment, created, id)"
                                        " VALUES (?, ?, ?, ?, ?, ?, ?)"));
        s.bind(1, table.name);
        s.bind(2, foldName(table.name));
        s.bind(3, table.primaryKeyName.isEmpty() ? QString() : table.primaryKeyName);
        s.bind(4, table.identitySeed);
        s.bind(5, table.identityIncrement);
        table.created = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
        s.bind(6, table.created);
        s.bind(7, table.id);
        s.step();
    }
    QStringList definitions;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& c = table.columns[i];
        Statement s(db_, QStringLiteral("INSERT INTO zt_columns (table_id, ordinal, name, type,"
                                        " length, nullable, is_identity, pk_ordinal, collation)"
                                        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        s.bind(1, table.id);
        s.bind(2, static_cast<int64_t>(i + 1));
        s.bind(3, c.name);
        s.bind(4, QString::fromLatin1(sqlTypeName(c.type)));
        s.bind(5, int64_t{storedLength(c)});
        s.bind(6, int64_t{c.nullable ? 1 : 0});
        s.bind(7, int64_t{c.identity ? 1 : 0});
        s.bind(8, int64_t{c.primaryKeyOrdinal});
        s.bind(9, c.collation.isEmpty() ? QString() : c.collation);
        s.step();
        definitions << QStringLiteral("%1 %2").arg(columnSqlName(i), QLatin1String(storageType(c)));
    }
    exec(QStringLiteral("CREATE TABLE %1 (%2)")
             .arg(tableSqlName(table.id), definitions.join(QStringLiteral(", ")))
             .toUtf8()
             .constData());
    const auto key = table.primaryKeyColumns();
    if (!key.empty()) {
        QStringList keyColumns;
        for (int k : key)
            keyColumns << columnSqlName(static_cast<size_t>(k));
        exec(QStringLiteral("CREATE UNIQUE INDEX \"pk%1\" ON %2 (%3)")
                 .arg(table.id)
                 .arg(tableSqlName(table.id), keyColumns.join(QStringLiteral(", ")))
                 .toUtf8()
                 .constData());
    }
}

void DatabaseFile::dropTable(const TableDef& table) {
    exec(QStringLiteral("DROP TABLE %1").arg(tableSqlName(table.id)).toUtf8().constData());
    Statement columns(db_, QStringLiteral("DELETE FROM zt_columns WHERE table_id = ?"));
    columns.bind(1, table.id);
    columns.step();
    Statement tables(db_, QStringLiteral("DELETE FROM zt_tables WHERE id = ?"));
    tables.bind(1, table.id);
    tables.step();
}

std::vector<StoredRow> DatabaseFile::readRows(const TableDef& table) const {
    QStringList names{QStringLiteral("rowid")};
    for (size_t i = 0; i < table.columns.size(); ++i)
        names << columnSqlName(i);
    Statement s(db_, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                         .arg(names.join(QStringLiteral(", ")), tableSqlName(table.id)));
    std::vector<StoredRow> rows;
    while (s.step()) {
        StoredRow row;
        row.rowid = s.integer(0);
        row.values.reserve(table.columns.size());
        for (size_t i = 0; i < table.columns.size(); ++i)
            row.values.push_back(readValue(s, static_cast<int>(i + 1), table.columns[i].type));
        rows.push_back(std::move(row));
    }
    return rows;
}

int64_t DatabaseFile::insertRow(const TableDef& table, const std::vector<Value>& values) {
    QStringList names;
    QStringList marks;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        names << columnSqlName(i);
        marks << QStringLiteral("?");
    }
    Statement s(db_, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                         .arg(tableSqlName(table.id), names.join(QStringLiteral(", ")),
                              marks.join(QStringLiteral(", "))));
    for (size_t i = 0; i < values.size(); ++i)
        bindValue(s, static_cast<int>(i + 1), values[i]);
    s.step();
    return sqlite3_last_insert_rowid(db_);
}

void DatabaseFile::updateRow(const TableDef& table, int64_t rowid,
                             const std::vector<Value>& values) {
    QStringList sets;
    for (size_t i = 0; i < table.columns.size(); ++i)
        sets << QStringLiteral("%1 = ?").arg(columnSqlName(i));
    Statement s(db_, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                         .arg(tableSqlName(table.id), sets.join(QStringLiteral(", "))));
    for (size_t i = 0; i < values.size(); ++i)
        bindValue(s, static_cast<int>(i + 1), values[i]);
    s.bind(static_cast<int>(values.size() + 1), rowid);
    s.step();
}

void DatabaseFile::deleteRow(const TableDef& table, int64_t rowid) {
    Statement s(db_, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(tableSqlName(table.id)));
    s.bind(1, rowid);
    s.step();
}

int64_t DatabaseFile::nextIdentity(TableDef& table) {
    const int64_t next =
        table.identityLast ? *table.identityLast + table.identityIncrement : table.identitySeed;
    Statement s(db_, QStringLiteral("UPDATE zt_tables SET identity_last = ? WHERE id = ?"));
    s.bind(1, next);
    s.bind(2, table.id);
    s.step();
    table.identityLast = next;
    return next;
}

QString foldName(const QString& name) {
    QString folded;
    folded.reserve(name.size());
    for (QChar c : name)
        folded.append(collationFold(c));
    return folded;
}

void copyDatabaseFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    auto source = DatabaseFile::open(from, false);
    auto target = DatabaseFile::open(to, true);
    sqlite3_backup* backup =
        sqlite3_backup_init(target->handle(), "main", source->handle(), "main");
    if (!backup)
        throw StorageError(sqlite3_errcode(target->handle()), sqlite3_errmsg(target->handle()));
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        throw StorageError(rc, sqlite3_errstr(rc));
}

void removeJournalFiles(const std::filesystem::path& file) {
    std::error_code ec;
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        std::filesystem::remove(std::filesystem::path(file.string() + suffix), ec);
}

void removeDatabaseFiles(const std::filesystem::path& file) {
    removeJournalFiles(file);
    std::error_code ec;
    std::filesystem::remove(file, ec);
}

void renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    throw std::filesystem::filesystem_error("rename", from, to,
                                            std::error_code(errno, std::generic_category()));
}

void syncDirectory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

std::filesystem::path databaseFileName(const QString& databaseName) {
    // Readable ASCII letters and digits stay; every other byte of the folded UTF-8 name is
    // written as %XX, so any name (Chinese included) maps to a distinct portable file name.
    const QByteArray utf8 = foldName(databaseName).toUtf8();
    std::string encoded;
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')
            encoded += static_cast<char>(c);
        else
            encoded += QString::asprintf("%%%02X", c).toStdString();
    }
    if (encoded.size() > 200) {
        // Keeps long names under NAME_MAX while staying distinct.
        const QByteArray hash =
            QCryptographicHash::hash(utf8, QCryptographicHash::Sha1).toHex().left(16);
        encoded = encoded.substr(0, 180) + "~" + hash.toStdString();
    }
    return std::filesystem::path(encoded + ".ztdb");
}

} // namespace ztds::storage
