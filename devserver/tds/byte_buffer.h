#pragma once
// Little-endian reading and writing of TDS fields. Reads are bounds-checked: a short or
// inconsistent message raises ProtocolError instead of reading past its end.

#include "devserver/net/packet_channel.h"

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace ztds::tds {

using net::ProtocolError;

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    uint8_t u8();
    uint16_t u16();
    uint16_t u16BigEndian();
    uint32_t u32();
    uint64_t u64();
    int32_t i32() { return static_cast<int32_t>(u32()); }
    int64_t i64() { return static_cast<int64_t>(u64()); }
    std::span<const uint8_t> bytes(size_t count);
    void skip(size_t count) { bytes(count); }
    QString utf16(size_t characters); // UTF-16LE, count in code units
    QString bVarChar() { return utf16(u8()); }
    QString usVarChar() { return utf16(u16()); }

    size_t position() const { return position_; }
    size_t remaining() const { return data_.size() - position_; }
    bool atEnd() const { return position_ == data_.size(); }

private:
    std::span<const uint8_t> data_;
    size_t position_ = 0;
};

QString utf16ToString(std::span<const uint8_t> bytes);

class ByteWriter {
public:
    void u8(uint8_t value) { data_.push_back(value); }
    void u16(uint16_t value);
    void u32(uint32_t value);
    void u64(uint64_t value);
    void i32(int32_t value) { u32(static_cast<uint32_t>(value)); }
    void i64(int64_t value) { u64(static_cast<uint64_t>(value)); }
    void bytes(std::span<const uint8_t> values) {
        data_.insert(data_.end(), values.begin(), values.end());
    }
    void utf16(const QString& text);     // UTF-16LE code units, no length
    void bVarChar(const QString& text);  // 1-byte length in characters, truncated to 255
    void usVarChar(const QString& text); // 2-byte length in characters
    // Writes a 2-byte placeholder; patchLength16 fills in the bytes written since.
    size_t reserveLength16();
    void patchLength16(size_t at);

    size_t size() const { return data_.size(); }
    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t>& data() { return data_; }

private:
    std::vector<uint8_t> data_;
};

} // namespace ztds::tds
