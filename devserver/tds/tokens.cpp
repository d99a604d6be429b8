#include "devserver/tds/tokens.h"

#include "devserver/tds/login.h"
#include "devserver/tds/server_identity.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace ztds::tds {

namespace {

enum Token : uint8_t {
    ReturnStatus = 0x79,
    ColMetadata = 0x81,
    Error = 0xAA,
    Info = 0xAB,
    ReturnValue = 0xAC,
    LoginAck = 0xAD,
    Row = 0xD1,
    EnvChange = 0xE3,
};

constexpr uint8_t typeIntN = 0x26;
constexpr uint8_t typeNText = 0x63;
constexpr uint8_t typeBitN = 0x68;
constexpr uint8_t typeFltN = 0x6D;
constexpr uint8_t typeMoneyN = 0x6E;
constexpr uint8_t typeDateTimeN = 0x6F;
constexpr uint8_t typeNVarChar = 0xE7;

constexpr uint16_t flagNullable = 0x0001;
constexpr uint16_t flagCaseSensitive = 0x0002;
constexpr uint16_t flagUpdatableUnknown = 0x0008;
constexpr uint16_t flagIdentity = 0x0010;

constexpr int maxNVarCharLength = 4000;
constexpr uint32_t nTextMaxBytes = 0x7FFFFFFE;
constexpr int maxMessageCharacters = 4000;
constexpr int64_t msPerDay = 86400000;

// Engines hand over what a column holds; when a variant differs from the column's type the
// value is converted here rather than sent in a shape the client cannot read.
QString asText(const Value& value) {
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
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

} // namespace

enum class TokenWriter::WireType : uint8_t { NVarChar, NText, IntN, FltN, BitN, MoneyN, DateTimeN };

void TokenWriter::envChange(uint8_t type, const QString& newValue, const QString& oldValue) {
    out_.u8(EnvChange);
    const auto length = out_.reserveLength16();
    out_.u8(type);
    out_.bVarChar(newValue);
    out_.bVarChar(oldValue);
    out_.patchLength16(length);
}

void TokenWriter::envChangeCollation() {
    constexpr uint8_t sqlCollation = 7;
    out_.u8(EnvChange);
    const auto length = out_.reserveLength16();
    out_.u8(sqlCollation);
    out_.u8(sizeof chineseCollation);
    out_.bytes(chineseCollation);
    out_.u8(0);
    out_.patchLength16(length);
}

void TokenWriter::envChangeTransaction(uint8_t type, uint64_t newDescriptor,
                                       uint64_t oldDescriptor) {
    out_.u8(EnvChange);
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
    out_.u8(message.isError() ? Error : Info);
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
    out_.u8(LoginAck);
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
    out_.u8(ReturnStatus);
    out_.i32(value);
}

void TokenWriter::returnValueInt(uint16_t ordinal, const QString& name, int32_t value) {
    constexpr uint8_t statusOutputParameter = 0x01;
    out_.u8(ReturnValue);
    out_.u16(ordinal);
    out_.bVarChar(name);
    out_.u8(statusOutputParameter);
    if (isTds72OrLater(tdsVersion_))
        out_.u32(0); // user type
    else
        out_.u16(0);
    out_.u16(0); // flags
    out_.u8(typeIntN);
    out_.u8(4);
    out_.u8(4);
    out_.i32(value);
}

TokenWriter::ColumnShape TokenWriter::shapeOf(const ResultSet& resultSet, size_t column) {
    const ColumnInfo& info = resultSet.columns[column];
    switch (info.type) {
    case SqlType::NVarChar: {
        qsizetype longest = 0;
        for (const auto& row : resultSet.rows)
            if (column < row.size() && !isNull(row[column]))
                longest = std::max(longest, asText(row[column]).size());
        if (longest > maxNVarCharLength || info.length > maxNVarCharLength)
            return {WireType::NText, nTextMaxBytes};
        // A computed column may come without a declared width; its values give one.
        const qsizetype width = info.length > 0 ? std::max<qsizetype>(info.length, longest)
                                                : std::max<qsizetype>(longest, 1);
        return {WireType::NVarChar, uint32_t(width * 2)};
    }
    case SqlType::NText:
        return {WireType::NText, nTextMaxBytes};
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
    case SqlType::Float:
        return {WireType::FltN, 8};
    case SqlType::Bit:
        return {WireType::BitN, 1};
    }
    return {WireType::NVarChar, 2};
}

void TokenWriter::collation() {
    // TDS 7.0 predates collations.
    if (tdsVersion_ >= tds_version::V7_1)
        out_.bytes(chineseCollation);
}

void TokenWriter::typeInfo(const ColumnShape& shape) {
    switch (shape.type) {
    case WireType::NVarChar:
        out_.u8(typeNVarChar);
        out_.u16(uint16_t(shape.size));
        collation();
        return;
    case WireType::NText:
        out_.u8(typeNText);
        out_.u32(shape.size);
        collation();
        if (isTds72OrLater(tdsVersion_))
            out_.u8(0); // no table name parts
        else
            out_.u16(0); // empty table name
        return;
    case WireType::IntN:
        out_.u8(typeIntN);
        break;
    case WireType::FltN:
        out_.u8(typeFltN);
        break;
    case WireType::BitN:
        out_.u8(typeBitN);
        break;
    case WireType::MoneyN:
        out_.u8(typeMoneyN);
        break;
    case WireType::DateTimeN:
        out_.u8(typeDateTimeN);
        break;
    }
    out_.u8(uint8_t(shape.size));
}

void TokenWriter::columnMetadata(const ResultSet& resultSet,
                                 const std::vector<ColumnShape>& shapes) {
    out_.u8(ColMetadata);
    out_.u16(uint16_t(resultSet.columns.size()));
    for (size_t i = 0; i < shapes.size(); ++i) {
        const ColumnInfo& info = resultSet.columns[i];
        if (isTds72OrLater(tdsVersion_))
            out_.u32(0); // user type
        else
            out_.u16(0);
        uint16_t flags = info.identity ? flagIdentity : flagUpdatableUnknown;
        if (info.nullable)
            flags |= flagNullable;
        const bool text = info.type == SqlType::NVarChar || info.type == SqlType::NText;
        if (text && !info.caseInsensitive)
            flags |= flagCaseSensitive;
        out_.u16(flags);
        typeInfo(shapes[i]);
        out_.bVarChar(info.name);
    }
}

void TokenWriter::value(const ColumnShape& shape, const Value& value) {
    const bool null = isNull(value);
    switch (shape.type) {
    case WireType::NVarChar: {
        if (null) {
            out_.u16(0xFFFF);
            return;
        }
        const QString text = asText(value);
        out_.u16(uint16_t(text.size() * 2));
        out_.utf16(text);
        return;
    }
    case WireType::NText: {
        if (null) {
            out_.u8(0); // no text pointer
            return;
        }
        const QString text = asText(value);
        out_.u8(16);
        for (int i = 0; i < 16; ++i)
            out_.u8(0xAA); // text pointer: any value, clients only pass it back
        out_.u64(0);       // timestamp
        out_.u32(uint32_t(text.size() * 2));
        out_.utf16(text);
        return;
    }
    default:
        break;
    }
    if (null) {
        out_.u8(0);
        return;
    }
    out_.u8(uint8_t(shape.size));
    switch (shape.type) {
    case WireType::IntN:
        if (shape.size == 4)
            out_.i32(int32_t(asInteger(value)));
        else
            out_.i64(asInteger(value));
        return;
    case WireType::BitN:
        out_.u8(asInteger(value) != 0 ? 1 : 0);
        return;
    case WireType::FltN: {
        const double real = asReal(value);
        uint64_t bits = 0;
        static_assert(sizeof bits == sizeof real);
        std::memcpy(&bits, &real, sizeof bits);
        out_.u64(bits);
        return;
    }
    case WireType::MoneyN: {
        // Two 4-byte halves, the high one first.
        const auto money = uint64_t(asMoney(value));
        out_.u32(uint32_t(money >> 32));
        out_.u32(uint32_t(money & 0xFFFFFFFFu));
        return;
    }
    case WireType::DateTimeN: {
        const DateTimeValue dateTime = asDateTime(value);
        const int64_t ms = std::clamp<int64_t>(dateTime.msSinceMidnight, 0, msPerDay - 1);
        if (shape.size == 4) {
            int64_t days = dateTime.days;
            int64_t minutes = (ms + 30000) / 60000;
            if (minutes == 24 * 60) {
                minutes = 0;
                ++days;
            }
            out_.u16(uint16_t(std::clamp<int64_t>(days, 0, 65535)));
            out_.u16(uint16_t(minutes));
        } else {
            // 1/300-second ticks since midnight.
            out_.i32(dateTime.days);
            constexpr int64_t lastTickOfDay = 25919999;
            out_.u32(uint32_t(std::min((ms * 3 + 5) / 10, lastTickOfDay)));
        }
        return;
    }
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
        out_.u8(Row);
        for (size_t i = 0; i < shapes.size(); ++i)
            value(shapes[i], i < row.size() ? row[i] : Value{});
    }
}

} // namespace ztds::tds
