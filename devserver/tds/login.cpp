#include "devserver/tds/login.h"

#include "devserver/tds/byte_buffer.h"
#include "devserver/tds/server_identity.h"

#include <array>

namespace ztds::tds {

namespace {

constexpr size_t login7FixedSize = 86; // the fixed part as TDS 7.0 and 7.1 send it

// Client passwords arrive with each byte's nibbles swapped and then XORed with 0xA5.
QString decodePassword(std::span<const uint8_t> scrambled) {
    std::vector<uint8_t> plain(scrambled.begin(), scrambled.end());
    for (auto& byte : plain) {
        const uint8_t unmasked = byte ^ 0xA5;
        byte = uint8_t((unmasked << 4) | (unmasked >> 4));
    }
    return utf16ToString(plain);
}

struct OffsetLength {
    uint16_t offset = 0;
    uint16_t length = 0;
};

OffsetLength readOffsetLength(ByteReader& reader) {
    OffsetLength field;
    field.offset = reader.u16();
    field.length = reader.u16();
    return field;
}

std::span<const uint8_t> fieldBytes(std::span<const uint8_t> record, OffsetLength field,
                                    size_t bytesPerUnit) {
    const size_t size = size_t(field.length) * bytesPerUnit;
    if (size == 0)
        return {};
    if (field.offset > record.size() || size > record.size() - field.offset)
        throw ProtocolError("LOGIN7 field lies outside the record");
    return record.subspan(field.offset, size);
}

QString fieldText(std::span<const uint8_t> record, OffsetLength field) {
    return utf16ToString(fieldBytes(record, field, 2));
}

} // namespace

Login7 parseLogin7(std::span<const uint8_t> payload) {
    if (payload.size() < login7FixedSize)
        throw ProtocolError("LOGIN7 record is too short");
    ByteReader reader(payload);
    const uint32_t length = reader.u32();
    if (length < login7FixedSize || length > payload.size())
        throw ProtocolError("LOGIN7 length field is inconsistent");
    const auto record = payload.first(length);

    Login7 login;
    login.tdsVersion = reader.u32();
    login.packetSize = reader.u32();
    reader.skip(4 + 4 + 4); // client program version, process id, connection id
    reader.skip(1);         // option flags 1
    const uint8_t optionFlags2 = reader.u8();
    login.integratedSecurity = (optionFlags2 & optionFlags2IntegratedSecurity) != 0;
    reader.skip(1 + 1 + 4 + 4); // type flags, option flags 3, time zone, LCID

    const auto host = readOffsetLength(reader);
    const auto user = readOffsetLength(reader);
    const auto password = readOffsetLength(reader);
    const auto app = readOffsetLength(reader);
    const auto server = readOffsetLength(reader);
    readOffsetLength(reader); // extension
    const auto library = readOffsetLength(reader);
    const auto language = readOffsetLength(reader);
    const auto database = readOffsetLength(reader);

    login.hostName = fieldText(record, host);
    login.userName = fieldText(record, user);
    login.password = decodePassword(fieldBytes(record, password, 2));
    login.appName = fieldText(record, app);
    login.serverName = fieldText(record, server);
    login.libraryName = fieldText(record, library);
    login.language = fieldText(record, language);
    login.database = fieldText(record, database);
    return login;
}

uint32_t negotiatedVersion(uint32_t requested, uint32_t highest) {
    using namespace tds_version;
    requested = std::min(requested, highest);
    if (requested >= V7_4)
        return V7_4;
    if (requested >= V7_3A)
        return requested >= V7_3B ? V7_3B : V7_3A;
    if (requested >= V7_2)
        return V7_2;
    if (requested >= V7_1)
        return V7_1;
    return V7_0;
}

bool isTds72OrLater(uint32_t version) {
    return version >= tds_version::V7_2;
}

namespace {

// Walks the client's option list so that garbage is refused before any login; returns the
// client's ENCRYPTION value (a client that sends none cannot encrypt).
uint8_t clientEncryption(std::span<const uint8_t> request) {
    ByteReader reader(request);
    uint8_t value = encrypt::NotSupported;
    for (;;) {
        const uint8_t token = reader.u8();
        if (token == prelogin_option::Terminator)
            break;
        const uint16_t offset = reader.u16BigEndian();
        const uint16_t length = reader.u16BigEndian();
        if (size_t(offset) + length > request.size())
            throw ProtocolError("PRELOGIN option lies outside the message");
        if (token == prelogin_option::Encryption && length >= 1)
            value = request[offset];
    }
    value &= uint8_t(~encrypt::ClientCertificate);
    if (value > encrypt::Required)
        throw ProtocolError("PRELOGIN encryption value " + std::to_string(value) + " is unknown");
    return value;
}

struct Decision {
    uint8_t answer;
    Encryption encryption;
};

Decision decide(uint8_t client, EncryptionPolicy policy) {
    const bool clientCan = client != encrypt::NotSupported;
    const bool clientWants = client == encrypt::On || client == encrypt::Required;
    switch (policy) {
    case EncryptionPolicy::NotSupported:
        return {encrypt::NotSupported, Encryption::None};
    case EncryptionPolicy::Offered:
        if (!clientCan)
            return {encrypt::NotSupported, Encryption::None};
        return clientWants ? Decision{encrypt::On, Encryption::Whole}
                           : Decision{encrypt::Off, Encryption::LoginOnly};
    case EncryptionPolicy::Forced:
        return {encrypt::Required, clientCan ? Encryption::Whole : Encryption::Refused};
    }
    return {encrypt::NotSupported, Encryption::None};
}

} // namespace

PreLoginAnswer preLoginResponse(std::span<const uint8_t> request, const ServerVersion& version,
                                EncryptionPolicy policy) {
    const Decision decision = decide(clientEncryption(request), policy);
    const std::array<std::pair<uint8_t, std::vector<uint8_t>>, 5> options{{
        {prelogin_option::Version,
         {version.major, version.minor, uint8_t(version.build >> 8), uint8_t(version.build & 0xFF),
          0, 0}},
        {prelogin_option::Encryption, {decision.answer}},
        {prelogin_option::InstOpt, {0}},
        {prelogin_option::ThreadId, {}},
        {prelogin_option::Mars, {0}},
    }};
    const size_t headerSize = options.size() * 5 + 1;
    ByteWriter header;
    ByteWriter body;
    for (const auto& [token, value] : options) {
        const size_t offset = headerSize + body.size();
        header.u8(token);
        header.u8(uint8_t(offset >> 8));
        header.u8(uint8_t(offset & 0xFF));
        header.u8(uint8_t(value.size() >> 8));
        header.u8(uint8_t(value.size() & 0xFF));
        body.bytes(value);
    }
    header.u8(prelogin_option::Terminator);
    header.bytes(body.data());
    return {std::move(header.data()), decision.encryption};
}

} // namespace ztds::tds
