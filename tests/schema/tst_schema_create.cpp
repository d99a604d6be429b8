// The creation procedure against a private zt-devserver: what a fresh account set holds
// afterwards, where a run stops, and the constraints the declarations put on rows.

#include "tst_schema.h"

#include "db/query.h"
#include "db/sql_literal.h"
#include "schema/create_tables.h"
#include "schema/table.h"

#include <QTest>

#include <functional>
#include <map>

using zt::db::DbError;
using zt::db::Query;
using zt::schema::accountSetTables;
using zt::schema::Column;
using zt::schema::ColumnType;
using zt::schema::Table;

namespace {

struct CatalogColumn {
    int position = 0;
    QString name;
    QString dataType;
    bool lengthIsNull = true;
    int length = 0;
    QString nullable;
    bool collationIsNull = true;
    QString collation;
};

// The error number of the refusal, or -1 when the action went through.
int refusalNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const DbError& error) {
        return error.number();
    }
    return -1;
}

void execute(Query& query, const QString& statement) {
    query.close();
    query.sqlClear();
    query.sqlAdd(statement);
    query.execSql();
}

int rowCount(Query& query, const QString& table) {
    query.close();
    query.sqlClear();
    query.sqlAdd(QStringLiteral("select count(*) as n from ") + zt::db::bracketedName(table));
    query.open();
    return query.fieldByName(QStringLiteral("n")).asInteger();
}

QStringList namesOfFirstTables(int count) {
    QStringList names;
    for (int index = 0; index < count; ++index) {
        names << accountSetTables().at(static_cast<std::size_t>(index)).name;
    }
    return names;
}

} // namespace

QString TestSchema::connectionString(const QString& database) const {
    return QStringLiteral("Provider=SQLOLEDB.1;Password=;Persist Security Info=True;User ID=sa;"
                          "Initial Catalog=%1;Data Source=%2")
        .arg(database, server_->dataSource());
}

void TestSchema::createDatabase(const QString& name) {
    Query server(QStringLiteral("ADOQuery3"));
    server.setConnectionString(connectionString(QStringLiteral("master")));
    execute(server, QStringLiteral("create database ") + name);
}

void TestSchema::createAccountSet(const QString& name) {
    createDatabase(name);
    Query create(QStringLiteral("ADOcreate"));
    create.setConnectionString(connectionString(name));
    zt::schema::createSchema(create);
}

QStringList TestSchema::tableNames(const QString& database) {
    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(connectionString(database));
    query.sqlAdd(QStringLiteral("select TABLE_NAME, TABLE_TYPE from INFORMATION_SCHEMA.TABLES"));
    query.open();
    QStringList names;
    for (; !query.eof(); query.next()) {
        if (query.fieldByName(QStringLiteral("TABLE_TYPE")).asString() ==
            QStringLiteral("BASE TABLE")) {
            names << query.fieldByName(QStringLiteral("TABLE_NAME")).asString();
        }
    }
    names.sort();
    return names;
}

// Stopped here rather than on destruction, so that a bad end of the server is a failure.
void TestSchema::cleanupTestCase() {
    server_.reset();
}

bool TestSchema::serverRunning() {
    if (!server_) {
        auto server = std::make_unique<zt::test::DevServerProcess>();
        if (!server->start()) {
            return false;
        }
        server_ = std::move(server);
    }
    return true;
}

void TestSchema::freshDatabaseReceivesEveryTableEmpty() {
    QVERIFY(serverRunning());
    const QString database = QStringLiteral("zt_fresh");
    createDatabase(database);
    Query create(QStringLiteral("ADOcreate"));
    create.setConnectionString(connectionString(database));
    QList<int> reported;
    zt::schema::createSchema(create, [&](int created, int total) {
        QCOMPARE(total, 108);
        reported << created;
    });
    // A few batches, each told when done.
    QCOMPARE(reported, (QList<int>{54, 108}));

    QStringList expected = namesOfFirstTables(108);
    expected.sort();
    QCOMPARE(tableNames(database), expected);

    Query rows(QStringLiteral("ADOQuery1"));
    rows.setConnectionString(connectionString(database));
    for (const Table& table : accountSetTables()) {
        QVERIFY2(rowCount(rows, table.name) == 0, qPrintable(table.name));
    }
}

void TestSchema::catalogColumnsMatchTheDeclarations() {
    QVERIFY(serverRunning());
    const QString database = QStringLiteral("zt_catalog");
    createAccountSet(database);

    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(connectionString(database));
    query.sqlAdd(QStringLiteral(
        "select TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
        "IS_NULLABLE, COLLATION_NAME from INFORMATION_SCHEMA.COLUMNS"));
    query.open();
    std::map<QString, std::map<int, CatalogColumn>> catalog;
    for (; !query.eof(); query.next()) {
        CatalogColumn column;
        column.position = query.fieldByName(QStringLiteral("ORDINAL_POSITION")).asInteger();
        column.name = query.fieldByName(QStringLiteral("COLUMN_NAME")).asString();
        column.dataType = query.fieldByName(QStringLiteral("DATA_TYPE")).asString();
        const zt::db::Field length = query.fieldByName(QStringLiteral("CHARACTER_MAXIMUM_LENGTH"));
        column.lengthIsNull = length.isNull();
        column.length = length.asInteger();
        column.nullable = query.fieldByName(QStringLiteral("IS_NULLABLE")).asString();
        const zt::db::Field collation = query.fieldByName(QStringLiteral("COLLATION_NAME"));
        column.collationIsNull = collation.isNull();
        column.collation = collation.asString();
        const QString table = query.fieldByName(QStringLiteral("TABLE_NAME")).asString();
        catalog[table][column.position] = column;
    }

    QCOMPARE(catalog.size(), std::size_t{108});
    for (const Table& table : accountSetTables()) {
        const std::map<int, CatalogColumn>& columns = catalog[table.name];
        QVERIFY2(columns.size() == table.columns.size(), qPrintable(table.name));
        int position = 0;
        for (const auto& [ordinal, found] : columns) {
            const Column& declared = table.columns.at(static_cast<std::size_t>(position));
            ++position;
            const QString where = table.name + QLatin1Char('.') + declared.name;
            QVERIFY2(ordinal == position, qPrintable(where));
            QCOMPARE(found.name, declared.name);
            QCOMPARE(found.dataType, zt::schema::typeName(declared.type));
            QCOMPARE(found.nullable,
                     declared.notNull ? QStringLiteral("NO") : QStringLiteral("YES"));
            if (declared.type == ColumnType::NVarChar) {
                QVERIFY2(!found.lengthIsNull && found.length == declared.length, qPrintable(where));
            } else if (declared.type != ColumnType::NText) {
                QVERIFY2(found.lengthIsNull, qPrintable(where));
            }
            if (zt::schema::isCharacterType(declared.type)) {
                QCOMPARE(found.collation, QString::fromLatin1(zt::schema::kCharacterCollation));
            } else {
                QVERIFY2(found.collationIsNull, qPrintable(where));
            }
        }
    }
}

void TestSchema::keysAreTheDeclaredOnes() {
    QVERIFY(serverRunning());
    const QString database = QStringLiteral("zt_keys");
    createAccountSet(database);

    QStringList expected;
    for (const Table& table : accountSetTables()) {
        for (const Column& column : table.columns) {
            if (column.primaryKey) {
                expected << table.name + QLatin1Char('.') + column.name;
            }
        }
    }
    expected.sort();

    Query query(QStringLiteral("ADOQuery1"));
    query.setConnectionString(connectionString(database));
    query.sqlAdd(
        QStringLiteral("select TABLE_NAME, COLUMN_NAME from INFORMATION_SCHEMA.KEY_COLUMN_USAGE"));
    query.open();
    QStringList keys;
    for (; !query.eof(); query.next()) {
        keys << query.fieldByName(QStringLiteral("TABLE_NAME")).asString() + QLatin1Char('.') +
                    query.fieldByName(QStringLiteral("COLUMN_NAME")).asString();
    }
    keys.sort();
    QCOMPARE(keys.size(), 21);
    QCOMPARE(keys, expected);
}

void TestSchema::stopsAtTheFirstTableThatExists() {
    QVERIFY(serverRunning());
    const QString database = QStringLiteral("zt_haspay");
    createDatabase(database);
    Query create(QStringLiteral("ADOcreate"));
    create.setConnectionString(connectionString(database));
    // The first table of the second batch is there already.
    const QString taken = namesOfFirstTables(zt::schema::tablesPerBatch + 1).last();
    execute(
        create,
        QStringLiteral("CREATE TABLE [dbo].%1 ([x] [int] NULL)").arg(zt::db::bracketedName(taken)));

    int created = 0;
    QString text;
    try {
        zt::schema::createSchema(create, [&](int done, int) { created = done; });
        QFAIL("the run went past an existing table");
    } catch (const DbError& error) {
        QCOMPARE(error.number(), 2714);
        text = error.text();
    }
    QVERIFY2(
        text.contains(
            QStringLiteral("There is already an object named '%1' in the database.").arg(taken)),
        qPrintable(text));
    // The batch holding it was the last one sent, and the transaction took back the tables
    // made before it.
    QCOMPARE(created, zt::schema::tablesPerBatch);
    QCOMPARE(tableNames(database), QStringList{taken});
}

void TestSchema::goodsCodeKeyIgnoresLetterCase() {
    QVERIFY(serverRunning());
    const QString database = QStringLiteral("zt_goods");
    createAccountSet(database);
    Query rows(QStringLiteral("ADOQuery1"));
    rows.setConnectionString(connectionString(database));

    execute(rows, QStringLiteral("insert into [货品信息表] ([bm], [qm]) values (N'abc', N'螺丝')"));
    QCOMPARE(refusalNumber([&] {
                 execute(rows,
                         QStringLiteral(
                             "insert into [货品信息表] ([bm], [qm]) values (N'ABC', N'螺母')"));
             }),
             2627);
    execute(rows, QStringLiteral("insert into [货品信息表] ([bm], [qm]) values (N'abd', N'螺母')"));
    QCOMPARE(rowCount(rows, QStringLiteral("货品信息表")), 2);
}

void TestSchema::quantityRequiredOnGoodsLinesOnly() {
    QVERIFY(serverRunning());
    const QString database = QStringLiteral("zt_lines");
    createAccountSet(database);
    Query rows(QStringLiteral("ADOQuery1"));
    rows.setConnectionString(connectionString(database));

    QCOMPARE(refusalNumber([&] {
                 execute(rows, QStringLiteral("insert into [入库信息详表] ([djbh], [bm]) values "
                                              "(N'RK0001', N'abc')"));
             }),
             515);
    QCOMPARE(rowCount(rows, QStringLiteral("入库信息详表")), 0);
    execute(rows, QStringLiteral("insert into [入库信息详表] ([djbh], [bm], [sl]) values "
                                 "(N'RK0001', N'abc', 2.5)"));
    QCOMPARE(rowCount(rows, QStringLiteral("入库信息详表")), 1);

    execute(rows, QStringLiteral("insert into [csrk] ([bm]) values (N'abc')"));
    QCOMPARE(rowCount(rows, QStringLiteral("csrk")), 1);
}

void TestSchema::tableWithoutKeyAcceptsEqualRows() {
    QVERIFY(serverRunning());
    const QString database = QStringLiteral("zt_bank");
    createAccountSet(database);
    Query rows(QStringLiteral("ADOQuery1"));
    rows.setConnectionString(connectionString(database));

    const QString insert =
        QStringLiteral("insert into [bank] ([zhmc], [je]) values (N'现金', 100)");
    execute(rows, insert);
    execute(rows, insert);

    rows.close();
    rows.sqlClear();
    rows.sqlAdd(QStringLiteral("select [ID], [zhmc] from [bank] order by [ID]"));
    rows.open();
    QCOMPARE(rows.recordCount(), 2);
    QCOMPARE(rows.fieldByName(QStringLiteral("ID")).asInteger(), 1);
    rows.next();
    QCOMPARE(rows.fieldByName(QStringLiteral("ID")).asInteger(), 2);
    QCOMPARE(rows.fieldByName(QStringLiteral("zhmc")).asString(), QStringLiteral("现金"));
}

QTEST_GUILESS_MAIN(TestSchema)
