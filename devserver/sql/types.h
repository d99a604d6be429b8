#pragma once
// Values with their SQL types inside the engine, and SQL Server's conversion rules between
// them.

#include "devserver/values/values.h"

#include <QString>

#include <optional>

namespace ztds::sql {

// Engine-side types: the stored and transmitted ones, and NULL.
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
    NText,
    TinyInt,
    SmallInt,
    Real,
    Char,
    NChar,
    VarBinary,
    Numeric,
    UniqueIdentifier,
    DateTime2,
};

// A value and its SQL type; text also carries whether its collation ignores case.
struct TypedValue {
    TypeTag type = TypeTag::Null;
    Value value;
    bool caseInsensitive = true;
};

TypeTag tagOf(SqlType type);
SqlType sqlTypeOf(TypeTag tag);
QString typeName(TypeTag tag);
bool isText(TypeTag tag);
// char, varchar: kept in the collation's code page, lengths in bytes.
bool isSingleByteText(TypeTag tag);
bool isInteger(TypeTag tag); // bit, tinyint, smallint, int, bigint
bool isNumeric(TypeTag tag);
bool isDateTime(TypeTag tag);
// SQL Server's data type precedence: the higher one wins in an expression.
int precedence(TypeTag tag);

// Converts like SQL Server's implicit conversion; throws SqlError (245, 8114, 241, ...).
// explicitly: CAST/CONVERT, which allow a few more (character data to varbinary).
TypedValue convert(const TypedValue& value, TypeTag target, bool explicitly = false);
// numeric(p,s): rounds to the scale; 8115 when the value needs more than p digits.
TypedValue convertToNumeric(const TypedValue& value, int precision, int scale);
// Text of a value as CONVERT(nvarchar, value) gives it.
QString toText(const TypedValue& value);

// What may be lost when a value is longer than its target: anything, as CAST and CONVERT
// cut; or only trailing blanks, as a stored value (8152 otherwise).
enum class Truncation { Silent, BlanksOnly };
// A character or binary value fitted to a length: cut to it, and char and nchar padded with
// blanks to it; lengths of char and varchar count bytes of the code page.
void fitToLength(TypedValue& value, TypeTag type, int length, Truncation truncation);

// Compares two non-NULL values after converting to the higher-precedence type;
// nullopt when either is NULL.
std::optional<int> compare(const TypedValue& a, const TypedValue& b);
// Text comparison under a CI (Chinese_PRC_CI_AS-like) or binary collation; trailing
// blanks are ignored as SQL Server does.
int compareText(const QString& a, const QString& b, bool caseInsensitive);

} // namespace ztds::sql
