#include "devserver/tds/rpc.h"

#include "devserver/sql/numeric.h"

#include "devserver/tds/byte_buffer.h"
#include "devserver/tds/login.h"
#include "devserver/values/wire_constants.h"

#include <iconv.h>

#include <cmath>
#include <cstring>
#include <string>

namespace ztds::tds {

namespace {

class UnsupportedType : public std::exception {
public:
    explicit UnsupportedType(uint8_t typeByte) : type(typeByte) {}
    uint8_t type;
};

// The 5-byte collation of a character parameter; only its LCID matters for decoding.
struct Collation {
    uint32_t lcid = 0;
};

Collation readCollation(ByteReader& reader) {
    const auto bytes = reader.bytes(5);
    return {uint32_t(bytes[0]) | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2] & 0x0F) << 16)};
}

const char* codePageFor(uint32_t lcid) {
    switch (lcid & 0xFFFF) {
    case 0x0804: // Chinese (PRC)
    case 0x1004: // Chinese (Singapore)
        return "GBK";
    case 0x0404: // Chinese (Taiwan)
    case 0x0C04: // Chinese (Hong Kong)
        return "BIG5";
    case 0x0411:
        return "CP932";
    case 0x0412:
        return "CP949";
    case 0x0419:
        return "CP1251";
    default:
        return "CP1252";
    }
}

// Single-byte and multi-byte character data in the code page of its collation.
QString decodeCodePage(std::span<const uint8_t> bytes, const Collation& collation) {
    iconv_t converter = iconv_open("UTF-8", codePageFor(collation.lcid));
    if (converter == reinterpret_cast<iconv_t>(-1))
        return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                   qsizetype(bytes.size()));
    std::string input(bytes.begin(), bytes.end());
    std::string output(input.size() * 4 + 4, '\0');
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // An undecodable byte becomes '?', as SQL Server shows it.
        ++in;
        --inLeft;
        if (outLeft == 0)
            break;
        *out++ = '?';
        --outLeft;
    }
    iconv_close(converter);
    output.resize(output.size() - outLeft);
    return QString::fromStdString(output);
}

struct TypeInfo {
    uint8_t type = 0;
    uint32_t maxLength = 0;
    uint8_t precision = 0;
    uint8_t scale = 0;
    Collation collation;
};

// TDS 7.0 predates collations: its character types carry none.
TypeInfo readTypeInfo(ByteReader& reader, bool withCollation) {
    TypeInfo info;
    info.type = reader.u8();
    switch (info.type) {
    case data_type::NullType:
    case data_type::Int1:
    case data_type::Bit:
    case data_type::Int2:
    case data_type::Int4:
    case data_type::DateTime4:
    case data_type::Float4:
    case data_type::Money8:
    case data_type::DateTime8:
    case data_type::Float8:
    case data_type::Money4:
    case data_type::Int8:
    case data_type::DateN:
        return info;
    case data_type::IntN:
    case data_type::BitN:
    case data_type::FloatN:
    case data_type::MoneyN:
    case data_type::DateTimeN:
    case data_type::Guid:
        info.maxLength = reader.u8();
        return info;
    case data_type::TimeN:
    case data_type::DateTime2N:
    case data_type::DateTimeOffsetN:
        info.scale = reader.u8();
        return info;
    case data_type::DecimalN:
    case data_type::NumericN:
        info.maxLength = reader.u8();
        info.precision = reader.u8();
        info.scale = reader.u8();
        return info;
    case data_type::BigVarBinary:
    case data_type::BigBinary:
        info.maxLength = reader.u16();
        return info;
    case data_type::BigVarChar:
    case data_type::BigChar:
    case data_type::NVarChar:
    case data_type::NChar:
        info.maxLength = reader.u16();
        if (withCollation)
            info.collation = readCollation(reader);
        return info;
    case data_type::Text:
    case data_type::NText:
        info.maxLength = reader.u32();
        if (withCollation)
            info.collation = readCollation(reader);
        return info;
    case data_type::Image:
        info.maxLength = reader.u32();
        return info;
    default:
        throw UnsupportedType(info.type);
    }
}

// Partially length-prefixed data: a total length (or plpUnknownLength), then chunks up to
// a zero-length one; the chunks alone are read.
std::optional<std::vector<uint8_t>> readPlp(ByteReader& reader) {
    const uint64_t total = reader.u64();
    if (total == plpNull)
        return std::nullopt;
    std::vector<uint8_t> data;
    for (;;) {
        const uint32_t chunk = reader.u32();
        if (chunk == 0)
            break;
        const auto bytes = reader.bytes(chunk);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    return data;
}

// Reads the value's bytes; nullopt is NULL.
std::optional<std::vector<uint8_t>> readValueBytes(ByteReader& reader, const TypeInfo& info) {
    auto take = [&reader](size_t count) {
        const auto bytes = reader.bytes(count);
        return std::optional<std::vector<uint8_t>>(std::in_place, bytes.begin(), bytes.end());
    };
    switch (info.type) {
    case data_type::NullType:
        return std::nullopt;
    case data_type::Int1:
    case data_type::Bit:
        return take(1);
    case data_type::Int2:
        return take(2);
    case data_type::Int4:
    case data_type::DateTime4:
    case data_type::Float4:
    case data_type::Money4:
        return take(4);
    case data_type::Money8:
    case data_type::DateTime8:
    case data_type::Float8:
    case data_type::Int8:
        return take(8);
    case data_type::BigVarBinary:
    case data_type::BigBinary:
    case data_type::BigVarChar:
    case data_type::BigChar:
    case data_type::NVarChar:
    case data_type::NChar: {
        if (info.maxLength == plpLength)
            return readPlp(reader);
        const uint16_t length = reader.u16();
        if (length == nullLength16)
            return std::nullopt;
        return take(length);
    }
    case data_type::Text:
    case data_type::NText:
    case data_type::Image: {
        const uint32_t length = reader.u32();
        if (length == nullLength32)
            return std::nullopt;
        return take(length);
    }
    default: {
        const uint8_t length = reader.u8();
        if (length == 0)
            return std::nullopt;
        return take(length);
    }
    }
}

int64_t littleEndian(std::span<const uint8_t> bytes) {
    uint64_t value = 0;
    for (size_t i = bytes.size(); i-- > 0;)
        value = (value << 8) | bytes[i];
    // Sign-extend values narrower than 8 bytes.
    const size_t bits = bytes.size() * 8;
    if (bits > 0 && bits < 64 && (value >> (bits - 1)) & 1)
        value |= ~uint64_t(0) << bits;
    return int64_t(value);
}

uint64_t unsignedLittleEndian(std::span<const uint8_t> bytes) {
    uint64_t value = 0;
    for (size_t i = bytes.size(); i-- > 0;)
        value = (value << 8) | bytes[i];
    return value;
}

double toDouble(std::span<const uint8_t> bytes) {
    if (bytes.size() == 4) {
        const auto bits = uint32_t(unsignedLittleEndian(bytes));
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    const uint64_t bits = unsignedLittleEndian(bytes);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

MoneyValue toMoney(std::span<const uint8_t> bytes) {
    if (bytes.size() == 4)
        return {littleEndian(bytes)};
    // Two 4-byte halves, the high one first.
    const uint64_t high = unsignedLittleEndian(bytes.first(4));
    const uint64_t low = unsignedLittleEndian(bytes.subspan(4, 4));
    return {int64_t((high << 32) | low)};
}

DateTimeValue toDateTime(std::span<const uint8_t> bytes) {
    if (bytes.size() == 4) {
        const auto days = int32_t(unsignedLittleEndian(bytes.first(2)));
        const auto minutes = int64_t(unsignedLittleEndian(bytes.subspan(2, 2)));
        return {days, minutes * 60000};
    }
    const auto days = int32_t(littleEndian(bytes.first(4)));
    const auto ticks = int64_t(unsignedLittleEndian(bytes.subspan(4, 4)));
    return {days, std::min<int64_t>(msFromDateTimeTicks(ticks), msPerDay - 1)};
}

// time(n) counts units of 10^-scale seconds since midnight.
int64_t timeToMs(std::span<const uint8_t> bytes, uint8_t scale) {
    // Unsigned and clamped before each step up: a client may send any bytes here.
    uint64_t units = unsignedLittleEndian(bytes);
    for (int i = scale; i > 3; --i)
        units /= 10;
    for (int i = scale; i < 3; ++i)
        units = std::min<uint64_t>(units, uint64_t(msPerDay)) * 10;
    return int64_t(std::min<uint64_t>(units, uint64_t(msPerDay - 1)));
}

size_t timeBytes(uint8_t scale) {
    return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

// decimal and numeric: a sign byte, then the magnitude as a little-endian integer.
// A sign byte (0: negative), then the magnitude little-endian; kept exact as numeric.
Value decimalValue(std::span<const uint8_t> bytes, uint8_t scale) {
    if (bytes.empty())
        return {};
    if (scale > 38)
        throw ProtocolError("decimal parameter with a scale beyond 38");
    const bool negative = bytes[0] == 0;
    const auto magnitude = bytes.subspan(1);
    // At most 16 magnitude bytes can matter; beyond them only zeros are a number.
    unsigned __int128 value = 0;
    for (size_t i = magnitude.size(); i-- > 0;) {
        if (i >= 16 && magnitude[i] != 0)
            throw ProtocolError("decimal parameter beyond 38 digits");
        if (i < 16)
            value = (value << 8) | magnitude[i];
    }
    if (value >> 127)
        throw ProtocolError("decimal parameter beyond 38 digits");
    const auto unscaled = static_cast<__int128>(value);
    const NumericValue n{negative ? -unscaled : unscaled, scale};
    if (sql::numericDigits(n) > 38)
        throw ProtocolError("decimal parameter beyond 38 digits");
    return n;
}

void describe(RpcParameter& parameter, const TypeInfo& info) {
    switch (info.type) {
    case data_type::NVarChar:
    case data_type::NChar:
        parameter.type = SqlType::NVarChar;
        parameter.length = info.maxLength == plpLength ? maxLength : int(info.maxLength / 2);
        return;
    case data_type::BigVarChar:
    case data_type::BigChar:
        parameter.type = SqlType::VarChar;
        parameter.length = info.maxLength == plpLength ? maxLength : int(info.maxLength);
        return;
    case data_type::BigVarBinary:
    case data_type::BigBinary:
    case data_type::Image:
        parameter.type = SqlType::VarBinary;
        parameter.length = info.maxLength == plpLength || info.type == data_type::Image
                               ? maxLength
                               : int(info.maxLength);
        return;
    case data_type::Text:
    case data_type::NText:
        parameter.type = SqlType::NText;
        return;
    case data_type::Int1:
    case data_type::Int2:
    case data_type::Int4:
        parameter.type = SqlType::Int;
        return;
    case data_type::Int8:
        parameter.type = SqlType::BigInt;
        return;
    case data_type::IntN:
        parameter.type = info.maxLength == 8 ? SqlType::BigInt : SqlType::Int;
        return;
    case data_type::Bit:
    case data_type::BitN:
        parameter.type = SqlType::Bit;
        return;
    case data_type::Float4:
    case data_type::Float8:
    case data_type::FloatN:
        parameter.type = SqlType::Float;
        return;
    case data_type::Money4:
    case data_type::Money8:
    case data_type::MoneyN:
        parameter.type = SqlType::Money;
        return;
    case data_type::DateTime4:
        parameter.type = SqlType::SmallDateTime;
        return;
    case data_type::DateTimeN:
        parameter.type = info.maxLength == 4 ? SqlType::SmallDateTime : SqlType::DateTime;
        return;
    case data_type::DateTime2N:
        parameter.type = SqlType::DateTime2;
        return;
    case data_type::DateN:
    case data_type::TimeN:
    case data_type::DateTimeOffsetN:
    case data_type::DateTime8:
        parameter.type = SqlType::DateTime;
        return;
    case data_type::DecimalN:
    case data_type::NumericN:
        parameter.type = SqlType::Numeric;
        parameter.precision = std::clamp<uint8_t>(info.precision, 1, 38);
        parameter.scale = std::min(info.scale, parameter.precision);
        return;
    case data_type::Guid:
        parameter.type = SqlType::UniqueIdentifier; // kept as its text form
        return;
    default:
        parameter.type = SqlType::NVarChar;
        return;
    }
}

Value decodeValue(const TypeInfo& info, const std::vector<uint8_t>& bytes) {
    const std::span<const uint8_t> data(bytes);
    switch (info.type) {
    case data_type::NVarChar:
    case data_type::NChar:
    case data_type::NText:
        return utf16ToString(data);
    case data_type::BigVarChar:
    case data_type::BigChar:
    case data_type::Text:
        return decodeCodePage(data, info.collation);
    case data_type::Int1:
        return int64_t(data[0]); // tinyint is unsigned
    case data_type::IntN:
        if (data.size() == 1)
            return int64_t(data[0]);
        return littleEndian(data);
    case data_type::Int2:
    case data_type::Int4:
    case data_type::Int8:
        return littleEndian(data);
    case data_type::Bit:
    case data_type::BitN:
        return int64_t(data[0] != 0 ? 1 : 0);
    case data_type::Float4:
    case data_type::Float8:
    case data_type::FloatN:
        return toDouble(data);
    case data_type::Money4:
    case data_type::Money8:
    case data_type::MoneyN:
        return toMoney(data);
    case data_type::DateTime4:
    case data_type::DateTime8:
    case data_type::DateTimeN:
        return toDateTime(data);
    case data_type::DateN:
        return DateTimeValue{int32_t(unsignedLittleEndian(data)) - daysFromYear1To1900, 0};
    case data_type::TimeN:
        return DateTimeValue{0, timeToMs(data, info.scale)};
    case data_type::DateTime2N:
    case data_type::DateTimeOffsetN: {
        const size_t time = timeBytes(info.scale);
        if (data.size() < time + 3)
            throw ProtocolError("datetime2 parameter is too short");
        const auto days = int32_t(unsignedLittleEndian(data.subspan(time, 3)));
        return DateTimeValue{days - daysFromYear1To1900, timeToMs(data.first(time), info.scale)};
    }
    case data_type::DecimalN:
    case data_type::NumericN:
        return decimalValue(data, info.scale);
    case data_type::Guid:
        if (data.size() == 16) {
            // The first three groups travel little-endian, the last two as they are written.
            const auto hex = [&data](std::initializer_list<int> order) {
                QString out;
                for (const int i : order)
                    out += QStringLiteral("%1").arg(data[size_t(i)], 2, 16, QLatin1Char('0'));
                return out.toUpper();
            };
            return hex({3, 2, 1, 0}) + u'-' + hex({5, 4}) + u'-' + hex({7, 6}) + u'-' +
                   hex({8, 9}) + u'-' + hex({10, 11, 12, 13, 14, 15});
        }
        throw ProtocolError("uniqueidentifier parameter is not 16 bytes");
    case data_type::BigVarBinary:
    case data_type::BigBinary:
    case data_type::Image:
        return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    default: {
        // Anything else: SQL Server's hexadecimal literal form.
        QString hex = QStringLiteral("0x");
        for (const uint8_t byte : data)
            hex += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
        return hex;
    }
    }
}

void checkFixedWidth(const TypeInfo& info, size_t size) {
    const auto expect = [&](std::initializer_list<size_t> sizes) {
        for (const size_t allowed : sizes)
            if (size == allowed)
                return;
        throw ProtocolError("parameter of type " + std::to_string(info.type) + " has length " +
                            std::to_string(size));
    };
    switch (info.type) {
    case data_type::IntN:
        expect({1, 2, 4, 8});
        break;
    case data_type::FloatN:
    case data_type::MoneyN:
    case data_type::DateTimeN:
        expect({4, 8});
        break;
    case data_type::BitN:
        expect({1});
        break;
    case data_type::Guid:
        expect({16});
        break;
    case data_type::DateN:
        expect({3});
        break;
    default:
        break;
    }
}

bool readCall(ByteReader& reader, RpcCall& call, bool withCollation) {
    const uint16_t nameLength = reader.u16();
    if (nameLength == rpcProcIdSwitch)
        call.procId = reader.u16();
    else
        call.procName = reader.utf16(nameLength);
    reader.u16(); // option flags
    int ordinal = 0;
    while (!reader.atEnd()) {
        // A batch flag ends this call; another may follow.
        const uint8_t peek = reader.u8();
        if (peek == rpc_batch_flag::Before72 || peek == rpc_batch_flag::From72 ||
            peek == rpc_batch_flag::NoExec)
            return true;
        RpcParameter parameter;
        parameter.name = reader.utf16(peek);
        ++ordinal;
        parameter.output = (reader.u8() & parameterByReference) != 0;
        TypeInfo info;
        try {
            info = readTypeInfo(reader, withCollation);
        } catch (const UnsupportedType& unsupported) {
            call.unsupported = UnsupportedParameter{ordinal, parameter.name, unsupported.type};
            return false;
        }
        describe(parameter, info);
        const auto bytes = readValueBytes(reader, info);
        if (bytes) {
            checkFixedWidth(info, bytes->size());
            parameter.value = decodeValue(info, *bytes);
            // A decimal's value decides its type: exact when it can be, a float otherwise.
            if (std::holds_alternative<double>(parameter.value))
                parameter.type = SqlType::Float;
            else if (std::holds_alternative<MoneyValue>(parameter.value))
                parameter.type = SqlType::Money;
            else if ((info.type == data_type::DecimalN || info.type == data_type::NumericN) &&
                     std::holds_alternative<int64_t>(parameter.value))
                parameter.type = SqlType::BigInt;
        }
        call.parameters.push_back(std::move(parameter));
    }
    return false;
}

} // namespace

size_t skipAllHeaders(std::span<const uint8_t> payload, bool tds72OrLater) {
    if (!tds72OrLater)
        return 0;
    ByteReader reader(payload);
    const uint32_t total = reader.u32();
    if (total < 4 || total > payload.size())
        throw ProtocolError("ALL_HEADERS length is inconsistent");
    return total;
}

QString parseSqlBatch(std::span<const uint8_t> payload, bool tds72OrLater) {
    const auto text = payload.subspan(skipAllHeaders(payload, tds72OrLater));
    if (text.size() % 2 != 0)
        throw ProtocolError("SQL batch text has an odd number of bytes");
    return utf16ToString(text);
}

std::vector<RpcCall> parseRpcRequest(std::span<const uint8_t> payload, uint32_t tdsVersion) {
    ByteReader reader(payload.subspan(skipAllHeaders(payload, isTds72OrLater(tdsVersion))));
    const bool withCollation = tdsVersion >= tds_version::V7_1;
    std::vector<RpcCall> calls;
    for (;;) {
        RpcCall call;
        const bool more = readCall(reader, call, withCollation);
        const bool stop = call.unsupported.has_value();
        calls.push_back(std::move(call));
        if (!more || stop || reader.atEnd())
            return calls;
    }
}

} // namespace ztds::tds
