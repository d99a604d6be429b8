#pragma once
// A TDS client that writes packets by hand, to send what no well-behaved driver would.

#include "devserver/tds/byte_buffer.h"

#include <asio.hpp>

#include <QString>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace zt::test {

class RawTdsClient {
public:
    bool connect(quint16 port) {
        asio::error_code error;
        socket_.connect({asio::ip::address_v4::loopback(), port}, error);
        if (error)
            return false;
        // A server that neither answers nor closes fails the test instead of hanging it.
        const timeval timeout{10, 0};
        ::setsockopt(socket_.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        return true;
    }

    bool sendBytes(const std::vector<uint8_t>& bytes) {
        asio::error_code error;
        asio::write(socket_, asio::buffer(bytes), error);
        return !error;
    }

    bool sendMessage(uint8_t type, const std::vector<uint8_t>& payload) {
        const size_t length = payload.size() + 8;
        std::vector<uint8_t> packet{type, 1, uint8_t(length >> 8), uint8_t(length & 0xFF), 0, 0,
                                    1,    0};
        packet.insert(packet.end(), payload.begin(), payload.end());
        return sendBytes(packet);
    }

    // The payload of the server's next message; nullopt when it closed the connection.
    std::optional<std::vector<uint8_t>> readMessage() {
        std::vector<uint8_t> payload;
        for (;;) {
            uint8_t header[8];
            asio::error_code error;
            asio::read(socket_, asio::buffer(header), error);
            if (error)
                return std::nullopt;
            const size_t length = (size_t(header[2]) << 8) | header[3];
            if (length < 8)
                return std::nullopt;
            const size_t offset = payload.size();
            payload.resize(offset + length - 8);
            asio::read(socket_, asio::buffer(payload.data() + offset, length - 8), error);
            if (error)
                return std::nullopt;
            if (header[1] & 1)
                return payload;
        }
    }

    // True when the server ends the connection (end of stream) rather than answering.
    bool closedByServer() {
        uint8_t byte = 0;
        asio::error_code error;
        for (;;) {
            socket_.read_some(asio::buffer(&byte, 1), error);
            if (error)
                return error == asio::error::eof || error == asio::error::connection_reset;
        }
    }

    static std::vector<uint8_t> preLogin() {
        // VERSION and ENCRYPTION (not supported: this client cannot do TLS), then the terminator.
        return {0x00, 0x00, 0x0B, 0x00, 0x06, 0x01, 0x00, 0x11, 0x00,
                0x01, 0xFF, 0x0B, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x02};
    }

    static std::vector<uint8_t> login7(const QString& user, const QString& password,
                                       const QString& database) {
        using ztds::tds::ByteWriter;
        constexpr uint16_t fixedSize = 94;
        const QString fields[] = {QStringLiteral("testhost"),
                                  user,
                                  password,
                                  QStringLiteral("raw-test"),
                                  QStringLiteral("127.0.0.1"),
                                  QString(),
                                  QStringLiteral("raw"),
                                  QString(),
                                  database};
        ByteWriter variable;
        ByteWriter offsets;
        for (size_t i = 0; i < std::size(fields); ++i) {
            offsets.u16(uint16_t(fixedSize + variable.size()));
            offsets.u16(uint16_t(fields[i].size()));
            const size_t start = variable.size();
            variable.utf16(fields[i]);
            if (i == 2) // the password travels with nibbles swapped and XORed with 0xA5
                for (size_t b = start; b < variable.size(); ++b) {
                    uint8_t& byte = variable.data()[b];
                    byte = uint8_t(((byte << 4) | (byte >> 4)) ^ 0xA5);
                }
        }
        ByteWriter record;
        record.u32(uint32_t(fixedSize + variable.size()));
        record.u32(0x74000004); // TDS 7.4
        record.u32(4096);       // packet size
        record.u32(0);
        record.u32(1234);
        record.u32(0);
        record.u8(0xE0);
        record.u8(0x03);
        record.u8(0);
        record.u8(0);
        record.u32(0);
        record.u32(0x0804);
        record.bytes(offsets.data());
        for (int i = 0; i < 6; ++i)
            record.u8(0);             // client id
        for (int i = 0; i < 3; ++i) { // SSPI, attached file, new password: all empty
            record.u16(uint16_t(fixedSize + variable.size()));
            record.u16(0);
        }
        record.u32(0); // long SSPI
        record.bytes(variable.data());
        return record.data();
    }

    // PRELOGIN and LOGIN7; true when the server acknowledged the login.
    bool logIn(quint16 port) {
        if (!connect(port) || !sendMessage(18, preLogin()) || !readMessage())
            return false;
        if (!sendMessage(16, login7(QStringLiteral("sa"), QString(), QString())))
            return false;
        const auto answer = readMessage();
        return answer && std::find(answer->begin(), answer->end(), uint8_t(0xAD)) != answer->end();
    }

private:
    asio::io_context io_;
    asio::ip::tcp::socket socket_{io_};
};

} // namespace zt::test
