#include "db/sqlite_provider.h"

#include "db/field_transfer.h"
#include "db/query.h"
#include "db/row_statements.h"
#include "db/sql_literal.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace zt::db {

namespace {

struct Finalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, Finalizer>;

[[noreturn]] void fail(sqlite3* db) {
    const char* file = sqlite3_db_filename(db, "main");
    throw DbError(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_errcode(db),
                  ErrorSource::LocalStore, {}, QString::fromUtf8(file ? file : ""));
}

StatementHandle prepare(sqlite3* db, const QString& sql) {
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        fail(db);
    }
    return StatementHandle(raw);
}

// The kind of a column from its declared type, the way SQLite's affinity rules read names.
Column describeDeclaredType(const QString& name, const QString& declaredType) {
    Column column;
    column.name = name;
    const QString type = declaredType.toUpper();
    auto has = [&](const char* part) { return type.contains(QLatin1String(part)); };
    if (has("BIT") || has("BOOL") || has("YESNO"))
        column.kind = ColumnKind::Boolean;
    else if (has("INT") || has("COUNTER"))
        column.kind = ColumnKind::Integer;
    else if (has("CHAR") || has("TEXT") || has("CLOB") || has("MEMO") || has("STRING"))
        column.kind = ColumnKind::Text;
    else if (has("MONEY") || has("CURRENCY"))
        column.kind = ColumnKind::Money;
    else if (has("REAL") || has("FLOA") || has("DOUB") || has("DEC") || has("NUMERIC"))
        column.kind = ColumnKind::Float;
    else if (has("DATE") || has("TIME"))
        column.kind = ColumnKind::DateTime;
    else if (has("BLOB") || has("BINARY") || has("IMAGE"))
        column.kind = ColumnKind::Binary;
    if (column.kind == ColumnKind::Text) {
        static const QRegularExpression width(QStringLiteral(R"(\(\s*(\d+))"));
        const auto match = width.match(type);
        if (match.hasMatch())
            column.width = match.captured(1).toInt();
    }
    return column;
}

QString columnText(sqlite3_stmt* statement, int index) {
    const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(statement, index));
    const int bytes = sqlite3_column_bytes16(statement, index);
    return QString::fromUtf16(text, bytes / 2);
}

QVariant readValue(sqlite3_stmt* statement, int index, const Column& column) {
    const int storage = sqlite3_column_type(statement, index);
    if (storage == SQLITE_NULL)
        return {};
    switch (column.kind) {
    case ColumnKind::Text:
        return columnText(statement, index);
    case ColumnKind::Boolean:
        if (storage == SQLITE_INTEGER)
            return sqlite3_column_int64(statement, index) != 0;
        break;
    case ColumnKind::DateTime:
        if (storage == SQLITE_TEXT) {
            const QString text = columnText(statement, index);
            const QDateTime date = parseDateTime(text);
            return date.isValid() ? QVariant(date) : QVariant(text);
        }
        break;
    case ColumnKind::Float:
    case ColumnKind::Money:
        if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
            return sqlite3_column_double(statement, index);
        break;
    default:
        break;
    }
    switch (storage) {
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_column_int64(statement, index));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, index);
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, index));
        return QByteArray(data, sqlite3_column_bytes(statement, index));
    }
    default:
        return columnText(statement, index);
    }
}

void bindValue(sqlite3_stmt* statement, int index, const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(statement, index, value.toBool() ? 1 : 0);
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
        sqlite3_bind_int64(statement, index, value.toLongLong());
        return;
    case QMetaType::Double:
        sqlite3_bind_double(statement, index, value.toDouble());
        return;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        return;
    }
    default: {
        const QString text =
            value.typeId() == QMetaType::QDateTime
                ? value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                : value.toString();
        sqlite3_bind_text16(statement, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
        return;
    }
    }
}

// Adds the rowid in front of the select list so that rows can be written back.
QString selectWithRowid(const QString& sql, const QString& table) {
    static const QRegularExpression leadingSelect(QStringLiteral(R"(^\s*select\b)"),
                                                  QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression selectStar(QStringLiteral(R"(^\s*select(?=\*))"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QString prefix =
        QStringLiteral("select %1.rowid AS \"zt$rowid\",").arg(doubleQuotedName(table));
    QString rewritten = sql;
    auto match = selectStar.match(sql);
    if (!match.hasMatch())
        match = leadingSelect.match(sql);
    if (!match.hasMatch())
        return {};
    rewritten.replace(match.capturedStart(), match.capturedLength(), prefix);
    return rewritten;
}

// Jet compares text without regard to case for every letter; SQLite's own NOCASE folds only
// ASCII. The configuration file declares its text columns NOCASE and has no indexes on them,
// so replacing the collation on this connection changes no stored order.
int compareIgnoringCase(void*, int leftBytes, const void* left, int rightBytes, const void* right) {
    const QString a = QString::fromUtf8(static_cast<const char*>(left), leftBytes);
    const QString b = QString::fromUtf8(static_cast<const char*>(right), rightBytes);
    return a.compare(b, Qt::CaseInsensitive);
}

} // namespace

void SqliteProvider::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

SqliteProvider::SqliteProvider(const QString& path) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        const QString text =
            QString::fromUtf8(db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(rc));
        throw DbError(text, rc, ErrorSource::LocalStore, {}, path);
    }
    sqlite3_busy_timeout(db_.get(), 5000);
    sqlite3_create_collation_v2(db_.get(), "NOCASE", SQLITE_UTF8, nullptr, compareIgnoringCase,
                                nullptr);
    sqlite3_extended_result_codes(db_.get(), 0);
}

SqliteProvider::~SqliteProvider() = default;

ResultSet SqliteProvider::select(const QString& sql) {
    ResultSet result;
    result.baseTable = baseTableOf(sql);
    StatementHandle statement;
    int firstColumn = 0;
    if (!result.baseTable.isEmpty()) {
        const QString withRowid = selectWithRowid(sql, result.baseTable);
        const QByteArray text = withRowid.toUtf8();
        sqlite3_stmt* raw = nullptr;
        if (!withRowid.isEmpty() &&
            sqlite3_prepare_v2(db_.get(), text.constData(), int(text.size()), &raw, nullptr) ==
                SQLITE_OK) {
            statement.reset(raw);
            firstColumn = 1;
        } else {
            sqlite3_finalize(raw);
        }
    }
    if (!statement)
        statement = prepare(db_.get(), sql);
    sqlite3_stmt* st = statement.get();
    const int columnCount = sqlite3_column_count(st);
    if (columnCount == 0)
        throw DbError(QStringLiteral("CommandText does not return a result set."));

    for (int i = firstColumn; i < columnCount; ++i) {
        const auto* declared = sqlite3_column_decltype(st, i);
        Column column = describeDeclaredType(QString::fromUtf8(sqlite3_column_name(st, i)),
                                             QString::fromUtf8(declared ? declared : ""));
        const char* table = sqlite3_column_table_name(st, i);
        const char* origin = sqlite3_column_origin_name(st, i);
        if (table && origin) {
            int notNull = 0;
            int primaryKey = 0;
            int autoIncrement = 0;
            if (sqlite3_table_column_metadata(db_.get(), nullptr, table, origin, nullptr, nullptr,
                                              &notNull, &primaryKey, &autoIncrement) == SQLITE_OK) {
                column.nullable = !notNull;
                column.primaryKey = primaryKey;
                column.identity = autoIncrement;
            }
        }
        result.columns.append(column);
    }

    for (;;) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            fail(db_.get());
        Row row;
        row.values.reserve(result.columns.size());
        for (int i = firstColumn; i < columnCount; ++i)
            row.values.append(readValue(st, i, result.columns[i - firstColumn]));
        if (firstColumn == 1)
            row.rowKey = qlonglong(sqlite3_column_int64(st, 0));
        result.rows.append(std::move(row));
    }
    if (firstColumn == 0)
        result.baseTable.clear(); // without rowids rows are not written back
    return result;
}

void SqliteProvider::execute(const QString& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_.get(), sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        throw DbError(text, rc, ErrorSource::LocalStore, {},
                      QString::fromUtf8(sqlite3_db_filename(db_.get(), "main")));
    }
}

namespace {

int runStatement(sqlite3* db, const Statement& statement) {
    StatementHandle handle = prepare(db, statement.sql);
    for (qsizetype i = 0; i < statement.parameters.size(); ++i)
        bindValue(handle.get(), int(i + 1), statement.parameters[i].value);
    if (sqlite3_step(handle.get()) != SQLITE_DONE)
        fail(db);
    return sqlite3_changes(db);
}

Statement rowidCondition(const Row& row) {
    return {QStringLiteral("rowid = ?"), {{row.rowKey, ColumnKind::Integer}}};
}

void requireRowFound(int changes) {
    if (changes == 0)
        throw DbError(QStringLiteral("Row cannot be located for updating. Some values may have "
                                     "been changed since it was last read."));
}

void requireWritable(const ResultSet& result) {
    if (result.baseTable.isEmpty())
        throw DbError(QStringLiteral("Current Recordset does not support updating. This may be "
                                     "a limitation of the provider, or of the selected locktype."));
}

} // namespace

void SqliteProvider::insertRow(const ResultSet& result, Row& row, const QVector<bool>& assigned) {
    requireWritable(result);
    runStatement(db_.get(), insertStatement(result, row, assigned, doubleQuotedName));
    row.rowKey = qlonglong(sqlite3_last_insert_rowid(db_.get()));

    // Read the row back so that defaults and the store's numbering show in the result.
    StatementHandle reread = prepare(
        db_.get(),
        QStringLiteral("select * from %1 where rowid = ?").arg(doubleQuotedName(result.baseTable)));
    sqlite3_bind_int64(reread.get(), 1, row.rowKey.toLongLong());
    if (sqlite3_step(reread.get()) != SQLITE_ROW)
        return;
    const int count = sqlite3_column_count(reread.get());
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(reread.get(), i));
        for (qsizetype c = 0; c < result.columns.size(); ++c) {
            if (!assigned[c] && result.columns[c].name.compare(name, Qt::CaseInsensitive) == 0)
                row.values[c] = readValue(reread.get(), i, result.columns[c]);
        }
    }
}

void SqliteProvider::updateRow(const ResultSet& result, const Row& original, const Row& changed,
                               const QVector<bool>& assigned) {
    requireWritable(result);
    const Statement update =
        updateStatement(result, changed, assigned, rowidCondition(original), doubleQuotedName);
    if (update.sql.isEmpty())
        return;
    requireRowFound(runStatement(db_.get(), update));
}

void SqliteProvider::deleteRow(const ResultSet& result, const Row& row) {
    requireWritable(result);
    requireRowFound(
        runStatement(db_.get(), deleteStatement(result, rowidCondition(row), doubleQuotedName)));
}

} // namespace zt::db
