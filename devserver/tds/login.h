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

// What this server does about encryption: no certificate (ENCRYPT_NOT_SUP, all in clear), a
// certificate (the login at least is encrypted), or SQL Server's "force encryption".
enum class EncryptionPolicy { NotSupported, Offered, Forced };

// What the PRELOGIN exchange decided for this connection.
enum class Encryption {
    None,      // all in clear
    LoginOnly, // the first LOGIN7 packet inside TLS, then TLS ends
    Whole,     // TLS to the end of the connection
    Refused,   // the client cannot encrypt and the server insists: close after the answer
};

struct PreLoginAnswer {
    std::vector<uint8_t> response;
    Encryption encryption = Encryption::None;
};

// Checks the client's PRELOGIN and builds the answer: the encryption as MS-TDS's table of
// client and server values decides it, no MARS. Throws ProtocolError on a malformed request.
PreLoginAnswer preLoginResponse(std::span<const uint8_t> request, const ServerVersion& version,
                                EncryptionPolicy policy = EncryptionPolicy::NotSupported);

} // namespace ztds::tds
