// The search where no ODBC driver answers a browse: the servers FreeTDS is configured for.

#include "db/freetds_config.h"
#include "server/servers_searcher.h"
#include "tests/server/search_test_environment.h"

#include <QPointer>
#include <QScopeGuard>
#include <QTest>

#include <memory>

using namespace zt::server;
using zt::db::freeTdsConfigFiles;
using zt::db::freeTdsConfigServers;

class SearchKnownServersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void readsServerSectionsOfOneFile();
    void readsNothingFromAMissingFile();
    void looksWhereFreeTdsLooks();
    void skipsAMissingExplicitFile();
    void listsFreeTdsDataSources();
    void answersLikeADriver();
    void searcherAnswersFromKnownServers();

private:
    std::unique_ptr<zt::test::SearchTestEnvironment> environment_;
};

// unixODBC keeps what it has read of its configuration files for the whole process, so one
// configuration serves every test. In it the driver name "SQL Server" leads to FreeTDS,
// which has no browse: the refusal of a driver that exists.
void SearchKnownServersTest::initTestCase() {
    environment_ = std::make_unique<zt::test::SearchTestEnvironment>(true);
    QVERIFY(environment_->isValid());
}

void SearchKnownServersTest::readsServerSectionsOfOneFile() {
    QCOMPARE(freeTdsConfigServers(environment_->freeTdsConf()),
             (QStringList{"devserver", "Loopback Two"}));
    QCOMPARE(freeTdsConfigServers(environment_->homeFreeTdsConf()),
             (QStringList{"homeserver", "devserver"}));
}

void SearchKnownServersTest::readsNothingFromAMissingFile() {
    QVERIFY(
        freeTdsConfigServers(environment_->freeTdsConf() + QStringLiteral(".missing")).isEmpty());
}

void SearchKnownServersTest::looksWhereFreeTdsLooks() {
    const QStringList files = freeTdsConfigFiles(environment_->homeDirectory());
    QVERIFY2(files.size() >= 2, qPrintable(files.join(' ')));
    QCOMPARE(files.mid(0, 2),
             (QStringList{environment_->freeTdsConf(), environment_->homeFreeTdsConf()}));
}

void SearchKnownServersTest::skipsAMissingExplicitFile() {
    const auto restore =
        qScopeGuard([this] { qputenv("FREETDSCONF", environment_->freeTdsConf().toLocal8Bit()); });
    qputenv("FREETDSCONF",
            (environment_->freeTdsConf() + QStringLiteral(".missing")).toLocal8Bit());
    const QStringList files = freeTdsConfigFiles(environment_->homeDirectory());
    QVERIFY(!files.isEmpty());
    QCOMPARE(files.first(), environment_->homeFreeTdsConf());
}

void SearchKnownServersTest::listsFreeTdsDataSources() {
    QCOMPARE(zt::db::freeTdsDataSources(), zt::test::SearchTestEnvironment::dataSourceServers());
}

void SearchKnownServersTest::answersLikeADriver() {
    const QString answer = knownServersAnswer();
    QVERIFY(answer.startsWith(QStringLiteral("SERVER:Server={devserver,Loopback Two,")));
    QVERIFY(answer.contains(QStringLiteral(",AliasDsn,OtherPortDsn,PathDsn,SystemDsn};")));
    QStringList servers;
    QVERIFY(ParseServerList(answer, servers));
    QCOMPARE(servers.count(QStringLiteral("devserver")), 1);
}

void SearchKnownServersTest::searcherAnswersFromKnownServers() {
    QObject receiver;
    QStringList found;
    int answers = 0;
    bool ended = false;
    QPointer<TServersSearcher> searcher = new TServersSearcher(); // deletes itself
    connect(searcher, &TServersSearcher::serversFound, &receiver, [&](const QStringList& servers) {
        found = servers;
        ++answers;
    });
    connect(searcher, &QThread::finished, &receiver, [&] { ended = true; });
    searcher->start();

    QTRY_VERIFY(ended);
    QTRY_VERIFY(searcher.isNull());
    QCOMPARE(answers, 1);
    const QStringList config = zt::test::SearchTestEnvironment::configServers();
    const QStringList dataSources = zt::test::SearchTestEnvironment::dataSourceServers();
    QVERIFY2(found.size() >= config.size() + dataSources.size(), qPrintable(found.join(',')));
    QCOMPARE(found.mid(0, config.size()), config);
    QCOMPARE(found.mid(found.size() - dataSources.size()), dataSources);
}

QTEST_GUILESS_MAIN(SearchKnownServersTest)
#include "tst_search_known_servers.moc"
