#pragma once
// What a query object needs of a store: run statements, describe results, and write rows of a
// result's base table back with parameterized statements.

#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

namespace zt::db {

// How a column's values are held and converted. QVariant types per kind: Text QString,
// Integer qlonglong, Float/Money double, DateTime QDateTime, Boolean bool; NULL is an
// invalid QVariant.
enum class ColumnKind { Text, Integer, Float, Money, DateTime, Boolean, Binary };

struct Column {
    QString name;
    ColumnKind kind = ColumnKind::Text;
    int width = 0; // declared width in characters for text columns; 0: unlimited
    bool nullable = true;
    bool identity = false;   // numbered by the store
    bool primaryKey = false; // part of the base table's primary key
};

struct Row {
    QVector<QVariant> values;
    QVariant rowKey; // the store's own row identifier where it has one (SQLite's rowid)
};

struct ResultSet {
    QVector<Column> columns;
    QVector<Row> rows;
    QString baseTable; // empty when the select names no single table
};

// A value bound to a statement parameter, with the kind of the column it is for.
struct Parameter {
    QVariant value;
    ColumnKind kind = ColumnKind::Text;
};

class Provider {
public:
    virtual ~Provider() = default;

    // Runs a select; throws DbError when it fails or returns no result set.
    virtual ResultSet select(const QString& sql) = 0;
    // Runs a batch of selects that answer the same columns, in one exchange: the rows of every
    // result one after another (not updatable). Where a store takes one select at a time,
    // that one select.
    virtual ResultSet selectEvery(const QString& sql) { return select(sql); }
    // Runs a statement that returns no rows.
    virtual void execute(const QString& sql) = 0;

    // Writes a new row of the base table from the assigned columns; completes `row` with what the
    // store assigned (identity, rowid).
    virtual void insertRow(const ResultSet& result, Row& row, const QVector<bool>& assigned) = 0;
    virtual void updateRow(const ResultSet& result, const Row& original, const Row& changed,
                           const QVector<bool>& assigned) = 0;
    virtual void deleteRow(const ResultSet& result, const Row& row) = 0;
};

// Opens the provider that the OLE DB connection string names; throws DbError.
std::unique_ptr<Provider> openProvider(const QString& connectionString);

} // namespace zt::db
