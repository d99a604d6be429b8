#pragma once
// TLS with GnuTLS as SQL Server speaks it over TDS 7.x: the handshake travels inside PRELOGIN
// packets; after it, TLS records travel on the socket and carry the TDS packets.

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ztds::net {

class PacketChannel;

struct TlsSettings {
    // Both empty: a self-signed certificate for commonName is made in memory.
    std::filesystem::path certificateFile; // PEM
    std::filesystem::path keyFile;         // PEM
    std::string commonName;
    // GnuTLS priority string; empty: defaultPriority.
    std::string priority;
};

// What every connection shares: the certificate, its key and the allowed protocol versions
// and ciphers. Read-only after construction, so connection threads may use it at once.
class TlsCredentials {
public:
    // TDS 7.x with SQL Server goes no further than TLS 1.2 (1.3 needs TDS 8's strict mode).
    static constexpr const char* defaultPriority = "NORMAL:-VERS-TLS1.3";

    // Throws std::runtime_error with a one-line reason when the certificate, the key or the
    // priority string is unusable.
    explicit TlsCredentials(const TlsSettings& settings);

    gnutls_certificate_credentials_t certificate() const { return certificate_.get(); }
    gnutls_priority_t priority() const { return priority_.get(); }

private:
    struct CertificateDeleter {
        void operator()(gnutls_certificate_credentials_t p) const {
            gnutls_certificate_free_credentials(p);
        }
    };
    struct PriorityDeleter {
        void operator()(gnutls_priority_t p) const { gnutls_priority_deinit(p); }
    };
    std::unique_ptr<gnutls_certificate_credentials_st, CertificateDeleter> certificate_;
    std::unique_ptr<gnutls_priority_st, PriorityDeleter> priority_;
};

// One connection's TLS, server side. The handshake reads and writes PRELOGIN messages through
// the channel, which must not route through this session until handshake() returned.
class TlsSession {
public:
    TlsSession(const TlsCredentials& credentials, PacketChannel& channel);

    // Throws ProtocolError when the client's handshake is broken or finds nothing in common,
    // TimeoutError past the channel's deadline, asio::system_error on socket failures.
    void handshake();
    // Decrypted bytes, at least one; 0 when the client closed the connection.
    size_t read(std::span<uint8_t> buffer);
    void write(std::span<const uint8_t> bytes);
    // "TLS1.2 ECDHE-RSA-AES-256-GCM", for the log.
    std::string description() const;

private:
    struct SessionDeleter {
        void operator()(gnutls_session_t p) const { gnutls_deinit(p); }
    };

    static ssize_t pull(gnutls_transport_ptr_t self, void* data, size_t size);
    static ssize_t push(gnutls_transport_ptr_t self, const void* data, size_t size);
    size_t pullWrapped(std::span<uint8_t> buffer);
    void flushWrapped();
    void sendAlert(int code);
    // After a failed GnuTLS call: the exception a transport callback caught, else one
    // from the GnuTLS error code.
    [[noreturn]] void fail(int code, const char* what);

    PacketChannel& channel_;
    std::unique_ptr<gnutls_session_int, SessionDeleter> session_;
    bool wrapped_ = true; // still in the handshake: records travel in PRELOGIN packets
    std::vector<uint8_t> inbound_;
    size_t inboundOffset_ = 0;
    std::vector<uint8_t> outbound_;
    std::exception_ptr transportFailure_;
};

} // namespace ztds::net
