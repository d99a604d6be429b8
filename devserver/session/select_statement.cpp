// SELECT in stages: where the rows come from, the select list, the filter, the order, and
// the result (aggregated, or row by row with DISTINCT and TOP).

#include "devserver/session/session_impl.h"

#include "devserver/sql/errors.h"

#include <algorithm>
#include <numeric>

namespace ztds {

using sql::Expr;
using sql::SqlError;
using sql::TypedValue;

namespace {

using Row = std::vector<Value>;
using RowRefs = std::vector<const Row*>;

// One column of a select's result: what to evaluate and how it is described.
struct OutputColumn {
    const Expr* expr = nullptr;
    std::unique_ptr<Expr> owned; // the column expressions a * expands to
    ColumnInfo info;
};

// What every stage reads: the rows' description and the batch's variables.
struct SelectContext {
    const sql::Scope& scope;
    const sql::EvalEnv& env;
};

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

void requireStarQualifier(const sql::SelectItem& item, const RowSource& src) {
    if (item.starQualifier.isEmpty())
        return;
    if (std::any_of(src.qualifiers.begin(), src.qualifiers.end(),
                    [&](const QString& q) { return sameName(q, item.starQualifier); }))
        return;
    throw SqlError(107, 15, 1,
                   QStringLiteral("The column prefix '%1' does not match with a table name or "
                                  "alias name used in the query.")
                       .arg(item.starQualifier));
}

// * or t.*: every column of the source, in its order.
void appendStarColumns(const sql::SelectItem& item, bool hasFrom, const RowSource& src,
                       std::vector<OutputColumn>& outputs) {
    if (!hasFrom)
        throw SqlError(263, 16, 1, QStringLiteral("Must specify table to select from."));
    requireStarQualifier(item, src);
    for (size_t i = 0; i < src.columns.size(); ++i) {
        OutputColumn out;
        out.owned = std::make_unique<Expr>();
        out.owned->kind = Expr::Kind::Column;
        out.owned->name = src.columns[i].name;
        out.owned->columnIndex = static_cast<int>(i);
        out.expr = out.owned.get();
        out.info = src.columns[i];
        outputs.push_back(std::move(out));
    }
}

// An expression of the select list: a computed column has no name unless it is given one.
OutputColumn describedItem(sql::SelectItem& item, const SelectContext& ctx) {
    sql::bindColumns(*item.expr, &ctx.scope);
    OutputColumn out;
    out.expr = item.expr.get();
    out.info = sql::describe(*item.expr, &ctx.scope, ctx.env);
    if (item.expr->kind != Expr::Kind::Column)
        out.info.name.clear();
    if (!item.alias.isEmpty())
        out.info.name = item.alias;
    return out;
}

std::vector<OutputColumn> projection(sql::Statement& s, const RowSource& src,
                                     const SelectContext& ctx) {
    std::vector<OutputColumn> outputs;
    for (auto& item : s.items) {
        if (item.expr)
            outputs.push_back(describedItem(item, ctx));
        else
            appendStarColumns(item, s.hasFrom, src, outputs);
    }
    return outputs;
}

// ORDER BY may name a result column by position or by alias; otherwise it is an expression
// over the source's columns.
const Expr* orderExpression(sql::Statement& s, sql::OrderItem& o,
                            const std::vector<OutputColumn>& outputs, const sql::Scope& scope) {
    if (o.expr->kind == Expr::Kind::Literal &&
        std::holds_alternative<int64_t>(o.expr->literal.value)) {
        const int64_t position = std::get<int64_t>(o.expr->literal.value);
        if (position < 1 || position > static_cast<int64_t>(outputs.size()))
            throw SqlError(108, 16, 1,
                           QStringLiteral("The ORDER BY position number %1 is out of range of "
                                          "the number of items in the select list.")
                               .arg(position));
        return outputs[static_cast<size_t>(position - 1)].expr;
    }
    if (o.expr->kind == Expr::Kind::Column && o.expr->qualifier.isEmpty())
        for (const auto& item : s.items)
            if (!item.alias.isEmpty() && sameName(item.alias, o.expr->name))
                return item.expr.get();
    sql::bindColumns(*o.expr, &scope);
    return o.expr.get();
}

std::vector<const Expr*> orderExpressions(sql::Statement& s,
                                          const std::vector<OutputColumn>& outputs,
                                          const sql::Scope& scope) {
    std::vector<const Expr*> keys;
    for (auto& o : s.orderBy)
        keys.push_back(orderExpression(s, o, outputs, scope));
    return keys;
}

RowRefs filteredRows(const sql::Statement& s, const RowSource& src, const SelectContext& ctx) {
    RowRefs matched;
    for (const auto& row : src.rows)
        if (!s.where || sql::isTrue(*s.where, &row.values, &ctx.scope, ctx.env))
            matched.push_back(&row.values);
    return matched;
}

// NULL sorts first, as in SQL Server.
int compareForOrder(const TypedValue& x, const TypedValue& y) {
    const bool xNull = isNull(x.value);
    const bool yNull = isNull(y.value);
    if (xNull || yNull)
        return xNull == yNull ? 0 : (xNull ? -1 : 1);
    return *sql::compare(x, y);
}

RowRefs sortedRows(const RowRefs& rows, const std::vector<const Expr*>& keyExprs,
                   const std::vector<sql::OrderItem>& orderBy, const SelectContext& ctx) {
    std::vector<std::vector<TypedValue>> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        for (const Expr* e : keyExprs)
            keys[i].push_back(sql::evaluate(*e, rows[i], &ctx.scope, ctx.env));
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        for (size_t k = 0; k < keyExprs.size(); ++k) {
            const int c = compareForOrder(keys[a][k], keys[b][k]);
            if (c != 0)
                return orderBy[k].descending ? c > 0 : c < 0;
        }
        return false;
    });
    RowRefs sorted;
    for (size_t i : order)
        sorted.push_back(rows[i]);
    return sorted;
}

bool sameValues(const std::vector<ColumnInfo>& columns, const Row& a, const Row& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        const TypedValue x = sql::typedColumn(columns[i], a[i]);
        const TypedValue y = sql::typedColumn(columns[i], b[i]);
        const auto c = sql::compare(x, y);
        if (c ? *c != 0 : isNull(x.value) != isNull(y.value))
            return false;
    }
    return true;
}

bool alreadySelected(const ResultSet& result, const Row& values) {
    return std::any_of(result.rows.begin(), result.rows.end(),
                       [&](const Row& seen) { return sameValues(result.columns, values, seen); });
}

// One result row: each column evaluated and given the type its description says.
template <class EvaluateColumn>
Row convertedRow(const std::vector<OutputColumn>& outputs, EvaluateColumn evaluateColumn) {
    Row values;
    for (const auto& out : outputs)
        values.push_back(sql::convert(evaluateColumn(*out.expr), sql::tagOf(out.info.type)).value);
    return values;
}

Row resultRow(const std::vector<OutputColumn>& outputs, const Row* row, const SelectContext& ctx) {
    return convertedRow(outputs,
                        [&](const Expr& e) { return sql::evaluate(e, row, &ctx.scope, ctx.env); });
}

Row aggregateRow(const std::vector<OutputColumn>& outputs, const RowRefs& rows,
                 const SelectContext& ctx) {
    return convertedRow(outputs, [&](const Expr& e) {
        return sql::evaluateAggregate(e, rows, &ctx.scope, ctx.env);
    });
}

bool isAggregate(const std::vector<OutputColumn>& outputs) {
    return std::any_of(outputs.begin(), outputs.end(),
                       [](const OutputColumn& o) { return sql::containsAggregate(*o.expr); });
}

// Row by row, skipping repeats under DISTINCT and stopping at TOP.
void appendRows(ResultSet& result, const sql::Statement& s,
                const std::vector<OutputColumn>& outputs, const RowRefs& rows,
                const SelectContext& ctx) {
    const auto reachedTop = [&] {
        return s.top && static_cast<int64_t>(result.rows.size()) >= *s.top;
    };
    for (const Row* row : rows) {
        if (reachedTop())
            break;
        Row values = resultRow(outputs, row, ctx);
        if (s.distinct && alreadySelected(result, values))
            continue;
        result.rows.push_back(std::move(values));
    }
}

} // namespace

RowSource SessionImpl::selectSource(const sql::Statement& s) {
    RowSource src;
    if (!s.hasFrom) {
        src.rows.push_back(storage::StoredRow{}); // SELECT without FROM: one row of nothing
        return src;
    }
    if (auto view = catalogView(s.table)) {
        src = std::move(*view);
        if (!s.alias.isEmpty())
            src.qualifiers = QStringList{s.alias};
        return src;
    }
    DatabaseUse db = useFor(s.table);
    storage::DatabaseFile::Transaction t(*db.file, false);
    const storage::TableDef table = requireTable(db, s.table);
    requireTableRight(db, table, "SELECT");
    return tableSource(table, db.file->readRows(table), s.table, s.alias);
}

StatementResult SessionImpl::select(sql::Statement& s) {
    const sql::EvalEnv env = environment(params_);
    const RowSource src = selectSource(s);
    const sql::Scope scope{&src.columns, src.qualifiers};
    const SelectContext ctx{scope, env};

    const std::vector<OutputColumn> outputs = projection(s, src, ctx);
    if (s.where) {
        sql::bindColumns(*s.where, &scope);
        sql::requirePredicate(*s.where);
    }
    const std::vector<const Expr*> orderKeys = orderExpressions(s, outputs, scope);
    const RowRefs matched = filteredRows(s, src, ctx);

    ResultSet result;
    for (const auto& out : outputs)
        result.columns.push_back(out.info);
    if (isAggregate(outputs)) {
        // One row however many match; TOP 0 still removes it.
        result.rows.push_back(aggregateRow(outputs, matched, ctx));
        if (s.top && *s.top <= 0)
            result.rows.clear();
    } else {
        appendRows(result, s, outputs,
                   orderKeys.empty() ? matched : sortedRows(matched, orderKeys, s.orderBy, ctx),
                   ctx);
    }
    StatementResult r;
    r.rowCount = static_cast<int64_t>(result.rows.size());
    r.resultSet = std::move(result);
    return r;
}

} // namespace ztds
