#include "devserver/net/tls.h"

#include "devserver/net/packet_channel.h"

#include <gnutls/crypto.h>

#include <asio.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <stdexcept>

namespace ztds::net {

namespace {

// Bounds the retries after non-fatal GnuTLS results (warning alerts), which a client could
// otherwise send without end.
constexpr int maxRetries = 16;
constexpr int rsaBits = 2048;
constexpr time_t certificateLifetime = 365 * 24 * 3600;

struct PrivateKeyDeleter {
    void operator()(gnutls_x509_privkey_t p) const { gnutls_x509_privkey_deinit(p); }
};
struct CertificateDeleter {
    void operator()(gnutls_x509_crt_t p) const { gnutls_x509_crt_deinit(p); }
};
using PrivateKey = std::unique_ptr<gnutls_x509_privkey_int, PrivateKeyDeleter>;
using Certificate = std::unique_ptr<gnutls_x509_crt_int, CertificateDeleter>;

void check(int code, const std::string& what) {
    if (code < 0)
        throw std::runtime_error(what + ": " + gnutls_strerror(code));
}

// The listen host goes into the subject alternative name as well, as an address when it is
// one: clients that check the name look there.
void setAlternativeName(gnutls_x509_crt_t certificate, const std::string& host) {
    asio::error_code error;
    const auto address = asio::ip::make_address(host, error);
    if (error) {
        check(gnutls_x509_crt_set_subject_alt_name(certificate, GNUTLS_SAN_DNSNAME, host.data(),
                                                   unsigned(host.size()), GNUTLS_FSAN_SET),
              "certificate name");
    } else if (address.is_v4()) {
        const auto bytes = address.to_v4().to_bytes();
        check(gnutls_x509_crt_set_subject_alt_name(certificate, GNUTLS_SAN_IPADDRESS, bytes.data(),
                                                   unsigned(bytes.size()), GNUTLS_FSAN_SET),
              "certificate address");
    } else {
        const auto bytes = address.to_v6().to_bytes();
        check(gnutls_x509_crt_set_subject_alt_name(certificate, GNUTLS_SAN_IPADDRESS, bytes.data(),
                                                   unsigned(bytes.size()), GNUTLS_FSAN_SET),
              "certificate address");
    }
}

// As SQL Server does without a configured certificate: a fresh self-signed one at each start.
void addSelfSignedCertificate(gnutls_certificate_credentials_t credentials,
                              const std::string& host) {
    const std::string commonName = host.empty() ? std::string("localhost") : host;
    gnutls_x509_privkey_t rawKey = nullptr;
    check(gnutls_x509_privkey_init(&rawKey), "private key");
    const PrivateKey key(rawKey);
    check(gnutls_x509_privkey_generate(key.get(), GNUTLS_PK_RSA, rsaBits, 0), "RSA key");

    gnutls_x509_crt_t rawCertificate = nullptr;
    check(gnutls_x509_crt_init(&rawCertificate), "certificate");
    const Certificate certificate(rawCertificate);
    gnutls_x509_crt_t crt = certificate.get();
    std::array<uint8_t, 16> serial{};
    check(gnutls_rnd(GNUTLS_RND_NONCE, serial.data(), serial.size()), "serial number");
    serial[0] &= 0x7F; // a positive number
    const time_t now = std::time(nullptr);
    check(gnutls_x509_crt_set_version(crt, 3), "certificate version");
    check(gnutls_x509_crt_set_serial(crt, serial.data(), serial.size()), "serial number");
    check(gnutls_x509_crt_set_activation_time(crt, now - 3600), "certificate start");
    check(gnutls_x509_crt_set_expiration_time(crt, now + certificateLifetime), "certificate end");
    check(gnutls_x509_crt_set_dn_by_oid(crt, GNUTLS_OID_X520_COMMON_NAME, 0, commonName.data(),
                                        unsigned(commonName.size())),
          "certificate subject");
    setAlternativeName(crt, commonName);
    check(gnutls_x509_crt_set_key(crt, key.get()), "certificate key");
    check(gnutls_x509_crt_set_basic_constraints(crt, 0, -1), "certificate constraints");
    // Key encipherment too: TLS 1.0 clients and RSA key exchange ciphers need it.
    check(gnutls_x509_crt_set_key_usage(crt,
                                        GNUTLS_KEY_DIGITAL_SIGNATURE | GNUTLS_KEY_KEY_ENCIPHERMENT),
          "certificate key usage");
    check(gnutls_x509_crt_set_key_purpose_oid(crt, GNUTLS_KP_TLS_WWW_SERVER, 0),
          "certificate purpose");
    check(gnutls_x509_crt_sign2(crt, crt, key.get(), GNUTLS_DIG_SHA256, 0), "signing");
    check(gnutls_certificate_set_x509_key(credentials, &crt, 1, key.get()), "certificate");
}

void addCertificateFiles(gnutls_certificate_credentials_t credentials,
                         const std::filesystem::path& certificateFile,
                         const std::filesystem::path& keyFile) {
    for (const auto& file : {certificateFile, keyFile}) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error))
            throw std::runtime_error(file.string() + ": no such file");
    }
    const int code = gnutls_certificate_set_x509_key_file(credentials, certificateFile.c_str(),
                                                          keyFile.c_str(), GNUTLS_X509_FMT_PEM);
    if (code < 0)
        throw std::runtime_error("certificate " + certificateFile.string() + " with key " +
                                 keyFile.string() + ": " + gnutls_strerror(code));
}

} // namespace

TlsCredentials::TlsCredentials(const TlsSettings& settings) {
    gnutls_certificate_credentials_t rawCertificate = nullptr;
    check(gnutls_certificate_allocate_credentials(&rawCertificate), "TLS credentials");
    certificate_.reset(rawCertificate);
    if (settings.certificateFile.empty())
        addSelfSignedCertificate(certificate_.get(), settings.commonName);
    else
        addCertificateFiles(certificate_.get(), settings.certificateFile, settings.keyFile);

    const std::string text = settings.priority.empty() ? defaultPriority : settings.priority;
    gnutls_priority_t rawPriority = nullptr;
    const char* errorAt = nullptr;
    const int code = gnutls_priority_init(&rawPriority, text.c_str(), &errorAt);
    if (code < 0)
        throw std::runtime_error("TLS priority '" + text + "' is invalid" +
                                 (errorAt ? " at '" + std::string(errorAt) + "'" : "") + ": " +
                                 gnutls_strerror(code));
    priority_.reset(rawPriority);
}

TlsSession::TlsSession(const TlsCredentials& credentials, PacketChannel& channel)
    : channel_(channel) {
    gnutls_session_t raw = nullptr;
    // No TLS 1.3 tickets: sent after the handshake they would arrive outside PRELOGIN.
    if (gnutls_init(&raw, GNUTLS_SERVER | GNUTLS_NO_TICKETS) < 0)
        throw std::bad_alloc();
    session_.reset(raw);
    if (gnutls_priority_set(raw, credentials.priority()) < 0 ||
        gnutls_credentials_set(raw, GNUTLS_CRD_CERTIFICATE, credentials.certificate()) < 0)
        throw ProtocolError("cannot set up TLS for this connection");
    gnutls_certificate_server_set_request(raw, GNUTLS_CERT_IGNORE);
    gnutls_transport_set_ptr(raw, this);
    gnutls_transport_set_pull_function(raw, &TlsSession::pull);
    gnutls_transport_set_push_function(raw, &TlsSession::push);
}

void TlsSession::handshake() {
    int code = GNUTLS_E_AGAIN;
    for (int attempt = 0; attempt < maxRetries && code < 0; ++attempt) {
        code = gnutls_handshake(session_.get());
        if (code < 0 && gnutls_error_is_fatal(code)) {
            sendAlert(code);
            fail(code, "TLS handshake failed");
        }
    }
    if (code < 0)
        fail(code, "TLS handshake failed");
    flushWrapped();
    if (inboundOffset_ != inbound_.size())
        throw ProtocolError("data after the TLS handshake in a PRELOGIN packet");
    wrapped_ = false;
    inbound_ = {};
    inboundOffset_ = 0;
}

size_t TlsSession::read(std::span<uint8_t> buffer) {
    for (int attempt = 0; attempt < maxRetries; ++attempt) {
        const ssize_t got = gnutls_record_recv(session_.get(), buffer.data(), buffer.size());
        if (got >= 0)
            return size_t(got);
        if (transportFailure_)
            std::rethrow_exception(transportFailure_);
        if (got == GNUTLS_E_PREMATURE_TERMINATION)
            return 0; // the client closed the socket without a TLS close: the same to us
        if (gnutls_error_is_fatal(int(got)) || got == GNUTLS_E_REHANDSHAKE)
            fail(int(got), "TLS");
    }
    throw ProtocolError("TLS: too many warnings from the client");
}

void TlsSession::write(std::span<const uint8_t> bytes) {
    size_t sent = 0;
    int retries = 0;
    while (sent < bytes.size()) {
        const ssize_t wrote =
            gnutls_record_send(session_.get(), bytes.data() + sent, bytes.size() - sent);
        if (wrote > 0) {
            sent += size_t(wrote);
            continue;
        }
        if (wrote == 0 || gnutls_error_is_fatal(int(wrote)) || ++retries > maxRetries)
            fail(int(wrote), "TLS");
    }
}

std::string TlsSession::description() const {
    gnutls_session_t session = session_.get();
    const char* version = gnutls_protocol_get_name(gnutls_protocol_get_version(session));
    const char* suite = gnutls_cipher_suite_get_name(
        gnutls_kx_get(session), gnutls_cipher_get(session), gnutls_mac_get(session));
    return std::string(version ? version : "TLS") + ' ' + (suite ? suite : "");
}

// Tells the client why, as a TLS alert in a PRELOGIN packet, so that it reports more than a
// closed connection; best effort, the connection ends anyway.
void TlsSession::sendAlert(int code) {
    if (transportFailure_)
        return;
    gnutls_alert_send_appropriate(session_.get(), code);
    try {
        flushWrapped();
    } catch (...) {
        transportFailure_ = nullptr; // the handshake's own error is the one to report
    }
}

void TlsSession::fail(int code, const char* what) {
    if (transportFailure_)
        std::rethrow_exception(std::exchange(transportFailure_, nullptr));
    std::string text = std::string(what) + ": " + gnutls_strerror(code);
    if (code == GNUTLS_E_FATAL_ALERT_RECEIVED || code == GNUTLS_E_WARNING_ALERT_RECEIVED)
        text += std::string(" (") + gnutls_alert_get_name(gnutls_alert_get(session_.get())) + ")";
    throw ProtocolError(text);
}

// GnuTLS is C: exceptions must not unwind through it. The callbacks keep what they caught,
// report EIO, and the caller of the GnuTLS function rethrows it.
ssize_t TlsSession::pull(gnutls_transport_ptr_t self, void* data, size_t size) {
    auto& tls = *static_cast<TlsSession*>(self);
    try {
        const std::span buffer(static_cast<uint8_t*>(data), size);
        return ssize_t(tls.wrapped_ ? tls.pullWrapped(buffer) : tls.channel_.readRaw(buffer));
    } catch (...) {
        tls.transportFailure_ = std::current_exception();
        gnutls_transport_set_errno(tls.session_.get(), EIO);
        return -1;
    }
}

ssize_t TlsSession::push(gnutls_transport_ptr_t self, const void* data, size_t size) {
    auto& tls = *static_cast<TlsSession*>(self);
    try {
        const std::span bytes(static_cast<const uint8_t*>(data), size);
        if (tls.wrapped_)
            tls.outbound_.insert(tls.outbound_.end(), bytes.begin(), bytes.end());
        else
            tls.channel_.writeRaw(bytes);
        return ssize_t(size);
    } catch (...) {
        tls.transportFailure_ = std::current_exception();
        gnutls_transport_set_errno(tls.session_.get(), EIO);
        return -1;
    }
}

// The server's records of one flight go out as one PRELOGIN message when GnuTLS next waits
// for the client: tedious answers each message with exactly one message of its own.
size_t TlsSession::pullWrapped(std::span<uint8_t> buffer) {
    if (inboundOffset_ == inbound_.size()) {
        flushWrapped();
        auto message = channel_.readMessage();
        if (!message)
            return 0;
        if (message->type != tds::packet_type::PreLogin)
            throw ProtocolError("packet type " + std::to_string(message->type) +
                                " during the TLS handshake");
        if (message->payload.empty())
            throw ProtocolError("empty PRELOGIN packet during the TLS handshake");
        inbound_ = std::move(message->payload);
        inboundOffset_ = 0;
    }
    const size_t count = std::min(buffer.size(), inbound_.size() - inboundOffset_);
    std::copy_n(inbound_.begin() + ptrdiff_t(inboundOffset_), count, buffer.begin());
    inboundOffset_ += count;
    return count;
}

void TlsSession::flushWrapped() {
    if (outbound_.empty())
        return;
    channel_.writeMessage(tds::packet_type::PreLogin, outbound_);
    outbound_.clear();
}

} // namespace ztds::net
