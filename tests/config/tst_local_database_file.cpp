// Where the local configuration database lives and how it comes to be: beside the program in
// a build tree, per user for an installed program; made from the template only when missing,
// afterwards only given what a newer template adds.

#include "config/local_database_file.h"
#include "db/query.h"

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

const QString kTemplateV1 =
    QStringLiteral("create table 系统路径表 (zjmc text, \"1\" text, \"2\" text);"
                   "create table 帐套信息表 (ztmc text, kl text);"
                   "create table col_num (model text, ytmc text);"
                   "insert into col_num values ('jhd', '进货单');");

} // namespace

class TestLocalDatabaseFile : public QObject {
    Q_OBJECT

private slots:
    void init();

    void chosenPlace_data();
    void chosenPlace();
    void madeFromTheTemplateWhenMissing();
    void newerTemplateAddsOnlyWhatIsMissing();
    void unchangedTemplateChangesNothing();
    void unreadableDatabaseIsReportedAndKept();

private:
    QString templatePath() const { return dir_->filePath(QStringLiteral("template.mdb")); }
    QString userPath() const { return dir_->filePath(QStringLiteral("home/zhangtao/CHWHDB.mdb")); }

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestLocalDatabaseFile::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    sql(templatePath(), kTemplateV1);
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
    QCOMPARE(rows(userPath(), QStringLiteral("select * from col_num")), QStringList{"jhd|进货单"});
    // The user's copy takes what the user stores.
    sql(userPath(), QStringLiteral("insert into 系统路径表 values ('srv', '', 'x;')"));
    QCOMPARE(rows(userPath(), QStringLiteral("select zjmc from 系统路径表")), QStringList{"srv"});
}

void TestLocalDatabaseFile::newerTemplateAddsOnlyWhatIsMissing() {
    prepareLocalDatabase(userPath(), templatePath());
    sql(userPath(), QStringLiteral("insert into 系统路径表 values ('srv', 'integrated;', '');"
                                   "insert into 帐套信息表 values ('帐一', 'pw');"
                                   "insert into col_num values ('mine', '自己的');"));
    // A newer template: one more template row, one more table, a changed login table.
    sql(templatePath(), QStringLiteral("insert into col_num values ('xsd', '销售单');"
                                       "create table show_line (model text, n integer);"
                                       "insert into show_line values ('jhd', 3);"
                                       "insert into 系统路径表 values ('template-only', '', '');"));

    prepareLocalDatabase(userPath(), templatePath());
    QCOMPARE(rows(userPath(), QStringLiteral("select * from col_num order by rowid")),
             (QStringList{"jhd|进货单", "mine|自己的", "xsd|销售单"}));
    QCOMPARE(rows(userPath(), QStringLiteral("select * from show_line")), QStringList{"jhd|3"});
    QCOMPARE(rows(userPath(), QStringLiteral("select * from 帐套信息表")), QStringList{"帐一|pw"});
    QCOMPARE(rows(userPath(), QStringLiteral("select zjmc from 系统路径表 order by rowid")),
             (QStringList{"srv", "template-only"}));
}

void TestLocalDatabaseFile::unchangedTemplateChangesNothing() {
    prepareLocalDatabase(userPath(), templatePath());
    sql(userPath(), QStringLiteral("insert into 帐套信息表 values ('帐一', 'pw')"));
    const QStringList before = rows(userPath(), QStringLiteral("select * from col_num"));
    prepareLocalDatabase(userPath(), templatePath());
    prepareLocalDatabase(userPath(), templatePath());
    QCOMPARE(rows(userPath(), QStringLiteral("select * from col_num")), before);
    QCOMPARE(rows(userPath(), QStringLiteral("select * from 帐套信息表")), QStringList{"帐一|pw"});
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
