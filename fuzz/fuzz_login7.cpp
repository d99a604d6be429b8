// LOGIN7: offsets and lengths chosen by an unauthenticated client.

#include "devserver/net/packet_channel.h"
#include "devserver/tds/login.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)ztds::tds::parseLogin7({data, size});
    } catch (const std::runtime_error&) {
    }
    return 0;
}
