// The schema data against the declared totals and table list, and the exact statement text
// of tables of different shapes.

#include "tst_schema.h"

#include "schema/create_statement.h"
#include "schema/table.h"

#include <QTest>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

using zt::schema::accountSetTables;
using zt::schema::Column;
using zt::schema::ColumnType;
using zt::schema::createTableLines;
using zt::schema::findTable;
using zt::schema::Table;

namespace {

struct ListedTable {
    int position;
    const char* name;
    int columnCount;
    const char* identityName; // "" when the table has no identity column
    const char* identityType;
    const char* primaryKey; // "" when the table has no key
};

// The tables in creation order, with their column count, identity column and key.
constexpr ListedTable kTableList[] = {
    {1, "Bpay", 14, "", "", "djbh"},
    {2, "Bpay_gdzc", 14, "", "", "djbh"},
    {3, "Bpay_gdzcamp", 14, "id", "bigint", ""},
    {4, "Bpay_sale", 13, "", "", "djbh"},
    {5, "Bpay_saleamp", 14, "ID", "bigint", ""},
    {6, "Bpayamp", 14, "ID", "bigint", ""},
    {7, "Bsale", 14, "", "", "djbh"},
    {8, "Bsale_gdzc", 14, "", "", "djbh"},
    {9, "Bsale_gdzcamp", 14, "ID", "bigint", ""},
    {10, "Bsaleamp", 14, "ID", "bigint", ""},
    {11, "Bzczj_gdzc", 14, "", "", "djbh"},
    {12, "Bzczj_gdzcamp", 14, "ID", "bigint", ""},
    {13, "POS", 17, "", "", "djbh"},
    {14, "POSamp", 32, "ID", "bigint", ""},
    {15, "POSamp_gd", 32, "ID", "bigint", ""},
    {16, "PZXM", 5, "id", "int", ""},
    {17, "bank", 5, "ID", "int", ""},
    {18, "bank_qc", 5, "ID", "int", ""},
    {19, "banklx", 10, "ID", "int", ""},
    {20, "bxb", 12, "ID", "bigint", ""},
    {21, "bz_pos", 2, "", "", ""},
    {22, "cbjjck", 5, "ID", "bigint", ""},
    {23, "cbjjck_POS", 5, "ID", "bigint", ""},
    {24, "col_num", 23, "id", "int", ""},
    {25, "colrow_num", 22, "id", "int", ""},
    {26, "csrk", 22, "ID", "int", ""},
    {27, "djbh_pos", 4, "ID", "int", ""},
    {28, "earning", 4, "ID", "int", ""},
    {29, "exes", 4, "ID", "int", ""},
    {30, "gdzc", 7, "ID", "int", ""},
    {31, "gdzc_JZ", 8, "ID", "int", ""},
    {32, "gdzc_qc", 7, "ID", "int", ""},
    {33, "ggzl", 4, "id", "int", ""},
    {34, "hpllfxmx", 22, "ID", "int", ""},
    {35, "hpszxxb", 24, "ID", "int", ""},
    {36, "jylc", 10, "ID", "int", ""},
    {37, "kctjb", 10, "ID", "bigint", ""},
    {38, "line_yesno", 5, "id", "int", ""},
    {39, "njc", 28, "ID", "int", ""},
    {40, "pay", 12, "", "", "djbh"},
    {41, "payamp", 14, "ID", "bigint", ""},
    {42, "paysalehz", 8, "ID", "int", ""},
    {43, "paysalehz1", 8, "ID", "int", ""},
    {44, "ppzl", 4, "id", "int", ""},
    {45, "print_colrow", 23, "id", "int", ""},
    {46, "print_model", 5, "id", "int", ""},
    {47, "qcyf", 5, "ID", "int", ""},
    {48, "qcys", 5, "ID", "int", ""},
    {49, "row_num", 23, "id", "int", ""},
    {50, "sale", 12, "", "", "djbh"},
    {51, "saleamp", 14, "ID", "bigint", ""},
    {52, "show_line", 5, "id", "int", ""},
    {53, "shzl", 4, "id", "int", ""},
    {54, "system_pos", 17, "ID", "int", ""},
    {55, "yhjb_pos", 10, "ID", "int", ""},
    {56, "yhjb_pos_bak", 10, "ID", "int", ""},
    {57, "yhmc_pos", 2, "ID", "int", ""},
    {58, "yjc", 32, "ID", "int", ""},
    {59, "yjc_hp", 28, "ID", "int", ""},
    {60, "yjc_yf", 10, "ID", "int", ""},
    {61, "yjc_ys", 10, "ID", "int", ""},
    {62, "仓库信息表", 5, "ID", "int", "ckmc"},
    {63, "供应商类别表", 4, "ID", "int", ""},
    {64, "入库信息表", 18, "", "", "djbh"},
    {65, "入库信息详表", 31, "ID", "bigint", ""},
    {66, "入库单据类型表", 3, "ID", "int", ""},
    {67, "出库信息表", 18, "", "", "djbh"},
    {68, "出库信息详表", 32, "ID", "bigint", ""},
    {69, "出库单据类型表", 3, "ID", "int", ""},
    {70, "单据审核表", 8, "ID", "bigint", ""},
    {71, "员工信息表", 19, "ID", "int", ""},
    {72, "员工类别表", 3, "ID", "int", ""},
    {73, "备份信息表", 5, "ID", "int", ""},
    {74, "客户类别表", 4, "ID", "int", ""},
    {75, "帐套信息表", 7, "ID", "int", ""},
    {76, "库存信息表", 24, "ID", "int", ""},
    {77, "往来单位信息表", 20, "ID", "int", ""},
    {78, "打印内容表", 29, "ID", "int", ""},
    {79, "打印初始表", 22, "ID", "int", ""},
    {80, "打印设置表", 61, "ID", "int", ""},
    {81, "打印设置表1", 31, "ID", "int", ""},
    {82, "报价信息表", 9, "", "", "djbh"},
    {83, "报价信息详表", 28, "ID", "int", ""},
    {84, "损耗信息表", 13, "", "", "djbh"},
    {85, "损耗信息详表", 28, "ID", "bigint", ""},
    {86, "日期表", 2, "", "", ""},
    {87, "物品流向信息表", 19, "ID", "int", ""},
    {88, "物品流向信息表1", 19, "ID", "int", ""},
    {89, "用户信息表", 5, "ID", "int", ""},
    {90, "用户权限表", 4, "ID", "int", ""},
    {91, "盘点信息表", 11, "", "", "pdhm"},
    {92, "盘点信息详表", 26, "ID", "bigint", ""},
    {93, "系统信息表", 50, "ID", "int", ""},
    {94, "警戒线信息表", 18, "ID", "int", ""},
    {95, "计量单位信息表", 2, "ID", "int", ""},
    {96, "调库信息表", 14, "", "", "djbh"},
    {97, "调库信息详表", 29, "ID", "bigint", ""},
    {98, "货位信息表", 8, "ID", "int", ""},
    {99, "货品信息表", 27, "ID", "int", "bm"},
    {100, "货品类别表", 4, "ID", "int", ""},
    {101, "进货订单信息表", 18, "", "", "djbh"},
    {102, "进货订单信息详表", 32, "ID", "bigint", ""},
    {103, "退货入库信息表", 17, "", "", "djbh"},
    {104, "退货入库信息详表", 32, "ID", "bigint", ""},
    {105, "退货出库信息表", 17, "", "", "djbh"},
    {106, "退货出库信息详表", 32, "ID", "bigint", ""},
    {107, "销售订单信息表", 18, "", "", "djbh"},
    {108, "销售订单信息详表", 32, "ID", "bigint", ""},
};

int countColumns(const std::function<bool(const Column&)>& predicate) {
    int count = 0;
    for (const Table& table : accountSetTables()) {
        count +=
            static_cast<int>(std::count_if(table.columns.begin(), table.columns.end(), predicate));
    }
    return count;
}

} // namespace

void TestSchema::holdsAllTables() {
    QCOMPARE(accountSetTables().size(), std::size_t{108});
    QCOMPARE(std::size(kTableList), std::size_t{108});
    std::set<QString> names;
    for (const Table& table : accountSetTables()) {
        names.insert(table.name);
    }
    QCOMPARE(names.size(), std::size_t{108});
}

void TestSchema::columnsPerType_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("count");
    QTest::newRow("nvarchar") << "nvarchar" << 1017;
    QTest::newRow("money") << "money" << 240;
    QTest::newRow("int") << "int" << 148;
    QTest::newRow("smalldatetime") << "smalldatetime" << 115;
    QTest::newRow("float") << "float" << 75;
    QTest::newRow("bigint") << "bigint" << 24;
    QTest::newRow("ntext") << "ntext" << 2;
    QTest::newRow("bit") << "bit" << 2;
}

void TestSchema::columnsPerType() {
    QFETCH(QString, type);
    QFETCH(int, count);
    QCOMPARE(countColumns(
                 [&](const Column& column) { return zt::schema::typeName(column.type) == type; }),
             count);
}

void TestSchema::identityColumns() {
    std::map<std::pair<QString, ColumnType>, int> identities;
    for (const Table& table : accountSetTables()) {
        for (std::size_t index = 0; index < table.columns.size(); ++index) {
            const Column& column = table.columns[index];
            if (!column.identity) {
                continue;
            }
            QVERIFY2(index == 0, qPrintable(table.name));
            QVERIFY2(column.notNull && !column.primaryKey, qPrintable(table.name));
            ++identities[{column.name, column.type}];
        }
    }
    QCOMPARE(countColumns([](const Column& column) { return column.identity; }), 87);
    QCOMPARE(identities[std::pair(QStringLiteral("ID"), ColumnType::Int)] +
                 identities[std::pair(QStringLiteral("ID"), ColumnType::BigInt)],
             75);
    QCOMPARE(identities[std::pair(QStringLiteral("id"), ColumnType::Int)] +
                 identities[std::pair(QStringLiteral("id"), ColumnType::BigInt)],
             12);
    QCOMPARE(identities[std::pair(QStringLiteral("ID"), ColumnType::BigInt)] +
                 identities[std::pair(QStringLiteral("id"), ColumnType::BigInt)],
             24);
    QCOMPARE(identities.size(), std::size_t{4}); // only ID and id, only int and bigint
}

void TestSchema::primaryKeys() {
    QCOMPARE(countColumns([](const Column& column) { return column.primaryKey; }), 21);
    QCOMPARE(
        countColumns([](const Column& column) { return column.primaryKey && !column.notNull; }), 0);
}

void TestSchema::furtherNotNullColumns() {
    QStringList expected = {
        "入库信息详表.sl",     "出库信息详表.sl",     "退货入库信息详表.sl", "退货出库信息详表.sl",
        "进货订单信息详表.sl", "销售订单信息详表.sl", "调库信息详表.sl",     "损耗信息详表.sl",
        "POSamp.sl",           "POSamp_gd.sl",        "报价信息详表.dj",     "payamp.djbh",
        "jylc.djbh",           "show_line.mc",        "show_line.yesno",     "line_yesno.mc",
        "line_yesno.yesno",
    };
    QStringList actual;
    for (const Table& table : accountSetTables()) {
        for (const Column& column : table.columns) {
            if (column.notNull && !column.identity && !column.primaryKey) {
                actual << table.name + QLatin1Char('.') + column.name;
            }
        }
    }
    expected.sort();
    actual.sort();
    QCOMPARE(expected.size(), 17);
    QCOMPARE(actual, expected);
}

void TestSchema::nvarcharLengthsInUse() {
    std::set<int> distinct;
    for (const Table& table : accountSetTables()) {
        for (const Column& column : table.columns) {
            if (column.type == ColumnType::NVarChar) {
                distinct.insert(column.length);
            } else {
                QCOMPARE(column.length, 0);
            }
        }
    }
    const QList<int> lengths(distinct.begin(), distinct.end());
    const QList<int> expected = {2,  3,  6,  8,  9,  10,  12,  15,  16,  20,
                                 25, 30, 40, 50, 60, 100, 150, 200, 250, 255};
    QCOMPARE(lengths, expected);
}

void TestSchema::tableList_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("columnCount");
    QTest::addColumn<QString>("identityName");
    QTest::addColumn<QString>("identityType");
    QTest::addColumn<QString>("primaryKey");
    for (const ListedTable& listed : kTableList) {
        QTest::newRow(listed.name)
            << listed.position << QString::fromUtf8(listed.name) << listed.columnCount
            << QString::fromUtf8(listed.identityName) << QString::fromUtf8(listed.identityType)
            << QString::fromUtf8(listed.primaryKey);
    }
}

void TestSchema::tableList() {
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(int, columnCount);
    QFETCH(QString, identityName);
    QFETCH(QString, identityType);
    QFETCH(QString, primaryKey);

    const Table& table = accountSetTables().at(static_cast<std::size_t>(position - 1));
    QCOMPARE(table.name, name);
    QCOMPARE(static_cast<int>(table.columns.size()), columnCount);

    QString actualIdentityName;
    QString actualIdentityType;
    QString actualKey;
    for (const Column& column : table.columns) {
        if (column.identity) {
            QVERIFY(actualIdentityName.isEmpty());
            actualIdentityName = column.name;
            actualIdentityType = zt::schema::typeName(column.type);
        }
        if (column.primaryKey) {
            QVERIFY(actualKey.isEmpty());
            actualKey = column.name;
        }
    }
    QCOMPARE(actualIdentityName, identityName);
    QCOMPARE(actualIdentityType, identityType);
    QCOMPARE(actualKey, primaryKey);
}

void TestSchema::creationOrderAscendsByCharacterCode() {
    const std::vector<Table>& tables = accountSetTables();
    for (std::size_t index = 1; index < tables.size(); ++index) {
        const QList<uint> previous = tables[index - 1].name.toUcs4();
        const QList<uint> current = tables[index].name.toUcs4();
        QVERIFY2(previous < current, qPrintable(tables[index].name));
    }
    // Upper-case names first, an underscore before lower-case letters, a name before its
    // extensions, Chinese names last.
    QCOMPARE(tables[0].name, QStringLiteral("Bpay"));
    QCOMPARE(tables[5].name, QStringLiteral("Bpayamp"));
    QCOMPARE(tables[15].name, QStringLiteral("PZXM"));
    QCOMPARE(tables[16].name, QStringLiteral("bank"));
    QCOMPARE(tables[61].name, QStringLiteral("仓库信息表"));
    QCOMPARE(tables[107].name, QStringLiteral("销售订单信息详表"));
}

void TestSchema::columnNamesAreUniquePerTable() {
    for (const Table& table : accountSetTables()) {
        std::set<QString> names;
        for (const Column& column : table.columns) {
            QVERIFY2(names.insert(column.name).second,
                     qPrintable(table.name + QLatin1Char('.') + column.name));
        }
    }
}

void TestSchema::statementText_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("money header keyed by djbh")
        << QStringLiteral("pay")
        << QStringList{
               "CREATE TABLE [dbo].[pay] (",
               "[rdrq] [smalldatetime] NULL , ",
               "[djbh] [nvarchar] (25) COLLATE Chinese_PRC_CI_AS NOT NULL Primary Key, ",
               "[bh] [int] NULL , ",
               "[dwjc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[jsr] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[zy] [nvarchar] (200) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[hjje] [money] NULL , ",
               "[shbz] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[czy] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[djlx] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[ysdh] [nvarchar] (30) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[rdsj] [smalldatetime] NULL ",
               ") ON [PRIMARY]",
           };

    QTest::newRow("identity and key")
        << QStringLiteral("仓库信息表")
        << QStringList{
               "CREATE TABLE [dbo].[仓库信息表] (",
               "[ID] [int] IDENTITY (1, 1) NOT NULL , ",
               "[ckmc] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NOT NULL Primary Key, ",
               "[ckwz] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[ckdz] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[bz] [nvarchar] (255) COLLATE Chinese_PRC_CI_AS NULL ",
               ") ON [PRIMARY]",
           };

    QTest::newRow("bigint identity line table")
        << QStringLiteral("payamp")
        << QStringList{
               "CREATE TABLE [dbo].[payamp] (",
               "[ID] [bigint] IDENTITY (1, 1) NOT NULL , ",
               "[rdrq] [smalldatetime] NULL , ",
               "[djbh] [nvarchar] (25) COLLATE Chinese_PRC_CI_AS NOT NULL , ",
               "[dwjc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[jsr] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[zy] [nvarchar] (200) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[zhmc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[je] [money] NULL , ",
               "[bz] [nvarchar] (200) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[shbz] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[czy] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[djlx] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[ysdh] [nvarchar] (30) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[rdsj] [smalldatetime] NULL ",
               ") ON [PRIMARY]",
           };

    QTest::newRow("Chinese name, numbered columns")
        << QStringLiteral("打印初始表")
        << QStringList{
               "CREATE TABLE [dbo].[打印初始表] (",
               "[ID] [int] IDENTITY (1, 1) NOT NULL , ",
               "[dyll] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[1] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[2] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[3] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[4] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[5] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[6] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[7] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[8] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[9] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[10] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[11] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[12] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[13] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[14] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[15] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[16] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[17] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[18] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[19] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[20] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL ",
               ") ON [PRIMARY]",
           };

    QTest::newRow("ntext last") << QStringLiteral("员工信息表")
                                << QStringList{
                                       "CREATE TABLE [dbo].[员工信息表] (",
                                       "[ID] [int] IDENTITY (1, 1) NOT NULL , ",
                                       "[ygmc] [nvarchar] (8) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[ygbh] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[bh] [int] NULL , ",
                                       "[csrq] [smalldatetime] NULL , ",
                                       "[xb] [nvarchar] (2) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[xl] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[yglb] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[lzrq] [smalldatetime] NULL , ",
                                       "[sfzhm] [nvarchar] (30) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[jg] [nvarchar] (10) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[sj] [nvarchar] (20) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[jtzz] [nvarchar] (100) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[yb] [nvarchar] (6) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[jtdh] [nvarchar] (25) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[gzdh] [nvarchar] (25) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[email] [nvarchar] (100) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[sfzz] [nvarchar] (6) COLLATE Chinese_PRC_CI_AS NULL , ",
                                       "[bz] [ntext] COLLATE Chinese_PRC_CI_AS NULL ",
                                       ") ON [PRIMARY]",
                                   };

    QTest::newRow("bit columns")
        << QStringLiteral("show_line")
        << QStringList{
               "CREATE TABLE [dbo].[show_line] (",
               "[id] [int] IDENTITY (1, 1) NOT NULL , ",
               "[mc] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NOT NULL , ",
               "[zd] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[yesno] [bit] NOT NULL , ",
               "[lk] [int] NULL ",
               ") ON [PRIMARY]",
           };

    QTest::newRow("goods line with float quantity")
        << QStringLiteral("cbjjck_POS")
        << QStringList{
               "CREATE TABLE [dbo].[cbjjck_POS] (",
               "[ID] [bigint] IDENTITY (1, 1) NOT NULL , ",
               "[bm] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[cbjj] [money] NULL , ",
               "[djbh] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[sl] [float] NULL ",
               ") ON [PRIMARY]",
           };

    QTest::newRow("neither identity nor key")
        << QStringLiteral("日期表")
        << QStringList{
               "CREATE TABLE [dbo].[日期表] (",
               "[date1] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL , ",
               "[date2] [nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL ",
               ") ON [PRIMARY]",
           };
}

void TestSchema::statementText() {
    QFETCH(QString, table);
    QFETCH(QStringList, lines);
    const Table* found = findTable(table);
    QVERIFY(found);
    QCOMPARE(createTableLines(*found), lines);
}

void TestSchema::everyStatementSeparatesAllButTheLastColumn() {
    for (const Table& table : accountSetTables()) {
        const QStringList lines = createTableLines(table);
        QCOMPARE(lines.size(), static_cast<qsizetype>(table.columns.size()) + 2);
        for (qsizetype index = 1; index + 1 < lines.size(); ++index) {
            const bool last = index + 2 == lines.size();
            QVERIFY2(lines[index].endsWith(QStringLiteral(", ")) != last,
                     qPrintable(table.name + QLatin1Char(' ') + lines[index]));
        }
    }
}
