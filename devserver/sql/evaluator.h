#pragma once
// Evaluates expressions over one row, with SQL Server's NULL logic and conversions.

#include "devserver/sql/ast.h"

#include <functional>
#include <optional>
#include <vector>

namespace ztds::sql {

// What an expression can see besides the row: parameters, @@ variables and the functions
// that need the session (DB_NAME, SCOPE_IDENTITY, OBJECT_ID, ...).
struct EvalEnv {
    const std::vector<RpcParameter>* parameters = nullptr;
    std::function<std::optional<TypedValue>(const QString& name)> global;
    std::function<std::optional<TypedValue>(const QString& name,
                                            const std::vector<TypedValue>& args)>
        function;
    std::function<std::optional<ColumnInfo>(const QString& name)> functionInfo;
    std::function<std::optional<ColumnInfo>(const QString& name)> globalInfo;
};

// The columns an expression can name, and under which table name or alias.
struct Scope {
    const std::vector<ColumnInfo>* columns = nullptr;
    QStringList qualifiers; // table name, alias, db.schema.table forms
};

// Resolves column names to positions; throws 207 (or 4104 for a bad qualifier).
// Without a scope every column reference is refused as SQL Server refuses it in VALUES.
void bindColumns(Expr& expr, const Scope* scope);

TypedValue evaluate(const Expr& expr, const std::vector<Value>* row, const Scope* scope,
                    const EvalEnv& env);
// Refuses a WHERE that is no condition (4145), before any row is read.
void requirePredicate(const Expr& expr);
// A predicate's three-valued result: true only when it holds.
bool isTrue(const Expr& expr, const std::vector<Value>* row, const Scope* scope,
            const EvalEnv& env);

bool isAggregate(const Expr& expr);
bool containsAggregate(const Expr& expr);
// COUNT/SUM/MIN/MAX/AVG over the rows.
TypedValue evaluateAggregate(const Expr& expr, const std::vector<const std::vector<Value>*>& rows,
                             const Scope* scope, const EvalEnv& env);

// The result-set description of an expression (type, length, nullability).
ColumnInfo describe(const Expr& expr, const Scope* scope, const EvalEnv& env);

TypedValue typedColumn(const ColumnInfo& column, const Value& value);

} // namespace ztds::sql
