#pragma once
// Dates and times as datetime, smalldatetime and datetime2 keep them: parsing SQL Server's
// accepted character forms, rounding to the type's precision, and their text.

#include "devserver/values/values.h"

#include <QDate>
#include <QString>

#include <optional>

namespace ztds::sql {

// Day 0 of DateTimeValue: 1900-01-01.
const QDate& dateTimeEpoch();

std::optional<DateTimeValue> parseDateTime(const QString& text);
DateTimeValue roundToDateTime(DateTimeValue v);
DateTimeValue roundToSmallDateTime(DateTimeValue v);
// Sortable storage form: "YYYY-MM-DD HH:MM:SS.mmm".
QString isoText(const DateTimeValue& v);
// datetime and smalldatetime as CONVERT(nvarchar, value) writes them: "Jan  1 1900 12:00AM".
QString dateTimeText(const DateTimeValue& v);

} // namespace ztds::sql
