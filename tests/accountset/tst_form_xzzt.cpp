// The account-set page on the offscreen platform, driven by object names: its controls as
// laid out, its show handler, navigation, and its operations against a private zt-devserver.
// Every function gets a server and a local database of its own and makes the rows it needs.

#include "accountset/form_xzzt.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/widget_helpers.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <memory>

using zt::DialogAnswer;
using zt::DialogIcon;
using zt::Tform_xzzt;
using zt::test::AccountSetFixture;
using zt::test::RecordingDialogs;

class TestFormXzzt : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsAsLaidOut_data();
    void controlsAsLaidOut();
    void passwordFieldsAreMasked();
    void gridShowsOneCentredNameColumn();
    void tabOrderOnTheFirstTab();
    void showSetsCaptionAndClearsTheFields();
    void backShowsTheServerPageAndHides();
    void exitEscapeAndCloseBoxEndTheProgram_data();
    void exitEscapeAndCloseBoxEndTheProgram();
    void waitCursorGoesWhenThePointerMoves();

    void emptyNameFocusesTheNameField();
    void creationEndsTheProgram();
    void failedCreationShowsTheErrorBoxAndStays();
    void networkTabListsAndSelectionEndsTheProgram();
    void deletionThroughThePasswordBox();
    void handOverReloadsTheListOfTheNewServer();
    void sampleRestoreLeavesThePageOpen();
    void clickedRowIsTheOneSelected();
    void emptiedServerNameEmptiesTheList();

private:
    template <typename T> T* child(const char* name) {
        return zt::test::childOf<T>(page_.get(), name);
    }
    void handOver(const QString& serverName);
    QAbstractItemModel* grid() { return child<QTableView>("DBGrid1")->model(); }
    int gridRowNamed(const QString& name);
    // 页面帐 (password k1) as this workstation made it on the network, then 别处帐 that
    // another one made: two registry rows, one local row, one database.
    bool makeTwoNetworkAccountSets();

    std::unique_ptr<AccountSetFixture> fixture_;
    RecordingDialogs dialogs_;
    std::unique_ptr<Tform_xzzt> page_;
};

void TestFormXzzt::init() {
    fixture_ = std::make_unique<AccountSetFixture>();
    QVERIFY(fixture_->start());
    dialogs_.clear();
    dialogs_.onMessage = nullptr;
    page_ = std::make_unique<Tform_xzzt>(dialogs_);
    page_->setLocalDatabasePath(fixture_->localDatabasePath());
    page_->setSampleDataDirectory(fixture_->directory() + QStringLiteral("/mssql/data"));
}

void TestFormXzzt::cleanup() {
    page_.reset();
    fixture_.reset();
}

int TestFormXzzt::gridRowNamed(const QString& name) {
    for (int row = 0; row < grid()->rowCount(); ++row) {
        if (grid()->index(row, 0).data().toString() == name)
            return row;
    }
    return -1;
}

bool TestFormXzzt::makeTwoNetworkAccountSets() {
    return fixture_->execServer(QStringLiteral("master"),
                                QStringLiteral("create database 页面帐")) &&
           fixture_->createRegistry() &&
           fixture_->addRegistryRow(QStringLiteral("页面帐"), QStringLiteral("k1")) &&
           fixture_->addRegistryRow(QStringLiteral("别处帐"), QStringLiteral("x")) &&
           fixture_->registerLocally(QStringLiteral("页面帐"), QStringLiteral("k1"), true);
}

void TestFormXzzt::handOver(const QString& serverName) {
    page_->show();
    child<QLineEdit>("Edit1")->setText(serverName);
}

void TestFormXzzt::controlsAsLaidOut_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("BitBtn7") << "BitBtn7"
                             << "上一步&P"
                             << "" << true;
    QTest::newRow("BitBtn8") << "BitBtn8"
                             << "退出&X"
                             << "" << true;
    QTest::newRow("Label6") << "Label6"
                            << "服务器名称："
                            << "" << true;
    QTest::newRow("Edit1") << "Edit1"
                           << ""
                           << "" << false;
    QTest::newRow("Label7") << "Label7"
                            << "帐套名称："
                            << "" << true;
    QTest::newRow("Edit2") << "Edit2"
                           << ""
                           << "" << true;
    QTest::newRow("Label8") << "Label8"
                            << "帐套口令："
                            << "" << true;
    QTest::newRow("Edit6") << "Edit6"
                           << ""
                           << "" << true;
    QTest::newRow("CheckBox1") << "CheckBox1"
                               << "网络帐套"
                               << "将新增帐套作为网络帐套使用" << true;
    QTest::newRow("BitBtn4") << "BitBtn4"
                             << "创建例子帐套&S"
                             << "创建软件自带的示范账套" << true;
    QTest::newRow("BitBtn1") << "BitBtn1"
                             << "创建新帐套&A"
                             << "" << true;
    QTest::newRow("BitBtn2") << "BitBtn2"
                             << "选择网络帐套&N"
                             << "将此网络帐套选择为本地应用帐套" << true;
    QTest::newRow("BitBtn3") << "BitBtn3"
                             << "删除网络帐套&A"
                             << "删除此网络帐套" << true;
    QTest::newRow("Label2") << "Label2"
                            << "帐套口令："
                            << "" << true;
    QTest::newRow("BitBtn5") << "BitBtn5"
                             << "删除&D"
                             << "" << true;
    QTest::newRow("BitBtn6") << "BitBtn6"
                             << " 取消&C"
                             << "" << true;
}

void TestFormXzzt::controlsAsLaidOut() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, hint);
    QFETCH(bool, enabled);
    auto* widget = page_->findChild<QWidget*>(name);
    QVERIFY(widget);
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QCOMPARE(button->text(), text);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), text);
    QCOMPARE(widget->toolTip(), hint);
    QCOMPARE(widget->isEnabled(), enabled);
}

void TestFormXzzt::passwordFieldsAreMasked() {
    for (const char* name : {"Edit6", "Edit3"}) {
        auto* edit = child<QLineEdit>(name);
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QVERIFY(edit->font().bold());
        QCOMPARE(edit->font().pointSize(), 10);
    }
    handOver(QStringLiteral("x"));
    QVERIFY(!child<QLineEdit>("server")->isVisible());
    QVERIFY(!child<QGroupBox>("GroupBox1")->isVisible());
    QCOMPARE(child<QGroupBox>("GroupBox1")->title(), QStringLiteral("删除口令"));
    QCOMPARE(page_->size(), QSize(436, 250));
}

void TestFormXzzt::gridShowsOneCentredNameColumn() {
    auto* view = child<QTableView>("DBGrid1");
    QCOMPARE(view->model()->columnCount(), 1);
    QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("账套名称"));
    QCOMPARE(view->model()->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignCenter));
    QCOMPARE(view->columnWidth(0), 235);
    QCOMPARE(view->palette().color(QPalette::Base), QColor(233, 240, 248));
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(child<QTabWidget>("PageControl1")->tabText(0), QStringLiteral("新增帐套"));
    QCOMPARE(child<QTabWidget>("PageControl1")->tabText(1), QStringLiteral("网络帐套"));
    QCOMPARE(child<QTabWidget>("PageControl1")->currentIndex(), 0);
}

void TestFormXzzt::tabOrderOnTheFirstTab() {
    // The check box comes before the password field.
    QStringList order;
    QWidget* widget = child<QLineEdit>("Edit2");
    for (int step = 0; step < 4; ++step) {
        widget = zt::test::nextTabStop(widget);
        order << widget->objectName();
    }
    QCOMPARE(order, (QStringList{"CheckBox1", "Edit6", "BitBtn4", "BitBtn1"}));
}

void TestFormXzzt::showSetsCaptionAndClearsTheFields() {
    child<QLineEdit>("Edit2")->setText(QStringLiteral("old"));
    child<QLineEdit>("Edit6")->setText(QStringLiteral("pw"));
    child<QCheckBox>("CheckBox1")->setChecked(true);
    handOver(QStringLiteral("SERVER-A"));
    QCOMPARE(page_->windowTitle(), QStringLiteral("创建帐套【开始建帐】"));
    QCOMPARE(child<QLineEdit>("Edit1")->text(), QStringLiteral("SERVER-A"));
    QCOMPARE(page_->serverName(), QStringLiteral("SERVER-A"));
    QCOMPARE(child<QLineEdit>("Edit2")->text(), QString());
    QCOMPARE(child<QLineEdit>("Edit6")->text(), QString());
    QVERIFY(child<QCheckBox>("CheckBox1")->isChecked());
}

void TestFormXzzt::backShowsTheServerPageAndHides() {
    handOver(QStringLiteral("s"));
    QSignalSpy back(page_.get(), &Tform_xzzt::backRequested);
    QSignalSpy close(page_.get(), &Tform_xzzt::closeMainWindowRequested);
    QTest::mouseClick(child<QPushButton>("BitBtn7"), Qt::LeftButton);
    QCOMPARE(back.count(), 1);
    QCOMPARE(close.count(), 0);
    QVERIFY(!page_->isVisible());
}

void TestFormXzzt::exitEscapeAndCloseBoxEndTheProgram_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("exit button") << "exit";
    QTest::newRow("escape in the password box") << "escape";
    QTest::newRow("close box") << "close";
}

void TestFormXzzt::exitEscapeAndCloseBoxEndTheProgram() {
    QFETCH(QString, how);
    handOver(QStringLiteral("s"));
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    QSignalSpy close(page_.get(), &Tform_xzzt::closeMainWindowRequested);
    if (how == u"exit") {
        QTest::mouseClick(child<QPushButton>("BitBtn8"), Qt::LeftButton);
    } else if (how == u"escape") {
        child<QTabWidget>("PageControl1")->setCurrentIndex(1);
        child<QGroupBox>("GroupBox1")->show();
        page_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page_.get()));
        child<QLineEdit>("Edit3")->setFocus();
        QTRY_VERIFY(child<QLineEdit>("Edit3")->hasFocus());
        QTest::keyClick(child<QLineEdit>("Edit3"), Qt::Key_Escape);
    } else {
        page_->close();
    }
    QCOMPARE(close.count(), 1);
}

void TestFormXzzt::waitCursorGoesWhenThePointerMoves() {
    handOver(QStringLiteral("s"));
    for (const char* name : {"BitBtn1", "BitBtn4", "BitBtn5"}) {
        auto* button = child<QPushButton>(name);
        button->setCursor(Qt::BusyCursor);
        QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), button->mapToGlobal(QPointF(3, 3)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(button, &move);
        QVERIFY2(!button->testAttribute(Qt::WA_SetCursor), name);
    }
}

void TestFormXzzt::emptyNameFocusesTheNameField() {
    handOver(fixture_->serverName());
    page_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(page_.get()));
    child<QPushButton>("BitBtn1")->setFocus();
    QSignalSpy close(page_.get(), &Tform_xzzt::closeMainWindowRequested);
    QTest::mouseClick(child<QPushButton>("BitBtn1"), Qt::LeftButton);
    QCOMPARE(dialogs_.events, (QStringList{"beep", "message"}));
    QCOMPARE(dialogs_.messages.first().text, QStringLiteral("帐套名称不能为空！"));
    QTRY_VERIFY(child<QLineEdit>("Edit2")->hasFocus());

    dialogs_.clear();
    QTest::keyClicks(child<QLineEdit>("Edit2"), QStringLiteral("2abc"));
    child<QPushButton>("BitBtn1")->setFocus();
    QTest::mouseClick(child<QPushButton>("BitBtn1"), Qt::LeftButton);
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("新增帐套"));
    QTRY_VERIFY(child<QLineEdit>("Edit2")->hasFocus());
    QCOMPARE(close.count(), 0);
}

void TestFormXzzt::creationEndsTheProgram() {
    handOver(fixture_->serverName());
    child<QLineEdit>("Edit2")->setText(QStringLiteral("页面帐"));
    QTest::keyClicks(child<QLineEdit>("Edit6"), QStringLiteral("k1"));
    child<QCheckBox>("CheckBox1")->setChecked(true);
    QSignalSpy close(page_.get(), &Tform_xzzt::closeMainWindowRequested);
    // The program ends only after the success message has been dismissed.
    dialogs_.onMessage = [&](const RecordingDialogs::Message&) { QCOMPARE(close.count(), 0); };
    QTest::mouseClick(child<QPushButton>("BitBtn1"), Qt::LeftButton);
    dialogs_.onMessage = nullptr;
    QCOMPARE(dialogs_.messageTexts(), QStringList{QStringLiteral("帐套创建成功！")});
    QCOMPARE(close.count(), 1);
    QVERIFY(fixture_->databaseExists(QStringLiteral("页面帐")));
    QVERIFY(!child<QPushButton>("BitBtn1")->testAttribute(Qt::WA_SetCursor));
}

void TestFormXzzt::failedCreationShowsTheErrorBoxAndStays() {
    QVERIFY(
        fixture_->execServer(QStringLiteral("master"), QStringLiteral("create database 页面帐")));
    handOver(fixture_->serverName());
    child<QLineEdit>("Edit2")->setText(QStringLiteral("页面帐"));
    QSignalSpy close(page_.get(), &Tform_xzzt::closeMainWindowRequested);
    QTest::mouseClick(child<QPushButton>("BitBtn1"), Qt::LeftButton);
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("创建帐套"));
    QCOMPARE(dialogs_.messages.first().icon, DialogIcon::Error);
    QVERIFY(dialogs_.messages.first().text.contains(QStringLiteral("页面帐")));
    QCOMPARE(close.count(), 0);
    QVERIFY(page_->isVisible());
}

void TestFormXzzt::networkTabListsAndSelectionEndsTheProgram() {
    QVERIFY(makeTwoNetworkAccountSets());
    handOver(fixture_->serverName());
    child<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(grid()->index(0, 0).data().toString(), QStringLiteral("页面帐"));
    QCOMPARE(child<QLineEdit>("server")->text(), fixture_->credentialPart());

    QSignalSpy close(page_.get(), &Tform_xzzt::closeMainWindowRequested);
    // The first row is this workstation's own account set.
    QTest::mouseClick(child<QPushButton>("BitBtn2"), Qt::LeftButton);
    QCOMPARE(dialogs_.messageTexts(),
             QStringList{QStringLiteral("已经存在服务器名称和帐套名称相同的帐套！")});
    QCOMPARE(close.count(), 0);

    dialogs_.clear();
    child<QTableView>("DBGrid1")->selectRow(1);
    dialogs_.answers.push_back(DialogAnswer::Yes);
    QTest::mouseClick(child<QPushButton>("BitBtn2"), Qt::LeftButton);
    QCOMPARE(dialogs_.messageTexts(),
             (QStringList{"确定要将网络帐套【别处帐】的选择引入吗？", "网络帐套选择引入成功！"}));
    QCOMPARE(close.count(), 1);
}

void TestFormXzzt::deletionThroughThePasswordBox() {
    QVERIFY(makeTwoNetworkAccountSets());
    handOver(fixture_->serverName());
    child<QTabWidget>("PageControl1")->setCurrentIndex(1);
    page_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(page_.get()));
    QCOMPARE(grid()->rowCount(), 2);
    auto* box = child<QGroupBox>("GroupBox1");

    dialogs_.answers.push_back(DialogAnswer::No);
    QTest::mouseClick(child<QPushButton>("BitBtn3"), Qt::LeftButton);
    QVERIFY(!box->isVisible());

    dialogs_.answers.push_back(DialogAnswer::Yes);
    QTest::mouseClick(child<QPushButton>("BitBtn3"), Qt::LeftButton);
    QVERIFY(box->isVisible());
    QTRY_VERIFY(child<QLineEdit>("Edit3")->hasFocus());

    dialogs_.clear();
    // A wrong password is told before any progress window opens.
    bool progressShown = false;
    dialogs_.onMessage = [&](const RecordingDialogs::Message&) {
        for (QWidget* widget : QApplication::topLevelWidgets())
            progressShown =
                progressShown || (qobject_cast<QProgressDialog*>(widget) && widget->isVisible());
    };
    QTest::keyClicks(child<QLineEdit>("Edit3"), QStringLiteral("K1"));
    QTest::keyClick(child<QLineEdit>("Edit3"), Qt::Key_Return);
    QCOMPARE(dialogs_.messageTexts(), QStringList{QStringLiteral("帐套口令错误")});
    QVERIFY(!progressShown);
    dialogs_.onMessage = {};
    QVERIFY(box->isVisible());

    dialogs_.clear();
    child<QLineEdit>("Edit3")->setText(QStringLiteral("k1"));
    QTest::mouseClick(child<QPushButton>("BitBtn5"), Qt::LeftButton);
    QCOMPARE(dialogs_.messageTexts(), QStringList{QStringLiteral("此帐套已成功删除")});
    QVERIFY(!box->isVisible());
    QCOMPARE(grid()->rowCount(), 1);
    QCOMPARE(grid()->index(0, 0).data().toString(), QStringLiteral("别处帐"));
    QVERIFY(!fixture_->databaseExists(QStringLiteral("页面帐")));
    // The typed password stays for the next deletion; cancelling only hides the box.
    dialogs_.answers.push_back(DialogAnswer::Yes);
    QTest::mouseClick(child<QPushButton>("BitBtn3"), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>("Edit3")->text(), QStringLiteral("k1"));
    QTest::mouseClick(child<QPushButton>("BitBtn6"), Qt::LeftButton);
    QVERIFY(!box->isVisible());
    QCOMPARE(grid()->rowCount(), 1);
}

void TestFormXzzt::handOverReloadsTheListOfTheNewServer() {
    QVERIFY(fixture_->createRegistry());
    QVERIFY(fixture_->addRegistryRow(QStringLiteral("别处帐"), QStringLiteral("x")));
    handOver(fixture_->serverName());
    child<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QCOMPARE(grid()->rowCount(), 1);
    page_->hide();
    // Another server without a registry (a closed loopback port).
    handOver(QStringLiteral("127.0.0.1,1"));
    QCOMPARE(grid()->rowCount(), 0);
    dialogs_.clear();
    QTest::mouseClick(child<QPushButton>("BitBtn3"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("BitBtn2"), Qt::LeftButton);
    QVERIFY(dialogs_.events.isEmpty());
}

void TestFormXzzt::sampleRestoreLeavesThePageOpen() {
    const QString sample = zt::accountset::sampleAccountSetName();
    const QString backup = fixture_->directory() + QStringLiteral("/sample.bak");
    QVERIFY(fixture_->createEmptyAccountSet(sample));
    QVERIFY(fixture_->execServer(
        QStringLiteral("master"),
        QStringLiteral("backup database %1 to disk='%2'").arg(sample, backup)));
    QVERIFY(
        fixture_->execServer(QStringLiteral("master"), QStringLiteral("drop database ") + sample));
    page_->setSampleBackupPath(backup);

    handOver(QString());
    QTest::keyClicks(child<QLineEdit>("Edit2"), QStringLiteral("typed"));
    QTest::mouseClick(child<QPushButton>("BitBtn4"), Qt::LeftButton);
    QCOMPARE(dialogs_.messageTexts(), QStringList{QStringLiteral("服务器名称不可为空！")});
    QCOMPARE(child<QLineEdit>("Edit2")->text(), QStringLiteral("typed"));

    dialogs_.clear();
    page_->hide();
    handOver(fixture_->serverName());
    QTest::keyClicks(child<QLineEdit>("Edit2"), QStringLiteral("typed"));
    QSignalSpy close(page_.get(), &Tform_xzzt::closeMainWindowRequested);
    // The name field is emptied before the success message shows.
    QString nameDuringMessage = QStringLiteral("not asked");
    dialogs_.onMessage = [&](const RecordingDialogs::Message&) {
        nameDuringMessage = child<QLineEdit>("Edit2")->text();
    };
    QTest::mouseClick(child<QPushButton>("BitBtn4"), Qt::LeftButton);
    dialogs_.onMessage = nullptr;
    QCOMPARE(nameDuringMessage, QString());
    QCOMPARE(dialogs_.messageTexts(),
             QStringList{QStringLiteral("“澄桦3000例子账套”账套创建成功！")});
    QCOMPARE(child<QLineEdit>("Edit2")->text(), QString());
    QCOMPARE(close.count(), 0);
    QVERIFY(page_->isVisible());
    QVERIFY(fixture_->databaseExists(sample));
}

void TestFormXzzt::clickedRowIsTheOneSelected() {
    QVERIFY(fixture_->createRegistry());
    for (const char* name : {"别处帐", "点选帐一", "点选帐二"})
        QVERIFY(fixture_->addRegistryRow(QString::fromUtf8(name), QStringLiteral("x")));
    handOver(fixture_->serverName());
    child<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    auto* view = child<QTableView>("DBGrid1");
    const int clicked = gridRowNamed(QStringLiteral("点选帐一"));
    QVERIFY(clicked > 0); // not the row the list starts on
    QCOMPARE(view->currentIndex().row(), 0);

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(grid()->index(clicked, 0)).center());
    QCOMPARE(view->currentIndex().row(), clicked);
    QSignalSpy close(page_.get(), &Tform_xzzt::closeMainWindowRequested);
    dialogs_.answers.push_back(DialogAnswer::Yes);
    QTest::mouseClick(child<QPushButton>("BitBtn2"), Qt::LeftButton);
    QCOMPARE(dialogs_.messageTexts(),
             (QStringList{"确定要将网络帐套【点选帐一】的选择引入吗？", "网络帐套选择引入成功！"}));
    QCOMPARE(close.count(), 1);
}

void TestFormXzzt::emptiedServerNameEmptiesTheList() {
    QVERIFY(fixture_->createRegistry());
    QVERIFY(fixture_->addRegistryRow(QStringLiteral("别处帐"), QStringLiteral("x")));
    handOver(fixture_->serverName());
    child<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QVERIFY(grid()->rowCount() > 0);
    child<QLineEdit>("Edit1")->clear();
    QCOMPARE(grid()->rowCount(), 0);
    QVERIFY(!child<QTableView>("DBGrid1")->currentIndex().isValid());
    dialogs_.clear();
    QTest::mouseClick(child<QPushButton>("BitBtn2"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("BitBtn3"), Qt::LeftButton);
    QVERIFY(dialogs_.events.isEmpty());
}

QTEST_MAIN(TestFormXzzt)
#include "tst_form_xzzt.moc"
