#include "accountset/form_xzzt.h"
#include "app/form1.h"
#include "app/windows.h"
#include "server/form_hjfw.h"
#include "server/form_server.h"
#include "server/sql_servers_list_combo_box.h"
#include "tests/support/devserver_process.h"
#include "tests/support/local_database_copy.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/widget_helpers.h"
#include "widgets/wait_cursor.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest/QtTest>

#include <memory>
#include <stdexcept>

using namespace zt;
using zt::server::Tform_server;
using zt::server::TSQLServersListComboBox;
using zt::test::childOf;
using zt::test::clickRadio;

namespace {

// Notes the top-level windows in the order their construction announced them (the create
// event, or the polish request every new widget posts).
class CreationOrder : public QObject {
public:
    QList<QObject*> windows;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool announced =
            event->type() == QEvent::Create || event->type() == QEvent::PolishRequest;
        if (announced && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow() &&
            !windows.contains(watched))
            windows << watched;
        return false;
    }
};

} // namespace

class WizardTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void windowsCreatedInOrder();
    void startUpShowsServerPageOnly();
    void handOverAndBack();
    void exitFromAccountSetPageClosesMainWindow();
    void escapeOnServerPageEnds();
    void hostLookupWritesIntoServerBox();
    void waitCursorGivenBackOnFailure();
    void wizardWithoutDisplaySaysSo();

private:
    bool startWindows();
    void proveServer();
    QComboBox* box() const {
        return childOf<QComboBox>(windows_->serverPage(), "SQLServersListComboBox1");
    }

    std::unique_ptr<test::DevServerProcess> server_;
    std::unique_ptr<test::LocalDatabaseCopy> local_;
    std::unique_ptr<test::RecordingDialogs> dialogs_;
    std::unique_ptr<ApplicationWindows> windows_;
    CreationOrder creationOrder_;
};

void WizardTest::initTestCase() {
    server_ = std::make_unique<test::DevServerProcess>();
    QVERIFY(server_->start());
}

// Stopped here rather than on destruction, so that a bad end of the server is a failure.
void WizardTest::cleanupTestCase() {
    server_.reset();
}

void WizardTest::init() {
    local_ = std::make_unique<test::LocalDatabaseCopy>();
    QVERIFY(local_->isValid());
    dialogs_ = std::make_unique<test::RecordingDialogs>();
    creationOrder_.windows.clear();
    qApp->installEventFilter(&creationOrder_);
    windows_ = std::make_unique<ApplicationWindows>(*dialogs_, local_->path());
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&creationOrder_);
    auto* searching = qobject_cast<TSQLServersListComboBox*>(box());
    QVERIFY(searching);
    QTRY_VERIFY_WITH_TIMEOUT(!searching->isSearching(), 30000);
}

void WizardTest::cleanup() {
    windows_.reset();
    dialogs_.reset();
    local_.reset();
}

bool WizardTest::startWindows() {
    windows_->serverPage()->show();
    return QTest::qWaitForWindowExposed(windows_->serverPage());
}

void WizardTest::proveServer() {
    box()->setEditText(server_->dataSource());
    clickRadio(childOf<QRadioButton>(windows_->serverPage(), "RadioButton2"));
    QTest::mouseClick(childOf<QPushButton>(windows_->serverPage(), "BitBtn7"), Qt::LeftButton);
}

void WizardTest::windowsCreatedInOrder() {
    QVERIFY(windows_->serverPage() && windows_->accountSetPage() && windows_->auxiliaryWindow() &&
            windows_->hostLookup());
    const QList<QObject*> expected{windows_->serverPage(), windows_->accountSetPage(),
                                   windows_->auxiliaryWindow(), windows_->hostLookup()};
    QList<QObject*> created;
    for (QObject* window : creationOrder_.windows) {
        if (expected.contains(window))
            created << window;
    }
    QCOMPARE(created, expected);
}

void WizardTest::startUpShowsServerPageOnly() {
    QVERIFY(startWindows());
    QCOMPARE(windows_->serverPage()->windowTitle(), QStringLiteral("创建帐套【服务器设置】"));
    QVERIFY(!windows_->accountSetPage()->isVisible());
    QVERIFY(!windows_->hostLookup()->isVisible());
    QVERIFY(!windows_->auxiliaryWindow()->isVisible());
    QCOMPARE(windows_->auxiliaryWindow()->windowTitle(), QStringLiteral("Form1"));
    QCOMPARE(windows_->auxiliaryWindow()->size(), QSize(696, 480));
    QVERIFY(windows_->auxiliaryWindow()->children().size() <= 1); // no controls of its own
}

void WizardTest::handOverAndBack() {
    QVERIFY(startWindows());
    proveServer();
    QCOMPARE(dialogs_->messageTexts(), QStringList());
    QVERIFY(windows_->accountSetPage()->isVisible());
    QVERIFY(!windows_->serverPage()->isVisible());
    QCOMPARE(windows_->accountSetPage()->windowTitle(), QStringLiteral("创建帐套【开始建帐】"));
    QCOMPARE(childOf<QLineEdit>(windows_->accountSetPage(), "Edit1")->text(),
             server_->dataSource());

    QTest::mouseClick(childOf<QPushButton>(windows_->accountSetPage(), "BitBtn7"), Qt::LeftButton);
    QVERIFY(windows_->serverPage()->isVisible());
    QVERIFY(!windows_->accountSetPage()->isVisible());
    QCOMPARE(windows_->serverPage()->windowTitle(), QStringLiteral("创建帐套【服务器设置】"));
    QVERIFY(childOf<QRadioButton>(windows_->serverPage(), "RadioButton1")->isChecked());
    QCOMPARE(childOf<QLineEdit>(windows_->serverPage(), "Edit1")->text(), QString());

    // And forward again with the newly chosen server.
    proveServer();
    QVERIFY(windows_->accountSetPage()->isVisible());
    QCOMPARE(childOf<QLineEdit>(windows_->accountSetPage(), "Edit1")->text(),
             server_->dataSource());
}

void WizardTest::exitFromAccountSetPageClosesMainWindow() {
    QVERIFY(startWindows());
    QSignalSpy closed(windows_->serverPage(), &Tform_server::closed);
    proveServer();
    QVERIFY(windows_->accountSetPage()->isVisible());
    QTest::mouseClick(childOf<QPushButton>(windows_->accountSetPage(), "BitBtn8"), Qt::LeftButton);
    QCOMPARE(closed.count(), 1);
}

void WizardTest::escapeOnServerPageEnds() {
    QVERIFY(startWindows());
    QSignalSpy closed(windows_->serverPage(), &Tform_server::closed);
    windows_->serverPage()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(windows_->serverPage()));
    box()->setFocus();
    QTest::keyClick(windows_->serverPage()->focusWidget(), Qt::Key_Escape);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!windows_->serverPage()->isVisible());
}

void WizardTest::hostLookupWritesIntoServerBox() {
    QVERIFY(startWindows());
    QTest::mouseClick(childOf<QToolButton>(windows_->serverPage(), "SpeedButton1"), Qt::LeftButton);
    QVERIFY(windows_->hostLookup()->isVisible());
    QCOMPARE(windows_->hostLookup()->windowTitle(), QStringLiteral("获取服务器"));
    childOf<QLineEdit>(windows_->hostLookup(), "Edit2")->setText(QStringLiteral("HOST-7"));
    QTest::mouseClick(childOf<QPushButton>(windows_->hostLookup(), "BitBtn3"), Qt::LeftButton);
    QVERIFY(!windows_->hostLookup()->isVisible());
    QCOMPARE(box()->currentText(), QStringLiteral("HOST-7"));
}

void WizardTest::waitCursorGivenBackOnFailure() {
    QWidget button;
    try {
        WaitCursor wait(&button);
        QVERIFY(hasWaitCursor(&button));
        throw std::runtime_error("lost connection");
    } catch (const std::runtime_error&) {
    }
    QVERIFY(!hasWaitCursor(&button));
}

void WizardTest::wizardWithoutDisplaySaysSo() {
    QProcess wizard;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    wizard.setProcessEnvironment(environment);
    wizard.start(QStringLiteral(ZT_BINARY_DIR "/bin/zt-wizard"), {});
    QVERIFY(wizard.waitForFinished(30000));
    QCOMPARE(wizard.exitStatus(), QProcess::NormalExit);
    QCOMPARE(wizard.exitCode(), 1);
    const QString said = QString::fromLocal8Bit(wizard.readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("no display")), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("xvfb-run")), qPrintable(said));
}

QTEST_MAIN(WizardTest)
#include "tst_wizard.moc"
