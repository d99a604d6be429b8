// Row statements: values, conversions, refusals, identity, the case-insensitive collation.

#include "engine_fixture.h"

using namespace zt::test;
using ztds::SqlType;
using ztds::StatementResult;

class EngineRowsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void insertAndSelectWithParameters();
    void identityNumbering();
    void scopeIdentityIsPerCall();
    void explicitIdentityRefused();
    void notNullViolated();
    void duplicateKey();
    void caseInsensitiveKeys_data();
    void caseInsensitiveKeys();
    void caseInsensitiveWhereLikeOrder();
    void truncation();
    void conversionFailures_data();
    void conversionFailures();
    void dateAndMoneyConversions();
    void emptyStringsStayEmpty();
    void moneyAndDateLimits_data();
    void moneyAndDateLimits();
    void predicates_data();
    void predicates();
    void nullParameterTests();
    void updateAndDeleteCounts();
    void topAndOrder();
    void noCountHidesCounts();
    void sessionOptionsAccepted();
    void castAndFormatOnly();
    void unsupportedStatementsAreErrors_data();
    void unsupportedStatementsAreErrors();
    void commentsAndSeparators();

private:
    std::unique_ptr<EngineFixture> fixture_;
    std::unique_ptr<ztds::Session> s_;
};

void EngineRowsTest::init() {
    fixture_ = std::make_unique<EngineFixture>();
    s_ = fixture_->login();
    ZT_EXEC(*s_, "create database acct; use acct");
    ZT_EXEC(*s_, "CREATE TABLE [dbo].[goods] (\n[ID] [int] IDENTITY (1, 1) NOT NULL , \n"
                 "[bm] [nvarchar] (6) COLLATE Chinese_PRC_CI_AS NOT NULL Primary Key, \n"
                 "[pm] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , \n"
                 "[jj] [money] NULL , \n[sl] [float] NOT NULL , \n[n] [int] NULL , \n"
                 "[rq] [smalldatetime] NULL , \n[dt] [datetime] NULL , \n[ok] [bit] NULL \n"
                 ") ON [PRIMARY]");
}

void EngineRowsTest::cleanup() {
    s_.reset();
    fixture_.reset();
}

void EngineRowsTest::insertAndSelectWithParameters() {
    const StatementResult ins = run(
        *s_,
        "INSERT INTO goods (bm, pm, jj, sl, n, rq, ok) VALUES (@P1, @P2, @P3, @P4, @P5, @P6, @P7)",
        {param("@P1", SqlType::NVarChar, QStringLiteral("A01"), 6),
         param("@P2", SqlType::NVarChar, QStringLiteral("钢笔"), 20),
         param("@P3", SqlType::Money, ztds::MoneyValue{125000}), param("@P4", SqlType::Float, 2.5),
         param("@P5", SqlType::Int, int64_t{42}),
         param("@P6", SqlType::NVarChar, QStringLiteral("2024-01-02 10:00"), 20),
         param("@P7", SqlType::Bit, int64_t{1})});
    QVERIFY2(!ins.failed, qPrintable(describe(ins)));
    QCOMPARE(ins.rowCount.value_or(-1), int64_t(1));
    const StatementResult r = run(*s_, "select*from goods where bm='a01'");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(r.rowCount.value_or(-1), int64_t(1));
    const auto& row = r.resultSet->rows[0];
    QCOMPARE(std::get<int64_t>(row[0]), int64_t(1));
    QCOMPARE(std::get<QString>(row[2]), QStringLiteral("钢笔"));
    QCOMPARE(std::get<ztds::MoneyValue>(row[3]).tenThousandths, int64_t(125000));
    QCOMPARE(std::get<double>(row[4]), 2.5);
    QCOMPARE(std::get<int64_t>(row[5]), int64_t(42));
    const auto when = std::get<ztds::DateTimeValue>(row[6]);
    QCOMPARE(when.days, int32_t(QDate(1900, 1, 1).daysTo(QDate(2024, 1, 2))));
    QCOMPARE(when.msSinceMidnight, int64_t(10 * 3600000));
    QVERIFY(ztds::isNull(row[7]));
    QCOMPARE(std::get<int64_t>(row[8]), int64_t(1));
}

void EngineRowsTest::identityNumbering() {
    for (const char* code : {"a", "b", "c"})
        ZT_EXEC(*s_, QStringLiteral("insert into goods (bm, sl) values ('%1', 1)").arg(code));
    ZT_EXEC(*s_, "delete from goods where id = 3");
    ZT_EXEC(*s_, "insert into goods (bm, sl) values ('d', 1)");
    // A failed insert does not leave a row behind.
    QVERIFY(run(*s_, "insert into goods (bm, sl) values ('d', 1)").failed);
    ZT_EXEC(*s_, "insert into goods (bm, sl) values ('e', 1)");
    const StatementResult r = run(*s_, "select id from goods order by id");
    QStringList ids;
    for (size_t i = 0; i < r.resultSet->rows.size(); ++i)
        ids << textAt(r, i, 0);
    QVERIFY2(ids.size() == 4 && ids[0] == "1" && ids[1] == "2" && ids[2] == "4",
             qPrintable(ids.join(',')));
    QVERIFY(ids[3].toInt() > 4); // values are never handed out twice
}

void EngineRowsTest::scopeIdentityIsPerCall() {
    StatementResult r =
        run(*s_, "insert into goods (bm, sl) values ('x', 1); select SCOPE_IDENTITY(), @@IDENTITY");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("1"));
    QCOMPARE(textAt(r, 0, 1), QStringLiteral("1"));
    r = run(*s_, "select SCOPE_IDENTITY(), @@IDENTITY, IDENT_CURRENT('goods')");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("NULL"));
    QCOMPARE(textAt(r, 0, 1), QStringLiteral("1"));
    QCOMPARE(textAt(r, 0, 2), QStringLiteral("1"));
}

void EngineRowsTest::explicitIdentityRefused() {
    const StatementResult r = run(*s_, "insert into goods (id, bm, sl) values (5, 'x', 1)");
    QCOMPARE(firstError(r), 544);
    QCOMPARE(firstErrorText(r), QStringLiteral("Cannot insert explicit value for identity column "
                                               "in table 'goods' when IDENTITY_INSERT is set to "
                                               "OFF."));
}

void EngineRowsTest::notNullViolated() {
    StatementResult r = run(*s_, "insert into goods (bm) values ('x')");
    QVERIFY(r.failed);
    QCOMPARE(r.messages.size(), size_t(2));
    QCOMPARE(r.messages[0].number, 515);
    QCOMPARE(r.messages[0].text, QStringLiteral("Cannot insert the value NULL into column 'sl', "
                                                "table 'acct.dbo.goods'; column does not allow "
                                                "nulls. INSERT fails."));
    QCOMPARE(r.messages[1].number, 3621);
    QCOMPARE(r.messages[1].text, QStringLiteral("The statement has been terminated."));
    QCOMPARE(int(r.messages[1].severity), 0);
    ZT_EXEC(*s_, "insert into goods (bm, sl) values ('x', 1)");
    r = run(*s_, "update goods set sl = null");
    QCOMPARE(firstError(r), 515);
    QVERIFY(firstErrorText(r).endsWith(QStringLiteral("UPDATE fails.")));
}

void EngineRowsTest::duplicateKey() {
    ZT_EXEC(*s_, "insert into goods (bm, sl) values (N'K1', 1)");
    const StatementResult r = run(*s_, "insert into goods (bm, sl) values (N'K1', 2)");
    QVERIFY(r.failed);
    QCOMPARE(r.messages[0].number, 2627);
    QCOMPARE(int(r.messages[0].severity), 14);
    const QRegularExpression text(QStringLiteral(
        R"(^Violation of PRIMARY KEY constraint 'PK__goods__[0-9A-F]{16}'\. Cannot insert duplicate )"
        R"(key in object 'dbo\.goods'\. The duplicate key value is \(K1\)\.$)"));
    QVERIFY2(text.match(r.messages[0].text).hasMatch(), qPrintable(r.messages[0].text));
    QCOMPARE(r.messages[1].number, 3621);
    QCOMPARE(textAt(run(*s_, "select count(*) from goods"), 0, 0), QStringLiteral("1"));
}

void EngineRowsTest::caseInsensitiveKeys_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("duplicate");
    QTest::newRow("ascii") << "abc"
                           << "ABC" << true;
    QTest::newRow("full-width") << "Ａ１"
                                << "ａ１" << true;
    QTest::newRow("full-width and ascii") << "Ａb1"
                                          << "aB１" << true;
    QTest::newRow("greek") << "ΑΒΓ"
                           << "αβγ" << true;
    QTest::newRow("trailing blank") << "ab"
                                    << "ab " << true;
    QTest::newRow("accent counts") << "e"
                                   << "é" << false;
    QTest::newRow("different") << "abc"
                               << "abd" << false;
}

void EngineRowsTest::caseInsensitiveKeys() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, duplicate);
    ZT_EXEC(*s_, QStringLiteral("insert into goods (bm, sl) values (N'%1', 1)").arg(first));
    const StatementResult r =
        run(*s_, QStringLiteral("insert into goods (bm, sl) values (N'%1', 1)").arg(second));
    QCOMPARE(firstError(r), duplicate ? 2627 : 0);
}

void EngineRowsTest::caseInsensitiveWhereLikeOrder() {
    ZT_EXEC(*s_, "insert into goods (bm, pm, sl) values ('b', N'Ｐen', 1);"
                 "insert into goods (bm, pm, sl) values ('A', N'pencil', 1);"
                 "insert into goods (bm, pm, sl) values ('c', N'ruler', 1)");
    StatementResult r = run(*s_, "select bm from goods where pm = N'ｐEN'");
    QCOMPARE(r.resultSet->rows.size(), size_t(1));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("b"));
    r = run(*s_, "select bm from goods where pm like N'P%' order by bm");
    QCOMPARE(r.resultSet->rows.size(), size_t(2)); // width-insensitive: Ｐ is P
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("A"));
    QCOMPARE(textAt(r, 1, 0), QStringLiteral("b"));
    r = run(*s_, "select count(*) from goods where pm = N'PEN'");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("1"));
    r = run(*s_, "select bm from goods where pm like '%EN%' order by bm");
    QCOMPARE(r.resultSet->rows.size(), size_t(2));
    r = run(*s_, "select bm from goods order by bm desc");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("c"));
    QCOMPARE(textAt(r, 2, 0), QStringLiteral("A"));
}

void EngineRowsTest::truncation() {
    const StatementResult r = run(*s_, "insert into goods (bm, sl) values (N'1234567', 1)");
    QCOMPARE(r.messages.size(), size_t(2));
    QCOMPARE(r.messages[0].number, 8152);
    QCOMPARE(r.messages[0].text, QStringLiteral("String or binary data would be truncated."));
    QCOMPARE(r.messages[1].number, 3621);
    // Blanks beyond the width are dropped without complaint.
    ZT_EXEC(*s_, "insert into goods (bm, sl) values (N'123456   ', 1)");
    QCOMPARE(textAt(run(*s_, "select bm from goods"), 0, 0), QStringLiteral("123456"));
}

void EngineRowsTest::conversionFailures_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("text to int")
        << "insert into goods (bm, sl, n) values ('x', 1, N'abc')" << 245
        << "Conversion failed when converting the nvarchar value 'abc' to data type int.";
    QTest::newRow("varchar to int in where") << "select * from goods where n = 'x1'" << 0 << "";
    QTest::newRow("text to float") << "insert into goods (bm, sl) values ('x', N'many')" << 8114
                                   << "Error converting data type nvarchar to float.";
    QTest::newRow("text to datetime")
        << "insert into goods (bm, sl, dt) values ('x', 1, 'someday')" << 241
        << "Conversion failed when converting date and/or time from character string.";
    QTest::newRow("int overflow")
        << "insert into goods (bm, sl, n) values ('x', 1, 2147483648)" << 8115
        << "Arithmetic overflow error converting expression to data type int.";
    QTest::newRow("text overflow")
        << "insert into goods (bm, sl, n) values ('x', 1, '99999999999')" << 248
        << "The conversion of the varchar value '99999999999' overflowed an int column.";
}

void EngineRowsTest::conversionFailures() {
    QFETCH(QString, statement);
    QFETCH(int, number);
    QFETCH(QString, text);
    if (number == 0) {
        // No row to compare: SQL Server converts only when a row meets the literal.
        QVERIFY(!run(*s_, statement).failed);
        ZT_EXEC(*s_, "insert into goods (bm, sl, n) values ('y', 1, 5)");
        const StatementResult r = run(*s_, statement);
        QCOMPARE(firstError(r), 245);
        QCOMPARE(firstErrorText(r), QStringLiteral("Conversion failed when converting the varchar "
                                                   "value 'x1' to data type int."));
        return;
    }
    const StatementResult r = run(*s_, statement);
    QCOMPARE(firstError(r), number);
    QCOMPARE(firstErrorText(r), text);
    QCOMPARE(textAt(run(*s_, "select count(*) from goods"), 0, 0), QStringLiteral("0"));
}

void EngineRowsTest::dateAndMoneyConversions() {
    ZT_EXEC(*s_, "insert into goods (bm, sl, rq, dt, jj, pm, n) values "
                 "('x', '1.5', '2024-01-02 10:00:31', '20240102 23:59:59.999', '12.34567', 3.5, "
                 "'  7 ')");
    const StatementResult r = run(*s_, "select rq, dt, jj, pm, n, sl from goods");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    const auto& row = r.resultSet->rows[0];
    const int32_t day = QDate(1900, 1, 1).daysTo(QDate(2024, 1, 2));
    const auto rq = std::get<ztds::DateTimeValue>(row[0]);
    QCOMPARE(rq.days, day);
    QCOMPARE(rq.msSinceMidnight, int64_t((10 * 60 + 1) * 60000)); // rounded to the minute
    const auto dt = std::get<ztds::DateTimeValue>(row[1]);
    QCOMPARE(dt.days, day + 1); // .999 rounds up to the next day in datetime
    QCOMPARE(dt.msSinceMidnight, int64_t(0));
    QCOMPARE(std::get<ztds::MoneyValue>(row[2]).tenThousandths, int64_t(123457));
    QCOMPARE(std::get<QString>(row[3]), QStringLiteral("3.5"));
    QCOMPARE(std::get<int64_t>(row[4]), int64_t(7));
    QCOMPARE(std::get<double>(row[5]), 1.5);
    const StatementResult found =
        run(*s_, "select count(*) from goods where rq >= '2024-01-02' and rq < '2024-01-03'");
    QCOMPARE(textAt(found, 0, 0), QStringLiteral("1"));
}

void EngineRowsTest::predicates_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("codes");
    QTest::newRow("equal") << "n = 2"
                           << "b";
    QTest::newRow("not equal") << "n <> 2"
                               << "a,c";
    QTest::newRow("bang equal") << "n != 2"
                                << "a,c";
    QTest::newRow("range") << "n >= 2 and n < 3"
                           << "b";
    QTest::newRow("or and parentheses") << "(n = 1 or n = 3) and bm <> 'A'"
                                        << "c";
    QTest::newRow("not") << "not n = 1"
                         << "b,c";
    QTest::newRow("is null") << "pm is null"
                             << "c";
    QTest::newRow("is not null") << "pm is not null"
                                 << "a,b";
    QTest::newRow("in") << "bm in ('a', 'C')"
                        << "a,c";
    QTest::newRow("not in") << "bm not in ('a')"
                            << "b,c";
    QTest::newRow("between") << "n between 2 and 3"
                             << "b,c";
    QTest::newRow("like underscore") << "pm like 'x_'"
                                     << "a";
    QTest::newRow("like set") << "bm like '[a-b]'"
                              << "a,b";
    QTest::newRow("null compare is unknown") << "pm = null"
                                             << "";
    QTest::newRow("arithmetic") << "n * 2 + 1 = 5"
                                << "b";
}

void EngineRowsTest::predicates() {
    QFETCH(QString, where);
    QFETCH(QString, codes);
    ZT_EXEC(*s_, "insert into goods (bm, pm, sl, n) values ('a', 'x1', 1, 1);"
                 "insert into goods (bm, pm, sl, n) values ('b', 'y22', 1, 2);"
                 "insert into goods (bm, pm, sl, n) values ('c', null, 1, 3)");
    const StatementResult r = run(*s_, "select bm from goods where " + where + " order by bm");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QStringList got;
    for (size_t i = 0; i < r.resultSet->rows.size(); ++i)
        got << textAt(r, i, 0);
    QCOMPARE(got.join(','), codes);
}

void EngineRowsTest::nullParameterTests() {
    ZT_EXEC(*s_, "insert into goods (bm, pm, sl) values ('a', 'p', 1)");
    const QString sql = "select count(*) from goods where (@P1 is null or pm = @P1)";
    StatementResult r = run(*s_, sql, {param("@P1", SqlType::NVarChar, std::monostate{}, 10)});
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("1"));
    r = run(*s_, sql, {param("@P1", SqlType::NVarChar, QStringLiteral("q"), 10)});
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("0"));
    r = run(*s_, "select count(*) from goods where pm = @missing",
            {param("@P1", SqlType::Int, int64_t{1})});
    QCOMPARE(firstError(r), 137);
    QCOMPARE(firstErrorText(r), QStringLiteral("Must declare the scalar variable \"@missing\"."));
}

void EngineRowsTest::updateAndDeleteCounts() {
    for (const char* code : {"a", "b", "c"})
        ZT_EXEC(*s_, QStringLiteral("insert into goods (bm, sl) values ('%1', 1)").arg(code));
    StatementResult r = run(*s_, "update goods set sl = sl + 1, pm = bm + N'!' where bm <> 'b'");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(r.rowCount.value_or(-1), int64_t(2));
    r = run(*s_, "select sl, pm from goods where bm = 'c'");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("2"));
    QCOMPARE(textAt(r, 0, 1), QStringLiteral("c!"));
    r = run(*s_, "delete goods where sl = 2");
    QCOMPARE(r.rowCount.value_or(-1), int64_t(2));
    r = run(*s_, "delete from goods");
    QCOMPARE(r.rowCount.value_or(-1), int64_t(1));
    QCOMPARE(firstError(run(*s_, "update goods set id = 3")), 8102);
}

void EngineRowsTest::topAndOrder() {
    for (int i = 1; i <= 5; ++i)
        ZT_EXEC(*s_, QStringLiteral("insert into goods (bm, sl, n) values ('%1', 1, %2)")
                         .arg(QChar(u'a' + i))
                         .arg(i % 3));
    StatementResult r = run(*s_, "select top 2 bm, n from goods order by n desc, bm");
    QCOMPARE(r.resultSet->rows.size(), size_t(2));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("c"));
    QCOMPARE(textAt(r, 1, 0), QStringLiteral("f"));
    r = run(*s_, "select bm as code from goods order by code desc");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("f"));
    r = run(*s_, "select bm, n from goods order by 2, 1");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("d"));
    r = run(*s_, "select count(*), max(n), min(bm), sum(n) from goods where n > 0");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("4"));
    QCOMPARE(textAt(r, 0, 1), QStringLiteral("2"));
    QCOMPARE(textAt(r, 0, 2), QStringLiteral("b"));
    QCOMPARE(textAt(r, 0, 3), QStringLiteral("6"));
}

void EngineRowsTest::noCountHidesCounts() {
    ZT_EXEC(*s_, "set nocount on");
    StatementResult r = run(*s_, "insert into goods (bm, sl) values ('a', 1)");
    QVERIFY(!r.rowCount);
    ZT_EXEC(*s_, "SET NOCOUNT OFF");
    r = run(*s_, "insert into goods (bm, sl) values ('b', 1)");
    QCOMPARE(r.rowCount.value_or(-1), int64_t(1));
}

void EngineRowsTest::sessionOptionsAccepted() {
    ZT_EXEC(*s_, "SET TEXTSIZE 2147483647\nSET ANSI_NULLS ON\nSET QUOTED_IDENTIFIER ON\n"
                 "set ansi_warnings, ansi_padding on\nSET IMPLICIT_TRANSACTIONS OFF\n"
                 "SET TRANSACTION ISOLATION LEVEL READ COMMITTED\nSET DATEFORMAT mdy\n"
                 "set language us_english\nIF @@TRANCOUNT > 0 COMMIT TRAN");
    const StatementResult r = run(*s_, "select @@servername, db_name(), @@trancount, 1+1");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 1), QStringLiteral("acct"));
    QCOMPARE(textAt(r, 0, 3), QStringLiteral("2"));
}

void EngineRowsTest::castAndFormatOnly() {
    ZT_EXEC(*s_, "insert into goods (bm, sl, n) values ('a', 1.25, 12)");
    StatementResult r =
        run(*s_, "select cast(n as nvarchar(1)), convert(float, '2.5'), "
                 "cast(serverproperty('ProductVersion') as varchar(20)) from goods");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("1")); // an explicit cast cuts, no error
    QCOMPARE(r.resultSet->columns[0].length, 1);
    QCOMPARE(textAt(r, 0, 1), QStringLiteral("2.5"));
    QCOMPARE(textAt(r, 0, 2), QStringLiteral("15.0.2000.5"));
    r = run(*s_, "select convert(nvarchar(19), cast('2024-03-04 05:06:07' as datetime), 120), "
                 "convert(char(8), cast('2024-03-04' as datetime), 112)");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("2024-03-04 05:06:07"));
    QCOMPARE(textAt(r, 0, 1), QStringLiteral("20240304"));
    // Describing a statement changes nothing and returns no rows.
    const auto results = s_->executeBatch(
        "SET FMTONLY ON select bm, jj from goods delete from goods SET FMTONLY OFF");
    QCOMPARE(results.size(), size_t(4));
    QCOMPARE(results[1].resultSet->columns.size(), size_t(2));
    QCOMPARE(results[1].resultSet->columns[1].type, SqlType::Money);
    QVERIFY(results[1].resultSet->rows.empty());
    QCOMPARE(textAt(run(*s_, "select count(*) from goods"), 0, 0), QStringLiteral("1"));
}

void EngineRowsTest::unsupportedStatementsAreErrors_data() {
    QTest::addColumn<QString>("statement");
    QTest::newRow("exec") << "exec sp_who";
    QTest::newRow("join") << "select * from goods a join goods b on a.id = b.id";
    QTest::newRow("subquery") << "select * from goods where id in (select id from goods)";
    QTest::newRow("group by") << "select n, count(*) from goods group by n";
    QTest::newRow("alter") << "alter table goods add x int";
    QTest::newRow("garbage") << "\x01\x02 ???";
    QTest::newRow("procedure call") << "sp_help";
    QTest::newRow("unclosed string") << "select 'abc";
    QTest::newRow("unclosed comment") << "select 1 /* never closed";
    QTest::newRow("deep parentheses")
        << QStringLiteral("select ") + QString(20000, u'(') + "1" + QString(20000, u')');
    QTest::newRow("long chain") << QStringLiteral("select 1") +
                                       QStringLiteral("+1").repeated(20000);
    QTest::newRow("many nots") << QStringLiteral("select 1 where ") +
                                      QStringLiteral("not ").repeated(20000) + "1=1";
}

void EngineRowsTest::unsupportedStatementsAreErrors() {
    QFETCH(QString, statement);
    const StatementResult r = run(*s_, statement);
    QVERIFY(r.failed);
    QVERIFY(firstError(r) != 0);
    QVERIFY(!firstErrorText(r).isEmpty());
    ZT_EXEC(*s_, "select 1"); // the session keeps working
}

void EngineRowsTest::commentsAndSeparators() {
    const auto results =
        s_->executeBatch("-- a comment\ninsert into goods (bm, sl) values ('a', 1);;"
                         "/* block /* nested */ comment */ insert into [goods] ([bm], \"sl\") "
                         "values (N'it''s', 2)\n\tselect pm, bm from goods where bm = 'it''s'");
    QCOMPARE(results.size(), size_t(3));
    QVERIFY2(!results[2].failed, qPrintable(describe(results[2])));
    QCOMPARE(textAt(results[2], 0, 1), QStringLiteral("it's"));
}

void EngineRowsTest::emptyStringsStayEmpty() {
    ZT_EXEC(*s_, "insert into goods (bm, pm, sl) values ('a', N'', 1)\n"
                 "insert into goods (bm, pm, sl) values ('b', 'x', 1)\n"
                 "update goods set pm = '' where bm = 'b'");
    const StatementResult r =
        run(*s_, "select count(*) from goods where pm = '' and pm is not null");
    QCOMPARE(textAt(r, 0, 0), QStringLiteral("2"));
}

void EngineRowsTest::moneyAndDateLimits_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("expected"); // a number: the error
    QTest::newRow("money max") << "cast('922337203685477.5807' as money)"
                               << "9223372036854775807e-4";
    QTest::newRow("money min") << "cast('-922337203685477.5808' as money)"
                               << "-9223372036854775808e-4";
    QTest::newRow("money above max") << "cast('922337203685477.5808' as money)"
                                     << "8115";
    QTest::newRow("money 15 nines") << "cast('999999999999999' as money)"
                                    << "8115";
    QTest::newRow("money fraction kept") << "cast('900000000000000.1234' as money)"
                                         << "9000000000000001234e-4";
    QTest::newRow("days beyond int") << "cast(1e12 as datetime)"
                                     << "8115";
    QTest::newRow("days beyond 9999") << "cast(2958464 as datetime)"
                                      << "8115";
    QTest::newRow("last day") << "cast(2958463 as datetime)"
                              << "2958463d+0ms";
}

void EngineRowsTest::moneyAndDateLimits() {
    QFETCH(QString, expression);
    QFETCH(QString, expected);
    const StatementResult r = run(*s_, QStringLiteral("select %1").arg(expression));
    bool isError = false;
    const int number = expected.toInt(&isError);
    if (isError) {
        QCOMPARE(firstError(r), number);
        return;
    }
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(textAt(r, 0, 0), expected);
}

QTEST_GUILESS_MAIN(EngineRowsTest)
#include "tst_engine_rows.moc"
