#include "devserver/sql/types.h"

#include "devserver/sql/errors.h"
#include "devserver/storage/collation.h"

#include <QDate>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace ztds::sql {

namespace {

constexpr int64_t msPerDay = 86400000;
const QDate& epoch() {
    static const QDate date(1900, 1, 1);
    return date;
}

[[noreturn]] void throwClash(TypeTag from, TypeTag to) {
    throw SqlError(206, 16, 2,
                   QStringLiteral("Operand type clash: %1 is incompatible with %2")
                       .arg(typeName(from), typeName(to)));
}

[[noreturn]] void throwOverflow(TypeTag to) {
    throw SqlError(
        8115, 16, 2,
        QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
            .arg(typeName(to)));
}

[[noreturn]] void throwImplicitNotAllowed(TypeTag from, TypeTag to) {
    throw SqlError(257, 16, 3,
                   QStringLiteral("Implicit conversion from data type %1 to %2 is not allowed. Use "
                                  "the CONVERT function to run this query.")
                       .arg(typeName(from), typeName(to)));
}

int64_t checkedIntRange(int64_t v, TypeTag to) {
    if (to == TypeTag::Int &&
        (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()))
        throwOverflow(to);
    if (to == TypeTag::Bit)
        return v != 0 ? 1 : 0;
    return v;
}

int64_t doubleToInt(double d, TypeTag to) {
    const double truncated = std::trunc(d);
    if (!std::isfinite(truncated) || truncated < -9.2233720368547758e18 ||
        truncated >= 9.2233720368547758e18)
        throwOverflow(to);
    return checkedIntRange(static_cast<int64_t>(truncated), to);
}

MoneyValue doubleToMoney(double d) {
    const double scaled = std::round(d * 10000.0);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2233720368547758e18)
        throwOverflow(TypeTag::Money);
    return MoneyValue{static_cast<int64_t>(scaled)};
}

std::optional<int64_t> parseInteger(const QString& trimmed) {
    thread_local const QRegularExpression form(QStringLiteral("^[+-]?[0-9]+$"));
    if (!form.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong v = trimmed.toLongLong(&ok);
    if (!ok)
        return std::numeric_limits<int64_t>::max(); // too many digits: an overflow below
    return v;
}

Typed textToInteger(const Typed& source, const QString& text, TypeTag to) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return Typed{to, int64_t{0}};
    if (to == TypeTag::Bit) {
        if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return Typed{to, int64_t{1}};
        if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return Typed{to, int64_t{0}};
    }
    const auto parsed = parseInteger(trimmed);
    if (!parsed)
        throw SqlError(245, 16, 1,
                       QStringLiteral("Conversion failed when converting the %1 value '%2' to data "
                                      "type %3.")
                           .arg(typeName(source.type), text, typeName(to)));
    const bool outOfRange = *parsed == std::numeric_limits<int64_t>::max() ||
                            (to == TypeTag::Int && (*parsed < std::numeric_limits<int32_t>::min() ||
                                                    *parsed > std::numeric_limits<int32_t>::max()));
    if (outOfRange && to != TypeTag::Bit)
        throw SqlError(
            248, 16, 1,
            QStringLiteral("The conversion of the %1 value '%2' overflowed an %3 column.")
                .arg(typeName(source.type), text, typeName(to)));
    return Typed{to, checkedIntRange(*parsed, to)};
}

Typed textToFloat(const Typed& source, const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return Typed{TypeTag::Float, 0.0};
    bool ok = false;
    const double d = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        throw SqlError(
            8114, 16, 5,
            QStringLiteral("Error converting data type %1 to float.").arg(typeName(source.type)));
    return Typed{TypeTag::Float, d};
}

Typed textToMoney(const QString& text) {
    QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'$') || trimmed.startsWith(QChar(0xA5)) ||
        trimmed.startsWith(QChar(0xFFE5)))
        trimmed = trimmed.mid(1).trimmed();
    trimmed.remove(u',');
    if (trimmed.isEmpty())
        return Typed{TypeTag::Money, MoneyValue{0}};
    thread_local const QRegularExpression form(
        QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    if (!form.match(trimmed).hasMatch())
        throw SqlError(235, 16, 0,
                       QStringLiteral("Cannot convert a char value to money. The char value has "
                                      "incorrect syntax."));
    const bool negative = trimmed.startsWith(u'-');
    if (trimmed.startsWith(u'-') || trimmed.startsWith(u'+'))
        trimmed = trimmed.mid(1);
    const qsizetype dot = trimmed.indexOf(u'.');
    const QString whole = dot < 0 ? trimmed : trimmed.left(dot);
    QString fraction = dot < 0 ? QString() : trimmed.mid(dot + 1);
    // SQL Server rounds money text to four decimals.
    const bool roundUp = fraction.size() > 4 && fraction.at(4) >= u'5';
    fraction = fraction.left(4).leftJustified(4, u'0');
    // Range checked before any arithmetic that could overflow: money holds
    // -922337203685477.5808 .. 922337203685477.5807.
    const uint64_t wholePart = whole.isEmpty() ? 0 : whole.toULongLong();
    if (whole.size() > 15 || wholePart > 922337203685477ULL)
        throwOverflow(TypeTag::Money);
    const uint64_t magnitude = wholePart * 10000 + fraction.toULongLong() + (roundUp ? 1 : 0);
    const uint64_t limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
    if (magnitude > limit)
        throwOverflow(TypeTag::Money);
    const int64_t amount =
        negative ? int64_t(0 - magnitude) : static_cast<int64_t>(magnitude); // two's complement
    return Typed{TypeTag::Money, MoneyValue{amount}};
}

Typed textToDateTime(const Typed& source, const QString& text, TypeTag to) {
    const auto parsed = parseDateTime(text);
    if (!parsed) {
        if (to == TypeTag::SmallDateTime)
            throw SqlError(295, 16, 3,
                           QStringLiteral("Conversion failed when converting character string to "
                                          "smalldatetime data type."));
        throw SqlError(
            241, 16, 1,
            QStringLiteral("Conversion failed when converting date and/or time from character "
                           "string."));
    }
    const DateTimeValue rounded =
        to == TypeTag::SmallDateTime ? roundToSmallDateTime(*parsed) : roundToDateTime(*parsed);
    const int maxSmallDays = epoch().daysTo(QDate(2079, 6, 6));
    const int minDays = epoch().daysTo(QDate(1753, 1, 1));
    const bool outOfRange = to == TypeTag::SmallDateTime
                                ? (rounded.days < 0 || rounded.days > maxSmallDays ||
                                   (rounded.days == maxSmallDays &&
                                    rounded.msSinceMidnight > 23 * 3600000 + 59 * 60000))
                                : rounded.days < minDays;
    if (outOfRange)
        throw SqlError(242, 16, 3,
                       QStringLiteral("The conversion of a %1 data type to a %2 data type resulted "
                                      "in an out-of-range value.")
                           .arg(typeName(source.type), typeName(to)));
    return Typed{to, rounded};
}

DateTimeValue fromDays(double days, TypeTag to) {
    // Checked before the cast: a day count beyond int32 is undefined behaviour to convert, and
    // far outside datetime's range (1753..9999) anyway.
    if (!std::isfinite(days) || days < -53690.0 || days >= 2958464.0)
        throw SqlError(8115, 16, 2,
                       QStringLiteral("Arithmetic overflow error converting expression to data "
                                      "type %1.")
                           .arg(typeName(to)));
    const double whole = std::floor(days);
    const int64_t ms = std::llround((days - whole) * msPerDay);
    return DateTimeValue{static_cast<int32_t>(whole), ms};
}

Typed toDateTimeType(const Typed& v, TypeTag to) {
    auto finish = [to](DateTimeValue d) {
        return Typed{to,
                     to == TypeTag::SmallDateTime ? roundToSmallDateTime(d) : roundToDateTime(d)};
    };
    switch (v.type) {
    case TypeTag::DateTime:
    case TypeTag::SmallDateTime:
        return finish(std::get<DateTimeValue>(v.value));
    case TypeTag::Int:
    case TypeTag::BigInt:
        return finish(fromDays(static_cast<double>(std::get<int64_t>(v.value)), to));
    case TypeTag::Float:
        return finish(fromDays(std::get<double>(v.value), to));
    case TypeTag::Money:
        return finish(fromDays(std::get<MoneyValue>(v.value).tenThousandths / 10000.0, to));
    case TypeTag::VarChar:
    case TypeTag::NVarChar:
        return textToDateTime(v, std::get<QString>(v.value), to);
    default:
        throwClash(v.type, to);
    }
}

double asDouble(const Typed& v) {
    switch (v.type) {
    case TypeTag::Float:
        return std::get<double>(v.value);
    case TypeTag::Money:
        return std::get<MoneyValue>(v.value).tenThousandths / 10000.0;
    default:
        return static_cast<double>(std::get<int64_t>(v.value));
    }
}

QString floatText(double d) {
    QString text = QString::number(d, 'g', 6);
    // SQL Server writes exponents with three digits: 1e+006.
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) {
        const QString digits = text.mid(e + 2);
        text = text.left(e + 2) + digits.rightJustified(3, u'0');
    }
    return text;
}

QString dateTimeText(const DateTimeValue& v) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = epoch().addDays(v.days);
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

} // namespace

TypeTag tagOf(SqlType type) {
    switch (type) {
    case SqlType::NVarChar:
        return TypeTag::NVarChar;
    case SqlType::NText:
        return TypeTag::NText;
    case SqlType::Int:
        return TypeTag::Int;
    case SqlType::BigInt:
        return TypeTag::BigInt;
    case SqlType::Money:
        return TypeTag::Money;
    case SqlType::SmallDateTime:
        return TypeTag::SmallDateTime;
    case SqlType::DateTime:
        return TypeTag::DateTime;
    case SqlType::Float:
        return TypeTag::Float;
    case SqlType::Bit:
        return TypeTag::Bit;
    }
    return TypeTag::NVarChar;
}

SqlType sqlTypeOf(TypeTag tag) {
    switch (tag) {
    case TypeTag::Bit:
        return SqlType::Bit;
    case TypeTag::Null:
    case TypeTag::Int:
        return SqlType::Int;
    case TypeTag::BigInt:
        return SqlType::BigInt;
    case TypeTag::Money:
        return SqlType::Money;
    case TypeTag::Float:
        return SqlType::Float;
    case TypeTag::SmallDateTime:
        return SqlType::SmallDateTime;
    case TypeTag::DateTime:
        return SqlType::DateTime;
    case TypeTag::NText:
        return SqlType::NText;
    case TypeTag::VarChar:
    case TypeTag::NVarChar:
        return SqlType::NVarChar;
    }
    return SqlType::NVarChar;
}

QString typeName(TypeTag tag) {
    switch (tag) {
    case TypeTag::Null:
        return QStringLiteral("NULL");
    case TypeTag::Bit:
        return QStringLiteral("bit");
    case TypeTag::Int:
        return QStringLiteral("int");
    case TypeTag::BigInt:
        return QStringLiteral("bigint");
    case TypeTag::Money:
        return QStringLiteral("money");
    case TypeTag::Float:
        return QStringLiteral("float");
    case TypeTag::SmallDateTime:
        return QStringLiteral("smalldatetime");
    case TypeTag::DateTime:
        return QStringLiteral("datetime");
    case TypeTag::VarChar:
        return QStringLiteral("varchar");
    case TypeTag::NVarChar:
        return QStringLiteral("nvarchar");
    case TypeTag::NText:
        return QStringLiteral("ntext");
    }
    return {};
}

bool isText(TypeTag tag) {
    return tag == TypeTag::VarChar || tag == TypeTag::NVarChar || tag == TypeTag::NText;
}

bool isNumeric(TypeTag tag) {
    return tag == TypeTag::Bit || tag == TypeTag::Int || tag == TypeTag::BigInt ||
           tag == TypeTag::Money || tag == TypeTag::Float;
}

bool isDateTime(TypeTag tag) {
    return tag == TypeTag::DateTime || tag == TypeTag::SmallDateTime;
}

int precedence(TypeTag tag) {
    switch (tag) {
    case TypeTag::DateTime:
        return 10;
    case TypeTag::SmallDateTime:
        return 9;
    case TypeTag::Float:
        return 8;
    case TypeTag::Money:
        return 7;
    case TypeTag::BigInt:
        return 6;
    case TypeTag::Int:
        return 5;
    case TypeTag::Bit:
        return 4;
    case TypeTag::NText:
        return 3;
    case TypeTag::NVarChar:
        return 2;
    case TypeTag::VarChar:
        return 1;
    case TypeTag::Null:
        return 0;
    }
    return 0;
}

Typed convert(const Typed& v, TypeTag to) {
    if (isNull(v.value))
        return Typed{to, std::monostate{}, v.caseInsensitive};
    if (v.type == to)
        return v;
    if (isText(to)) {
        if (isText(v.type))
            return Typed{to, v.value, v.caseInsensitive};
        return Typed{to, toText(v)};
    }
    if (v.type == TypeTag::NText)
        throwClash(v.type, to);
    const bool fromText = v.type == TypeTag::VarChar || v.type == TypeTag::NVarChar;
    switch (to) {
    case TypeTag::Bit:
    case TypeTag::Int:
    case TypeTag::BigInt:
        if (fromText)
            return textToInteger(v, std::get<QString>(v.value), to);
        if (isDateTime(v.type))
            throwImplicitNotAllowed(v.type, to);
        if (v.type == TypeTag::Float)
            return Typed{to, doubleToInt(std::get<double>(v.value), to)};
        if (v.type == TypeTag::Money) {
            const int64_t t = std::get<MoneyValue>(v.value).tenThousandths;
            const int64_t rounded = (t >= 0 ? t + 5000 : t - 5000) / 10000;
            return Typed{to, checkedIntRange(rounded, to)};
        }
        return Typed{to, checkedIntRange(std::get<int64_t>(v.value), to)};
    case TypeTag::Float:
        if (fromText)
            return textToFloat(v, std::get<QString>(v.value));
        if (isDateTime(v.type))
            throwImplicitNotAllowed(v.type, to);
        return Typed{to, asDouble(v)};
    case TypeTag::Money:
        if (fromText)
            return textToMoney(std::get<QString>(v.value));
        if (isDateTime(v.type))
            throwImplicitNotAllowed(v.type, to);
        if (v.type == TypeTag::Float)
            return Typed{to, doubleToMoney(std::get<double>(v.value))};
        {
            const int64_t i = std::get<int64_t>(v.value);
            if (std::llabs(i) > 922337203685477LL)
                throwOverflow(to);
            return Typed{to, MoneyValue{i * 10000}};
        }
    case TypeTag::DateTime:
    case TypeTag::SmallDateTime:
        return toDateTimeType(v, to);
    default:
        throwClash(v.type, to);
    }
}

QString toText(const Typed& v) {
    if (isNull(v.value))
        return {};
    switch (v.type) {
    case TypeTag::Float:
        return floatText(std::get<double>(v.value));
    case TypeTag::Money:
        return moneyText(std::get<MoneyValue>(v.value), 2);
    case TypeTag::DateTime:
    case TypeTag::SmallDateTime:
        return dateTimeText(std::get<DateTimeValue>(v.value));
    case TypeTag::Bit:
    case TypeTag::Int:
    case TypeTag::BigInt:
        return QString::number(std::get<int64_t>(v.value));
    default:
        return std::get<QString>(v.value);
    }
}

std::optional<int> compare(const Typed& a, const Typed& b) {
    if (isNull(a.value) || isNull(b.value))
        return std::nullopt;
    if (isText(a.type) && isText(b.type))
        return compareText(std::get<QString>(a.value), std::get<QString>(b.value),
                           a.caseInsensitive && b.caseInsensitive);
    const TypeTag common = precedence(a.type) >= precedence(b.type) ? a.type : b.type;
    const Typed x = convert(a, common);
    const Typed y = convert(b, common);
    auto order = [](auto l, auto r) { return l < r ? -1 : (r < l ? 1 : 0); };
    switch (common) {
    case TypeTag::Float:
        return order(std::get<double>(x.value), std::get<double>(y.value));
    case TypeTag::Money:
        return order(std::get<MoneyValue>(x.value).tenThousandths,
                     std::get<MoneyValue>(y.value).tenThousandths);
    case TypeTag::DateTime:
    case TypeTag::SmallDateTime: {
        const auto& l = std::get<DateTimeValue>(x.value);
        const auto& r = std::get<DateTimeValue>(y.value);
        if (l.days != r.days)
            return order(l.days, r.days);
        return order(l.msSinceMidnight, r.msSinceMidnight);
    }
    default:
        return order(std::get<int64_t>(x.value), std::get<int64_t>(y.value));
    }
}

int compareText(const QString& a, const QString& b, bool caseInsensitive) {
    return storage::compareCollated(a, b, caseInsensitive);
}

namespace {

struct LikeElement {
    enum Kind { Literal, AnyOne, AnySequence, Set } kind = Literal;
    QChar ch;
    QString members; // single characters of a [set]
    std::vector<std::pair<QChar, QChar>> ranges;
    bool negated = false;
};

QChar fold(QChar c, bool ci) {
    return ci ? storage::collationFold(c) : c;
}

std::vector<LikeElement> compileLike(const QString& pattern, bool ci, std::optional<QChar> escape) {
    std::vector<LikeElement> out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        LikeElement e;
        if (escape && c == *escape && i + 1 < pattern.size()) {
            e.ch = fold(pattern.at(++i), ci);
        } else if (c == u'%') {
            e.kind = LikeElement::AnySequence;
        } else if (c == u'_') {
            e.kind = LikeElement::AnyOne;
        } else if (c == u'[' && pattern.indexOf(u']', i + 1) > i + 1) {
            const qsizetype end = pattern.indexOf(u']', i + 1);
            QString body = pattern.mid(i + 1, end - i - 1);
            i = end;
            e.kind = LikeElement::Set;
            if (body.startsWith(u'^') && body.size() > 1) {
                e.negated = true;
                body = body.mid(1);
            }
            for (qsizetype k = 0; k < body.size(); ++k) {
                if (k + 2 < body.size() && body.at(k + 1) == u'-') {
                    e.ranges.emplace_back(fold(body.at(k), ci), fold(body.at(k + 2), ci));
                    k += 2;
                } else {
                    e.members.append(fold(body.at(k), ci));
                }
            }
        } else {
            e.ch = fold(c, ci);
        }
        out.push_back(std::move(e));
    }
    return out;
}

bool elementMatches(const LikeElement& e, QChar c) {
    switch (e.kind) {
    case LikeElement::Literal:
        return e.ch == c;
    case LikeElement::AnyOne:
        return true;
    case LikeElement::Set: {
        bool in = e.members.contains(c);
        for (const auto& [lo, hi] : e.ranges)
            in = in || (c >= lo && c <= hi);
        return in != e.negated;
    }
    case LikeElement::AnySequence:
        return true;
    }
    return false;
}

} // namespace

bool likeMatch(const QString& text, const QString& pattern, bool ci, std::optional<QChar> escape) {
    const auto elements = compileLike(pattern, ci, escape);
    QString subject;
    subject.reserve(text.size());
    for (QChar c : text)
        subject.append(fold(c, ci));
    // reachable[j]: the first i elements can match the first j characters.
    std::vector<char> reachable(subject.size() + 1, 0);
    reachable[0] = 1;
    for (const auto& e : elements) {
        std::vector<char> next(subject.size() + 1, 0);
        if (e.kind == LikeElement::AnySequence) {
            char any = 0;
            for (qsizetype j = 0; j <= subject.size(); ++j) {
                any = any || reachable[j];
                next[j] = any;
            }
        } else {
            for (qsizetype j = 0; j < subject.size(); ++j)
                next[j + 1] = reachable[j] && elementMatches(e, subject.at(j));
        }
        reachable = std::move(next);
    }
    return reachable[subject.size()] != 0;
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
    return DateTimeValue{static_cast<int32_t>(epoch().daysTo(date)), ms};
}

DateTimeValue roundToDateTime(DateTimeValue v) {
    // datetime keeps 1/300 s ticks: .000, .003, .007
    const int64_t ticks = (v.msSinceMidnight * 3 + 5) / 10;
    int64_t ms = (ticks * 10 + 1) / 3;
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
    const QDate date = epoch().addDays(v.days);
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

QString moneyText(const MoneyValue& v, int decimals) {
    int64_t t = v.tenThousandths;
    const bool negative = t < 0;
    uint64_t magnitude = negative ? static_cast<uint64_t>(-(t + 1)) + 1 : static_cast<uint64_t>(t);
    if (decimals == 2)
        magnitude = (magnitude + 50) / 100 * 100;
    QString fraction = QString::number(magnitude % 10000).rightJustified(4, u'0').left(decimals);
    return QStringLiteral("%1%2.%3")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(magnitude / 10000)
        .arg(fraction);
}

} // namespace ztds::sql
