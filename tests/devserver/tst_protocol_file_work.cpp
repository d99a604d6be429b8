// zt-devserver writes and removes database files outside its engine lock: while CREATE
// DATABASE, DROP DATABASE, BACKUP, RESTORE or a rename is held in the middle of its file work
// (--hold-file-work), other clients log in and work in other databases, and statements that
// compete for the same database are answered at once, without seeing it half made.

#include "tests/devserver/protocol_odbc_client.h"
#include "tests/support/devserver_process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QtTest/QtTest>

#include <atomic>
#include <thread>

using zt::test::DevServerProcess;
using zt::test::freeTdsConnectionString;
using zt::test::OdbcConnection;
using zt::test::OdbcParameter;

namespace {

// How long the test waits for the server to reach the hold; the server itself gives up
// holding after 60 seconds, so nothing waits longer than that.
constexpr int reachHoldTimeoutMs = 30000;

// Databases each case can work with; a case names the ones its statement needs.
const QString commonSetup = QStringLiteral(
    "create database bystander;"
    "use bystander; create table notes (id int NOT NULL, body nvarchar(20) NOT NULL);"
    "use master; create database orig;"
    "use orig; create table t (a int NOT NULL); insert into t values (5);"
    "use master; backup database orig to disk='@BAK@';"
    "use orig; update t set a = 6;"
    "use master; create database doomed");

bool connectTo(OdbcConnection& client, const DevServerProcess& server,
               const QString& database = {}) {
    return client.connect(
        freeTdsConnectionString(server.port(), QStringLiteral("sa"), QString(), database));
}

QString withBackupPath(QString sql, const QString& backup) {
    return sql.replace(QStringLiteral("@BAK@"), backup);
}

// A zt-devserver started with --hold-file-work, and the statement it holds: run on a
// connection of its own in a thread. The destructor removes the hold file and joins, so a
// failed check ends the test without leaving anything waiting.
class HeldFileWork {
public:
    HeldFileWork() : server_({QStringLiteral("--hold-file-work"), holdPath()}) {}
    ~HeldFileWork() {
        release();
        if (thread_.joinable())
            thread_.join();
    }
    HeldFileWork(const HeldFileWork&) = delete;
    HeldFileWork& operator=(const HeldFileWork&) = delete;

    DevServerProcess& server() { return server_; }
    QString backupPath() const { return holdDir_.filePath(QStringLiteral("orig.bak")); }

    // Sets the hold, then runs sql on its own connection in a thread.
    bool start(const QString& sql) {
        if (!connectTo(client_, server_))
            return false;
        QFile hold(holdPath());
        if (!hold.open(QIODevice::WriteOnly))
            return false;
        hold.close();
        thread_ = std::thread([this, sql] {
            succeeded_ = client_.execute(sql);
            finished_ = true;
        });
        return true;
    }
    // The lines the server wrote on reaching the hold ("VERB name").
    QStringList held() const {
        QFile file(holdPath() + QStringLiteral(".held"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    bool finished() const { return finished_; }
    void release() { QFile::remove(holdPath()); }
    // Releases the statement and waits for its answer; true when it succeeded.
    bool finish() {
        release();
        if (thread_.joinable())
            thread_.join();
        return succeeded_;
    }
    QString diagnosticText() const { return finished_ ? client_.diagnosticText() : QString(); }
    // Starts the server, makes the common databases, and runs statement until the server
    // reports `held`; on failure, says why.
    bool setUpAndHold(const QString& statement, const QString& heldLine, QString& why) {
        OdbcConnection setup;
        if (!server_.start() || !connectTo(setup, server_) ||
            !setup.execute(withBackupPath(commonSetup, backupPath()))) {
            why = QStringLiteral("set-up failed: ") + setup.diagnosticText();
            return false;
        }
        if (!start(withBackupPath(statement, backupPath()))) {
            why = QStringLiteral("the held statement could not be started");
            return false;
        }
        QDeadlineTimer deadline(reachHoldTimeoutMs);
        while (!held().contains(heldLine) && !deadline.hasExpired())
            QTest::qWait(20);
        why = progress();
        return held().contains(heldLine);
    }
    // For a failure message while waiting for the hold.
    QString progress() const {
        return QStringLiteral("held: [%1]; statement %2 %3")
            .arg(held().join(u','),
                 finished_ ? QStringLiteral("ended:") : QStringLiteral("still running"),
                 diagnosticText());
    }

private:
    QString holdPath() const { return holdDir_.filePath(QStringLiteral("hold")); }

    QTemporaryDir holdDir_; // before server_, which is given a path in it
    DevServerProcess server_;
    OdbcConnection client_;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> succeeded_{false};
};

} // namespace

class ProtocolFileWorkTest : public QObject {
    Q_OBJECT

private slots:
    void othersWorkWhileFileWorkIsHeld_data();
    void othersWorkWhileFileWorkIsHeld();
    void competingStatementsAnsweredAtOnce_data();
    void competingStatementsAnsweredAtOnce();
};

void ProtocolFileWorkTest::othersWorkWhileFileWorkIsHeld_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("held");  // the line the server writes on reaching the hold
    QTest::addColumn<QString>("check"); // afterwards, its last value shows the statement's work
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("restoring"); // what sys.databases lists as RESTORING meanwhile
    QTest::newRow("create database") << "create database fresh"
                                     << "CREATE fresh"
                                     << "select count(*) from sys.databases where name = 'fresh'"
                                     << "1"
                                     << "";
    QTest::newRow("drop database") << "drop database doomed"
                                   << "DROP doomed"
                                   << "select count(*) from sys.databases where name = 'doomed'"
                                   << "0"
                                   << "";
    QTest::newRow("backup database")
        << "backup database orig to disk='@BAK@.2'"
        << "BACKUP orig"
        << "restore database second from disk='@BAK@.2'; select a from second.dbo.t"
        << "6"
        << "";
    QTest::newRow("restore as a new database") << "restore database twin from disk='@BAK@'"
                                               << "RESTORE twin"
                                               << "select a from twin.dbo.t"
                                               << "5"
                                               << "twin";
    QTest::newRow("restore over the database") << "restore database orig from disk='@BAK@'"
                                               << "RESTORE orig"
                                               << "select a from orig.dbo.t"
                                               << "5"
                                               << "orig";
    QTest::newRow("rename database") << "exec sp_renamedb N'orig', N'renamed'"
                                     << "RENAME orig"
                                     << "select a from renamed.dbo.t"
                                     << "6"
                                     << "";
}

// The held statement cannot finish until the hold file goes, so everything the bystander
// does before that proves that the statement's file work holds no lock the bystander needs.
void ProtocolFileWorkTest::othersWorkWhileFileWorkIsHeld() {
    QFETCH(QString, statement);
    QFETCH(QString, held);
    QFETCH(QString, check);
    QFETCH(QString, expected);
    QFETCH(QString, restoring);
    HeldFileWork work;
    QString why;
    QVERIFY2(work.setUpAndHold(statement, held, why), qPrintable(why));

    OdbcConnection bystander;
    QVERIFY2(connectTo(bystander, work.server()), qPrintable(bystander.diagnosticText()));
    QVERIFY2(bystander.execute(QStringLiteral("use bystander")),
             qPrintable(bystander.diagnosticText()));
    std::vector<OdbcParameter> note;
    note.push_back(OdbcParameter::integer(1));
    note.push_back(OdbcParameter::text(QStringLiteral("meanwhile")));
    QVERIFY2(bystander.execute(QStringLiteral("insert into notes (id, body) values (?, ?)"),
                               std::move(note)),
             qPrintable(bystander.diagnosticText()));
    QVERIFY2(bystander.execute(QStringLiteral("select body from notes where id = 1")),
             qPrintable(bystander.diagnosticText()));
    QCOMPARE(bystander.rows().size(), size_t(1));
    QCOMPARE(bystander.rows().front().value(0).toString(), QStringLiteral("meanwhile"));
    OdbcConnection straightIn; // a login whose initial database is another one
    QVERIFY2(connectTo(straightIn, work.server(), QStringLiteral("bystander")),
             qPrintable(straightIn.diagnosticText()));
    QVERIFY2(straightIn.execute(QStringLiteral("select count(*) from notes")),
             qPrintable(straightIn.diagnosticText()));
    QCOMPARE(straightIn.rows().front().value(0).toString(), QStringLiteral("1"));
    QVERIFY2(straightIn.execute(
                 QStringLiteral("select name from sys.databases where state_desc = 'RESTORING'")),
             qPrintable(straightIn.diagnosticText()));
    QCOMPARE(straightIn.rows().empty() ? QString() : straightIn.rows().front().value(0).toString(),
             restoring);
    QVERIFY2(!work.finished(), "the held statement ended before the hold was released");

    QVERIFY2(work.finish(), qPrintable(work.diagnosticText()));
    OdbcConnection setup;
    QVERIFY2(connectTo(setup, work.server()), qPrintable(setup.diagnosticText()));
    for (const QString& part : check.split(u';')) // the rows of the last one count
        QVERIFY2(setup.execute(withBackupPath(part, work.backupPath())),
                 qPrintable(setup.diagnosticText()));
    QCOMPARE(setup.rows().size(), size_t(1));
    QCOMPARE(setup.rows().front().value(0).toString(), expected);
}

void ProtocolFileWorkTest::competingStatementsAnsweredAtOnce_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("competitor"); // from another session, while statement is held
    QTest::addColumn<int>("error");
    QTest::newRow("create twice") << "create database twice"
                                  << "CREATE twice"
                                  << "create database twice" << 1801;
    QTest::newRow("use while created") << "create database fresh"
                                       << "CREATE fresh"
                                       << "use fresh" << 911;
    QTest::newRow("drop twice") << "drop database doomed"
                                << "DROP doomed"
                                << "drop database doomed" << 3701;
    QTest::newRow("use while dropped") << "drop database doomed"
                                       << "DROP doomed"
                                       << "use doomed" << 911;
    QTest::newRow("drop while backed up") << "backup database orig to disk='@BAK@.2'"
                                          << "BACKUP orig"
                                          << "drop database orig" << 3702;
    QTest::newRow("restore while backed up")
        << "backup database orig to disk='@BAK@.2'"
        << "BACKUP orig"
        << "restore database orig from disk='@BAK@' with replace" << 3101;
    QTest::newRow("create while restored as new") << "restore database twin from disk='@BAK@'"
                                                  << "RESTORE twin"
                                                  << "create database twin" << 1801;
    QTest::newRow("use while restored as new") << "restore database twin from disk='@BAK@'"
                                               << "RESTORE twin"
                                               << "use twin" << 927;
    QTest::newRow("use while restored over") << "restore database orig from disk='@BAK@'"
                                             << "RESTORE orig"
                                             << "use orig" << 927;
    QTest::newRow("read while restored over") << "restore database orig from disk='@BAK@'"
                                              << "RESTORE orig"
                                              << "select a from orig.dbo.t" << 927;
    QTest::newRow("restore twice")
        << "restore database orig from disk='@BAK@'"
        << "RESTORE orig"
        << "restore database orig from disk='@BAK@' with replace" << 3101;
    QTest::newRow("drop while restored over") << "restore database orig from disk='@BAK@'"
                                              << "RESTORE orig"
                                              << "drop database orig" << 3702;
    QTest::newRow("create while renamed to") << "alter database orig modify name = renamed"
                                             << "RENAME orig"
                                             << "create database renamed" << 1801;
    QTest::newRow("use while renamed") << "alter database orig modify name = renamed"
                                       << "RENAME orig"
                                       << "use orig" << 911;
    QTest::newRow("rename twice") << "exec sp_renamedb N'orig', N'renamed'"
                                  << "RENAME orig"
                                  << "exec sp_renamedb N'orig', N'other'" << 5030;
}

// The competitor is refused while the held statement still owns the database: a name is
// created once, a database half restored or half dropped is never opened.
void ProtocolFileWorkTest::competingStatementsAnsweredAtOnce() {
    QFETCH(QString, statement);
    QFETCH(QString, held);
    QFETCH(QString, competitor);
    QFETCH(int, error);
    HeldFileWork work;
    QString why;
    QVERIFY2(work.setUpAndHold(statement, held, why), qPrintable(why));
    OdbcConnection other;
    QVERIFY2(connectTo(other, work.server()), qPrintable(other.diagnosticText()));
    QVERIFY2(!other.execute(withBackupPath(competitor, work.backupPath())),
             "the competing statement succeeded");
    QVERIFY2(other.hasNative(error), qPrintable(other.diagnosticText()));
    QVERIFY2(!work.finished(), "the held statement ended before the hold was released");

    QVERIFY2(work.finish(), qPrintable(work.diagnosticText()));
}

QTEST_GUILESS_MAIN(ProtocolFileWorkTest)
#include "tst_protocol_file_work.moc"
