// Prints how many single-row inserts per second reach a zt-devserver over loopback through
// the FreeTDS ODBC driver: each one a full sp_executesql round trip with a durable commit.

#include "tests/devserver/protocol_odbc_client.h"
#include "tests/support/devserver_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using zt::test::OdbcConnection;
using zt::test::OdbcParameter;

namespace {

bool run(OdbcConnection& client, const QString& sql) {
    if (client.execute(sql))
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(client.diagnosticText()));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    zt::test::DevServerProcess server;
    if (!server.start())
        return 1;
    OdbcConnection client;
    if (!client.connect(zt::test::freeTdsConnectionString(server.port()))) {
        std::fprintf(stderr, "connect: %s\n", qPrintable(client.diagnosticText()));
        return 1;
    }
    if (!run(client, QStringLiteral("create database bench")) ||
        !run(client, QStringLiteral("use bench; create table t (id int IDENTITY (1, 1) NOT NULL "
                                    "Primary Key, name nvarchar(40) NULL, amount money NULL)")))
        return 1;

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        std::vector<OdbcParameter> parameters;
        parameters.push_back(OdbcParameter::text(QStringLiteral("row %1").arg(i)));
        parameters.push_back(OdbcParameter::real(i * 0.25));
        if (!client.execute(QStringLiteral("insert into t (name, amount) values (?, ?)"),
                            std::move(parameters))) {
            std::fprintf(stderr, "insert: %s\n", qPrintable(client.diagnosticText()));
            return 1;
        }
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("single-row inserts over loopback (FreeTDS ODBC, sp_executesql): %d in %.2f s = "
                "%.0f round trips/s\n",
                count, seconds, count / seconds);

    timer.restart();
    for (int i = 0; i < count; ++i)
        if (!run(client, QStringLiteral("select 1")))
            return 1;
    const double querySeconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("trivial batches (select 1): %d in %.2f s = %.0f round trips/s\n", count,
                querySeconds, count / querySeconds);
    return 0;
}
