#pragma once
// Parses a T-SQL batch into statements. A syntax error anywhere refuses the whole batch,
// as SQL Server compiles a batch before running it.

#include "devserver/sql/ast.h"

#include <vector>

namespace ztds::sql {

// Throws SqlError (102, 156, 105, ...) on text it cannot parse.
std::vector<Statement> parseBatch(const QString& text);

} // namespace ztds::sql
