// The whole creation of a network account set as an installer runs it ("zt-admin create
// --network": the server proved with a probe database, the database created, its tables and
// default rows, the local and the network registration), with the server 0, 10, 20 and 50 ms
// of round trip away behind a delaying loopback proxy, each with the login encrypted (FreeTDS's
// default, as every SQL Server since 2005 answers it) and in clear text (a server without a
// certificate). Prints seconds and round trips. Then the
// query layer against FreeTDS's bsqldb on the same batches (database, schema, default rows)
// at loopback, and the ratio of the two.

#include "benchmarks/bsqldb_yardstick.h"
#include "db/batches.h"
#include "db/query.h"
#include "schema/create_tables.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/latency_proxy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

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

bool createThrough(const zt::test::AccountSetFixture& fixture, zt::test::LatencyProxy& proxy,
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
    figures.seconds = zt::bench::secondsOf(timer);
    figures.roundTrips = proxy.roundTrips();
    figures.connections = proxy.connections();
    return true;
}

// The batches of a creation's database work, as the creation sends them.
QStringList creationBatches(const zt::test::AccountSetFixture& fixture) {
    zt::db::Query source(QStringLiteral("ADOserver"));
    source.setConnectionString(fixture.localConnectionString());
    zt::db::BatchPlan tables;
    tables.statementsPerBatch = zt::schema::tablesPerBatch;
    tables.transaction = true;
    zt::db::BatchPlan rows;
    rows.statementsPerBatch = zt::seed::rowsPerBatch;
    rows.transaction = true;
    QStringList texts;
    for (const auto& batch : zt::db::composeBatches(zt::schema::createTableStatements(), tables))
        texts << batch.text;
    for (const auto& batch : zt::db::composeBatches(zt::seed::defaultDataStatements(source), rows))
        texts << batch.text;
    return texts;
}

double throughQueryLayer(const zt::test::AccountSetFixture& fixture, const QString& database,
                         const QStringList& batches) {
    QElapsedTimer timer;
    timer.start();
    zt::db::Query server(QStringLiteral("ADOQuery3"));
    server.setConnectionString(
        zt::server::serverConnectionString(fixture.credentialPart(), fixture.serverName()));
    server.sqlAdd(QStringLiteral("create database ") + database);
    server.execSql();
    zt::db::Query create(QStringLiteral("ADOcreate"));
    create.setConnectionString(zt::server::databaseConnectionString(
        fixture.credentialPart(), database, fixture.serverName()));
    for (const QString& batch : batches) {
        create.close();
        create.sqlClear();
        create.sqlAdd(batch);
        create.execSql();
    }
    return zt::bench::secondsOf(timer);
}

// Rounds alternate between the two clients, so a busy machine slows both alike.
bool compareWithBsqldb(zt::test::AccountSetFixture& fixture, int rounds) {
    const QStringList batches = creationBatches(fixture);
    QTemporaryDir dir;
    std::vector<double> layer;
    std::vector<double> bsqldb;
    for (int round = 0; round < rounds; ++round) {
        try {
            layer.push_back(
                throughQueryLayer(fixture, QStringLiteral("ratio_layer_%1").arg(round), batches));
        } catch (const zt::db::DbError& error) {
            std::fprintf(stderr, "query layer: %s\n", qPrintable(error.text()));
            return false;
        }
        const QString database = QStringLiteral("ratio_bsqldb_%1").arg(round);
        const double seconds =
            zt::bench::runBsqldb(fixture.server().port(),
                                 QStringList{QStringLiteral("create database ") + database,
                                             QStringLiteral("use ") + database} +
                                     batches,
                                 dir, 300000);
        if (seconds < 0)
            return false;
        bsqldb.push_back(seconds);
    }
    const double ratio = zt::bench::median(layer) / zt::bench::median(bsqldb);
    std::printf("\nsame %d batches at loopback (create database, schema, default rows), "
                "median of %d:\n",
                int(batches.size()), rounds);
    std::printf("query layer %.3f s, bsqldb %.3f s, ratio %.2f (target <= 1.1)\n",
                zt::bench::median(layer), zt::bench::median(bsqldb), ratio);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    zt::test::AccountSetFixture fixture;
    if (!fixture.start())
        return 1;
    zt::test::AccountSetFixture clear(QStringList{QStringLiteral("--no-encryption")});
    if (!clear.start())
        return 1;
    std::printf("round trip  login      seconds (median of %d)  round trips  connections\n",
                rounds);
    int run = 0;
    for (const int delayMs : {0, 10, 20, 50}) {
        for (zt::test::AccountSetFixture* server : {&fixture, &clear}) {
            zt::test::LatencyProxy proxy(server->server().port(),
                                         std::chrono::milliseconds(delayMs));
            std::vector<Figures> all;
            for (int round = 0; round < rounds; ++round) {
                Figures figures;
                if (!createThrough(*server, proxy, QStringLiteral("latency_%1").arg(run++),
                                   figures))
                    return 1;
                all.push_back(figures);
            }
            std::sort(all.begin(), all.end(),
                      [](const Figures& a, const Figures& b) { return a.seconds < b.seconds; });
            const Figures& median = all[all.size() / 2];
            std::printf("%5d ms    %-9s  %8.3f s               %6ld       %4ld\n", delayMs,
                        server == &fixture ? "encrypted" : "clear", median.seconds,
                        median.roundTrips, median.connections);
            std::fflush(stdout);
        }
    }
    return compareWithBsqldb(fixture, std::max(5, rounds)) ? 0 : 1;
}
