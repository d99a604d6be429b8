// SQL batch payloads, with and without the ALL_HEADERS of TDS 7.2 and later.

#include "devserver/net/packet_channel.h"
#include "devserver/tds/rpc.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    try {
        (void)ztds::tds::parseSqlBatch({data + 1, size - 1}, (data[0] & 1) != 0);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
