#pragma once
// The CREATE TABLE statement of one table, line by line, in the form the account sets have
// always been created with.

#include "schema/table.h"

#include <QStringList>

namespace zt::schema {

// "[name] [type] (n) IDENTITY (1, 1) COLLATE ... NULL|NOT NULL Primary Key" plus the
// separator: " , " (", " after the key) between columns, a single blank after the last.
QString columnLine(const Column& column, bool lastColumn);

// "CREATE TABLE [dbo].[name] (", one line per column, ") ON [PRIMARY]".
QStringList createTableLines(const Table& table);

} // namespace zt::schema
