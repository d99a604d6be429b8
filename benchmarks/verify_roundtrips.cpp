// Prints how many statements and how long `verify` of one account set takes, then how many
// and how long `scan` of a server with 200 more databases takes, directly and behind a 20 ms
// round trip. Without arguments it starts its own zt-devserver on loopback and makes the
// databases there; with --server HOST,PORT --name NAME it verifies an existing account set,
// e.g. through a latency proxy in front of a server.

#include "accountset/account_set_scan.h"
#include "accountset/account_set_verifier.h"
#include "config/local_config.h"
#include "schema/create_tables.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"
#include "tests/support/devserver_process.h"
#include "tests/support/latency_proxy.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void execute(zt::db::Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.execSql();
}

void makeAccountSet(const zt::accountset::ServerTarget& server, const QString& name) {
    zt::db::Query master(QStringLiteral("ADOQuery3"));
    master.setConnectionString(
        zt::server::serverConnectionString(server.credentialPart, server.serverName));
    execute(master, QStringLiteral("create database ") + name);
    zt::db::Query target(QStringLiteral("ADOcreate"));
    target.setConnectionString(
        zt::server::databaseConnectionString(server.credentialPart, name, server.serverName));
    zt::schema::createSchema(target);
    zt::db::Query source(QStringLiteral("ADOserver"));
    source.setConnectionString(
        zt::config::localConnectionString(QStringLiteral(ZT_BINARY_DIR "/bin/data/CHWHDB.mdb")));
    zt::seed::seedDefaultData(source, target);
}

int verifyRepeatedly(const zt::accountset::ServerTarget& server, const QString& name, int runs) {
    std::vector<double> seconds;
    int statements = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer wall;
        wall.start();
        const zt::accountset::Verification v = zt::accountset::verifyAccountSet(server, name);
        seconds.push_back(double(wall.nsecsElapsed()) / 1e9);
        statements = v.roundTrips.statements;
        if (!v.matches()) {
            std::fprintf(stderr, "%s does not match its definitions\n", qPrintable(name));
            return 1;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("verify %s at %s: %d statements (plus the login), %d runs, median %.3f s, "
                "fastest %.3f s, slowest %.3f s (each run logs in anew)\n",
                qPrintable(name), qPrintable(server.serverName), statements, runs,
                seconds[seconds.size() / 2], seconds.front(), seconds.back());
    return 0;
}

// Scans the server once directly and once behind a proxy of the given round trip.
void printScans(const zt::test::DevServerProcess& devserver, const QString& credentialPart,
                int extraDatabases) {
    zt::db::Query master(QStringLiteral("ADOQuery3"));
    master.setConnectionString(
        zt::server::serverConnectionString(credentialPart, devserver.dataSource()));
    for (int i = 0; i < extraDatabases; ++i)
        execute(master, QStringLiteral("create database bench_scan_%1").arg(i));
    for (const int roundTripMs : {0, 20}) {
        zt::test::LatencyProxy proxy(devserver.port(), std::chrono::milliseconds(roundTripMs));
        const QString through = QStringLiteral("127.0.0.1,%1").arg(proxy.port());
        const zt::accountset::Scan scan = zt::accountset::scanServer({through, credentialPart});
        std::printf("scan of %zu listed databases (of %d) at %d ms round trip: %d statements "
                    "(plus the login), %.3f s\n",
                    scan.databases.size(), extraDatabases + 1, roundTripMs,
                    scan.roundTrips.statements, scan.roundTrips.seconds);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    const int runs = 20;
    const QString credentialPart = zt::config::sqlLoginFragment(QStringLiteral("sa"), QString());
    try {
        if (args.size() == 5 && args[1] == u"--server" && args[3] == u"--name")
            return verifyRepeatedly({args[2], credentialPart}, args[4], runs);
        zt::test::DevServerProcess devserver;
        if (!devserver.start())
            return 1;
        const zt::accountset::ServerTarget server{devserver.dataSource(), credentialPart};
        makeAccountSet(server, QStringLiteral("bench_verify"));
        if (const int status = verifyRepeatedly(server, QStringLiteral("bench_verify"), runs))
            return status;
        printScans(devserver, credentialPart, 200);
        return 0;
    } catch (const zt::db::DbError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.text()));
        return 1;
    }
}
