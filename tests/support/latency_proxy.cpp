#include "tests/support/latency_proxy.h"

#include <array>
#include <deque>
#include <vector>

namespace zt::test {

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
};

} // namespace

// One accepted client and its upstream connection. Each direction reads as fast as data comes
// and writes every chunk once its delay has passed, in order, so delays do not add up.
class ProxySession : public std::enable_shared_from_this<ProxySession> {
public:
    ProxySession(tcp::socket client, asio::io_context& io, Clock::duration oneWay,
                 std::atomic<long>& roundTrips)
        : client_(std::move(client)), server_(io), oneWay_(oneWay),
          roundTrips_(roundTrips), toServer_{asio::steady_timer(io), {}, false},
          toClient_{asio::steady_timer(io), {}, false} {}

    void start(const tcp::endpoint& upstream) {
        server_.async_connect(upstream, [self = shared_from_this()](const asio::error_code& error) {
            if (error)
                return self->shut();
            self->server_.set_option(tcp::no_delay(true));
            self->read(self->client_, self->server_, self->toServer_, true);
            self->read(self->server_, self->client_, self->toClient_, false);
        });
    }

    struct Direction {
        asio::steady_timer timer;
        std::deque<Chunk> queue;
        bool writing;
    };

    void read(tcp::socket& from, tcp::socket& to, Direction& direction, bool fromClient) {
        auto buffer = std::make_shared<std::array<char, 16384>>();
        from.async_read_some(
            asio::buffer(*buffer), [self = shared_from_this(), buffer, &from, &to, &direction,
                                    fromClient](const asio::error_code& error, std::size_t n) {
                if (error)
                    return self->shut();
                if (fromClient && self->serverSpokeLast_)
                    ++self->roundTrips_;
                self->serverSpokeLast_ = !fromClient;
                direction.queue.push_back(
                    {Clock::now() + self->oneWay_,
                     std::vector<char>(buffer->begin(), buffer->begin() + long(n))});
                if (!direction.writing)
                    self->writeNext(to, direction);
                self->read(from, to, direction, fromClient);
            });
    }

    void writeNext(tcp::socket& to, Direction& direction) {
        if (direction.queue.empty()) {
            direction.writing = false;
            return;
        }
        direction.writing = true;
        direction.timer.expires_at(direction.queue.front().due);
        direction.timer.async_wait(
            [self = shared_from_this(), &to, &direction](const asio::error_code& error) {
                if (error)
                    return self->shut();
                asio::async_write(
                    to, asio::buffer(direction.queue.front().bytes),
                    [self, &to, &direction](const asio::error_code& written, std::size_t) {
                        if (written)
                            return self->shut();
                        direction.queue.pop_front();
                        self->writeNext(to, direction);
                    });
            });
    }

    // From any thread: the closing runs on the proxy's own.
    void cut() {
        asio::post(client_.get_executor(), [self = shared_from_this()] { self->shut(); });
    }

private:
    void shut() {
        asio::error_code ignored;
        client_.close(ignored);
        server_.close(ignored);
        toServer_.timer.cancel();
        toClient_.timer.cancel();
    }

    tcp::socket client_;
    tcp::socket server_;
    Clock::duration oneWay_;
    std::atomic<long>& roundTrips_;
    Direction toServer_;
    Direction toClient_;
    bool serverSpokeLast_ = true;
};

LatencyProxy::LatencyProxy(std::uint16_t upstreamPort, std::chrono::milliseconds roundTrip)
    : acceptor_(io_, tcp::endpoint(asio::ip::address_v4::loopback(), 0)),
      upstream_(asio::ip::address_v4::loopback(), upstreamPort),
      oneWay_(std::chrono::duration_cast<Clock::duration>(roundTrip) / 2),
      port_(acceptor_.local_endpoint().port()) {
    accept();
    thread_ = std::thread([this] { io_.run(); });
}

LatencyProxy::~LatencyProxy() {
    io_.stop();
    thread_.join();
}

void LatencyProxy::resetCounts() {
    roundTrips_ = 0;
    connections_ = 0;
}

void LatencyProxy::cutConnections() {
    std::lock_guard lock(sessionsMutex_);
    for (const auto& weak : sessions_)
        if (const auto session = weak.lock())
            session->cut();
    sessions_.clear();
}

void LatencyProxy::accept() {
    acceptor_.async_accept([this](const asio::error_code& error, tcp::socket client) {
        if (error)
            return;
        ++connections_;
        client.set_option(tcp::no_delay(true));
        auto session = std::make_shared<ProxySession>(std::move(client), io_, oneWay_, roundTrips_);
        {
            std::lock_guard lock(sessionsMutex_);
            sessions_.push_back(session);
        }
        session->start(upstream_);
        accept();
    });
}

} // namespace zt::test
