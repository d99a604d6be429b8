#pragma once
// The declared SQL Server shape of a table, kept in each database file.

#include "devserver/values/values.h"

#include <QString>

#include <optional>
#include <vector>

namespace ztds::storage {

struct ColumnDef {
    QString name;
    SqlType type = SqlType::NVarChar;
    int length = 0;
    bool nullable = true;
    bool identity = false;
    int primaryKeyOrdinal = 0; // 1-based position in the primary key; 0: not a key column
    QString collation;         // text columns only
    int fractionalDigits = 7;  // datetime2 only
    bool caseInsensitive() const;
};

struct TableDef {
    int64_t id = 0;
    QString name;
    std::vector<ColumnDef> columns;
    QString primaryKeyName; // empty: no primary key
    int64_t identitySeed = 1;
    int64_t identityIncrement = 1;
    std::optional<int64_t> identityLast; // the last identity value handed out
    QString created;

    int identityColumn() const; // -1: none
    std::vector<int> primaryKeyColumns() const;
};

} // namespace ztds::storage
