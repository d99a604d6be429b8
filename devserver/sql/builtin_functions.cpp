// The functions the engine knows itself: CAST and CONVERT, ISNULL, COALESCE, the text
// functions and GETDATE; the rest come from the session.

#include "devserver/sql/evaluator_internal.h"

#include "devserver/sql/datetime.h"
#include "devserver/sql/errors.h"

#include <QDateTime>

namespace ztds::sql {

namespace {

// CONVERT's date styles that programs use to get sortable text.
QString styledDateTime(const DateTimeValue& v, int64_t style) {
    const QString iso = isoText(v); // yyyy-mm-dd hh:mi:ss.mmm
    switch (style) {
    case 20:
    case 120:
        return iso.left(19);
    case 21:
    case 121:
        return iso;
    case 126:
        return iso.left(10) + u'T' + iso.mid(11);
    case 23:
        return iso.left(10);
    case 112:
        return iso.left(4) + iso.mid(5, 2) + iso.mid(8, 2);
    case 111:
        return QString(iso.left(10)).replace(u'-', u'/');
    case 102:
        return QString(iso.left(10)).replace(u'-', u'.');
    case 108:
        return iso.mid(11, 8);
    default:
        return toText(TypedValue{TypeTag::DateTime, v});
    }
}

TypedValue castValue(const Expr& e, const std::vector<TypedValue>& args) {
    if (e.castType == TypeTag::Numeric)
        return convertToNumeric(args.at(0), e.castLength, e.castScale);
    TypedValue t = convert(args.at(0), e.castType, true);
    if (args.size() > 1 && isText(e.castType) && isDateTime(args[0].type) &&
        !isNull(args[0].value) && !isNull(args[1].value))
        t.value = styledDateTime(std::get<DateTimeValue>(args[0].value),
                                 std::get<int64_t>(convert(args[1], TypeTag::Int).value));
    fitToLength(t, e.castType, e.castLength, Truncation::Silent);
    return t;
}

void requireArguments(const Expr& e, const std::vector<TypedValue>& args, size_t n) {
    if (args.size() != n)
        throw SqlError(174, 15, 1,
                       QStringLiteral("The %1 function requires %2 argument(s).")
                           .arg(e.name.toLower())
                           .arg(n));
}

TypedValue isNullValue(const Expr& e, const std::vector<TypedValue>& args) {
    requireArguments(e, args, 2);
    return isNull(args[0].value)
               ? convert(args[1], args[0].type == TypeTag::Null ? args[1].type : args[0].type)
               : args[0];
}

TypedValue coalesce(const Expr&, const std::vector<TypedValue>& args) {
    for (const auto& a : args)
        if (!isNull(a.value))
            return a;
    return args.empty() ? TypedValue{} : args.back();
}

QString withoutLeadingBlanks(QString s) {
    qsizetype blanks = 0;
    while (blanks < s.size() && s.at(blanks) == u' ')
        ++blanks;
    s.remove(0, blanks);
    return s;
}

QString withoutTrailingBlanks(QString s) {
    while (s.endsWith(u' '))
        s.chop(1);
    return s;
}

// UPPER, LOWER, LTRIM, RTRIM: the argument's text type, or varchar for anything else.
TypedValue textFunction(const Expr& e, const std::vector<TypedValue>& args) {
    requireArguments(e, args, 1);
    TypedValue t = convert(args[0], isText(args[0].type) ? args[0].type : TypeTag::VarChar);
    if (isNull(t.value))
        return t;
    const QString s = std::get<QString>(t.value);
    if (e.name == QLatin1String("UPPER"))
        t.value = s.toUpper();
    else if (e.name == QLatin1String("LOWER"))
        t.value = s.toLower();
    else if (e.name == QLatin1String("LTRIM"))
        t.value = withoutLeadingBlanks(s);
    else
        t.value = withoutTrailingBlanks(s);
    return t;
}

// LEN counts characters without the trailing blanks.
TypedValue length(const Expr& e, const std::vector<TypedValue>& args) {
    requireArguments(e, args, 1);
    const TypedValue t = convert(args[0], TypeTag::NVarChar);
    if (isNull(t.value))
        return TypedValue{TypeTag::Int, std::monostate{}};
    return TypedValue{TypeTag::Int,
                      int64_t{withoutTrailingBlanks(std::get<QString>(t.value)).size()}};
}

TypedValue currentDateTime(const Expr&, const std::vector<TypedValue>&) {
    const QDateTime now = QDateTime::currentDateTime();
    const DateTimeValue v{static_cast<int32_t>(dateTimeEpoch().daysTo(now.date())),
                          now.time().msecsSinceStartOfDay()};
    return TypedValue{TypeTag::DateTime, roundToDateTime(v)};
}

using Builtin = TypedValue (*)(const Expr& e, const std::vector<TypedValue>& args);

Builtin builtinNamed(const QString& name) {
    static const std::pair<const char*, Builtin> builtins[] = {
        {"CAST", castValue},         {"CONVERT", castValue},  {"ISNULL", isNullValue},
        {"COALESCE", coalesce},      {"UPPER", textFunction}, {"LOWER", textFunction},
        {"LTRIM", textFunction},     {"RTRIM", textFunction}, {"LEN", length},
        {"GETDATE", currentDateTime}};
    for (const auto& [builtinName, function] : builtins)
        if (name == QLatin1String(builtinName))
            return function;
    return nullptr;
}

} // namespace

TypedValue evaluateFunction(const Expr& e, const std::vector<Value>* row, const Scope* scope,
                            const EvalEnv& env) {
    std::vector<TypedValue> args;
    for (const auto& a : e.args)
        args.push_back(evaluate(*a, row, scope, env));
    if (const Builtin builtin = builtinNamed(e.name))
        return builtin(e, args);
    if (env.function) {
        if (auto t = env.function(e.name, args))
            return *t;
    }
    throw SqlError(195, 15, 10,
                   QStringLiteral("'%1' is not a recognized built-in function name.").arg(e.name));
}

} // namespace ztds::sql
