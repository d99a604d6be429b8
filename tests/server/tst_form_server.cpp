#include "db/query.h"
#include "server/connection_strings.h"
#include "server/form_server.h"
#include "server/sql_servers_list_combo_box.h"
#include "tests/support/devserver_process.h"
#include "tests/support/local_database_copy.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/widget_helpers.h"
#include "widgets/wait_cursor.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest/QtTest>

#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace zt;
using zt::server::Tform_server;
using zt::server::TSQLServersListComboBox;

namespace {

const QString kFailure = QStringLiteral("连接服务器失败，请重新选择或录入服务器名称！");
const QString kLocalFileUnusable = QStringLiteral("本地配置数据库无法使用！");
const QString kNotice = QStringLiteral("服务器设置提示");
const QString kLoginRows =
    QStringLiteral("select zjmc, \"1\", \"2\" from 系统路径表 order by rowid");
const QString kIntegrated = QStringLiteral("integrated security=sspi;persist security info=false;");

// Stands in for the account-set page: its show handler empties its server name field.
// A loopback port whose connections the kernel completes and nobody ever answers, as a
// stalled host or a port forwarded to nothing would.
class SilentListener {
public:
    SilentListener() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(socket_, 16) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() {
        if (socket_ >= 0)
            ::close(socket_);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    quint16 port() const { return port_; }

private:
    int socket_;
    quint16 port_ = 0;
};

class AccountSetPageStandIn : public QWidget {
public:
    AccountSetPageStandIn() : serverField(new QLineEdit(this)) {
        serverField->setObjectName(QStringLiteral("Edit1"));
        serverField->setText(QStringLiteral("Edit1"));
    }
    QLineEdit* serverField;

protected:
    void showEvent(QShowEvent*) override { serverField->clear(); }
};

} // namespace

class FormServerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void silentServerLeavesThePageAliveAndCancellable();
    void escapeOnTheOpenListClosesOnlyTheList();

    void layoutAsStored();
    void tabOrder();
    void captionOnShow();
    void authenticationChoice();
    void nextWithSqlLoginStoresAndHandsOver();
    void storedLoginUpdatedInPlace();
    void connectionFailure_data();
    void connectionFailure();
    void unusableLocalFileStopsBeforeTheServer();
    void integratedSecurityOnEveryShow();
    void refusedServerName_data();
    void refusedServerName();
    void emptyServerName();
    void mouseMoveResetsWaitCursor();
    void escapeCloses();
    void exitButtonAndCloseBoxClose();
    void toolButtonOpensHostLookup();
    void storeFailureGoesToErrorBox();

private:
    template <typename T> T* child(const char* name) const {
        return test::childOf<T>(page_.get(), name);
    }
    QComboBox* box() const { return child<QComboBox>("SQLServersListComboBox1"); }
    void chooseSqlLogin(const QString& user, const QString& password);
    void pressNext();
    bool showPage();
    QString dataSource() const { return server_->dataSource(); }
    void runOnServer(const QString& statement);

    std::unique_ptr<test::DevServerProcess> server_;
    std::unique_ptr<test::LocalDatabaseCopy> local_;
    std::unique_ptr<test::RecordingDialogs> dialogs_;
    std::unique_ptr<AccountSetPageStandIn> accountSetPage_;
    std::unique_ptr<QWidget> hostLookup_;
    std::unique_ptr<Tform_server> page_;
};

void FormServerTest::initTestCase() {
    server_ = std::make_unique<test::DevServerProcess>(QStringList{
        "--login", "sa::sysadmin", "--login", "bob:p;w'x:sysadmin", "--login", "viewer:pw:public"});
    QVERIFY(server_->start());
}

// Stopped here rather than on destruction, so that a bad end of the server is a failure.
void FormServerTest::cleanupTestCase() {
    server_.reset();
}

void FormServerTest::init() {
    local_ = std::make_unique<test::LocalDatabaseCopy>();
    QVERIFY(local_->isValid());
    dialogs_ = std::make_unique<test::RecordingDialogs>();
    accountSetPage_ = std::make_unique<AccountSetPageStandIn>();
    hostLookup_ = std::make_unique<QWidget>();
    page_ = std::make_unique<Tform_server>(*dialogs_, local_->path());
    page_->setAccountSetPage(accountSetPage_.get());
    page_->setHostLookupDialog(hostLookup_.get());
    // The server box searches once after loading; let that search end first.
    QCoreApplication::processEvents();
    auto* searching = qobject_cast<TSQLServersListComboBox*>(box());
    QVERIFY(searching);
    QTRY_VERIFY_WITH_TIMEOUT(!searching->isSearching(), 30000);
    QVERIFY(showPage());
}

void FormServerTest::cleanup() {
    page_.reset();
    hostLookup_.reset();
    accountSetPage_.reset();
    dialogs_.reset();
    local_.reset();
}

bool FormServerTest::showPage() {
    page_->show();
    return QTest::qWaitForWindowExposed(page_.get());
}

void FormServerTest::chooseSqlLogin(const QString& user, const QString& password) {
    test::clickRadio(child<QRadioButton>("RadioButton2"));
    auto* userField = child<QLineEdit>("Edit1");
    auto* passwordField = child<QLineEdit>("Edit2");
    userField->clear();
    QTest::keyClicks(userField, user);
    QTest::keyClicks(passwordField, password);
}

void FormServerTest::pressNext() {
    QTest::mouseClick(child<QPushButton>("BitBtn7"), Qt::LeftButton);
}

void FormServerTest::silentServerLeavesThePageAliveAndCancellable() {
    // Takes connections (the kernel completes them) and never says a word.
    const SilentListener silent;
    QVERIFY(silent.port() != 0);
    QVERIFY(showPage());
    box()->setEditText(QStringLiteral("127.0.0.1,%1").arg(silent.port()));
    chooseSqlLogin(QStringLiteral("sa"), QString());

    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(10);
    bool cancelled = false;
    QTimer canceller;
    connect(&canceller, &QTimer::timeout, this, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<QProgressDialog*>(widget);
                window && window->isVisible())
                for (QPushButton* button : window->findChildren<QPushButton*>())
                    if (!cancelled && button->text() == QStringLiteral("取消")) {
                        cancelled = true;
                        QTest::mouseClick(button, Qt::LeftButton);
                    }
    });
    canceller.start(50);
    QElapsedTimer clock;
    clock.start();
    pressNext();
    ticker.stop();
    canceller.stop();

    // The event loop ran all along, the progress window came after a moment, and 取消 gave
    // the page back long before the driver would have given up.
    QVERIFY(cancelled);
    QVERIFY2(ticks >= 30, qPrintable(QString::number(ticks)));
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(dialogs_->messages.isEmpty());
    QVERIFY(page_->isVisible());
    QVERIFY(!accountSetPage_->isVisible());
    QVERIFY(!hasWaitCursor(child<QPushButton>("BitBtn7")));
}

void FormServerTest::escapeOnTheOpenListClosesOnlyTheList() {
    QVERIFY(showPage());
    page_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(page_.get()));
    box()->addItem(QStringLiteral("listed"));
    QSignalSpy closed(page_.get(), &Tform_server::closed);
    box()->showPopup();
    QTRY_VERIFY(QApplication::activePopupWidget());
    // Through the window system, as a real key press comes, so that shortcuts see it.
    QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    // The list alone closed; Esc on the page itself still ends the program (escapeCloses).
    QCOMPARE(closed.count(), 0);
    QVERIFY(page_->isVisible());
}

void FormServerTest::runOnServer(const QString& statement) {
    db::Query query(QStringLiteral("helper"));
    query.setConnectionString(
        server::probeSqlLoginConnectionString(dataSource(), QStringLiteral("sa"), QString()));
    query.sqlAdd(statement);
    query.execSql();
}

void FormServerTest::layoutAsStored() {
    QCOMPARE(page_->minimumSize(), QSize(465, 258));
    QCOMPARE(page_->maximumSize(), QSize(465, 258));
    QCOMPARE(child<QLabel>("Label4")->text(), QStringLiteral("服务器名称："));
    QCOMPARE(child<QLabel>("Label1")->text(), QStringLiteral("用  户  名："));
    QCOMPARE(child<QLabel>("Label2")->text(), QStringLiteral("密        码："));
    QCOMPARE(child<QRadioButton>("RadioButton1")->text(),
             QStringLiteral("使用Windows NT集成安全设置(Win98/Me不选此项)"));
    QCOMPARE(child<QRadioButton>("RadioButton2")->text(), QStringLiteral("使用指定的用户和密码"));
    QCOMPARE(child<QToolButton>("SpeedButton1")->toolTip(), QStringLiteral("获取服务器"));
    QCOMPARE(child<QToolButton>("SpeedButton1")->size(), QSize(23, 22));
    QCOMPARE(child<QAction>("Actserver")->text(), QStringLiteral("Actserver"));

    auto* next = child<QPushButton>("BitBtn7");
    auto* exit = child<QPushButton>("BitBtn8");
    QCOMPARE(next->text(), QStringLiteral("下一步&N"));
    QCOMPARE(exit->text(), QStringLiteral("退出&X"));
    QCOMPARE(next->geometry(), QRect(271, 221, 75, 25));
    QCOMPARE(exit->geometry(), QRect(368, 221, 75, 25));
    QVERIFY(next->isEnabled());
    QVERIFY(!next->icon().isNull());
    QVERIFY(!exit->icon().isNull());
    QCOMPARE(child<QWidget>("Panel1")->geometry(), QRect(128, 5, 329, 202));

    // The side picture: our JPEG, decoded, stretched over the strip.
    auto* picture = child<QLabel>("Image1");
    QCOMPARE(picture->pixmap().size(), QSize(125, 244));
    QCOMPARE(picture->width(), 123);
    QCOMPARE(picture->height(), 258);

    auto* userField = child<QLineEdit>("Edit1");
    auto* passwordField = child<QLineEdit>("Edit2");
    QCOMPARE(userField->text(), QString());
    QCOMPARE(passwordField->text(), QString());
    QVERIFY(!userField->isEnabled());
    QVERIFY(!passwordField->isEnabled());
    QCOMPARE(userField->size(), QSize(204, 21));
    QCOMPARE(passwordField->size(), QSize(204, 24));
    QCOMPARE(passwordField->echoMode(), QLineEdit::Password);
    QVERIFY(passwordField->font().bold());
    QCOMPARE(passwordField->font().pointSize(), 10);
    QVERIFY(child<QRadioButton>("RadioButton1")->isChecked());
    QVERIFY(!child<QRadioButton>("RadioButton2")->isChecked());

    QVERIFY(box()->isEditable());
    QCOMPARE(box()->size(), QSize(189, 21));
    QVERIFY(box()->count() >= 1);
}

void FormServerTest::tabOrder() {
    const QStringList expected{
        "RadioButton1", "RadioButton2", "Edit2", "Edit1", "SQLServersListComboBox1",
        "BitBtn7",      "BitBtn8"};
    QStringList chain;
    QWidget* widget = child<QWidget>("RadioButton1");
    for (int guard = 0; guard < 100 && chain.size() < expected.size(); ++guard) {
        if (expected.contains(widget->objectName()) && !chain.contains(widget->objectName()))
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    QCOMPARE(chain, expected);
}

void FormServerTest::captionOnShow() {
    QCOMPARE(page_->windowTitle(), QStringLiteral("创建帐套【服务器设置】"));
}

void FormServerTest::authenticationChoice() {
    auto* sqlLogin = child<QRadioButton>("RadioButton2");
    auto* userField = child<QLineEdit>("Edit1");
    auto* passwordField = child<QLineEdit>("Edit2");
    test::clickRadio(sqlLogin);
    QVERIFY(userField->isEnabled());
    QVERIFY(passwordField->isEnabled());
    QCOMPARE(userField->text(), QStringLiteral("sa"));
    QCOMPARE(passwordField->text(), QString());

    QTest::keyClicks(passwordField, QStringLiteral("pw"));
    test::clickRadio(sqlLogin); // already chosen: nothing changes
    QCOMPARE(passwordField->text(), QStringLiteral("pw"));

    test::clickRadio(child<QRadioButton>("RadioButton1"));
    QCOMPARE(userField->text(), QString());
    QCOMPARE(passwordField->text(), QString());
    QVERIFY(!userField->isEnabled());
    QVERIFY(!passwordField->isEnabled());
}

void FormServerTest::nextWithSqlLoginStoresAndHandsOver() {
    box()->setEditText(dataSource());
    chooseSqlLogin(QStringLiteral("sa"), QString());
    pressNext();
    QCOMPARE(dialogs_->messageTexts(), QStringList());
    QVERIFY(!page_->isVisible());
    QVERIFY(accountSetPage_->isVisible());
    QCOMPARE(accountSetPage_->serverField->text(), dataSource());
    QVERIFY(!hasWaitCursor(child<QPushButton>("BitBtn7")));
    QCOMPARE(local_->rows(kLoginRows),
             QStringList{dataSource() + "||password=;persist security info=true;user id=sa;"});

    // The probe database was dropped again: proving once more works.
    QVERIFY(showPage());
    box()->setEditText(dataSource());
    chooseSqlLogin(QStringLiteral("sa"), QString());
    pressNext();
    QCOMPARE(dialogs_->messageTexts(), QStringList());
    QCOMPARE(local_->rows(kLoginRows).size(), 1);
}

void FormServerTest::storedLoginUpdatedInPlace() {
    box()->setEditText(dataSource());
    chooseSqlLogin(QStringLiteral("sa"), QString());
    pressNext();
    QVERIFY(!page_->isVisible());

    // Another login for the same server; its password needs quoting to survive.
    QVERIFY(showPage());
    box()->setEditText(dataSource());
    chooseSqlLogin(QStringLiteral("bob"), QStringLiteral("p;w'x"));
    pressNext();
    QCOMPARE(dialogs_->messageTexts(), QStringList());
    QCOMPARE(
        local_->rows(kLoginRows),
        QStringList{dataSource() + "||password=\"p;w'x\";persist security info=true;user id=bob;"});

    // Storing integrated security for it rewrites the same row.
    QVERIFY(showPage());
    box()->setEditText(dataSource());
    child<QAction>("Actserver")->trigger();
    QCOMPARE(dialogs_->messageTexts(), QStringList());
    QCOMPARE(local_->rows(kLoginRows), QStringList{dataSource() + u'|' + kIntegrated + u'|'});
}

void FormServerTest::connectionFailure_data() {
    QTest::addColumn<QString>("serverName");
    QTest::addColumn<bool>("integrated");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("more"); // a further line, when there is one
    QTest::newRow("wrong password") << "" << false << "sa"
                                    << "nope"
                                    << "登录被拒绝：用户名或密码错误。"
                                    << "";
    QTest::newRow("closed port") << "closed" << false << "sa"
                                 << ""
                                 << "无法连接到服务器"
                                 << "";
    // The server's own words follow the Chinese line.
    QTest::newRow("login may not create databases") << "" << false << "viewer"
                                                    << "pw"
                                                    << "权限不足"
                                                    << "CREATE DATABASE permission denied";
    QTest::newRow("integrated security refused")
        << "" << true << ""
        << ""
        << "无法与服务器建立连接"
        << "Windows集成安全登录需要本机持有该域的Kerberos票据";
}

void FormServerTest::connectionFailure() {
    QFETCH(QString, serverName);
    QFETCH(bool, integrated);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, cause);
    QFETCH(QString, more);

    if (serverName == u"closed") {
        test::DevServerProcess stopped;
        QVERIFY(stopped.start());
        serverName = stopped.dataSource();
        stopped.stop();
    } else {
        serverName = dataSource();
    }

    bool waitCursorDuringMessage = true;
    auto* next = child<QPushButton>("BitBtn7");
    dialogs_->onMessage = [&](const test::RecordingDialogs::Message&) {
        waitCursorDuringMessage = hasWaitCursor(next);
    };
    box()->setEditText(serverName);
    if (!integrated)
        chooseSqlLogin(user, password);
    pressNext();

    QCOMPARE(dialogs_->events, (QStringList{"beep", "message"}));
    const auto& shown = dialogs_->messages.first();
    // The fixed message first, then one line on the cause; never the driver's own text.
    const QStringList lines = shown.text.split(u'\n');
    QCOMPARE(lines.size(), more.isEmpty() ? 2 : 3);
    QCOMPARE(lines.first(), kFailure);
    QVERIFY2(lines.at(1).startsWith(cause), qPrintable(lines.at(1)));
    QVERIFY2(lines.last().startsWith(more), qPrintable(lines.last()));
    QVERIFY(!shown.text.contains(QStringLiteral("Adaptive Server")));
    QCOMPARE(shown.caption, kNotice);
    QCOMPARE(shown.icon, DialogIcon::Information);
    QCOMPARE(shown.buttons, DialogButtons::Ok);
    QVERIFY(!waitCursorDuringMessage);
    QVERIFY(!hasWaitCursor(next));
    QVERIFY(page_->isVisible());
    QVERIFY(!accountSetPage_->isVisible());
    QCOMPARE(box()->currentText(), serverName);
    QCOMPARE(local_->rows(kLoginRows), QStringList());
}

void FormServerTest::unusableLocalFileStopsBeforeTheServer() {
    {
        QFile file(local_->path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(QByteArray(4096, 'x')), 4096);
    }
    const qint64 traceBefore = QFileInfo(server_->traceFile()).size();
    box()->setEditText(dataSource());
    chooseSqlLogin(QStringLiteral("sa"), QString());
    pressNext();

    QCOMPARE(dialogs_->events, (QStringList{"beep", "message"}));
    const auto& shown = dialogs_->messages.first();
    // Not the server's fault, and the server was not asked.
    const QStringList lines = shown.text.split(u'\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.first(), kLocalFileUnusable);
    QVERIFY2(lines.last().startsWith(QStringLiteral("本地配置数据库无法使用：") + local_->path() +
                                     QStringLiteral(" 已损坏：")),
             qPrintable(lines.last()));
    QCOMPARE(shown.caption, kNotice);
    QCOMPARE(shown.icon, DialogIcon::Information);
    QCOMPARE(QFileInfo(server_->traceFile()).size(), traceBefore);
    QVERIFY(page_->isVisible());
    QVERIFY(!accountSetPage_->isVisible());
    QVERIFY(!hasWaitCursor(child<QPushButton>("BitBtn7")));
}

void FormServerTest::integratedSecurityOnEveryShow() {
    chooseSqlLogin(QStringLiteral("bob"), QStringLiteral("secret"));
    box()->setEditText(QStringLiteral("typed"));
    page_->hide();
    QVERIFY(showPage());
    QVERIFY(child<QRadioButton>("RadioButton1")->isChecked());
    QCOMPARE(child<QLineEdit>("Edit1")->text(), QString());
    QCOMPARE(child<QLineEdit>("Edit2")->text(), QString());
    QVERIFY(!child<QLineEdit>("Edit1")->isEnabled());
    QVERIFY(!child<QLineEdit>("Edit2")->isEnabled());
    // The box selects its first entry again.
    QCOMPARE(box()->currentIndex(), 0);
    QCOMPARE(box()->currentText(), box()->itemText(0));
}

void FormServerTest::refusedServerName_data() {
    QTest::addColumn<QString>("suffix");
    QTest::newRow("semicolon") << ";Initial Catalog=master";
    QTest::newRow("single quote") << "'";
    QTest::newRow("double quote") << "\"";
    QTest::newRow("equals") << "=";
}

void FormServerTest::refusedServerName() {
    QFETCH(QString, suffix);
    const qint64 traceBefore = QFileInfo(server_->traceFile()).size();
    box()->setEditText(dataSource() + suffix);
    chooseSqlLogin(QStringLiteral("sa"), QString());
    pressNext();
    QCOMPARE(dialogs_->events, QStringList{"message"});
    const auto& shown = dialogs_->messages.first();
    QCOMPARE(shown.text, QStringLiteral("服务器名称不能包含分号、引号或等号！"));
    QCOMPARE(shown.caption, kNotice);
    QCOMPARE(shown.icon, DialogIcon::Information);
    QVERIFY(page_->isVisible());
    QVERIFY(!accountSetPage_->isVisible());
    QCOMPARE(local_->rows(kLoginRows), QStringList());
    QCOMPARE(QFileInfo(server_->traceFile()).size(), traceBefore); // nothing reached the server
}

void FormServerTest::emptyServerName() {
    box()->setEditText(QString());
    child<QPushButton>("BitBtn7")->setFocus();
    pressNext();
    QCOMPARE(dialogs_->events, QStringList{"message"});
    const auto& shown = dialogs_->messages.first();
    QCOMPARE(shown.text, QStringLiteral("请选择或录入SQL服务器名称！"));
    QCOMPARE(shown.caption, QStringLiteral("创建帐套"));
    QCOMPARE(shown.icon, DialogIcon::None);
    QCOMPARE(page_->focusWidget(), box());
    QVERIFY(page_->isVisible());
}

void FormServerTest::mouseMoveResetsWaitCursor() {
    auto* next = child<QPushButton>("BitBtn7");
    const QPointF inside(10, 10);
    QMouseEvent move(QEvent::MouseMove, inside, next->mapToGlobal(inside), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);

    next->setCursor(Qt::PointingHandCursor);
    QCoreApplication::sendEvent(next, &move);
    QCOMPARE(next->cursor().shape(), Qt::PointingHandCursor); // not the wait cursor: kept

    next->setCursor(kWaitCursor);
    QCoreApplication::sendEvent(next, &move);
    QVERIFY(!hasWaitCursor(next));
    QVERIFY(!next->testAttribute(Qt::WA_SetCursor));
}

void FormServerTest::escapeCloses() {
    QSignalSpy closed(page_.get(), &Tform_server::closed);
    page_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(page_.get()));
    QTest::keyClick(page_->windowHandle(), Qt::Key_Escape);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!page_->isVisible());
}

void FormServerTest::exitButtonAndCloseBoxClose() {
    QSignalSpy closed(page_.get(), &Tform_server::closed);
    QTest::mouseClick(child<QPushButton>("BitBtn8"), Qt::LeftButton);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!page_->isVisible());
    QVERIFY(showPage());
    page_->close(); // what the close box does
    QCOMPARE(closed.count(), 2);
}

void FormServerTest::toolButtonOpensHostLookup() {
    QTest::mouseClick(child<QToolButton>("SpeedButton1"), Qt::LeftButton);
    QVERIFY(hostLookup_->isVisible());
    QCOMPARE(hostLookup_->windowTitle(), QStringLiteral("获取服务器"));
    QVERIFY(page_->isVisible());
    QVERIFY(!hostLookup_->isModal());
}

void FormServerTest::storeFailureGoesToErrorBox() {
    // The store on its own has no guard of its own: its failure reaches the error box.
    QVERIFY(QFile::remove(local_->path()));
    QVERIFY(QDir().mkpath(local_->path())); // a directory where the file should be
    box()->setEditText(QStringLiteral("srv"));
    child<QAction>("Actserver")->trigger();
    QCOMPARE(dialogs_->events, QStringList{"message"});
    const auto& shown = dialogs_->messages.first();
    QCOMPARE(shown.caption, QStringLiteral("创建帐套"));
    QCOMPARE(shown.icon, DialogIcon::Error);
    QVERIFY(!shown.text.isEmpty());
}

QTEST_MAIN(FormServerTest)
#include "tst_form_server.moc"
