// Compares the query layer with FreeTDS's own command-line client on the account-set workload:
// CREATE DATABASE, the 108 CREATE TABLE statements, then about 400 single-row appends (the
// administrator, its 220 rights, 180 layout rows). Both runs go to the same zt-devserver, one
// statement per round trip; prints both times and their ratio.

#include "benchmarks/bsqldb_yardstick.h"
#include "db/query.h"
#include "db/sql_literal.h"
#include "schema/create_statement.h"
#include "schema/table.h"
#include "tests/support/devserver_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using zt::bench::median;
using zt::bench::secondsOf;

namespace {

constexpr int kRights = 220;
constexpr int kLayoutRows = 180;
constexpr double kTargetRatio = 1.3;

QString layoutModel(int row) {
    return QStringLiteral("模板%1").arg(row);
}

// The workload through query objects, as the account-set creation drives them.
void runThroughQueryLayer(const zt::test::DevServerProcess& server, const QString& database) {
    const QString credentials = QStringLiteral("password=;persist security info=true;user id=sa;");
    zt::db::Query server3(QStringLiteral("ADOQuery3"));
    server3.setConnectionString("Provider=SQLOLEDB.1;" + credentials +
                                "Data Source=" + server.dataSource());
    server3.sqlAdd("create database " + database);
    server3.execSql();

    zt::db::Query create(QStringLiteral("ADOcreate"));
    create.setConnectionString("Provider=SQLOLEDB.1;" + credentials + "Initial Catalog=" +
                               database + ";Data Source=" + server.dataSource());
    for (const zt::schema::Table& table : zt::schema::accountSetTables()) {
        create.close();
        create.sqlClear();
        for (const QString& line : zt::schema::createTableLines(table))
            create.sqlAdd(line);
        create.execSql();
    }

    auto openTable = [&](const QString& name) {
        create.close();
        create.sqlClear();
        create.sqlAdd("select*from " + name);
        create.open();
    };
    openTable(QStringLiteral("用户信息表"));
    create.append();
    create.fieldByName("yhmc").setString(QStringLiteral("超级管理员"));
    create.post();

    openTable(QStringLiteral("用户权限表"));
    for (int i = 1; i <= kRights; ++i) {
        create.append();
        create.fieldByName("yhmc").setString(QStringLiteral("超级管理员"));
        create.fieldByName("yhqx").setString(QStringLiteral("n%1").arg(i));
        create.fieldByName("pd").setString(QStringLiteral("true"));
        create.post();
    }

    openTable(QStringLiteral("col_num"));
    for (int row = 1; row <= kLayoutRows; ++row) {
        create.append();
        create.fieldByName("model").setString(layoutModel(row));
        create.fieldByName("ytmc").setString(QStringLiteral("单据"));
        for (int column = 1; column <= 20; ++column)
            create.fieldByName(QString::number(column)).setInteger(row + column);
        create.post();
    }
    create.close();
}

// The same statements as bsqldb batches, one batch per statement.
QStringList bsqldbBatches(const QString& database) {
    using zt::db::unicodeLiteral;
    QStringList batches;
    batches << "create database " + database;
    batches << "use " + database;
    for (const zt::schema::Table& table : zt::schema::accountSetTables())
        batches << zt::schema::createTableLines(table).join(u'\n');
    batches << "insert into 用户信息表 (yhmc) values (" +
                   unicodeLiteral(QStringLiteral("超级管理员")) + ")";
    for (int i = 1; i <= kRights; ++i)
        batches << QStringLiteral("insert into 用户权限表 (yhmc, yhqx, pd) values (%1, %2, %3)")
                       .arg(unicodeLiteral(QStringLiteral("超级管理员")),
                            unicodeLiteral(QStringLiteral("n%1").arg(i)),
                            unicodeLiteral(QStringLiteral("true")));
    for (int row = 1; row <= kLayoutRows; ++row) {
        QStringList names{QStringLiteral("model"), QStringLiteral("ytmc")};
        QStringList values{unicodeLiteral(layoutModel(row)),
                           unicodeLiteral(QStringLiteral("单据"))};
        for (int column = 1; column <= 20; ++column) {
            names << zt::db::bracketedName(QString::number(column));
            values << QString::number(row + column);
        }
        batches << QStringLiteral("insert into col_num (%1) values (%2)")
                       .arg(names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
    }
    return batches;
}

} // namespace

// Rounds alternate between the two clients so that a busy machine slows both alike; the
// figures compared are the medians.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    zt::test::DevServerProcess server;
    if (!server.start())
        return 1;
    QTemporaryDir dir;
    std::vector<double> layerTimes;
    std::vector<double> bsqldbTimes;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        try {
            runThroughQueryLayer(server, QStringLiteral("bench_layer_%1").arg(round));
        } catch (const zt::db::DbError& error) {
            std::fprintf(stderr, "query layer: %s (%d)\n", qPrintable(error.text()),
                         error.number());
            return 1;
        }
        layerTimes.push_back(secondsOf(timer));

        timer.restart();
        if (zt::bench::runBsqldb(server.port(),
                                 bsqldbBatches(QStringLiteral("bench_bsqldb_%1").arg(round)), dir,
                                 600000) < 0)
            return 1;
        bsqldbTimes.push_back(secondsOf(timer));
    }

    const double layer = median(layerTimes);
    const double bsqldb = median(bsqldbTimes);
    const double ratio = layer / bsqldb;
    std::printf("workload: create database, %d create table, %d single-row appends; %d rounds\n",
                int(zt::schema::accountSetTables().size()), 1 + kRights + kLayoutRows, rounds);
    std::printf("query layer (ODBC/FreeTDS, parameterized): median %.3f s, best %.3f s\n", layer,
                *std::min_element(layerTimes.begin(), layerTimes.end()));
    std::printf("bsqldb (DB-Library, one script):           median %.3f s, best %.3f s\n", bsqldb,
                *std::min_element(bsqldbTimes.begin(), bsqldbTimes.end()));
    std::printf("ratio of medians layer/bsqldb: %.2f (target <= %.1f): %s\n", ratio, kTargetRatio,
                ratio <= kTargetRatio ? "met" : "NOT met");
    return 0;
}
