#pragma once
// One client connection from PRELOGIN to close: reads requests, hands them to a session,
// writes the answers as TDS tokens.

#include "devserver/net/logger.h"
#include "devserver/net/tcp_server.h"
#include "devserver/session/session.h"
#include "devserver/tds/login.h"

#include <QString>

#include <chrono>
#include <functional>

namespace ztds::net {
class TlsCredentials;
}

namespace ztds::tds {

class TraceFile;

struct LoginRequest {
    QString user;
    QString password;
    QString database;
    QString appName;
    QString hostName;
    bool integratedSecurity = false;
};

// Engine::login in the server; tests may log in to sessions of their own.
using LoginFunction = std::function<Engine::LoginOutcome(const LoginRequest&)>;

struct ServerContext {
    LoginFunction login;
    TraceFile* trace = nullptr; // null: no trace
    net::Logger& logger;
    ServerVersion version = latestServerVersion();
    // A client that has not logged in by then is disconnected.
    std::chrono::milliseconds loginTimeout = std::chrono::seconds(30);
    // For tests of slow servers: every answer waits this long before it is sent.
    std::chrono::milliseconds responseDelay{0};
    // Null: no certificate, every connection in clear (ENCRYPT_NOT_SUP).
    const net::TlsCredentials* tls = nullptr;
    bool forceEncryption = false;
};

// Returns when the client disconnects or breaks the protocol (logged, connection closed).
void serveConnection(net::ConnectionContext& connection, const ServerContext& server);

} // namespace ztds::tds
