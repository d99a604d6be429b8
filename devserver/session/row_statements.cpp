// The row statements INSERT, UPDATE and DELETE (SELECT has a file of its own).

#include "devserver/session/session_impl.h"

#include "devserver/sql/errors.h"
#include "devserver/values/wire_constants.h"

#include <algorithm>

namespace ztds {

using sql::makeMessage;
using sql::SqlError;
using sql::TypedValue;
using storage::ColumnDef;
using storage::TableDef;

namespace {

bool isDataError(const SqlError& e) {
    if (e.messages().empty())
        return false;
    const int n = e.messages().front().number;
    return n == 515 || n == 2627 || n == 8152 || n == 8115 || n == 2628;
}

// datetime2(n) keeps n digits of the second (the engine keeps milliseconds): rounded, as
// SQL Server rounds, into the next day if need be.
void roundToDigits(DateTimeValue& t, int digits) {
    if (digits >= 3)
        return;
    int64_t unit = 1;
    for (int d = digits; d < 3; ++d)
        unit *= 10;
    t.msSinceMidnight = (t.msSinceMidnight + unit / 2) / unit * unit;
    if (t.msSinceMidnight >= msPerDay) {
        t.msSinceMidnight -= msPerDay;
        ++t.days;
    }
}

// A value stored into a column: datetime2 rounded to its digits; character and binary data
// fitted to the length, losing nothing but trailing blanks.
void fitToColumn(const ColumnDef& c, TypedValue& v) {
    if (isNull(v.value) || c.length == maxLength)
        return;
    if (c.type == SqlType::DateTime2) {
        if (auto* t = std::get_if<DateTimeValue>(&v.value))
            roundToDigits(*t, c.fractionalDigits);
        return;
    }
    sql::fitToLength(v, sql::tagOf(c.type), c.length, sql::Truncation::BlanksOnly);
}

} // namespace

std::vector<Value> SessionImpl::assignRow(const TableDef& table, const QString& databaseName,
                                          std::vector<std::optional<TypedValue>> values,
                                          bool isInsert) {
    std::vector<Value> row(table.columns.size());
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& c = table.columns[i];
        if (c.identity && isInsert)
            continue; // handed out once the row is known to be valid
        TypedValue v = values[i] ? sql::convert(*values[i], sql::tagOf(c.type)) : TypedValue{};
        fitToColumn(c, v);
        if (isNull(v.value) && !c.nullable)
            throw SqlError(
                515, 16, 2,
                QStringLiteral("Cannot insert the value NULL into column '%1', table "
                               "'%2.dbo.%3'; column does not allow nulls. %4 fails.")
                    .arg(c.name, databaseName, table.name,
                         isInsert ? QStringLiteral("INSERT") : QStringLiteral("UPDATE")));
        row[i] = std::move(v.value);
    }
    return row;
}

std::vector<ServerMessage> SessionImpl::duplicateKey(const TableDef& table,
                                                     const std::vector<Value>& row) const {
    QStringList values;
    for (int k : table.primaryKeyColumns()) {
        const auto& c = table.columns[static_cast<size_t>(k)];
        const Value& v = row[static_cast<size_t>(k)];
        values << (isNull(v) ? QStringLiteral("<NULL>")
                             : sql::toText(TypedValue{sql::tagOf(c.type), v}));
    }
    return {
        makeMessage(2627, 14, 1,
                    QStringLiteral("Violation of PRIMARY KEY constraint '%1'. Cannot insert "
                                   "duplicate key in object 'dbo.%2'. The duplicate key value "
                                   "is (%3).")
                        .arg(table.primaryKeyName, table.name, values.join(QStringLiteral(", ")))),
        sql::statementTerminated()};
}

void SessionImpl::refuseCatalogWrite(const sql::ObjectName& name) {
    if (catalogView(name))
        throw SqlError(259, 16, 1,
                       QStringLiteral("Ad hoc updates to system catalogs are not allowed."));
}

namespace {

// Without a column list: every column but the identity, and each row must fill them all.
std::vector<int> implicitInsertTargets(const TableDef& table, const sql::Statement& s) {
    std::vector<int> targets;
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (!table.columns[i].identity)
            targets.push_back(static_cast<int>(i));
    for (const auto& row : s.valueRows)
        if (row.size() != targets.size() && !row.empty())
            throw SqlError(213, 16, 1,
                           QStringLiteral("Column name or number of supplied values does not "
                                          "match table definition."));
    return targets;
}

void requireRowsMatchColumnList(const sql::Statement& s, size_t columns) {
    for (const auto& row : s.valueRows) {
        if (row.size() < columns)
            throw SqlError(109, 15, 1,
                           QStringLiteral("There are more columns in the INSERT statement than "
                                          "values specified in the VALUES clause. The number of "
                                          "values in the VALUES clause must match the number of "
                                          "columns specified in the INSERT statement."));
        if (row.size() > columns)
            throw SqlError(110, 15, 1,
                           QStringLiteral("There are fewer columns in the INSERT statement than "
                                          "values specified in the VALUES clause. The number of "
                                          "values in the VALUES clause must match the number of "
                                          "columns specified in the INSERT statement."));
    }
}

// With a column list: each column named once, never the identity.
std::vector<int> namedInsertTargets(const TableDef& table, const sql::Statement& s) {
    std::vector<int> targets;
    for (const QString& name : s.insertColumns) {
        const int index = findColumn(table, name);
        if (index < 0)
            sql::throwInvalidColumn(name);
        if (std::find(targets.begin(), targets.end(), index) != targets.end())
            throw SqlError(264, 16, 1,
                           QStringLiteral("The column name '%1' is specified more than once in "
                                          "the SET clause or column list of an INSERT. A column "
                                          "cannot be assigned more than one value in the same "
                                          "clause. Modify the clause to make sure that a column "
                                          "is updated only once. If this statement updates or "
                                          "inserts columns into a view, column aliasing can "
                                          "conceal the duplication in your code.")
                               .arg(name));
        targets.push_back(index);
    }
    for (int index : targets)
        if (table.columns[static_cast<size_t>(index)].identity)
            throw SqlError(544, 16, 1,
                           QStringLiteral("Cannot insert explicit value for identity column in "
                                          "table '%1' when IDENTITY_INSERT is set to OFF.")
                               .arg(table.name));
    requireRowsMatchColumnList(s, targets.size());
    return targets;
}

int64_t nextIdentityValue(storage::DatabaseFile& file, TableDef& table) {
    const int64_t value = file.nextIdentity(table);
    const bool isInt =
        table.columns[static_cast<size_t>(table.identityColumn())].type == SqlType::Int;
    if (isInt && value > 2147483647LL)
        throw SqlError(8115, 16, 1,
                       QStringLiteral("Arithmetic overflow error converting IDENTITY to data "
                                      "type int."));
    return value;
}

} // namespace

// Stores each VALUES row; returns the last identity value given, if the table has one.
std::optional<int64_t> SessionImpl::insertRows(DatabaseUse& db, TableDef& table, sql::Statement& s,
                                               const std::vector<int>& targets) {
    const sql::EvalEnv env = environment(params_);
    for (auto& row : s.valueRows)
        for (auto& e : row)
            sql::bindColumns(*e, nullptr);
    const int identityColumn = table.identityColumn();
    std::optional<int64_t> lastIdentity;
    for (auto& row : s.valueRows) {
        std::vector<std::optional<TypedValue>> values(table.columns.size());
        for (size_t k = 0; k < row.size(); ++k)
            values[static_cast<size_t>(targets[k])] = sql::evaluate(*row[k], nullptr, nullptr, env);
        std::vector<Value> stored = assignRow(table, db.name, std::move(values), true);
        if (identityColumn >= 0) {
            lastIdentity = nextIdentityValue(*db.file, table);
            stored[static_cast<size_t>(identityColumn)] = *lastIdentity;
        }
        try {
            db.file->insertRow(table, stored);
        } catch (const storage::UniqueViolation&) {
            throw SqlError(duplicateKey(table, stored));
        }
    }
    return lastIdentity;
}

StatementResult SessionImpl::insert(sql::Statement& s) {
    refuseCatalogWrite(s.table);
    DatabaseUse db = useFor(s.table);
    auto t = statementTransaction(db, true);
    TableDef table = requireTable(db, s.table);
    requireTableRight(db, table, "INSERT");
    const std::vector<int> targets =
        s.insertColumns.isEmpty() ? implicitInsertTargets(table, s) : namedInsertTargets(table, s);
    std::optional<int64_t> lastIdentity;
    try {
        lastIdentity = insertRows(db, table, s, targets);
    } catch (SqlError& e) {
        if (isDataError(e) && e.messages().back().number != 3621)
            e.messages().push_back(sql::statementTerminated());
        throw;
    }
    t.commit();
    if (lastIdentity) {
        lastIdentity_ = lastIdentity;
        scopeIdentity_ = lastIdentity;
    }
    StatementResult r;
    r.rowCount = static_cast<int64_t>(s.valueRows.size());
    return r;
}

StatementResult SessionImpl::update(sql::Statement& s) {
    refuseCatalogWrite(s.table);
    DatabaseUse db = useFor(s.table);
    auto t = statementTransaction(db, true);
    const TableDef table = requireTable(db, s.table);
    requireTableRight(db, table, "UPDATE");
    const RowSource src = tableSource(table, db.file->readRows(table), s.table, {});
    const sql::Scope scope{&src.columns, src.qualifiers};
    std::vector<int> targets;
    for (auto& [name, expr] : s.assignments) {
        const int index = findColumn(table, name);
        if (index < 0)
            sql::throwInvalidColumn(name);
        if (table.columns[static_cast<size_t>(index)].identity)
            throw SqlError(8102, 16, 1,
                           QStringLiteral("Cannot update identity column '%1'.")
                               .arg(table.columns[static_cast<size_t>(index)].name));
        if (std::find(targets.begin(), targets.end(), index) != targets.end())
            throw SqlError(264, 16, 1,
                           QStringLiteral("The column name '%1' is specified more than once in the "
                                          "SET clause or column list of an INSERT. A column cannot "
                                          "be assigned more than one value in the same clause. "
                                          "Modify the clause to make sure that a column is updated "
                                          "only once. If this statement updates or inserts columns "
                                          "into a view, column aliasing can conceal the "
                                          "duplication in your code.")
                               .arg(name));
        targets.push_back(index);
        sql::bindColumns(*expr, &scope);
    }
    if (s.where) {
        sql::bindColumns(*s.where, &scope);
        sql::requirePredicate(*s.where);
    }
    const sql::EvalEnv env = environment(params_);
    int64_t count = 0;
    try {
        std::vector<std::pair<int64_t, std::vector<Value>>> changes;
        for (const auto& row : src.rows) {
            if (s.where && !sql::isTrue(*s.where, &row.values, &scope, env))
                continue;
            std::vector<std::optional<TypedValue>> values(table.columns.size());
            for (size_t i = 0; i < table.columns.size(); ++i)
                values[i] = sql::typedColumn(src.columns[i], row.values[i]);
            for (size_t k = 0; k < targets.size(); ++k)
                values[static_cast<size_t>(targets[k])] =
                    sql::evaluate(*s.assignments[k].second, &row.values, &scope, env);
            changes.emplace_back(row.rowid, assignRow(table, db.name, std::move(values), false));
        }
        for (const auto& [rowid, values] : changes) {
            try {
                db.file->updateRow(table, rowid, values);
            } catch (const storage::UniqueViolation&) {
                throw SqlError(duplicateKey(table, values));
            }
        }
        count = static_cast<int64_t>(changes.size());
    } catch (SqlError& e) {
        if (isDataError(e) && e.messages().back().number != 3621)
            e.messages().push_back(sql::statementTerminated());
        throw;
    }
    t.commit();
    StatementResult r;
    r.rowCount = count;
    return r;
}

StatementResult SessionImpl::remove(sql::Statement& s) {
    refuseCatalogWrite(s.table);
    DatabaseUse db = useFor(s.table);
    auto t = statementTransaction(db, true);
    const TableDef table = requireTable(db, s.table);
    requireTableRight(db, table, "DELETE");
    const RowSource src = tableSource(table, db.file->readRows(table), s.table, {});
    const sql::Scope scope{&src.columns, src.qualifiers};
    if (s.where) {
        sql::bindColumns(*s.where, &scope);
        sql::requirePredicate(*s.where);
    }
    const sql::EvalEnv env = environment(params_);
    int64_t count = 0;
    for (const auto& row : src.rows) {
        if (s.where && !sql::isTrue(*s.where, &row.values, &scope, env))
            continue;
        db.file->deleteRow(table, row.rowid);
        ++count;
    }
    t.commit();
    StatementResult r;
    r.rowCount = count;
    return r;
}

} // namespace ztds
