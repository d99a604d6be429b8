// The batched creation against the statement-level contract: the literals store what bound
// parameters store, the batched default rows equal those that posting row by row through query
// objects writes (values, order, identity values), and the server receives the schema and the
// rows as the same statements in the same order.

#include "accountset/creation.h"
#include "db/field_transfer.h"
#include "db/query.h"
#include "db/sql_literal.h"
#include "schema/create_tables.h"
#include "schema/table.h"
#include "seed/default_data.h"
#include "server/connection_strings.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/recording_dialogs.h"

#include <QDateTime>
#include <QFile>
#include <QTest>

#include <cmath>
#include <limits>

using zt::db::DbError;
using zt::db::Query;
using zt::db::sqlLiteral;
using zt::test::AccountSetFixture;

namespace {

// Posts the default rows one at a time through a query object: the contract the batches
// must meet.
void postRowByRow(Query& source, Query& target) {
    auto openTable = [](Query& query, const QString& table) {
        query.close();
        query.sqlClear();
        query.sqlAdd(QStringLiteral("select*from ") + table);
        query.open();
    };
    const QString admin = zt::seed::superAdministratorName();
    openTable(target, QStringLiteral("用户信息表"));
    target.append();
    target.fieldByName(QStringLiteral("yhmc")).setString(admin);
    target.post();
    openTable(target, QStringLiteral("用户权限表"));
    for (int right = 1; right <= zt::seed::rightCount; ++right) {
        target.append();
        target.fieldByName(QStringLiteral("yhmc")).setString(admin);
        target.fieldByName(QStringLiteral("yhqx")).setString(QStringLiteral("n%1").arg(right));
        target.fieldByName(QStringLiteral("pd")).setString(QStringLiteral("true"));
        target.post();
    }
    for (const auto& table : zt::seed::templateTables()) {
        openTable(source, table.name);
        openTable(target, table.name);
        for (; !source.eof(); source.next()) {
            target.append();
            for (const auto& column : table.columns) {
                zt::db::Field from = source.fieldByName(column.name);
                zt::db::Field to = target.fieldByName(column.name);
                if (column.transfer == zt::seed::Transfer::Text)
                    to.setString(from.asString());
                else if (column.transfer == zt::seed::Transfer::Integer)
                    to.setInteger(from.asInteger());
                else
                    to.setBoolean(from.asBoolean());
            }
            target.post();
        }
    }
    target.close();
}

QString identityOf(const QString& table) {
    if (const zt::schema::Table* declared = zt::schema::findTable(table))
        for (const auto& column : declared->columns)
            if (column.identity)
                return column.name;
    return QStringLiteral("id");
}

// Every row of the table in the order of its identity, each value as text ("<null>" for NULL).
QStringList tableRows(Query& query, const QString& table) {
    const QString order = QStringLiteral(" order by ") + zt::db::bracketedName(identityOf(table));
    query.close();
    query.sqlClear();
    query.sqlAdd(QStringLiteral("select * from ") + zt::db::bracketedName(table) + order);
    query.open();
    QStringList rows;
    for (; !query.eof(); query.next()) {
        QStringList values;
        for (const QString& name : query.fieldNames()) {
            zt::db::Field field = query.fieldByName(name);
            values << (field.isNull() ? zt::test::nullText() : field.asString());
        }
        rows << values.join(u'|');
    }
    query.close();
    return rows;
}

QStringList seededTables() {
    QStringList tables{QStringLiteral("用户信息表"), QStringLiteral("用户权限表")};
    for (const auto& table : zt::seed::templateTables())
        tables << table.name;
    return tables;
}

// Template rows that test the literals: quotes, NULLs in every kind, texts longer than their
// column, dates, numbers, Chinese text, a text with a line break and a trailing blank.
QString awkwardTemplateRows() {
    return QStringLiteral(R"(
        INSERT INTO col_num (model, ytmc, "1", "2") VALUES ('it''s', NULL, NULL, -7);
        INSERT INTO show_line (mc, zd, yesno, lk) VALUES ('a''''b', '', 0, NULL);
        INSERT INTO show_line (mc, zd, yesno, lk) VALUES ('行
二 ', 'x', 1, ' 12 ');
        INSERT INTO hpszxxb (bm, hh, jm) VALUES ('ABCDEFGHIJKLMNOPQRSTUVWXYZ', NULL, 'N''x''');
        INSERT INTO "系统信息表" (yhmc, qyrq, yjcrq, jzb, mrzk, mrsl, bz)
            VALUES ('澄桦''商贸', '2024-03-05', '2024/12/31 13:45', ' 2 ', '0.1', '-1e-3', '');
        INSERT INTO "系统信息表" (yhmc, qyrq, mrzk) VALUES (NULL, '', '123456789.123456789');
    )");
}

} // namespace

class TestBatchedCreation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void literalText_data();
    void literalText();
    void literalRefusesWhatCannotBeStored();
    void quotedNamesAndTexts_data();
    void quotedNamesAndTexts();
    void literalsStoreWhatParametersStore_data();
    void literalsStoreWhatParametersStore();
    void batchedRowsEqualRowByRowPosting();
    void serverReceivesTheContractStatementsInOrder();

private:
    QString connectionString(const QString& database) const {
        return zt::server::databaseConnectionString(fixture_.credentialPart(), database,
                                                    fixture_.serverName());
    }

    AccountSetFixture fixture_;
};

void TestBatchedCreation::initTestCase() {
    QVERIFY(fixture_.start());
}

void TestBatchedCreation::literalText_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("literal");
    QTest::newRow("NULL") << QVariant() << "NULL";
    QTest::newRow("text") << QVariant(QStringLiteral("超级管理员")) << "N'超级管理员'";
    QTest::newRow("quotes doubled") << QVariant(QStringLiteral("it's ''x")) << "N'it''s ''''x'";
    QTest::newRow("empty text") << QVariant(QStringLiteral("")) << "N''";
    QTest::newRow("integer") << QVariant(qlonglong(-42)) << "-42";
    QTest::newRow("large integer") << QVariant(qlonglong(9007199254740993LL)) << "9007199254740993";
    QTest::newRow("true") << QVariant(true) << "1";
    QTest::newRow("false") << QVariant(false) << "0";
    QTest::newRow("float") << QVariant(0.1) << "1.0000000000000001e-01";
    QTest::newRow("negative float") << QVariant(-1234.5) << "-1.2345000000000000e+03";
    QTest::newRow("date") << QVariant(QDateTime(QDate(2024, 3, 5), QTime(0, 0)))
                          << "N'2024-03-05T00:00:00.000'";
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 7)))
                                   << "N'1999-12-31T23:59:07.000'";
    QTest::newRow("bytes") << QVariant(QByteArray("\x0a\xff", 2)) << "0x0aff";
}

void TestBatchedCreation::literalText() {
    QFETCH(QVariant, value);
    QFETCH(QString, literal);
    QCOMPARE(sqlLiteral(value), literal);
}

void TestBatchedCreation::literalRefusesWhatCannotBeStored() {
    QVERIFY_THROWS_EXCEPTION(DbError, sqlLiteral(std::numeric_limits<double>::infinity()));
    QVERIFY_THROWS_EXCEPTION(DbError, sqlLiteral(std::nan("")));
    QVERIFY_THROWS_EXCEPTION(DbError, sqlLiteral(QVariant(QSize(1, 2))));
    QCOMPARE(zt::db::literalInsert(QStringLiteral("a]b"),
                                   {QStringLiteral("1"), QStringLiteral("c")},
                                   {qlonglong(1), QVariant()}),
             QStringLiteral("INSERT INTO [a]]b] ([1], [c]) VALUES (1, NULL)"));
}

void TestBatchedCreation::quotedNamesAndTexts_data() {
    QTest::addColumn<QString>("quoted");
    QTest::addColumn<QString>("expected");
    QTest::newRow("server name with ]")
        << zt::db::bracketedName(QStringLiteral("a]b]")) << "[a]]b]]]";
    QTest::newRow("server name with [") << zt::db::bracketedName(QStringLiteral("[x")) << "[[x]";
    QTest::newRow("server text") << zt::db::unicodeLiteral(QStringLiteral("it's")) << "N'it''s'";
    QTest::newRow("plain text") << zt::db::quotedLiteral(QStringLiteral("'")) << "''''";
    QTest::newRow("local name with \"")
        << zt::db::doubleQuotedName(QStringLiteral("a\"b")) << "\"a\"\"b\"";
}

void TestBatchedCreation::quotedNamesAndTexts() {
    QFETCH(QString, quoted);
    QFETCH(QString, expected);
    QCOMPARE(quoted, expected);
}

void TestBatchedCreation::literalsStoreWhatParametersStore_data() {
    using zt::db::ColumnKind;
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("assigned"); // assigned as text, as the template copy does
    const int text = int(ColumnKind::Text);
    QTest::newRow("nvarchar") << "[nvarchar] (8)" << text << 8 << "it's 超级";
    QTest::newRow("nvarchar cut") << "[nvarchar] (3)" << text << 3 << "abcdef";
    QTest::newRow("nvarchar empty") << "[nvarchar] (3)" << text << 3 << "";
    QTest::newRow("ntext") << "[ntext]" << text << 0 << QString(5000, u'长') + u'\'';
    QTest::newRow("int") << "[int]" << int(ColumnKind::Integer) << 0 << "-2147483648";
    QTest::newRow("int empty") << "[int]" << int(ColumnKind::Integer) << 0 << "";
    QTest::newRow("float") << "[float]" << int(ColumnKind::Float) << 0 << "0.1";
    QTest::newRow("float tiny") << "[float]" << int(ColumnKind::Float) << 0 << "-4.9e-300";
    QTest::newRow("money") << "[money]" << int(ColumnKind::Money) << 0 << "12.34565";
    QTest::newRow("money negative") << "[money]" << int(ColumnKind::Money) << 0 << "-0.00005";
    QTest::newRow("smalldatetime")
        << "[smalldatetime]" << int(ColumnKind::DateTime) << 0 << "2024/3/5 13:45";
    QTest::newRow("smalldatetime empty")
        << "[smalldatetime]" << int(ColumnKind::DateTime) << 0 << "";
    QTest::newRow("bit") << "[bit]" << int(ColumnKind::Boolean) << 0 << "true";
}

// One row assigned through a query object (bound parameters), one written with the literal of
// the value that the same assignment gives: the server holds the same value for both.
void TestBatchedCreation::literalsStoreWhatParametersStore() {
    QFETCH(QString, type);
    QFETCH(int, kind);
    QFETCH(int, width);
    QFETCH(QString, assigned);
    const QString database = QStringLiteral("literals_%1")
                                 .arg(QString::fromLatin1(QTest::currentDataTag()))
                                 .replace(u' ', u'_');
    QVERIFY(fixture_.execServer(QStringLiteral("master"),
                                QStringLiteral("create database ") + database));
    QVERIFY(fixture_.execServer(
        database,
        QStringLiteral("CREATE TABLE [t] ([id] [int] IDENTITY (1, 1) NOT NULL, [v] %1 NULL)")
            .arg(type)));
    Query query(QStringLiteral("ADOcreate"));
    query.setConnectionString(connectionString(database));
    query.sqlAdd(QStringLiteral("select*from t"));
    query.open();
    query.append();
    query.fieldByName(QStringLiteral("v")).setString(assigned);
    query.post();

    zt::db::Column column;
    column.name = QStringLiteral("v");
    column.kind = zt::db::ColumnKind(kind);
    column.width = width;
    const QVariant value = zt::db::valueForColumn(column, assigned);
    query.close();
    query.sqlClear();
    query.sqlAdd(zt::db::literalInsert(QStringLiteral("t"), {QStringLiteral("v")}, {value}));
    query.execSql();

    const QStringList rows = tableRows(query, QStringLiteral("t"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1].section(u'|', 1), rows[0].section(u'|', 1));
}

void TestBatchedCreation::batchedRowsEqualRowByRowPosting() {
    QVERIFY(fixture_.execLocal(awkwardTemplateRows()));
    QVERIFY(fixture_.createEmptyAccountSet(QStringLiteral("by_rows")));
    QVERIFY(fixture_.createEmptyAccountSet(QStringLiteral("by_batches")));
    Query source(QStringLiteral("ADOserver"));
    source.setConnectionString(fixture_.localConnectionString());
    Query target(QStringLiteral("ADOcreate"));
    target.setConnectionString(connectionString(QStringLiteral("by_rows")));
    postRowByRow(source, target);
    target.setConnectionString(connectionString(QStringLiteral("by_batches")));
    zt::seed::seedDefaultData(source, target);

    Query reader(QStringLiteral("check"));
    for (const QString& table : seededTables()) {
        reader.setConnectionString(connectionString(QStringLiteral("by_rows")));
        const QStringList expected = tableRows(reader, table);
        reader.setConnectionString(connectionString(QStringLiteral("by_batches")));
        QCOMPARE(tableRows(reader, table), expected);
    }
    // The awkward rows did arrive, so the comparison above covered them.
    reader.setConnectionString(connectionString(QStringLiteral("by_batches")));
    QVERIFY(tableRows(reader, QStringLiteral("show_line")).join(u'\n').contains(u'\''));
}

void TestBatchedCreation::serverReceivesTheContractStatementsInOrder() {
    zt::test::RecordingDialogs dialogs;
    zt::accountset::PageQueries queries;
    zt::accountset::Environment env{dialogs, fixture_.localConnectionString()};
    const zt::accountset::NewAccountSet input{fixture_.serverName(), QStringLiteral("contract"),
                                              QStringLiteral("k"), false};
    QCOMPARE(zt::accountset::createAccountSet(queries, env, input),
             zt::accountset::CreateOutcome::Created);

    QFile trace(fixture_.server().traceFile());
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QString sent = QString::fromUtf8(trace.readAll());
    Query source(QStringLiteral("ADOserver"));
    source.setConnectionString(fixture_.localConnectionString());
    // Built under an unfinished name, renamed to its own when whole.
    qsizetype at = sent.indexOf(QStringLiteral("create database [contract$zt_building$"));
    QVERIFY(at >= 0);
    int found = 0;
    const QStringList statements =
        zt::schema::createTableStatements() + zt::seed::defaultDataStatements(source);
    for (const QString& statement : statements) {
        const qsizetype next = sent.indexOf(statement + u'\n', at);
        QVERIFY2(next > at, qPrintable(statement.left(80)));
        at = next + statement.size();
        ++found;
    }
    QVERIFY(found > 108 + 1 + 220); // the template rows were among them
    QVERIFY(sent.indexOf(QStringLiteral("exec sp_renamedb N'contract$zt_building$"), at) > at);
}

QTEST_GUILESS_MAIN(TestBatchedCreation)
#include "tst_batched_creation.moc"
