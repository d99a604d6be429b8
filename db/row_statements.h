#pragma once
// The parameterized INSERT, UPDATE and DELETE that write a result's row back to its base table,
// and reading the base table from a select. Parameters are '?' markers in both stores.

#include "db/provider.h"

#include <QString>
#include <QVector>

#include <functional>

namespace zt::db {

// The one table a select reads from ("select*from 系统路径表 where ..." -> 系统路径表); empty
// for joins, several tables or no FROM. Brackets and double quotes are removed.
QString baseTableOf(const QString& selectText);

struct Statement {
    QString sql;
    QVector<Parameter> parameters;
};

using QuoteIdentifier = std::function<QString(const QString&)>;

// INSERT of the assigned columns only; an insert with none assigned uses DEFAULT VALUES.
Statement insertStatement(const ResultSet& result, const Row& row, const QVector<bool>& assigned,
                          const QuoteIdentifier& quote);

// The WHERE part that finds `row`: its identity column, else its primary key, else all its
// original values (NULL compared with IS NULL). Returns an empty statement when nothing can
// identify the row.
Statement rowCondition(const ResultSet& result, const Row& row, const QuoteIdentifier& quote);

// UPDATE of the assigned columns; empty sql when none was assigned.
Statement updateStatement(const ResultSet& result, const Row& changed,
                          const QVector<bool>& assigned, const Statement& condition,
                          const QuoteIdentifier& quote);

Statement deleteStatement(const ResultSet& result, const Statement& condition,
                          const QuoteIdentifier& quote);

// Whether a column's values can be compared with '=' (long texts and binaries cannot).
bool isComparable(const Column& column);

} // namespace zt::db
