#pragma once
// The account-set schema as data: every table with every column in declared order.
// The business application that later opens an account set relies on these exact
// types, widths and nullabilities.

#include <QString>

#include <vector>

namespace zt::schema {

enum class ColumnType { NVarChar, NText, Money, Int, BigInt, SmallDateTime, Float, Bit };

struct Column {
    QString name;
    ColumnType type = ColumnType::Int;
    int length = 0;          // characters; nvarchar only
    bool notNull = false;    // declared NOT NULL (always so for identity and key columns)
    bool identity = false;   // IDENTITY (1, 1)
    bool primaryKey = false; // inline "Primary Key", the table's only key

    bool operator==(const Column&) const = default;
};

struct Table {
    QString name;
    std::vector<Column> columns;
};

// The type's name as written between brackets in a column line.
QString typeName(ColumnType type);
bool isCharacterType(ColumnType type); // carries the explicit collation

// Character columns are compared case-insensitively and accent-sensitively, independent of
// the server's default collation.
inline constexpr char kCharacterCollation[] = "Chinese_PRC_CI_AS";

// All 108 tables in creation order: ascending by the character codes of their names.
const std::vector<Table>& accountSetTables();

// The table of that name, or nullptr.
const Table* findTable(const QString& name);

} // namespace zt::schema
