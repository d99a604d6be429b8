#pragma once
// Reading request payloads: the ALL_HEADERS prefix, SQL batches and RPC calls.

#include "devserver/values/values.h"
#include "devserver/values/wire_constants.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ztds::tds {

// A parameter whose TDS type this server cannot represent; the rest of the call is unreadable.
struct UnsupportedParameter {
    int ordinal = 0; // 1-based
    QString name;
    uint8_t type = 0;
};

struct RpcCall {
    QString procName; // empty when procId is set
    std::optional<uint16_t> procId;
    std::vector<RpcParameter> parameters;
    std::optional<UnsupportedParameter> unsupported; // set: parameters holds those before it
};

// Skips ALL_HEADERS (TDS 7.2 and later) and returns the offset of what follows.
size_t skipAllHeaders(std::span<const uint8_t> payload, bool tds72OrLater);

QString parseSqlBatch(std::span<const uint8_t> payload, bool tds72OrLater);

// One or more calls separated by batch flags. Throws ProtocolError on a broken stream.
std::vector<RpcCall> parseRpcRequest(std::span<const uint8_t> payload, uint32_t tdsVersion);

} // namespace ztds::tds
