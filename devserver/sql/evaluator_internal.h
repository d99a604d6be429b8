#pragma once
// What the evaluator's files share: evaluation, result typing and the built-in functions.

#include "devserver/sql/evaluator.h"

namespace ztds::sql {

// = <> < > <= >=
bool isComparison(const QString& op);
// The RPC parameter of that name, any case; nullptr when there is none.
const RpcParameter* findParameter(const EvalEnv& env, const QString& name);
[[noreturn]] void throwUndeclared(const QString& name);

// A function call that is no aggregate: the built-in ones, then the session's (195 when
// neither knows the name).
TypedValue evaluateFunction(const Expr& e, const std::vector<Value>* row, const Scope* scope,
                            const EvalEnv& env);

} // namespace ztds::sql
