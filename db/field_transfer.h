#pragma once
// Converting values between what a program assigns or reads (text, integer, boolean, date) and
// what a column holds, as ADO fields do: texts are cut to the declared width, a text for a
// number or date column is converted (empty text: NULL), a text that does not convert fails.

#include "db/provider.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace zt::db {

// The value to store in `column` for what was assigned; throws DbError naming the column and
// the value when a text does not convert.
QVariant valueForColumn(const Column& column, const QVariant& assigned);

// Reading a column's value. NULL reads as "", 0, false, an invalid date.
QString textOf(const Column& column, const QVariant& value);
int integerOf(const Column& column, const QVariant& value);
bool booleanOf(const Column& column, const QVariant& value);
QDateTime dateTimeOf(const Column& column, const QVariant& value);

// The text form of a date: "yyyy-MM-dd", with " hh:mm:ss" when it has a time of day.
QString dateTimeText(const QDateTime& value);
// Reads the date forms this layer writes and the common regional ones (yyyy/M/d, yyyy-M-d,
// yyyy.M.d, with an optional time h:mm[:ss]); invalid when the text is none of them.
QDateTime parseDateTime(const QString& text);

} // namespace zt::db
