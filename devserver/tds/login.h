#pragma once
// The two messages that open a connection: PRELOGIN and LOGIN7.

#include "devserver/values/server_version.h"
#include "devserver/values/wire_constants.h"

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace ztds::tds {

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
