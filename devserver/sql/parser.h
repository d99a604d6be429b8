#pragma once
// Parses a T-SQL batch into statements. A syntax error anywhere refuses the whole batch,
// as SQL Server compiles a batch before running it.

#include "devserver/sql/ast.h"

#include <vector>

namespace ztds::sql {

// What the server's version knows of the language.
struct Dialect {
    bool maxTypes = true; // (max) lengths: SQL Server 2005 and later
};

// Throws SqlError (102, 156, 105, ...) on text it cannot parse, and 170 on `max` where
// the dialect knows no (max), as SQL Server 2000's parser does.
std::vector<Statement> parseBatch(const QString& text, const Dialect& dialect = {});

} // namespace ztds::sql
