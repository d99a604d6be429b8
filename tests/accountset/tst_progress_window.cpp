// Long operations behind the progress window: the windows keep repainting while a slow server
// works, the window names the stages in order, and cancelling (through "取消" or at any stage
// boundary of the operation) leaves nothing behind.

#include "accountset/creation.h"
#include "accountset/form_xzzt.h"
#include "accountset/sample_restore.h"
#include "schema/create_tables.h"
#include "seed/default_data.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/recording_dialogs.h"
#include "widgets/wait_cursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using zt::accountset::CreationStage;
using zt::test::AccountSetFixture;
using zt::test::RecordingDialogs;

namespace {

// Every answer of the slow server waits this long: a creation takes a few seconds.
constexpr int slowAnswerMs = 60;

QProgressDialog* visibleProgressWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QProgressDialog*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

// Counts the paint events of the progress window and of everything in it.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            if (auto* widget = qobject_cast<QWidget*>(watched);
                widget && qobject_cast<QProgressDialog*>(widget->window()))
                ++paints;
        return QObject::eventFilter(watched, event);
    }
};

int stageIndexOf(const QString& label) {
    const QStringList prefixes{QStringLiteral("正在创建数据库"), QStringLiteral("正在创建表"),
                               QStringLiteral("正在写入默认数据"), QStringLiteral("正在登记帐套")};
    for (int i = 0; i < prefixes.size(); ++i)
        if (label.startsWith(prefixes[i]))
            return i;
    return -1;
}

bool nothingLeftOf(const AccountSetFixture& fixture, const QString& name) {
    if (fixture.databaseExists(name))
        return false;
    if (fixture.localColumn(QStringLiteral("select ztmc from 帐套信息表"), QStringLiteral("ztmc"))
            .contains(name))
        return false;
    try {
        return !fixture
                    .serverColumn(QStringLiteral("master"),
                                  QStringLiteral("select ztmc from CHdatebase"),
                                  QStringLiteral("ztmc"))
                    .contains(name);
    } catch (const zt::db::DbError&) {
        return true; // no registry on this server at all
    }
}

} // namespace

class TestProgressWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowRepaintsWhileCreating();
    void cancelButtonLeavesNothingBehind();
    void noBoxOpensWhileTheProgressWindowShows();
    void cancelAtEachStageLeavesNothing_data();
    void cancelAtEachStageLeavesNothing();

private:
    // Fills the page for a network account set of that name on the slow server.
    void fillPage(const QString& name);
    // Clicks "创建新帐套&A"; `tick` runs every few milliseconds until the click has returned.
    void createWhileTicking(const std::function<void()>& tick);

    AccountSetFixture slow_{{"--delay-ms", QString::number(slowAnswerMs)}};
    AccountSetFixture fast_;
    RecordingDialogs dialogs_;
    std::unique_ptr<zt::Tform_xzzt> page_;
};

void TestProgressWindow::initTestCase() {
    QVERIFY(slow_.start());
    QVERIFY(fast_.start());
}

void TestProgressWindow::init() {
    dialogs_.clear();
    page_ = std::make_unique<zt::Tform_xzzt>(dialogs_);
    page_->setLocalDatabasePath(slow_.localDatabasePath());
}

void TestProgressWindow::cleanup() {
    page_.reset();
}

void TestProgressWindow::fillPage(const QString& name) {
    page_->show();
    page_->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(slow_.serverName());
    page_->findChild<QLineEdit*>(QStringLiteral("Edit2"))->setText(name);
    page_->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setChecked(true);
}

void TestProgressWindow::createWhileTicking(const std::function<void()>& tick) {
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, this, tick);
    ticker.start();
    QTest::mouseClick(page_->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    ticker.stop();
}

void TestProgressWindow::windowRepaintsWhileCreating() {
    const QString name = QStringLiteral("慢网帐");
    fillPage(name);
    auto* button = page_->findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    PaintCounter counter;
    qApp->installEventFilter(&counter);
    int ticks = 0;
    int waitCursorTicks = 0;
    QStringList labels;
    createWhileTicking([&] {
        ++ticks;
        if (QProgressDialog* window = visibleProgressWindow()) {
            if (labels.isEmpty() || labels.last() != window->labelText())
                labels << window->labelText();
            window->update();
        }
        waitCursorTicks += zt::hasWaitCursor(button) ? 1 : 0;
    });
    qApp->removeEventFilter(&counter);

    // The timer kept firing and the window kept painting while the server worked.
    QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
    QVERIFY2(counter.paints >= 10, qPrintable(QString::number(counter.paints)));
    QVERIFY(waitCursorTicks >= ticks / 2);
    QCOMPARE(dialogs_.messageTexts().value(0), QStringLiteral("帐套创建成功！"));
    QVERIFY(slow_.databaseExists(name));
    // The stages showed in their order, the tables counting up.
    int last = 0;
    for (const QString& label : labels) {
        const int stage = stageIndexOf(label);
        QVERIFY2(stage >= last, qPrintable(labels.join(u',')));
        last = stage;
    }
    QVERIFY2(labels.contains(QStringLiteral("正在创建表 54/108")), qPrintable(labels.join(u',')));
    QVERIFY2(labels.contains(QStringLiteral("正在写入默认数据")), qPrintable(labels.join(u',')));
    QVERIFY(!visibleProgressWindow());
}

void TestProgressWindow::cancelButtonLeavesNothingBehind() {
    const QString name = QStringLiteral("取消帐");
    fillPage(name);
    QSignalSpy close(page_.get(), &zt::Tform_xzzt::closeMainWindowRequested);
    bool clicked = false;
    createWhileTicking([&] {
        QProgressDialog* window = visibleProgressWindow();
        if (clicked || !window || !window->labelText().startsWith(QStringLiteral("正在创建表")))
            return;
        const auto buttons = window->findChildren<QPushButton*>();
        for (QPushButton* button : buttons)
            if (button->text() == QStringLiteral("取消")) {
                QTest::mouseClick(button, Qt::LeftButton);
                clicked = true;
            }
    });
    QVERIFY(clicked);
    QVERIFY(dialogs_.messages.isEmpty()); // neither a success nor an error box
    QCOMPARE(close.count(), 0);
    QVERIFY(nothingLeftOf(slow_, name));
}

void TestProgressWindow::noBoxOpensWhileTheProgressWindowShows() {
    const QString name = QStringLiteral("盒前帐");
    fillPage(name);
    int boxesBehindProgress = 0;
    dialogs_.onMessage = [&](const RecordingDialogs::Message&) {
        boxesBehindProgress += visibleProgressWindow() ? 1 : 0;
    };
    bool titleFits = false;
    createWhileTicking([&] {
        if (QProgressDialog* window = visibleProgressWindow())
            titleFits =
                window->width() > window->fontMetrics().horizontalAdvance(window->windowTitle());
    });
    QCOMPARE(dialogs_.messageTexts().value(0), QStringLiteral("帐套创建成功！"));
    QCOMPARE(boxesBehindProgress, 0);
    QVERIFY(titleFits);
}

void TestProgressWindow::cancelAtEachStageLeavesNothing_data() {
    QTest::addColumn<bool>("sample");
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("done");
    const auto add = [](const char* tag, bool sample, CreationStage stage, int done) {
        QTest::newRow(tag) << sample << int(stage) << done;
    };
    add("create: creating the database", false, CreationStage::CreatingDatabase, 0);
    add("create: before the tables", false, CreationStage::CreatingTables, 0);
    add("create: between table batches", false, CreationStage::CreatingTables,
        zt::schema::tablesPerBatch);
    add("create: writing default data", false, CreationStage::WritingDefaultData, 0);
    add("create: between default-data batches", false, CreationStage::WritingDefaultData,
        zt::seed::rowsPerBatch);
    add("create: registering", false, CreationStage::Registering, 0);
    add("sample: restoring", true, CreationStage::CreatingDatabase, 0);
    add("sample: registering", true, CreationStage::Registering, 0);
}

void TestProgressWindow::cancelAtEachStageLeavesNothing() {
    QFETCH(bool, sample);
    QFETCH(int, stage);
    QFETCH(int, done);
    const QString name = sample ? zt::accountset::sampleAccountSetName()
                                : QStringLiteral("停帐%1_%2").arg(stage).arg(done);
    zt::accountset::PageQueries queries;
    zt::accountset::Environment env{dialogs_, fast_.localConnectionString()};
    env.sampleDataDirectory = fast_.directory() + QStringLiteral("/mssql/data");
    bool reached = false;
    env.progress = [&](CreationStage at, int count, int) {
        if (int(at) == stage && count == done) {
            reached = true;
            throw zt::accountset::Cancelled();
        }
    };
    const zt::accountset::NewAccountSet input{fast_.serverName(), name, QStringLiteral("k"), true};
    if (sample)
        QVERIFY_THROWS_EXCEPTION(zt::accountset::Cancelled,
                                 zt::accountset::restoreSample(queries, env, input));
    else
        QVERIFY_THROWS_EXCEPTION(zt::accountset::Cancelled,
                                 zt::accountset::createAccountSet(queries, env, input));
    QVERIFY(reached);
    QVERIFY(dialogs_.messages.isEmpty());
    QVERIFY(nothingLeftOf(fast_, name));
}

QTEST_MAIN(TestProgressWindow)
#include "tst_progress_window.moc"
