#pragma once
// Names and values written into statement text: every quoting of the program, for SQL Server
// and for SQLite (the local configuration store), in one place. A literal of sqlLiteral stands
// for exactly what a bound parameter of the same value would have given the server.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace zt::db {

// The literal of a value as the field conversions hold it (field_transfer.h): NULL; a text as
// N'...' with single quotes doubled; an integer in decimal; a bool as 1 or 0; a Float or Money
// double as a float literal with 17 significant digits (the server converts it to money as it
// converts a bound double); a date as N'yyyy-MM-ddThh:mm:ss.zzz', which SQL Server reads the
// same way whatever its date format setting; bytes as 0x... Throws DbError for a number that
// is not finite and for a type it does not know.
QString sqlLiteral(const QVariant& value);

// SQL Server: N'text' with single quotes doubled.
QString unicodeLiteral(const QString& text);
// SQL Server: [name], with "]" doubled.
QString bracketedName(const QString& name);
// Both: 'text' with single quotes doubled, for the few statements that carry user text.
QString quotedLiteral(const QString& text);
// SQLite: "name", with '"' doubled.
QString doubleQuotedName(const QString& name);

// "INSERT INTO [table] ([c1], [c2]) VALUES (v1, v2)"; "DEFAULT VALUES" without columns.
QString literalInsert(const QString& table, const QStringList& columns, const QVariantList& values);

} // namespace zt::db
