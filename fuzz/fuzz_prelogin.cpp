// PRELOGIN: the first bytes any client sends.

#include "devserver/net/packet_channel.h"
#include "devserver/tds/login.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)ztds::tds::preLoginResponse({data, size}, ztds::latestServerVersion());
    } catch (const std::runtime_error&) {
        // refused input is the expected outcome for most of it
    }
    return 0;
}
