#pragma once
// Accepts TCP connections and serves each on its own thread with blocking reads.
// stop() ends the accept loop and wakes every connection so that all threads finish.

#include "devserver/net/logger.h"

#include <asio.hpp>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace ztds::net {

struct ConnectionContext {
    asio::ip::tcp::socket& socket;
    std::string peer; // "address:port"
    int id = 0;       // numbers connections from 1, for the log
    // Beyond the connection limit: the handler tells the client so and closes.
    bool overLimit = false;
    int limit = 0;
};

class TcpServer {
public:
    using Handler = std::function<void(ConnectionContext&)>;

    // Default for the connection limit, as SQL Server's user connections option allows many more.
    static constexpr int defaultMaxConnections = 256;
    // Connections past the limit that are still being told so; beyond this they are just closed.
    static constexpr int refusalSlots = 32;

    // Binds and listens at once; throws std::system_error when the endpoint is unusable.
    TcpServer(asio::io_context& context, const asio::ip::tcp::endpoint& endpoint, Handler handler,
              Logger& logger, int maxConnections = defaultMaxConnections);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    uint16_t port() const { return port_; }
    // Thread-safe. Closes the listening socket and shuts every open connection down.
    void stop();

private:
    struct Connection;
    void acceptNext();
    void accepted(const std::shared_ptr<Connection>& connection);
    // accept() failed (no descriptors, no memory): wait a little, log at most once a second.
    void backOff(const asio::error_code& error);
    void serve(const std::shared_ptr<Connection>& connection);
    void reapFinished();
    void joinAll();

    asio::io_context& context_;
    asio::ip::tcp::acceptor acceptor_;
    Handler handler_;
    Logger& logger_;
    uint16_t port_ = 0;
    int maxConnections_;
    asio::steady_timer retryTimer_;
    int failedAccepts_ = 0; // since the last line in the log
    std::chrono::steady_clock::time_point lastFailureLog_{};
    int lastConnectionId_ = 0;
    std::mutex mutex_;
    bool stopping_ = false;
    std::list<std::shared_ptr<Connection>> connections_;
};

// Parses "HOST:PORT" or "[V6ADDRESS]:PORT"; throws std::invalid_argument with a readable text.
asio::ip::tcp::endpoint parseListenAddress(const std::string& text, asio::io_context& context);

} // namespace ztds::net
