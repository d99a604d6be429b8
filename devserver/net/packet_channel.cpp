#include "devserver/net/packet_channel.h"

#include "devserver/net/tls.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <string>

namespace ztds::net {

namespace {
constexpr uint8_t statusEndOfMessage = tds::packet_status::EndOfMessage;
constexpr uint8_t statusIgnore = tds::packet_status::Ignore;

bool knownType(uint8_t type) {
    switch (type) {
    case tds::packet_type::SqlBatch:
    case tds::packet_type::PreTds7Login:
    case tds::packet_type::Rpc:
    case tds::packet_type::Attention:
    case tds::packet_type::BulkLoad:
    case tds::packet_type::TransactionManager:
    case tds::packet_type::Login7:
    case tds::packet_type::Sspi:
    case tds::packet_type::PreLogin:
        return true;
    default:
        return false;
    }
}
} // namespace

void PacketChannel::waitReadable() {
    using namespace std::chrono;
    for (;;) {
        const auto left = duration_cast<milliseconds>(*deadline_ - steady_clock::now()).count();
        if (left <= 0)
            throw TimeoutError("the client did not log in in time");
        pollfd fd{socket_.native_handle(), POLLIN, 0};
        const int ready = ::poll(&fd, 1, int(std::min<long long>(left, 1000)));
        if (ready > 0)
            return;
        if (ready < 0 && errno != EINTR)
            throw asio::system_error(asio::error_code(errno, asio::error::get_system_category()));
    }
}

size_t PacketChannel::readRaw(std::span<uint8_t> buffer) {
    if (deadline_)
        waitReadable();
    asio::error_code error;
    const size_t read = socket_.read_some(asio::buffer(buffer.data(), buffer.size()), error);
    if (error == asio::error::eof)
        return 0;
    if (error)
        throw asio::system_error(error);
    return read;
}

void PacketChannel::writeRaw(std::span<const uint8_t> bytes) {
    asio::write(socket_, asio::buffer(bytes.data(), bytes.size()));
}

size_t PacketChannel::readSome(std::span<uint8_t> buffer) {
    return tls_ ? tls_->read(buffer) : readRaw(buffer);
}

bool PacketChannel::readExactly(std::span<uint8_t> buffer, bool eofAllowed) {
    size_t read = 0;
    while (read < buffer.size()) {
        const size_t got = readSome(buffer.subspan(read));
        if (got == 0 && read == 0 && eofAllowed)
            return false;
        if (got == 0)
            throw ProtocolError("connection closed in the middle of a packet");
        read += got;
    }
    return true;
}

std::optional<Message> PacketChannel::readMessage() {
    Message message;
    bool first = true;
    for (;;) {
        std::array<uint8_t, headerSize> header{};
        if (!readExactly(header, first))
            return std::nullopt;
        const uint8_t type = header[0];
        const uint8_t status = header[1];
        const size_t length = (size_t(header[2]) << 8) | header[3];
        if (!knownType(type))
            throw ProtocolError("unknown packet type " + std::to_string(type));
        if (length < headerSize)
            throw ProtocolError("packet length " + std::to_string(length) + " is too small");
        if (length > maxPacketSize)
            throw ProtocolError("packet length " + std::to_string(length) + " is too large");
        if (!first && type != message.type)
            throw ProtocolError("packet type changed within a message");
        if (message.payload.size() + length - headerSize > messageLimit_)
            throw ProtocolError("message exceeds " + std::to_string(messageLimit_) + " bytes");
        if (first) {
            message.type = type;
            message.status = status;
        }
        const size_t offset = message.payload.size();
        message.payload.resize(offset + length - headerSize);
        readExactly(std::span(message.payload).subspan(offset), false);
        if (tlsForOnePacket_) // the rest of the message, if any, comes in clear
            setTls(nullptr);
        first = false;
        if (status & statusEndOfMessage) {
            if (status & statusIgnore) {
                // The client withdrew this message; it still expects an answer.
                message.payload = {};
                message.ignored = true;
            }
            return message;
        }
    }
}

void PacketChannel::writeMessage(uint8_t type, std::span<const uint8_t> payload) {
    const size_t chunkSize = packetSize_ - headerSize;
    std::vector<uint8_t> packet;
    packet.reserve(packetSize_);
    uint8_t packetNumber = 1;
    size_t offset = 0;
    do {
        const size_t chunk = std::min(chunkSize, payload.size() - offset);
        const bool last = offset + chunk == payload.size();
        const size_t length = chunk + headerSize;
        packet.assign({type, uint8_t(last ? statusEndOfMessage : 0), uint8_t(length >> 8),
                       uint8_t(length & 0xFF), uint8_t(spid_ >> 8), uint8_t(spid_ & 0xFF),
                       packetNumber, 0});
        packet.insert(packet.end(), payload.begin() + offset, payload.begin() + offset + chunk);
        if (tls_)
            tls_->write(packet);
        else
            writeRaw(packet);
        offset += chunk;
        ++packetNumber; // wraps at 256, as the protocol intends
    } while (offset < payload.size());
}

void PacketChannel::setPacketSize(size_t size) {
    packetSize_ = std::clamp<size_t>(size, 512, maxPacketSize - 1);
}

} // namespace ztds::net
