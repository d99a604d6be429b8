#pragma once
// The two messages that open a connection: PRELOGIN and LOGIN7.

#include "devserver/values/server_version.h"
#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace ztds::tds {

// TDS versions as LOGIN7 and LOGINACK carry them.
namespace tds_version {
inline constexpr uint32_t V7_0 = 0x70000000;
inline constexpr uint32_t V7_1 = 0x71000001;
inline constexpr uint32_t V7_2 = 0x72090002;
inline constexpr uint32_t V7_3A = 0x730A0003;
inline constexpr uint32_t V7_3B = 0x730B0003;
inline constexpr uint32_t V7_4 = 0x74000004;
} // namespace tds_version

struct Login7 {
    uint32_t tdsVersion = 0;
    uint32_t packetSize = 0;
    bool integratedSecurity = false;
    QString hostName;
    QString userName;
    QString password;
    QString appName;
    QString serverName;
    QString libraryName;
    QString language;
    QString database;
};

// Throws ProtocolError when the record is inconsistent.
Login7 parseLogin7(std::span<const uint8_t> payload);

// The version this server speaks with a client that asked for `requested`.
// The client's version, lowered to the highest this server answers with.
uint32_t negotiatedVersion(uint32_t requested, uint32_t highest);
bool isTds72OrLater(uint32_t version);

// Checks the client's PRELOGIN and builds the answer: no encryption, no MARS.
std::vector<uint8_t> preLoginResponse(std::span<const uint8_t> request,
                                      const ServerVersion& version);

} // namespace ztds::tds
