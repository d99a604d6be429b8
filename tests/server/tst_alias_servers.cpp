// Servers the FreeTDS installation knows by name: the search lists its freetds.conf aliases
// (not [global], not Debian's stock examples) and its data sources, and each connects as
// listed; after going back the server page shows the server the user proved.

#include "server/form_server.h"
#include "server/servers_searcher.h"
#include "server/sql_servers_list_combo_box.h"
#include "tests/support/devserver_process.h"
#include "tests/support/local_database_copy.h"
#include "tests/support/private_freetds_config.h"
#include "tests/support/recording_dialogs.h"

#include "db/freetds_config.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QtTest/QtTest>

#include <memory>

using namespace zt;
using zt::server::Tform_server;
using zt::server::TSQLServersListComboBox;

class TestAliasServers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void searchListsTheNamesThatConnect();
    void provedServerShownAfterGoingBack_data();
    void provedServerShownAfterGoingBack();

private:
    test::PrivateFreeTdsConfig config_;
    test::DevServerProcess server_;
};

// unixODBC reads its configuration once per process: all of it is written before the first
// ODBC call. The driver name "SQL Server" leads to FreeTDS, which has no browse, so the
// search answers from what FreeTDS knows.
void TestAliasServers::initTestCase() {
    QVERIFY(server_.start());
    const QString library = db::chooseFreeTdsDriver(QString(), db::freeTdsLibraryDirectories());
    QVERIFY(config_.install(server_.port(), library,
                            "[egServer73]\n"
                            "\thost = ntmachine.domain.com\n",
                            {QStringLiteral("FreeTDS"), QStringLiteral("SQL Server")}));
}

void TestAliasServers::searchListsTheNamesThatConnect() {
    QObject receiver;
    QStringList found;
    bool ended = false;
    QPointer<server::TServersSearcher> searcher = new server::TServersSearcher(); // self-deleting
    connect(searcher, &server::TServersSearcher::serversFound, &receiver,
            [&](const QStringList& servers) { found = servers; });
    connect(searcher, &QThread::finished, &receiver, [&] { ended = true; });
    searcher->start();
    QTRY_VERIFY_WITH_TIMEOUT(ended, 30000);
    QCOMPARE(found, (QStringList{"ztalias", "ZtDsn"}));
}

void TestAliasServers::provedServerShownAfterGoingBack_data() {
    QTest::addColumn<QString>("serverName");
    QTest::newRow("freetds.conf alias") << "ztalias";
    QTest::newRow("data source") << "ZtDsn";
}

void TestAliasServers::provedServerShownAfterGoingBack() {
    QFETCH(QString, serverName);
    test::LocalDatabaseCopy local;
    QVERIFY(local.isValid());
    test::RecordingDialogs dialogs;
    QWidget accountSetPage;
    auto* handedTo = new QLineEdit(&accountSetPage); // owned by the stand-in page
    handedTo->setObjectName(QStringLiteral("Edit1"));
    Tform_server page(dialogs, local.path());
    auto* box = page.findChild<TSQLServersListComboBox*>();
    box->setRefreshAfterCreate(false);
    box->addItems({QStringLiteral("first-listed"), serverName});
    page.setAccountSetPage(&accountSetPage);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    box->setEditText(serverName);
    // The development server's sa with an empty password.
    page.findChild<QRadioButton*>(QStringLiteral("RadioButton2"))->setChecked(true);
    page.BitBtn7Click();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.value(0).text));
    QVERIFY(!page.isVisible());
    QCOMPARE(handedTo->text(), serverName);
    QCOMPARE(local.rows(QStringLiteral("select zjmc from 系统路径表")), QStringList{serverName});

    // "上一步&P": the page shows again, with the proved server rather than the list's first.
    accountSetPage.hide();
    page.show();
    QCOMPARE(box->currentText(), serverName);
}

QTEST_MAIN(TestAliasServers)
#include "tst_alias_servers.moc"
