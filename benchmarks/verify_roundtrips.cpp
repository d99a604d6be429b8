// Prints how many statements and how long `verify` of one account set takes. Without
// arguments it starts its own zt-devserver on loopback and makes the account set there; with
// --server HOST,PORT --name NAME it verifies an existing account set, e.g. through a latency
// proxy in front of a server.

#include "accountset/account_set_verifier.h"
#include "config/local_config.h"
#include "schema/create_tables.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"
#include "tests/support/devserver_process.h"

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
        statements = v.exchanges.statements;
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
        return verifyRepeatedly(server, QStringLiteral("bench_verify"), runs);
    } catch (const zt::db::DbError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.text()));
        return 1;
    }
}
