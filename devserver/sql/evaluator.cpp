#include "devserver/sql/evaluator_internal.h"

#include "devserver/sql/errors.h"
#include "devserver/sql/like_pattern.h"
#include "devserver/sql/numeric.h"
#include "devserver/storage/collation.h"
#include "devserver/storage/database_file.h"

#include <QMap>

#include <cmath>
#include <limits>

namespace ztds::sql {

namespace {

TypedValue boolean(std::optional<bool> b) {
    if (!b)
        return TypedValue{TypeTag::Bit, std::monostate{}};
    return TypedValue{TypeTag::Bit, int64_t{*b ? 1 : 0}};
}

std::optional<bool> asBool(const TypedValue& t) {
    if (isNull(t.value))
        return std::nullopt;
    return std::get<int64_t>(t.value) != 0;
}

QString comparisonName(const QString& op) {
    if (op == QLatin1String("="))
        return QStringLiteral("equal to");
    if (op == QLatin1String("<>"))
        return QStringLiteral("not equal to");
    if (op == QLatin1String("<"))
        return QStringLiteral("less than");
    if (op == QLatin1String(">"))
        return QStringLiteral("greater than");
    if (op == QLatin1String("<="))
        return QStringLiteral("less than or equal to");
    return QStringLiteral("greater than or equal to");
}

std::optional<bool> applyComparison(const QString& op, const TypedValue& a, const TypedValue& b) {
    if (a.type == TypeTag::NText || b.type == TypeTag::NText) {
        const TypeTag other = a.type == TypeTag::NText ? b.type : a.type;
        throw SqlError(402, 16, 1,
                       QStringLiteral("The data types %1 and %2 are incompatible in the %3 "
                                      "operator.")
                           .arg(typeName(a.type == TypeTag::NText ? a.type : other),
                                typeName(a.type == TypeTag::NText ? other : b.type),
                                comparisonName(op)));
    }
    const auto c = compare(a, b);
    if (!c)
        return std::nullopt;
    if (op == QLatin1String("="))
        return *c == 0;
    if (op == QLatin1String("<>"))
        return *c != 0;
    if (op == QLatin1String("<"))
        return *c < 0;
    if (op == QLatin1String(">"))
        return *c > 0;
    if (op == QLatin1String("<="))
        return *c <= 0;
    return *c >= 0;
}

[[noreturn]] void throwIntOverflow(TypeTag t) {
    throw SqlError(
        8115, 16, 2,
        QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
            .arg(typeName(t)));
}

[[noreturn]] void throwDivideByZero() {
    throw SqlError(8134, 16, 1, QStringLiteral("Divide by zero error encountered."));
}

[[noreturn]] void throwBadOperand(TypeTag t, const QString& op) {
    static const QMap<QString, QString> names{{QStringLiteral("+"), QStringLiteral("add")},
                                              {QStringLiteral("-"), QStringLiteral("subtract")},
                                              {QStringLiteral("*"), QStringLiteral("multiply")},
                                              {QStringLiteral("/"), QStringLiteral("divide")},
                                              {QStringLiteral("%"), QStringLiteral("modulo")}};
    throw SqlError(8117, 16, 1,
                   QStringLiteral("Operand data type %1 is invalid for %2 operator.")
                       .arg(typeName(t), names.value(op)));
}

TypedValue integerArithmetic(const QString& op, int64_t a, int64_t b, TypeTag type) {
    int64_t r = 0;
    bool overflow = false;
    if (op == QLatin1String("+"))
        overflow = __builtin_add_overflow(a, b, &r);
    else if (op == QLatin1String("-"))
        overflow = __builtin_sub_overflow(a, b, &r);
    else if (op == QLatin1String("*"))
        overflow = __builtin_mul_overflow(a, b, &r);
    else {
        if (b == 0)
            throwDivideByZero();
        if (a == std::numeric_limits<int64_t>::min() && b == -1)
            throwIntOverflow(type);
        r = op == QLatin1String("/") ? a / b : a % b;
    }
    if (overflow || (type == TypeTag::Int && (r < std::numeric_limits<int32_t>::min() ||
                                              r > std::numeric_limits<int32_t>::max())))
        throwIntOverflow(type);
    return TypedValue{type, r};
}

TypedValue concatenate(const QString& op, const TypedValue& a, const TypedValue& b) {
    if (a.type == TypeTag::NText || b.type == TypeTag::NText)
        throwBadOperand(TypeTag::NText, op);
    // Single-byte text stays single-byte; anything with Unicode text becomes nvarchar.
    const TypeTag t =
        isSingleByteText(a.type) && isSingleByteText(b.type) ? TypeTag::VarChar : TypeTag::NVarChar;
    if (isNull(a.value) || isNull(b.value))
        return TypedValue{t, std::monostate{}};
    return TypedValue{t, std::get<QString>(a.value) + std::get<QString>(b.value),
                      a.caseInsensitive && b.caseInsensitive};
}

TypedValue dateArithmetic(const QString& op, const TypedValue& a, const TypedValue& b,
                          TypeTag common) {
    if ((op != QLatin1String("+") && op != QLatin1String("-")) || common == TypeTag::DateTime2)
        throwBadOperand(common, op);
    if (isNull(a.value) || isNull(b.value))
        return TypedValue{common, std::monostate{}};
    const TypedValue x = convert(a, TypeTag::Float);
    const TypedValue y = convert(b, TypeTag::Float);
    const double days = op == QLatin1String("+")
                            ? std::get<double>(x.value) + std::get<double>(y.value)
                            : std::get<double>(x.value) - std::get<double>(y.value);
    return convert(TypedValue{TypeTag::Float, days}, common);
}

TypedValue floatArithmetic(const QString& op, double l, double r, TypeTag type) {
    if ((op == QLatin1String("/") || op == QLatin1String("%")) && r == 0.0)
        throwDivideByZero();
    if (op == QLatin1String("%"))
        throwBadOperand(type, op);
    const double v = op == QLatin1String("+")   ? l + r
                     : op == QLatin1String("-") ? l - r
                     : op == QLatin1String("*") ? l * r
                                                : l / r;
    return convert(TypedValue{TypeTag::Float, v}, type);
}

TypedValue moneyArithmetic(const QString& op, int64_t l, int64_t r) {
    if (op == QLatin1String("+") || op == QLatin1String("-")) {
        const TypedValue sum = integerArithmetic(op, l, r, TypeTag::BigInt);
        return TypedValue{TypeTag::Money, MoneyValue{std::get<int64_t>(sum.value)}};
    }
    if ((op == QLatin1String("/") || op == QLatin1String("%")) && r == 0)
        throwDivideByZero();
    const double v = op == QLatin1String("*") ? (l / 10000.0) * (r / 10000.0)
                     : op == QLatin1String("/")
                         ? static_cast<double>(l) / static_cast<double>(r)
                         : std::fmod(static_cast<double>(l), static_cast<double>(r)) / 10000.0;
    return convert(TypedValue{TypeTag::Float, v}, TypeTag::Money);
}

// numeric: + - * stay exact within 38 digits; / and % go through float.
TypedValue numericArithmetic(const QString& op, const NumericValue& l, const NumericValue& r) {
    __int128 result = 0;
    int scale = std::max(l.scale, r.scale);
    bool overflow = false;
    if (op == QLatin1String("+") || op == QLatin1String("-")) {
        const auto x = rescale(l, scale);
        const auto y = rescale(r, scale);
        overflow =
            !x || !y ||
            (op == QLatin1String("+") ? __builtin_add_overflow(x->unscaled, y->unscaled, &result)
                                      : __builtin_sub_overflow(x->unscaled, y->unscaled, &result));
    } else if (op == QLatin1String("*")) {
        scale = l.scale + r.scale;
        overflow = scale > 38 || __builtin_mul_overflow(l.unscaled, r.unscaled, &result);
    } else {
        return floatArithmetic(op, numericToDouble(l), numericToDouble(r), TypeTag::Float);
    }
    const NumericValue value{result, static_cast<uint8_t>(scale)};
    if (overflow || numericDigits(value) > 38)
        throwIntOverflow(TypeTag::Numeric);
    return TypedValue{TypeTag::Numeric, value};
}

TypedValue arithmetic(const QString& op, const TypedValue& a, const TypedValue& b) {
    if (isText(a.type) && isText(b.type) && op == QLatin1String("+"))
        return concatenate(op, a, b);
    if (a.type == TypeTag::VarBinary && b.type == TypeTag::VarBinary && op == QLatin1String("+")) {
        if (isNull(a.value) || isNull(b.value))
            return TypedValue{TypeTag::VarBinary, std::monostate{}};
        return TypedValue{TypeTag::VarBinary,
                          std::get<QByteArray>(a.value) + std::get<QByteArray>(b.value)};
    }
    TypeTag common = precedence(a.type) >= precedence(b.type) ? a.type : b.type;
    if (common == TypeTag::Null || common == TypeTag::Bit)
        common = TypeTag::Int;
    if (isText(common) || common == TypeTag::VarBinary || common == TypeTag::UniqueIdentifier)
        throwBadOperand(common, op);
    if (isDateTime(common))
        return dateArithmetic(op, a, b, common);
    const TypedValue x = convert(a, common);
    const TypedValue y = convert(b, common);
    if (isNull(x.value) || isNull(y.value))
        return TypedValue{common, std::monostate{}};
    switch (common) {
    case TypeTag::Float:
    case TypeTag::Real:
        return floatArithmetic(op, std::get<double>(x.value), std::get<double>(y.value), common);
    case TypeTag::Money:
        return moneyArithmetic(op, std::get<MoneyValue>(x.value).tenThousandths,
                               std::get<MoneyValue>(y.value).tenThousandths);
    case TypeTag::Numeric:
        return numericArithmetic(op, std::get<NumericValue>(x.value),
                                 std::get<NumericValue>(y.value));
    case TypeTag::TinyInt:
    case TypeTag::SmallInt: {
        // Computed wide, then fitted back: an overflow names the narrow type.
        const TypedValue wide = integerArithmetic(op, std::get<int64_t>(x.value),
                                                  std::get<int64_t>(y.value), TypeTag::BigInt);
        return convert(wide, common);
    }
    default:
        return integerArithmetic(op, std::get<int64_t>(x.value), std::get<int64_t>(y.value),
                                 common);
    }
}

} // namespace

bool isComparison(const QString& op) {
    return op == QLatin1String("=") || op == QLatin1String("<>") || op == QLatin1String("<") ||
           op == QLatin1String(">") || op == QLatin1String("<=") || op == QLatin1String(">=");
}

const RpcParameter* findParameter(const EvalEnv& env, const QString& name) {
    if (!env.parameters)
        return nullptr;
    for (const auto& p : *env.parameters)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

[[noreturn]] void throwUndeclared(const QString& name) {
    throw SqlError(137, 15, 2,
                   QStringLiteral("Must declare the scalar variable \"%1\".").arg(name));
}

TypedValue typedColumn(const ColumnInfo& column, const Value& value) {
    return TypedValue{tagOf(column.type), value, column.caseInsensitive};
}

void bindColumns(Expr& e, const Scope* scope) {
    if (e.kind == Expr::Kind::Column) {
        if (!scope || !scope->columns) {
            throw SqlError(
                128, 15, 1,
                QStringLiteral(
                    "The name \"%1\" is not permitted in this context. Valid expressions "
                    "are constants, constant expressions, and (in some contexts) "
                    "variables. Column names are not permitted.")
                    .arg(e.name));
        }
        if (!e.qualifier.isEmpty()) {
            bool known = false;
            for (const auto& q : scope->qualifiers)
                known = known || q.compare(e.qualifier, Qt::CaseInsensitive) == 0;
            if (!known)
                throw SqlError(4104, 16, 1,
                               QStringLiteral("The multi-part identifier \"%1.%2\" could not be "
                                              "bound.")
                                   .arg(e.qualifier, e.name));
        }
        const auto& columns = *scope->columns;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (storage::foldName(columns[i].name) == storage::foldName(e.name)) {
                e.columnIndex = static_cast<int>(i);
                return;
            }
        }
        throwInvalidColumn(e.name);
    }
    for (auto& a : e.args)
        bindColumns(*a, scope);
}

TypedValue evaluate(const Expr& e, const std::vector<Value>* row, const Scope* scope,
                    const EvalEnv& env) {
    switch (e.kind) {
    case Expr::Kind::Literal:
        return e.literal;
    case Expr::Kind::Column:
        return typedColumn((*scope->columns)[static_cast<size_t>(e.columnIndex)],
                           (*row)[static_cast<size_t>(e.columnIndex)]);
    case Expr::Kind::Parameter: {
        const RpcParameter* p = findParameter(env, e.name);
        if (!p)
            throwUndeclared(e.name);
        return TypedValue{tagOf(p->type), p->value};
    }
    case Expr::Kind::Global: {
        if (env.global)
            if (auto t = env.global(e.name))
                return *t;
        throwUndeclared(e.name);
    }
    case Expr::Kind::Unary: {
        const TypedValue v = evaluate(*e.args[0], row, scope, env);
        if (e.op == QLatin1String("NOT")) {
            const auto b = asBool(v);
            return boolean(b ? std::optional<bool>(!*b) : std::nullopt);
        }
        return arithmetic(QStringLiteral("-"), TypedValue{TypeTag::Int, int64_t{0}}, v);
    }
    case Expr::Kind::Binary: {
        if (e.op == QLatin1String("AND") || e.op == QLatin1String("OR")) {
            const auto l = asBool(evaluate(*e.args[0], row, scope, env));
            const bool isAnd = e.op == QLatin1String("AND");
            if (l && *l != isAnd) // false AND x, true OR x
                return boolean(!isAnd);
            const auto r = asBool(evaluate(*e.args[1], row, scope, env));
            if (r && *r != isAnd)
                return boolean(!isAnd);
            if (!l || !r)
                return boolean(std::nullopt);
            return boolean(isAnd);
        }
        const TypedValue l = evaluate(*e.args[0], row, scope, env);
        const TypedValue r = evaluate(*e.args[1], row, scope, env);
        if (isComparison(e.op))
            return boolean(applyComparison(e.op, l, r));
        return arithmetic(e.op, l, r);
    }
    case Expr::Kind::IsNull: {
        const bool null = isNull(evaluate(*e.args[0], row, scope, env).value);
        return boolean(null != e.negated);
    }
    case Expr::Kind::Like: {
        const TypedValue subject = evaluate(*e.args[0], row, scope, env);
        const TypedValue pattern = evaluate(*e.args[1], row, scope, env);
        std::optional<QChar> escape;
        if (e.args.size() > 2) {
            const TypedValue esc =
                convert(evaluate(*e.args[2], row, scope, env), TypeTag::NVarChar);
            if (!isNull(esc.value) && !std::get<QString>(esc.value).isEmpty())
                escape = std::get<QString>(esc.value).at(0);
        }
        const TypedValue s =
            convert(subject, isText(subject.type) ? subject.type : TypeTag::VarChar);
        const TypedValue p =
            convert(pattern, isText(pattern.type) ? pattern.type : TypeTag::VarChar);
        if (isNull(s.value) || isNull(p.value))
            return boolean(std::nullopt);
        const bool m = likeMatch(std::get<QString>(s.value), std::get<QString>(p.value),
                                 s.caseInsensitive && p.caseInsensitive, escape);
        return boolean(m != e.negated);
    }
    case Expr::Kind::In: {
        const TypedValue subject = evaluate(*e.args[0], row, scope, env);
        bool sawNull = false;
        for (size_t i = 1; i < e.args.size(); ++i) {
            const auto eq = applyComparison(QStringLiteral("="), subject,
                                            evaluate(*e.args[i], row, scope, env));
            if (!eq)
                sawNull = true;
            else if (*eq)
                return boolean(!e.negated);
        }
        if (sawNull)
            return boolean(std::nullopt);
        return boolean(e.negated);
    }
    case Expr::Kind::Between: {
        const TypedValue v = evaluate(*e.args[0], row, scope, env);
        const auto lo =
            applyComparison(QStringLiteral(">="), v, evaluate(*e.args[1], row, scope, env));
        const auto hi =
            applyComparison(QStringLiteral("<="), v, evaluate(*e.args[2], row, scope, env));
        std::optional<bool> both;
        if ((lo && !*lo) || (hi && !*hi))
            both = false;
        else if (lo && hi)
            both = true;
        if (both && e.negated)
            both = !*both;
        return boolean(both);
    }
    case Expr::Kind::Function:
        if (isAggregate(e))
            throw SqlError(147, 15, 1,
                           QStringLiteral("An aggregate may not appear in the WHERE clause unless "
                                          "it is in a subquery contained in a HAVING clause or a "
                                          "select list, and the column being aggregated is an "
                                          "outer reference."));
        return evaluateFunction(e, row, scope, env);
    }
    return TypedValue{};
}

bool isPredicate(const Expr& e) {
    switch (e.kind) {
    case Expr::Kind::IsNull:
    case Expr::Kind::Like:
    case Expr::Kind::In:
    case Expr::Kind::Between:
        return true;
    case Expr::Kind::Unary:
        return e.op == QLatin1String("NOT");
    case Expr::Kind::Binary:
        return e.op == QLatin1String("AND") || e.op == QLatin1String("OR") || isComparison(e.op);
    default:
        return false;
    }
}

void requirePredicate(const Expr& e) {
    if (!isPredicate(e))
        throw SqlError(4145, 15, 1,
                       QStringLiteral("An expression of non-boolean type specified in a context "
                                      "where a condition is expected."));
    if (e.op == QLatin1String("AND") || e.op == QLatin1String("OR") || e.op == QLatin1String("NOT"))
        for (const auto& a : e.args)
            requirePredicate(*a);
}

bool isTrue(const Expr& e, const std::vector<Value>* row, const Scope* scope, const EvalEnv& env) {
    const auto b = asBool(evaluate(e, row, scope, env));
    return b && *b;
}

bool isAggregate(const Expr& e) {
    if (e.kind != Expr::Kind::Function)
        return false;
    return e.name == QLatin1String("COUNT") || e.name == QLatin1String("SUM") ||
           e.name == QLatin1String("MIN") || e.name == QLatin1String("MAX") ||
           e.name == QLatin1String("AVG") || e.name == QLatin1String("COUNT_BIG");
}

bool containsAggregate(const Expr& e) {
    if (isAggregate(e))
        return true;
    for (const auto& a : e.args)
        if (containsAggregate(*a))
            return true;
    return false;
}

TypedValue evaluateAggregate(const Expr& e, const std::vector<const std::vector<Value>*>& rows,
                             const Scope* scope, const EvalEnv& env) {
    if (!isAggregate(e)) {
        if (e.kind == Expr::Kind::Binary && containsAggregate(e)) {
            const TypedValue l = evaluateAggregate(*e.args[0], rows, scope, env);
            const TypedValue r = evaluateAggregate(*e.args[1], rows, scope, env);
            if (isComparison(e.op))
                return boolean(applyComparison(e.op, l, r));
            return arithmetic(e.op, l, r);
        }
        if (e.kind == Expr::Kind::Column)
            throw SqlError(8120, 16, 1,
                           QStringLiteral("Column '%1' is invalid in the select list because it "
                                          "is not contained in either an aggregate function or "
                                          "the GROUP BY clause.")
                               .arg(e.name));
        if (containsAggregate(e))
            throwNotSupported(QStringLiteral("This use of an aggregate"));
        for (const auto& a : e.args)
            if (a->kind == Expr::Kind::Column)
                evaluateAggregate(*a, rows, scope, env); // refuses bare columns
        return evaluate(e, rows.empty() ? nullptr : rows.front(), scope, env);
    }
    const bool isCount = e.name.startsWith(QLatin1String("COUNT"));
    const TypeTag countType = e.name == QLatin1String("COUNT_BIG") ? TypeTag::BigInt : TypeTag::Int;
    if (e.star) {
        if (!isCount)
            throw SqlError(102, 15, 1, QStringLiteral("Incorrect syntax near '*'."));
        return TypedValue{countType, static_cast<int64_t>(rows.size())};
    }
    if (e.args.size() != 1)
        throw SqlError(
            174, 15, 1,
            QStringLiteral("The %1 function requires 1 argument(s).").arg(e.name.toLower()));
    int64_t count = 0;
    std::optional<TypedValue> acc;
    for (const auto* row : rows) {
        const TypedValue v = evaluate(*e.args[0], row, scope, env);
        if (isNull(v.value))
            continue;
        ++count;
        if (isCount)
            continue;
        if (!acc) {
            acc = v;
            if ((e.name == QLatin1String("SUM") || e.name == QLatin1String("AVG")) &&
                (v.type == TypeTag::TinyInt || v.type == TypeTag::SmallInt))
                acc = convert(v, TypeTag::Int);
            if (e.name == QLatin1String("AVG") || e.name == QLatin1String("SUM")) {
                if (isText(v.type) || isDateTime(v.type))
                    throw SqlError(
                        8117, 16, 1,
                        QStringLiteral("Operand data type %1 is invalid for %2 operator.")
                            .arg(typeName(v.type), e.name.toLower()));
                if (v.type == TypeTag::Bit)
                    throw SqlError(
                        8117, 16, 1,
                        QStringLiteral("Operand data type bit is invalid for %1 operator.")
                            .arg(e.name.toLower()));
            }
            continue;
        }
        if (e.name == QLatin1String("SUM") || e.name == QLatin1String("AVG")) {
            acc = arithmetic(QStringLiteral("+"), *acc, v);
        } else {
            const auto c = compare(v, *acc);
            if (c && ((e.name == QLatin1String("MIN") && *c < 0) ||
                      (e.name == QLatin1String("MAX") && *c > 0)))
                acc = v;
        }
    }
    if (isCount)
        return TypedValue{countType, count};
    const ColumnInfo info = describe(e, scope, env);
    if (!acc)
        return TypedValue{tagOf(info.type), std::monostate{}};
    if (e.name == QLatin1String("AVG"))
        return arithmetic(QStringLiteral("/"), *acc, TypedValue{TypeTag::Int, count});
    return *acc;
}

} // namespace ztds::sql
