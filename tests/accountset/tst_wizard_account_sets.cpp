// The wizard's account-set story end to end, with the four application windows on a private
// zt-devserver: one workstation creates a network account set; a second one selects it from
// the network list, restores the shipped sample and deletes the account set with its password.

#include "accountset/form_xzzt.h"
#include "app/windows.h"
#include "server/form_server.h"
#include "server/sql_servers_list_combo_box.h"
#include "tests/support/devserver_process.h"
#include "tests/support/local_database_copy.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/widget_helpers.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace zt;
using zt::test::childOf;
using zt::test::clickRadio;

namespace {

// One run of the wizard on one workstation (its own local configuration database).
struct WizardRun {
    explicit WizardRun(const test::LocalDatabaseCopy& local)
        : windows(std::make_unique<ApplicationWindows>(dialogs, local.path())) {}
    test::RecordingDialogs dialogs;
    std::unique_ptr<ApplicationWindows> windows;
};

} // namespace

class TestWizardAccountSets : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void createOnOneWorkstationSelectAndDeleteOnAnother();

private:
    // Starts the wizard and proves the server with the sa login; ends on the account-set page.
    void startAndProve(WizardRun& run);
    QStringList listedNames(WizardRun& run);

    test::DevServerProcess server_;
    QTemporaryDir scratch_;
};

void TestWizardAccountSets::initTestCase() {
    QVERIFY(server_.start());
}

// Stopped here rather than on destruction, so that a bad end of the server is a failure.
void TestWizardAccountSets::cleanupTestCase() {
    server_.stop();
}

void TestWizardAccountSets::startAndProve(WizardRun& run) {
    auto* box = qobject_cast<server::TSQLServersListComboBox*>(
        childOf<QComboBox>(run.windows->serverPage(), "SQLServersListComboBox1"));
    QVERIFY(box);
    run.windows->serverPage()->show();
    QVERIFY(QTest::qWaitForWindowExposed(run.windows->serverPage()));
    QTRY_VERIFY2_WITH_TIMEOUT(!box->isSearching(), "server search", 30000);
    box->setEditText(server_.dataSource());
    clickRadio(childOf<QRadioButton>(run.windows->serverPage(), "RadioButton2"));
    QTest::mouseClick(childOf<QPushButton>(run.windows->serverPage(), "BitBtn7"), Qt::LeftButton);
    run.windows->accountSetPage()->setSampleDataDirectory(
        scratch_.filePath(QStringLiteral("mssql/data")));
    QVERIFY(run.windows->accountSetPage()->isVisible());
    QVERIFY(!run.windows->serverPage()->isVisible());
    QCOMPARE(run.dialogs.messageTexts(), QStringList());
}

QStringList TestWizardAccountSets::listedNames(WizardRun& run) {
    QStringList names;
    const QAbstractItemModel* model =
        childOf<QTableView>(run.windows->accountSetPage(), "DBGrid1")->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

void TestWizardAccountSets::createOnOneWorkstationSelectAndDeleteOnAnother() {
    test::LocalDatabaseCopy first;
    test::LocalDatabaseCopy second;
    QVERIFY(first.isValid() && second.isValid());

    {
        WizardRun run(first);
        startAndProve(run);
        if (QTest::currentTestFailed())
            return;
        childOf<QLineEdit>(run.windows->accountSetPage(), "Edit2")
            ->setText(QStringLiteral("故事帐"));
        QTest::keyClicks(childOf<QLineEdit>(run.windows->accountSetPage(), "Edit6"),
                         QStringLiteral("pw9"));
        childOf<QCheckBox>(run.windows->accountSetPage(), "CheckBox1")->setChecked(true);
        QTest::mouseClick(childOf<QPushButton>(run.windows->accountSetPage(), "BitBtn1"),
                          Qt::LeftButton);
        QCOMPARE(run.dialogs.messageTexts(), QStringList{QStringLiteral("帐套创建成功！")});
        QVERIFY(!run.windows->serverPage()->isVisible());
        QCOMPARE(first.rows(QStringLiteral("select ztmc, kl, net from 帐套信息表")),
                 QStringList{QStringLiteral("故事帐|pw9|是")});
    }

    {
        WizardRun run(second);
        startAndProve(run);
        if (QTest::currentTestFailed())
            return;
        childOf<QTabWidget>(run.windows->accountSetPage(), "PageControl1")->setCurrentIndex(1);
        QCOMPARE(listedNames(run), QStringList{QStringLiteral("故事帐")});
        run.dialogs.answers.push_back(DialogAnswer::Yes);
        QTest::mouseClick(childOf<QPushButton>(run.windows->accountSetPage(), "BitBtn2"),
                          Qt::LeftButton);
        QCOMPARE(run.dialogs.messageTexts().last(), QStringLiteral("网络帐套选择引入成功！"));
        QVERIFY(!run.windows->serverPage()->isVisible());
        QCOMPARE(second.rows(QStringLiteral("select ztmc, kl, zjmc, net from 帐套信息表")),
                 QStringList{QStringLiteral("故事帐|pw9|%1|是").arg(server_.dataSource())});
    }

    {
        WizardRun run(second);
        startAndProve(run);
        if (QTest::currentTestFailed())
            return;
        // The sample shipped beside the programs, restored and registered; the page stays.
        QTest::mouseClick(childOf<QPushButton>(run.windows->accountSetPage(), "BitBtn4"),
                          Qt::LeftButton);
        QCOMPARE(run.dialogs.messageTexts(),
                 QStringList{QStringLiteral("“澄桦3000例子账套”账套创建成功！")});
        QVERIFY(run.windows->accountSetPage()->isVisible());
        QCOMPARE(
            second.rows(QStringLiteral("select ztmc, net from 帐套信息表 where ztmc like '澄桦%'")),
            QStringList{QStringLiteral("澄桦3000商业例子帐|否")});

        run.dialogs.clear();
        childOf<QTabWidget>(run.windows->accountSetPage(), "PageControl1")->setCurrentIndex(1);
        QCOMPARE(listedNames(run), QStringList{QStringLiteral("故事帐")});
        run.dialogs.answers.push_back(DialogAnswer::Yes);
        QTest::mouseClick(childOf<QPushButton>(run.windows->accountSetPage(), "BitBtn3"),
                          Qt::LeftButton);
        childOf<QLineEdit>(run.windows->accountSetPage(), "Edit3")->setText(QStringLiteral("pw9"));
        QTest::mouseClick(childOf<QPushButton>(run.windows->accountSetPage(), "BitBtn5"),
                          Qt::LeftButton);
        QCOMPARE(run.dialogs.messageTexts().last(), QStringLiteral("此帐套已成功删除"));
        QVERIFY(listedNames(run).isEmpty());
        QVERIFY(run.windows->accountSetPage()->isVisible());
    }
}

QTEST_MAIN(TestWizardAccountSets)
#include "tst_wizard_account_sets.moc"
