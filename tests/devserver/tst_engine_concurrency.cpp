// Several sessions on their own threads writing to one table at once.

#include "engine_fixture.h"

#include <QSet>

#include <atomic>
#include <thread>

using namespace zt::test;
using ztds::StatementResult;

class EngineConcurrencyTest : public QObject {
    Q_OBJECT

private slots:
    void appendersLoseNothing();
    void readersSeeWholeRows();
};

void EngineConcurrencyTest::appendersLoseNothing() {
    EngineFixture f;
    {
        auto admin = f.login();
        ZT_EXEC(*admin, "create database shared; use shared;"
                        "create table log (id bigint identity(1,1) not null, who int not null,"
                        " seq int not null, note nvarchar(40) null)");
    }
    constexpr int threads = 4;
    constexpr int perThread = 40;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&f, &failures, t] {
            auto s = f.login(QStringLiteral("sa"), QString(), QStringLiteral("shared"));
            if (!s) {
                ++failures;
                return;
            }
            for (int i = 0; i < perThread; ++i) {
                const auto r = run(*s,
                                   QStringLiteral("insert into log (who, seq, note) values "
                                                  "(@P1, @P2, @P3)"),
                                   {param("@P1", ztds::SqlType::Int, int64_t{t}),
                                    param("@P2", ztds::SqlType::Int, int64_t{i}),
                                    param("@P3", ztds::SqlType::NVarChar,
                                          QStringLiteral("线程%1第%2行").arg(t).arg(i), 40)});
                if (r.failed || r.rowCount.value_or(0) != 1)
                    ++failures;
            }
        });
    }
    for (auto& w : workers)
        w.join();
    QCOMPARE(failures.load(), 0);
    auto s = f.login(QStringLiteral("sa"), QString(), QStringLiteral("shared"));
    const StatementResult r = run(*s, "select id, who, seq from log");
    QCOMPARE(r.resultSet->rows.size(), size_t(threads * perThread));
    QSet<int64_t> ids;
    QSet<QString> pairs;
    for (const auto& row : r.resultSet->rows) {
        ids.insert(std::get<int64_t>(row[0]));
        pairs.insert(
            QStringLiteral("%1/%2").arg(std::get<int64_t>(row[1])).arg(std::get<int64_t>(row[2])));
    }
    QCOMPARE(ids.size(), threads * perThread);   // no identity handed out twice
    QCOMPARE(pairs.size(), threads * perThread); // every insert is there once
}

void EngineConcurrencyTest::readersSeeWholeRows() {
    EngineFixture f;
    {
        auto admin = f.login();
        ZT_EXEC(*admin, "create database pairs; use pairs;"
                        "create table t (a int not null, b int not null)");
    }
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread writer([&] {
        auto s = f.login(QStringLiteral("sa"), QString(), QStringLiteral("pairs"));
        for (int i = 0; i < 60; ++i) {
            run(*s, QStringLiteral("insert into t values (%1, %1)").arg(i));
            run(*s, QStringLiteral("update t set a = a + 1000, b = b + 1000 where a = %1").arg(i));
        }
        stop = true;
    });
    auto reader = f.login(QStringLiteral("sa"), QString(), QStringLiteral("pairs"));
    while (!stop) {
        const StatementResult r = run(*reader, "select count(*) from t where a <> b");
        if (r.failed || std::get<int64_t>(r.resultSet->rows[0][0]) != 0)
            ++torn;
    }
    writer.join();
    QCOMPARE(torn.load(), 0);
    const StatementResult r = run(*reader, "select count(*) from t where a >= 1000");
    QCOMPARE(std::get<int64_t>(r.resultSet->rows[0][0]), int64_t(60));
}

QTEST_GUILESS_MAIN(EngineConcurrencyTest)
#include "tst_engine_concurrency.moc"
