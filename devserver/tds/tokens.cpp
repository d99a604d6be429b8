#include "devserver/tds/tokens.h"

#include "devserver/sql/numeric.h"
#include "devserver/sql/types.h"
#include "devserver/storage/collation.h"
#include "devserver/tds/login.h"
#include "devserver/tds/server_identity.h"
#include "devserver/values/wire_constants.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace ztds::tds {

namespace {

constexpr int maxNVarCharLength = 4000;
constexpr int maxVarCharLength = 8000;
constexpr uint32_t nTextMaxBytes = 0x7FFFFFFE;
constexpr uint32_t textMaxBytes = 0x7FFFFFFF;
constexpr int maxMessageCharacters = 4000;

// datetime2(n) keeps its time in 10^-n second units, in 3, 4 or 5 bytes by n.
uint32_t dateTime2TimeBytes(uint8_t digits) {
    return digits <= 2 ? 3 : digits <= 4 ? 4 : 5;
}

// Engines hand over what a column holds; when a variant differs from the column's type the
// value is converted here rather than sent in a shape the client cannot read.
QString asText(const Value& value) {
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
    if (const auto* numeric = std::get_if<NumericValue>(&value))
        return sql::numericText(*numeric);
    if (const auto* integer = std::get_if<int64_t>(&value))
        return QString::number(*integer);
    if (const auto* real = std::get_if<double>(&value))
        return QString::number(*real, 'g', 17);
    if (const auto* money = std::get_if<MoneyValue>(&value))
        return QString::number(double(money->tenThousandths) / 10000.0, 'f', 4);
    return {};
}

int64_t asInteger(const Value& value) {
    if (const auto* integer = std::get_if<int64_t>(&value))
        return *integer;
    if (const auto* real = std::get_if<double>(&value))
        return int64_t(std::llround(*real));
    if (const auto* money = std::get_if<MoneyValue>(&value))
        return money->tenThousandths / 10000;
    if (const auto* text = std::get_if<QString>(&value))
        return text->toLongLong();
    return 0;
}

double asReal(const Value& value) {
    if (const auto* real = std::get_if<double>(&value))
        return *real;
    if (const auto* money = std::get_if<MoneyValue>(&value))
        return double(money->tenThousandths) / 10000.0;
    if (const auto* text = std::get_if<QString>(&value))
        return text->toDouble();
    return double(asInteger(value));
}

int64_t asMoney(const Value& value) {
    if (const auto* money = std::get_if<MoneyValue>(&value))
        return money->tenThousandths;
    if (const auto* integer = std::get_if<int64_t>(&value))
        return *integer * 10000;
    return int64_t(std::llround(asReal(value) * 10000.0));
}

DateTimeValue asDateTime(const Value& value) {
    if (const auto* dateTime = std::get_if<DateTimeValue>(&value))
        return *dateTime;
    return {};
}

QByteArray asBytes(const Value& value) {
    if (const auto* bytes = std::get_if<QByteArray>(&value))
        return *bytes;
    const QString text = asText(value);
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

std::span<const uint8_t> spanOf(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

// A uniqueidentifier's 16 bytes: the first three groups little-endian, the rest as written.
QByteArray guidBytes(const QString& text) {
    const QByteArray hex = QString(text).remove(u'-').toLatin1();
    const QByteArray raw = QByteArray::fromHex(hex).leftJustified(16, '\0', true);
    QByteArray out(16, '\0');
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i)
        out[i] = raw[order[i]];
    return out;
}

uint8_t numericBytes(uint8_t precision) {
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

NumericValue asNumeric(const Value& value, uint8_t scale) {
    NumericValue n{};
    if (const auto* numeric = std::get_if<NumericValue>(&value))
        n = *numeric;
    else if (const auto* money = std::get_if<MoneyValue>(&value))
        n = NumericValue{money->tenThousandths, 4};
    else if (const auto* integer = std::get_if<int64_t>(&value))
        n = NumericValue{*integer, 0};
    else if (auto parsed = sql::parseNumeric(asText(value)))
        n = *parsed;
    return sql::rescale(n, scale).value_or(NumericValue{0, scale});
}

} // namespace

enum class TokenWriter::WireType : uint8_t {
    NVarChar,
    NText,
    IntN,
    FltN,
    BitN,
    MoneyN,
    DateTimeN,
    NChar,
    BigVarChar,
    BigChar,
    Text,
    BigVarBinary,
    NVarCharMax, // PLP
    VarCharMax,  // PLP
    VarBinaryMax,
    NumericN,
    Guid,
    DateTime2N,
};

void TokenWriter::envChange(uint8_t type, const QString& newValue, const QString& oldValue) {
    out_.u8(token::EnvChange);
    const auto length = out_.reserveLength16();
    out_.u8(type);
    out_.bVarChar(newValue);
    out_.bVarChar(oldValue);
    out_.patchLength16(length);
}

void TokenWriter::envChangeCollation() {
    out_.u8(token::EnvChange);
    const auto length = out_.reserveLength16();
    out_.u8(env_type::SqlCollation);
    out_.u8(sizeof chineseCollation);
    out_.bytes(chineseCollation);
    out_.u8(0);
    out_.patchLength16(length);
}

void TokenWriter::envChangeTransaction(uint8_t type, uint64_t newDescriptor,
                                       uint64_t oldDescriptor) {
    out_.u8(token::EnvChange);
    const auto length = out_.reserveLength16();
    out_.u8(type);
    for (const uint64_t descriptor : {newDescriptor, oldDescriptor}) {
        if (descriptor == 0) {
            out_.u8(0);
        } else {
            out_.u8(8);
            out_.u64(descriptor);
        }
    }
    out_.patchLength16(length);
}

void TokenWriter::message(const ServerMessage& message, const QString& procName) {
    out_.u8(message.isError() ? token::Error : token::Info);
    const auto length = out_.reserveLength16();
    out_.i32(message.number);
    out_.u8(message.state);
    out_.u8(message.severity);
    out_.usVarChar(message.text.left(maxMessageCharacters));
    out_.bVarChar(QString::fromUtf16(serverName));
    out_.bVarChar(procName);
    if (isTds72OrLater(tdsVersion_))
        out_.i32(message.line);
    else
        out_.u16(uint16_t(message.line));
    out_.patchLength16(length);
}

void TokenWriter::loginAck(const ServerVersion& version) {
    constexpr uint8_t interfaceSql = 1;
    out_.u8(token::LoginAck);
    const auto length = out_.reserveLength16();
    out_.u8(interfaceSql);
    // The version goes most significant byte first here, unlike in LOGIN7.
    for (int shift = 24; shift >= 0; shift -= 8)
        out_.u8(uint8_t((tdsVersion_ >> shift) & 0xFF));
    out_.bVarChar(QString::fromUtf16(serverProgramName));
    out_.u8(version.major);
    out_.u8(version.minor);
    out_.u8(uint8_t(version.build >> 8));
    out_.u8(uint8_t(version.build & 0xFF));
    out_.patchLength16(length);
}

void TokenWriter::done(DoneKind kind, uint16_t status, uint16_t currentCommand, uint64_t rowCount) {
    out_.u8(uint8_t(kind));
    out_.u16(status);
    out_.u16(currentCommand);
    if (isTds72OrLater(tdsVersion_))
        out_.u64(rowCount);
    else
        out_.u32(uint32_t(std::min<uint64_t>(rowCount, std::numeric_limits<uint32_t>::max())));
}

void TokenWriter::returnStatus(int32_t value) {
    out_.u8(token::ReturnStatus);
    out_.i32(value);
}

void TokenWriter::returnValueInt(uint16_t ordinal, const QString& name, int32_t value) {
    out_.u8(token::ReturnValue);
    out_.u16(ordinal);
    out_.bVarChar(name);
    out_.u8(parameterByReference);
    if (isTds72OrLater(tdsVersion_))
        out_.u32(0); // user type
    else
        out_.u16(0);
    out_.u16(0); // flags
    out_.u8(data_type::IntN);
    out_.u8(4);
    out_.u8(4);
    out_.i32(value);
}

// Character columns: the declared width, or one their values give a computed column; (max)
// and anything wider than the type allows travel as PLP at TDS 7.2 and later, as text/ntext
// before.
TokenWriter::ColumnShape TokenWriter::textShape(const ResultSet& resultSet, size_t column) const {
    const ColumnInfo& info = resultSet.columns[column];
    const bool unicode = info.type == SqlType::NVarChar;
    qsizetype longest = 0;
    for (const auto& row : resultSet.rows)
        if (column < row.size() && !isNull(row[column]))
            longest = std::max<qsizetype>(longest,
                                          unicode ? asText(row[column]).size()
                                                  : storage::codePageLength(asText(row[column])));
    const int limit = unicode ? maxNVarCharLength : maxVarCharLength;
    const bool large = info.length == maxLength || longest > limit || info.length > limit;
    if (large && isTds72OrLater(tdsVersion_))
        return {unicode ? WireType::NVarCharMax : WireType::VarCharMax, plpLength};
    if (large)
        return {unicode ? WireType::NText : WireType::Text, unicode ? nTextMaxBytes : textMaxBytes};
    const qsizetype width = info.length > 0 ? std::max<qsizetype>(info.length, longest)
                                            : std::max<qsizetype>(longest, 1);
    return {unicode ? WireType::NVarChar : WireType::BigVarChar,
            uint32_t(unicode ? width * 2 : width)};
}

TokenWriter::ColumnShape TokenWriter::nullableShape(const ColumnInfo& info,
                                                    const ResultSet& resultSet,
                                                    size_t column) const {
    const auto width = uint32_t(std::max(info.length, 1));
    switch (info.type) {
    case SqlType::NVarChar:
    case SqlType::VarChar:
        return textShape(resultSet, column);
    case SqlType::NText:
        return {WireType::NText, nTextMaxBytes};
    case SqlType::Char:
        return {WireType::BigChar, width};
    case SqlType::NChar:
        return {WireType::NChar, width * 2};
    case SqlType::VarBinary:
        if (info.length == maxLength)
            return isTds72OrLater(tdsVersion_) ? ColumnShape{WireType::VarBinaryMax, plpLength}
                                               : ColumnShape{WireType::BigVarBinary, 8000};
        return {WireType::BigVarBinary, width};
    case SqlType::TinyInt:
        return {WireType::IntN, 1};
    case SqlType::SmallInt:
        return {WireType::IntN, 2};
    case SqlType::Int:
        return {WireType::IntN, 4};
    case SqlType::BigInt:
        return {WireType::IntN, 8};
    case SqlType::Money:
        return {WireType::MoneyN, 8};
    case SqlType::SmallDateTime:
        return {WireType::DateTimeN, 4};
    case SqlType::DateTime:
        return {WireType::DateTimeN, 8};
    case SqlType::DateTime2:
        // datetime2 came with TDS 7.3; older clients get datetime.
        if (tdsVersion_ >= tds_version::V7_3A) {
            const uint8_t digits = std::min<uint8_t>(info.fractionalDigits, 7);
            return {WireType::DateTime2N, dateTime2TimeBytes(digits) + 3u, 0, digits};
        }
        return {WireType::DateTimeN, 8};
    case SqlType::Real:
        return {WireType::FltN, 4};
    case SqlType::Float:
        return {WireType::FltN, 8};
    case SqlType::Bit:
        return {WireType::BitN, 1};
    case SqlType::Numeric: {
        const uint8_t precision = std::clamp<uint8_t>(info.precision, 1, 38);
        return {WireType::NumericN, numericBytes(precision), precision,
                std::min(info.scale, precision)};
    }
    case SqlType::UniqueIdentifier:
        return {WireType::Guid, 16};
    }
    return {WireType::NVarChar, 2};
}

namespace {

bool hasNull(const ResultSet& resultSet, size_t column) {
    return std::any_of(resultSet.rows.begin(), resultSet.rows.end(), [&](const auto& row) {
        return column >= row.size() || isNull(row[column]);
    });
}

} // namespace

// A NOT NULL column of a fixed-size type travels in the fixed-length form, as SQL Server sends
// it; should a value be NULL all the same, the nullable form keeps the stream readable.
TokenWriter::ColumnShape TokenWriter::shapeOf(const ResultSet& resultSet, size_t column) const {
    const ColumnInfo& info = resultSet.columns[column];
    ColumnShape shape = nullableShape(info, resultSet, column);
    const bool fixable = shape.type == WireType::IntN || shape.type == WireType::BitN ||
                         shape.type == WireType::FltN || shape.type == WireType::DateTimeN ||
                         (shape.type == WireType::MoneyN && shape.size == 8);
    // bigint's INT8 came with TDS 7.1.
    const bool known =
        !(shape.type == WireType::IntN && shape.size == 8) || tdsVersion_ >= tds_version::V7_1;
    shape.fixed = fixable && known && !info.nullable && !hasNull(resultSet, column);
    return shape;
}

void TokenWriter::collation() {
    // TDS 7.0 predates collations.
    if (tdsVersion_ >= tds_version::V7_1)
        out_.bytes(chineseCollation);
}

void TokenWriter::typeInfo(const ColumnShape& shape) {
    if (shape.fixed) {
        fixedTypeInfo(shape);
        return;
    }
    switch (shape.type) {
    case WireType::NVarChar:
    case WireType::NVarCharMax:
    case WireType::NChar:
    case WireType::BigVarChar:
    case WireType::VarCharMax:
    case WireType::BigChar:
        out_.u8(shape.type == WireType::NChar        ? data_type::NChar
                : shape.type == WireType::BigChar    ? data_type::BigChar
                : shape.type == WireType::BigVarChar ? data_type::BigVarChar
                : shape.type == WireType::VarCharMax ? data_type::BigVarChar
                                                     : data_type::NVarChar);
        out_.u16(uint16_t(shape.size));
        collation();
        return;
    case WireType::BigVarBinary:
    case WireType::VarBinaryMax:
        out_.u8(data_type::BigVarBinary);
        out_.u16(uint16_t(shape.size));
        return;
    case WireType::NText:
    case WireType::Text:
        out_.u8(shape.type == WireType::NText ? data_type::NText : data_type::Text);
        out_.u32(shape.size);
        collation();
        if (isTds72OrLater(tdsVersion_))
            out_.u8(0); // no table name parts
        else
            out_.u16(0); // empty table name
        return;
    case WireType::NumericN:
        out_.u8(data_type::NumericN);
        out_.u8(uint8_t(shape.size));
        out_.u8(shape.precision);
        out_.u8(shape.scale);
        return;
    case WireType::DateTime2N:
        out_.u8(data_type::DateTime2N);
        out_.u8(shape.scale);
        return;
    case WireType::Guid:
        out_.u8(data_type::Guid);
        break;
    case WireType::IntN:
        out_.u8(data_type::IntN);
        break;
    case WireType::FltN:
        out_.u8(data_type::FloatN);
        break;
    case WireType::BitN:
        out_.u8(data_type::BitN);
        break;
    case WireType::MoneyN:
        out_.u8(data_type::MoneyN);
        break;
    case WireType::DateTimeN:
        out_.u8(data_type::DateTimeN);
        break;
    }
    out_.u8(uint8_t(shape.size));
}

// The fixed-length types carry no length: the type alone says the size.
void TokenWriter::fixedTypeInfo(const ColumnShape& shape) {
    const uint32_t size = shape.size;
    switch (shape.type) {
    case WireType::IntN:
        out_.u8(size == 1   ? data_type::Int1
                : size == 2 ? data_type::Int2
                : size == 4 ? data_type::Int4
                            : data_type::Int8);
        return;
    case WireType::BitN:
        out_.u8(data_type::Bit);
        return;
    case WireType::FltN:
        out_.u8(size == 4 ? data_type::Float4 : data_type::Float8);
        return;
    case WireType::MoneyN:
        out_.u8(data_type::Money8);
        return;
    default:
        out_.u8(size == 4 ? data_type::DateTime4 : data_type::DateTime8);
        return;
    }
}

void TokenWriter::columnMetadata(const ResultSet& resultSet,
                                 const std::vector<ColumnShape>& shapes) {
    out_.u8(token::ColMetadata);
    out_.u16(uint16_t(resultSet.columns.size()));
    for (size_t i = 0; i < shapes.size(); ++i) {
        const ColumnInfo& info = resultSet.columns[i];
        if (isTds72OrLater(tdsVersion_))
            out_.u32(0); // user type
        else
            out_.u16(0);
        uint16_t flags = info.identity ? column_flag::Identity : column_flag::UpdatableUnknown;
        if (info.nullable)
            flags |= column_flag::Nullable;
        const bool text = sql::isText(sql::tagOf(info.type));
        if (text && !info.caseInsensitive)
            flags |= column_flag::CaseSensitive;
        out_.u16(flags);
        typeInfo(shapes[i]);
        out_.bVarChar(info.name);
    }
}

// Partially length-prefixed: the total, the data as one chunk, a zero-length chunk.
void TokenWriter::plp(std::span<const uint8_t> bytes) {
    out_.u64(bytes.size());
    if (!bytes.empty()) {
        out_.u32(uint32_t(bytes.size()));
        out_.bytes(bytes);
    }
    out_.u32(0);
}

void TokenWriter::textPointer(std::span<const uint8_t> bytes) {
    out_.u8(16);
    for (int i = 0; i < 16; ++i)
        out_.u8(0xAA); // text pointer: any value, clients only pass it back
    out_.u64(0);       // timestamp
    out_.u32(uint32_t(bytes.size()));
    out_.bytes(bytes);
}

// Character and binary values; false for the fixed-width types.
bool TokenWriter::variableValue(const ColumnShape& shape, const Value& value) {
    const bool null = isNull(value);
    QByteArray bytes;
    switch (shape.type) {
    case WireType::NVarChar:
    case WireType::NChar:
    case WireType::NText:
    case WireType::NVarCharMax:
        bytes = null ? QByteArray() : asBytes(Value{asText(value)});
        break;
    case WireType::BigVarChar:
    case WireType::BigChar:
    case WireType::Text:
    case WireType::VarCharMax:
        bytes = null ? QByteArray() : storage::toCodePage(asText(value));
        break;
    case WireType::BigVarBinary:
    case WireType::VarBinaryMax:
        bytes =
            null ? QByteArray() : asBytes(value).left(shape.size == plpLength ? -1 : shape.size);
        break;
    default:
        return false;
    }
    switch (shape.type) {
    case WireType::NVarCharMax:
    case WireType::VarCharMax:
    case WireType::VarBinaryMax:
        if (null)
            out_.u64(plpNull);
        else
            plp(spanOf(bytes));
        return true;
    case WireType::NText:
    case WireType::Text:
        if (null)
            out_.u8(0); // no text pointer
        else
            textPointer(spanOf(bytes));
        return true;
    default:
        if (null) {
            out_.u16(nullLength16);
            return true;
        }
        out_.u16(uint16_t(bytes.size()));
        out_.bytes(spanOf(bytes));
        return true;
    }
}

namespace {

void writeInteger(ByteWriter& out, uint32_t size, int64_t v) {
    if (size == 1)
        out.u8(uint8_t(v));
    else if (size == 2)
        out.u16(uint16_t(v));
    else if (size == 4)
        out.i32(int32_t(v));
    else
        out.i64(v);
}

void writeFloat(ByteWriter& out, uint32_t size, double real) {
    if (size == 4) {
        // Clamped first: a double beyond float's range may not be converted.
        constexpr double largest = std::numeric_limits<float>::max();
        const auto single = float(std::isnan(real) ? real : std::clamp(real, -largest, largest));
        uint32_t bits = 0;
        std::memcpy(&bits, &single, sizeof bits);
        out.u32(bits);
        return;
    }
    uint64_t bits = 0;
    static_assert(sizeof bits == sizeof real);
    std::memcpy(&bits, &real, sizeof bits);
    out.u64(bits);
}

// Two 4-byte halves, the high one first.
void writeMoney(ByteWriter& out, int64_t tenThousandths) {
    const auto money = uint64_t(tenThousandths);
    out.u32(uint32_t(money >> 32));
    out.u32(uint32_t(money & 0xFFFFFFFFu));
}

// A sign byte (1: positive), then the magnitude little-endian.
void writeNumeric(ByteWriter& out, uint32_t size, const NumericValue& n) {
    out.u8(n.unscaled < 0 ? 0 : 1);
    auto magnitude = static_cast<unsigned __int128>(n.unscaled < 0 ? -n.unscaled : n.unscaled);
    for (uint32_t i = 1; i < size; ++i, magnitude >>= 8)
        out.u8(uint8_t(magnitude & 0xFF));
}

int64_t clampedMsOfDay(const DateTimeValue& dateTime) {
    return std::clamp<int64_t>(dateTime.msSinceMidnight, 0, msPerDay - 1);
}

// Time in 10^-digits second units, then days since 0001-01-01 (3 bytes). The engine keeps
// milliseconds, already rounded to the column's digits.
void writeDateTime2(ByteWriter& out, const DateTimeValue& dateTime, uint8_t digits) {
    const auto ms = uint64_t(clampedMsOfDay(dateTime));
    uint64_t units = ms;
    for (int d = 3; d < digits; ++d)
        units *= 10;
    for (int d = 3; d > digits; --d)
        units /= 10;
    for (uint32_t i = 0; i < dateTime2TimeBytes(digits); ++i, units >>= 8)
        out.u8(uint8_t(units & 0xFF));
    auto days = uint32_t(
        std::clamp<int64_t>(int64_t(dateTime.days) + daysFromYear1To1900, 0, lastDayFromYear1));
    for (int i = 0; i < 3; ++i, days >>= 8)
        out.u8(uint8_t(days & 0xFF));
}

// smalldatetime: days and minutes since 1900, the minute rounded.
void writeSmallDateTime(ByteWriter& out, const DateTimeValue& dateTime) {
    int64_t days = dateTime.days;
    int64_t minutes = (clampedMsOfDay(dateTime) + 30000) / 60000;
    if (minutes == 24 * 60) {
        minutes = 0;
        ++days;
    }
    out.u16(uint16_t(std::clamp<int64_t>(days, 0, 65535)));
    out.u16(uint16_t(minutes));
}

// datetime: days since 1900, then 1/300-second ticks since midnight.
void writeDateTime(ByteWriter& out, const DateTimeValue& dateTime) {
    out.i32(dateTime.days);
    out.u32(
        uint32_t(std::min(dateTimeTicksFromMs(clampedMsOfDay(dateTime)), lastDateTimeTickOfDay)));
}

} // namespace

void TokenWriter::value(const ColumnShape& shape, const Value& value) {
    if (variableValue(shape, value))
        return;
    if (isNull(value)) {
        out_.u8(0);
        return;
    }
    if (!shape.fixed)
        out_.u8(uint8_t(shape.size));
    switch (shape.type) {
    case WireType::BitN:
        out_.u8(asInteger(value) != 0 ? 1 : 0);
        return;
    case WireType::IntN:
        writeInteger(out_, shape.size, asInteger(value));
        return;
    case WireType::FltN:
        writeFloat(out_, shape.size, asReal(value));
        return;
    case WireType::MoneyN:
        writeMoney(out_, asMoney(value));
        return;
    case WireType::NumericN:
        writeNumeric(out_, shape.size, asNumeric(value, shape.scale));
        return;
    case WireType::Guid:
        out_.bytes(spanOf(guidBytes(asText(value))));
        return;
    case WireType::DateTime2N:
        writeDateTime2(out_, asDateTime(value), shape.scale);
        return;
    case WireType::DateTimeN:
        if (shape.size == 4)
            writeSmallDateTime(out_, asDateTime(value));
        else
            writeDateTime(out_, asDateTime(value));
        return;
    default:
        return;
    }
}

void TokenWriter::resultSet(const ResultSet& resultSet) {
    std::vector<ColumnShape> shapes;
    shapes.reserve(resultSet.columns.size());
    for (size_t i = 0; i < resultSet.columns.size(); ++i)
        shapes.push_back(shapeOf(resultSet, i));
    columnMetadata(resultSet, shapes);
    for (const auto& row : resultSet.rows) {
        out_.u8(token::Row);
        for (size_t i = 0; i < shapes.size(); ++i)
            value(shapes[i], i < row.size() ? row[i] : Value{});
    }
}

} // namespace ztds::tds
