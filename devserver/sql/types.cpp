#include "devserver/sql/types.h"

#include "devserver/sql/datetime.h"
#include "devserver/sql/errors.h"
#include "devserver/sql/numeric.h"
#include "devserver/storage/collation.h"
#include "devserver/values/wire_constants.h"

#include <QDate>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ztds::sql {

namespace {

[[noreturn]] void throwClash(TypeTag from, TypeTag to) {
    throw SqlError(206, 16, 2,
                   QStringLiteral("Operand type clash: %1 is incompatible with %2")
                       .arg(typeName(from), typeName(to)));
}

[[noreturn]] void throwOverflow(TypeTag to) {
    throw SqlError(
        8115, 16, 2,
        QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
            .arg(typeName(to)));
}

[[noreturn]] void throwImplicitNotAllowed(TypeTag from, TypeTag to) {
    throw SqlError(257, 16, 3,
                   QStringLiteral("Implicit conversion from data type %1 to %2 is not allowed. Use "
                                  "the CONVERT function to run this query.")
                       .arg(typeName(from), typeName(to)));
}

struct IntRange {
    int64_t low;
    int64_t high;
};

IntRange rangeOf(TypeTag to) {
    switch (to) {
    case TypeTag::TinyInt:
        return {0, 255};
    case TypeTag::SmallInt:
        return {-32768, 32767};
    case TypeTag::Int:
        return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    default:
        return {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
    }
}

bool isSmallInteger(TypeTag to) {
    return to == TypeTag::TinyInt || to == TypeTag::SmallInt;
}

int64_t checkedIntRange(int64_t v, TypeTag to) {
    if (to == TypeTag::Bit)
        return v != 0 ? 1 : 0;
    const IntRange range = rangeOf(to);
    if (v >= range.low && v <= range.high)
        return v;
    // tinyint and smallint name the value that did not fit.
    if (isSmallInteger(to))
        throw SqlError(220, 16, 1,
                       QStringLiteral("Arithmetic overflow error for data type %1, value = %2.")
                           .arg(typeName(to))
                           .arg(v));
    throwOverflow(to);
}

int64_t doubleToInt(double d, TypeTag to) {
    const double truncated = std::trunc(d);
    const IntRange range = rangeOf(to);
    const bool fits = std::isfinite(truncated) && truncated >= -9.2233720368547758e18 &&
                      truncated < 9.2233720368547758e18;
    if (fits && to != TypeTag::Bit &&
        (truncated < double(range.low) || truncated > double(range.high)) && isSmallInteger(to))
        throw SqlError(232, 16, 1,
                       QStringLiteral("Arithmetic overflow error for type %1, value = %2.")
                           .arg(typeName(to))
                           .arg(d, 0, 'f', 6));
    if (!fits)
        throwOverflow(to);
    return checkedIntRange(static_cast<int64_t>(truncated), to);
}

MoneyValue doubleToMoney(double d) {
    const double scaled = std::round(d * 10000.0);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2233720368547758e18)
        throwOverflow(TypeTag::Money);
    return MoneyValue{static_cast<int64_t>(scaled)};
}

std::optional<int64_t> parseInteger(const QString& trimmed) {
    thread_local const QRegularExpression form(QStringLiteral("^[+-]?[0-9]+$"));
    if (!form.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong v = trimmed.toLongLong(&ok);
    if (!ok)
        return std::numeric_limits<int64_t>::max(); // too many digits: an overflow below
    return v;
}

TypedValue textToInteger(const TypedValue& source, const QString& text, TypeTag to) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return TypedValue{to, int64_t{0}};
    if (to == TypeTag::Bit) {
        if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return TypedValue{to, int64_t{1}};
        if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return TypedValue{to, int64_t{0}};
    }
    const auto parsed = parseInteger(trimmed);
    if (!parsed)
        throw SqlError(245, 16, 1,
                       QStringLiteral("Conversion failed when converting the %1 value '%2' to data "
                                      "type %3.")
                           .arg(typeName(source.type), text, typeName(to)));
    const IntRange range = rangeOf(to);
    const bool outOfRange = *parsed == std::numeric_limits<int64_t>::max() || *parsed < range.low ||
                            *parsed > range.high;
    if (outOfRange && isSmallInteger(to))
        throw SqlError(
            244, 16, 1,
            QStringLiteral("The conversion of the %1 value '%2' overflowed an %3 "
                           "column. Use a larger integer column.")
                .arg(typeName(source.type), text,
                     to == TypeTag::TinyInt ? QStringLiteral("INT1") : QStringLiteral("INT2")));
    if (outOfRange && to != TypeTag::Bit)
        throw SqlError(
            248, 16, 1,
            QStringLiteral("The conversion of the %1 value '%2' overflowed an %3 column.")
                .arg(typeName(source.type), text, typeName(to)));
    return TypedValue{to, checkedIntRange(*parsed, to)};
}

TypedValue textToFloat(const TypedValue& source, const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return TypedValue{TypeTag::Float, 0.0};
    bool ok = false;
    const double d = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        throw SqlError(
            8114, 16, 5,
            QStringLiteral("Error converting data type %1 to float.").arg(typeName(source.type)));
    return TypedValue{TypeTag::Float, d};
}

TypedValue textToMoney(const QString& text) {
    QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'$') || trimmed.startsWith(QChar(0xA5)) ||
        trimmed.startsWith(QChar(0xFFE5)))
        trimmed = trimmed.mid(1).trimmed();
    trimmed.remove(u',');
    if (trimmed.isEmpty())
        return TypedValue{TypeTag::Money, MoneyValue{0}};
    thread_local const QRegularExpression form(
        QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    if (!form.match(trimmed).hasMatch())
        throw SqlError(235, 16, 0,
                       QStringLiteral("Cannot convert a char value to money. The char value has "
                                      "incorrect syntax."));
    const bool negative = trimmed.startsWith(u'-');
    if (trimmed.startsWith(u'-') || trimmed.startsWith(u'+'))
        trimmed = trimmed.mid(1);
    const qsizetype dot = trimmed.indexOf(u'.');
    const QString whole = dot < 0 ? trimmed : trimmed.left(dot);
    QString fraction = dot < 0 ? QString() : trimmed.mid(dot + 1);
    // SQL Server rounds money text to four decimals.
    const bool roundUp = fraction.size() > 4 && fraction.at(4) >= u'5';
    fraction = fraction.left(4).leftJustified(4, u'0');
    // Range checked before any arithmetic that could overflow: money holds
    // -922337203685477.5808 .. 922337203685477.5807.
    const uint64_t wholePart = whole.isEmpty() ? 0 : whole.toULongLong();
    if (whole.size() > 15 || wholePart > 922337203685477ULL)
        throwOverflow(TypeTag::Money);
    const uint64_t magnitude = wholePart * 10000 + fraction.toULongLong() + (roundUp ? 1 : 0);
    const uint64_t limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
    if (magnitude > limit)
        throwOverflow(TypeTag::Money);
    const int64_t amount =
        negative ? int64_t(0 - magnitude) : static_cast<int64_t>(magnitude); // two's complement
    return TypedValue{TypeTag::Money, MoneyValue{amount}};
}

TypedValue textToDateTime(const TypedValue& source, const QString& text, TypeTag to) {
    const auto parsed = parseDateTime(text);
    if (!parsed) {
        if (to == TypeTag::SmallDateTime)
            throw SqlError(295, 16, 3,
                           QStringLiteral("Conversion failed when converting character string to "
                                          "smalldatetime data type."));
        throw SqlError(
            241, 16, 1,
            QStringLiteral("Conversion failed when converting date and/or time from character "
                           "string."));
    }
    const DateTimeValue rounded = to == TypeTag::SmallDateTime ? roundToSmallDateTime(*parsed)
                                  : to == TypeTag::DateTime    ? roundToDateTime(*parsed)
                                                               : *parsed;
    const int maxSmallDays = dateTimeEpoch().daysTo(QDate(2079, 6, 6));
    const int minDays = dateTimeEpoch().daysTo(QDate(1753, 1, 1));
    const bool outOfRange = to == TypeTag::SmallDateTime
                                ? (rounded.days < 0 || rounded.days > maxSmallDays ||
                                   (rounded.days == maxSmallDays &&
                                    rounded.msSinceMidnight > 23 * 3600000 + 59 * 60000))
                            : to == TypeTag::DateTime ? rounded.days < minDays
                                                      : false;
    if (outOfRange)
        throw SqlError(242, 16, 3,
                       QStringLiteral("The conversion of a %1 data type to a %2 data type resulted "
                                      "in an out-of-range value.")
                           .arg(typeName(source.type), typeName(to)));
    return TypedValue{to, rounded};
}

DateTimeValue fromDays(double days, TypeTag to) {
    // Checked before the cast: a day count beyond int32 is undefined behaviour to convert, and
    // far outside datetime's range (1753..9999) anyway.
    if (!std::isfinite(days) || days < -53690.0 || days >= 2958464.0)
        throw SqlError(8115, 16, 2,
                       QStringLiteral("Arithmetic overflow error converting expression to data "
                                      "type %1.")
                           .arg(typeName(to)));
    const double whole = std::floor(days);
    const int64_t ms = std::llround((days - whole) * msPerDay);
    return DateTimeValue{static_cast<int32_t>(whole), ms};
}

TypedValue toDateTimeType(const TypedValue& v, TypeTag to) {
    auto finish = [to](DateTimeValue d) {
        return TypedValue{to, to == TypeTag::SmallDateTime ? roundToSmallDateTime(d)
                              : to == TypeTag::DateTime    ? roundToDateTime(d)
                                                           : d};
    };
    switch (v.type) {
    case TypeTag::DateTime:
    case TypeTag::SmallDateTime:
    case TypeTag::DateTime2:
        return finish(std::get<DateTimeValue>(v.value));
    case TypeTag::TinyInt:
    case TypeTag::SmallInt:
    case TypeTag::Int:
    case TypeTag::BigInt:
        if (to == TypeTag::DateTime2)
            throwClash(v.type, to);
        return finish(fromDays(static_cast<double>(std::get<int64_t>(v.value)), to));
    case TypeTag::Float:
    case TypeTag::Real:
        if (to == TypeTag::DateTime2)
            throwClash(v.type, to);
        return finish(fromDays(std::get<double>(v.value), to));
    case TypeTag::Money:
        if (to == TypeTag::DateTime2)
            throwClash(v.type, to);
        return finish(fromDays(std::get<MoneyValue>(v.value).tenThousandths / 10000.0, to));
    case TypeTag::VarChar:
    case TypeTag::NVarChar:
    case TypeTag::Char:
    case TypeTag::NChar:
        return textToDateTime(v, std::get<QString>(v.value), to);
    default:
        throwClash(v.type, to);
    }
}

double asDouble(const TypedValue& v) {
    switch (v.type) {
    case TypeTag::Float:
    case TypeTag::Real:
        return std::get<double>(v.value);
    case TypeTag::Money:
        return std::get<MoneyValue>(v.value).tenThousandths / 10000.0;
    default:
        return static_cast<double>(std::get<int64_t>(v.value));
    }
}

QString floatText(double d) {
    QString text = QString::number(d, 'g', 6);
    // SQL Server writes exponents with three digits: 1e+006.
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) {
        const QString digits = text.mid(e + 2);
        text = text.left(e + 2) + digits.rightJustified(3, u'0');
    }
    return text;
}

[[noreturn]] void throwNumericOverflow(TypeTag from, TypeTag to) {
    throw SqlError(8115, 16, 8,
                   QStringLiteral("Arithmetic overflow error converting %1 to data type %2.")
                       .arg(typeName(from), typeName(to)));
}

NumericValue numericOf(const TypedValue& v) {
    switch (v.type) {
    case TypeTag::Numeric:
        return std::get<NumericValue>(v.value);
    case TypeTag::Money:
        return NumericValue{std::get<MoneyValue>(v.value).tenThousandths, 4};
    case TypeTag::Float:
    case TypeTag::Real: {
        const double d = std::get<double>(v.value);
        // About 17 significant digits, as many as a double holds.
        const int wholeDigits = d == 0 || !std::isfinite(d)
                                    ? 1
                                    : std::max(1, int(std::floor(std::log10(std::fabs(d)))) + 1);
        const int decimals = std::clamp(17 - wholeDigits, 0, maxNumericDigits - wholeDigits);
        const auto parsed = wholeDigits > maxNumericDigits
                                ? std::nullopt
                                : parseNumeric(QString::number(d, 'f', decimals));
        if (!std::isfinite(d) || !parsed)
            throwNumericOverflow(v.type, TypeTag::Numeric);
        return *parsed;
    }
    default:
        return NumericValue{std::get<int64_t>(v.value), 0};
    }
}

// numeric to an integer type: the fraction is cut off, as SQL Server does.
int64_t numericToInteger(const NumericValue& n, TypeTag to) {
    const __int128 whole = n.unscaled / powerOfTen(n.scale);
    const IntRange range = rangeOf(to);
    if (to == TypeTag::Bit)
        return whole != 0 ? 1 : 0;
    if (whole < range.low || whole > range.high) {
        if (isSmallInteger(to))
            throw SqlError(220, 16, 1,
                           QStringLiteral("Arithmetic overflow error for data type %1, value = "
                                          "%2.")
                               .arg(typeName(to), numericText(n)));
        throwNumericOverflow(TypeTag::Numeric, to);
    }
    return static_cast<int64_t>(whole);
}

// How many bytes an integer type's value takes as binary.
int integerBytes(TypeTag type) {
    return type == TypeTag::TinyInt || type == TypeTag::Bit ? 1
           : type == TypeTag::SmallInt                      ? 2
           : type == TypeTag::BigInt                        ? 8
                                                            : 4;
}

// Binary to an integer type: the rightmost bytes, most significant first, as SQL Server reads.
int64_t binaryToInteger(const QByteArray& bytes, TypeTag to) {
    // bit is true when any byte is not zero.
    const int width = to == TypeTag::Bit ? int(bytes.size()) : integerBytes(to);
    uint64_t value = 0;
    const QByteArray tail = bytes.right(width);
    for (const char byte : tail)
        value = (value << 8) | static_cast<uint8_t>(byte);
    if (to == TypeTag::Bit)
        return value != 0 ? 1 : 0;
    // Sign-extend the narrower types.
    const int bits = width * 8;
    if (to != TypeTag::TinyInt && bits < 64 && tail.size() == width && ((value >> (bits - 1)) & 1))
        value |= ~uint64_t(0) << bits;
    return static_cast<int64_t>(value);
}

QByteArray integerToBinary(int64_t v, TypeTag from) {
    const int width = integerBytes(from);
    QByteArray out(width, '\0');
    auto bits = static_cast<uint64_t>(v);
    for (int i = width - 1; i >= 0; --i, bits >>= 8)
        out[i] = static_cast<char>(bits & 0xFF);
    return out;
}

QString binaryToText(const QByteArray& bytes, TypeTag to) {
    if (isSingleByteText(to))
        return storage::fromCodePage(bytes);
    // nvarchar and nchar read the bytes as UTF-16LE; an odd last byte is dropped.
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text.append(QChar(
            char16_t(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8))));
    return text;
}

QByteArray textToBinary(const TypedValue& v) {
    const QString& text = std::get<QString>(v.value);
    if (isSingleByteText(v.type))
        return storage::toCodePage(text);
    QByteArray out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

[[noreturn]] void throwExplicitNotAllowed(TypeTag from, TypeTag to) {
    throw SqlError(529, 16, 2,
                   QStringLiteral("Explicit conversion from data type %1 to %2 is not allowed.")
                       .arg(typeName(from), typeName(to)));
}

TypedValue fromBinary(const TypedValue& v, TypeTag to) {
    const QByteArray& bytes = std::get<QByteArray>(v.value);
    if (isText(to) && to != TypeTag::NText)
        return TypedValue{to, binaryToText(bytes, to)};
    if (isInteger(to))
        return TypedValue{to, binaryToInteger(bytes, to)};
    if (to == TypeTag::Float || to == TypeTag::Real || to == TypeTag::NText)
        throwExplicitNotAllowed(v.type, to);
    throwImplicitNotAllowed(v.type, to);
}

TypedValue toBinary(const TypedValue& v, bool explicitly) {
    if (isInteger(v.type))
        return TypedValue{TypeTag::VarBinary, integerToBinary(std::get<int64_t>(v.value), v.type)};
    if (isText(v.type) && v.type != TypeTag::NText && explicitly)
        return TypedValue{TypeTag::VarBinary, textToBinary(v)};
    if (v.type == TypeTag::Float || v.type == TypeTag::Real || v.type == TypeTag::NText)
        throwExplicitNotAllowed(v.type, TypeTag::VarBinary);
    throwImplicitNotAllowed(v.type, TypeTag::VarBinary);
}

TypedValue toUniqueIdentifier(const TypedValue& v) {
    if (!isText(v.type) || v.type == TypeTag::NText)
        throwClash(v.type, TypeTag::UniqueIdentifier);
    thread_local const QRegularExpression form(QStringLiteral(
        "^\\{?([0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12})\\}?"));
    const auto m = form.match(std::get<QString>(v.value).trimmed());
    if (!m.hasMatch())
        throw SqlError(8169, 16, 2,
                       QStringLiteral("Conversion failed when converting from a character string "
                                      "to uniqueidentifier."));
    return TypedValue{TypeTag::UniqueIdentifier, m.captured(1).toUpper()};
}

TypedValue toReal(double d) {
    if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max()))
        throwOverflow(TypeTag::Real);
    return TypedValue{TypeTag::Real, double(static_cast<float>(d))};
}

TypedValue toIntegerType(const TypedValue& v, TypeTag to, bool fromText) {
    if (fromText)
        return textToInteger(v, std::get<QString>(v.value), to);
    if (isDateTime(v.type))
        throwImplicitNotAllowed(v.type, to);
    switch (v.type) {
    case TypeTag::Float:
    case TypeTag::Real:
        return TypedValue{to, doubleToInt(std::get<double>(v.value), to)};
    case TypeTag::Money: {
        const int64_t t = std::get<MoneyValue>(v.value).tenThousandths;
        const int64_t rounded = t / 10000 + (t % 10000 >= 5000 ? 1 : 0) - (t % 10000 <= -5000);
        return TypedValue{to, checkedIntRange(rounded, to)};
    }
    case TypeTag::Numeric:
        return TypedValue{to, numericToInteger(std::get<NumericValue>(v.value), to)};
    case TypeTag::UniqueIdentifier:
        throwClash(v.type, to);
    default:
        return TypedValue{to, checkedIntRange(std::get<int64_t>(v.value), to)};
    }
}

TypedValue toFloatType(const TypedValue& v, TypeTag to, bool fromText) {
    if (isDateTime(v.type))
        throwImplicitNotAllowed(v.type, to);
    if (v.type == TypeTag::UniqueIdentifier)
        throwClash(v.type, to);
    double d = 0;
    if (fromText)
        d = std::get<double>(textToFloat(v, std::get<QString>(v.value)).value);
    else if (v.type == TypeTag::Numeric)
        d = numericToDouble(std::get<NumericValue>(v.value));
    else
        d = asDouble(v);
    return to == TypeTag::Real ? toReal(d) : TypedValue{TypeTag::Float, d};
}

TypedValue toMoneyType(const TypedValue& v, bool fromText) {
    if (fromText)
        return textToMoney(std::get<QString>(v.value));
    if (isDateTime(v.type))
        throwImplicitNotAllowed(v.type, TypeTag::Money);
    switch (v.type) {
    case TypeTag::Float:
    case TypeTag::Real:
        return TypedValue{TypeTag::Money, doubleToMoney(std::get<double>(v.value))};
    case TypeTag::Numeric: {
        const auto money = numericToMoney(std::get<NumericValue>(v.value));
        if (!money)
            throwNumericOverflow(TypeTag::Numeric, TypeTag::Money);
        return TypedValue{TypeTag::Money, MoneyValue{*money}};
    }
    case TypeTag::UniqueIdentifier:
        throwClash(v.type, TypeTag::Money);
    default: {
        // Range checked before multiplying: no overflow.
        const int64_t i = std::get<int64_t>(v.value);
        if (i > 922337203685477LL || i < -922337203685477LL)
            throwOverflow(TypeTag::Money);
        return TypedValue{TypeTag::Money, MoneyValue{i * 10000}};
    }
    }
}

TypedValue toNumericType(const TypedValue& v, bool fromText) {
    if (fromText) {
        const auto parsed = parseNumeric(std::get<QString>(v.value));
        if (!parsed)
            throw SqlError(
                8114, 16, 5,
                QStringLiteral("Error converting data type %1 to numeric.").arg(typeName(v.type)));
        return TypedValue{TypeTag::Numeric, *parsed};
    }
    if (isDateTime(v.type) || v.type == TypeTag::UniqueIdentifier)
        throwClash(v.type, TypeTag::Numeric);
    return TypedValue{TypeTag::Numeric, numericOf(v)};
}

} // namespace

TypeTag tagOf(SqlType type) {
    switch (type) {
    case SqlType::NVarChar:
        return TypeTag::NVarChar;
    case SqlType::NText:
        return TypeTag::NText;
    case SqlType::Int:
        return TypeTag::Int;
    case SqlType::BigInt:
        return TypeTag::BigInt;
    case SqlType::Money:
        return TypeTag::Money;
    case SqlType::SmallDateTime:
        return TypeTag::SmallDateTime;
    case SqlType::DateTime:
        return TypeTag::DateTime;
    case SqlType::Float:
        return TypeTag::Float;
    case SqlType::Bit:
        return TypeTag::Bit;
    case SqlType::TinyInt:
        return TypeTag::TinyInt;
    case SqlType::SmallInt:
        return TypeTag::SmallInt;
    case SqlType::Real:
        return TypeTag::Real;
    case SqlType::Char:
        return TypeTag::Char;
    case SqlType::VarChar:
        return TypeTag::VarChar;
    case SqlType::NChar:
        return TypeTag::NChar;
    case SqlType::VarBinary:
        return TypeTag::VarBinary;
    case SqlType::Numeric:
        return TypeTag::Numeric;
    case SqlType::UniqueIdentifier:
        return TypeTag::UniqueIdentifier;
    case SqlType::DateTime2:
        return TypeTag::DateTime2;
    }
    return TypeTag::NVarChar;
}

SqlType sqlTypeOf(TypeTag tag) {
    switch (tag) {
    case TypeTag::Bit:
        return SqlType::Bit;
    case TypeTag::Null:
    case TypeTag::Int:
        return SqlType::Int;
    case TypeTag::BigInt:
        return SqlType::BigInt;
    case TypeTag::Money:
        return SqlType::Money;
    case TypeTag::Float:
        return SqlType::Float;
    case TypeTag::SmallDateTime:
        return SqlType::SmallDateTime;
    case TypeTag::DateTime:
        return SqlType::DateTime;
    case TypeTag::NText:
        return SqlType::NText;
    case TypeTag::VarChar:
        return SqlType::VarChar;
    case TypeTag::NVarChar:
        return SqlType::NVarChar;
    case TypeTag::TinyInt:
        return SqlType::TinyInt;
    case TypeTag::SmallInt:
        return SqlType::SmallInt;
    case TypeTag::Real:
        return SqlType::Real;
    case TypeTag::Char:
        return SqlType::Char;
    case TypeTag::NChar:
        return SqlType::NChar;
    case TypeTag::VarBinary:
        return SqlType::VarBinary;
    case TypeTag::Numeric:
        return SqlType::Numeric;
    case TypeTag::UniqueIdentifier:
        return SqlType::UniqueIdentifier;
    case TypeTag::DateTime2:
        return SqlType::DateTime2;
    }
    return SqlType::NVarChar;
}

QString typeName(TypeTag tag) {
    if (tag == TypeTag::Null)
        return QStringLiteral("NULL");
    return QString::fromLatin1(sqlTypeName(sqlTypeOf(tag)));
}

bool isText(TypeTag tag) {
    return tag == TypeTag::VarChar || tag == TypeTag::NVarChar || tag == TypeTag::NText ||
           tag == TypeTag::Char || tag == TypeTag::NChar;
}

bool isSingleByteText(TypeTag tag) {
    return tag == TypeTag::VarChar || tag == TypeTag::Char;
}

bool isInteger(TypeTag tag) {
    return tag == TypeTag::Bit || tag == TypeTag::TinyInt || tag == TypeTag::SmallInt ||
           tag == TypeTag::Int || tag == TypeTag::BigInt;
}

bool isNumeric(TypeTag tag) {
    return isInteger(tag) || tag == TypeTag::Money || tag == TypeTag::Float ||
           tag == TypeTag::Real || tag == TypeTag::Numeric;
}

bool isDateTime(TypeTag tag) {
    return tag == TypeTag::DateTime || tag == TypeTag::SmallDateTime || tag == TypeTag::DateTime2;
}

int precedence(TypeTag tag) {
    // SQL Server's order, highest first: datetime2, datetime, smalldatetime, float, real,
    // decimal, money, bigint, int, smallint, tinyint, bit, ntext, uniqueidentifier, nvarchar,
    // nchar, varchar, char, varbinary.
    static const TypeTag order[] = {
        TypeTag::VarBinary, TypeTag::Char,          TypeTag::VarChar,
        TypeTag::NChar,     TypeTag::NVarChar,      TypeTag::UniqueIdentifier,
        TypeTag::NText,     TypeTag::Bit,           TypeTag::TinyInt,
        TypeTag::SmallInt,  TypeTag::Int,           TypeTag::BigInt,
        TypeTag::Money,     TypeTag::Numeric,       TypeTag::Real,
        TypeTag::Float,     TypeTag::SmallDateTime, TypeTag::DateTime,
        TypeTag::DateTime2};
    for (size_t i = 0; i < std::size(order); ++i)
        if (order[i] == tag)
            return int(i) + 1;
    return 0;
}

TypedValue convert(const TypedValue& v, TypeTag to, bool explicitly) {
    if (isNull(v.value))
        return TypedValue{to, std::monostate{}, v.caseInsensitive};
    if (v.type == to)
        return v;
    if (v.type == TypeTag::VarBinary)
        return fromBinary(v, to);
    if (to == TypeTag::VarBinary)
        return toBinary(v, explicitly);
    if (isText(to)) {
        if (isText(v.type))
            return TypedValue{to, v.value, v.caseInsensitive};
        return TypedValue{to, toText(v)};
    }
    if (v.type == TypeTag::NText)
        throwClash(v.type, to);
    const bool fromText = isText(v.type);
    switch (to) {
    case TypeTag::Bit:
    case TypeTag::TinyInt:
    case TypeTag::SmallInt:
    case TypeTag::Int:
    case TypeTag::BigInt:
        return toIntegerType(v, to, fromText);
    case TypeTag::Float:
    case TypeTag::Real:
        return toFloatType(v, to, fromText);
    case TypeTag::Money:
        return toMoneyType(v, fromText);
    case TypeTag::Numeric:
        return toNumericType(v, fromText);
    case TypeTag::UniqueIdentifier:
        return toUniqueIdentifier(v);
    case TypeTag::DateTime:
    case TypeTag::SmallDateTime:
    case TypeTag::DateTime2:
        if (v.type == TypeTag::Numeric)
            return toDateTimeType(
                TypedValue{TypeTag::Float, numericToDouble(std::get<NumericValue>(v.value))}, to);
        if (v.type == TypeTag::UniqueIdentifier)
            throwClash(v.type, to);
        return toDateTimeType(v, to);
    default:
        throwClash(v.type, to);
    }
}

TypedValue convertToNumeric(const TypedValue& value, int precision, int scale) {
    TypedValue t = convert(value, TypeTag::Numeric, true);
    if (isNull(t.value))
        return t;
    const auto scaled = rescale(std::get<NumericValue>(t.value), scale);
    if (!scaled || numericDigits(*scaled) > precision)
        throwNumericOverflow(value.type, TypeTag::Numeric);
    t.value = *scaled;
    return t;
}

QString toText(const TypedValue& v) {
    if (isNull(v.value))
        return {};
    switch (v.type) {
    case TypeTag::Float:
        return floatText(std::get<double>(v.value));
    case TypeTag::Real:
        return QString::number(std::get<double>(v.value), 'g', 7);
    case TypeTag::Money:
        return moneyText(std::get<MoneyValue>(v.value), 2);
    case TypeTag::Numeric:
        return numericText(std::get<NumericValue>(v.value));
    case TypeTag::DateTime:
    case TypeTag::SmallDateTime:
        return dateTimeText(std::get<DateTimeValue>(v.value));
    case TypeTag::DateTime2:
        return isoText(std::get<DateTimeValue>(v.value)) + QStringLiteral("0000");
    case TypeTag::Bit:
    case TypeTag::TinyInt:
    case TypeTag::SmallInt:
    case TypeTag::Int:
    case TypeTag::BigInt:
        return QString::number(std::get<int64_t>(v.value));
    case TypeTag::VarBinary:
        return binaryToText(std::get<QByteArray>(v.value), TypeTag::NVarChar);
    default:
        return std::get<QString>(v.value);
    }
}

namespace {

[[noreturn]] void throwTruncated() {
    throw SqlError(8152, 16, 30, QStringLiteral("String or binary data would be truncated."));
}

// Only blanks beyond the width are cut silently, as SQL Server does.
void cutBlanksToWidth(QString& text, qsizetype keep) {
    if (text.size() <= keep)
        return;
    const QStringView rest = QStringView(text).mid(keep);
    if (!rest.trimmed().isEmpty() || rest.contains(u'\t'))
        throwTruncated();
    text.truncate(keep);
}

void fitBinary(QByteArray& bytes, int length, Truncation truncation) {
    if (truncation == Truncation::Silent)
        bytes.truncate(length);
    else if (bytes.size() > length)
        throwTruncated();
}

// char and varchar: cut at a character boundary of the code page.
void fitSingleByteText(QString& text, TypeTag type, int length, Truncation truncation) {
    const QString fits = storage::leftCodePageBytes(text, length);
    if (truncation == Truncation::Silent)
        text = fits;
    else
        cutBlanksToWidth(text, fits.size());
    if (type == TypeTag::Char)
        text += QString(length - storage::codePageLength(text), u' ');
}

void fitUnicodeText(QString& text, TypeTag type, int length, Truncation truncation) {
    if (truncation == Truncation::Silent)
        text.truncate(length);
    else
        cutBlanksToWidth(text, length);
    if (type == TypeTag::NChar)
        text = text.leftJustified(length, u' ');
}

} // namespace

void fitToLength(TypedValue& value, TypeTag type, int length, Truncation truncation) {
    if (isNull(value.value) || length == maxLength)
        return;
    if (type == TypeTag::VarBinary) {
        fitBinary(std::get<QByteArray>(value.value), length, truncation);
        return;
    }
    if (!isText(type) || type == TypeTag::NText)
        return;
    QString& text = std::get<QString>(value.value);
    if (isSingleByteText(type))
        fitSingleByteText(text, type, length, truncation);
    else
        fitUnicodeText(text, type, length, truncation);
}

std::optional<int> compare(const TypedValue& a, const TypedValue& b) {
    if (isNull(a.value) || isNull(b.value))
        return std::nullopt;
    if (isText(a.type) && isText(b.type))
        return compareText(std::get<QString>(a.value), std::get<QString>(b.value),
                           a.caseInsensitive && b.caseInsensitive);
    const TypeTag common = precedence(a.type) >= precedence(b.type) ? a.type : b.type;
    const TypedValue x = convert(a, common);
    const TypedValue y = convert(b, common);
    auto order = [](auto l, auto r) { return l < r ? -1 : (r < l ? 1 : 0); };
    switch (common) {
    case TypeTag::Float:
    case TypeTag::Real:
        return order(std::get<double>(x.value), std::get<double>(y.value));
    case TypeTag::Money:
        return order(std::get<MoneyValue>(x.value).tenThousandths,
                     std::get<MoneyValue>(y.value).tenThousandths);
    case TypeTag::Numeric: {
        const auto& l = std::get<NumericValue>(x.value);
        const auto& r = std::get<NumericValue>(y.value);
        const int scale = std::max(l.scale, r.scale);
        const auto ls = rescale(l, scale);
        const auto rs = rescale(r, scale);
        if (!ls || !rs) // beyond 38 digits at the common scale: compare approximately
            return order(numericToDouble(l), numericToDouble(r));
        return order(ls->unscaled, rs->unscaled);
    }
    case TypeTag::DateTime:
    case TypeTag::SmallDateTime:
    case TypeTag::DateTime2: {
        const auto& l = std::get<DateTimeValue>(x.value);
        const auto& r = std::get<DateTimeValue>(y.value);
        if (l.days != r.days)
            return order(l.days, r.days);
        return order(l.msSinceMidnight, r.msSinceMidnight);
    }
    case TypeTag::VarBinary: {
        const auto& l = std::get<QByteArray>(x.value);
        const auto& r = std::get<QByteArray>(y.value);
        return l < r ? -1 : (r < l ? 1 : 0);
    }
    case TypeTag::UniqueIdentifier:
        return compareText(std::get<QString>(x.value), std::get<QString>(y.value), true);
    default:
        return order(std::get<int64_t>(x.value), std::get<int64_t>(y.value));
    }
}

int compareText(const QString& a, const QString& b, bool caseInsensitive) {
    return storage::compareCollated(a, b, caseInsensitive);
}

} // namespace ztds::sql
