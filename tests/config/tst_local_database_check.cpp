// The local configuration database checked before anything depends on it, and the line that
// names the file and its fault when it is not usable.

#include "config/local_database_file.h"
#include "core/failure_explanation.h"
#include "db/query.h"
#include "server/server_login.h"
#include "tests/support/local_database_copy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <chrono>
#include <optional>
#include <unistd.h>

using namespace zt;
using namespace std::chrono_literals;

namespace {

// Another program's connection holding the file's exclusive lock while it lives.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const QString& path) {
        held_ = sqlite3_open(path.toUtf8().constData(), &db_) == SQLITE_OK &&
                sqlite3_exec(db_, "begin exclusive", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~ExclusiveLock() { sqlite3_close(db_); } // closing rolls back
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    bool held() const { return held_; }

private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};

bool runSql(const QString& path, const char* statements) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, statements, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

bool overwrite(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The failure of the check, if any.
std::optional<db::DbError> checkFailure(const QString& path,
                                        std::chrono::milliseconds busyTimeout = 3s) {
    try {
        config::requireUsableLocalDatabase(path, busyTimeout);
    } catch (const db::DbError& failure) {
        return failure;
    }
    return std::nullopt;
}

QString prefixFor(const QString& path) {
    return QStringLiteral("本地配置数据库无法使用：") + path + u' ';
}

} // namespace

class LocalDatabaseCheckTest : public QObject {
    Q_OBJECT

private slots:
    void usableFilePasses();
    void shippedTemplateCarriesItsVersion();
    void unusableFileIsNamed_data();
    void unusableFileIsNamed();
    void lockedFileGivesUpAfterItsTimeout();
    void readOnlyFileIsNamed_data();
    void readOnlyFileIsNamed();
    void causeLine_data();
    void causeLine();
    void onlyLocalStoreFailuresAreTheFile();
    void unusableFileStopsTheServerProof();
};

void LocalDatabaseCheckTest::usableFilePasses() {
    const test::LocalDatabaseCopy local;
    QVERIFY(local.isValid());
    const QByteArray before = [&] {
        QFile file(local.path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const auto failure = checkFailure(local.path());
    QVERIFY2(!failure, failure ? qPrintable(core::causeOf(*failure)) : "");
    QFile file(local.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before); // the check writes nothing
}

void LocalDatabaseCheckTest::shippedTemplateCarriesItsVersion() {
    const test::LocalDatabaseCopy local;
    QVERIFY(local.isValid());
    const QStringList version = local.rows(QStringLiteral("pragma user_version"));
    QCOMPARE(version.size(), 1);
    QVERIFY2(version.first().toInt() > 0, qPrintable(version.first()));
}

void LocalDatabaseCheckTest::unusableFileIsNamed_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("phrase");
    QTest::newRow("missing") << "missing" << SQLITE_CANTOPEN << "不存在";
    QTest::newRow("a folder in its place") << "folder" << SQLITE_CANTOPEN << "无法打开";
    QTest::newRow("garbage") << "garbage" << SQLITE_NOTADB << "已损坏";
    QTest::newRow("empty file: no tables")
        << "empty" << core::missingLocalTable << "缺少表【系统路径表】";
    QTest::newRow("a template table dropped")
        << "dropped" << core::missingLocalTable << "缺少表【print_model】";
}

void LocalDatabaseCheckTest::unusableFileIsNamed() {
    QFETCH(QString, fault);
    QFETCH(int, code);
    QFETCH(QString, phrase);
    test::LocalDatabaseCopy local;
    QVERIFY(local.isValid());
    const QString path = local.path();
    if (fault == u"missing" || fault == u"folder")
        QVERIFY(QFile::remove(path));
    if (fault == u"folder")
        QVERIFY(QDir().mkpath(path));
    if (fault == u"garbage")
        QVERIFY(overwrite(path, QByteArray(4096, 'x')));
    if (fault == u"empty")
        QVERIFY(overwrite(path, QByteArray()));
    if (fault == u"dropped")
        QVERIFY(runSql(path, "drop table print_model"));

    const auto failure = checkFailure(path);
    QVERIFY(failure);
    QCOMPARE(failure->source(), db::ErrorSource::LocalStore);
    QCOMPARE(failure->localPath(), path);
    QCOMPARE(failure->number() & 0xff, code & 0xff);
    const QString cause = core::causeOf(*failure);
    QVERIFY2(cause.startsWith(prefixFor(path) + phrase), qPrintable(cause));
    QCOMPARE(QFileInfo(path).isDir(), fault == u"folder"); // never made in its place
    QCOMPARE(QFileInfo::exists(path), fault != u"missing");
}

void LocalDatabaseCheckTest::lockedFileGivesUpAfterItsTimeout() {
    const test::LocalDatabaseCopy local;
    QVERIFY(local.isValid());
    const ExclusiveLock other(local.path());
    QVERIFY(other.held());
    QElapsedTimer clock;
    clock.start();
    const auto failure = checkFailure(local.path(), 200ms);
    QVERIFY(clock.elapsed() >= 150);
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(failure);
    QCOMPARE(failure->number() & 0xff, SQLITE_BUSY);
    QCOMPARE(core::causeOf(*failure),
             prefixFor(local.path()) + QStringLiteral("被其他程序占用：请关闭正在使用它的"
                                                      "程序后重试。"));
}

void LocalDatabaseCheckTest::readOnlyFileIsNamed_data() {
    QTest::addColumn<bool>("folder");
    QTest::newRow("the file") << false;
    QTest::newRow("its folder") << true;
}

void LocalDatabaseCheckTest::readOnlyFileIsNamed() {
    QFETCH(bool, folder);
    if (geteuid() == 0)
        QSKIP("permission bits do not stop root from writing; causeLine covers SQLITE_READONLY");
    test::LocalDatabaseCopy local;
    QVERIFY(local.isValid());
    const QString target = folder ? local.directory() : local.path();
    const QFile::Permissions before = QFile::permissions(target);
    QVERIFY(QFile::setPermissions(target, before & ~(QFile::WriteOwner | QFile::WriteUser |
                                                     QFile::WriteGroup | QFile::WriteOther)));
    const auto failure = checkFailure(local.path());
    QFile::setPermissions(target, before); // so that the temporary folder can go
    QVERIFY(failure);
    QCOMPARE(failure->number() & 0xff, SQLITE_READONLY);
    QVERIFY(
        core::causeOf(*failure).startsWith(prefixFor(local.path()) + QStringLiteral("是只读的")));
}

void LocalDatabaseCheckTest::causeLine_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("phrase");
    QTest::newRow("read-only") << SQLITE_READONLY << "是只读的：请";
    QTest::newRow("read-only, extended") << SQLITE_READONLY_DIRECTORY << "是只读的：请";
    QTest::newRow("corrupt") << SQLITE_CORRUPT << "已损坏：请";
    QTest::newRow("not a database") << SQLITE_NOTADB << "已损坏：请";
    QTest::newRow("busy") << SQLITE_BUSY << "被其他程序占用：请";
    QTest::newRow("busy, extended") << SQLITE_BUSY_SNAPSHOT << "被其他程序占用：请";
    QTest::newRow("locked") << SQLITE_LOCKED << "被其他程序占用：请";
    QTest::newRow("disk full") << SQLITE_FULL << "所在的磁盘已满：请";
    QTest::newRow("cannot open, missing") << SQLITE_CANTOPEN << "不存在：请";
    QTest::newRow("table missing") << core::missingLocalTable << "缺少表【a table】：请";
    QTest::newRow("anything else") << SQLITE_IOERR_WRITE << "读写出错：请";
}

void LocalDatabaseCheckTest::causeLine() {
    QFETCH(int, code);
    QFETCH(QString, phrase);
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("CHWHDB.mdb")); // not there
    const QString text =
        code == core::missingLocalTable ? QStringLiteral("a table") : QStringLiteral("disk I/O");
    const db::DbError failure(text, code, db::ErrorSource::LocalStore, {}, path);
    const QString cause = core::causeOf(failure);
    QVERIFY2(cause.startsWith(prefixFor(path) + phrase), qPrintable(cause));
    QVERIFY2(cause.endsWith(u'。') || cause.endsWith(QStringLiteral("（disk I/O）")),
             qPrintable(cause));
    QVERIFY(!cause.contains(u'\n'));
    // SQLite's words at most at the end, for a log, and only where nothing better is known.
    QCOMPARE(cause.contains(QStringLiteral("disk I/O")), code == SQLITE_IOERR_WRITE);
    QCOMPARE(core::withCause(QStringLiteral("本地配置数据库无法使用！"), failure),
             QStringLiteral("本地配置数据库无法使用！\n") + cause);
}

void LocalDatabaseCheckTest::onlyLocalStoreFailuresAreTheFile() {
    QVERIFY(core::isLocalDatabaseFailure(
        db::DbError(QStringLiteral("x"), SQLITE_BUSY, db::ErrorSource::LocalStore)));
    QVERIFY(!core::isLocalDatabaseFailure(
        db::DbError(QStringLiteral("Login failed"), 18456, db::ErrorSource::Server)));
    QVERIFY(!core::isLocalDatabaseFailure(
        db::DbError(QStringLiteral("x"), 20009, db::ErrorSource::Connection)));
    QVERIFY(!core::isLocalDatabaseFailure(core::ExplainedFailure(QStringLiteral("x"))));
}

void LocalDatabaseCheckTest::unusableFileStopsTheServerProof() {
    // The server's name points at a closed loopback port: had the proof gone there, the
    // failure would be the connection's.
    test::LocalDatabaseCopy local;
    QVERIFY(local.isValid());
    QVERIFY(overwrite(local.path(), QByteArray(4096, 'x')));
    db::Query probe(QStringLiteral("ADOQuery1"));
    db::Query store(QStringLiteral("ADOQuery2"));
    store.setConnectionString(config::localConnectionString(local.path()));
    const config::ServerLogin login{false, QStringLiteral("sa"), QString()};
    try {
        server::proveAndStoreServer(probe, store, local.path(), QStringLiteral("127.0.0.1,1"),
                                    login);
        QFAIL("an unusable local file was not noticed");
    } catch (const db::DbError& failure) {
        QCOMPARE(failure.source(), db::ErrorSource::LocalStore);
        QCOMPARE(failure.number() & 0xff, SQLITE_NOTADB);
    }
    QCOMPARE(probe.connectionString(), QString()); // never given a server to go to
}

QTEST_GUILESS_MAIN(LocalDatabaseCheckTest)
#include "tst_local_database_check.moc"
