#pragma once
// Typed values inside the engine and SQL Server's conversion rules between them.

#include "devserver/values/values.h"

#include <QString>

#include <optional>

namespace ztds::sql {

// Engine-side types: the stored ones plus varchar (for '...' literals) and NULL.
enum class TypeTag {
    Null,
    Bit,
    Int,
    BigInt,
    Money,
    Float,
    SmallDateTime,
    DateTime,
    VarChar,
    NVarChar,
    NText
};

struct Typed {
    TypeTag type = TypeTag::Null;
    Value value;
    bool caseInsensitive = true;
};

TypeTag tagOf(SqlType type);
SqlType sqlTypeOf(TypeTag tag);
QString typeName(TypeTag tag);
bool isText(TypeTag tag);
bool isNumeric(TypeTag tag);
bool isDateTime(TypeTag tag);
// SQL Server's data type precedence: the higher one wins in an expression.
int precedence(TypeTag tag);

// Converts like SQL Server's implicit conversion; throws SqlError (245, 8114, 241, ...).
Typed convert(const Typed& value, TypeTag target);
// Text of a value as CONVERT(nvarchar, value) gives it.
QString toText(const Typed& value);

// Compares two non-NULL values after converting to the higher-precedence type;
// nullopt when either is NULL.
std::optional<int> compare(const Typed& a, const Typed& b);
// Text comparison under a CI (Chinese_PRC_CI_AS-like) or binary collation; trailing
// blanks are ignored as SQL Server does.
int compareText(const QString& a, const QString& b, bool caseInsensitive);
bool likeMatch(const QString& text, const QString& pattern, bool caseInsensitive,
               std::optional<QChar> escape);

// Dates: parsing SQL Server's accepted character forms and rounding to the type's precision.
std::optional<DateTimeValue> parseDateTime(const QString& text);
DateTimeValue roundToDateTime(DateTimeValue v);
DateTimeValue roundToSmallDateTime(DateTimeValue v);
// Sortable storage form: "YYYY-MM-DD HH:MM:SS.mmm".
QString isoText(const DateTimeValue& v);
QString moneyText(const MoneyValue& v, int decimals);

} // namespace ztds::sql
