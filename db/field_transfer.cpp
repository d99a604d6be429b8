#include "db/field_transfer.h"

#include "db/query.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <optional>

namespace zt::db {

namespace {

QString kindName(ColumnKind kind) {
    switch (kind) {
    case ColumnKind::Integer:
        return QStringLiteral("integer");
    case ColumnKind::Float:
        return QStringLiteral("floating-point");
    case ColumnKind::Money:
        return QStringLiteral("currency");
    case ColumnKind::DateTime:
        return QStringLiteral("date");
    case ColumnKind::Boolean:
        return QStringLiteral("boolean");
    case ColumnKind::Text:
        return QStringLiteral("text");
    case ColumnKind::Binary:
        return QStringLiteral("binary");
    }
    return {};
}

[[noreturn]] void failConversion(const Column& column, const QString& value) {
    throw DbError(QStringLiteral("'%1' is not a valid %2 value for field '%3'")
                      .arg(value, kindName(column.kind), column.name));
}

std::optional<bool> parseBoolean(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (t == u"1" || t == u"-1")
        return true;
    if (t == u"0")
        return false;
    const QChar first = t.front().toLower();
    if (first == u't' || first == u'y')
        return true;
    if (first == u'f' || first == u'n')
        return false;
    return std::nullopt;
}

QVariant textForColumn(const Column& column, const QString& text) {
    switch (column.kind) {
    case ColumnKind::Text:
        return column.width > 0 ? text.left(column.width) : text;
    case ColumnKind::Binary:
        return text.toUtf8();
    default:
        break;
    }
    if (text.isEmpty())
        return {};
    bool ok = false;
    switch (column.kind) {
    case ColumnKind::Integer: {
        const qlonglong number = text.trimmed().toLongLong(&ok);
        if (ok)
            return number;
        break;
    }
    case ColumnKind::Float:
    case ColumnKind::Money: {
        const double number = text.trimmed().toDouble(&ok);
        if (ok && std::isfinite(number))
            return number;
        break;
    }
    case ColumnKind::DateTime: {
        const QDateTime date = parseDateTime(text);
        if (date.isValid())
            return date;
        break;
    }
    case ColumnKind::Boolean:
        if (const auto flag = parseBoolean(text))
            return *flag;
        break;
    default:
        break;
    }
    failConversion(column, text);
}

QVariant numberForColumn(const Column& column, qlonglong number) {
    switch (column.kind) {
    case ColumnKind::Text:
        return textForColumn(column, QString::number(number));
    case ColumnKind::Integer:
        return number;
    case ColumnKind::Float:
    case ColumnKind::Money:
        return double(number);
    case ColumnKind::Boolean:
        return number != 0;
    default:
        failConversion(column, QString::number(number));
    }
}

QVariant booleanForColumn(const Column& column, bool flag) {
    if (column.kind == ColumnKind::Text)
        return textForColumn(column, flag ? QStringLiteral("True") : QStringLiteral("False"));
    if (column.kind == ColumnKind::Boolean)
        return flag;
    return numberForColumn(column, flag ? 1 : 0);
}

QVariant dateForColumn(const Column& column, const QDateTime& date) {
    if (!date.isValid())
        return {};
    if (column.kind == ColumnKind::DateTime)
        return date;
    if (column.kind == ColumnKind::Text)
        return textForColumn(column, dateTimeText(date));
    failConversion(column, dateTimeText(date));
}

QString numberText(double number) {
    return QString::number(number, 'g', 15);
}

} // namespace

QVariant valueForColumn(const Column& column, const QVariant& assigned) {
    if (!assigned.isValid() || assigned.isNull())
        return {};
    switch (assigned.typeId()) {
    case QMetaType::QString:
        return textForColumn(column, assigned.toString());
    case QMetaType::Bool:
        return booleanForColumn(column, assigned.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return numberForColumn(column, assigned.toLongLong());
    case QMetaType::Double:
        if (column.kind == ColumnKind::Float || column.kind == ColumnKind::Money)
            return assigned.toDouble();
        return textForColumn(column, numberText(assigned.toDouble()));
    case QMetaType::QDateTime:
        return dateForColumn(column, assigned.toDateTime());
    case QMetaType::QByteArray:
        return column.kind == ColumnKind::Binary ? assigned
                                                 : textForColumn(column, assigned.toString());
    default:
        return textForColumn(column, assigned.toString());
    }
}

QString textOf(const Column&, const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return numberText(value.toDouble());
    case QMetaType::QDateTime:
        return dateTimeText(value.toDateTime());
    default:
        return value.toString();
    }
}

int integerOf(const Column& column, const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return 0;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::Double: {
        const double rounded = std::round(value.toDouble());
        if (rounded >= std::numeric_limits<int>::min() &&
            rounded <= std::numeric_limits<int>::max())
            return int(rounded);
        break;
    }
    case QMetaType::LongLong: {
        const qlonglong number = value.toLongLong();
        if (number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())
            return int(number);
        break;
    }
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return 0;
        bool ok = false;
        const int number = text.toInt(&ok);
        if (ok)
            return number;
        break;
    }
    default:
        break;
    }
    throw DbError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                      .arg(textOf(column, value), column.name));
}

bool booleanOf(const Column& column, const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return false;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::LongLong:
        return value.toLongLong() != 0;
    case QMetaType::Double:
        return value.toDouble() != 0;
    case QMetaType::QString: {
        const QString text = value.toString();
        if (text.trimmed().isEmpty())
            return false;
        if (const auto flag = parseBoolean(text))
            return *flag;
        break;
    }
    default:
        break;
    }
    throw DbError(QStringLiteral("'%1' is not a valid boolean value for field '%2'")
                      .arg(textOf(column, value), column.name));
}

QDateTime dateTimeOf(const Column& column, const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.typeId() == QMetaType::QString) {
        const QDateTime date = parseDateTime(value.toString());
        if (date.isValid())
            return date;
    }
    throw DbError(QStringLiteral("'%1' is not a valid date value for field '%2'")
                      .arg(textOf(column, value), column.name));
}

QString dateTimeText(const QDateTime& value) {
    if (!value.isValid())
        return {};
    if (value.time() == QTime(0, 0))
        return value.date().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QDateTime parseDateTime(const QString& text) {
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*(\d{4})[-/.](\d{1,2})[-/.](\d{1,2})(?:[ T]+(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3}))?)?)?\s*$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    const QString milliseconds = match.captured(7).leftJustified(3, u'0');
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     match.captured(6).toInt(), milliseconds.toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

} // namespace zt::db
