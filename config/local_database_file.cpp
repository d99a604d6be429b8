#include "config/local_database_file.h"

#include "db/query.h"

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

QString quoted(const QString& name) {
    QString escaped = name;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

QString literal(const QString& text) {
    QString escaped = text;
    escaped.replace(u'\'', QStringLiteral("''"));
    return u'\'' + escaped + u'\'';
}

QStringList tablesOf(sqlite3* db, const QString& schema) {
    return column(db, QStringLiteral("select name from %1.sqlite_master where type='table' and "
                                     "name not like 'sqlite_%' order by rowid")
                          .arg(schema));
}

QStringList columnsOf(sqlite3* db, const QString& schema, const QString& table) {
    return column(db, QStringLiteral("select name from pragma_table_info(%1, %2)")
                          .arg(literal(table), literal(schema)));
}

// A table the database lacks comes whole: as the template declares it, with its rows.
void addTable(sqlite3* db, const QString& table) {
    const QStringList declaration = column(
        db, QStringLiteral("select sql from template.sqlite_master where type='table' and name=") +
                literal(table));
    run(db, declaration.value(0));
    run(db, QStringLiteral("insert into main.%1 select * from template.%1").arg(quoted(table)));
}

// Rows of the template that the table lacks, compared over the columns both have.
void addMissingRows(sqlite3* db, const QString& table) {
    const QStringList present = columnsOf(db, QStringLiteral("main"), table);
    QStringList shared;
    for (const QString& name : columnsOf(db, QStringLiteral("template"), table)) {
        if (present.contains(name))
            shared << quoted(name);
    }
    if (shared.isEmpty())
        return;
    const QString columns = shared.join(u',');
    run(db, QStringLiteral("insert into main.%1 (%2) select %2 from template.%1 "
                           "except select %2 from main.%1")
                .arg(quoted(table), columns));
}

void mergeTemplate(const QString& databasePath, const QString& templatePath) {
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(databasePath.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const Database db(raw);
    if (rc != SQLITE_OK)
        fail(raw);
    sqlite3_busy_timeout(raw, 5000);
    run(raw, QStringLiteral("attach database %1 as template").arg(literal(templatePath)));
    const QStringList existing = tablesOf(raw, QStringLiteral("main"));
    // All or nothing: a merge that fails leaves the file as it was.
    run(raw, QStringLiteral("begin immediate"));
    try {
        for (const QString& table : tablesOf(raw, QStringLiteral("template"))) {
            if (existing.contains(table, Qt::CaseInsensitive))
                addMissingRows(raw, table);
            else
                addTable(raw, table);
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

} // namespace

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
    if (!QFileInfo::exists(databasePath))
        copyTemplate(databasePath, templatePath);
    else
        mergeTemplate(databasePath, templatePath);
}

} // namespace zt::config
