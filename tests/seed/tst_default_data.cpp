// Seeding a fresh account set on a private zt-devserver from a local configuration
// database: the default user and rights, every template row with its transfer kind, and
// where a failing row stops the copy. Every function gets a server and a local database of
// its own, since some replace the local templates.

#include "db/sql_literal.h"
#include "schema/table.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/no_throw.h"

#include <QTest>

#include <memory>

using zt::db::DbError;
using zt::db::Query;
using zt::seed::templateTables;
using zt::seed::Transfer;
using zt::test::nullText;

namespace {

QString declaredType(Transfer transfer) {
    switch (transfer) {
    case Transfer::Integer:
        return QStringLiteral("INTEGER");
    case Transfer::Boolean:
        return QStringLiteral("BIT");
    case Transfer::Text:
        break;
    }
    return QStringLiteral("TEXT");
}

// Replaces every template table by an empty one with the copied columns, in a shape that
// allows NULL everywhere, plus a column the copy must leave alone.
QString emptyTemplatesScript() {
    QString script;
    for (const auto& table : templateTables()) {
        QStringList columns;
        for (const auto& column : table.columns)
            columns << QStringLiteral("\"%1\" %2").arg(column.name, declaredType(column.transfer));
        if (table.name != QStringLiteral("系统信息表"))
            columns << QStringLiteral("\"spare\" TEXT");
        else
            columns << QStringLiteral("\"jsb\" TEXT");
        script += QStringLiteral("DROP TABLE \"%1\"; CREATE TABLE \"%1\" (%2);\n")
                      .arg(table.name, columns.join(QStringLiteral(", ")));
    }
    return script;
}

QString identityOf(const QString& table) {
    for (const auto& column : zt::schema::findTable(table)->columns)
        if (column.identity)
            return column.name;
    return {};
}

QString rowsOf(const QString& table, int count, const QString& column = QStringLiteral("ytmc")) {
    QString script;
    for (int i = 1; i <= count; ++i)
        script += QStringLiteral("INSERT INTO \"%1\" (\"%2\") VALUES ('r%3');\n")
                      .arg(table, column)
                      .arg(i);
    return script;
}

} // namespace

class TestDefaultData : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void shippedTemplatesAreCopiedWhole();
    void superAdministratorHasEveryRight();
    void transferKindsShapeTheCopiedValues();
    void emptyTemplateTableIsSkipped();
    void unconvertibleDateWritesNoRow();
    void missingTemplateColumnWritesNoRow();

private:
    // Seeds database_ (made with its tables by init()); rethrows what the seeding threw.
    void seed();
    // One column of a target table in identity order, joined with '|'.
    QString column(const QString& database, const QString& table, const QString& name);

    std::unique_ptr<zt::test::AccountSetFixture> fixture_;
    const QString database_ = QStringLiteral("seeded");
};

void TestDefaultData::init() {
    fixture_ = std::make_unique<zt::test::AccountSetFixture>();
    QVERIFY(fixture_->start());
    QVERIFY(fixture_->createEmptyAccountSet(database_));
}

void TestDefaultData::cleanup() {
    fixture_.reset();
}

void TestDefaultData::seed() {
    Query source(QStringLiteral("ADOserver"));
    source.setConnectionString(fixture_->localConnectionString());
    Query target(QStringLiteral("ADOcreate"));
    target.setConnectionString(zt::server::databaseConnectionString(
        fixture_->credentialPart(), database_, fixture_->serverName()));
    zt::seed::seedDefaultData(source, target);
}

QString TestDefaultData::column(const QString& database, const QString& table,
                                const QString& name) {
    const QStringList values = fixture_->serverColumn(
        database,
        QStringLiteral("select * from %1 order by %2")
            .arg(zt::db::bracketedName(table), zt::db::bracketedName(identityOf(table))),
        name);
    return values.join(u'|');
}

void TestDefaultData::shippedTemplatesAreCopiedWhole() {
    QVERIFY(zt::test::succeeds("seed", [this] { seed(); }));
    for (const auto& table : templateTables()) {
        const QStringList local = fixture_->localColumn(
            QStringLiteral("select count(*) as n from \"%1\"").arg(table.name),
            QStringLiteral("n"));
        QCOMPARE(fixture_->serverCount(database_, table.name), local.value(0).toInt());
    }
    // Rows arrive in the order the local database returns them.
    QCOMPARE(column(database_, QStringLiteral("col_num"), QStringLiteral("model")),
             fixture_->localColumn(QStringLiteral("select * from col_num"), QStringLiteral("model"))
                 .join(u'|'));
}

void TestDefaultData::superAdministratorHasEveryRight() {
    QVERIFY(zt::test::succeeds("seed", [this] { seed(); }));
    QCOMPARE(fixture_->serverCount(database_, QStringLiteral("用户信息表")), 1);
    QCOMPARE(column(database_, QStringLiteral("用户信息表"), QStringLiteral("yhmc")),
             QStringLiteral("超级管理员"));
    for (const char* unassigned : {"yhkl", "yhqx", "pd"})
        QCOMPARE(column(database_, QStringLiteral("用户信息表"), QString::fromUtf8(unassigned)),
                 nullText());

    QStringList expected;
    for (int right = 1; right <= 220; ++right)
        expected << QStringLiteral("n%1").arg(right);
    QCOMPARE(column(database_, QStringLiteral("用户权限表"), QStringLiteral("yhqx")),
             expected.join(u'|'));
    const QStringList holders =
        column(database_, QStringLiteral("用户权限表"), QStringLiteral("yhmc")).split(u'|');
    QCOMPARE(holders.size(), 220);
    QCOMPARE(QSet<QString>(holders.begin(), holders.end()),
             QSet<QString>{QStringLiteral("超级管理员")});
    const QStringList granted =
        column(database_, QStringLiteral("用户权限表"), QStringLiteral("pd")).split(u'|');
    QCOMPARE(QSet<QString>(granted.begin(), granted.end()), QSet<QString>{QStringLiteral("true")});
}

void TestDefaultData::transferKindsShapeTheCopiedValues() {
    QVERIFY(fixture_->execLocal(emptyTemplatesScript() + QStringLiteral(R"(
        INSERT INTO col_num (model, ytmc, "1", "2") VALUES ('jhd', '进货单', NULL, 75);
        INSERT INTO show_line (mc, zd, yesno, lk, spare) VALUES ('进货单', NULL, NULL, NULL, 'x');
        INSERT INTO line_yesno (mc, zd, yesno, lk) VALUES ('销售单', 'bm', 1, '80');
        INSERT INTO hpszxxb (bm, hh) VALUES ('ABCDEFGHIJKLMNO', '');
        INSERT INTO "系统信息表" (yhmc, qyrq, jzb, mrzk, jsb)
            VALUES ('澄桦商贸', '2024-03-05', '2', '0.95', 'kept out');
    )")));
    QVERIFY(zt::test::succeeds("seed", [this] { seed(); }));

    QCOMPARE(column(database_, QStringLiteral("col_num"), QStringLiteral("1")),
             QStringLiteral("0"));
    QCOMPARE(column(database_, QStringLiteral("col_num"), QStringLiteral("2")),
             QStringLiteral("75"));
    QCOMPARE(column(database_, QStringLiteral("col_num"), QStringLiteral("20")),
             QStringLiteral("0"));
    QCOMPARE(column(database_, QStringLiteral("col_num"), QStringLiteral("ytmc")),
             QStringLiteral("进货单"));

    // NULL becomes false for a boolean, "" in a text column and NULL in a number column.
    QCOMPARE(column(database_, QStringLiteral("show_line"), QStringLiteral("yesno")),
             QStringLiteral("False"));
    QCOMPARE(column(database_, QStringLiteral("show_line"), QStringLiteral("zd")), QString());
    QCOMPARE(column(database_, QStringLiteral("show_line"), QStringLiteral("lk")), nullText());
    QCOMPARE(column(database_, QStringLiteral("line_yesno"), QStringLiteral("yesno")),
             QStringLiteral("True"));
    QCOMPARE(column(database_, QStringLiteral("line_yesno"), QStringLiteral("lk")),
             QStringLiteral("80"));

    // Fifteen characters into nvarchar(12): cut, no error.
    QCOMPARE(column(database_, QStringLiteral("hpszxxb"), QStringLiteral("bm")),
             QStringLiteral("ABCDEFGHIJKL"));
    QCOMPARE(column(database_, QStringLiteral("hpszxxb"), QStringLiteral("hh")), QString());

    QCOMPARE(column(database_, QStringLiteral("系统信息表"), QStringLiteral("jsb")), nullText());
    QCOMPARE(column(database_, QStringLiteral("系统信息表"), QStringLiteral("jzb")),
             QStringLiteral("2"));
    QVERIFY(column(database_, QStringLiteral("系统信息表"), QStringLiteral("qyrq"))
                .startsWith(QStringLiteral("2024-03-05")));
    QCOMPARE(column(database_, QStringLiteral("系统信息表"), QStringLiteral("mrzk")).toDouble(),
             0.95);
    QCOMPARE(column(database_, QStringLiteral("系统信息表"), QStringLiteral("yjcrq")), nullText());
}

void TestDefaultData::emptyTemplateTableIsSkipped() {
    QVERIFY(fixture_->execLocal(emptyTemplatesScript() + rowsOf(QStringLiteral("print_colrow"), 2) +
                                rowsOf(QStringLiteral("打印设置表1"), 3)));
    QVERIFY(zt::test::succeeds("seed", [this] { seed(); }));
    QCOMPARE(fixture_->serverCount(database_, QStringLiteral("print_colrow")), 2);
    QCOMPARE(fixture_->serverCount(database_, QStringLiteral("print_model")), 0);
    QCOMPARE(column(database_, QStringLiteral("打印设置表1"), QStringLiteral("ytmc")),
             QStringLiteral("r1|r2|r3"));
}

void TestDefaultData::unconvertibleDateWritesNoRow() {
    QVERIFY(fixture_->execLocal(emptyTemplatesScript() + rowsOf(QStringLiteral("col_num"), 2) +
                                rowsOf(QStringLiteral("show_line"), 1, QStringLiteral("mc")) +
                                rowsOf(QStringLiteral("打印设置表"), 2) +
                                rowsOf(QStringLiteral("打印设置表1"), 2) + QStringLiteral(R"(
        INSERT INTO "系统信息表" (yhmc, qyrq) VALUES ('first', '2024-01-31');
        INSERT INTO "系统信息表" (yhmc, qyrq) VALUES ('second', 'not a date');
        INSERT INTO "系统信息表" (yhmc, qyrq) VALUES ('third', '2024-02-01');
    )")));
    QVERIFY_THROWS_EXCEPTION(DbError, seed());
    // The rows travel in one transaction: none of them stays.
    for (const QString& table :
         {QStringLiteral("用户信息表"), QStringLiteral("用户权限表"), QStringLiteral("col_num"),
          QStringLiteral("show_line"), QStringLiteral("系统信息表"), QStringLiteral("打印设置表1")})
        QCOMPARE(fixture_->serverCount(database_, table), 0);
}

void TestDefaultData::missingTemplateColumnWritesNoRow() {
    QVERIFY(
        fixture_->execLocal(emptyTemplatesScript() + rowsOf(QStringLiteral("print_model"), 1) +
                            QStringLiteral("DROP TABLE row_num; CREATE TABLE row_num (model TEXT);"
                                           "INSERT INTO row_num VALUES ('jhd');")));
    try {
        seed();
        QFAIL("the seeding went through without the column");
    } catch (const DbError& error) {
        QVERIFY2(error.text().contains(QStringLiteral("ytmc")), qPrintable(error.text()));
    }
    QCOMPARE(fixture_->serverCount(database_, QStringLiteral("print_model")), 0);
    QCOMPARE(fixture_->serverCount(database_, QStringLiteral("用户权限表")), 0);
}

QTEST_GUILESS_MAIN(TestDefaultData)
#include "tst_default_data.moc"
