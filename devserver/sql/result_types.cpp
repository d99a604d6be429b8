// The result-set description of an expression: its type, length, precision and scale, and
// whether it can be NULL, as SQL Server would describe it.

#include "devserver/sql/evaluator_internal.h"

#include "devserver/sql/errors.h"
#include "devserver/sql/numeric.h"
#include "devserver/storage/collation.h"

#include <algorithm>

namespace ztds::sql {

namespace {

ColumnInfo infoOf(TypeTag t, int length = 0) {
    ColumnInfo info;
    info.type = sqlTypeOf(t == TypeTag::Null ? TypeTag::Int : t);
    const bool sized = (isText(t) && t != TypeTag::NText) || t == TypeTag::VarBinary;
    info.length = !sized ? 0 : length == maxLength ? maxLength : std::max(1, length);
    return info;
}

// Precision and scale a value of the type brings into numeric arithmetic.
std::pair<int, int> numericShape(const ColumnInfo& c) {
    switch (c.type) {
    case SqlType::Numeric:
        return {c.precision, c.scale};
    case SqlType::Money:
        return {19, 4};
    case SqlType::BigInt:
        return {19, 0};
    case SqlType::SmallInt:
        return {5, 0};
    case SqlType::TinyInt:
        return {3, 0};
    default:
        return {10, 0};
    }
}

ColumnInfo numericInfo(int precision, int scale) {
    ColumnInfo info = infoOf(TypeTag::Numeric);
    info.precision = static_cast<uint8_t>(std::clamp(precision, 1, 38));
    info.scale = static_cast<uint8_t>(std::clamp(scale, 0, int(info.precision)));
    return info;
}

ColumnInfo describeLiteral(const Expr& e) {
    const Value& v = e.literal.value;
    ColumnInfo info;
    if (const auto* n = std::get_if<NumericValue>(&v))
        info = numericInfo(numericDigits(*n), n->scale);
    else if (const auto* bytes = std::get_if<QByteArray>(&v))
        info = infoOf(e.literal.type, int(bytes->size()));
    else if (const auto* text = std::get_if<QString>(&v))
        info =
            infoOf(e.literal.type, isSingleByteText(e.literal.type) ? storage::codePageLength(*text)
                                                                    : int(text->size()));
    else
        info = infoOf(e.literal.type);
    info.nullable = isNull(v);
    return info;
}

ColumnInfo describeParameter(const Expr& e, const EvalEnv& env) {
    const RpcParameter* p = findParameter(env, e.name);
    if (!p)
        throwUndeclared(e.name);
    if (p->type == SqlType::Numeric)
        return numericInfo(p->precision, p->scale);
    return infoOf(tagOf(p->type), p->length);
}

ColumnInfo describeConcatenation(const ColumnInfo& l, const ColumnInfo& r) {
    const bool singleByte = isSingleByteText(tagOf(l.type)) && isSingleByteText(tagOf(r.type));
    if (l.length == maxLength || r.length == maxLength)
        return infoOf(singleByte ? TypeTag::VarChar : TypeTag::NVarChar, maxLength);
    return singleByte ? infoOf(TypeTag::VarChar, std::min(8000, l.length + r.length))
                      : infoOf(TypeTag::NVarChar, std::min(4000, l.length + r.length));
}

ColumnInfo describeNumericResult(const QString& op, const ColumnInfo& l, const ColumnInfo& r) {
    const auto [lp, ls] = numericShape(l);
    const auto [rp, rs] = numericShape(r);
    if (op == QLatin1String("*"))
        return numericInfo(lp + rp + 1, ls + rs);
    if (op == QLatin1String("+") || op == QLatin1String("-")) {
        const int scale = std::max(ls, rs);
        return numericInfo(std::max(lp - ls, rp - rs) + scale + 1, scale);
    }
    return infoOf(TypeTag::Float);
}

ColumnInfo describeBinary(const Expr& e, const Scope* scope, const EvalEnv& env) {
    if (e.op == QLatin1String("AND") || e.op == QLatin1String("OR") || isComparison(e.op))
        return infoOf(TypeTag::Int);
    const ColumnInfo l = describe(*e.args[0], scope, env);
    const ColumnInfo r = describe(*e.args[1], scope, env);
    const TypeTag lt = tagOf(l.type);
    const TypeTag rt = tagOf(r.type);
    if (isText(lt) && isText(rt))
        return describeConcatenation(l, r);
    if (lt == TypeTag::VarBinary && rt == TypeTag::VarBinary)
        return infoOf(TypeTag::VarBinary, std::min(8000, l.length + r.length));
    TypeTag t = precedence(lt) >= precedence(rt) ? lt : rt;
    if (t == TypeTag::Numeric)
        return describeNumericResult(e.op, l, r);
    if (t == TypeTag::Bit)
        t = TypeTag::Int;
    return infoOf(t);
}

// Functions whose result has their first argument's type.
bool keepsArgumentType(const QString& n) {
    static const char* const names[] = {"SUM",      "MIN",   "MAX",   "AVG",   "ISNULL",
                                        "COALESCE", "UPPER", "LOWER", "LTRIM", "RTRIM"};
    for (const char* name : names)
        if (n == QLatin1String(name))
            return true;
    return false;
}

ColumnInfo describeCast(const Expr& e) {
    if (e.castType == TypeTag::Numeric)
        return numericInfo(e.castLength, e.castScale);
    return infoOf(e.castType, e.castLength);
}

ColumnInfo describeArgumentTyped(const Expr& e, const Scope* scope, const EvalEnv& env) {
    ColumnInfo arg = describe(*e.args[0], scope, env);
    arg.identity = false;
    arg.nullable = true;
    const bool sums = e.name == QLatin1String("SUM") || e.name == QLatin1String("AVG");
    if (sums &&
        (arg.type == SqlType::Bit || arg.type == SqlType::TinyInt || arg.type == SqlType::SmallInt))
        arg.type = SqlType::Int;
    return arg;
}

// Unary minus keeps the operand's type, except that tinyint (unsigned) becomes smallint and
// bit int.
ColumnInfo describeNegation(const Expr& e, const Scope* scope, const EvalEnv& env) {
    ColumnInfo info = describe(*e.args[0], scope, env);
    info.identity = false;
    if (info.type == SqlType::TinyInt)
        info.type = SqlType::SmallInt;
    else if (info.type == SqlType::Bit)
        info.type = SqlType::Int;
    return info;
}

ColumnInfo describeFunction(const Expr& e, const Scope* scope, const EvalEnv& env) {
    const QString& n = e.name;
    if (n == QLatin1String("COUNT") || n == QLatin1String("COUNT_BIG") ||
        n == QLatin1String("GETDATE")) {
        ColumnInfo info = infoOf(n == QLatin1String("COUNT")       ? TypeTag::Int
                                 : n == QLatin1String("COUNT_BIG") ? TypeTag::BigInt
                                                                   : TypeTag::DateTime);
        info.nullable = false;
        return info;
    }
    if (keepsArgumentType(n))
        return e.args.empty() ? infoOf(TypeTag::Int) : describeArgumentTyped(e, scope, env);
    if (n == QLatin1String("CAST") || n == QLatin1String("CONVERT"))
        return describeCast(e);
    if (n == QLatin1String("LEN"))
        return infoOf(TypeTag::Int);
    if (env.functionInfo)
        if (auto i = env.functionInfo(n))
            return *i;
    return infoOf(TypeTag::Int);
}

} // namespace

ColumnInfo describe(const Expr& e, const Scope* scope, const EvalEnv& env) {
    switch (e.kind) {
    case Expr::Kind::Literal:
        return describeLiteral(e);
    case Expr::Kind::Column:
        return (*scope->columns)[static_cast<size_t>(e.columnIndex)];
    case Expr::Kind::Parameter:
        return describeParameter(e, env);
    case Expr::Kind::Global:
        if (env.globalInfo)
            if (auto i = env.globalInfo(e.name))
                return *i;
        throwUndeclared(e.name);
    case Expr::Kind::Unary:
        return e.op == QLatin1String("NOT") ? infoOf(TypeTag::Int)
                                            : describeNegation(e, scope, env);
    case Expr::Kind::Binary:
        return describeBinary(e, scope, env);
    case Expr::Kind::Function:
        return describeFunction(e, scope, env);
    default:
        return infoOf(TypeTag::Int);
    }
}

} // namespace ztds::sql
