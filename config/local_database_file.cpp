#include "config/local_database_file.h"

#include "core/failure_explanation.h"
#include "db/query.h"
#include "db/sql_literal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

#include <memory>

namespace zt::config {

namespace {

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

[[noreturn]] void fail(sqlite3* db) {
    throw db::DbError(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_errcode(db));
}

void run(sqlite3* db, const QString& sql) {
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db);
}

// The first column of every row of a select.
QStringList column(sqlite3* db, const QString& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &raw, nullptr) != SQLITE_OK)
        fail(db);
    const Statement statement(raw);
    QStringList values;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
        values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    if (rc != SQLITE_DONE)
        fail(db);
    return values;
}

QStringList tablesOf(sqlite3* db, const QString& schema) {
    return column(db, QStringLiteral("select name from %1.sqlite_master where type='table' and "
                                     "name not like 'sqlite_%' order by rowid")
                          .arg(schema));
}

// A table the database lacks comes whole: as the template declares it, with its rows.
void addTable(sqlite3* db, const QString& table) {
    const QStringList declaration = column(
        db, QStringLiteral("select sql from template.sqlite_master where type='table' and name=") +
                db::quotedLiteral(table));
    run(db, declaration.value(0));
    run(db, QStringLiteral("insert into main.%1 select * from template.%1")
                .arg(db::doubleQuotedName(table)));
}

Database openDatabase(const QString& path, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK)
        fail(raw);
    sqlite3_busy_timeout(raw, 5000);
    return db;
}

int recordedVersion(sqlite3* db, const QString& schema) {
    return column(db, QStringLiteral("pragma %1.user_version").arg(schema)).value(0).toInt();
}

// The version a file was last brought up to, read without opening it for writing.
int recordedVersion(const QString& path) {
    const Database db = openDatabase(path, SQLITE_OPEN_READONLY);
    return recordedVersion(db.get(), QStringLiteral("main"));
}

// Brings the file up to the template's version: the template's tables it lacks arrive whole;
// the tables it has stay as the site left them, rows and all.
void upgradeFromTemplate(const QString& databasePath, const QString& templatePath) {
    const Database db = openDatabase(databasePath, SQLITE_OPEN_READWRITE);
    sqlite3* raw = db.get();
    run(raw, QStringLiteral("attach database %1 as template").arg(db::quotedLiteral(templatePath)));
    // All or nothing: an upgrade that fails leaves the file as it was.
    run(raw, QStringLiteral("begin immediate"));
    try {
        const int target = recordedVersion(raw, QStringLiteral("template"));
        // Another start may have upgraded it between the first look and the lock.
        if (recordedVersion(raw, QStringLiteral("main")) < target) {
            const QStringList existing = tablesOf(raw, QStringLiteral("main"));
            for (const QString& table : tablesOf(raw, QStringLiteral("template"))) {
                if (!existing.contains(table, Qt::CaseInsensitive))
                    addTable(raw, table);
            }
            run(raw, QStringLiteral("pragma main.user_version = %1").arg(target));
        }
        run(raw, QStringLiteral("commit"));
    } catch (...) {
        sqlite3_exec(raw, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
}

// A copy under a temporary name renamed into place: never a half-written database.
void copyTemplate(const QString& databasePath, const QString& templatePath) {
    const QFileInfo target(databasePath);
    if (!QDir().mkpath(target.absolutePath()))
        throw db::DbError(QStringLiteral("无法创建目录 %1").arg(target.absolutePath()));
    const QString partial = databasePath + QStringLiteral(".new");
    QFile::remove(partial);
    if (!QFile::copy(templatePath, partial))
        throw db::DbError(QStringLiteral("无法复制 %1").arg(templatePath));
    // The template may be read-only where it is installed; the user's copy is not.
    QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner);
    if (!QFile::rename(partial, databasePath)) {
        QFile::remove(partial);
        // Another start may have made it meanwhile; then that one stands.
        if (!QFileInfo::exists(databasePath))
            throw db::DbError(QStringLiteral("无法创建 %1").arg(databasePath));
    }
}

// The check's failures: SQLite's code as it was (extended where SQLite gave one) and the file.
[[noreturn]] void failLocal(const QString& text, int code, const QString& path) {
    throw db::DbError(text, code, db::ErrorSource::LocalStore, {}, path);
}

[[noreturn]] void failLocal(sqlite3* db, const QString& path) {
    failLocal(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_extended_errcode(db), path);
}

void runChecked(sqlite3* db, const char* sql, const QString& path) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        failLocal(db, path);
}

QStringList columnChecked(sqlite3* db, const QString& sql, const QString& path) {
    try {
        return column(db, sql);
    } catch (const db::DbError& failure) {
        failLocal(failure.text(), failure.number(), path);
    }
}

// Whether the table is there, and its rows can be read to the end.
void requireReadableTable(sqlite3* db, const QString& table, const QString& path) {
    const QString lookUp = QStringLiteral("select name from sqlite_master where type='table' and "
                                          "name=%1 collate nocase");
    if (columnChecked(db, lookUp.arg(db::quotedLiteral(table)), path).isEmpty())
        failLocal(table, core::missingLocalTable, path);
    columnChecked(db, QStringLiteral("select count(*) from ") + db::doubleQuotedName(table), path);
}

// The file and its folder take writes: SQLite writes a journal beside the file.
void requireWritablePlace(const QFileInfo& file) {
    if (!file.isWritable())
        failLocal(QStringLiteral("attempt to write a readonly database"), SQLITE_READONLY,
                  file.filePath());
    if (!QFileInfo(file.absolutePath()).isWritable())
        failLocal(QStringLiteral("the folder of the database is read-only"), SQLITE_READONLY,
                  file.filePath());
}

} // namespace

const QStringList& requiredLocalTables() {
    static const QStringList tables{
        QStringLiteral("系统路径表"),   QStringLiteral("帐套信息表"),  QStringLiteral("col_num"),
        QStringLiteral("colrow_num"),   QStringLiteral("hpszxxb"),     QStringLiteral("line_yesno"),
        QStringLiteral("print_colrow"), QStringLiteral("print_model"), QStringLiteral("row_num"),
        QStringLiteral("show_line"),    QStringLiteral("系统信息表"),  QStringLiteral("打印设置表"),
        QStringLiteral("打印设置表1")};
    return tables;
}

void requireUsableLocalDatabase(const QString& databasePath,
                                std::chrono::milliseconds busyTimeout) {
    const QFileInfo file(databasePath);
    if (!file.exists())
        failLocal(QStringLiteral("no such file"), SQLITE_CANTOPEN, databasePath);
    if (!file.isFile())
        failLocal(QStringLiteral("not a file"), SQLITE_CANTOPEN, databasePath);
    requireWritablePlace(file);
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(databasePath.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const Database db(raw);
    if (rc != SQLITE_OK) {
        if (!raw)
            failLocal(QString::fromUtf8(sqlite3_errstr(rc)), rc, databasePath);
        failLocal(raw, databasePath);
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, int(busyTimeout.count()));
    // Opened read-only after all: the file system refused writing.
    if (sqlite3_db_readonly(raw, "main") == 1)
        failLocal(QStringLiteral("attempt to write a readonly database"), SQLITE_READONLY,
                  databasePath);
    for (const QString& table : requiredLocalTables())
        requireReadableTable(raw, table, databasePath);
    // The write lock is what storing a login needs; taking and dropping it changes nothing.
    runChecked(raw, "begin immediate", databasePath);
    runChecked(raw, "rollback", databasePath);
}

QString templateDatabasePath(const QString& programDirectory) {
    return QDir(programDirectory).filePath(QStringLiteral("data/CHWHDB.template.mdb"));
}

QString chooseLocalDatabasePath(const QString& programDirectory, const QString& dataHome) {
    const QString beside = QDir(programDirectory).filePath(QStringLiteral("data/CHWHDB.mdb"));
    if (QFileInfo::exists(beside) || !QFileInfo::exists(templateDatabasePath(programDirectory)))
        return beside;
    return QDir(dataHome).filePath(QStringLiteral("zhangtao/CHWHDB.mdb"));
}

void prepareLocalDatabase(const QString& databasePath, const QString& templatePath) {
    if (!QFileInfo::exists(databasePath)) {
        copyTemplate(databasePath, templatePath);
        return;
    }
    // The site's file first: one that cannot be read is reported whatever the template holds.
    const int fileVersion = recordedVersion(databasePath);
    if (recordedVersion(templatePath) > fileVersion)
        upgradeFromTemplate(databasePath, templatePath);
}

} // namespace zt::config
