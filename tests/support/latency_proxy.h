#pragma once
// A loopback TCP proxy that holds every chunk it passes on for a fixed time in each direction,
// so that a local server answers as if it were a given round trip away. It counts round trips:
// each time the client speaks again after the server has answered. It can also cut every
// connection it carries at once, as a VPN that drops would.

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zt::test {

class LatencyProxy {
public:
    // Listens on a free loopback port and forwards to 127.0.0.1:upstreamPort.
    LatencyProxy(std::uint16_t upstreamPort, std::chrono::milliseconds roundTrip);
    ~LatencyProxy();
    LatencyProxy(const LatencyProxy&) = delete;
    LatencyProxy& operator=(const LatencyProxy&) = delete;

    std::uint16_t port() const { return port_; }
    long roundTrips() const { return roundTrips_.load(); }
    long connections() const { return connections_.load(); }
    void resetCounts();
    // Closes every connection it carries now, in both directions; new ones are still taken.
    void cutConnections();

private:
    void accept();

    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    asio::ip::tcp::endpoint upstream_;
    std::chrono::steady_clock::duration oneWay_;
    std::uint16_t port_ = 0;
    std::atomic<long> roundTrips_{0};
    std::atomic<long> connections_{0};
    std::mutex sessionsMutex_;
    std::vector<std::weak_ptr<class ProxySession>> sessions_;
    std::thread thread_;
};

} // namespace zt::test
