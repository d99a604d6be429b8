#pragma once
// TDS framing: messages travel as packets of at most the negotiated size, each with an
// 8-byte header (type, status, big-endian length, SPID, packet number, window).

#include "devserver/values/wire_constants.h"

#include <asio.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace ztds::net {

// The peer broke the framing rules; the connection cannot go on.
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The peer did not finish in time (the login deadline).
class TimeoutError : public ProtocolError {
public:
    using ProtocolError::ProtocolError;
};

struct Message {
    uint8_t type = 0;
    uint8_t status = 0;   // status bits of the first packet (reset-connection flags)
    bool ignored = false; // the client withdrew it (IGNORE bit); payload is empty
    std::vector<uint8_t> payload;
};

class TlsSession;

class PacketChannel {
public:
    static constexpr size_t headerSize = 8;
    static constexpr size_t defaultPacketSize = 4096;
    // The largest packet a client may send; the length field allows more, SQL Server does not.
    static constexpr size_t maxPacketSize = 32768;
    // Guards memory against a client that never ends a message.
    static constexpr size_t maxMessageSize = 64 * 1024 * 1024;
    // Before login a client is unknown: PRELOGIN and LOGIN7 are small, so is what it may hold.
    static constexpr size_t maxPreLoginMessageSize = 8 * 1024;

    explicit PacketChannel(asio::ip::tcp::socket& socket) : socket_(socket) {}

    // The next complete message; nullopt when the peer closed the connection between messages.
    // Throws ProtocolError on broken framing and asio::system_error on socket failures.
    std::optional<Message> readMessage();
    void writeMessage(uint8_t type, std::span<const uint8_t> payload);

    void setPacketSize(size_t size);
    size_t packetSize() const { return packetSize_; }
    void setSpid(uint16_t spid) { spid_ = spid; }
    void setMessageLimit(size_t bytes) { messageLimit_ = bytes; }
    // Packets travel inside this TLS session from now on; null: in clear again. With
    // onePacket, only the next packet read does (the LOGIN7 of login-only encryption).
    void setTls(TlsSession* tls, bool onePacket = false) {
        tls_ = tls;
        tlsForOnePacket_ = onePacket;
    }
    // The socket below any TLS: some bytes (0 when the peer closed), all bytes.
    size_t readRaw(std::span<uint8_t> buffer);
    void writeRaw(std::span<const uint8_t> bytes);
    // Reads past the deadline throw TimeoutError; nullopt: wait as long as it takes.
    void setDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) {
        deadline_ = deadline;
    }

private:
    bool readExactly(std::span<uint8_t> buffer, bool eofAllowed);
    size_t readSome(std::span<uint8_t> buffer);
    void waitReadable();

    asio::ip::tcp::socket& socket_;
    size_t packetSize_ = defaultPacketSize;
    uint16_t spid_ = 0;
    size_t messageLimit_ = maxMessageSize;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    TlsSession* tls_ = nullptr;
    bool tlsForOnePacket_ = false;
};

} // namespace ztds::net
