#include "devserver/tds/byte_buffer.h"

#include <string>

namespace ztds::tds {

std::span<const uint8_t> ByteReader::bytes(size_t count) {
    if (count > remaining())
        throw ProtocolError("message ends early: needs " + std::to_string(count) +
                            " bytes at offset " + std::to_string(position_) + ", has " +
                            std::to_string(remaining()));
    const auto result = data_.subspan(position_, count);
    position_ += count;
    return result;
}

uint8_t ByteReader::u8() {
    return bytes(1)[0];
}

uint16_t ByteReader::u16() {
    const auto b = bytes(2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint16_t ByteReader::u16BigEndian() {
    const auto b = bytes(2);
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

uint32_t ByteReader::u32() {
    const auto b = bytes(4);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

uint64_t ByteReader::u64() {
    const uint64_t low = u32();
    const uint64_t high = u32();
    return low | (high << 32);
}

QString ByteReader::utf16(size_t characters) {
    if (characters > remaining() / 2)
        throw ProtocolError("text runs past the end of the message");
    return utf16ToString(bytes(characters * 2));
}

QString utf16ToString(std::span<const uint8_t> bytes) {
    QString text(qsizetype(bytes.size() / 2), Qt::Uninitialized);
    auto* out = text.data();
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out[i / 2] = QChar(char16_t(bytes[i] | (bytes[i + 1] << 8)));
    return text;
}

void ByteWriter::u16(uint16_t value) {
    data_.push_back(uint8_t(value & 0xFF));
    data_.push_back(uint8_t(value >> 8));
}

void ByteWriter::u32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        data_.push_back(uint8_t((value >> shift) & 0xFF));
}

void ByteWriter::u64(uint64_t value) {
    u32(uint32_t(value & 0xFFFFFFFFu));
    u32(uint32_t(value >> 32));
}

void ByteWriter::utf16(const QString& text) {
    data_.reserve(data_.size() + size_t(text.size()) * 2);
    for (const QChar c : text)
        u16(c.unicode());
}

void ByteWriter::bVarChar(const QString& text) {
    const QString fitted = text.left(255);
    u8(uint8_t(fitted.size()));
    utf16(fitted);
}

void ByteWriter::usVarChar(const QString& text) {
    const QString fitted = text.left(65535);
    u16(uint16_t(fitted.size()));
    utf16(fitted);
}

size_t ByteWriter::reserveLength16() {
    const size_t at = data_.size();
    u16(0);
    return at;
}

void ByteWriter::patchLength16(size_t at) {
    const size_t length = data_.size() - at - 2;
    data_[at] = uint8_t(length & 0xFF);
    data_[at + 1] = uint8_t((length >> 8) & 0xFF);
}

} // namespace ztds::tds
