#pragma once
// Building blocks for the table definitions: one function per group of tables, and short
// column constructors so each definition reads like its declaration.

#include "schema/table.h"

#include <vector>

namespace zt::schema {

using Columns = std::vector<Column>;

// Tables declared with one column list share it.
struct TableDefinition {
    std::vector<const char*> tableNames; // UTF-8
    Columns columns;
};

std::vector<TableDefinition> tradingDocumentTables();
std::vector<TableDefinition> stockTables();
std::vector<TableDefinition> masterDataTables();
std::vector<TableDefinition> moneyTables();
std::vector<TableDefinition> fixedAssetTables();
std::vector<TableDefinition> pointOfSaleTables();
std::vector<TableDefinition> layoutUserSystemTables();

Columns operator+(Columns head, const Columns& tail);

namespace columns {

enum Constraint { Nullable, NotNull, PrimaryKey };

Column intIdentity(const char* name);
Column bigintIdentity(const char* name);
Column nvarchar(const char* name, int length, Constraint constraint = Nullable);
Column ntext(const char* name);
Column money(const char* name, Constraint constraint = Nullable);
Column integer(const char* name);
Column smalldatetime(const char* name);
Column floating(const char* name, Constraint constraint = Nullable);
Column bit(const char* name, Constraint constraint = Nullable);

// Columns named by bare numbers, first to last inclusive.
Columns numberedInt(int first, int last);
Columns numberedNvarchar(int first, int last, int length);

} // namespace columns

} // namespace zt::schema
