// RPC requests: procedure names or ids, then typed parameters of every TDS type.

#include "devserver/net/packet_channel.h"
#include "devserver/tds/login.h"
#include "devserver/tds/rpc.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    using namespace ztds::tds::tds_version;
    // The first byte picks the version, which changes how types and headers are read.
    static constexpr uint32_t versions[] = {V7_1, V7_2, V7_3B, V7_4};
    try {
        (void)ztds::tds::parseRpcRequest({data + 1, size - 1}, versions[data[0] % 4]);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
