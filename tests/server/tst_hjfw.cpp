// The host lookup dialog: this computer's name, the name of an IPv4 address, and handing a
// name to the server box. Only loopback addresses are looked up.

#include "server/form_hjfw.h"
#include "server/sql_servers_list_combo_box.h"
#include "tests/server/search_test_environment.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/widget_helpers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>

#include <arpa/inet.h>
#include <netdb.h>

#include <memory>

using zt::server::TForm_HJFW;
using zt::server::TSQLServersListComboBox;
using zt::test::childOf;
using zt::test::nextTabStop;
using zt::test::RecordingDialogs;

namespace {

// The name registered for 127.0.0.1, asked the old way round, for comparison.
QString loopbackNameByOldCall() {
    in_addr loopback{};
    loopback.s_addr = htonl(INADDR_LOOPBACK);
    const hostent* host = gethostbyaddr(&loopback, sizeof loopback, AF_INET);
    return host == nullptr ? QString() : QString::fromLocal8Bit(host->h_name);
}

const QString lookupFailed =
    QStringLiteral("无效的IP地址或此IP地址的主机不存在。请注意网络联接是否正常！");

} // namespace

class HjfwTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void looksAsLaidOut();
    void showEmptiesBothFields();
    void localComputerFillsOnlyTheName();
    void looksUpLoopbackAddress();
    void refusesWhatIsNoAddress_data();
    void refusesWhatIsNoAddress();
    void handsAnEmptyNameOver();
    void handsANameOver();
    void nameHandedOverWhileSearchingIsUndone();
    void exitHides();
    void escapeDoesNotClose();

private:
    QLineEdit* edit(const char* name) const { return childOf<QLineEdit>(dialog_.get(), name); }
    QPushButton* button(const char* name) const {
        return childOf<QPushButton>(dialog_.get(), name);
    }

    std::unique_ptr<zt::test::SearchTestEnvironment> environment_;
    std::unique_ptr<RecordingDialogs> dialogs_;
    std::unique_ptr<TForm_HJFW> dialog_;
};

void HjfwTest::initTestCase() {
    environment_ = std::make_unique<zt::test::SearchTestEnvironment>(false);
    QVERIFY(environment_->isValid());
}

void HjfwTest::init() {
    dialogs_ = std::make_unique<RecordingDialogs>();
    dialog_ = std::make_unique<TForm_HJFW>(*dialogs_);
    dialog_->setWindowTitle(QStringLiteral("获取服务器"));
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
}

void HjfwTest::cleanup() {
    dialog_.reset();
    dialogs_.reset();
}

void HjfwTest::looksAsLaidOut() {
    TForm_HJFW fresh(*dialogs_);
    QCOMPARE(fresh.windowTitle(), QStringLiteral("Form_HJFW"));
    QCOMPARE(fresh.size(), QSize(262, 149));
    QCOMPARE(fresh.findChild<QLineEdit*>("Edit1")->text(), QStringLiteral("Edit1"));
    QCOMPARE(fresh.findChild<QLabel*>("Label1")->text(), QStringLiteral("IP地址："));
    QCOMPARE(fresh.findChild<QLabel*>("Label2")->text(), QStringLiteral("服务器名称："));
    QCOMPARE(button("BitBtn1")->text(), QStringLiteral("本地计算机"));
    QCOMPARE(button("BitBtn2")->text(), QStringLiteral("获取&H"));
    QCOMPARE(button("BitBtn3")->text(), QStringLiteral("确定&S"));
    QCOMPARE(button("BitBtn4")->text(), QStringLiteral("退出&X"));
    for (const char* name : {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"}) {
        QVERIFY2(!button(name)->autoDefault() && !button(name)->isDefault(), name);
        QVERIFY2(!button(name)->icon().isNull(), name);
    }
    // Tab order: the two fields, then the buttons row by row.
    QCOMPARE(nextTabStop(edit("Edit1")), edit("Edit2"));
    QCOMPARE(nextTabStop(edit("Edit2")), button("BitBtn1"));
    QCOMPARE(nextTabStop(button("BitBtn1")), button("BitBtn2"));
    QCOMPARE(nextTabStop(button("BitBtn2")), button("BitBtn3"));
    QCOMPARE(nextTabStop(button("BitBtn3")), button("BitBtn4"));
}

void HjfwTest::showEmptiesBothFields() {
    edit("Edit1")->setText(QStringLiteral("127.0.0.1"));
    edit("Edit2")->setText(QStringLiteral("somehost"));
    dialog_->hide();
    dialog_->show();
    QCOMPARE(edit("Edit1")->text(), QString());
    QCOMPARE(edit("Edit2")->text(), QString());
}

void HjfwTest::localComputerFillsOnlyTheName() {
    edit("Edit1")->setText(QStringLiteral("127.0.0.1"));
    QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
    QCOMPARE(edit("Edit2")->text(), QSysInfo::machineHostName());
    QVERIFY(!edit("Edit2")->text().isEmpty());
    QCOMPARE(edit("Edit1")->text(), QStringLiteral("127.0.0.1"));
    QVERIFY(dialogs_->events.isEmpty());
}

void HjfwTest::looksUpLoopbackAddress() {
    const QString expected = loopbackNameByOldCall();
    QVERIFY2(!expected.isEmpty(), "no name registered for 127.0.0.1");
    edit("Edit1")->setText(QStringLiteral("127.0.0.1"));
    edit("Edit2")->setText(QStringLiteral("stale"));
    QTest::mouseClick(button("BitBtn2"), Qt::LeftButton);

    QCOMPARE(edit("Edit2")->text(), expected);
    QVERIFY(dialogs_->events.isEmpty());
    QVERIFY(!button("BitBtn2")->testAttribute(Qt::WA_SetCursor));
    QCOMPARE(edit("Edit1")->text(), QStringLiteral("127.0.0.1"));
}

void HjfwTest::refusesWhatIsNoAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << QString();
    QTest::newRow("words") << QStringLiteral("localhost");
    QTest::newRow("part out of range") << QStringLiteral("127.0.0.256");
    QTest::newRow("three parts") << QStringLiteral("127.0.0");
    QTest::newRow("short form") << QStringLiteral("127.1");
    QTest::newRow("five parts") << QStringLiteral("127.0.0.1.1");
    QTest::newRow("hexadecimal part") << QStringLiteral("0x7f.0.0.1");
    QTest::newRow("trailing blank") << QStringLiteral("127.0.0.1 ");
    QTest::newRow("trailing letter") << QStringLiteral("127.0.0.1x");
    QTest::newRow("full-width digits") << QStringLiteral("１２７.0.0.1");
    QTest::newRow("embedded zero") << QStringLiteral("127.0.0.1") + QChar(0) + QStringLiteral("x");
    QTest::newRow("IPv6 loopback") << QStringLiteral("::1");
}

void HjfwTest::refusesWhatIsNoAddress() {
    QFETCH(QString, address);
    edit("Edit1")->setText(address);
    edit("Edit2")->setText(QStringLiteral("stale"));
    bool cursorBackWhenShown = false;
    QString nameWhenShown = QStringLiteral("not shown");
    dialogs_->onMessage = [&](const RecordingDialogs::Message&) {
        cursorBackWhenShown = !button("BitBtn2")->testAttribute(Qt::WA_SetCursor);
        nameWhenShown = edit("Edit2")->text();
    };
    QTest::mouseClick(button("BitBtn2"), Qt::LeftButton);

    QCOMPARE(dialogs_->events, (QStringList{"beep", "message"}));
    const RecordingDialogs::Message& shown = dialogs_->messages.first();
    QCOMPARE(shown.text, lookupFailed);
    QCOMPARE(shown.caption, QStringLiteral("提示"));
    QCOMPARE(shown.icon, zt::DialogIcon::Information);
    QCOMPARE(shown.buttons, zt::DialogButtons::Ok);
    QVERIFY(cursorBackWhenShown);
    QCOMPARE(nameWhenShown, QString());
    QCOMPARE(edit("Edit2")->text(), QString());
    QVERIFY(!button("BitBtn2")->testAttribute(Qt::WA_SetCursor));
}

void HjfwTest::handsAnEmptyNameOver() {
    QComboBox serverBox;
    serverBox.setEditable(true);
    serverBox.setEditText(QStringLiteral("old server"));
    dialog_->setServerBox(&serverBox);
    QSignalSpy chosen(dialog_.get(), &TForm_HJFW::serverNameChosen);
    QCOMPARE(edit("Edit2")->text(), QString());

    QTest::mouseClick(button("BitBtn3"), Qt::LeftButton);
    QCOMPARE(serverBox.currentText(), QString());
    QVERIFY(!dialog_->isVisible());
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.first().first().toString(), QString());
}

void HjfwTest::handsANameOver() {
    TSQLServersListComboBox serverBox;
    serverBox.setRefreshAfterCreate(false);
    dialog_->setServerBox(&serverBox);
    QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
    const QString name = edit("Edit2")->text();
    QTest::mouseClick(button("BitBtn3"), Qt::LeftButton);
    QCOMPARE(serverBox.currentText(), name);
    QVERIFY(!dialog_->isVisible());
}

void HjfwTest::nameHandedOverWhileSearchingIsUndone() {
    TSQLServersListComboBox serverBox;
    serverBox.setRefreshAfterCreate(false);
    serverBox.setEditText(QStringLiteral("before"));
    dialog_->setServerBox(&serverBox);
    serverBox.RefreshServers();
    edit("Edit2")->setText(QStringLiteral("chosen"));
    QTest::mouseClick(button("BitBtn3"), Qt::LeftButton);
    QCOMPARE(serverBox.currentText(), QStringLiteral("chosen"));

    QSignalSpy ended(&serverBox, &TSQLServersListComboBox::searchEnded);
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(serverBox.currentText(), QStringLiteral("before"));
}

void HjfwTest::exitHides() {
    QComboBox serverBox;
    serverBox.setEditable(true);
    serverBox.setEditText(QStringLiteral("kept"));
    dialog_->setServerBox(&serverBox);
    edit("Edit2")->setText(QStringLiteral("not handed over"));
    QTest::mouseClick(button("BitBtn4"), Qt::LeftButton);
    QVERIFY(!dialog_->isVisible());
    QCOMPARE(serverBox.currentText(), QStringLiteral("kept"));
}

void HjfwTest::escapeDoesNotClose() {
    QTest::keyClick(edit("Edit1"), Qt::Key_Escape);
    QVERIFY(dialog_->isVisible());
}

QTEST_MAIN(HjfwTest)
#include "tst_hjfw.moc"
