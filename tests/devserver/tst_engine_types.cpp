// The types a result carries: CAST/CONVERT targets with their lengths and padding, binary and
// decimal constants, (max) types with SET TEXTSIZE, and typed parameters and columns.

#include "engine_fixture.h"

#include "devserver/sql/numeric.h"
#include "devserver/tds/login.h"
#include "devserver/tds/tokens.h"

using namespace zt::test;
using ztds::SqlType;
using ztds::StatementResult;

namespace {

// A value as the tests compare it: text, numbers, hex for binary, exact text for numeric.
QString shown(const ztds::Value& v) {
    if (const auto* bytes = std::get_if<QByteArray>(&v))
        return QStringLiteral("0x") + QString::fromLatin1(bytes->toHex().toUpper());
    if (const auto* n = std::get_if<ztds::NumericValue>(&v))
        return ztds::sql::numericText(*n);
    if (const auto* d = std::get_if<double>(&v))
        return QString::number(*d, 'g', 17);
    if (const auto* s = std::get_if<QString>(&v))
        return *s;
    if (const auto* i = std::get_if<int64_t>(&v))
        return QString::number(*i);
    if (const auto* m = std::get_if<ztds::MoneyValue>(&v))
        return QString::number(m->tenThousandths) + QStringLiteral("e-4");
    return ztds::isNull(v) ? QStringLiteral("NULL") : QStringLiteral("?");
}

// The checked way to a result's columns and values. Where r has no result set, or too few
// columns, rows or values, the test fails saying what is missing and what r holds, and a
// stand-in comes back: the test ends at its own comparison instead of reading past the end.
bool within(const StatementResult& r, size_t index, size_t count, const QString& missing) {
    if (index < count)
        return true;
    const QString holds = r.resultSet ? QStringLiteral("there are %1").arg(count)
                                      : QStringLiteral("no result set; %1").arg(describe(r));
    QTest::qFail(qPrintable(QStringLiteral("no %1 (%2)").arg(missing, holds)), __FILE__, __LINE__);
    return false;
}

const ztds::ColumnInfo& columnAt(const StatementResult& r, size_t column) {
    static const ztds::ColumnInfo none;
    const size_t count = r.resultSet ? r.resultSet->columns.size() : 0;
    return within(r, column, count, QStringLiteral("column %1").arg(column))
               ? r.resultSet->columns[column]
               : none;
}

const ztds::Value& cellAt(const StatementResult& r, size_t row, size_t column) {
    static const ztds::Value none;
    const size_t rows = r.resultSet ? r.resultSet->rows.size() : 0;
    if (!within(r, row, rows, QStringLiteral("row %1").arg(row)))
        return none;
    const auto& values = r.resultSet->rows[row];
    return within(r, column, values.size(),
                  QStringLiteral("value %1 in row %2").arg(column).arg(row))
               ? values[column]
               : none;
}

QString shownAt(const StatementResult& r, size_t row, size_t column) {
    return shown(cellAt(r, row, column));
}

} // namespace

class EngineTypesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void castTargets_data();
    void castTargets();
    void binaryConstants_data();
    void binaryConstants();
    void binaryIntoColumns_data();
    void binaryIntoColumns();
    void maxTypesAndTextSize();
    void decimalConstantsStayExact_data();
    void decimalConstantsStayExact();
    void declaredColumnTypes();
    void typedParameters_data();
    void typedParameters();
    void dateTime2Digits_data();
    void dateTime2Digits();
    void wireTypesFollowNullability();

private:
    void useNewDatabase();

    std::unique_ptr<EngineFixture> fixture_;
    std::unique_ptr<ztds::Session> s_;
    QString database_;
    int databases_ = 0;
};

// One engine for the class (starting one is the slow part); each test row gets a new
// session, and a database of its own where it makes tables.
void EngineTypesTest::initTestCase() {
    fixture_ = std::make_unique<EngineFixture>();
}

void EngineTypesTest::init() {
    s_ = fixture_->login();
}

void EngineTypesTest::useNewDatabase() {
    database_ = QStringLiteral("typed%1").arg(++databases_);
    ZT_EXEC(*s_, QStringLiteral("create database %1; use %1").arg(database_));
}

void EngineTypesTest::cleanup() {
    s_.reset();
}

void EngineTypesTest::cleanupTestCase() {
    fixture_.reset();
}

void EngineTypesTest::castTargets_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("expected"); // "#N": error N
    QTest::addColumn<QString>("message");  // the error's text, when given
    const int tiny = int(SqlType::TinyInt);
    const int small = int(SqlType::SmallInt);
    QTest::newRow("tinyint") << "cast(255 as tinyint)" << tiny << 0 << "255"
                             << "";
    QTest::newRow("tinyint from text") << "convert(tinyint, ' 7 ')" << tiny << 0 << "7"
                                       << "";
    QTest::newRow("tinyint above") << "cast(256 as tinyint)" << tiny << 0 << "#220"
                                   << "Arithmetic overflow error for data type tinyint, value = "
                                      "256.";
    QTest::newRow("tinyint negative")
        << "cast(-1 as tinyint)" << tiny << 0 << "#220"
        << "Arithmetic overflow error for data type tinyint, value = -1.";
    QTest::newRow("tinyint text above") << "cast('300' as tinyint)" << tiny << 0 << "#244"
                                        << "";
    QTest::newRow("tinyint float above")
        << "cast(300.5e0 as tinyint)" << tiny << 0 << "#232"
        << "Arithmetic overflow error for type tinyint, value = 300.500000.";
    QTest::newRow("negated tinyint is smallint") << "-cast(5 as tinyint)" << small << 0 << "-5"
                                                 << "";
    QTest::newRow("smallint") << "cast(-32768 as smallint)" << small << 0 << "-32768"
                              << "";
    QTest::newRow("smallint above")
        << "cast(40000 as smallint)" << small << 0 << "#220"
        << "Arithmetic overflow error for data type smallint, value = 40000.";
    QTest::newRow("real") << "cast(1.5e0 as real)" << int(SqlType::Real) << 0 << "1.5"
                          << "";
    QTest::newRow("real rounds to 4 bytes") << "cast(0.1e0 as real)" << int(SqlType::Real) << 0
                                            << QString::number(double(0.1f), 'g', 17) << "";
    QTest::newRow("char padded") << "cast('ab' as char(5))" << int(SqlType::Char) << 5 << "ab   "
                                 << "";
    QTest::newRow("char default 30")
        << "convert(char, 'ab')" << int(SqlType::Char) << 30 << "ab" + QString(28, u' ') << "";
    QTest::newRow("char counts bytes")
        << "cast('中文' as char(6))" << int(SqlType::Char) << 6 << "中文  "
        << "";
    QTest::newRow("char cuts whole characters")
        << "cast('中文' as char(3))" << int(SqlType::Char) << 3 << "中 "
        << "";
    QTest::newRow("varchar cut") << "cast('abcdef' as varchar(3))" << int(SqlType::VarChar) << 3
                                 << "abc"
                                 << "";
    QTest::newRow("varchar of a number")
        << "cast(12 as varchar)" << int(SqlType::VarChar) << 30 << "12"
        << "";
    QTest::newRow("nchar padded") << "cast(N'ab' as nchar(4))" << int(SqlType::NChar) << 4 << "ab  "
                                  << "";
    QTest::newRow("nvarchar cut") << "cast(N'abcdef' as nvarchar(4))" << int(SqlType::NVarChar) << 4
                                  << "abcd"
                                  << "";
    QTest::newRow("numeric") << "cast('12.345' as numeric(5, 2))" << int(SqlType::Numeric) << 0
                             << "12.35"
                             << "";
    QTest::newRow("numeric too wide")
        << "cast(1000 as decimal(5, 2))" << int(SqlType::Numeric) << 0 << "#8115"
        << "";
    QTest::newRow("null keeps the type") << "cast(null as tinyint)" << tiny << 0 << "NULL"
                                         << "";
}

void EngineTypesTest::castTargets() {
    QFETCH(QString, expression);
    QFETCH(int, type);
    QFETCH(int, length);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    const StatementResult r = run(*s_, QStringLiteral("select %1").arg(expression));
    if (expected.startsWith(u'#')) {
        QCOMPARE(firstError(r), expected.mid(1).toInt());
        if (!message.isEmpty())
            QCOMPARE(firstErrorText(r), message);
        return;
    }
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(int(columnAt(r, 0).type), type);
    QCOMPARE(columnAt(r, 0).length, length);
    QCOMPARE(shownAt(r, 0, 0), expected);
}

void EngineTypesTest::binaryConstants_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("length");
    QTest::newRow("one byte") << "0x41"
                              << "0x41" << 1;
    QTest::newRow("four bytes") << "0xC280C290"
                                << "0xC280C290" << 4;
    QTest::newRow("empty") << "0x"
                           << "0x" << 1;
    QTest::newRow("odd digits") << "0x123"
                                << "0x0123" << 2;
    QTest::newRow("lower case") << "0Xabcd"
                                << "0xABCD" << 2;
    QTest::newRow("concatenated") << "0x41 + 0x42"
                                  << "0x4142" << 2;
    QTest::newRow("as int") << "cast(0x0100 as int)"
                            << "256" << 0;
    QTest::newRow("as nvarchar") << "cast(0x41004200 as nvarchar(10))"
                                 << "AB" << 10;
    QTest::newRow("from varchar") << "cast('AB' as varbinary(10))"
                                  << "0x4142" << 10;
}

void EngineTypesTest::binaryConstants() {
    QFETCH(QString, expression);
    QFETCH(QString, expected);
    QFETCH(int, length);
    const StatementResult r = run(*s_, QStringLiteral("select %1").arg(expression));
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QVERIFY(r.resultSet);
    QCOMPARE(r.resultSet->columns.size(), size_t(1)); // no alias read from the digits
    QVERIFY(columnAt(r, 0).name.isEmpty());
    QCOMPARE(shownAt(r, 0, 0), expected);
    QCOMPARE(columnAt(r, 0).length, length);
}

void EngineTypesTest::binaryIntoColumns_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected"); // "#N": error N
    QTest::newRow("nvarchar reads UTF-16") << "nvarchar(10)"
                                           << "0x41004200"
                                           << "AB";
    QTest::newRow("int takes the last bytes") << "int"
                                              << "0x0102030405"
                                              << "33752069";
    QTest::newRow("tinyint") << "tinyint"
                             << "0xFF"
                             << "255";
    QTest::newRow("varbinary") << "varbinary(4)"
                               << "0xC280C290"
                               << "0xC280C290";
    QTest::newRow("varbinary too long") << "varbinary(2)"
                                        << "0xC280C290"
                                        << "#8152";
    QTest::newRow("money refused") << "money"
                                   << "0x41"
                                   << "#257";
    QTest::newRow("float refused") << "float"
                                   << "0x41"
                                   << "#529";
    QTest::newRow("text into varbinary") << "varbinary(4)"
                                         << "'A'"
                                         << "#257";
}

void EngineTypesTest::binaryIntoColumns() {
    QFETCH(QString, column);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    useNewDatabase();
    ZT_EXEC(*s_, QStringLiteral("create table bin (v %1)").arg(column));
    const StatementResult ins =
        run(*s_, QStringLiteral("insert into bin (v) values (%1)").arg(value));
    if (expected.startsWith(u'#')) {
        QCOMPARE(firstError(ins), expected.mid(1).toInt());
        return;
    }
    QVERIFY2(!ins.failed, qPrintable(describe(ins)));
    const StatementResult r = run(*s_, "select v from bin");
    QCOMPARE(shownAt(r, 0, 0), expected);
}

void EngineTypesTest::maxTypesAndTextSize() {
    useNewDatabase();
    ZT_EXEC(*s_, "create table memo (v varchar(max), nv nvarchar(max), n nvarchar(20), t ntext)");
    const QString longText = QStringLiteral("abcdefghij").repeated(1000);
    ZT_EXEC(*s_, QStringLiteral("insert into memo values ('%1', N'%1', N'%2', N'%1')")
                     .arg(longText, longText.left(20)));
    StatementResult r = run(*s_, "select v, nv, n, t from memo");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(columnAt(r, 0).type, SqlType::VarChar);
    QCOMPARE(columnAt(r, 0).length, ztds::maxLength);
    QCOMPARE(columnAt(r, 1).type, SqlType::NVarChar);
    QCOMPARE(columnAt(r, 1).length, ztds::maxLength);
    QCOMPARE(shownAt(r, 0, 0), longText);
    QCOMPARE(shownAt(r, 0, 1), longText);
    // TEXTSIZE counts bytes of the large types only: 10 bytes are 5 Unicode characters.
    ZT_EXEC(*s_, "set textsize 10");
    QCOMPARE(shownAt(run(*s_, "select @@TEXTSIZE"), 0, 0), QStringLiteral("10"));
    r = run(*s_, "select v, nv, n, t from memo");
    QCOMPARE(shownAt(r, 0, 0), longText.left(10));
    QCOMPARE(shownAt(r, 0, 1), longText.left(5));
    QCOMPARE(shownAt(r, 0, 2), longText.left(20));
    QCOMPARE(shownAt(r, 0, 3), longText.left(5));
    ZT_EXEC(*s_, "set textsize 0"); // back to the default, 4096 bytes
    r = run(*s_, "select v, nv from memo");
    QCOMPARE(shownAt(r, 0, 0).size(), 4096);
    QCOMPARE(shownAt(r, 0, 1).size(), 2048);
    ZT_EXEC(*s_, "set textsize -1");
    r = run(*s_, "select v from memo");
    QCOMPARE(shownAt(r, 0, 0), longText);
    // A connection reset forgets it with the other SET options.
    ZT_EXEC(*s_, "set textsize 10");
    s_->reset(false);
    r = run(*s_, QStringLiteral("select v from %1.dbo.memo").arg(database_));
    QCOMPARE(shownAt(r, 0, 0), longText);
}

void EngineTypesTest::decimalConstantsStayExact_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("expected"); // "#N": error N
    QTest::newRow("select keeps the digits") << "select 900000000000000.1234"
                                             << "900000000000000.1234";
    QTest::newRow("money max") << "insert into m values (922337203685477.5807) select v from m"
                               << "9223372036854775807e-4";
    QTest::newRow("money min") << "insert into m values (-922337203685477.5808) select v from m"
                               << "-9223372036854775808e-4";
    QTest::newRow("money above max") << "insert into m values (922337203685477.5808)"
                                     << "#8115";
    QTest::newRow("money below min") << "insert into m values (-922337203685477.5809)"
                                     << "#8115";
    QTest::newRow("money rounds the fifth decimal")
        << "insert into m values (1.23456) select v from m"
        << "12346e-4";
    QTest::newRow("sum stays exact") << "select 0.1 + 0.2"
                                     << "0.3";
    QTest::newRow("38 digits") << "select 1234567890123456789012345678.9012345678"
                               << "1234567890123456789012345678.9012345678";
    QTest::newRow("39 digits") << "select 12345678901234567890123456789.9012345678"
                               << "#1007";
    QTest::newRow("compared exactly")
        << "insert into m values (1) select count(*) from m "
           "where 922337203685477.5807 > 922337203685477.5806 and v < 1.00001"
        << "1";
}

void EngineTypesTest::decimalConstantsStayExact() {
    QFETCH(QString, statement);
    QFETCH(QString, expected);
    useNewDatabase();
    ZT_EXEC(*s_, "create table m (v money)");
    const StatementResult r = run(*s_, statement);
    if (expected.startsWith(u'#')) {
        QCOMPARE(firstError(r), expected.mid(1).toInt());
        return;
    }
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(shownAt(r, 0, 0), expected);
}

void EngineTypesTest::declaredColumnTypes() {
    useNewDatabase();
    ZT_EXEC(*s_, "create table kinds (t tinyint, s smallint, r real, c char(4), v varchar(10), "
                 "nc nchar(3), g uniqueidentifier, d datetime2)");
    ZT_EXEC(*s_, "insert into kinds values (200, -300, 2.5, 'ab', '中文', N'x', "
                 "'6f9619ff-8b86-d011-b42d-00c04fc964ff', '2024-05-06 07:08:09.123')");
    const StatementResult r = run(*s_, "select * from kinds");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    const SqlType types[] = {SqlType::TinyInt,
                             SqlType::SmallInt,
                             SqlType::Real,
                             SqlType::Char,
                             SqlType::VarChar,
                             SqlType::NChar,
                             SqlType::UniqueIdentifier,
                             SqlType::DateTime2};
    for (size_t i = 0; i < std::size(types); ++i)
        QCOMPARE(columnAt(r, i).type, types[i]);
    QCOMPARE(shownAt(r, 0, 0), QStringLiteral("200"));
    QCOMPARE(shownAt(r, 0, 3), QStringLiteral("ab  "));
    QCOMPARE(shownAt(r, 0, 4), QStringLiteral("中文"));
    QCOMPARE(shownAt(r, 0, 5), QStringLiteral("x  "));
    QCOMPARE(shownAt(r, 0, 6), QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
    const auto* stamp = std::get_if<ztds::DateTimeValue>(&cellAt(r, 0, 7));
    QVERIFY2(stamp, qPrintable(shownAt(r, 0, 7)));
    QCOMPARE(stamp->msSinceMidnight, int64_t((7 * 3600 + 8 * 60 + 9) * 1000 + 123));
    QCOMPARE(firstError(run(*s_, "insert into kinds (t) values (256)")), 220);
    QCOMPARE(firstError(run(*s_, "insert into kinds (v) values ('中文中文中文')")), 8152);
    QCOMPARE(firstError(run(*s_, "insert into kinds (g) values ('not a guid')")), 8169);
}

void EngineTypesTest::typedParameters_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("value");
    QTest::newRow("uniqueidentifier")
        << int(SqlType::UniqueIdentifier) << "6F9619FF-8B86-D011-B42D-00C04FC964FF";
    QTest::newRow("varchar") << int(SqlType::VarChar) << "中文abc";
}

void EngineTypesTest::typedParameters() {
    QFETCH(int, type);
    QFETCH(QString, value);
    const StatementResult r = run(*s_, "select @p", {param("@p", SqlType(type), value, 10)});
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(int(columnAt(r, 0).type), type);
    QCOMPARE(shownAt(r, 0, 0), value);
}

void EngineTypesTest::dateTime2Digits_data() {
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("days"); // after 2024-01-02
    QTest::addColumn<int>("ms");   // since midnight, as kept
    const int atFive = (3 * 3600 + 4 * 60 + 5) * 1000;
    QTest::newRow("0 rounds up") << 0 << "2024-01-02 03:04:05.678" << 0 << atFive + 1000;
    QTest::newRow("0 rounds down") << 0 << "2024-01-02 03:04:05.499" << 0 << atFive;
    QTest::newRow("0 into the next day") << 0 << "2024-01-02 23:59:59.600" << 1 << 0;
    QTest::newRow("1") << 1 << "2024-01-02 03:04:05.678" << 0 << atFive + 700;
    QTest::newRow("2") << 2 << "2024-01-02 03:04:05.675" << 0 << atFive + 680;
    QTest::newRow("7 keeps milliseconds") << 7 << "2024-01-02 03:04:05.678" << 0 << atFive + 678;
}

// datetime2(n) keeps n digits of the second and says so in its description.
void EngineTypesTest::dateTime2Digits() {
    QFETCH(int, digits);
    QFETCH(QString, value);
    QFETCH(int, days);
    QFETCH(int, ms);
    useNewDatabase();
    ZT_EXEC(*s_, QStringLiteral("create table d (t datetime2(%1) not null)").arg(digits));
    ZT_EXEC(*s_, QStringLiteral("insert into d values ('%1')").arg(value));
    const StatementResult r = run(*s_, "select t from d");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QCOMPARE(int(columnAt(r, 0).fractionalDigits), digits);
    const auto* kept = std::get_if<ztds::DateTimeValue>(&cellAt(r, 0, 0));
    QVERIFY2(kept, qPrintable(shownAt(r, 0, 0)));
    QCOMPARE(kept->days, int32_t(QDate(1900, 1, 1).daysTo(QDate(2024, 1, 2)) + days));
    QCOMPARE(kept->msSinceMidnight, int64_t(ms));
    const StatementResult length =
        run(*s_, "select length, xscale from syscolumns where id = object_id('d')");
    QCOMPARE(shownAt(length, 0, 0), QString::number(digits <= 2 ? 6 : digits <= 4 ? 7 : 8));
    QCOMPARE(shownAt(length, 0, 1), QString::number(digits));
}

namespace {

struct WireColumn {
    uint8_t type = 0;
    int info = -1; // the byte after the type (length or scale), -1 for a fixed-length type
};

// The TYPE_INFO of each column in a COLMETADATA token at TDS 7.4, for the types here.
std::vector<WireColumn> wireColumns(const std::vector<uint8_t>& bytes) {
    std::vector<WireColumn> columns;
    size_t at = 0;
    if (bytes.size() < 3 || bytes[at++] != 0x81)
        return columns;
    const int count = bytes[at] | (bytes[at + 1] << 8);
    at += 2;
    for (int c = 0; c < count && at + 7 < bytes.size(); ++c) {
        at += 4 + 2; // user type, flags
        WireColumn column;
        column.type = bytes[at++];
        const bool fixed = column.type == 0x30 || column.type == 0x32 || column.type == 0x34 ||
                           column.type == 0x38 || column.type == 0x3A || column.type == 0x3B ||
                           column.type == 0x3C || column.type == 0x3D || column.type == 0x3E ||
                           column.type == 0x7F;
        if (!fixed)
            column.info = bytes[at++];
        if (at >= bytes.size())
            break;
        at += 1 + 2 * size_t(bytes[at]); // the name: characters, then UTF-16
        columns.push_back(column);
    }
    return columns;
}

} // namespace

// A NOT NULL column of a table travels in the fixed-length type, as SQL Server sends it; a
// nullable one, and an expression that may be NULL, in the nullable type with its length.
void EngineTypesTest::wireTypesFollowNullability() {
    useNewDatabase();
    ZT_EXEC(*s_, "create table w (a int not null, b int null, c bigint not null, d bit not null,"
                 " e float not null, f datetime not null, g money not null, h smallint not null,"
                 " i tinyint not null, j datetime2(0) not null, k smalldatetime not null,"
                 " l real not null)");
    ZT_EXEC(*s_, "insert into w values (7, null, 8, 1, 0.5, '2024-01-02', 1, 2, 3,"
                 " '2024-01-02 03:04:05', '2024-01-02', 0.25)");
    const StatementResult r = run(*s_, "select *, a + 1 from w");
    QVERIFY2(!r.failed, qPrintable(describe(r)));
    QVERIFY(r.resultSet);
    ztds::tds::TokenWriter tokens(ztds::tds::tds_version::V7_4);
    tokens.resultSet(*r.resultSet);
    const auto columns = wireColumns(tokens.data());
    const std::vector<std::pair<int, int>> expected{
        {0x38, -1}, {0x26, 4},  {0x7F, -1}, {0x32, -1}, {0x3E, -1}, {0x3D, -1}, {0x3C, -1},
        {0x34, -1}, {0x30, -1}, {0x2A, 0},  {0x3A, -1}, {0x3B, -1}, {0x26, 4}};
    QCOMPARE(columns.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(int(columns[i].type), expected[i].first);
        QCOMPARE(columns[i].info, expected[i].second);
    }
}

QTEST_GUILESS_MAIN(EngineTypesTest)
#include "tst_engine_types.moc"
