// The sample account set on a server that cannot read the shipped backup: built from the
// sample data file instead, with the same tables, rows, registration and message as a
// restore; a build that fails midway leaves no database behind.

#include "accountset/sample_fallback.h"
#include "accountset/sample_restore.h"
#include "db/sql_literal.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/recording_dialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest/QtTest>

using namespace zt::accountset;
using zt::db::DbError;
using zt::test::AccountSetFixture;
using zt::test::RecordingDialogs;

namespace {

const QString kShippedBackup = QStringLiteral(ZT_BINARY_DIR "/bin/data/sample.bak");
const QString kSampleData = QStringLiteral(ZT_SOURCE_DIR "/data/sample_account_set.sql");
const QString kRestored = QStringLiteral("“澄桦3000例子账套”账套创建成功！");

} // namespace

class TestSampleFallback : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void unreadableBackupErrors_data();
    void unreadableBackupErrors();
    void restoresTheShippedBackup();
    void buildsTheSameSampleWhenTheServerCannotRead_data();
    void buildsTheSameSampleWhenTheServerCannotRead();
    void failedBuildLeavesNoDatabase();
    void buildNeverDropsADatabaseItDidNotMake();

private:
    Environment environment(const QString& backupPath);
    NewAccountSet sampleInput() const;
    QStringList tableCounts() const;
    int registrations() const;
    void dropSample();

    AccountSetFixture fixture_;
    RecordingDialogs dialogs_;
    std::unique_ptr<PageQueries> queries_;
    QTemporaryDir work_;
};

void TestSampleFallback::initTestCase() {
    QVERIFY(fixture_.start());
    QVERIFY(work_.isValid());
    QVERIFY(QFileInfo::exists(kShippedBackup));
}

void TestSampleFallback::init() {
    dialogs_.clear();
    queries_ = std::make_unique<PageQueries>();
    queries_->localSettings.setConnectionString(fixture_.localConnectionString());
}

void TestSampleFallback::cleanup() {
    queries_.reset(); // no connection left in the sample database
    dropSample();
}

Environment TestSampleFallback::environment(const QString& backupPath) {
    Environment env{dialogs_, fixture_.localConnectionString()};
    env.sampleBackupPath = backupPath;
    env.sampleDataDirectory = QDir(work_.path()).filePath(QStringLiteral("mssql/data"));
    return env;
}

NewAccountSet TestSampleFallback::sampleInput() const {
    return NewAccountSet{fixture_.serverName(), QStringLiteral("ignored"), QStringLiteral("k"),
                         false};
}

// Every table of the sample database with its row count.
QStringList TestSampleFallback::tableCounts() const {
    const QString sample = sampleAccountSetName();
    QStringList counts;
    for (const QString& table : fixture_.serverColumn(
             sample,
             QStringLiteral("select TABLE_NAME from INFORMATION_SCHEMA.TABLES order by TABLE_NAME"),
             QStringLiteral("TABLE_NAME")))
        counts << table + u'=' + QString::number(fixture_.serverCount(sample, table));
    return counts;
}

int TestSampleFallback::registrations() const {
    return fixture_
        .localColumn(QStringLiteral("select ztmc from 帐套信息表 where ztmc=") +
                         zt::db::quotedLiteral(sampleAccountSetName()),
                     QStringLiteral("ztmc"))
        .size();
}

// The server may still be ending the session that last used the database.
void TestSampleFallback::dropSample() {
    const auto dropped = [this] {
        if (!fixture_.databaseExists(sampleAccountSetName()))
            return true;
        try {
            fixture_.execServer(QStringLiteral("master"),
                                QStringLiteral("drop database ") + sampleAccountSetName());
        } catch (const DbError&) {
            return false;
        }
        return true;
    };
    QTRY_VERIFY(dropped());
}

void TestSampleFallback::unreadableBackupErrors_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("unreadable");
    QTest::newRow("cannot open backup device") << 3201 << true;
    QTest::newRow("read failure on device") << 3203 << true;
    QTest::newRow("media family incorrectly formed") << 3241 << true;
    QTest::newRow("restore terminating abnormally") << 3013 << true;
    QTest::newRow("login failed") << 18456 << false;
    QTest::newRow("database exists") << 1801 << false;
    QTest::newRow("exclusive access not obtained") << 3101 << false;
    QTest::newRow("driver error without a number") << 0 << false;
}

void TestSampleFallback::unreadableBackupErrors() {
    QFETCH(int, number);
    QFETCH(bool, unreadable);
    QCOMPARE(cannotReadBackup(DbError(QStringLiteral("x"), number)), unreadable);
}

void TestSampleFallback::restoresTheShippedBackup() {
    // No data file beside this copy of the backup: only the restore can make the sample.
    const QString backup = QDir(work_.path()).filePath(QStringLiteral("restore/sample.bak"));
    QVERIFY(QDir().mkpath(QFileInfo(backup).path()));
    QFile::remove(backup);
    QVERIFY(QFile::copy(kShippedBackup, backup));
    const int before = registrations();

    QCOMPARE(restoreSample(*queries_, environment(backup), sampleInput()),
             RestoreOutcome::Restored);
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages.first().text, kRestored);
    QCOMPARE(tableCounts().size(), 108);
    QCOMPARE(registrations(), before + 1);
}

void TestSampleFallback::buildsTheSameSampleWhenTheServerCannotRead_data() {
    QTest::addColumn<QByteArray>("backupContent"); // empty: no file at all
    QTest::newRow("backup not where the server looks") << QByteArray();
    QTest::newRow("backup in a format the server cannot read")
        << QByteArray("Microsoft SQL Server backup, TAPE header\n\0\0\0", 40);
}

void TestSampleFallback::buildsTheSameSampleWhenTheServerCannotRead() {
    QFETCH(QByteArray, backupContent);
    // What the restore gives, to compare with.
    QCOMPARE(restoreSample(*queries_, environment(kShippedBackup), sampleInput()),
             RestoreOutcome::Restored);
    const QStringList restored = tableCounts();
    queries_ = std::make_unique<PageQueries>();
    queries_->localSettings.setConnectionString(fixture_.localConnectionString());
    dropSample();
    dialogs_.clear();

    const QTemporaryDir shipped(QDir(work_.path()).filePath(QStringLiteral("shippedXXXXXX")));
    const QString backup = QDir(shipped.path()).filePath(QStringLiteral("sample.bak"));
    QVERIFY(QFile::copy(kSampleData, sampleDataFileBeside(backup)));
    if (!backupContent.isEmpty()) {
        QFile file(backup);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(backupContent);
    }
    const int before = registrations();

    QCOMPARE(restoreSample(*queries_, environment(backup), sampleInput()),
             RestoreOutcome::Restored);
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages.first().text, kRestored);
    QCOMPARE(dialogs_.messages.first().caption, QStringLiteral("提示"));
    QCOMPARE(registrations(), before + 1);
    QCOMPARE(tableCounts(), restored);
}

void TestSampleFallback::failedBuildLeavesNoDatabase() {
    const QTemporaryDir shipped(QDir(work_.path()).filePath(QStringLiteral("brokenXXXXXX")));
    const QString backup = QDir(shipped.path()).filePath(QStringLiteral("sample.bak"));
    QFile data(sampleDataFileBeside(backup));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.write("INSERT INTO [计量单位信息表] ([jldw]) VALUES (N'个');\n"
               "INSERT INTO [没有这个表] ([x]) VALUES (1);\n");
    data.close();
    const int before = registrations();

    QVERIFY_THROWS_EXCEPTION(DbError, restoreSample(*queries_, environment(backup), sampleInput()));
    QVERIFY(!fixture_.databaseExists(sampleAccountSetName()));
    QCOMPARE(registrations(), before);
    QVERIFY(dialogs_.messages.isEmpty());
}

void TestSampleFallback::buildNeverDropsADatabaseItDidNotMake() {
    // The build's "create database" fails on a database of that name already there, which
    // belongs to someone else and stays.
    fixture_.execServer(QStringLiteral("master"),
                        QStringLiteral("create database ") + sampleAccountSetName());
    const QTemporaryDir shipped(QDir(work_.path()).filePath(QStringLiteral("presentXXXXXX")));
    const QString backup = QDir(shipped.path()).filePath(QStringLiteral("sample.bak"));
    QVERIFY(QFile::copy(kSampleData, sampleDataFileBeside(backup)));
    const int before = registrations();

    QVERIFY_THROWS_EXCEPTION(DbError, restoreSample(*queries_, environment(backup), sampleInput()));
    QVERIFY(fixture_.databaseExists(sampleAccountSetName()));
    QCOMPARE(registrations(), before);
}

QTEST_GUILESS_MAIN(TestSampleFallback)
#include "tst_sample_fallback.moc"
