#pragma once
// Writers for the tokens of a tabular result: what the server sends back.

#include "devserver/tds/byte_buffer.h"
#include "devserver/values/server_version.h"
#include "devserver/values/values.h"
#include "devserver/values/wire_constants.h"

#include <QString>

#include <cstdint>
#include <span>

namespace ztds::tds {

class TokenWriter {
public:
    explicit TokenWriter(uint32_t tdsVersion) : tdsVersion_(tdsVersion) {}

    void envChange(uint8_t type, const QString& newValue, const QString& oldValue);
    void envChangeCollation();
    void envChangeTransaction(uint8_t type, uint64_t newDescriptor, uint64_t oldDescriptor);
    void message(const ServerMessage& message, const QString& procName = {});
    void loginAck(const ServerVersion& version);
    void done(DoneKind kind, uint16_t status, uint16_t currentCommand, uint64_t rowCount);
    void returnStatus(int32_t value);
    void returnValueInt(uint16_t ordinal, const QString& name, int32_t value);
    // COLMETADATA and one ROW per row.
    void resultSet(const ResultSet& resultSet);

    std::vector<uint8_t>& data() { return out_.data(); }
    bool empty() const { return out_.size() == 0; }

private:
    enum class WireType : uint8_t;
    struct ColumnShape {
        WireType type;
        uint32_t size;         // bytes: fixed width, or the declared maximum of variable types
        uint8_t precision = 0; // numeric
        uint8_t scale = 0;     // numeric, datetime2
        bool fixed = false;    // sent as the fixed-length type: no length byte, never NULL
    };
    ColumnShape shapeOf(const ResultSet& resultSet, size_t column) const;
    ColumnShape textShape(const ResultSet& resultSet, size_t column) const;
    ColumnShape nullableShape(const ColumnInfo& info, const ResultSet& resultSet,
                              size_t column) const;
    void plp(std::span<const uint8_t> bytes);
    void textPointer(std::span<const uint8_t> bytes);
    bool variableValue(const ColumnShape& shape, const Value& value);
    void columnMetadata(const ResultSet& resultSet, const std::vector<ColumnShape>& shapes);
    void typeInfo(const ColumnShape& shape);
    void fixedTypeInfo(const ColumnShape& shape);
    void collation();
    void value(const ColumnShape& shape, const Value& value);

    uint32_t tdsVersion_;
    ByteWriter out_;
};

} // namespace ztds::tds
