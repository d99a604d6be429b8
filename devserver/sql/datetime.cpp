#include "devserver/sql/datetime.h"

#include "devserver/values/wire_constants.h"

#include <QRegularExpression>

#include <cmath>

namespace ztds::sql {

const QDate& dateTimeEpoch() {
    static const QDate date(1900, 1, 1);
    return date;
}

std::optional<DateTimeValue> parseDateTime(const QString& input) {
    const QString text = input.trimmed();
    if (text.isEmpty())
        return DateTimeValue{};
    thread_local const QRegularExpression isoDate(
        QStringLiteral(R"(^(\d{4})[-/.](\d{1,2})[-/.](\d{1,2})(?:(?:[ T]+)(.*))?$)"));
    thread_local const QRegularExpression compactDate(
        QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})(?: +(.*))?$)"));
    thread_local const QRegularExpression usDate(
        QStringLiteral(R"(^(\d{1,2})[-/.](\d{1,2})[-/.](\d{4})(?: +(.*))?$)"));
    thread_local const QRegularExpression timeForm(
        QStringLiteral(R"(^(\d{1,2}):(\d{2})(?::(\d{2})(?:[.:](\d{1,7}))?)?\s*([AaPp][Mm])?$)"));
    int year = 1900, month = 1, day = 1;
    QString timePart;
    if (auto m = isoDate.match(text); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
        timePart = m.captured(4);
    } else if (auto c = compactDate.match(text); c.hasMatch()) {
        year = c.captured(1).toInt();
        month = c.captured(2).toInt();
        day = c.captured(3).toInt();
        timePart = c.captured(4);
    } else if (auto u = usDate.match(text); u.hasMatch()) {
        month = u.captured(1).toInt();
        day = u.captured(2).toInt();
        year = u.captured(3).toInt();
        timePart = u.captured(4);
    } else {
        timePart = text;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    int64_t ms = 0;
    timePart = timePart.trimmed();
    if (!timePart.isEmpty()) {
        const auto t = timeForm.match(timePart);
        if (!t.hasMatch())
            return std::nullopt;
        int hour = t.captured(1).toInt();
        const int minute = t.captured(2).toInt();
        const int second = t.captured(3).isEmpty() ? 0 : t.captured(3).toInt();
        const QString fraction = t.captured(4);
        const QString meridian = t.captured(5).toUpper();
        if (!meridian.isEmpty()) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + (meridian == QLatin1String("PM") ? 12 : 0);
        }
        if (hour > 23 || minute > 59 || second > 59)
            return std::nullopt;
        const int millis = fraction.isEmpty()
                               ? 0
                               : static_cast<int>(std::lround(
                                     QStringLiteral("0.%1").arg(fraction).toDouble() * 1000.0));
        ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millis;
    }
    return DateTimeValue{static_cast<int32_t>(dateTimeEpoch().daysTo(date)), ms};
}

DateTimeValue roundToDateTime(DateTimeValue v) {
    int64_t ms = msFromDateTimeTicks(dateTimeTicksFromMs(v.msSinceMidnight));
    if (ms >= msPerDay) {
        ms -= msPerDay;
        ++v.days;
    }
    return DateTimeValue{v.days, ms};
}

DateTimeValue roundToSmallDateTime(DateTimeValue v) {
    const DateTimeValue d = roundToDateTime(v);
    int64_t minutes = (d.msSinceMidnight + 30001) / 60000;
    int32_t days = d.days;
    if (minutes >= 1440) {
        minutes -= 1440;
        ++days;
    }
    return DateTimeValue{days, minutes * 60000};
}

QString isoText(const DateTimeValue& v) {
    const QDate date = dateTimeEpoch().addDays(v.days);
    const int64_t ms = v.msSinceMidnight;
    return QStringLiteral("%1-%2-%3 %4:%5:%6.%7")
        .arg(date.year(), 4, 10, QChar(u'0'))
        .arg(date.month(), 2, 10, QChar(u'0'))
        .arg(date.day(), 2, 10, QChar(u'0'))
        .arg(static_cast<int>(ms / 3600000), 2, 10, QChar(u'0'))
        .arg(static_cast<int>(ms / 60000 % 60), 2, 10, QChar(u'0'))
        .arg(static_cast<int>(ms / 1000 % 60), 2, 10, QChar(u'0'))
        .arg(static_cast<int>(ms % 1000), 3, 10, QChar(u'0'));
}

QString dateTimeText(const DateTimeValue& v) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = dateTimeEpoch().addDays(v.days);
    const int64_t minutes = v.msSinceMidnight / 60000;
    const int hour24 = static_cast<int>(minutes / 60);
    const int hour12 = hour24 % 12 == 0 ? 12 : hour24 % 12;
    return QStringLiteral("%1 %2 %3 %4:%5%6")
        .arg(QLatin1String(months[date.month() - 1]))
        .arg(date.day(), 2)
        .arg(date.year())
        .arg(hour12, 2)
        .arg(static_cast<int>(minutes % 60), 2, 10, QChar(u'0'))
        .arg(hour24 < 12 ? QLatin1String("AM") : QLatin1String("PM"));
}

} // namespace ztds::sql
