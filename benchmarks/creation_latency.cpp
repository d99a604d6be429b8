// The whole creation of a network account set as an installer runs it ("zt-admin create
// --network": the server proved with a probe database, the database created, its tables and
// default rows, the local and the network registration), with the server 0, 10, 20 and 50 ms
// of round trip away behind a delaying loopback proxy. Prints seconds and round trips.

#include "benchmarks/latency_proxy.h"
#include "tests/seed/account_set_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Figures {
    double seconds = 0;
    long roundTrips = 0;
    long connections = 0;
};

bool createThrough(const zt::test::AccountSetFixture& fixture, zt::bench::LatencyProxy& proxy,
                   const QString& name, Figures& figures) {
    proxy.resetCounts();
    QProcess admin;
    const QStringList arguments{"create",
                                "--server",
                                QStringLiteral("127.0.0.1,%1").arg(proxy.port()),
                                "--user",
                                "sa",
                                "--password",
                                "",
                                "--network",
                                "--local-database",
                                fixture.localDatabasePath(),
                                name};
    QElapsedTimer timer;
    timer.start();
    admin.start(QStringLiteral(ZT_ADMIN_PATH), arguments);
    if (!admin.waitForFinished(300000) || admin.exitCode() != 0) {
        std::fprintf(stderr, "zt-admin failed (exit %d): %s\n", admin.exitCode(),
                     admin.readAllStandardError().constData());
        return false;
    }
    figures.seconds = double(timer.nsecsElapsed()) / 1e9;
    figures.roundTrips = proxy.roundTrips();
    figures.connections = proxy.connections();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    zt::test::AccountSetFixture fixture;
    if (!fixture.start())
        return 1;
    std::printf("round trip  seconds (median of %d)  round trips  connections\n", rounds);
    int run = 0;
    for (const int delayMs : {0, 10, 20, 50}) {
        zt::bench::LatencyProxy proxy(fixture.server().port(), std::chrono::milliseconds(delayMs));
        std::vector<Figures> all;
        for (int round = 0; round < rounds; ++round) {
            Figures figures;
            if (!createThrough(fixture, proxy, QStringLiteral("latency_%1").arg(run++), figures))
                return 1;
            all.push_back(figures);
        }
        std::sort(all.begin(), all.end(),
                  [](const Figures& a, const Figures& b) { return a.seconds < b.seconds; });
        const Figures& median = all[all.size() / 2];
        std::printf("%5d ms    %8.3f s               %6ld       %4ld\n", delayMs, median.seconds,
                    median.roundTrips, median.connections);
        std::fflush(stdout);
    }
    return 0;
}
