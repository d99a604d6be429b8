// Where the local configuration database lives and how it comes to be: beside the program in
// a build tree, per user for an installed program; made from the template only when missing,
// afterwards the site's own: a template of a higher version only adds the tables it lacks.

#include "config/local_database_file.h"
#include "db/query.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace zt::config;

namespace {

void sql(const QString& path, const QString& statements) {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, statements.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = QString::fromUtf8(error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(message));
}

QStringList rows(const QString& path, const QString& select) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    QStringList result;
    if (sqlite3_prepare_v2(db, select.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList values;
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                values << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
            result << values.join(u'|');
        }
    } else {
        result << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

// Rows as the shipped template has them: its own two tables, a company row, print layouts.
const QString kTemplate =
    QStringLiteral("pragma user_version = 3;"
                   "create table 系统路径表 (zjmc text, \"1\" text, \"2\" text);"
                   "create table 帐套信息表 (ztmc text, kl text);"
                   "create table 系统信息表 (yhmc text, tel text);"
                   "insert into 系统信息表 values ('样例公司', '0000');"
                   "create table print_model (ytmc text, mc text);"
                   "insert into print_model values ('进货单', 'a');"
                   "insert into print_model values ('销售单', 'b');");

// Another connection's write lock on a file, for as long as it lives.
class WriteLock {
public:
    explicit WriteLock(const QString& path) {
        held_ = sqlite3_open(path.toUtf8().constData(), &db_) == SQLITE_OK &&
                sqlite3_exec(db_, "begin immediate", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~WriteLock() { sqlite3_close(db_); } // closing rolls back
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool held() const { return held_; }

private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};

int userVersion(const QString& path) {
    const QStringList version = rows(path, QStringLiteral("pragma user_version"));
    return version.value(0).toInt();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLocalDatabaseFile : public QObject {
    Q_OBJECT

private slots:
    void init();

    void chosenPlace_data();
    void chosenPlace();
    void madeFromTheTemplateWhenMissing();
    void siteEditsSurviveANewerTemplate();
    void fileOlderThanVersionsOnlyGivenMissingTables();
    void sameOrOlderTemplateLeavesTheFileUntouched_data();
    void sameOrOlderTemplateLeavesTheFileUntouched();
    void unreadableDatabaseIsReportedAndKept();

private:
    QString templatePath() const { return dir_->filePath(QStringLiteral("template.mdb")); }
    QString userPath() const { return dir_->filePath(QStringLiteral("home/zhangtao/CHWHDB.mdb")); }

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestLocalDatabaseFile::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    sql(templatePath(), kTemplate);
}

void TestLocalDatabaseFile::chosenPlace_data() {
    QTest::addColumn<bool>("databaseBeside");
    QTest::addColumn<bool>("templateBeside");
    QTest::addColumn<bool>("perUser");
    QTest::newRow("build tree: both beside") << true << true << false;
    QTest::newRow("copied folder: database beside") << true << false << false;
    QTest::newRow("installed: only the template") << false << true << true;
    QTest::newRow("neither: beside, as always") << false << false << false;
}

void TestLocalDatabaseFile::chosenPlace() {
    QFETCH(bool, databaseBeside);
    QFETCH(bool, templateBeside);
    QFETCH(bool, perUser);
    const QString program = dir_->filePath(QStringLiteral("program"));
    QVERIFY(QDir().mkpath(program + QStringLiteral("/data")));
    if (databaseBeside)
        QVERIFY(QFile::copy(templatePath(), program + QStringLiteral("/data/CHWHDB.mdb")));
    if (templateBeside)
        QVERIFY(QFile::copy(templatePath(), templateDatabasePath(program)));
    const QString dataHome = dir_->filePath(QStringLiteral("share"));
    QCOMPARE(chooseLocalDatabasePath(program, dataHome),
             perUser ? dataHome + QStringLiteral("/zhangtao/CHWHDB.mdb")
                     : program + QStringLiteral("/data/CHWHDB.mdb"));
}

void TestLocalDatabaseFile::madeFromTheTemplateWhenMissing() {
    QFile::setPermissions(templatePath(), QFile::ReadOwner); // installed files are read-only
    prepareLocalDatabase(userPath(), templatePath());
    QCOMPARE(rows(userPath(), QStringLiteral("select * from print_model")),
             (QStringList{"进货单|a", "销售单|b"}));
    QCOMPARE(userVersion(userPath()), 3);
    // The user's copy takes what the user stores.
    sql(userPath(), QStringLiteral("insert into 系统路径表 values ('srv', '', 'x;')"));
    QCOMPARE(rows(userPath(), QStringLiteral("select zjmc from 系统路径表")), QStringList{"srv"});
}

void TestLocalDatabaseFile::siteEditsSurviveANewerTemplate() {
    prepareLocalDatabase(userPath(), templatePath());
    QCOMPARE(userVersion(userPath()), 3);
    sql(userPath(), QStringLiteral("update 系统信息表 set yhmc='某公司';"
                                   "delete from print_model where ytmc='销售单';"
                                   "insert into 帐套信息表 values ('帐一', 'pw');"));
    prepareLocalDatabase(userPath(), templatePath());
    prepareLocalDatabase(userPath(), templatePath());
    // The next template: one more table, its own rows changed and added.
    sql(templatePath(), QStringLiteral("pragma user_version = 4;"
                                       "update 系统信息表 set tel='1111';"
                                       "insert into print_model values ('调拨单', 'c');"
                                       "create table show_line (mc text, lk integer);"
                                       "insert into show_line values ('进货单', 80);"
                                       "insert into show_line values ('销售单', 90);"));

    prepareLocalDatabase(userPath(), templatePath());
    QCOMPARE(rows(userPath(), QStringLiteral("select * from 系统信息表")),
             QStringList{"某公司|0000"});
    QCOMPARE(rows(userPath(), QStringLiteral("select * from print_model")),
             QStringList{"进货单|a"});
    QCOMPARE(rows(userPath(), QStringLiteral("select * from 帐套信息表")), QStringList{"帐一|pw"});
    QCOMPARE(rows(userPath(), QStringLiteral("select * from show_line order by rowid")),
             (QStringList{"进货单|80", "销售单|90"}));
    QCOMPARE(userVersion(userPath()), 4);
}

void TestLocalDatabaseFile::fileOlderThanVersionsOnlyGivenMissingTables() {
    // A working copy made before templates carried a version records 0.
    const QString old = dir_->filePath(QStringLiteral("old.mdb"));
    sql(old, QStringLiteral("create table 系统路径表 (zjmc text, \"1\" text, \"2\" text);"
                            "insert into 系统路径表 values ('srv', 'integrated;', '');"
                            "create table 系统信息表 (yhmc text, tel text);"));
    prepareLocalDatabase(old, templatePath());
    QCOMPARE(rows(old, QStringLiteral("select count(*) from 系统信息表")), QStringList{"0"});
    QCOMPARE(rows(old, QStringLiteral("select zjmc from 系统路径表")), QStringList{"srv"});
    QCOMPARE(rows(old, QStringLiteral("select count(*) from print_model")), QStringList{"2"});
    QCOMPARE(rows(old, QStringLiteral("select count(*) from 帐套信息表")), QStringList{"0"});
    QCOMPARE(userVersion(old), 3);
}

void TestLocalDatabaseFile::sameOrOlderTemplateLeavesTheFileUntouched_data() {
    QTest::addColumn<int>("templateVersion");
    QTest::newRow("same version") << 3;
    QTest::newRow("older version") << 2;
}

void TestLocalDatabaseFile::sameOrOlderTemplateLeavesTheFileUntouched() {
    QFETCH(int, templateVersion);
    prepareLocalDatabase(userPath(), templatePath());
    sql(userPath(), QStringLiteral("update 系统信息表 set yhmc='某公司'"));
    sql(templatePath(), QStringLiteral("pragma user_version = %1;"
                                       "create table show_line (mc text);"
                                       "insert into print_model values ('调拨单', 'c');")
                            .arg(templateVersion));
    const QByteArray before = contents(userPath());
    const QDateTime modified = QFileInfo(userPath()).lastModified();

    {
        // Another program holds the write lock: a prepare that tried to write would fail.
        const WriteLock writer(userPath());
        QVERIFY(writer.held());
        prepareLocalDatabase(userPath(), templatePath());
    }

    QCOMPARE(contents(userPath()), before);
    QCOMPARE(QFileInfo(userPath()).lastModified(), modified);
    QCOMPARE(userVersion(userPath()), 3);
}

void TestLocalDatabaseFile::unreadableDatabaseIsReportedAndKept() {
    QVERIFY(QDir().mkpath(QFileInfo(userPath()).path()));
    QFile file(userPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a database, but the user's file all the same");
    file.close();
    QVERIFY_THROWS_EXCEPTION(zt::db::DbError, prepareLocalDatabase(userPath(), templatePath()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("not a database, but the user's file all the same"));
}

QTEST_GUILESS_MAIN(TestLocalDatabaseFile)
#include "tst_local_database_file.moc"
