#include "db/field_transfer.h"
#include "db/query.h"

#include <QTest>

using namespace zt::db;

namespace {

Column column(const QString& name, ColumnKind kind, int width = 0) {
    Column c;
    c.name = name;
    c.kind = kind;
    c.width = width;
    return c;
}

} // namespace

class TestFieldTransfer : public QObject {
    Q_OBJECT
private slots:
    void textIntoTextColumnIsCutToWidth_data();
    void textIntoTextColumnIsCutToWidth();
    void emptyTextIntoNumberOrDateIsNull_data();
    void emptyTextIntoNumberOrDateIsNull();
    void textIsConverted_data();
    void textIsConverted();
    void unconvertibleTextNamesColumnAndValue_data();
    void unconvertibleTextNamesColumnAndValue();
    void integersAndBooleansAreAssignedAsSuch();
    void nullReadsAsEmptyZeroFalse();
    void readsConvertValues();
    void datesReadInCommonForms_data();
    void datesReadInCommonForms();
};

void TestFieldTransfer::textIntoTextColumnIsCutToWidth_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("stored");
    QTest::newRow("15 chars into 12") << "ABCDEFGHIJKLMNO" << 12 << "ABCDEFGHIJKL";
    QTest::newRow("chinese 15 into 12")
        << "一二三四五六七八九十甲乙丙丁戊" << 12 << "一二三四五六七八九十甲乙";
    QTest::newRow("exactly 12") << "ABCDEFGHIJKL" << 12 << "ABCDEFGHIJKL";
    QTest::newRow("shorter") << "abc" << 12 << "abc";
    QTest::newRow("unlimited") << QString(5000, u'x') << 0 << QString(5000, u'x');
}

void TestFieldTransfer::textIntoTextColumnIsCutToWidth() {
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, stored);
    const QVariant value = valueForColumn(column("bm", ColumnKind::Text, width), text);
    QCOMPARE(value.toString(), stored);
}

void TestFieldTransfer::emptyTextIntoNumberOrDateIsNull_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("int") << int(ColumnKind::Integer);
    QTest::newRow("float") << int(ColumnKind::Float);
    QTest::newRow("money") << int(ColumnKind::Money);
    QTest::newRow("date") << int(ColumnKind::DateTime);
}

void TestFieldTransfer::emptyTextIntoNumberOrDateIsNull() {
    QFETCH(int, kind);
    QVERIFY(valueForColumn(column("lk", ColumnKind(kind)), QString()).isNull());
    QVERIFY(valueForColumn(column("lk", ColumnKind(kind)), QStringLiteral("")).isNull());
    // An empty text in a text column stays an empty text, not NULL.
    const QVariant text = valueForColumn(column("mc", ColumnKind::Text, 20), QStringLiteral(""));
    QVERIFY(text.isValid() && !text.isNull());
    QCOMPARE(text.toString(), QString());
}

void TestFieldTransfer::textIsConverted_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("int") << int(ColumnKind::Integer) << "42" << QVariant(qlonglong(42));
    QTest::newRow("negative int, blanks")
        << int(ColumnKind::Integer) << " -7 " << QVariant(qlonglong(-7));
    QTest::newRow("float") << int(ColumnKind::Float) << "0.95" << QVariant(0.95);
    QTest::newRow("money") << int(ColumnKind::Money) << "12.5" << QVariant(12.5);
    QTest::newRow("date") << int(ColumnKind::DateTime) << "2026-03-01"
                          << QVariant(QDateTime(QDate(2026, 3, 1), QTime(0, 0)));
    QTest::newRow("date slashes with time")
        << int(ColumnKind::DateTime) << "2026/3/1 8:05:09"
        << QVariant(QDateTime(QDate(2026, 3, 1), QTime(8, 5, 9)));
    QTest::newRow("bit from text") << int(ColumnKind::Boolean) << "true" << QVariant(true);
}

void TestFieldTransfer::textIsConverted() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QVariant, stored);
    QCOMPARE(valueForColumn(column("c", ColumnKind(kind)), text), stored);
}

void TestFieldTransfer::unconvertibleTextNamesColumnAndValue_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("date") << int(ColumnKind::DateTime) << "not a date";
    QTest::newRow("impossible date") << int(ColumnKind::DateTime) << "2026-02-30";
    QTest::newRow("int") << int(ColumnKind::Integer) << "12abc";
    QTest::newRow("int from decimal") << int(ColumnKind::Integer) << "1.5";
    QTest::newRow("float") << int(ColumnKind::Float) << "x1";
    QTest::newRow("money") << int(ColumnKind::Money) << "¥12";
}

void TestFieldTransfer::unconvertibleTextNamesColumnAndValue() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    try {
        valueForColumn(column("qyrq", ColumnKind(kind)), text);
        QFAIL("no error");
    } catch (const DbError& error) {
        QVERIFY2(error.text().contains("qyrq"), qPrintable(error.text()));
        QVERIFY2(error.text().contains(text), qPrintable(error.text()));
    }
}

void TestFieldTransfer::integersAndBooleansAreAssignedAsSuch() {
    QCOMPARE(valueForColumn(column("n", ColumnKind::Integer), qlonglong(7)),
             QVariant(qlonglong(7)));
    QCOMPARE(valueForColumn(column("b", ColumnKind::Boolean), true), QVariant(true));
    QCOMPARE(valueForColumn(column("b", ColumnKind::Boolean), false), QVariant(false));
    QCOMPARE(valueForColumn(column("b", ColumnKind::Boolean), qlonglong(5)), QVariant(true));
    QCOMPARE(valueForColumn(column("n", ColumnKind::Integer), true), QVariant(qlonglong(1)));
    QCOMPARE(valueForColumn(column("t", ColumnKind::Text, 3), qlonglong(12345)),
             QVariant(QStringLiteral("123")));
}

void TestFieldTransfer::nullReadsAsEmptyZeroFalse() {
    for (const ColumnKind kind : {ColumnKind::Text, ColumnKind::Integer, ColumnKind::Boolean,
                                  ColumnKind::Float, ColumnKind::DateTime}) {
        const Column c = column("x", kind);
        QCOMPARE(textOf(c, QVariant()), QString());
        QCOMPARE(integerOf(c, QVariant()), 0);
        QCOMPARE(booleanOf(c, QVariant()), false);
        QVERIFY(!dateTimeOf(c, QVariant()).isValid());
    }
}

void TestFieldTransfer::readsConvertValues() {
    const Column number = column("n", ColumnKind::Integer);
    QCOMPARE(textOf(number, qlonglong(-3)), "-3");
    QCOMPARE(integerOf(column("t", ColumnKind::Text), QStringLiteral(" 17")), 17);
    QCOMPARE(integerOf(column("f", ColumnKind::Float), 2.6), 3);
    QCOMPARE(booleanOf(column("t", ColumnKind::Text), QStringLiteral("True")), true);
    QCOMPARE(booleanOf(column("t", ColumnKind::Text), QStringLiteral("false")), false);
    QCOMPARE(textOf(column("b", ColumnKind::Boolean), true), "True");
    QCOMPARE(textOf(column("f", ColumnKind::Float), 0.95), "0.95");
    QCOMPARE(textOf(column("d", ColumnKind::DateTime), QDateTime(QDate(2026, 1, 2), QTime(0, 0))),
             "2026-01-02");
    QCOMPARE(
        textOf(column("d", ColumnKind::DateTime), QDateTime(QDate(2026, 1, 2), QTime(13, 4, 5))),
        "2026-01-02 13:04:05");
    QVERIFY_THROWS_EXCEPTION(DbError,
                             integerOf(column("t", ColumnKind::Text), QStringLiteral("x")));
    QVERIFY_THROWS_EXCEPTION(DbError,
                             integerOf(number, qlonglong(std::numeric_limits<qint64>::max())));
}

void TestFieldTransfer::datesReadInCommonForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("date");
    const QDateTime day(QDate(2025, 12, 31), QTime(0, 0));
    QTest::newRow("iso") << "2025-12-31" << day;
    QTest::newRow("slashes") << "2025/12/31" << day;
    QTest::newRow("dots") << "2025.12.31" << day;
    QTest::newRow("short month") << "2025-1-5" << QDateTime(QDate(2025, 1, 5), QTime(0, 0));
    QTest::newRow("iso T millis") << "2025-12-31T23:59:58.5"
                                  << QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58, 500));
    QTest::newRow("garbage") << "31.12.2025x" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
}

void TestFieldTransfer::datesReadInCommonForms() {
    QFETCH(QString, text);
    QFETCH(QDateTime, date);
    QCOMPARE(parseDateTime(text), date);
}

QTEST_GUILESS_MAIN(TestFieldTransfer)
#include "tst_field_transfer.moc"
