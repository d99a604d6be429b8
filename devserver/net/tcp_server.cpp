#include "devserver/net/tcp_server.h"

#include <sys/socket.h>

#include <atomic>
#include <charconv>
#include <stdexcept>
#include <thread>

namespace ztds::net {

struct TcpServer::Connection {
    explicit Connection(asio::io_context& context) : socket(context) {}
    asio::ip::tcp::socket socket;
    std::thread thread;
    std::atomic<bool> finished{false};
    bool overLimit = false;
};

TcpServer::TcpServer(asio::io_context& context, const asio::ip::tcp::endpoint& endpoint,
                     Handler handler, Logger& logger, int maxConnections)
    : context_(context), acceptor_(context), handler_(std::move(handler)), logger_(logger),
      maxConnections_(maxConnections), retryTimer_(context) {
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen();
    port_ = acceptor_.local_endpoint().port();
    acceptNext();
}

TcpServer::~TcpServer() {
    stop();
    joinAll();
}

void TcpServer::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        stopping_ = true;
        // A blocked read returns at once after shutdown(); the socket object stays with its thread.
        for (const auto& connection : connections_)
            ::shutdown(connection->socket.native_handle(), SHUT_RDWR);
    }
    asio::post(context_, [this] {
        asio::error_code ignored;
        acceptor_.close(ignored);
    });
}

void TcpServer::acceptNext() {
    auto connection = std::make_shared<Connection>(context_);
    acceptor_.async_accept(connection->socket, [this, connection](const asio::error_code& error) {
        if (!error) {
            accepted(connection);
            acceptNext();
        } else if (error != asio::error::operation_aborted && acceptor_.is_open()) {
            backOff(error);
        }
    });
}

void TcpServer::backOff(const asio::error_code& error) {
    using namespace std::chrono;
    ++failedAccepts_;
    const auto now = steady_clock::now();
    if (now - lastFailureLog_ >= seconds(1)) {
        logger_.line("accept failed: " + error.message() + " (" + std::to_string(failedAccepts_) +
                     (failedAccepts_ == 1 ? " time" : " times") + " since the last report)");
        failedAccepts_ = 0;
        lastFailureLog_ = now;
    }
    // Trying again at once would spin while the cause (often EMFILE) lasts.
    retryTimer_.expires_after(milliseconds(100));
    retryTimer_.async_wait([this](const asio::error_code& waitError) {
        if (!waitError && acceptor_.is_open())
            acceptNext();
    });
}

void TcpServer::accepted(const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(mutex_);
    if (stopping_)
        return;
    reapFinished();
    int active = 0;
    int refusing = 0;
    for (const auto& c : connections_)
        if (!c->finished)
            ++(c->overLimit ? refusing : active);
    if (active >= maxConnections_) {
        if (refusing >= refusalSlots)
            return; // the socket closes as the last reference goes
        connection->overLimit = true;
    }
    connections_.push_back(connection);
    connection->thread = std::thread([this, connection] { serve(connection); });
}

void TcpServer::serve(const std::shared_ptr<Connection>& connection) {
    int id = 0;
    {
        std::lock_guard lock(mutex_);
        id = ++lastConnectionId_;
    }
    asio::error_code error;
    const auto remote = connection->socket.remote_endpoint(error);
    std::string peer = error ? std::string("unknown peer")
                             : remote.address().to_string() + ':' + std::to_string(remote.port());
    connection->socket.set_option(asio::ip::tcp::no_delay(true), error);
    ConnectionContext context{connection->socket, std::move(peer), id, connection->overLimit,
                              maxConnections_};
    try {
        handler_(context);
    } catch (const std::exception& e) {
        logger_.line("connection " + std::to_string(id) + ": " + e.what());
    }
    {
        // Under the lock, so that stop() never shuts down a descriptor number already reused.
        std::lock_guard lock(mutex_);
        connection->socket.close(error);
    }
    connection->finished = true;
}

void TcpServer::reapFinished() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if ((*it)->finished) {
            (*it)->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void TcpServer::joinAll() {
    std::list<std::shared_ptr<Connection>> remaining;
    {
        std::lock_guard lock(mutex_);
        remaining.swap(connections_);
    }
    for (const auto& connection : remaining)
        if (connection->thread.joinable())
            connection->thread.join();
}

asio::ip::tcp::endpoint parseListenAddress(const std::string& text, asio::io_context& context) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        throw std::invalid_argument("expected HOST:PORT, got '" + text + "'");
    std::string host = text.substr(0, colon);
    const std::string portText = text.substr(colon + 1);
    unsigned port = 0;
    const auto [end, error] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc() || end != portText.data() + portText.size() || port > 65535)
        throw std::invalid_argument("invalid port '" + portText + "'");
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    asio::error_code parseError;
    const auto address = asio::ip::make_address(host, parseError);
    if (!parseError)
        return {address, static_cast<uint16_t>(port)};
    // A name such as "localhost": resolved locally, never as a service lookup.
    asio::ip::tcp::resolver resolver(context);
    asio::error_code resolveError;
    const auto results =
        resolver.resolve(host, portText, asio::ip::resolver_base::numeric_service, resolveError);
    if (resolveError || results.empty())
        throw std::invalid_argument("cannot resolve host '" + host + "'");
    return results.begin()->endpoint();
}

} // namespace ztds::net
